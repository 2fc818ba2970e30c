// Throughput of the detector engine with every detector and live value on, against one pass
// over the same frames that only converts them to matrices (RuFrame::toMatrix), at 20 and 128
// range gates on one thread. (The memory a stored frame holds is measured by bench_window.)
// Throughput is per second of processor time, so that other work on the machine does not
// blur the figures (the program runs on one thread; page faults count as its time).

#include "BenchSummary.h"
#include "RuAlarmCalculator.h"
#include "RuSimulator.h"

#include <benchmark/benchmark.h>

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
    return 0;
}
