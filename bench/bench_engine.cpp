// Throughput of the detector engine with every detector and live value on, against one pass
// over the same frames that only converts them to matrices (RuFrame::toMatrix), at 20 and 128
// range gates on one thread; and the memory one stored frame holds with its result.
// Throughput is per second of processor time, so that other work on the machine does not
// blur the figures (the program runs on one thread; page faults count as its time).

#include "BenchSummary.h"
#include "RuAlarmCalculator.h"
#include "RuSimulator.h"
#include "SkPacket.h"

#include <benchmark/benchmark.h>

#include <QSet>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// One scenario cycle with avalanche, rain and water-level events, held in memory.
struct Recording
{
    int rangegates = 0;
    std::vector<RuFrame> frames;
    RuAlarmCalculator calculator; // configured, not yet fed
};

Recording makeRecording(int rangegates, int frames)
{
    RuSimulatorOptions o;
    o.scenario = RuScenario::Mixed;
    o.frames = frames;
    o.rangegates = rangegates;
    o.processParams = true;
    o.seed = 20240201;
    const RuSimulator sim(o);
    Recording rec;
    rec.rangegates = rangegates;
    for (int i = 0; i < frames; ++i)
        rec.frames.push_back(sim.frame(i));
    rec.calculator.fromProcessParameters(rec.frames.front().info());
    for (int k = 0; k < RuAlarmCalculator::Detectors; ++k)
        rec.calculator.setAvalancheEnable(k, true);
    rec.calculator.setRainEnable(0, true);
    rec.calculator.setWaterlevelEnable(0, true);
    rec.calculator.setLiveEnables({true, true, true, true, true});
    return rec;
}

const Recording &recording(int rangegates)
{
    static std::map<int, Recording> made;
    auto it = made.find(rangegates);
    if (it == made.end())
        it = made.emplace(rangegates, makeRecording(rangegates, rangegates > 64 ? 600 : 1200)).first;
    return it->second;
}

std::map<std::string, double> g_best; // frames per second

template <typename Body>
void measure(benchmark::State &state, const std::string &name, int frames, Body body)
{
    for (auto _ : state) {
        const std::clock_t start = std::clock();
        body();
        const double took = double(std::clock() - start) / CLOCKS_PER_SEC;
        double &best = g_best[name];
        best = std::max(best, frames / took);
        state.SetIterationTime(took);
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void BM_Engine(benchmark::State &state)
{
    const Recording &rec = recording(static_cast<int>(state.range(0)));
    measure(state, "engine" + std::to_string(rec.rangegates), int(rec.frames.size()), [&] {
        RuAlarmCalculator calc = rec.calculator; // every run starts afresh
        for (const RuFrame &frame : rec.frames) {
            calc.processFrame(frame, frame.timeMicros());
            benchmark::DoNotOptimize(calc.lastResult().data());
        }
    });
}

void BM_ToMatrix(benchmark::State &state)
{
    const Recording &rec = recording(static_cast<int>(state.range(0)));
    measure(state, "toMatrix" + std::to_string(rec.rangegates), int(rec.frames.size()), [&] {
        for (const RuFrame &frame : rec.frames) {
            RuMatrix m = frame.toMatrix();
            benchmark::DoNotOptimize(m.data());
        }
    });
}

BENCHMARK(BM_ToMatrix)->Arg(20)->Arg(128)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Engine)->Arg(20)->Arg(128)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// Bytes a frame store holds per frame: the frame record, the packet's Original matrix and the
// result with everything it references, each shared buffer counted once over all frames.
class HeldBytes
{
public:
    void addPacket(const SkPacket &packet)
    {
        const rrd_frame *record = packet.frame().record();
        m_bytes += sizeof(SkPacket) + sizeof(rrd_frame) + record->capacity;
        addMatrix(packet.matrix(SkPacketTypeEnum::Original).data(), sizeof(float));
        if (const SkAlarmResultSharedPtr r = packet.alarmResult())
            addResult(*r);
    }
    double bytes() const { return double(m_bytes); }

private:
    template <typename M>
    void addMatrix(const M *m, size_t element)
    {
        if (m && !m_seen.contains(m)) {
            m_seen.insert(m);
            m_bytes += sizeof(M) + size_t(m->size()) * element;
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
    void addResult(const RuAlarmResult &r)
    {
        m_bytes += sizeof(RuAlarmResult);
        addMatrix(r.filtered.data(), sizeof(float));
        addMatrix(r.background.data(), sizeof(float));
        addMatrix(r.halfSymmetry.data(), sizeof(float));
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

void reportMemory(int rangegates)
{
    const Recording &rec = recording(rangegates);
    RuAlarmCalculator calc = rec.calculator;
    std::vector<SkPacket> store;
    HeldBytes held;
    const int frames = std::min<int>(400, int(rec.frames.size()));
    for (int i = 0; i < frames; ++i) {
        SkPacket packet(rec.frames[i], i);
        calc.processFrame(rec.frames[i], rec.frames[i].timeMicros());
        packet.setAlarmResult(calc.lastResult());
        store.push_back(packet);
    }
    // The first frames have no background yet; count a window past them.
    const int from = frames / 2;
    for (int i = from; i < frames; ++i)
        held.addPacket(store[i]);
    const double perFrame = held.bytes() / (frames - from);
    const double target = 5.0 * rangegates * 1024 * 4;
    benchReport("engine bytes held per stored frame, " + std::to_string(rangegates) + " RG",
                perFrame, "B", "target 5 x R x 1024 x 4", target, perFrame / target);
}

void reportSpeed(int rangegates)
{
    const std::string r = std::to_string(rangegates);
    const double v = g_best["engine" + r];
    const double b = g_best["toMatrix" + r];
    if (v > 0 && b > 0)
        benchReport("engine, all detectors + live, " + r + " RG (CPU time)", v, "frames/s",
                    "toMatrix of the same frames", b, v / b);
}

} // namespace

int main(int argc, char **argv)
{
    recording(20);
    recording(128);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    reportSpeed(20);
    reportSpeed(128);
    reportMemory(20);
    reportMemory(128);
    return 0;
}
