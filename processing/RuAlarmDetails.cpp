#include "RuAlarmDetails.h"

#include "RuNumberText.h"
#include "SkPacket.h"

#include <QCoreApplication>
#include <QDateTime>

namespace {

// Gives lupdate the context "RuAlarmDetails" for the labels below.
struct Text
{
    Q_DECLARE_TR_FUNCTIONS(RuAlarmDetails)
};

QString utcText(qint64 micros)
{
    const qint64 ms = micros >= 0 ? micros / 1000 : -((-micros + 999) / 1000);
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

QString rangegateLine(int rg, const RuAvalancheResult &r)
{
    const bool hasRuns = rg < r.runs.size();
    const int runs = hasRuns ? r.runs[rg].starts.size() : 0;
    const double activity = r.rowActivity[rg];
    const char *form = activity == 0.0 ? "[RG %1:\t%2\t%3]"
                       : hasRuns && r.runs[rg].symmetric ? "s[RG %1:\t%2\t%3]"
                                                         : "RG %1:\t%2\t%3";
    return QString::fromLatin1(form).arg(rg).arg(runs).arg(activity, 5, 'f', 0);
}

// One character per four channels of 0..511: how many of them the alarm's runs covered.
QString channelMapText(const QBitArray &map)
{
    static const char marks[] = {' ', '.', '-', '#', '*'};
    QString text;
    text.reserve(128);
    for (int c = 0; c < 512; c += 4) {
        int set = 0;
        for (int i = c; i < c + 4 && i < map.size(); ++i)
            set += map.testBit(i) ? 1 : 0;
        text += QLatin1Char(marks[set]);
    }
    return text;
}

void appendLastAlarm(QStringList &lines, const RuLastAlarm &a)
{
    lines << Text::tr("Last alarm statistic (UTC):");
    lines << Text::tr("A. on:\t%1 (%2 fr)").arg(utcText(a.alarmOnTime)).arg(a.alarmOnFrame);
    lines << Text::tr("A. off:\t%1 (%2 fr)").arg(utcText(a.lastEventTime)).arg(a.lastEventFrame);
    lines << Text::tr("A. off overr.:\t%1 (%2 fr)")
                 .arg(utcText(a.alarmOffTime))
                 .arg(a.alarmOffFrame);
    lines << Text::tr("Channel sub. left/right: %1/%2").arg(a.borderLeft).arg(a.borderRight);
    lines << Text::tr("Highest sum: %1 (%2)")
                 .arg(ruFloatText(a.highestSumSum), utcText(a.highestSumSumTime));
    lines << Text::tr("Overall sumsum: %1\n").arg(ruFloatText(a.summedSumSum));
    lines << QStringLiteral("RG|Channels") << QStringLiteral("--|--------");
    for (int rg = a.channelMaps.size() - 1; rg >= 0; --rg) {
        const QBitArray &map = a.channelMaps[rg];
        lines << QStringLiteral("%1|").arg(rg, 2) + (map.isEmpty() ? QString() : channelMapText(map));
    }
    lines << QString();
}

void appendAvalanche(QStringList &lines, int k, const RuAvalancheResult &r)
{
    lines << Text::tr("Avalanche %1:").arg(k);
    lines << Text::tr("RGs\tEvents\tSum");
    for (int rg = r.rowActivity.size() - 1; rg >= 0; --rg)
        lines << rangegateLine(rg, r);
    lines << Text::tr("SumSum:\t%1\n").arg(ruFloatText(r.sumSum));
    if (r.lastAlarm.valid)
        appendLastAlarm(lines, r.lastAlarm);
}

void appendRain(QStringList &lines, const RuRainResult &r)
{
    lines << Text::tr("Rain:");
    lines << Text::tr("Sum frame:\t%1").arg(ruFloatText(r.summedCurrent));
    lines << Text::tr("Sum BGFr.:\t%1").arg(ruFloatText(r.summedBackground));
    lines << Text::tr("RG sum/bg:\t%1\n").arg(static_cast<double>(r.activity), 5, 'f', 4);
    for (int rg = r.ratios.size() - 1; rg >= 0; --rg)
        lines << Text::tr("Sum RG%1:\t%2").arg(rg).arg(ruFloatText(r.ratios[rg]));
}

} // namespace

QStringList ruAlarmDetails(const RuAlarmResult &result)
{
    QStringList lines;
    for (int k = 0; k < RuAlarmResult::Detectors; ++k)
        if (result.avalanche[k].status != RuStatusDisabled)
            appendAvalanche(lines, k, result.avalanche[k]);
    if (result.rain[0].status != RuStatusDisabled)
        appendRain(lines, result.rain[0]);
    return lines;
}

QStringList ruAlarmDetails(const SkPacket &packet)
{
    const SkAlarmResultSharedPtr result = packet.alarmResult();
    return result ? ruAlarmDetails(*result) : QStringList();
}
