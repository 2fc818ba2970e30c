#include "RuFrameInfo.h"

#include "rrd.h"

#include <QByteArray>

#include <cstring>
#include <tuple>

namespace {

constexpr int TextSize = 32;

// Reads each field in its own type's width.
class BlockReader
{
public:
    explicit BlockReader(const unsigned char *block) : m_block(block) {}

    void get(int offset, quint8 &v) const { v = m_block[offset]; }
    void get(int offset, bool &v) const { v = m_block[offset] != 0; }
    void get(int offset, quint16 &v) const { v = rrd_get_u16(m_block + offset); }
    void get(int offset, qint16 &v) const { v = rrd_get_s16(m_block + offset); }
    void get(int offset, quint32 &v) const { v = rrd_get_u32(m_block + offset); }
    void get(int offset, qint32 &v) const { v = rrd_get_s32(m_block + offset); }
    void get(int offset, float &v) const { v = rrd_get_f32(m_block + offset); }

    // Up to the terminating zero; a text that fills its field has none.
    void get(int offset, QString &text) const
    {
        const char *s = reinterpret_cast<const char *>(m_block + offset);
        text = QString::fromLatin1(s, int(qstrnlen(s, TextSize)));
    }

    void get(int offset, QVector<int> &rangegates) const
    {
        int list[RRD_MASK_SIZE * 8];
        const int n = rrd_mask_decode(m_block + offset, list);
        rangegates = QVector<int>(list, list + n);
    }

    bool present(int offset) const { return m_block[offset] != 0; }

private:
    const unsigned char *m_block;
};

// Writes each field in the width it is read.
class BlockWriter
{
public:
    explicit BlockWriter(unsigned char *block) : m_block(block) {}

    void put(int offset, quint8 v) { m_block[offset] = v; }
    void put(int offset, bool v) { m_block[offset] = v ? 1 : 0; }
    void put(int offset, quint16 v) { rrd_put_u16(m_block + offset, v); }
    void put(int offset, qint16 v) { rrd_put_u16(m_block + offset, quint16(v)); }
    void put(int offset, quint32 v) { rrd_put_u32(m_block + offset, v); }
    void put(int offset, qint32 v) { rrd_put_s32(m_block + offset, v); }
    void put(int offset, float v) { rrd_put_f32(m_block + offset, v); }

    void put(int offset, const QString &text)
    {
        const QByteArray bytes = text.toLatin1().left(TextSize);
        std::memcpy(m_block + offset, bytes.constData(), size_t(bytes.size()));
    }

    void put(int offset, const QVector<int> &rangegates)
    {
        rrd_mask_encode(rangegates.constData(), rangegates.size(), m_block + offset);
    }

private:
    unsigned char *m_block;
};

// The layout, once for reading and writing: `field(offset, member)` for every field. `Info`
// and the other value types are const when encoding.
template <typename Info, typename Field>
void eachField(Info &i, Field &&field)
{
    field(RRD_INFO_SECONDS, i.seconds);
    field(RRD_INFO_MICROS, i.microseconds);
    field(RRD_INFO_RANGEGATES, i.rangegates);
    field(RRD_INFO_PROFILE, i.profile);
    field(RRD_INFO_NAME, i.name);
    field(RRD_INFO_FLAGS, i.flags);
    field(RRD_INFO_GMT, i.gmtOffset);
    field(RRD_INFO_ANTENNA, i.antenna);
    field(RRD_INFO_MODE, i.mode);
    field(RRD_INFO_PRF, i.prf);
    field(RRD_INFO_RANGE, i.range);
    field(RRD_INFO_BLINDRANGE, i.blindRange);
    field(RRD_INFO_RG_WIDTH, i.rangegateWidth);
    field(RRD_INFO_AMPLITUDE, i.amplitude);
    field(RRD_INFO_COMPR_LEN, i.compressionLength);
    field(RRD_INFO_TX_DELAY, i.txDelay);
    field(RRD_INFO_PULSE_DELAY, i.pulseDelay);
    field(RRD_INFO_POLARITY, i.polarity);
    field(RRD_INFO_GLIDING_MEAN, i.glidingMean);
    field(RRD_INFO_FREQUENCY, i.frequency);
    field(RRD_INFO_INTEGRATE, i.integrate);
    field(RRD_INFO_COMBINE, i.combine);
    field(RRD_INFO_LOOPS, i.loops);
    field(RRD_INFO_AVG_SPEC, i.averagedSpectra);
    field(RRD_INFO_RXTX_START, i.rxTxStart);
    field(RRD_INFO_RXTX_END, i.rxTxEnd);
    field(RRD_INFO_COR_START, i.corStart);
    field(RRD_INFO_COR_END, i.corEnd);
    field(RRD_INFO_PA_START, i.paStart);
    field(RRD_INFO_PA_END, i.paEnd);
    field(RRD_INFO_PRF_GATES, i.prfGates);
    field(RRD_INFO_BLIND_GATES, i.blindGates);
    field(RRD_INFO_DIVIDER, i.divider);
    field(RRD_INFO_RX_START, i.rxStart);
    field(RRD_INFO_RX_END, i.rxEnd);
    field(RRD_INFO_P_SECONDS, i.processingSeconds);
    field(RRD_INFO_P_MICROS, i.processingMicroseconds);
    field(RRD_INFO_P_GMT, i.processingGmtOffset);
    field(RRD_INFO_TEMP_PC, i.temperaturePc);
    field(RRD_INFO_TEMP_IN, i.temperatureInside);
    field(RRD_INFO_TEMP_OUT, i.temperatureOutside);
    field(RRD_INFO_TEMP_MOD1, i.temperatureModules[0]);
    field(RRD_INFO_TEMP_MOD2, i.temperatureModules[1]);
    field(RRD_INFO_TEMP_MOD3, i.temperatureModules[2]);
    field(RRD_INFO_POWER, i.power);
    field(RRD_INFO_VCC1, i.supplyMillivolts[0]);
    field(RRD_INFO_VCC2, i.supplyMillivolts[1]);
    field(RRD_INFO_VCC3, i.supplyMillivolts[2]);
    field(RRD_INFO_VERSION_FW, i.firmwareVersion);
    field(RRD_INFO_VERSION_HW, i.hardwareVersion);
    field(RRD_INFO_RG_WIDTH_MM, i.rangegateWidthMm);
    field(RRD_INFO_PLLS, i.pllStates);
}

// The general settings of the process-parameter section.
template <typename Parameters, typename Field>
void eachGeneralField(Parameters &p, Field &&field)
{
    field(RRD_PP_GENERAL, p.bgLength);
    field(RRD_PP_GENERAL + 2, p.bgDelay);
    field(RRD_PP_GENERAL + 4, p.avgTime);
    field(RRD_PP_GENERAL + 6, p.avgSpectrum);
    field(RRD_PP_GENERAL + 8, p.toWardSearch);
    field(RRD_PP_GENERAL + 10, p.liveChBegin);
    field(RRD_PP_GENERAL + 12, p.liveChEnd);
    field(RRD_PP_LIVE_VELOCITY_SOURCE, p.liveVelocitySource);
    field(RRD_PP_LIVE_VELOCITY_LOW, p.liveVelocityLowLimit);
}

int avalancheBlock(int k) { return RRD_PP_AVALANCHE + k * RRD_PP_AVALANCHE_SIZE; }

// Avalanche detector k's block, present when its first byte is non-zero.
template <typename Avalanche, typename Field>
void eachAvalancheField(Avalanche &a, int k, Field &&field)
{
    const int b = avalancheBlock(k);
    field(b + RRD_PP_AV_PRE_ALARM_SAME, a.preAlarmSameRgs);
    field(b + RRD_PP_AV_LENGTH_MIN, a.lengthMin);
    field(b + RRD_PP_AV_PER_COL_MIN, a.perColMin);
    field(b + RRD_PP_AV_PER_ROW_MIN, a.perRowMin);
    field(b + RRD_PP_AV_BORDER_LEFT, a.borderLeft);
    field(b + RRD_PP_AV_BORDER_RIGHT, a.borderRight);
    field(b + RRD_PP_AV_SUM_PER_ROW_MIN, a.sumPerRowMin);
    field(b + RRD_PP_AV_SUM_SUM_MIN, a.sumSumMin);
    field(b + RRD_PP_AV_THRESHOLD_ON, a.thresholdOn);
    field(b + RRD_PP_AV_THRESHOLD_OFF, a.thresholdOff);
    field(b + RRD_PP_AV_IGNORE, a.rangegatesToIgnore);
    field(b + RRD_PP_AV_SPECIAL, a.rangegatesSpecial);
    field(b + RRD_PP_AV_NO_ALARM, a.rangegatesNoAlarm);
}

template <typename Waterlevel, typename Field>
void eachWaterlevelField(Waterlevel &w, Field &&field)
{
    field(RRD_PP_WL_RANGEGATE, w.rangegate);
    field(RRD_PP_WL_ALARM_ON, w.thresholdAlarmOn);
    field(RRD_PP_WL_ALARM_OFF, w.thresholdAlarmOff);
    field(RRD_PP_WL_INCIDENT_ON, w.thresholdIncidentOn);
    field(RRD_PP_WL_INCIDENT_OFF, w.thresholdIncidentOff);
    field(RRD_PP_WL_CH_BEGIN, w.chBegin);
    field(RRD_PP_WL_CH_WIDTH, w.chWidth);
    field(RRD_PP_WL_SAMPLES, w.samples);
}

template <typename Rain, typename Field>
void eachRainField(Rain &r, Field &&field)
{
    field(RRD_PP_RAIN_AVG_TIME, r.avgTime);
    field(RRD_PP_RAIN_AVG_SPECTRUM, r.avgSpectrum);
    field(RRD_PP_RAIN_IGNORE, r.rangegatesToIgnore);
    field(RRD_PP_RAIN_ALARM_ON, r.thresholdAlarmOn);
    field(RRD_PP_RAIN_ALARM_OFF, r.thresholdAlarmOff);
    field(RRD_PP_RAIN_CH_BEGIN, r.chBegin);
    field(RRD_PP_RAIN_CH_WIDTH, r.chWidth);
    field(RRD_PP_RAIN_BG_DELAY, r.bgFrameDelay);
}

using Avalanche = RuProcessParameters::Avalanche;
using Waterlevel = RuProcessParameters::Waterlevel;
using Rain = RuProcessParameters::Rain;

// A detector block of the process parameters: its fields when its present-byte is set.
template <typename Block, typename Visit>
std::optional<Block> decodeBlock(const BlockReader &in, int presentAt, Visit &&visit)
{
    if (!in.present(presentAt))
        return std::nullopt;
    Block block;
    visit(block);
    return block;
}

RuProcessParameters decodeProcessParameters(const BlockReader &in)
{
    const auto get = [&in](int offset, auto &field) { in.get(offset, field); };
    RuProcessParameters p;
    eachGeneralField(p, get);
    for (int k = 0; k < RuProcessParameters::AvalancheDetectors; ++k) {
        p.avalanche[size_t(k)] = decodeBlock<Avalanche>(
            in, avalancheBlock(k) + RRD_PP_AV_PRESENT,
            [&](Avalanche &a) { eachAvalancheField(a, k, get); });
    }
    p.waterlevel = decodeBlock<Waterlevel>(in, RRD_PP_WL_PRESENT,
                                           [&](Waterlevel &w) { eachWaterlevelField(w, get); });
    p.rain = decodeBlock<Rain>(in, RRD_PP_RAIN_PRESENT, [&](Rain &r) { eachRainField(r, get); });
    return p;
}

void encodeProcessParameters(const RuProcessParameters &p, BlockWriter &out)
{
    const auto put = [&out](int offset, const auto &field) { out.put(offset, field); };
    out.put(RRD_INFO_PP_PRESENT, quint16(1));
    eachGeneralField(p, put);
    for (int k = 0; k < RuProcessParameters::AvalancheDetectors; ++k) {
        if (const auto &a = p.avalanche[size_t(k)]) {
            out.put(avalancheBlock(k) + RRD_PP_AV_PRESENT, true);
            eachAvalancheField(*a, k, put);
        }
    }
    if (p.waterlevel) {
        out.put(RRD_PP_WL_PRESENT, true);
        eachWaterlevelField(*p.waterlevel, put);
    }
    if (p.rain) {
        out.put(RRD_PP_RAIN_PRESENT, true);
        eachRainField(*p.rain, put);
    }
}

// Every field, for comparing values.
auto fields(const RuFrameInfo &i)
{
    return std::tie(i.seconds, i.microseconds, i.rangegates, i.profile, i.name, i.flags,
                    i.gmtOffset, i.antenna, i.mode, i.prf, i.range, i.blindRange,
                    i.rangegateWidth, i.amplitude, i.compressionLength, i.txDelay, i.pulseDelay,
                    i.polarity, i.glidingMean, i.frequency, i.integrate, i.combine, i.loops,
                    i.averagedSpectra, i.rxTxStart, i.rxTxEnd, i.corStart, i.corEnd, i.paStart,
                    i.paEnd, i.prfGates, i.blindGates, i.divider, i.rxStart, i.rxEnd,
                    i.processingSeconds, i.processingMicroseconds, i.processingGmtOffset,
                    i.temperaturePc, i.temperatureInside, i.temperatureOutside,
                    i.temperatureModules, i.power, i.supplyMillivolts, i.firmwareVersion,
                    i.hardwareVersion, i.rangegateWidthMm, i.pllStates, i.processParameters);
}

auto fields(const RuProcessParameters &p)
{
    return std::tie(p.bgLength, p.bgDelay, p.avgTime, p.avgSpectrum, p.toWardSearch,
                    p.liveChBegin, p.liveChEnd, p.liveVelocitySource, p.liveVelocityLowLimit,
                    p.avalanche, p.waterlevel, p.rain);
}

auto fields(const Avalanche &a)
{
    return std::tie(a.preAlarmSameRgs, a.lengthMin, a.perColMin, a.perRowMin, a.borderLeft,
                    a.borderRight, a.sumPerRowMin, a.sumSumMin, a.thresholdOn, a.thresholdOff,
                    a.rangegatesToIgnore, a.rangegatesSpecial, a.rangegatesNoAlarm);
}

auto fields(const Waterlevel &w)
{
    return std::tie(w.rangegate, w.thresholdAlarmOn, w.thresholdAlarmOff, w.thresholdIncidentOn,
                    w.thresholdIncidentOff, w.chBegin, w.chWidth, w.samples);
}

auto fields(const Rain &r)
{
    return std::tie(r.avgTime, r.avgSpectrum, r.rangegatesToIgnore, r.thresholdAlarmOn,
                    r.thresholdAlarmOff, r.chBegin, r.chWidth, r.bgFrameDelay);
}

} // namespace

RuFrameInfo RuFrameInfo::decode(const unsigned char *block)
{
    const BlockReader in(block);
    RuFrameInfo i;
    eachField(i, [&in](int offset, auto &field) { in.get(offset, field); });
    if (hasProcessParameters(block))
        i.processParameters = decodeProcessParameters(in);
    return i;
}

void RuFrameInfo::encode(unsigned char *block) const
{
    std::memset(block, 0, RRD_INFO_SIZE);
    BlockWriter out(block);
    eachField(*this, [&out](int offset, const auto &field) { out.put(offset, field); });
    if (processParameters)
        encodeProcessParameters(*processParameters, out);
}

bool RuFrameInfo::hasProcessParameters(const unsigned char *block)
{
    return rrd_get_u16(block + RRD_INFO_PP_PRESENT) == 1;
}

bool RuFrameInfo::operator==(const RuFrameInfo &other) const
{
    return fields(*this) == fields(other);
}

bool RuProcessParameters::operator==(const RuProcessParameters &other) const
{
    return fields(*this) == fields(other);
}

bool operator==(const Avalanche &a, const Avalanche &b) { return fields(a) == fields(b); }
bool operator==(const Waterlevel &a, const Waterlevel &b) { return fields(a) == fields(b); }
bool operator==(const Rain &a, const Rain &b) { return fields(a) == fields(b); }
