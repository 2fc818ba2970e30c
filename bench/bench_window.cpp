// The frame window at scale, every detector and live value on:
// - bytes held per stored frame (frame, result and everything it shares, the accumulator
//   trails included, each shared buffer counted once) at 20 and 128 range gates with time averaging 1 and 4, against the raw
//   frame; beside it the layout that keeps every matrix (the engine's eager mode plus the
//   packet's float Original), measured on the same frames;
// - the extraction jobs of every packet type on a full store of 4000 frames, against the
//   same views built the straightforward way (each frame's whole matrix derived, then the
//   row or value taken);
// - the resident memory of a 20 000-frame replay through a 1000-frame window (store, engine
//   and released batches as rrdcli watch runs them, on one thread), against the raw bytes of
//   the frames the window holds.

#include "BenchDetectors.h"
#include "BenchSummary.h"
#include "RuAlarmCalculator.h"
#include "RuSimulator.h"
#include "SkFrameStore.h"
#include "SkPacket.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;

RuSimulatorOptions scene(int rangegates, int frames)
{
    RuSimulatorOptions o;
    o.scenario = RuScenario::Mixed;
    o.frames = frames;
    o.rangegates = rangegates;
    o.processParams = true;
    o.seed = 20240201;
    return o;
}

RuAlarmCalculator allDetectors(const RuSimulator &simulator, int avgTime, bool eager)
{
    RuAlarmCalculator calculator = benchAllDetectors(simulator);
    RuAlarmParams p = calculator.alarmParams();
    p.avgTime = avgTime;
    calculator.setAlarmParams(p);
    calculator.setKeepsEveryMatrix(eager);
    return calculator;
}

std::vector<SkPacket> evaluated(const RuSimulator &simulator, int frames, int avgTime, bool eager)
{
    RuAlarmCalculator calculator = allDetectors(simulator, avgTime, eager);
    std::vector<SkPacket> packets;
    packets.reserve(size_t(frames));
    for (int i = 0; i < frames; ++i) {
        const RuFrame frame = simulator.frame(i);
        calculator.processFrame(frame, frame.timeMicros());
        packets.emplace_back(frame, i);
        packets.back().setAlarmResult(calculator.lastResult());
    }
    return packets;
}

// Bytes held by packets, each shared buffer counted once.
class HeldBytes
{
public:
    void addPacket(const SkPacket &packet, bool withOriginal)
    {
        const rrd_frame *record = packet.frame().record();
        m_bytes += sizeof(SkPacket) + sizeof(rrd_frame) + record->capacity;
        if (withOriginal)
            m_bytes += size_t(packet.frame().rows()) * Channels * sizeof(float);
        if (const SkAlarmResultSharedPtr r = packet.alarmResult())
            addResult(*r);
    }
    double bytes() const { return double(m_bytes); }

private:
    template <typename M>
    void addMatrix(const M *m)
    {
        if (m && !m_seen.contains(m)) {
            m_seen.insert(m);
            m_bytes += sizeof(M) + size_t(m->size()) * sizeof(float);
        }
    }
    template <typename T>
    void addVector(const QVector<T> &v)
    {
        if (!v.isEmpty() && !m_seen.contains(v.constData())) {
            m_seen.insert(v.constData());
            m_bytes += 16 + size_t(v.capacity()) * sizeof(T);
        }
    }
    void addTrail(const RuTrailMean &mean)
    {
        const RuAccumulatorTrail *trail = mean.trail.data();
        if (trail && !m_seen.contains(trail)) {
            m_seen.insert(trail);
            m_bytes += trail->heldBytes();
        }
    }
    void addResult(const RuAlarmResult &r)
    {
        m_bytes += sizeof(RuAlarmResult);
        addMatrix(r.filtered.data());
        addMatrix(r.background.data());
        addMatrix(r.halfSymmetry.data());
        addTrail(r.filteredMean);
        addTrail(r.backgroundMean);
        for (const RuAvalancheResult &a : r.avalanche) {
            addVector(a.runs);
            for (const RuRangegateRuns &runs : a.runs)
                addVector(runs.starts);
            addVector(a.rowActivity);
            addVector(a.lastAlarm.channelMaps);
            for (const QBitArray &map : a.lastAlarm.channelMaps) {
                if (!map.isEmpty() && !m_seen.contains(map.bits())) {
                    m_seen.insert(map.bits());
                    m_bytes += 32 + size_t(map.size()) / 8;
                }
            }
        }
        for (const RuRainResult &rain : r.rain)
            addVector(rain.ratios);
        addVector(r.live.channel0);
        addVector(r.live.activity);
        addVector(r.live.mainVelocity);
        addVector(r.live.maxVelocity);
        addVector(r.live.medianVelocity);
    }

    size_t m_bytes = 0;
    QSet<const void *> m_seen;
};

// Bytes per frame over the second half of the packets (the first frames have no background).
double bytesPerFrame(const std::vector<SkPacket> &packets, bool withOriginal)
{
    HeldBytes held;
    const size_t from = packets.size() / 2;
    for (size_t i = from; i < packets.size(); ++i)
        held.addPacket(packets[i], withOriginal);
    return held.bytes() / double(packets.size() - from);
}

void reportMemory(int rangegates, int avgTime)
{
    const int frames = rangegates > 64 ? 240 : 400;
    const RuSimulator simulator(scene(rangegates, frames));
    const std::vector<SkPacket> lazy = evaluated(simulator, frames, avgTime, false);
    const double raw = double(lazy.front().frame().record()->capacity);
    const double held = bytesPerFrame(lazy, false);
    const std::string what = std::to_string(rangegates) + " RG, time averaging "
                             + std::to_string(avgTime);
    const std::string target = avgTime == 1 ? " (target 1.3)" : " (target 2)";
    benchReport("bytes per stored frame, " + what + target, held, "B", "raw frame", raw,
                held / raw);
    const std::vector<SkPacket> eager = evaluated(simulator, frames, avgTime, true);
    const double everything = bytesPerFrame(eager, true);
    benchReport("  the same keeping every matrix, " + what, everything, "B", "raw frame", raw,
                everything / raw);
}

double threadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Processor time of one call on this thread, in milliseconds, the best of three: a job runs
// on one pool thread, and other work on the machine does not blur the figure.
template <typename Body>
double bestMs(Body body)
{
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        const double start = threadMs();
        body();
        best = std::min(best, threadMs() - start);
    }
    return best;
}

// The views built by deriving each frame's whole matrix: what the jobs avoid.
void wholeMatrixRow(const std::vector<SkPacket> &packets, SkPacketTypeEnum type, int row)
{
    QVector<double> out(int(packets.size()) * Channels, 0.0);
    for (size_t i = 0; i < packets.size(); ++i) {
        if (!packets[i].hasMatrix(type))
            continue;
        const SkPacket::MatrixPtr m = packets[i].matrix(type);
        const int r = std::min(row, int(m->rows()) - 1);
        for (int c = 0; c < Channels; ++c)
            out[int(i) * Channels + c] = (*m)(r, c);
    }
    benchmark::DoNotOptimize(out.data());
}

void wholeMatrixColumn(const std::vector<SkPacket> &packets, SkPacketTypeEnum type, int column)
{
    const int n = int(packets.size());
    QVector<double> out;
    for (int i = 0; i < n; ++i) {
        if (!packets[size_t(i)].hasMatrix(type))
            continue;
        const SkPacket::MatrixPtr m = packets[size_t(i)].matrix(type);
        const int h = std::min(int(m->rows()), 128);
        if (out.isEmpty())
            out.fill(0.0, n * h);
        for (int j = 0; j < h; ++j)
            out[i + j * n] = (*m)(j, column);
    }
    benchmark::DoNotOptimize(out.data());
}

// 4000 frames with results; at 128 range gates a cycle of 400 evaluated frames is held ten
// times over (the jobs' work per frame is the same, and the machine keeps its memory).
void reportJobs(int rangegates)
{
    constexpr int Held = 4000;
    const int distinct = rangegates > 64 ? 400 : Held;
    const RuSimulator simulator(scene(rangegates, distinct));
    const std::vector<SkPacket> cycle = evaluated(simulator, distinct, 1, false);
    std::vector<SkPacket> packets;
    SkFrameStore store;
    store.clear();
    store.setMaxSize(Held);
    for (int i = 0; i < Held; ++i) {
        packets.push_back(cycle[size_t(i % distinct)]);
        store.appendFrame(packets.back(), 0);
    }
    const double limit = rangegates > 64 ? 150.0 : 50.0;
    const int row = rangegates / 2;
    for (SkPacketTypeEnum type : skPacketTypesInSelectorOrder()) {
        const std::string name = skPacketTypeName(type).toStdString() + ", "
                                 + std::to_string(rangegates) + " RG, 4000 frames (target "
                                 + std::to_string(int(limit)) + " ms)";
        const double rowJob = bestMs([&] { store.extractRow(row, Held - 1, type, 200); });
        const double rowWhole = bestMs([&] { wholeMatrixRow(packets, type, row); });
        benchReport("extractRow " + name, rowJob, "ms", "whole matrix per frame", rowWhole,
                    rowJob / rowWhole);
        const double colJob =
            bestMs([&] { store.extractColumn(300, Held - 1, type, 200); });
        const double colWhole = bestMs([&] { wholeMatrixColumn(packets, type, 100); });
        benchReport("extractColumn " + name, colJob, "ms", "whole matrix per frame", colWhole,
                    colJob / colWhole);
        const double frameJob = bestMs([&] { store.extractFrame(Held - 1, type, 200); });
        const double frameWhole =
            bestMs([&] { benchmark::DoNotOptimize(packets.back().matrix(type).data()); });
        benchReport("extractFrame " + name, frameJob, "ms", "the matrix derived alone",
                    frameWhole, frameJob / frameWhole);
    }
    // The live-value and range-gate-sum jobs read one frame's result or normalised matrix,
    // whatever the type shown.
    const std::string size = std::to_string(rangegates) + " RG, 4000 frames (target "
                             + std::to_string(int(limit)) + " ms)";
    const SkPacketTypeEnum normalized = SkPacketTypeEnum::AvalancheNormalized;
    const double infoJob = bestMs([&] { store.extractInfo(Held - 1, SkActivityMaxVelocity); });
    const double frameAlone = bestMs(
        [&] { benchmark::DoNotOptimize(packets.back().matrix(normalized).data()); });
    benchReport("extractInfo Max Velocity, " + size, infoJob, "ms",
                "the normalised matrix derived alone", frameAlone, infoJob / frameAlone);
    const double sumJob = bestMs([&] { store.extractRgSum(Held - 1, 0, 0); });
    benchReport("extractRgSum, " + size, sumJob, "ms", "the normalised matrix derived alone",
                frameAlone, sumJob / frameAlone);
}

qint64 statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Frames appended, analysed and released in batches of 500 once the window is full, as the
// watch pipeline does, with the simulator's frames made as they are needed.
void reportReplay()
{
    constexpr int Frames = 20000;
    constexpr int Window = 1000;
    constexpr int Batch = 500;
    const RuSimulator simulator(scene(20, 2400));
    RuAlarmCalculator calculator = allDetectors(simulator, 1, false);
    SkFrameStore store;
    store.clear();
    store.setMaxSize(Window);
    const qint64 before = statusKilobytes("VmRSS:");
    double raw = 0.0;
    for (int i = 0; i < Frames; ++i) {
        if (store.isFull())
            store.releaseFrames(Batch);
        const RuFrame frame = simulator.frame(i);
        raw = double(frame.record()->capacity);
        store.appendFrame(SkPacket(frame, -1), 0);
        calculator.processFrame(frame, frame.timeMicros());
        store.onAlarmCalculated(i, calculator.lastResult());
    }
    const double rss = double(statusKilobytes("VmRSS:") - before) * 1024.0;
    const double peak = double(statusKilobytes("VmHWM:") - before) * 1024.0;
    const double windowRaw = raw * Window;
    benchReport("RSS growth, 20000-frame replay, 1000-frame window, 20 RG", rss, "B",
                "raw frames of the window", windowRaw, rss / windowRaw);
    benchReport("  peak RSS growth of the same replay", peak, "B", "raw frames of the window",
                windowRaw, peak / windowRaw);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const bool jobsOnly = argc > 1 && QByteArray(argv[1]) == "--jobs-only";
    if (!jobsOnly) {
        // The replay first, while the process holds nothing else.
        reportReplay();
        for (int rangegates : {20, 128}) {
            for (int avgTime : {1, 4})
                reportMemory(rangegates, avgTime);
        }
    }
    reportJobs(20);
    reportJobs(128);
    return 0;
}
