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

void appendTimes(QStringList &lines, const RuFrameInfo &in)
{
    lines << Text::tr("m. time:\t%1").arg(timeText(in.seconds, in.microseconds, in.gmtOffset));
    if (in.processingSeconds != 0)
        lines << Text::tr("p. time:\t%1")
                     .arg(timeText(in.processingSeconds, in.processingMicroseconds,
                                   in.processingGmtOffset));
}

void appendIdentity(QStringList &lines, const RuFrameInfo &in)
{
    lines << Text::tr("Profile:\t%1").arg(in.profile);
    lines << Text::tr("Name:\t%1").arg(in.name);
    lines << Text::tr("Antenna:\t%1").arg(in.antenna ? QString(QChar(in.antenna)) : QString());
}

void appendSettings(QStringList &lines, const RuFrameInfo &in)
{
    lines << Text::tr("Mode:\t%1").arg(in.mode);
    lines << Text::tr("RG Width:\t%1 m").arg(in.rangegateWidth);
    lines << Text::tr("Divider:\t%1").arg(in.divider);
    lines << Text::tr("Range:\t%1 m").arg(in.range);
    lines << Text::tr("Rangegat.*:\t%1").arg(in.rangegates);
    lines << Text::tr("Blindrange:\t%1 m").arg(in.blindRange);
    lines << Text::tr("Blindgates*:\t%1").arg(in.blindGates);
    lines << Text::tr("Prf:\t%1").arg(in.prf);
    lines << Text::tr("Prfgates*:\t%1").arg(in.prfGates);
    lines << Text::tr("Amplitude:\t%1").arg(in.amplitude);
    lines << Text::tr("Compr,Len.:\t%1").arg(in.compressionLength);
    lines << Text::tr("Tx Delay:\t%1").arg(in.txDelay);
    lines << Text::tr("Pulse Delay:\t%1").arg(in.pulseDelay);
    lines << Text::tr("Polarity:\t%1").arg(in.polarity);
    lines << Text::tr("Gliding M.:\t%1").arg(in.glidingMean);
    lines << Text::tr("Frequency:\t%1 1/s").arg(in.frequency);
    lines << Text::tr("Integrate:\t%1").arg(in.integrate);
    lines << Text::tr("Combine:\t%1").arg(in.combine);
    lines << Text::tr("Loops:\t%1").arg(in.loops);
    lines << Text::tr("Avg. Spec.:\t%1").arg(in.averagedSpectra);
    lines << Text::tr("Rx Tx Start:\t%1").arg(in.rxTxStart);
    lines << Text::tr("Rx Tx End:\t%1").arg(in.rxTxEnd);
}

void appendWindows(QStringList &lines, const RuFrameInfo &in)
{
    if (in.isExtended()) {
        lines << Text::tr("Rx Start:\t%1").arg(in.rxStart);
        lines << Text::tr("Rx End:\t%1").arg(in.rxEnd);
    }
    lines << Text::tr("Cor Start:\t%1").arg(in.corStart);
    lines << Text::tr("Cor End:\t%1").arg(in.corEnd);
    lines << Text::tr("Pa Start:\t%1").arg(in.paStart);
    lines << Text::tr("Pa End:\t%1").arg(in.paEnd);
}

void appendTemperature(QStringList &lines, quint32 centiKelvin, const QString &label)
{
    if (centiKelvin != 0)
        lines << label.arg(temperature(centiKelvin));
}

void appendExtended(QStringList &lines, const RuFrameInfo &in)
{
    appendTemperature(lines, in.temperatureModules[0], Text::tr("Temp. Mod.1:\t%1"));
    appendTemperature(lines, in.temperatureModules[1], Text::tr("Temp. Mod.2:\t%1"));
    // The third module is listed under the second one's label, as the radar's own tools do.
    appendTemperature(lines, in.temperatureModules[2], Text::tr("Temp. Mod.2:\t%1"));
    lines << Text::tr("Power: %1").arg(in.power);
    lines << Text::tr("Vcc 1: %1 V").arg(shortest(in.supplyMillivolts[0] / 1000.0));
    lines << Text::tr("Vcc 2: %1 V").arg(shortest(in.supplyMillivolts[1] / 1000.0));
    lines << Text::tr("Vcc 3: %1 V").arg(shortest(in.supplyMillivolts[2] / 1000.0));
    lines << Text::tr("Version Firmware: %1").arg(in.firmwareVersion);
    lines << Text::tr("Version Hardware: %1").arg(in.hardwareVersion);
}

void appendGeometry(QStringList &lines, const RuFrameInfo &in)
{
    const quint64 widthMm = in.rangegateWidthMm;
    if (widthMm == 0)
        return;
    // Multiplied in millimetres first so that 2.345 m x 3 reads 7.035, not 7.035000000000001.
    lines << Text::tr("Rangegate Width*: %1 m").arg(shortest(widthMm / 1000.0));
    lines << Text::tr("Range*: %1 m").arg(shortest(widthMm * in.rangegates / 1000.0));
    lines << Text::tr("Blind Range*: %1 m").arg(shortest(widthMm * in.blindGates / 1000.0));
}

void appendPlls(QStringList &lines, const RuFrameInfo &in)
{
    const quint8 plls = in.pllStates;
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
    if (!record || record->format != RRD_FORMAT_RRD0 || !frame.hasInfo())
        return {};
    const RuFrameInfo in = frame.info();
    QStringList lines;
    lines << Text::tr("Format:\tRRD0");
    appendTimes(lines, in);
    appendIdentity(lines, in);
    appendSettings(lines, in);
    appendWindows(lines, in);
    appendTemperature(lines, in.temperaturePc, Text::tr("Temp. PC:\t%1"));
    appendTemperature(lines, in.temperatureInside, Text::tr("Temp. in:\t%1"));
    appendTemperature(lines, in.temperatureOutside, Text::tr("Temp. out:\t%1"));
    if (in.isExtended())
        appendExtended(lines, in);
    appendGeometry(lines, in);
    if (in.hasPllStates())
        appendPlls(lines, in);
    return lines;
}
