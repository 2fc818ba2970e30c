#include "SkDialogEditCmds.h"
#include "ui_SkDialogEditCmds.h"

#include <QDataStream>
#include <QIODevice>
#include <QSettings>

namespace {

const QString SequencesKey = QStringLiteral("sCmdList");
// Fixed so that the stored map reads in any Qt version.
constexpr QDataStream::Version StreamVersion = QDataStream::Qt_5_15;

QString lines(const QStringList &commands)
{
    return commands.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

SkDialogEditCmds::SkDialogEditCmds(int number, const QString &defaultText, QWidget *parent)
    : QDialog(parent), ui(new Ui::SkDialogEditCmds), m_number(number), m_defaultText(defaultText)
{
    ui->setupUi(this);
    const QString stored = storedSequences().value(number);
    ui->plainTextEdit->setPlainText(stored.isEmpty() ? defaultText : stored);
}

SkDialogEditCmds::~SkDialogEditCmds() = default;

QString SkDialogEditCmds::text() const
{
    return ui->plainTextEdit->toPlainText();
}

QMap<int, QString> SkDialogEditCmds::storedSequences()
{
    QMap<int, QString> sequences;
    QDataStream in(QSettings().value(SequencesKey).toByteArray());
    in.setVersion(StreamVersion);
    in >> sequences;
    if (in.status() != QDataStream::Ok)
        sequences.clear();
    return sequences;
}

void SkDialogEditCmds::storeSequences(const QMap<int, QString> &sequences)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(StreamVersion);
    out << sequences;
    QSettings().setValue(SequencesKey, bytes);
}

QString SkDialogEditCmds::defaultSequence(int number)
{
    static const QStringList start = {
        QStringLiteral("STOP"), QStringLiteral("RESET_DSP"), QStringLiteral("LOAD_HEXFILE_DSP"),
        QStringLiteral("RUN_DSP"), QStringLiteral("NAME mobil"), QStringLiteral("PARAM MODE PULSE"),
        QStringLiteral("PARAM RANGEGATE_WIDTH 30")};
    static const QStringList tail = {QStringLiteral("PARAM PRF 50"),
                                     QStringLiteral("PARAM PULSE_COMPRESSION_LENGTH 7"),
                                     QStringLiteral("PARAM INTEGRATE 16")};
    static const QStringList end = {QStringLiteral("LOAD_PARAMS_DSP"), QStringLiteral("START"),
                                    QStringLiteral("STATUS")};
    if (number == 1) {
        return lines(start
                     + QStringList{QStringLiteral("PARAM RANGE 600"),
                                   QStringLiteral("PARAM BLINDRANGE 40")}
                     + tail + end);
    }
    if (number == 2) {
        return lines(start
                     + QStringList{QStringLiteral("PARAM RANGE 1000"),
                                   QStringLiteral("PARAM BLINDRANGE 0")}
                     + tail
                     + QStringList{
                         QStringLiteral("PARAM PA_PULSE 1 1"), QStringLiteral("PARAM RX_TX_PULSE 0 0"),
                         QStringLiteral("PARAM RX_PULSE 0 0"), QStringLiteral("PARAM COR_PULSE 1 1"),
                         QStringLiteral("PARAM GLIDING_MEAN 0"), QStringLiteral("PARAM PULSE_DELAY 0"),
                         QStringLiteral("PARAM TX_DELAY 0"),
                         QStringLiteral("PARAM RX_TX_POLARITY NEGATIVE"),
                         QStringLiteral("PARAM FREQUENCY 10426"),
                         QStringLiteral("PARAM AMPLITUDE 16383"), QStringLiteral("PARAM LOOPS 0"),
                         QStringLiteral("PARAM COMBINE 1"),
                         QStringLiteral("PARAM AVERAGE_SPECTRUM 1")}
                     + end);
    }
    return QString();
}

void SkDialogEditCmds::on_buttonBox_clicked(QAbstractButton *button)
{
    if (ui->buttonBox->buttonRole(button) != QDialogButtonBox::AcceptRole)
        return;
    QMap<int, QString> sequences = storedSequences();
    sequences.insert(m_number, text());
    storeSequences(sequences);
}

void SkDialogEditCmds::on_pushButtonReset_clicked()
{
    ui->plainTextEdit->setPlainText(m_defaultText);
}
