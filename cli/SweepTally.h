#pragma once
// What one parameter set of a sweep raised: alarms on and pre-alarms per detector, and every
// alarm on with its frame and time, counted from the alarm log's events.

#include "RuAlarmEvent.h"

#include <QString>
#include <QVector>

#include <array>

namespace cli {

struct SweepAlarm
{
    qint64 frame = 0;
    qint64 timeMicros = 0;
    int detector = 0; // index into SweepTally::detectorKeys()
};

struct SweepTally
{
    static constexpr int Detectors = 5;
    // The sections of the detectors a parameter file configures: av00, av01, av02, rain0,
    // waterlevel0.
    static const std::array<QString, Detectors> &detectorKeys();
    // The index of `key` in detectorKeys(), or -1.
    static int detectorIndex(const QString &key);

    std::array<int, Detectors> alarms{};
    // Avalanche pre-alarms (also on the same range gates); the water level's incidents on,
    // its lower level; the rain detector has none.
    std::array<int, Detectors> preAlarms{};
    QVector<SweepAlarm> alarmsOn; // in frame order

    void count(qint64 frame, qint64 timeMicros, const RuAlarmEvent &event);
    const SweepAlarm *firstAlarm() const { return alarmsOn.isEmpty() ? nullptr : &alarmsOn.first(); }
};

} // namespace cli
