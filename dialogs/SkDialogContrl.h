#pragma once
// The console of the radar's text command port: connects over TCP, sends single commands
// and whole command sequences (one command per line), and shows what the radar answers.
// Five sequences can be edited and stored (SkDialogEditCmds). Not modal; closing it hides it
// and keeps the connection.

#include <QAbstractSocket>
#include <QDialog>
#include <QTextStream>

#include <memory>

class QColor;
class QTcpSocket;

namespace Ui {
class SkDialogContrl;
}

class SkDialogContrl : public QDialog
{
    Q_OBJECT
public:
    explicit SkDialogContrl(QWidget *parent = nullptr);
    ~SkDialogContrl() override;

    // The text as it goes out: carriage returns of any line-end convention turned into line
    // feeds, ended by one line feed.
    static QString commandLines(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private slots:
    void on_pushButtonExit_clicked();
    void on_pushButtonConnect_clicked();
    void displayError(QAbstractSocket::SocketError socketError);
    void clientRead();
    void clientWrite(const QString &text);
    void disconnected();
    void connected();
    void on_pushButtonCSDefaultProfileStart_clicked();
    void on_pushButtonSendAll_clicked();
    void on_pushButtonClear_clicked();
    void on_pushButtonCSInit_clicked();
    void on_pushButtonCStart_clicked();
    void on_pushButtonCStop_clicked();
    void on_pushButtonCStatus_clicked();
    void on_pushButtonCWakeup_clicked();
    void on_pushButtonCSuspend_clicked();
    void on_pushButtonESSmall_clicked();
    void on_pushButtonESFull_clicked();
    void on_pushButtonES1_clicked();
    void on_pushButtonES2_clicked();
    void on_pushButtonES3_clicked();
    void on_pushButtonCS1_clicked();
    void on_pushButtonCS2_clicked();
    void on_pushButtonCS3_clicked();

private:
    void loadSequence(int number);
    void editSequence(int number);
    void setAddressConnected(bool connected);
    void showNote(const QString &text);
    void appendAnswer(const QString &text, const QColor &colour);
    void showInformation(const QString &text);

    std::unique_ptr<Ui::SkDialogContrl> ui;
    QTcpSocket *m_socket; // child
    QTextStream m_stream;
};
