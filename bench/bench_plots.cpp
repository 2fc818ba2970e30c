// The activity plot on a long stream: feeding one result per frame while the plot follows a
// store window of 1000 frames (points and markers of older frames dropped, both axes fitted to
// the shown curves), against feeding the same results without trimming, at 128 range gates
// (5 + 5 x 128 series). Reports the time per frame (processor time) and the bytes of points
// held after the stream.

#include "BenchSummary.h"
#include "RuAlarmCalculator.h"
#include "RuSimulator.h"
#include "SkActivityCurveData.h"
#include "SkPlotActivities.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int Rangegates = 128;
constexpr int Window = 1000;
constexpr int StreamFrames = 20000;

// One mixed scenario cycle of results with every live value on, looped to make the stream.
const std::vector<SkAlarmResultSharedPtr> &results()
{
    static std::vector<SkAlarmResultSharedPtr> made;
    if (!made.empty())
        return made;
    RuSimulatorOptions o;
    o.scenario = RuScenario::Mixed;
    o.frames = 600;
    o.rangegates = Rangegates;
    o.processParams = true;
    o.seed = 20240201;
    const RuSimulator sim(o);
    RuAlarmCalculator calc;
    calc.fromProcessParameters(sim.frame(0).info());
    calc.setLiveEnables({true, true, true, true, true});
    for (int i = 0; i < o.frames; ++i) {
        const RuFrame frame = sim.frame(i);
        calc.processFrame(frame, frame.timeMicros());
        made.push_back(calc.lastResult());
    }
    return made;
}

double storedBytes(const SkPlotActivities &plot)
{
    double points = 0;
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id)
        for (const SkActivityCurveData *s : plot.series(static_cast<SkActivityPlotId>(id)))
            points += s->storedCount();
    return points * sizeof(QPointF);
}

double g_bestMicros[2] = {0, 0}; // per frame: untrimmed, trimmed
double g_bytes[2] = {0, 0};

void BM_FeedActivityPlot(benchmark::State &state)
{
    const bool trimmed = state.range(0) != 0;
    const std::vector<SkAlarmResultSharedPtr> &r = results();
    const SkActivityMarkerLevels levels;
    for (auto _ : state) {
        SkPlotActivities plot;
        const std::clock_t start = std::clock();
        for (int n = 0; n < StreamFrames; ++n) {
            plot.appendResult(n, *r[n % r.size()], levels);
            if (trimmed)
                plot.setFrameRange(std::max(0, n - Window + 1), Window);
        }
        const double took = double(std::clock() - start) / CLOCKS_PER_SEC;
        state.SetIterationTime(took);
        double &best = g_bestMicros[trimmed];
        const double perFrame = took * 1e6 / StreamFrames;
        best = best > 0 ? std::min(best, perFrame) : perFrame;
        g_bytes[trimmed] = storedBytes(plot);
    }
}

BENCHMARK(BM_FeedActivityPlot)->Arg(0)->Arg(1)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    results();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const std::string what = std::to_string(StreamFrames) + " frames, " +
                             std::to_string(Rangegates) + " RG";
    benchReport("activity plot feed + trim per frame, " + std::to_string(Rangegates) + " RG",
                g_bestMicros[1], "us", "feed without trimming", g_bestMicros[0],
                g_bestMicros[1] / g_bestMicros[0]);
    benchReport("activity plot points held after " + what, g_bytes[1], "B",
                "without trimming", g_bytes[0], g_bytes[1] / g_bytes[0]);
    return 0;
}
