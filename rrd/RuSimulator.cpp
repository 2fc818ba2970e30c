#include "RuSimulator.h"

#include "RuFile.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Fluctuation of an averaged noise spectrum (2^8 spectra integrated) and of the clutter,
// relative to their mean.
constexpr float NoiseSigma = 0.06f;
constexpr float ClutterSigma = 0.015f;

// Where the scenarios put their energy (channels on the approaching side, 1..511).
constexpr int RainChannelBegin = 10;
constexpr int RainChannelEnd = 90;
constexpr int WaterChannelBegin = 96;
constexpr int WaterChannelEnd = 304;
constexpr int WaterRangegate = 2;

// Avalanche: a block of BlockGates range gates; its hump is AvalancheGain times the gate's
// noise floor at its peak.
constexpr int BlockGates = 4;
constexpr float AvalancheGain = 12.0f;
constexpr float BlockProfile[BlockGates] = {1.0f, 0.8f, 0.6f, 0.4f};
constexpr float SettleAmplitude[] = {0.7f, 0.4f, 0.2f, 0.08f};
constexpr int SettleFrames = int(sizeof SettleAmplitude / sizeof SettleAmplitude[0]);

constexpr int RainRamp = 8;
constexpr int RainHold = 40;
constexpr float RainGain = 0.9f;
constexpr int WaterRise = 80;
constexpr int WaterHold = 40;
constexpr float WaterGain = 3.0f;
constexpr int DisturbanceFrames = 5;

// Detector settings written with --process-params (the engine's frame-based timing).
constexpr int BgLength = 10;
constexpr int BgDelay = 10;
constexpr int TowardSearch = 10;
constexpr int WaterSamples = 20;

quint64 splitmix(quint64 &state)
{
    quint64 z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Approximately standard normal: the sum of four 16-bit uniforms, centred and scaled.
float gaussian(quint64 &state)
{
    const quint64 z = splitmix(state);
    const float sum = float((z & 0xffff) + ((z >> 16) & 0xffff) + ((z >> 32) & 0xffff) + (z >> 48));
    return (sum * (1.0f / 65535.0f) - 2.0f) * 1.7320508f;
}

// A fixed pseudo-random number in [0, 1) for a range gate, so gates differ but never change.
float gateHash(int rangegate, quint64 salt)
{
    quint64 s = salt * 0x2545F4914F6CDD1Dull + quint64(rangegate);
    return float(splitmix(s) >> 40) / float(1ull << 24);
}

int channelDistance(int c)
{
    return std::min(c, RRD_CHANNELS - c);
}

// The range gate where the avalanche's near edge comes to rest: short of the water-level
// range gate when there is room.
int avalancheStop(int rows)
{
    return rows >= 10 ? std::clamp(rows / 5, 3, 4) : std::max(1, rows / 5);
}

void putText(unsigned char *dst, int size, const char *text)
{
    std::memcpy(dst, text, std::min(std::strlen(text), size_t(size - 1)));
}

} // namespace

bool RuSimulatorOptions::setScenario(const QString &name)
{
    const QStringList names = scenarioNames();
    const int i = names.indexOf(name);
    if (i < 0)
        return false;
    scenario = RuScenario(i);
    return true;
}

bool RuSimulatorOptions::setFormat(const QString &name)
{
    static const QStringList names = {QStringLiteral("raw"), QStringLiteral("stamped"),
                                      QStringLiteral("rrd0")};
    const int i = names.indexOf(name);
    if (i < 0)
        return false;
    format = RRD_FORMAT_RAW + i;
    return true;
}

bool RuSimulatorOptions::setStart(const QString &isoUtc)
{
    QString text = isoUtc.trimmed();
    if (text.endsWith(QLatin1Char('Z')))
        text.chop(1);
    text.replace(QLatin1Char(' '), QLatin1Char('T'));
    QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!t.isValid())
        return false;
    t.setTimeSpec(Qt::UTC);
    startMicros = t.toMSecsSinceEpoch() * 1000;
    return true;
}

QString RuSimulatorOptions::scenarioName(RuScenario scenario)
{
    return scenarioNames().value(int(scenario));
}

QStringList RuSimulatorOptions::scenarioNames()
{
    return {QStringLiteral("quiet"), QStringLiteral("avalanche"), QStringLiteral("rain"),
            QStringLiteral("waterlevel"), QStringLiteral("mixed")};
}

RuSimulator::RuSimulator(const RuSimulatorOptions &options) : m_options(options)
{
    m_options.frames = std::max(1, m_options.frames);
    m_options.rangegates = std::clamp(m_options.rangegates, 1, 65535);
    if (m_options.format < RRD_FORMAT_RAW || m_options.format > RRD_FORMAT_RRD0)
        m_options.format = RRD_FORMAT_RRD0;
    if (m_options.format == RRD_FORMAT_RAW)
        m_options.rangegates = std::min(m_options.rangegates, RRD_MAX_RANGEGATE_NUMBER + 1);
    m_options.intervalMs = std::max(1, m_options.intervalMs);
    buildFloor();
    buildTimeline();
}

RuSimulator::~RuSimulator() = default;

// Noise floor rising towards the zero channel (phase-noise skirt), with the clutter of the
// fixed targets at channel 0 spreading to its neighbours on both sides.
void RuSimulator::buildFloor()
{
    const int rows = m_options.rangegates;
    m_mean.assign(size_t(rows) * RRD_CHANNELS, 0.0f);
    m_sigma.assign(m_mean.size(), 0.0f);
    for (int r = 0; r < rows; ++r) {
        const float noise = 600.0f * (0.85f + 0.3f * gateHash(r, 1)) + 20.0f * float(r % 64);
        const float clutter = 4.0e6f * (0.4f + 1.6f * gateHash(r, 2));
        float *mean = &m_mean[size_t(r) * RRD_CHANNELS];
        float *sigma = &m_sigma[size_t(r) * RRD_CHANNELS];
        for (int c = 0; c < RRD_CHANNELS; ++c) {
            const float d = float(channelDistance(c));
            const float floorPart = noise * (1.0f + 2.5f * std::exp(-d / 25.0f));
            const float clutterPart = d <= 8 ? clutter * std::exp(-d / 0.7f) : 0.0f;
            mean[c] = floorPart + clutterPart;
            sigma[c] = NoiseSigma * floorPart + ClutterSigma * clutterPart;
        }
    }
}

void RuSimulator::buildTimeline()
{
    const RuScenario s = m_options.scenario;
    const bool mixed = s == RuScenario::Mixed;
    const int start = m_options.eventStart >= 0
                          ? m_options.eventStart
                          : std::max(40, m_options.frames / (mixed ? 8 : 3));
    const int rows = m_options.rangegates;
    const int moving = std::max(1, rows - 3 - avalancheStop(rows) + 1);
    auto span = [](int begin, int length) { return Span{begin, begin + length}; };
    if (s == RuScenario::Rain || mixed)
        m_timeline.rain = span(start, 2 * RainRamp + RainHold);
    if (mixed)
        m_timeline.disturbance = span(start + 110, DisturbanceFrames);
    if (s == RuScenario::Avalanche || mixed)
        m_timeline.avalanche = span(mixed ? start + 150 : start, moving + SettleFrames);
    if (s == RuScenario::WaterLevel || mixed)
        m_timeline.waterLevel = span(mixed ? start + 230 : start, 2 * WaterRise + WaterHold);
}

qint64 RuSimulator::frameTimeMicros(qint64 index) const
{
    return m_options.startMicros + index * qint64(m_options.intervalMs) * 1000;
}

double RuSimulator::quietWindowSum(int rangegate, int begin, int width) const
{
    if (rangegate < 0 || rangegate >= m_options.rangegates)
        return 0.0;
    const float *mean = &m_mean[size_t(rangegate) * RRD_CHANNELS];
    double sum = 0.0;
    for (int c = std::max(0, begin); c < std::min(RRD_CHANNELS, begin + width); ++c)
        sum += mean[c];
    return sum;
}

// Adds the scenario's energy for one range gate to `add` (zeroed by the caller); false when
// the gate carries none in this frame.
bool RuSimulator::addEvents(qint64 cycleIndex, int r, float *add) const
{
    const float noise = m_mean[size_t(r) * RRD_CHANNELS + RRD_CHANNELS / 2];
    const int rows = m_options.rangegates;
    bool any = false;
    auto hump = [&](float amplitude, float centre, float width) {
        const int lo = std::max(1, int(centre - 4 * width));
        const int hi = std::min(RRD_CHANNELS / 2, int(centre + 4 * width));
        for (int c = lo; c < hi; ++c) {
            const float x = (float(c) - centre) / width;
            add[c] += amplitude * noise * std::exp(-0.5f * x * x);
        }
        any = true;
    };

    if (m_timeline.avalanche.contains(cycleIndex)) {
        const int k = int(cycleIndex - m_timeline.avalanche.begin);
        const int stop = avalancheStop(rows);
        const int moving = m_timeline.avalanche.end - m_timeline.avalanche.begin - SettleFrames;
        const int head = k < moving ? rows - 3 - k : stop;
        const float amp = k < moving ? (k == 0 ? 0.5f : k == 1 ? 0.8f : 1.0f)
                                     : SettleAmplitude[k - moving];
        const float slowing = k < moving ? 0.0f : 10.0f * float(k - moving + 1);
        const int j = r - head;
        if (j >= 0 && j < BlockGates)
            hump(AvalancheGain * amp * BlockProfile[j] * (0.9f + 0.2f * gateHash(r, 3)),
                 270.0f - 15.0f * float(j) - slowing, 40.0f);
    }
    if (m_timeline.disturbance.contains(cycleIndex)) {
        const int first = std::max(0, rows / 2 - 2);
        if (r == first || r == first + 1)
            hump(AvalancheGain * (r == first ? 0.7f : 0.5f), 150.0f, 30.0f);
    }
    if (m_timeline.rain.contains(cycleIndex)) {
        const int k = int(cycleIndex - m_timeline.rain.begin);
        const int left = m_timeline.rain.end - m_timeline.rain.begin - k;
        const float ramp = float(std::min({k + 1, left, RainRamp})) / float(RainRamp);
        const float gain = RainGain * ramp * (0.9f + 0.2f * gateHash(r, 4));
        const float *mean = &m_mean[size_t(r) * RRD_CHANNELS];
        for (int d = RainChannelBegin; d < RainChannelEnd; ++d) {
            const bool edge = d < RainChannelBegin + 2 || d >= RainChannelEnd - 2;
            const float w = gain * (edge ? 0.5f : 1.0f);
            add[d] += w * mean[d];
            add[RRD_CHANNELS - d] += w * mean[RRD_CHANNELS - d];
        }
        any = true;
    }
    if (m_timeline.waterLevel.contains(cycleIndex) && r == std::min(WaterRangegate, rows - 1)) {
        const int k = int(cycleIndex - m_timeline.waterLevel.begin);
        const int left = m_timeline.waterLevel.end - m_timeline.waterLevel.begin - k;
        const float h = WaterGain * float(std::min({k + 1, left, WaterRise})) / float(WaterRise);
        const float *mean = &m_mean[size_t(r) * RRD_CHANNELS];
        for (int c = WaterChannelBegin - 4; c < WaterChannelEnd + 4; ++c) {
            const bool edge = c < WaterChannelBegin || c >= WaterChannelEnd;
            add[c] += h * (edge ? 0.5f : 1.0f) * mean[c];
        }
        any = true;
    }
    return any;
}

void RuSimulator::fillRangegates(qint64 index, unsigned char *records) const
{
    const qint64 cycleIndex = index % m_options.frames;
    quint64 state = m_options.seed * 0xD1B54A32D192ED03ull ^ quint64(index);
    splitmix(state);
    float add[RRD_CHANNELS];
    for (int r = 0; r < m_options.rangegates; ++r) {
        unsigned char *rec = records + size_t(r) * RRD_RANGEGATE_SIZE;
        rrd_put_s32(rec, r);
        unsigned char *out = rec + 4;
        const float *mean = &m_mean[size_t(r) * RRD_CHANNELS];
        const float *sigma = &m_sigma[size_t(r) * RRD_CHANNELS];
        std::fill(add, add + RRD_CHANNELS, 0.0f);
        if (addEvents(cycleIndex, r, add)) {
            for (int c = 0; c < RRD_CHANNELS; ++c) {
                const float x = mean[c] + add[c] + (sigma[c] + NoiseSigma * add[c]) * gaussian(state);
                rrd_put_u32(out + 4 * c, quint32(std::max(0.0f, x) + 0.5f));
            }
        } else {
            for (int c = 0; c < RRD_CHANNELS; ++c) {
                const float x = mean[c] + sigma[c] * gaussian(state);
                rrd_put_u32(out + 4 * c, quint32(std::max(0.0f, x) + 0.5f));
            }
        }
    }
}

int RuSimulator::fill(qint64 index, rrd_frame *record) const
{
    if (!record || index < 0
        || rrd_frame_resize(record, uint32_t(m_options.format), m_options.rangegates) != 0)
        return -1;
    const qint64 t = frameTimeMicros(index);
    if (m_options.format == RRD_FORMAT_STAMPED) {
        rrd_put_s32(record->data, int32_t(t / 1000000));
        rrd_put_s32(record->data + 4, int32_t(t % 1000000));
        rrd_put_u16(record->data + 8, uint16_t(m_options.rangegates));
    } else if (m_options.format == RRD_FORMAT_RRD0) {
        fillInfo(index, record->info);
    }
    fillRangegates(index, record->rangegates);
    return 0;
}

rrd_frame *RuSimulator::newRecord(qint64 index) const
{
    rrd_frame *record = rrd_frame_new(uint32_t(m_options.format), m_options.rangegates);
    if (record && fill(index, record) != 0) {
        rrd_frame_free(record);
        return nullptr;
    }
    return record;
}

RuFrame RuSimulator::frame(qint64 index) const
{
    rrd_frame *record = newRecord(index);
    return record ? RuFrame(record) : RuFrame();
}

bool RuSimulator::writeRecording(const QString &path, QString *error) const
{
    RuFile file(path, 'w');
    if (!file.isOpen()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    RuFrame frame(rrd_frame_new(uint32_t(m_options.format), m_options.rangegates));
    for (int i = 0; i < m_options.frames; ++i) {
        if (frame.isNull() || fill(i, frame.record()) != 0) {
            if (error)
                *error = QStringLiteral("out of memory");
            return false;
        }
        if (file.writeFrame(frame) != 0) {
            if (error)
                *error = file.errorString();
            return false;
        }
    }
    if (!file.close()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

// The radar's parameter block as a station in the mountains would report it: a 50 m range
// gate grid, integration 2^8, temperatures following the time of day.
void RuSimulator::fillInfo(qint64 index, unsigned char *info) const
{
    std::memset(info, 0, RRD_INFO_SIZE);
    const qint64 t = frameTimeMicros(index);
    const int rows = m_options.rangegates;
    rrd_put_s32(info + RRD_INFO_SECONDS, int32_t(t / 1000000));
    rrd_put_s32(info + RRD_INFO_MICROS, int32_t(t % 1000000));
    rrd_put_u16(info + RRD_INFO_RANGEGATES, uint16_t(rows));
    char profile[32];
    std::snprintf(profile, sizeof profile, "P1-%dx50m", rows);
    putText(info + RRD_INFO_PROFILE, 32, profile);
    putText(info + RRD_INFO_NAME, 32, "Simulated Station");
    info[RRD_INFO_FLAGS] = 0x05; // extended block and PLL states present
    rrd_put_s32(info + RRD_INFO_GMT, 3600);
    info[RRD_INFO_ANTENNA] = 'A';
    rrd_put_u16(info + RRD_INFO_MODE, 2);
    rrd_put_u16(info + RRD_INFO_PRF, 2000);
    rrd_put_u16(info + RRD_INFO_RANGE, uint16_t(std::min(65535, rows * 50)));
    rrd_put_u16(info + RRD_INFO_BLINDRANGE, 100);
    rrd_put_u16(info + RRD_INFO_RG_WIDTH, 50);
    rrd_put_u32(info + RRD_INFO_AMPLITUDE, 1000);
    rrd_put_u16(info + RRD_INFO_COMPR_LEN, 13);
    rrd_put_u16(info + RRD_INFO_TX_DELAY, 40);
    rrd_put_u16(info + RRD_INFO_PULSE_DELAY, uint16_t(int16_t(-3)));
    rrd_put_u16(info + RRD_INFO_POLARITY, 1);
    rrd_put_u16(info + RRD_INFO_GLIDING_MEAN, 4);
    rrd_put_u32(info + RRD_INFO_FREQUENCY, 100000000);
    rrd_put_u16(info + RRD_INFO_INTEGRATE, 8);
    rrd_put_u16(info + RRD_INFO_COMBINE, 1);
    rrd_put_u16(info + RRD_INFO_LOOPS, 1);
    rrd_put_u16(info + RRD_INFO_AVG_SPEC, 4);
    rrd_put_u16(info + RRD_INFO_RXTX_START, 10);
    rrd_put_u16(info + RRD_INFO_RXTX_END, 900);
    rrd_put_u16(info + RRD_INFO_COR_START, 0);
    rrd_put_u16(info + RRD_INFO_COR_END, 1023);
    rrd_put_u16(info + RRD_INFO_PA_START, 5);
    rrd_put_u16(info + RRD_INFO_PA_END, 950);
    rrd_put_u16(info + RRD_INFO_PRF_GATES, uint16_t(rows));
    rrd_put_u16(info + RRD_INFO_BLIND_GATES, 2);
    rrd_put_u16(info + RRD_INFO_DIVIDER, 4);
    rrd_put_u16(info + RRD_INFO_RX_START, 12);
    rrd_put_u16(info + RRD_INFO_RX_END, 880);
    const qint64 processed = t + 150000;
    rrd_put_s32(info + RRD_INFO_P_SECONDS, int32_t(processed / 1000000));
    rrd_put_s32(info + RRD_INFO_P_MICROS, int32_t(processed % 1000000));
    rrd_put_s32(info + RRD_INFO_P_GMT, 3600);
    // Hundredths of a kelvin; the outside air swings by 6 K over the day.
    const double day = std::sin(double(t % 86400000000LL) / 86400e6 * 6.283185307179586);
    const auto kelvin = [](double celsius) { return uint32_t(std::lround((celsius + 273.15) * 100)); };
    rrd_put_u32(info + RRD_INFO_TEMP_PC, kelvin(35.0 + day));
    rrd_put_u32(info + RRD_INFO_TEMP_IN, kelvin(22.0 + 2.0 * day));
    rrd_put_u32(info + RRD_INFO_TEMP_OUT, kelvin(-4.0 + 6.0 * day));
    rrd_put_u32(info + RRD_INFO_TEMP_MOD1, kelvin(40.0 + day));
    rrd_put_u32(info + RRD_INFO_TEMP_MOD2, kelvin(42.5 + day));
    rrd_put_u32(info + RRD_INFO_TEMP_MOD3, kelvin(45.0 + day));
    rrd_put_u32(info + RRD_INFO_POWER, 1250);
    rrd_put_s32(info + RRD_INFO_VCC1, 12010);
    rrd_put_s32(info + RRD_INFO_VCC2, 5020);
    rrd_put_s32(info + RRD_INFO_VCC3, 3305);
    rrd_put_u32(info + RRD_INFO_VERSION_FW, 20107);
    rrd_put_u32(info + RRD_INFO_VERSION_HW, 3);
    rrd_put_u32(info + RRD_INFO_RG_WIDTH_MM, 49960);
    info[RRD_INFO_PLLS] = 0x07;
    if (m_options.processParams)
        writeProcessParameters(info);
}

namespace {

struct AvalancheSettings
{
    quint16 lengthMin, perColMin, perRowMin, borderLeft, borderRight;
    quint32 sumPerRowMin, sumSumMin;
    float thresholdOn, thresholdOff;
    std::vector<int> ignore;
};

void writeAvalancheBlock(unsigned char *block, const AvalancheSettings &s)
{
    block[RRD_PP_AV_PRESENT] = 1;
    block[RRD_PP_AV_PRE_ALARM_SAME] = 1;
    rrd_put_u16(block + RRD_PP_AV_LENGTH_MIN, s.lengthMin);
    rrd_put_u16(block + RRD_PP_AV_PER_COL_MIN, s.perColMin);
    rrd_put_u16(block + RRD_PP_AV_PER_ROW_MIN, s.perRowMin);
    rrd_put_u16(block + RRD_PP_AV_BORDER_LEFT, s.borderLeft);
    rrd_put_u16(block + RRD_PP_AV_BORDER_RIGHT, s.borderRight);
    rrd_put_u32(block + RRD_PP_AV_SUM_PER_ROW_MIN, s.sumPerRowMin);
    rrd_put_u32(block + RRD_PP_AV_SUM_SUM_MIN, s.sumSumMin);
    rrd_put_f32(block + RRD_PP_AV_THRESHOLD_ON, s.thresholdOn);
    rrd_put_f32(block + RRD_PP_AV_THRESHOLD_OFF, s.thresholdOff);
    rrd_mask_encode(s.ignore.data(), int(s.ignore.size()), block + RRD_PP_AV_IGNORE);
}

} // namespace

// The same settings for every scenario, as a radar has them: each detector fires on its own
// scenario and stays quiet on the others. The three avalanche detectors differ as their names
// say: "Intern" sees every range gate, "Extern" leaves out the near field and asks for more,
// "Big" needs three range gates and a large total.
void RuSimulator::writeProcessParameters(unsigned char *info) const
{
    std::memset(info + RRD_PP_GENERAL, 0, RRD_INFO_USED - RRD_PP_GENERAL);
    rrd_put_u16(info + RRD_INFO_PP_PRESENT, 1);
    const quint16 general[7] = {BgLength, BgDelay, 1, 0, TowardSearch, 100, 924};
    for (int i = 0; i < 7; ++i)
        rrd_put_u16(info + RRD_PP_GENERAL + 2 * i, general[i]);
    info[RRD_PP_LIVE_VELOCITY_SOURCE] = 0;
    rrd_put_f32(info + RRD_PP_LIVE_VELOCITY_LOW, 500.0f);

    const AvalancheSettings avalanche[3] = {
        {8, 2, 2, 20, 20, 280, 900, 2.4f, 2.0f, {}},
        {8, 2, 2, 40, 40, 350, 1200, 3.0f, 2.4f, {0, 1}},
        {8, 3, 2, 20, 20, 400, 2500, 2.4f, 2.0f, {}},
    };
    for (int k = 0; k < 3; ++k)
        writeAvalancheBlock(info + RRD_PP_AVALANCHE + k * RRD_PP_AVALANCHE_SIZE, avalanche[k]);

    // Water level: thresholds in the detector's own unit, the summed spectrum of its window,
    // so they follow the quiet level of the watched range gate.
    const int gate = std::min(WaterRangegate, m_options.rangegates - 1);
    const int width = WaterChannelEnd - WaterChannelBegin - 8;
    const double quiet = quietWindowSum(gate, WaterChannelBegin + 4, width);
    info[RRD_PP_WL_PRESENT] = 1;
    rrd_put_u16(info + RRD_PP_WL_RANGEGATE, uint16_t(gate));
    rrd_put_f32(info + RRD_PP_WL_ALARM_ON, float(2.5 * quiet));
    rrd_put_f32(info + RRD_PP_WL_ALARM_OFF, float(2.0 * quiet));
    rrd_put_f32(info + RRD_PP_WL_INCIDENT_ON, float(1.5 * quiet));
    rrd_put_f32(info + RRD_PP_WL_INCIDENT_OFF, float(1.25 * quiet));
    rrd_put_u16(info + RRD_PP_WL_CH_BEGIN, uint16_t(WaterChannelBegin + 4));
    rrd_put_u16(info + RRD_PP_WL_CH_WIDTH, uint16_t(width));
    rrd_put_u16(info + RRD_PP_WL_SAMPLES, WaterSamples);

    const int rainIgnore[] = {0};
    info[RRD_PP_RAIN_PRESENT] = 1;
    rrd_put_u16(info + RRD_PP_RAIN_AVG_TIME, 1);
    rrd_put_u16(info + RRD_PP_RAIN_AVG_SPECTRUM, 0);
    rrd_mask_encode(rainIgnore, 1, info + RRD_PP_RAIN_IGNORE);
    rrd_put_f32(info + RRD_PP_RAIN_ALARM_ON, 1.2f);
    rrd_put_f32(info + RRD_PP_RAIN_ALARM_OFF, 1.1f);
    rrd_put_u16(info + RRD_PP_RAIN_CH_BEGIN, RainChannelBegin);
    rrd_put_u16(info + RRD_PP_RAIN_CH_WIDTH, RainChannelEnd - RainChannelBegin);
    rrd_put_u16(info + RRD_PP_RAIN_BG_DELAY, 100);
}
