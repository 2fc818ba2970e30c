#include "RuSimulator.h"

#include "RuFile.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

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
        frameInfo(index).encode(record->info);
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
RuFrameInfo RuSimulator::frameInfo(qint64 index) const
{
    const qint64 t = frameTimeMicros(index);
    const int rows = m_options.rangegates;
    RuFrameInfo i;
    i.seconds = qint32(t / 1000000);
    i.microseconds = qint32(t % 1000000);
    i.rangegates = quint16(rows);
    i.profile = QStringLiteral("P1-%1x50m").arg(rows);
    i.name = QStringLiteral("Simulated Station");
    i.flags = RuFrameInfo::Extended | RuFrameInfo::PllStatesValid;
    i.gmtOffset = 3600;
    i.antenna = 'A';
    i.mode = 2;
    i.prf = 2000;
    i.range = quint16(std::min(65535, rows * 50));
    i.blindRange = 100;
    i.rangegateWidth = 50;
    i.amplitude = 1000;
    i.compressionLength = 13;
    i.txDelay = 40;
    i.pulseDelay = -3;
    i.polarity = 1;
    i.glidingMean = 4;
    i.frequency = 100000000;
    i.integrate = 8;
    i.combine = 1;
    i.loops = 1;
    i.averagedSpectra = 4;
    i.rxTxStart = 10;
    i.rxTxEnd = 900;
    i.corStart = 0;
    i.corEnd = 1023;
    i.paStart = 5;
    i.paEnd = 950;
    i.prfGates = quint16(rows);
    i.blindGates = 2;
    i.divider = 4;
    i.rxStart = 12;
    i.rxEnd = 880;
    const qint64 processed = t + 150000;
    i.processingSeconds = qint32(processed / 1000000);
    i.processingMicroseconds = qint32(processed % 1000000);
    i.processingGmtOffset = 3600;
    // Hundredths of a kelvin; the outside air swings by 6 K over the day.
    const double day = std::sin(double(t % 86400000000LL) / 86400e6 * 6.283185307179586);
    const auto kelvin = [](double celsius) { return quint32(std::lround((celsius + 273.15) * 100)); };
    i.temperaturePc = kelvin(35.0 + day);
    i.temperatureInside = kelvin(22.0 + 2.0 * day);
    i.temperatureOutside = kelvin(-4.0 + 6.0 * day);
    i.temperatureModules = {kelvin(40.0 + day), kelvin(42.5 + day), kelvin(45.0 + day)};
    i.power = 1250;
    i.supplyMillivolts = {12010, 5020, 3305};
    i.firmwareVersion = 20107;
    i.hardwareVersion = 3;
    i.rangegateWidthMm = 49960;
    i.pllStates = 0x07;
    if (m_options.processParams)
        i.processParameters = processParameters();
    return i;
}

// The same settings for every scenario, as a radar has them: each detector fires on its own
// scenario and stays quiet on the others. The three avalanche detectors differ as their names
// say: "Intern" sees every range gate, "Extern" leaves out the near field and asks for more,
// "Big" needs three range gates and a large total.
RuProcessParameters RuSimulator::processParameters() const
{
    RuProcessParameters p;
    p.bgLength = BgLength;
    p.bgDelay = BgDelay;
    p.avgTime = 1;
    p.avgSpectrum = 0;
    p.toWardSearch = TowardSearch;
    p.liveChBegin = 100;
    p.liveChEnd = 924;
    p.liveVelocitySource = 0;
    p.liveVelocityLowLimit = 500.0f;
    using Avalanche = RuProcessParameters::Avalanche;
    p.avalanche = {Avalanche{true, 8, 2, 2, 20, 20, 280, 900, 2.4f, 2.0f, {}, {}, {}},
                   Avalanche{true, 8, 2, 2, 40, 40, 350, 1200, 3.0f, 2.4f, {0, 1}, {}, {}},
                   Avalanche{true, 8, 3, 2, 20, 20, 400, 2500, 2.4f, 2.0f, {}, {}, {}}};

    // Water level: thresholds in the detector's own unit, the summed spectrum of its window,
    // so they follow the quiet level of the watched range gate.
    const int gate = std::min(WaterRangegate, m_options.rangegates - 1);
    const int width = WaterChannelEnd - WaterChannelBegin - 8;
    const double quiet = quietWindowSum(gate, WaterChannelBegin + 4, width);
    RuProcessParameters::Waterlevel w;
    w.rangegate = quint16(gate);
    w.thresholdAlarmOn = float(2.5 * quiet);
    w.thresholdAlarmOff = float(2.0 * quiet);
    w.thresholdIncidentOn = float(1.5 * quiet);
    w.thresholdIncidentOff = float(1.25 * quiet);
    w.chBegin = quint16(WaterChannelBegin + 4);
    w.chWidth = quint16(width);
    w.samples = WaterSamples;
    p.waterlevel = w;

    RuProcessParameters::Rain r;
    r.avgTime = 1;
    r.avgSpectrum = 0;
    r.rangegatesToIgnore = {0};
    r.thresholdAlarmOn = 1.2f;
    r.thresholdAlarmOff = 1.1f;
    r.chBegin = RainChannelBegin;
    r.chWidth = RainChannelEnd - RainChannelBegin;
    r.bgFrameDelay = 100;
    p.rain = r;
    return p;
}
