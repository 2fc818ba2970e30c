#pragma once
// The detector engine: the parameters of every detector, the state they carry from frame to
// frame, and processFrame, which turns one frame into one RuAlarmResult. A copyable value, so
// a task can run on a snapshot while the user edits the parameters.

#include "RuAccumulatorTrail.h"
#include "RuAlarmParams.h"
#include "RuAlarmResult.h"
#include "RuAvalancheDetector.h"
#include "RuAvalancheParams.h"
#include "RuFrame.h"
#include "RuFrameAccumulator.h"
#include "RuHalfMatrix.h"
#include "RuLiveEnables.h"
#include "RuLiveValueCalculator.h"
#include "RuMatrix.h"
#include "RuRainDetector.h"
#include "RuRainParams.h"
#include "RuRowCache.h"
#include "RuWaterlevelDetector.h"
#include "RuWaterlevelParams.h"

#include <QSharedPointer>

#include <array>
#include <deque>

class RuAlarmCalculator
{
public:
    static constexpr int Detectors = RuAlarmResult::Detectors;

    RuAlarmCalculator();

    // Parameter setters make the next frame initialise the engine afresh.
    void setAlarmParams(const RuAlarmParams &params);
    void setAvalancheParams(int k, const RuAvalancheParams &params);
    void setRainParams(int k, const RuRainParams &params);
    void setWaterlevelParams(int k, const RuWaterlevelParams &params);
    const RuAlarmParams &alarmParams() const { return m_params; }
    const RuAvalancheParams &avalancheParams(int k) const;
    const RuRainParams &rainParams(int k) const;
    const RuWaterlevelParams &waterlevelParams(int k) const;

    // Enables only store the flag.
    void setAvalancheEnable(int k, bool enable);
    void setRainEnable(int k, bool enable);
    void setWaterlevelEnable(int k, bool enable);
    void setLiveEnables(const RuLiveEnables &enables) { m_live = enables; }
    bool avalancheEnable(int k) const;
    bool rainEnable(int k) const;
    bool waterlevelEnable(int k) const;
    const RuLiveEnables &liveEnables() const { return m_live; }
    bool anyDetectorEnabled() const;

    // Takes the radar's own detector settings from the process parameters of a frame's
    // parameter block. Throws std::invalid_argument("No process parameters found in rrd_info")
    // when the block carries none.
    void fromProcessParameters(const RuFrameInfo &info);

    // Evaluates one frame taken at `timeMicros`; the result is then lastResult().
    void processFrame(const RuFrame &frame, qint64 timeMicros);
    SkAlarmResultSharedPtr lastResult() const { return m_lastResult; }

    // Holds the filtered and half-symmetry matrices in every result, as computed, instead of
    // leaving what a packet can rebuild from its frame: the reference the rebuilt matrices
    // are checked and measured against.
    void setKeepsEveryMatrix(bool keep) { m_keepEveryMatrix = keep; }

    // Frames processed since the last initialisation (0 = initialise at the next frame).
    int frameCounter() const { return m_frameCounter; }
    bool backgroundAvailable() const { return m_backgroundAvailable; }
    bool frozen() const { return m_frozen; }
    int delayQueueSize() const { return static_cast<int>(m_delayQueue.size()); }

private:
    using MatrixPtr = QSharedPointer<const RuMatrix>;

    void clampToDockRanges();
    bool anyAvalancheEnabled() const;
    bool anyWaterlevelEnabled() const;
    bool averagesOverTime() const;
    void initialise(int rows);
    void throwBackgroundAway();
    QSharedPointer<RuAlarmResult> newResult(int rows) const;
    static void markAll(RuAlarmResult &result, RuAlarmStatus status);
    bool centralPeakDrop(float s0, RuAlarmResult &result);
    // `info` is the frame's parameter block, or null when it carries none.
    void avalancheAndLiveStage(const RuFrame &frame, const RuFrameInfo *info, const RuMatrix &m,
                               qint64 time, RuAlarmResult &result);
    const RuMatrix &filteredMatrix(const RuMatrix &m, const RuTrailMean &mean,
                                   RuAlarmResult &result);
    void liveValues(const RuFrameInfo *info, const RuMatrix &filtered, bool normalisedNow,
                    RuAlarmResult &result);
    void updateBackground(const RuTrailInput &input, const RuMatrix &m, bool eventNow,
                          bool alarmOnNow);
    void runLevelDetectors(const RuMatrix &m, const RuMatrix &raw, qint64 time,
                           RuAlarmResult &result);
    void publish(const QSharedPointer<RuAlarmResult> &result);

    RuAlarmParams m_params;
    std::array<RuAvalancheParams, Detectors> m_avalancheParams;
    std::array<RuRainParams, Detectors> m_rainParams;
    std::array<RuWaterlevelParams, Detectors> m_waterlevelParams;
    std::array<bool, Detectors> m_avalancheEnable{};
    std::array<bool, Detectors> m_rainEnable{};
    std::array<bool, Detectors> m_waterlevelEnable{};
    RuLiveEnables m_live;
    bool m_keepEveryMatrix = false;

    int m_frameCounter = 0;
    int m_rawRows = 0;                       // rows of the raw copy: the last accepted frame
    RuMatrix m_raw;                          // the current frame as read (storage reused)
    RuFrameAccumulator m_timeAccumulator;
    RuFrameAccumulator m_backgroundAccumulator;
    struct Candidate
    {
        MatrixPtr matrix;
        RuTrailMean mean; // how a stored frame rebuilds it
    };
    RuTrailRecorder m_timeTrail;
    RuTrailRecorder m_backgroundTrail;
    RuMatrix m_filtered;                     // the time average over several frames
    std::deque<Candidate> m_delayQueue;      // background candidates, oldest first
    MatrixPtr m_background;                  // the oldest candidate, once available
    RuTrailMean m_backgroundMean;
    bool m_backgroundAvailable = false;
    bool m_frozen = false;
    bool m_alarmActive = false;
    RuMatrix m_normalised;                   // last normalised matrix, perhaps of an earlier frame
    bool m_hasNormalised = false;
    RuMatrix m_asymmetry;
    RuRowCache m_normalisedRows;             // what the avalanche detectors share of a frame
    RuRowCache m_asymmetryRows;
    RuHalfMatrix m_halfSymmetry;             // scratch of the live velocities
    float m_channel0Reference = 0.0f;
    int m_dropCounter = 0;
    std::array<RuAvalancheDetector, Detectors> m_avalanche;
    std::array<RuRainDetector, Detectors> m_rain;
    std::array<RuWaterlevelDetector, Detectors> m_waterlevel;
    RuLiveValueCalculator m_liveValues;
    SkAlarmResultSharedPtr m_lastResult;
};
