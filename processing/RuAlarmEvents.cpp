#include "RuAlarmEvents.h"

#include "RuNumberText.h"

namespace {

// "...Active RG=%1-%2(%3) \nSumSum=%4" texts of the avalanche detector (%5 the detector).
QString groupText(const char *text, int index, const RuAvalancheResult &r)
{
    const RuAvalancheGroup &g = r.bestGroup;
    return QString::fromLatin1(text)
        .arg(g.first)
        .arg(g.last)
        .arg(g.peakRangegate)
        .arg(ruFloatText(r.sumSum))
        .arg(index);
}

QString alarmOffText(int index, const RuAvalancheResult &r)
{
    const RuAvalancheGroup &g = r.alarmOffGroup;
    return QStringLiteral("Avalanche0-%5 Alarm: Active RG=%1-%2(%3[#%6]) \nSumSum=%4")
        .arg(g.first)
        .arg(g.last)
        .arg(g.peakRangegate)
        .arg(ruFloatText(r.sumSum))
        .arg(index)
        .arg(g.frame);
}

// Tag with the detector index, and the marker text, of one avalanche status; false when the
// status is not logged.
bool avalancheTexts(int index, const RuAvalancheResult &r, QString *tag, QString *marker)
{
    const QString av = ruAlarmDetectorName(RuAlarmEvent::Avalanche, index);
    switch (r.status) {
    case RuStatusDisabled:
    case RuStatusEvaluated:
    case RuStatusQuiet:
    case RuStatusAlarmContinues:
        return false;
    case RuStatusPreAlarm:
        *tag = av + QStringLiteral(" PREALARM");
        *marker = groupText("Avalanche0-%5 PreAlarm:Active RG=%1-%2(%3) \nSumSum=%4", index, r);
        return true;
    case RuStatusPreAlarmSameRgs:
        *tag = av + QStringLiteral(" PREALARM S");
        *marker = groupText("Avalanche0-%5 PreAlarm same RGs \nActive RG=%1-%2(%3) \nSumSum=%4",
                            index, r);
        return true;
    case RuStatusPreAlarmComing:
        *tag = av + QStringLiteral(" PREALARM C");
        *marker = groupText(
            "Avalanche0-%5 PreAlarm event coming \nActive RG=%1-%2(%3) \nSumSum=%4", index, r);
        return true;
    case RuStatusIncident:
        *tag = av + QStringLiteral(" INCIDENT");
        *marker = groupText("Avalanche0-%5 Incident: Active RG=%1-%2(%3) \nSumSum=%4", index, r);
        return true;
    case RuStatusAlarmOn:
        *tag = av + QStringLiteral(" ALARM ON");
        *marker = groupText("Avalanche0-%5 Alarm: Active RG=%1-%2(%3) \nSumSum=%4", index, r);
        return true;
    case RuStatusAlarmSpecial:
        *tag = av + QStringLiteral(" SPECIAL RG");
        *marker = groupText("Avalanche0-%5 Special RG hit: Active RG=%1-%2(%3) \nSumSum=%4",
                            index, r);
        return true;
    case RuStatusAlarmOff:
        *tag = av + QStringLiteral(" ALARM OFF");
        *marker = alarmOffText(index, r);
        return true;
    case RuStatusSymmetric:
        *tag = av + QStringLiteral(" Symmetric");
        *marker = av + QStringLiteral(" many symmetric RGs!");
        return true;
    case RuStatusPeakDrop:
        *tag = QStringLiteral("WARNING ") + av;
        *marker = QStringLiteral("Warning: Central peak drop!");
        return true;
    case RuStatusPeakDropReset:
    case RuStatusSymmetricReset:
        *tag = QStringLiteral("WARNING ") + av;
        *marker = QStringLiteral("Warning: Background reset!");
        return true;
    case RuStatusGeometryChanged:
        *tag = QStringLiteral("ERROR");
        *marker = QStringLiteral("Error: Frame geometry!");
        return true;
    case RuStatusInvalid:
        *tag = QStringLiteral("ERROR");
        *marker = QStringLiteral("Error: Data is invalid!");
        return true;
    default:
        *tag = QStringLiteral("ERROR");
        *marker = QStringLiteral("Error: Unknown alarm status %1!").arg(static_cast<int>(r.status));
        return true;
    }
}

void fill(RuAlarmEvent *event, RuAlarmEvent::Source source, int index, int status,
          const QString &tag, const QString &marker, const QString &detail)
{
    event->source = source;
    event->detector = index;
    event->status = status;
    event->tag = tag;
    event->marker = marker;
    event->detail = detail;
}

} // namespace

bool ruAvalancheEvent(int index, const RuAvalancheResult &result, RuAlarmEvent *event)
{
    QString tag;
    QString marker;
    if (!avalancheTexts(index, result, &tag, &marker))
        return false;
    const QString detail = ruAvalancheStatusNamesGroup(result.status) ? marker.simplified() : marker;
    fill(event, RuAlarmEvent::Avalanche, index, result.status, tag, marker, detail);
    return true;
}

bool ruRainEvent(int index, const RuRainResult &result, RuAlarmEvent *event)
{
    QString tag;
    QString marker;
    const QString activity = ruFloatText(result.activity);
    if (result.status == RuStatusAlarmOn) {
        tag = ruAlarmDetectorName(RuAlarmEvent::Rain, index) + QStringLiteral(" ALARM ON");
        marker = QStringLiteral("Rain%1 Alarm On: Activity=%2").arg(index).arg(activity);
    } else if (result.status == RuStatusAlarmOff) {
        tag = ruAlarmDetectorName(RuAlarmEvent::Rain, index) + QStringLiteral(" ALARM OFF");
        marker = QStringLiteral("Rain%1 Alarm Off: Activity=%2").arg(index).arg(activity);
    } else {
        return false;
    }
    fill(event, RuAlarmEvent::Rain, index, result.status, tag, marker, marker);
    return true;
}

bool ruWaterlevelEvent(int index, const RuWaterlevelResult &result, RuAlarmEvent *event)
{
    const char *what = nullptr;
    const char *tagWhat = nullptr;
    switch (result.status) {
    case RuStatusIncidentOn: what = "Incident On"; tagWhat = "INCIDENT ON"; break;
    case RuStatusIncidentOff: what = "Incident Off"; tagWhat = "INCIDENT OFF"; break;
    case RuStatusAlarmOn: what = "Alarm On"; tagWhat = "ALARM ON"; break;
    case RuStatusAlarmOff: what = "Alarm Off"; tagWhat = "ALARM OFF"; break;
    default: return false;
    }
    const QString tag = ruAlarmDetectorName(RuAlarmEvent::Waterlevel, index) + QLatin1Char(' ')
                        + QLatin1String(tagWhat);
    const QString marker = QStringLiteral("Waterlevel%1 %2: Sum of Values %3")
                               .arg(index)
                               .arg(QLatin1String(what), ruFloatText(result.value));
    fill(event, RuAlarmEvent::Waterlevel, index, result.status, tag, marker, marker);
    return true;
}

QVector<RuAlarmEvent> ruAlarmEvents(const RuAlarmResult &result)
{
    QVector<RuAlarmEvent> events;
    RuAlarmEvent event;
    for (int i = 0; i < RuAlarmResult::Detectors; ++i)
        if (ruAvalancheEvent(i, result.avalanche[i], &event))
            events << event;
    if (ruRainEvent(0, result.rain[0], &event))
        events << event;
    if (ruWaterlevelEvent(0, result.waterlevel[0], &event))
        events << event;
    return events;
}

QString ruAlarmDetectorName(RuAlarmEvent::Source source, int index)
{
    switch (source) {
    case RuAlarmEvent::Avalanche: return QStringLiteral("AV0-%1").arg(index);
    case RuAlarmEvent::Rain: return QStringLiteral("RAIN%1").arg(index);
    case RuAlarmEvent::Waterlevel: return QStringLiteral("WL%1").arg(index);
    }
    return QString();
}

bool ruAvalancheStatusNamesGroup(int status)
{
    switch (status) {
    case RuStatusPreAlarm:
    case RuStatusPreAlarmSameRgs:
    case RuStatusPreAlarmComing:
    case RuStatusIncident:
    case RuStatusAlarmOn:
    case RuStatusAlarmSpecial:
    case RuStatusAlarmOff:
        return true;
    default:
        return false;
    }
}
