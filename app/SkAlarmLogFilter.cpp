#include "SkAlarmLogFilter.h"

#include "RuAlarmStatus.h"
#include "SkAlarmLogModel.h"

#include <algorithm>

SkAlarmLogFilter::SkAlarmLogFilter(QObject *parent) : QSortFilterProxyModel(parent)
{
    std::fill(std::begin(m_detectorShown), std::end(m_detectorShown), true);
    std::fill(std::begin(m_kindShown), std::end(m_kindShown), true);
}

SkAlarmLogFilter::Detector SkAlarmLogFilter::detectorOf(RuAlarmEvent::Source source, int index)
{
    switch (source) {
    case RuAlarmEvent::Rain: return Rain;
    case RuAlarmEvent::Waterlevel: return Waterlevel;
    case RuAlarmEvent::Avalanche: break;
    }
    return Detector(Avalanche0 + qBound(0, index, int(Avalanche2)));
}

SkAlarmLogFilter::Kind SkAlarmLogFilter::kindOf(int status)
{
    switch (status) {
    case RuStatusPreAlarm:
    case RuStatusPreAlarmSameRgs:
    case RuStatusPreAlarmComing:
        return PreAlarm;
    case RuStatusIncident:
    case RuStatusIncidentOn:
    case RuStatusIncidentOff:
        return Incident;
    // A special range gate is hit while the alarm is on.
    case RuStatusAlarmOn:
    case RuStatusAlarmSpecial:
        return AlarmOn;
    case RuStatusAlarmOff:
        return AlarmOff;
    default:
        return Other;
    }
}

QString SkAlarmLogFilter::detectorKey(Detector detector)
{
    static const char *const keys[DetectorCount] = {"AV0-0", "AV0-1", "AV0-2", "WL0", "RAIN0"};
    return QString::fromLatin1(keys[detector]);
}

QString SkAlarmLogFilter::kindKey(Kind kind)
{
    static const char *const keys[KindCount] = {"prealarm", "alarmon", "alarmoff", "incident",
                                                "other"};
    return QString::fromLatin1(keys[kind]);
}

void SkAlarmLogFilter::setDetectorShown(Detector detector, bool shown)
{
    if (m_detectorShown[detector] == shown)
        return;
    m_detectorShown[detector] = shown;
    invalidateFilter();
}

void SkAlarmLogFilter::setKindShown(Kind kind, bool shown)
{
    if (m_kindShown[kind] == shown)
        return;
    m_kindShown[kind] = shown;
    invalidateFilter();
}

bool SkAlarmLogFilter::showsAll() const
{
    return std::all_of(std::begin(m_detectorShown), std::end(m_detectorShown), [](bool b) { return b; })
           && std::all_of(std::begin(m_kindShown), std::end(m_kindShown), [](bool b) { return b; });
}

bool SkAlarmLogFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    const auto source = RuAlarmEvent::Source(index.data(SkAlarmLogModel::SourceRole).toInt());
    const int detector = index.data(SkAlarmLogModel::DetectorRole).toInt();
    const int status = index.data(SkAlarmLogModel::StatusRole).toInt();
    return m_detectorShown[detectorOf(source, detector)] && m_kindShown[kindOf(status)];
}
