#pragma once
// What a report tells, gathered from one pass of the detector engine over the frames: the
// recording (frames, time span, range gates, the first parameter block), the alarm log with
// the range gates of each event, the detector curves of every frame, and the frames around
// each alarm on (the first MostPictured of them) for its pictures. Memory grows with the
// frames by a few dozen bytes each; the frames themselves are held only around alarms.

#include "RuAlarmResult.h"
#include "RuFrame.h"
#include "RuFrameInfo.h"
#include "SkPacket.h"
#include "SkReportRow.h"

#include <QVector>

#include <array>
#include <deque>
#include <optional>

// An alarm on that a report pictures: the frames around it, as the viewer holds them, and
// the range gate shown over time.
struct SkReportAlarm
{
    int row = 0;          // the alarm's row in the report's log
    qint64 frame = 0;
    int rangegate = 0;    // the range gate of the view over time
    QVector<SkPacket> window; // consecutive frames, the alarm's among them
    int at = 0;           // the alarm's frame in `window`
};

// The detector curves of one frame: avalanche 0-2, rain 0, water level 0.
struct SkReportSample
{
    static constexpr int Curves = 5;
    qint64 frame = 0;
    qint64 timeMicros = 0;
    std::array<RuAlarmStatus, Curves> status{};
    std::array<float, Curves> value{};
};

class SkReportCollector
{
public:
    static constexpr int FramesBefore = 60; // frames of the view over time before an alarm
    static constexpr int FramesAfter = 60;  // and after it
    static constexpr int MostPictured = 20;

    // The range gate the water-level detector watches (its events concern it).
    void setWaterlevelRangegate(int rangegate) { m_waterlevelRangegate = rangegate; }
    void add(qint64 frameNo, const RuFrame &frame, const SkAlarmResultSharedPtr &result);

    qint64 frames() const { return m_frames; }
    qint64 firstTime() const { return m_firstTime; }
    qint64 lastTime() const { return m_lastTime; }
    int fewestRangegates() const { return m_fewestRangegates; }
    int mostRangegates() const { return m_mostRangegates; }
    const std::optional<RuFrameInfo> &firstInfo() const { return m_firstInfo; }
    const QVector<SkReportRow> &rows() const { return m_rows; }
    // Every alarm on of the log, pictured or not.
    int alarmsOn() const { return m_alarmsOn; }
    const QVector<SkReportAlarm> &alarms() const { return m_alarms; }
    const std::vector<SkReportSample> &samples() const { return m_samples; }

private:
    void addSample(qint64 frameNo, qint64 time, const RuAlarmResult &result);
    SkReportRow rowOf(qint64 frameNo, qint64 time, double width, const RuAlarmEvent &event,
                      const RuAlarmResult &result) const;
    void startAlarm(int row, const SkPacket &packet);
    void growWindows(const SkPacket &packet);

    qint64 m_frames = 0;
    qint64 m_firstTime = 0;
    qint64 m_lastTime = 0;
    int m_fewestRangegates = 0;
    int m_mostRangegates = 0;
    std::optional<RuFrameInfo> m_firstInfo;
    int m_waterlevelRangegate = 0;
    QVector<SkReportRow> m_rows;
    int m_alarmsOn = 0;
    QVector<SkReportAlarm> m_alarms;
    std::deque<SkPacket> m_recent; // the last FramesBefore frames
    std::vector<SkReportSample> m_samples;
};
