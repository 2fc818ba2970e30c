#pragma once
// A stand-in for the radar: makes recordings and streams on which the detectors behave as on
// real data. Every range gate has a noise floor with a strong clutter peak at channel 0 and
// random fluctuation; the scenarios add an avalanche (a block of neighbouring range gates
// rising strongly on the approaching side of channel 0 and moving one range gate per frame
// towards the radar), rain (all range gates raised broadly on both sides of channel 0) and a
// water-level change (one range gate's channel window rising and falling slowly).
//
// Frames are computed independently of each other from (seed, frame index), so any frame can
// be made at any time, in any order, always with the same bytes.

#include "RuFrame.h"
#include "rrd.h"

#include <QString>
#include <QStringList>

#include <vector>

enum class RuScenario { Quiet, Avalanche, Rain, WaterLevel, Mixed };

struct RuSimulatorOptions
{
    RuScenario scenario = RuScenario::Quiet;
    int frames = 600;                 // length of the recording (and of one scenario cycle)
    int rangegates = 20;              // the scenarios need at least 10 to unfold fully
    int format = RRD_FORMAT_RRD0;     // RRD_FORMAT_RAW, RRD_FORMAT_STAMPED or RRD_FORMAT_RRD0
    int intervalMs = 1000;            // time between frames
    qint64 startMicros = 1706767200LL * 1000000; // 2024-02-01 06:00:00 UTC
    quint64 seed = 1;
    bool processParams = false;       // RRD0 only: write the detector settings into rrd_info
    int eventStart = -1;              // first frame of the scenario's event; -1 = automatic

    // "quiet", "avalanche", "rain", "waterlevel", "mixed"; false for an unknown name.
    bool setScenario(const QString &name);
    // "raw", "stamped", "rrd0"; false for an unknown name.
    bool setFormat(const QString &name);
    // ISO 8601 date-time in UTC ("2024-02-01T06:00:00Z", "2024-02-01 06:00:00.250").
    bool setStart(const QString &isoUtc);

    static QString scenarioName(RuScenario scenario);
    static QStringList scenarioNames();
};

class RuSimulator
{
public:
    // Frames [begin, end) of one scenario cycle; begin == end == -1 when absent.
    struct Span
    {
        int begin = -1;
        int end = -1;
        bool contains(qint64 cycleIndex) const { return cycleIndex >= begin && cycleIndex < end; }
        bool isEmpty() const { return begin >= end; }
    };
    // Where the scenario puts its events (frame indices within a cycle of `frames`).
    struct Timeline
    {
        Span avalanche;   // frames carrying avalanche energy (moving, then settling)
        Span disturbance; // mixed only: a standing one-sided disturbance (pre-alarms only)
        Span rain;        // frames with rain (ramp up, steady, ramp down)
        Span waterLevel;  // frames with a raised water level (slow rise and fall)
    };

    explicit RuSimulator(const RuSimulatorOptions &options);
    ~RuSimulator();
    RuSimulator(const RuSimulator &) = delete;
    RuSimulator &operator=(const RuSimulator &) = delete;

    const RuSimulatorOptions &options() const { return m_options; }
    const Timeline &timeline() const { return m_timeline; }

    // Frame `index` (0, 1, 2, ...). Past `frames` the scenario starts over while the time
    // keeps running, so a stream can go on for ever.
    RuFrame frame(qint64 index) const;
    // The same into an existing record (resized to the options' format and range gates);
    // -1 when the record cannot hold it (borrowed or out of memory).
    int fill(qint64 index, rrd_frame *record) const;
    // A new record the caller frees with rrd_frame_free; none when memory runs out.
    rrd_frame *newRecord(qint64 index) const;

    qint64 frameTimeMicros(qint64 index) const;
    // The parameter block of RRD0 frame `index` (process parameters when enabled).
    RuFrameInfo frameInfo(qint64 index) const;
    // The detector settings that suit these scenarios, as the radar sends them.
    RuProcessParameters processParameters() const;
    // Sum of the noise floor of range gate `rangegate` over channels [begin, begin + width):
    // what a water-level detector sees in a quiet scene.
    double quietWindowSum(int rangegate, int begin, int width) const;

    // Writes frames 0 .. frames-1 to `path` (gzip when it ends in ".gz", "-" standard
    // output); false with the reason in `error` when opening or writing fails.
    bool writeRecording(const QString &path, QString *error = nullptr) const;

private:
    void buildFloor();
    void buildTimeline();
    void fillRangegates(qint64 index, unsigned char *records) const;
    bool addEvents(qint64 cycleIndex, int rangegate, float *add) const;

    RuSimulatorOptions m_options;
    Timeline m_timeline;
    std::vector<float> m_mean;  // rangegates x 1024 noise floor incl. clutter
    std::vector<float> m_sigma; // rangegates x 1024 standard deviation of the fluctuation
};
