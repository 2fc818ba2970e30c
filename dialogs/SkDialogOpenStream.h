#pragma once
// The open-stream dialog: the radar's address and port and the two window sizes for loading
// from a live stream ("Max Size" frames held, "Batch Size" frames to advance).
//
// The main window creates one on the stack whenever a stream is opened, so it always speaks
// the current language and needs no retranslation.

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class SkDialogOpenStream;
}

class SkDialogOpenStream : public QDialog
{
    Q_OBJECT
public:
    SkDialogOpenStream(int maxSize, int batchSize, QWidget *parent = nullptr);
    ~SkDialogOpenStream() override;

    // `address` is "host:port" as streamAddress() gives it; host and port become the first
    // and current entries of their boxes. Without a colon only the host is set.
    void setStreamAddress(const QString &address);
    // "host:port": the host is the first dotted quad in the address box's text (so an entry
    // like "radar ip (192.168.1.30)" gives 192.168.1.30), or the whole text when it holds
    // none; the port is the port box's text.
    QString streamAddress() const;

    int maxSize() const;
    int batchSize() const;

private:
    std::unique_ptr<Ui::SkDialogOpenStream> ui;
};
