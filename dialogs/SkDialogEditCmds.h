#pragma once
// Edits one of the console's stored command sequences. The sequences live in the program
// settings under "sCmdList": a QDataStream of the map from sequence number to text.

#include <QDialog>
#include <QMap>
#include <QString>

#include <memory>

class QAbstractButton;

namespace Ui {
class SkDialogEditCmds;
}

class SkDialogEditCmds : public QDialog
{
    Q_OBJECT
public:
    // Shows sequence `number` as stored, or `defaultText` when none is stored. Ok stores the
    // edit's text under `number`.
    SkDialogEditCmds(int number, const QString &defaultText, QWidget *parent = nullptr);
    ~SkDialogEditCmds() override;

    QString text() const;

    // The stored sequences; empty when none or damaged ones are stored.
    static QMap<int, QString> storedSequences();
    static void storeSequences(const QMap<int, QString> &sequences);
    // The sequences the "S small" (1) and "S full" (2) buttons start from; empty for others.
    static QString defaultSequence(int number);

private slots:
    void on_buttonBox_clicked(QAbstractButton *button);
    void on_pushButtonReset_clicked();

private:
    std::unique_ptr<Ui::SkDialogEditCmds> ui;
    int m_number;
    QString m_defaultText;
};
