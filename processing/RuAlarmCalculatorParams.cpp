// Parameters of the detector engine: setters, getters and the radar's own settings.

#include "RuAlarmCalculator.h"

#include "RuParameterSet.h"
#include "RuParameterTable.h"

#include "rrd.h"

#include <stdexcept>

namespace {

bool validIndex(int k) { return k >= 0 && k < RuAlarmCalculator::Detectors; }

template <typename T>
const T &at(const std::array<T, RuAlarmCalculator::Detectors> &list, int k)
{
    static const T none{};
    return validIndex(k) ? list[k] : none;
}

QVector<int> decodeMask(const unsigned char *mask)
{
    int rangegates[RRD_MASK_SIZE * 8];
    const int n = rrd_mask_decode(mask, rangegates);
    return QVector<int>(rangegates, rangegates + n);
}

RuAvalancheParams avalancheBlock(const unsigned char *b)
{
    RuAvalancheParams p;
    p.enablePreAlarmSameRgs = b[RRD_PP_AV_PRE_ALARM_SAME] != 0;
    p.lengthMin = rrd_get_u16(b + RRD_PP_AV_LENGTH_MIN);
    p.perColMin = rrd_get_u16(b + RRD_PP_AV_PER_COL_MIN);
    p.perRowMin = rrd_get_u16(b + RRD_PP_AV_PER_ROW_MIN);
    p.borderLeft = rrd_get_u16(b + RRD_PP_AV_BORDER_LEFT);
    p.borderRight = rrd_get_u16(b + RRD_PP_AV_BORDER_RIGHT);
    p.sumPerRowMin = static_cast<float>(rrd_get_u32(b + RRD_PP_AV_SUM_PER_ROW_MIN));
    p.sumSumMin = static_cast<float>(rrd_get_u32(b + RRD_PP_AV_SUM_SUM_MIN));
    p.thresholdOn = rrd_get_f32(b + RRD_PP_AV_THRESHOLD_ON);
    p.thresholdOff = rrd_get_f32(b + RRD_PP_AV_THRESHOLD_OFF);
    p.rangegatesToIgnore = decodeMask(b + RRD_PP_AV_IGNORE);
    p.rangegatesSpecial = decodeMask(b + RRD_PP_AV_SPECIAL);
    p.rangegatesNoAlarm = decodeMask(b + RRD_PP_AV_NO_ALARM);
    return p;
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

void RuAlarmCalculator::fromProcessParameters(const unsigned char *info)
{
    if (!info || rrd_get_u16(info + RRD_INFO_PP_PRESENT) != 1)
        throw std::invalid_argument("No process parameters found in rrd_info");

    const unsigned char *g = info + RRD_PP_GENERAL;
    m_params.bgLength = rrd_get_u16(g);
    m_params.bgDelay = rrd_get_u16(g + 2);
    m_params.avgTime = rrd_get_u16(g + 4);
    m_params.avgSpectrum = rrd_get_u16(g + 6);
    m_params.toWardSearch = rrd_get_u16(g + 8);
    m_params.liveChBegin = rrd_get_u16(g + 10);
    m_params.liveChEnd = rrd_get_u16(g + 12);
    m_params.liveVelocitySource = info[RRD_PP_LIVE_VELOCITY_SOURCE] == 1 ? 1 : 0;
    const float lowLimit = rrd_get_f32(info + RRD_PP_LIVE_VELOCITY_LOW);
    if (lowLimit > 0.0f)
        m_params.liveVelocityLowLimit = lowLimit;

    for (int k = 0; k < Detectors; ++k) {
        const unsigned char *block = info + RRD_PP_AVALANCHE + k * RRD_PP_AVALANCHE_SIZE;
        if (block[RRD_PP_AV_PRESENT] == 0)
            continue;
        // Fields the radar does not send keep their values.
        RuAvalancheParams p = avalancheBlock(block);
        p.firstRangegate = m_avalancheParams[k].firstRangegate;
        p.rangegateLimit = m_avalancheParams[k].rangegateLimit;
        m_avalancheParams[k] = p;
        m_avalancheEnable[k] = true;
    }

    if (info[RRD_PP_WL_PRESENT] != 0) {
        RuWaterlevelParams &w = m_waterlevelParams[0];
        w.rangegate = rrd_get_u16(info + RRD_PP_WL_RANGEGATE);
        w.thresholdAlarmOn = rrd_get_f32(info + RRD_PP_WL_ALARM_ON);
        w.thresholdAlarmOff = rrd_get_f32(info + RRD_PP_WL_ALARM_OFF);
        w.thresholdIncidentOn = rrd_get_f32(info + RRD_PP_WL_INCIDENT_ON);
        w.thresholdIncidentOff = rrd_get_f32(info + RRD_PP_WL_INCIDENT_OFF);
        w.chBegin = rrd_get_u16(info + RRD_PP_WL_CH_BEGIN);
        w.chWidth = rrd_get_u16(info + RRD_PP_WL_CH_WIDTH);
        w.samples = rrd_get_u16(info + RRD_PP_WL_SAMPLES);
        m_waterlevelEnable[0] = true;
    }

    if (info[RRD_PP_RAIN_PRESENT] != 0) {
        RuRainParams &r = m_rainParams[0];
        r.avgTime = rrd_get_u16(info + RRD_PP_RAIN_AVG_TIME);
        r.avgSpectrum = rrd_get_u16(info + RRD_PP_RAIN_AVG_SPECTRUM);
        r.rangegatesToIgnore = decodeMask(info + RRD_PP_RAIN_IGNORE);
        r.thresholdAlarmOn = rrd_get_f32(info + RRD_PP_RAIN_ALARM_ON);
        r.thresholdAlarmOff = rrd_get_f32(info + RRD_PP_RAIN_ALARM_OFF);
        r.chBegin = rrd_get_u16(info + RRD_PP_RAIN_CH_BEGIN);
        r.chWidth = rrd_get_u16(info + RRD_PP_RAIN_CH_WIDTH);
        r.bgFrameDelay = rrd_get_u16(info + RRD_PP_RAIN_BG_DELAY);
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
