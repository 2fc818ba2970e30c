#include "SkDialogContrl.h"
#include "ui_SkDialogContrl.h"

#include "SkDialogEditCmds.h"

#include <QEvent>
#include <QMessageBox>
#include <QScrollBar>
#include <QSettings>
#include <QTcpSocket>
#include <QTextCharFormat>
#include <QTextCursor>

namespace {

const char *const NotConnectedStyle = "background-color: rgb(239, 41, 41);";
const char *const ConnectedStyle = "background: lightgreen";

} // namespace

SkDialogContrl::SkDialogContrl(QWidget *parent)
    : QDialog(parent), ui(new Ui::SkDialogContrl), m_socket(new QTcpSocket(this))
{
    ui->setupUi(this);
    m_stream.setDevice(m_socket);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    m_stream.setCodec("UTF-8");
#endif
    connect(m_socket, &QTcpSocket::readyRead, this, &SkDialogContrl::clientRead);
    connect(m_socket, &QTcpSocket::connected, this, &SkDialogContrl::connected);
    connect(m_socket, &QTcpSocket::disconnected, this, &SkDialogContrl::disconnected);
#if QT_VERSION < QT_VERSION_CHECK(5, 15, 0)
    connect(m_socket, QOverload<QAbstractSocket::SocketError>::of(&QAbstractSocket::error), this,
            &SkDialogContrl::displayError);
#else
    connect(m_socket, &QTcpSocket::errorOccurred, this, &SkDialogContrl::displayError);
#endif
    connect(ui->plainTextEditCMD, &SkWPlainTextEdit::writeTo, this, &SkDialogContrl::clientWrite);
}

// A connected socket, deleted with the dialog's children, says it is disconnected; by then the
// form is gone.
SkDialogContrl::~SkDialogContrl()
{
    m_socket->disconnect(this);
}

QString SkDialogContrl::commandLines(const QString &text)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!lines.endsWith(QLatin1Char('\n')))
        lines += QLatin1Char('\n');
    return lines;
}

void SkDialogContrl::showEvent(QShowEvent *event)
{
    const QSettings settings;
    if (settings.contains(QStringLiteral("streamAddress"))) {
        const QString address = settings.value(QStringLiteral("streamAddress")).toString();
        ui->lineEditIpAddr->setText(address.section(QLatin1Char(':'), 0, 0));
    }
    QDialog::showEvent(event);
}

void SkDialogContrl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}

void SkDialogContrl::on_pushButtonExit_clicked()
{
    close();
}

void SkDialogContrl::on_pushButtonConnect_clicked()
{
    bool ok = false;
    const uint port = ui->lineEditIpPort->text().trimmed().toUInt(&ok, 10);
    if (!ok || port == 0 || port > 65535) {
        showInformation(tr("The port must be a number from 1 to 65535."));
        return;
    }
    ui->pushButtonConnect->setEnabled(false);
    m_socket->abort();
    m_socket->connectToHost(ui->lineEditIpAddr->text().trimmed(), quint16(port));
    ui->pushButtonConnect->setEnabled(true);
}

void SkDialogContrl::displayError(QAbstractSocket::SocketError socketError)
{
    switch (socketError) {
    case QAbstractSocket::RemoteHostClosedError:
        break;
    case QAbstractSocket::HostNotFoundError:
        showInformation(tr("The host was not found. Please check the host name and port "
                           "settings."));
        break;
    case QAbstractSocket::ConnectionRefusedError:
        showInformation(tr("The connection was refused by the peer. Make sure the radar command "
                           "port is running, and check that the host name and port settings "
                           "are correct."));
        break;
    default:
        showInformation(tr("The following error occurred: %1.").arg(m_socket->errorString()));
    }
    ui->pushButtonConnect->setEnabled(true);
}

void SkDialogContrl::clientRead()
{
    QString text = m_stream.readAll();
    if (text.isEmpty())
        return;
    text.remove(QLatin1Char('\r'));
    appendAnswer(text, Qt::blue);
}

// The console's own notes stand apart from the radar's answers by their colour.
void SkDialogContrl::showNote(const QString &text)
{
    const QString pane = ui->plainTextEditServer->toPlainText();
    const bool lineStart = pane.isEmpty() || pane.endsWith(QLatin1Char('\n'));
    appendAnswer((lineStart ? QString() : QStringLiteral("\n")) + text + QLatin1Char('\n'),
                 Qt::red);
}

void SkDialogContrl::appendAnswer(const QString &text, const QColor &colour)
{
    QTextCharFormat format;
    format.setForeground(QBrush(colour, Qt::SolidPattern));
    QTextCursor cursor(ui->plainTextEditServer->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text, format);
    QScrollBar *bar = ui->plainTextEditServer->verticalScrollBar();
    bar->setValue(bar->maximum());
}

// Sends `text` as command lines; without a connection nothing is sent, the address field
// turns red and the answer pane says so.
void SkDialogContrl::clientWrite(const QString &text)
{
    if (text.isEmpty())
        return;
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        setAddressConnected(false);
        showNote(tr("Not connected: nothing was sent. Press \"(Re)connect\" first."));
        return;
    }
    m_stream << commandLines(text);
    m_stream.flush();
    clientRead();
}

void SkDialogContrl::disconnected()
{
    setAddressConnected(false);
}

void SkDialogContrl::connected()
{
    setAddressConnected(true);
}

void SkDialogContrl::on_pushButtonCSDefaultProfileStart_clicked()
{
    loadSequence(2);
}

void SkDialogContrl::on_pushButtonSendAll_clicked()
{
    ui->plainTextEditCMD->sendAll();
}

void SkDialogContrl::on_pushButtonClear_clicked()
{
    ui->plainTextEditCMD->clear();
    ui->plainTextEditServer->clear();
}

void SkDialogContrl::on_pushButtonCSInit_clicked()
{
    loadSequence(1);
}

void SkDialogContrl::on_pushButtonCStart_clicked()
{
    clientWrite(QStringLiteral("START"));
}

void SkDialogContrl::on_pushButtonCStop_clicked()
{
    clientWrite(QStringLiteral("STOP"));
}

void SkDialogContrl::on_pushButtonCStatus_clicked()
{
    clientWrite(QStringLiteral("STATUS"));
}

void SkDialogContrl::on_pushButtonCWakeup_clicked()
{
    clientWrite(QStringLiteral("WAKEUP"));
}

void SkDialogContrl::on_pushButtonCSuspend_clicked()
{
    clientWrite(QStringLiteral("SUSPEND"));
}

void SkDialogContrl::on_pushButtonESSmall_clicked()
{
    editSequence(1);
}

void SkDialogContrl::on_pushButtonESFull_clicked()
{
    editSequence(2);
}

void SkDialogContrl::on_pushButtonES1_clicked()
{
    editSequence(3);
}

void SkDialogContrl::on_pushButtonES2_clicked()
{
    editSequence(4);
}

void SkDialogContrl::on_pushButtonES3_clicked()
{
    editSequence(5);
}

void SkDialogContrl::on_pushButtonCS1_clicked()
{
    loadSequence(3);
}

void SkDialogContrl::on_pushButtonCS2_clicked()
{
    loadSequence(4);
}

void SkDialogContrl::on_pushButtonCS3_clicked()
{
    loadSequence(5);
}

// A sequence that was never stored leaves the pane empty; the defaults are offered by the
// edit dialog.
void SkDialogContrl::loadSequence(int number)
{
    const QString text = SkDialogEditCmds::storedSequences().value(number);
    ui->plainTextEditCMD->clear();
    if (!text.isEmpty())
        ui->plainTextEditCMD->appendPlainText(text);
}

void SkDialogContrl::editSequence(int number)
{
    SkDialogEditCmds dialog(number, SkDialogEditCmds::defaultSequence(number), this);
    dialog.exec();
}

void SkDialogContrl::setAddressConnected(bool connected)
{
    ui->lineEditIpAddr->setStyleSheet(QLatin1String(connected ? ConnectedStyle : NotConnectedStyle));
}

void SkDialogContrl::showInformation(const QString &text)
{
    QMessageBox::information(this, tr("Radar command port"), text, QMessageBox::Ok);
}
