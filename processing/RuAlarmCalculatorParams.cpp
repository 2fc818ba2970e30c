// Parameters of the detector engine: setters, getters and the radar's own settings.

#include "RuAlarmCalculator.h"

#include "RuParameterSet.h"
#include "RuParameterTable.h"

#include <stdexcept>

namespace {

static_assert(RuProcessParameters::AvalancheDetectors == RuAlarmCalculator::Detectors,
              "the radar sends one block per avalanche detector");

bool validIndex(int k) { return k >= 0 && k < RuAlarmCalculator::Detectors; }

template <typename T>
const T &at(const std::array<T, RuAlarmCalculator::Detectors> &list, int k)
{
    static const T none{};
    return validIndex(k) ? list[k] : none;
}

// Each takes what the radar sends; the other fields (the avalanche detector's range-gate
// window) keep their values.
void takeRadar(const RuProcessParameters::Avalanche &from, RuAvalancheParams &a)
{
    a.enablePreAlarmSameRgs = from.preAlarmSameRgs;
    a.lengthMin = from.lengthMin;
    a.perColMin = from.perColMin;
    a.perRowMin = from.perRowMin;
    a.borderLeft = from.borderLeft;
    a.borderRight = from.borderRight;
    a.sumPerRowMin = static_cast<float>(from.sumPerRowMin);
    a.sumSumMin = static_cast<float>(from.sumSumMin);
    a.thresholdOn = from.thresholdOn;
    a.thresholdOff = from.thresholdOff;
    a.rangegatesToIgnore = from.rangegatesToIgnore;
    a.rangegatesSpecial = from.rangegatesSpecial;
    a.rangegatesNoAlarm = from.rangegatesNoAlarm;
}

void takeRadar(const RuProcessParameters::Waterlevel &from, RuWaterlevelParams &w)
{
    w.rangegate = from.rangegate;
    w.thresholdAlarmOn = from.thresholdAlarmOn;
    w.thresholdAlarmOff = from.thresholdAlarmOff;
    w.thresholdIncidentOn = from.thresholdIncidentOn;
    w.thresholdIncidentOff = from.thresholdIncidentOff;
    w.chBegin = from.chBegin;
    w.chWidth = from.chWidth;
    w.samples = from.samples;
}

void takeRadar(const RuProcessParameters::Rain &from, RuRainParams &r)
{
    r.avgTime = from.avgTime;
    r.avgSpectrum = from.avgSpectrum;
    r.rangegatesToIgnore = from.rangegatesToIgnore;
    r.thresholdAlarmOn = from.thresholdAlarmOn;
    r.thresholdAlarmOff = from.thresholdAlarmOff;
    r.chBegin = from.chBegin;
    r.chWidth = from.chWidth;
    r.bgFrameDelay = from.bgFrameDelay;
}

} // namespace

void RuAlarmCalculator::setAlarmParams(const RuAlarmParams &params)
{
    m_params = params;
    m_frameCounter = 0;
}

void RuAlarmCalculator::setAvalancheParams(int k, const RuAvalancheParams &params)
{
    if (!validIndex(k))
        return;
    m_avalancheParams[k] = params;
    m_frameCounter = 0;
}

void RuAlarmCalculator::setRainParams(int k, const RuRainParams &params)
{
    if (!validIndex(k))
        return;
    m_rainParams[k] = params;
    m_frameCounter = 0;
}

void RuAlarmCalculator::setWaterlevelParams(int k, const RuWaterlevelParams &params)
{
    if (!validIndex(k))
        return;
    m_waterlevelParams[k] = params;
    m_frameCounter = 0;
}

const RuAvalancheParams &RuAlarmCalculator::avalancheParams(int k) const { return at(m_avalancheParams, k); }
const RuRainParams &RuAlarmCalculator::rainParams(int k) const { return at(m_rainParams, k); }
const RuWaterlevelParams &RuAlarmCalculator::waterlevelParams(int k) const { return at(m_waterlevelParams, k); }

void RuAlarmCalculator::setAvalancheEnable(int k, bool enable)
{
    if (validIndex(k))
        m_avalancheEnable[k] = enable;
}

void RuAlarmCalculator::setRainEnable(int k, bool enable)
{
    if (validIndex(k))
        m_rainEnable[k] = enable;
}

void RuAlarmCalculator::setWaterlevelEnable(int k, bool enable)
{
    if (validIndex(k))
        m_waterlevelEnable[k] = enable;
}

bool RuAlarmCalculator::avalancheEnable(int k) const { return validIndex(k) && m_avalancheEnable[k]; }
bool RuAlarmCalculator::rainEnable(int k) const { return validIndex(k) && m_rainEnable[k]; }
bool RuAlarmCalculator::waterlevelEnable(int k) const { return validIndex(k) && m_waterlevelEnable[k]; }

bool RuAlarmCalculator::anyAvalancheEnabled() const
{
    return m_avalancheEnable[0] || m_avalancheEnable[1] || m_avalancheEnable[2];
}

bool RuAlarmCalculator::anyWaterlevelEnabled() const
{
    return m_waterlevelEnable[0] || m_waterlevelEnable[1] || m_waterlevelEnable[2];
}

bool RuAlarmCalculator::anyDetectorEnabled() const
{
    for (int k = 0; k < Detectors; ++k) {
        if (m_avalancheEnable[k] || m_rainEnable[k] || m_waterlevelEnable[k])
            return true;
    }
    return false;
}

void RuAlarmCalculator::fromProcessParameters(const RuFrameInfo &info)
{
    if (!info.processParameters)
        throw std::invalid_argument("No process parameters found in rrd_info");
    const RuProcessParameters &pp = *info.processParameters;

    m_params.bgLength = pp.bgLength;
    m_params.bgDelay = pp.bgDelay;
    m_params.avgTime = pp.avgTime;
    m_params.avgSpectrum = pp.avgSpectrum;
    m_params.toWardSearch = pp.toWardSearch;
    m_params.liveChBegin = pp.liveChBegin;
    m_params.liveChEnd = pp.liveChEnd;
    m_params.liveVelocitySource = pp.liveVelocitySource == 1 ? 1 : 0;
    if (pp.liveVelocityLowLimit > 0.0f)
        m_params.liveVelocityLowLimit = pp.liveVelocityLowLimit;

    for (int k = 0; k < Detectors; ++k) {
        if (const auto &block = pp.avalanche[size_t(k)]) {
            takeRadar(*block, m_avalancheParams[k]);
            m_avalancheEnable[k] = true;
        }
    }
    if (pp.waterlevel) {
        takeRadar(*pp.waterlevel, m_waterlevelParams[0]);
        m_waterlevelEnable[0] = true;
    }
    if (pp.rain) {
        takeRadar(*pp.rain, m_rainParams[0]);
        m_rainEnable[0] = true;
    }
    clampToDockRanges();
    m_frameCounter = 0;
}

// The radar may send any 16-bit value; a bgDelay of 65535 would keep that many background
// candidates. The engine takes what the parameter docks could have set.
void RuAlarmCalculator::clampToDockRanges()
{
    RuParameterSet set = RuParameterSet::fromCalculator(*this);
    RuParameterTable::clamp(set);
    m_params = set.general;
    m_avalancheParams = set.avalanche;
    m_rainParams[0] = set.rain;
    m_waterlevelParams[0] = set.waterlevel;
}
