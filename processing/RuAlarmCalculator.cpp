// The frame pipeline of the detector engine: guards, background, normalisation, and the order
// in which the detectors see each frame.

#include "RuAlarmCalculator.h"

#include "RuConditioning.h"

#include <algorithm>
#include <limits>

namespace {

float channel0Sum(const RuMatrix &m)
{
    float s = 0.0f;
    for (int r = 0; r < m.rows(); ++r)
        s += m(r, 0);
    return s;
}

RuLiveHeader liveHeader(const RuFrameInfo &info)
{
    RuLiveHeader header;
    header.present = true;
    header.seconds = info.seconds;
    header.microseconds = info.microseconds;
    header.gmtOffset = info.gmtOffset;
    header.rangegates = info.rangegates;
    header.antenna = info.antenna;
    header.zero = 0;
    header.temperatureModule1 = info.temperatureModules[0];
    header.temperatureModule2 = info.temperatureModules[1];
    header.temperatureModule3 = info.temperatureModules[2];
    return header;
}

} // namespace

RuAlarmCalculator::RuAlarmCalculator() = default;

QSharedPointer<RuAlarmResult> RuAlarmCalculator::newResult(int rows) const
{
    auto result = QSharedPointer<RuAlarmResult>::create(rows);
    for (int k = 0; k < Detectors; ++k) {
        if (m_avalancheEnable[k]) {
            RuAvalancheResult &a = result->avalanche[k];
            a.status = RuStatusEvaluated;
            a.runs.resize(rows);
            a.rowActivity.fill(0.0f, rows);
        }
        if (m_rainEnable[k])
            result->rain[k].status = RuStatusEvaluated;
        if (m_waterlevelEnable[k])
            result->waterlevel[k].status = RuStatusEvaluated;
    }
    return result;
}

void RuAlarmCalculator::markAll(RuAlarmResult &result, RuAlarmStatus status)
{
    for (int k = 0; k < Detectors; ++k) {
        result.avalanche[k].status = status;
        result.rain[k].status = status;
        result.waterlevel[k].status = status;
    }
}

void RuAlarmCalculator::publish(const QSharedPointer<RuAlarmResult> &result)
{
    m_lastResult = result;
}

void RuAlarmCalculator::processFrame(const RuFrame &frame, qint64 timeMicros)
{
    const int rows = frame.rows();
    const QSharedPointer<RuAlarmResult> result = newResult(rows);
    if (!frame.isValid()) {
        markAll(*result, RuStatusInvalid);
        publish(result);
        return;
    }
    const RuFrameInfo info = frame.info();
    const RuFrameInfo *carried = frame.hasInfo() ? &info : nullptr;
    if (carried)
        result->live.header = liveHeader(info);
    ruFrameToMatrix(frame, m_raw);
    const RuMatrix &raw = m_raw;
    const float s0 = channel0Sum(raw);

    if (m_frameCounter == 0) {
        initialise(rows);
        m_channel0Reference = s0;
        m_dropCounter = 0;
    }
    if (m_frameCounter >= 1 && m_rawRows != rows) {
        markAll(*result, RuStatusGeometryChanged);
        m_frameCounter = 0;
        publish(result);
        return;
    }
    if (centralPeakDrop(s0, *result)) {
        publish(result);
        return;
    }
    m_rawRows = rows;

    // The water-level detectors see the spectrally averaged frame when the averaging ran.
    RuMatrix averaged;
    const RuMatrix *m = &raw;
    if (anyAvalancheEnabled() || m_live.any()) {
        if (m_params.avgSpectrum > 0) {
            averaged = ruSpectralAverage(raw, m_params.avgSpectrum);
            m = &averaged;
        }
        avalancheAndLiveStage(frame, carried, *m, timeMicros, *result);
    }
    runLevelDetectors(*m, raw, timeMicros, *result);

    if (m_frameCounter == std::numeric_limits<int>::max())
        m_frameCounter = 1;
    ++m_frameCounter;
    m_channel0Reference = s0;
    publish(result);
}

bool RuAlarmCalculator::centralPeakDrop(float s0, RuAlarmResult &result)
{
    if (!(anyAvalancheEnabled() || anyWaterlevelEnabled()) || m_alarmActive
        || !(s0 < m_channel0Reference / 5.0f)) {
        m_dropCounter = 0;
        return false;
    }
    RuAlarmStatus status = RuStatusPeakDrop;
    if (++m_dropCounter > 4) {
        m_channel0Reference = 0.0f;
        m_dropCounter = 0;
        throwBackgroundAway();
        status = RuStatusPeakDropReset;
    }
    for (int k = 0; k < Detectors; ++k) {
        if (m_avalancheEnable[k])
            result.avalanche[k].status = status;
        if (m_waterlevelEnable[k])
            result.waterlevel[k].status = status;
    }
    return true;
}

void RuAlarmCalculator::avalancheAndLiveStage(const RuFrame &frame, const RuFrameInfo *info,
                                             const RuMatrix &m, qint64 time,
                                             RuAlarmResult &result)
{
    const RuTrailInput input{frame, std::max(m_params.avgSpectrum, 0), MatrixPtr()};
    // A time average over one frame is the frame itself: nothing to sum, nothing to rebuild.
    const RuTrailMean timeMean = averagesOverTime()
                                     ? m_timeTrail.push(m_timeAccumulator, input, m)
                                     : RuTrailMean();
    bool eventNow = false;
    bool alarmOnNow = false;
    if (m_backgroundAvailable && m_background && m_background->rows() == m.rows()) {
        const RuMatrix &filtered = filteredMatrix(m, timeMean, result);
        if (m_keepEveryMatrix || m_backgroundMean.isNull())
            result.background = m_background;
        else
            result.backgroundMean = m_backgroundMean;
        const bool normalise = anyAvalancheEnabled() || m_live.activity;
        if (normalise) {
            ruNormaliseWithAsymmetry(filtered, *m_background, m_normalised, m_asymmetry);
            m_hasNormalised = true;
            result.normalisedComputed = true;
        }
        if (m_live.any())
            liveValues(info, filtered, normalise, result);
        if (normalise) {
            m_normalisedRows.reset(m_normalised);
            m_asymmetryRows.reset(m_asymmetry);
            const RuAvalancheDetector::Input in{m_normalised,         m_asymmetry,
                                                time,                 m_frameCounter,
                                                m_params.toWardSearch, &m_normalisedRows,
                                                &m_asymmetryRows};
            bool throwAway = false;
            for (int k = 0; k < Detectors; ++k) {
                if (!m_avalancheEnable[k])
                    continue;
                const RuAvalancheDetector::Outcome o =
                    m_avalanche[k].process(m_avalancheParams[k], in, result.avalanche[k]);
                eventNow = eventNow || o.eventFound || o.alarmOn;
                alarmOnNow = alarmOnNow || o.alarmOn;
                throwAway = throwAway || o.throwBackgroundAway;
            }
            if (throwAway)
                throwBackgroundAway();
        }
        eventNow = eventNow || m_alarmActive;
    }
    updateBackground(input, m, eventNow, alarmOnNow);
}

bool RuAlarmCalculator::averagesOverTime() const
{
    return m_timeAccumulator.length() > 1;
}

// The time average F of this frame. While the window holds this frame alone, F is the frame's
// own spectral average, bit for bit (the sum restarts from it), so the result only notes how
// to rebuild it; otherwise F depends on earlier frames and the result refers to the trail that
// rebuilds it.
const RuMatrix &RuAlarmCalculator::filteredMatrix(const RuMatrix &m, const RuTrailMean &mean,
                                                  RuAlarmResult &result)
{
    const bool ownFrame = !averagesOverTime() || m_timeAccumulator.size() == 1;
    if (ownFrame && !m_keepEveryMatrix) {
        result.filteredFromFrame = true;
        result.spectralRadius = std::max(m_params.avgSpectrum, 0);
        return m;
    }
    m_filtered = ownFrame ? m : m_timeAccumulator.mean();
    if (m_keepEveryMatrix || mean.isNull())
        result.filtered = MatrixPtr::create(m_filtered);
    else
        result.filteredMean = mean;
    return m_filtered;
}

void RuAlarmCalculator::liveValues(const RuFrameInfo *info, const RuMatrix &filtered,
                                   bool normalisedNow, RuAlarmResult &result)
{
    using Source = RuAlarmResult::HalfSymmetrySource;
    const bool sameShape = m_hasNormalised && m_normalised.rows() == filtered.rows();
    const RuLiveValueCalculator::Input live{filtered, sameShape ? &m_normalised : nullptr,
                                            normalisedNow ? &m_asymmetry : nullptr,
                                            info};
    const RuMatrix *source = m_liveValues.process(m_params, m_live, live, result, m_halfSymmetry);
    if (!source)
        return;
    // Differences taken from the normalised matrix of an earlier frame cannot be rebuilt
    // from this one: those are held.
    if (!m_keepEveryMatrix && (source == &filtered || normalisedNow)) {
        result.halfSymmetrySource = source == &filtered ? Source::Filtered : Source::Normalised;
        return;
    }
    result.halfSymmetrySource = Source::Held;
    result.halfSymmetry = QSharedPointer<const RuHalfMatrix>::create(m_halfSymmetry);
}

void RuAlarmCalculator::updateBackground(const RuTrailInput &input, const RuMatrix &m,
                                         bool eventNow, bool alarmOnNow)
{
    if (!m_frozen || eventNow) {
        m_frozen = eventNow;
        m_alarmActive = alarmOnNow;
        if (eventNow)
            return;
    } else {
        // The event is over: restart the average from the background frozen before it.
        m_delayQueue.clear();
        m_backgroundAccumulator.reset();
        std::deque<RuTrailInput> refill;
        if (m_background && m_background->rows() == m.rows()) {
            for (int i = 0; i < m_params.bgLength; ++i)
                m_backgroundAccumulator.push(*m_background);
            refill.assign(size_t(m_backgroundAccumulator.size()),
                          RuTrailInput{RuFrame(), 0, m_background});
        }
        m_backgroundTrail.restart(refill, static_cast<int>(m.rows()));
        m_frozen = false;
        m_alarmActive = alarmOnNow;
    }
    const RuTrailMean mean = m_backgroundTrail.push(m_backgroundAccumulator, input, m);
    if (m_backgroundAccumulator.ready()) {
        m_delayQueue.push_back({MatrixPtr::create(m_backgroundAccumulator.mean()), mean});
        while (static_cast<int>(m_delayQueue.size()) > std::max(m_params.bgDelay, 0))
            m_delayQueue.pop_front();
    }
    if (!m_delayQueue.empty()) {
        m_background = m_delayQueue.front().matrix;
        m_backgroundMean = m_delayQueue.front().mean;
        m_backgroundAvailable = true;
    }
}

void RuAlarmCalculator::runLevelDetectors(const RuMatrix &m, const RuMatrix &raw, qint64 time,
                                          RuAlarmResult &result)
{
    for (int k = 0; k < Detectors; ++k) {
        if (m_waterlevelEnable[k])
            m_waterlevel[k].process(m_waterlevelParams[k], m, time, result.waterlevel[k]);
    }
    for (int k = 0; k < Detectors; ++k) {
        if (m_rainEnable[k])
            m_rain[k].process(m_rainParams[k], raw, result.rain[k]);
    }
}

void RuAlarmCalculator::throwBackgroundAway()
{
    m_delayQueue.clear();
    m_backgroundAccumulator.reset();
    m_backgroundTrail.restart();
}

void RuAlarmCalculator::initialise(int rows)
{
    m_alarmActive = false;
    m_backgroundAccumulator.setLength(m_params.bgLength);
    m_delayQueue.clear();
    m_timeAccumulator.setLength(m_params.avgTime);
    m_backgroundTrail.restart();
    m_timeTrail.restart();
    m_channel0Reference = 0.0f;
    m_backgroundAvailable = false;
    m_background.reset();
    m_backgroundMean = RuTrailMean();
    m_frozen = false;
    m_rawRows = rows;
    // Disabled detectors are set up too, so that enabling one later starts it clean.
    for (int k = 0; k < Detectors; ++k) {
        m_avalanche[k].initialise(m_avalancheParams[k], rows);
        m_rain[k].initialise(m_rainParams[k], rows);
        m_waterlevel[k].initialise(m_waterlevelParams[k]);
    }
}
