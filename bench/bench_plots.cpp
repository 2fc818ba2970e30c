// The activity plot on a long stream: feeding one result per frame while the plot follows a
// store window of 1000 frames (points and markers of older frames dropped, both axes fitted to
// the shown curves), against feeding the same results without trimming, at 128 range gates
// (5 + 5 x 128 series). Reports the time per frame (processor time) and the bytes of points
// held after the stream.
//
// The spectrogram's automatic colour levels: of a frame of 128 range gates (read whole)
// against copying that frame once, and of one range gate over 1000 frames (sampled) against
// the same quantiles found in all its values.
//
// Zooming and panning the spectrogram: one wheel step of zoom (in and out in turn) and one pan
// step of a zoomed view, each redrawn as the screen shows it (the widget painted into a
// picture), against redrawing the whole view of the same frame of 128 range gates. The median
// of the redraws is reported; the target is under 50 ms.

#include "BenchSummary.h"
#include "RuAlarmCalculator.h"
#include "RuAlarmEvents.h"
#include "RuSimulator.h"
#include "SkActivityCurveData.h"
#include "SkColorLevels.h"
#include "SkPlotActivities.h"
#include "SkPlotSpectrogram.h"
#include "SkPlotZoomer.h"

#include <qwt_plot_spectrogram.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int Rangegates = 128;
constexpr int Window = 1000;
constexpr int StreamFrames = 20000;

// One mixed scenario cycle of results with every live value on, looped to make the stream,
// each with the events the live session derives from it.
struct Fed
{
    SkAlarmResultSharedPtr result;
    QVector<RuAlarmEvent> events;
};

const std::vector<Fed> &results()
{
    static std::vector<Fed> made;
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
        made.push_back({calc.lastResult(), ruAlarmEvents(*calc.lastResult())});
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
    const std::vector<Fed> &r = results();
    for (auto _ : state) {
        SkPlotActivities plot;
        const std::clock_t start = std::clock();
        for (int n = 0; n < StreamFrames; ++n) {
            const Fed &fed = r[n % r.size()];
            plot.appendPoints(n, fed.result);
            for (const RuAlarmEvent &event : fed.events)
                plot.addEvent(n, event);
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

// Original frames of the avalanche at 128 range gates: one frame, and frames stacked into a view
// of one range gate's 1024 channels over 1000 frames (its values shifted so they differ).
QVector<double> levelMatrix(int rows)
{
    RuSimulatorOptions o;
    o.scenario = RuScenario::Avalanche;
    o.frames = 600;
    o.rangegates = Rangegates;
    o.seed = 20240201;
    const RuMatrix m = RuSimulator(o).frame(205).toMatrix();
    const int size = static_cast<int>(m.size());
    QVector<double> values(rows * 1024);
    for (int i = 0; i < values.size(); ++i)
        values[i] = m.data()[i % size] + i / size;
    return values;
}

// The same three quantiles found among all values, unsampled.
QwtInterval exactLevels(const QVector<double> &values)
{
    std::vector<double> all(values.begin(), values.end());
    const auto at = [&](double q) {
        auto nth = all.begin() + std::ptrdiff_t(std::lround(q * double(all.size() - 1)));
        std::nth_element(all.begin(), nth, all.end());
        return *nth;
    };
    const double high = at(SkColorLevels::HighQuantile);
    const double median = at(0.5);
    const double low = at(SkColorLevels::LowQuantile);
    return QwtInterval(low, std::min(high, median + SkColorLevels::NoiseSpreads * (median - low)));
}

double g_levelsMicros[4] = {0, 0, 0, 0}; // frame: levels, copy; view: sampled, exact

void recordBest(double &best, double micros)
{
    best = best > 0 ? std::min(best, micros) : micros;
}

void BM_ColourLevels(benchmark::State &state)
{
    const int variant = int(state.range(0));
    const QVector<double> values = levelMatrix(variant < 2 ? Rangegates : Window);
    double sink = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        switch (variant) {
        case 0: sink += SkColorLevels::of(values, 1024).maxValue(); break;
        case 1: sink += std::vector<double>(values.begin(), values.end()).back(); break;
        case 2: sink += SkColorLevels::of(values, 1024).maxValue(); break;
        default: sink += exactLevels(values).maxValue(); break;
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        recordBest(g_levelsMicros[variant], took.count() * 1e6);
    }
    benchmark::DoNotOptimize(sink);
}

BENCHMARK(BM_ColourLevels)->DenseRange(0, 3)->Iterations(20)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The spectrogram of an avalanche frame at 128 range gates, 1024 channels in 1000 px.
SkPlotSpectrogram &benchSpectrogram()
{
    static SkPlotSpectrogram *plot = nullptr; // lives until the program ends
    if (plot)
        return *plot;
    plot = new SkPlotSpectrogram();
    plot->resize(1100, 700);
    plot->setZMax(4000);
    plot->setPeakShift(512);
    plot->setChannelUnit(SkPlotSpectrogram::Velocity);
    const QVector<double> values = levelMatrix(Rangegates);
    plot->setData(values, 1024, 1024, Rangegates);
    plot->show();
    plot->replot();
    return *plot;
}

enum RedrawKind { WholeView, ZoomStep, PanStep };

// One user step of `kind` and the redraw that shows it.
void redrawStep(SkPlotSpectrogram &plot, RedrawKind kind, int step)
{
    SkPlotZoomer *zoomer = plot.zoomer();
    const QPointF centre(600, Rangegates / 2.0);
    switch (kind) {
    case WholeView:
        zoomer->resetZoom();
        plot.spectrogram()->invalidateCache();
        plot.replot();
        break;
    case ZoomStep: {
        const double factor = step % 2 ? SkPlotZoomer::WheelFactor : 1.0 / SkPlotZoomer::WheelFactor;
        zoomer->zoomBy(factor, centre, Qt::Horizontal | Qt::Vertical);
        break;
    }
    case PanStep:
        zoomer->panBy(step % 2 ? -20.0 : 20.0, step % 2 ? -2.0 : 2.0);
        break;
    }
    benchmark::DoNotOptimize(plot.grab());
}

double g_redrawMillis[3] = {0, 0, 0}; // whole view, zoom step, pan step (medians)

void BM_SpectrogramRedraw(benchmark::State &state)
{
    const auto kind = RedrawKind(state.range(0));
    SkPlotSpectrogram &plot = benchSpectrogram();
    plot.zoomer()->resetZoom();
    if (kind != WholeView)
        plot.zoomer()->setZoomRect(QRectF(400, 32, 400, 64)); // a quarter of the frame
    std::vector<double> millis;
    int step = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        redrawStep(plot, kind, step++);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        millis.push_back(took.count() * 1e3);
    }
    std::nth_element(millis.begin(), millis.begin() + millis.size() / 2, millis.end());
    g_redrawMillis[kind] = millis[millis.size() / 2];
}

BENCHMARK(BM_SpectrogramRedraw)->DenseRange(0, 2)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

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
    benchReport("colour levels of a frame, " + std::to_string(Rangegates) + " RG x 1024",
                g_levelsMicros[0], "us", "copying the frame once", g_levelsMicros[1],
                g_levelsMicros[0] / g_levelsMicros[1]);
    benchReport("colour levels of 1000 frames x 1024, sampled", g_levelsMicros[2], "us",
                "the same quantiles of every value", g_levelsMicros[3],
                g_levelsMicros[2] / g_levelsMicros[3]);
    const std::string redraw = ", " + std::to_string(Rangegates) + " RG (median)";
    benchReport("spectrogram zoom step redraw" + redraw, g_redrawMillis[ZoomStep], "ms",
                "whole-view redraw", g_redrawMillis[WholeView],
                g_redrawMillis[ZoomStep] / g_redrawMillis[WholeView]);
    benchReport("spectrogram pan step redraw" + redraw, g_redrawMillis[PanStep], "ms",
                "whole-view redraw", g_redrawMillis[WholeView],
                g_redrawMillis[PanStep] / g_redrawMillis[WholeView]);
    return 0;
}
