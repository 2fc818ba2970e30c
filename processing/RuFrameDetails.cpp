#include "RuFrameDetails.h"

#include "RuFrame.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

namespace {

// Gives lupdate the context "RuFrameDetails" for the labels below.
struct Text
{
    Q_DECLARE_TR_FUNCTIONS(RuFrameDetails)
};

// Shortest decimal form without exponent: 12.345, 100, 0.001.
QString shortest(double v) { return QString::number(v, 'f', QLocale::FloatingPointShortest); }

class InfoReader
{
public:
    explicit InfoReader(const unsigned char *info) : p(info) {}
    quint8 u8(int offset) const { return p[offset]; }
    quint16 u16(int offset) const { return rrd_get_u16(p + offset); }
    qint16 s16(int offset) const { return rrd_get_s16(p + offset); }
    quint32 u32(int offset) const { return rrd_get_u32(p + offset); }
    qint32 s32(int offset) const { return rrd_get_s32(p + offset); }
    QString text(int offset, int size) const
    {
        const char *s = reinterpret_cast<const char *>(p + offset);
        return QString::fromLatin1(s, static_cast<int>(qstrnlen(s, static_cast<uint>(size))));
    }
    bool extended() const { return u8(RRD_INFO_FLAGS) & 0x01; }
    bool pllsValid() const { return u8(RRD_INFO_FLAGS) & 0x04; }

private:
    const unsigned char *p;
};

// "2024-01-02 03:04:05.678 UTC (gmt:+3600 s)"; milliseconds rounded down, also before 1970.
QString timeText(qint64 seconds, qint64 micros, qint32 gmt)
{
    const qint64 us = seconds * 1000000 + micros;
    const qint64 ms = us >= 0 ? us / 1000 : -((-us + 999) / 1000);
    const QString when = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)
                             .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    return Text::tr("%1 UTC (gmt:%2%3 s)")
        .arg(when, gmt >= 0 ? QStringLiteral("+") : QStringLiteral("-"))
        .arg(qAbs(static_cast<qint64>(gmt)));
}

// Hundredths of a kelvin as " 20.0 ℃"-style text (width 5, one decimal).
QString temperature(quint32 centiKelvin)
{
    return QStringLiteral("%1 %2")
        .arg(centiKelvin / 100.0 - 273.15, 5, 'f', 1)
        .arg(QChar(0x2103));
}

void appendTimes(QStringList &lines, const InfoReader &in)
{
    lines << Text::tr("m. time:\t%1")
                 .arg(timeText(in.s32(RRD_INFO_SECONDS), in.s32(RRD_INFO_MICROS),
                               in.s32(RRD_INFO_GMT)));
    if (in.s32(RRD_INFO_P_SECONDS) != 0)
        lines << Text::tr("p. time:\t%1")
                     .arg(timeText(in.s32(RRD_INFO_P_SECONDS), in.s32(RRD_INFO_P_MICROS),
                                   in.s32(RRD_INFO_P_GMT)));
}

void appendIdentity(QStringList &lines, const InfoReader &in)
{
    lines << Text::tr("Profile:\t%1").arg(in.text(RRD_INFO_PROFILE, 32));
    lines << Text::tr("Name:\t%1").arg(in.text(RRD_INFO_NAME, 32));
    const quint8 antenna = in.u8(RRD_INFO_ANTENNA);
    lines << Text::tr("Antenna:\t%1").arg(antenna ? QString(QChar(antenna)) : QString());
}

void appendSettings(QStringList &lines, const InfoReader &in)
{
    lines << Text::tr("Mode:\t%1").arg(in.u16(RRD_INFO_MODE));
    lines << Text::tr("RG Width:\t%1 m").arg(in.u16(RRD_INFO_RG_WIDTH));
    lines << Text::tr("Divider:\t%1").arg(in.u16(RRD_INFO_DIVIDER));
    lines << Text::tr("Range:\t%1 m").arg(in.u16(RRD_INFO_RANGE));
    lines << Text::tr("Rangegat.*:\t%1").arg(in.u16(RRD_INFO_RANGEGATES));
    lines << Text::tr("Blindrange:\t%1 m").arg(in.u16(RRD_INFO_BLINDRANGE));
    lines << Text::tr("Blindgates*:\t%1").arg(in.u16(RRD_INFO_BLIND_GATES));
    lines << Text::tr("Prf:\t%1").arg(in.u16(RRD_INFO_PRF));
    lines << Text::tr("Prfgates*:\t%1").arg(in.u16(RRD_INFO_PRF_GATES));
    lines << Text::tr("Amplitude:\t%1").arg(in.u32(RRD_INFO_AMPLITUDE));
    lines << Text::tr("Compr,Len.:\t%1").arg(in.u16(RRD_INFO_COMPR_LEN));
    lines << Text::tr("Tx Delay:\t%1").arg(in.u16(RRD_INFO_TX_DELAY));
    lines << Text::tr("Pulse Delay:\t%1").arg(in.s16(RRD_INFO_PULSE_DELAY));
    lines << Text::tr("Polarity:\t%1").arg(in.u16(RRD_INFO_POLARITY));
    lines << Text::tr("Gliding M.:\t%1").arg(in.u16(RRD_INFO_GLIDING_MEAN));
    lines << Text::tr("Frequency:\t%1 1/s").arg(in.u32(RRD_INFO_FREQUENCY));
    lines << Text::tr("Integrate:\t%1").arg(in.u16(RRD_INFO_INTEGRATE));
    lines << Text::tr("Combine:\t%1").arg(in.u16(RRD_INFO_COMBINE));
    lines << Text::tr("Loops:\t%1").arg(in.u16(RRD_INFO_LOOPS));
    lines << Text::tr("Avg. Spec.:\t%1").arg(in.u16(RRD_INFO_AVG_SPEC));
    lines << Text::tr("Rx Tx Start:\t%1").arg(in.s16(RRD_INFO_RXTX_START));
    lines << Text::tr("Rx Tx End:\t%1").arg(in.s16(RRD_INFO_RXTX_END));
}

void appendWindows(QStringList &lines, const InfoReader &in)
{
    if (in.extended()) {
        lines << Text::tr("Rx Start:\t%1").arg(in.s16(RRD_INFO_RX_START));
        lines << Text::tr("Rx End:\t%1").arg(in.s16(RRD_INFO_RX_END));
    }
    lines << Text::tr("Cor Start:\t%1").arg(in.s16(RRD_INFO_COR_START));
    lines << Text::tr("Cor End:\t%1").arg(in.s16(RRD_INFO_COR_END));
    lines << Text::tr("Pa Start:\t%1").arg(in.s16(RRD_INFO_PA_START));
    lines << Text::tr("Pa End:\t%1").arg(in.s16(RRD_INFO_PA_END));
}

void appendTemperature(QStringList &lines, const InfoReader &in, int offset, const QString &label)
{
    const quint32 value = in.u32(offset);
    if (value != 0)
        lines << label.arg(temperature(value));
}

void appendExtended(QStringList &lines, const InfoReader &in)
{
    appendTemperature(lines, in, RRD_INFO_TEMP_MOD1, Text::tr("Temp. Mod.1:\t%1"));
    appendTemperature(lines, in, RRD_INFO_TEMP_MOD2, Text::tr("Temp. Mod.2:\t%1"));
    // The third module is listed under the second one's label, as the radar's own tools do.
    appendTemperature(lines, in, RRD_INFO_TEMP_MOD3, Text::tr("Temp. Mod.2:\t%1"));
    lines << Text::tr("Power: %1").arg(in.u32(RRD_INFO_POWER));
    lines << Text::tr("Vcc 1: %1 V").arg(shortest(in.s32(RRD_INFO_VCC1) / 1000.0));
    lines << Text::tr("Vcc 2: %1 V").arg(shortest(in.s32(RRD_INFO_VCC2) / 1000.0));
    lines << Text::tr("Vcc 3: %1 V").arg(shortest(in.s32(RRD_INFO_VCC3) / 1000.0));
    lines << Text::tr("Version Firmware: %1").arg(in.u32(RRD_INFO_VERSION_FW));
    lines << Text::tr("Version Hardware: %1").arg(in.u32(RRD_INFO_VERSION_HW));
}

void appendGeometry(QStringList &lines, const InfoReader &in)
{
    const quint64 widthMm = in.u32(RRD_INFO_RG_WIDTH_MM);
    if (widthMm == 0)
        return;
    // Multiplied in millimetres first so that 2.345 m x 3 reads 7.035, not 7.035000000000001.
    lines << Text::tr("Rangegate Width*: %1 m").arg(shortest(widthMm / 1000.0));
    lines << Text::tr("Range*: %1 m").arg(shortest(widthMm * in.u16(RRD_INFO_RANGEGATES) / 1000.0));
    lines << Text::tr("Blind Range*: %1 m")
                 .arg(shortest(widthMm * in.u16(RRD_INFO_BLIND_GATES) / 1000.0));
}

void appendPlls(QStringList &lines, const InfoReader &in)
{
    const quint8 plls = in.u8(RRD_INFO_PLLS);
    const QString ok = Text::tr("ok");
    const QString failed = Text::tr("failed");
    lines << Text::tr("PLLs 1/2/3: %1/%2/%3")
                 .arg(plls & 0x01 ? ok : failed, plls & 0x02 ? ok : failed,
                      plls & 0x04 ? ok : failed);
}

} // namespace

QStringList ruFrameDetails(const RuFrame &frame)
{
    const rrd_frame *record = frame.record();
    if (!record || record->format != RRD_FORMAT_RRD0 || !frame.info())
        return {};
    const InfoReader in(frame.info());
    QStringList lines;
    lines << Text::tr("Format:\tRRD0");
    appendTimes(lines, in);
    appendIdentity(lines, in);
    appendSettings(lines, in);
    appendWindows(lines, in);
    appendTemperature(lines, in, RRD_INFO_TEMP_PC, Text::tr("Temp. PC:\t%1"));
    appendTemperature(lines, in, RRD_INFO_TEMP_IN, Text::tr("Temp. in:\t%1"));
    appendTemperature(lines, in, RRD_INFO_TEMP_OUT, Text::tr("Temp. out:\t%1"));
    if (in.extended())
        appendExtended(lines, in);
    appendGeometry(lines, in);
    if (in.pllsValid())
        appendPlls(lines, in);
    return lines;
}
