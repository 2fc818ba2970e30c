#include "SkReportCollector.h"

#include "RuAlarmEvents.h"

#include <algorithm>
#include <numeric>

namespace {

double rangegateWidth(const RuFrame &frame)
{
    if (!frame.hasInfo())
        return 0.0;
    const RuFrameInfo info = frame.info();
    return info.rangegateWidthMm > 0 ? info.rangegateWidthMm / 1000.0 : double(info.rangegateWidth);
}

// The range gates of the largest and second largest rain ratio: their mean is the activity.
QVector<QPair<int, int>> rainRangegates(const RuRainResult &rain)
{
    QVector<int> order(rain.ratios.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return rain.ratios[a] > rain.ratios[b]; });
    QVector<QPair<int, int>> spans;
    for (int i = 0; i < std::min(2, order.size()); ++i)
        spans.append({order[i], order[i]});
    return spans;
}

} // namespace

void SkReportCollector::add(qint64 frameNo, const RuFrame &frame, const SkAlarmResultSharedPtr &result)
{
    const qint64 time = frame.timeMicros();
    const int rows = frame.rows();
    if (m_frames == 0) {
        m_firstTime = time;
        m_fewestRangegates = m_mostRangegates = rows;
    }
    m_fewestRangegates = std::min(m_fewestRangegates, rows);
    m_mostRangegates = std::max(m_mostRangegates, rows);
    m_lastTime = time;
    ++m_frames;
    if (!m_firstInfo && frame.hasInfo())
        m_firstInfo = frame.info();

    SkPacket packet(frame, int(frameNo));
    packet.setAlarmResult(result);
    growWindows(packet);
    if (result) {
        addSample(frameNo, time, *result);
        const QVector<RuAlarmEvent> events = ruAlarmEvents(*result);
        const double width = events.isEmpty() ? 0.0 : rangegateWidth(frame);
        for (const RuAlarmEvent &event : events) {
            m_rows << rowOf(frameNo, time, width, event, *result);
            if (event.status == RuStatusAlarmOn) {
                ++m_alarmsOn;
                startAlarm(m_rows.size() - 1, packet);
            }
        }
    }
    m_recent.push_back(packet);
    if (int(m_recent.size()) > FramesBefore)
        m_recent.pop_front();
}

void SkReportCollector::addSample(qint64 frameNo, qint64 time, const RuAlarmResult &result)
{
    SkReportSample s;
    s.frame = frameNo;
    s.timeMicros = time;
    for (int k = 0; k < RuAlarmResult::Detectors; ++k) {
        s.status[size_t(k)] = result.avalanche[size_t(k)].status;
        s.value[size_t(k)] = result.avalanche[size_t(k)].sumSum;
    }
    s.status[3] = result.rain[0].status;
    s.value[3] = result.rain[0].activity;
    s.status[4] = result.waterlevel[0].status;
    s.value[4] = result.waterlevel[0].value;
    m_samples.push_back(s);
}

SkReportRow SkReportCollector::rowOf(qint64 frameNo, qint64 time, double width,
                                     const RuAlarmEvent &event, const RuAlarmResult &result) const
{
    SkReportRow row;
    row.frame = frameNo;
    row.timeMicros = time;
    row.event = event;
    row.rangegateWidth = width;
    switch (event.source) {
    case RuAlarmEvent::Avalanche: {
        const RuAvalancheResult &r = result.avalanche[size_t(event.detector)];
        const RuAvalancheGroup &g = event.status == RuStatusAlarmOff ? r.alarmOffGroup : r.bestGroup;
        if (ruAvalancheStatusNamesGroup(event.status))
            row.rangegates.append({g.first, g.last});
        break;
    }
    case RuAlarmEvent::Rain:
        row.rangegates = rainRangegates(result.rain[size_t(event.detector)]);
        break;
    case RuAlarmEvent::Waterlevel:
        row.rangegates.append({m_waterlevelRangegate, m_waterlevelRangegate});
        break;
    }
    return row;
}

void SkReportCollector::startAlarm(int row, const SkPacket &packet)
{
    if (m_alarms.size() >= MostPictured)
        return;
    SkReportAlarm alarm;
    alarm.row = row;
    alarm.frame = packet.frameNumber();
    const SkReportRow &r = m_rows[row];
    if (r.event.source == RuAlarmEvent::Avalanche)
        alarm.rangegate = packet.alarmResult()->avalanche[size_t(r.event.detector)].bestGroup.peakRangegate;
    else if (!r.rangegates.isEmpty())
        alarm.rangegate = r.rangegates.first().first;
    for (const SkPacket &p : m_recent)
        alarm.window << p;
    alarm.at = alarm.window.size();
    alarm.window << packet;
    m_alarms << alarm;
}

void SkReportCollector::growWindows(const SkPacket &packet)
{
    for (int i = m_alarms.size() - 1; i >= 0; --i) {
        SkReportAlarm &alarm = m_alarms[i];
        if (alarm.window.size() >= alarm.at + 1 + FramesAfter)
            break;
        alarm.window << packet;
    }
}
