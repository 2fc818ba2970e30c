// Opening a recording in the viewer: a 5000-frame .rrd0.gz of 128 range gates opened by a real
// window (offscreen, 1600x1000, a window of 5000 frames, the radar's own settings), timed from
// the window's construction with the file on its command line
// - to the first frame drawn (target under 1 s), against the first frame read and decoded
//   alone;
// - to the session's analysisComplete (every frame's result in, the activity plot and the log
//   fed), against the slower of its two stages measured alone in the same run on the same
//   frames: the load task reading the file into a store, and the detectors over the frames
//   already read, with the settings the window took (target 1.25).
// The same open through the live session without a window tells the window's share apart.
// Each figure is the best of a few passes: other work on the machine only makes a pass slower.
//
// Zooming and panning in the window: one wheel step of zoom and one pan step of the
// spectrogram of that file in the window, redrawn as the screen shows it, against redrawing it
// unzoomed (medians; target under 50 ms).

#include "BenchRecording.h"
#include "BenchSummary.h"
#include "RuAlarmCalculator.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "SkFrameStore.h"
#include "SkFrameTaskLoad.h"
#include "SkLiveSession.h"
#include "SkMainWindow.h"
#include "SkPlotMetaTypes.h"
#include "SkPlotSpectrogram.h"
#include "SkPlotZoomer.h"
#include "SkStoreMetaTypes.h"

#include <Eigen/Core>
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>
#include <functional>
#include <ctime>
#include <malloc.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int Frames = 5000;
constexpr int Rangegates = 128;
constexpr int Passes = 3;
constexpr int LongMs = 600000;

double cpuMs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double processCpuMs()
{
    return cpuMs(CLOCK_PROCESS_CPUTIME_ID);
}

double bestOf(double a, double b)
{
    return a < 0 ? b : std::min(a, b);
}

QString inputPath()
{
    return benchDataPath("bench_open.rrd0.gz");
}

QStringList windowArgs()
{
    return {QStringLiteral("--process-params"), QStringLiteral("--n"), QString::number(Frames),
            inputPath()};
}

// Runs the event loop as the program does (a test's wait would sleep between its rounds and
// slow the user-interface thread down) until `done` holds, checked after every event.
template <typename Done>
bool runUntil(Done done)
{
    QTimer wakeUp; // so that the deadline is looked at while nothing else happens
    wakeUp.start(100);
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < LongMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// ---- The stages alone -------------------------------------------------------------------

double firstFrameReadMs()
{
    QElapsedTimer clock;
    clock.start();
    RuFile file(inputPath(), 'r');
    RuFrame frame;
    return file.readFrame(frame) ? clock.nsecsElapsed() / 1e6 : -1.0;
}

// Wall-clock and processor time of one pass, in milliseconds.
struct Took
{
    double wallMs = -1.0;
    double cpuMs = -1.0;
};

void keepBest(Took *best, const Took &pass)
{
    best->wallMs = bestOf(best->wallMs, pass.wallMs);
    best->cpuMs = bestOf(best->cpuMs, pass.cpuMs);
}

// The load task as the session runs it, on the thread pool, into a store that holds every
// frame; nothing else runs meanwhile.
Took loadAlone()
{
    SkFrameStore store;
    store.clear();
    store.setMaxSize(Frames);
    SkFrameTaskLoad load(&store, {inputPath()});
    QElapsedTimer clock;
    clock.start();
    const double cpu = processCpuMs();
    load.start().waitForFinished();
    const Took took{clock.nsecsElapsed() / 1e6, processCpuMs() - cpu};
    return load.status() == SkTaskSucceeded && store.endFrame() == Frames ? took : Took();
}

// The detectors over frames already read, on a pool thread as the alarm task runs them.
Took detectorsAlone(const std::vector<RuFrame> &frames, const RuAlarmCalculator &settings)
{
    RuAlarmCalculator calculator = settings;
    QElapsedTimer clock;
    clock.start();
    const double cpu = processCpuMs();
    QtConcurrent::run([&] {
        for (const RuFrame &frame : frames)
            calculator.processFrame(frame, frame.timeMicros());
    }).waitForFinished();
    return {clock.nsecsElapsed() / 1e6, processCpuMs() - cpu};
}

// ---- The live session without a window ------------------------------------------------------

Took session()
{
    SkLiveSession session;
    session.setProcessParameters(true);
    bool complete = false;
    QObject::connect(&session, &SkLiveSession::analysisComplete, [&complete] { complete = true; });
    QElapsedTimer clock;
    clock.start();
    const double cpu = processCpuMs();
    session.open({inputPath()}, Frames, 1);
    if (!runUntil([&] { return complete; }))
        return {};
    const Took took{clock.nsecsElapsed() / 1e6, processCpuMs() - cpu};
    return session.store()->endFrame() == Frames ? took : Took();
}

// ---- The window -------------------------------------------------------------------------

struct WindowTimes
{
    double firstFrameMs = -1.0;
    double completeMs = -1.0;
    double cpuMs = -1.0; // every thread of the process, to analysisComplete
};

WindowTimes openWindow(std::unique_ptr<SkMainWindow> *kept)
{
    WindowTimes times;
    QElapsedTimer clock;
    clock.start();
    const double cpu = processCpuMs();
    auto window = std::make_unique<SkMainWindow>(windowArgs());
    QObject::connect(window.get(), &SkMainWindow::frameDrawn, window.get(), [&times, &clock] {
        if (times.firstFrameMs < 0)
            times.firstFrameMs = clock.nsecsElapsed() / 1e6;
    });
    bool complete = false;
    QObject::connect(window->session(), &SkLiveSession::analysisComplete, window.get(),
                     [&] {
                         complete = true;
                         times.completeMs = clock.nsecsElapsed() / 1e6;
                         times.cpuMs = processCpuMs() - cpu;
                     });
    window->resize(1600, 1000);
    window->show();
    if (!runUntil([&] { return complete && times.firstFrameMs >= 0; })
        || window->store()->endFrame() != Frames)
        return {};
    *kept = std::move(window);
    return times;
}

// ---- Zoom and pan in the window ---------------------------------------------------------

// Milliseconds to change the view, let the window react to it, and paint the spectrogram as
// the screen would.
template <typename Change>
double redrawMs(SkPlotSpectrogram *plot, Change change)
{
    QElapsedTimer clock;
    clock.start();
    change();
    QCoreApplication::processEvents();
    const QPixmap picture = plot->grab();
    benchmark::DoNotOptimize(picture.cacheKey());
    return clock.nsecsElapsed() / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct RedrawTimes
{
    double wholeMs;
    double zoomMs;
    double panMs;
};

RedrawTimes zoomAndPan(SkMainWindow &window)
{
    SkPlotSpectrogram *plot = window.findChild<SkPlotSpectrogram *>(QStringLiteral("plotCenter"));
    SkPlotZoomer *zoomer = plot->zoomer();
    const QPointF centre = zoomer->visibleRect().center();
    std::vector<double> whole, zoom, pan;
    for (int step = 0; step < 20; ++step) {
        whole.push_back(redrawMs(plot, [&] { plot->replot(); }));
        zoom.push_back(redrawMs(plot, [&] {
            const double f = step % 2 ? SkPlotZoomer::WheelFactor : 1.0 / SkPlotZoomer::WheelFactor;
            zoomer->zoomBy(f, centre, Qt::Horizontal | Qt::Vertical);
        }));
    }
    zoomer->setZoomRect(QRectF(400, 32, 400, 64));
    for (int step = 0; step < 20; ++step)
        pan.push_back(redrawMs(plot, [&] {
            zoomer->panBy(step % 2 ? -20.0 : 20.0, step % 2 ? -2.0 : 2.0);
        }));
    zoomer->resetZoom();
    return {median(whole), median(zoom), median(pan)};
}

// The passes alternate the window with the stages alone, so that a busy spell of the machine
// does not fall on one side only.
bool measureAll()
{
    WindowTimes window;
    RedrawTimes redraw{};
    Took load, detectors, alone;
    double first = -1.0;
    RuAlarmCalculator taken;
    const std::vector<RuFrame> frames = benchFramesOf(inputPath());
    const std::vector<std::function<bool(int)>> parts = {
        [&](int pass) {
            std::unique_ptr<SkMainWindow> shown;
            const WindowTimes w = openWindow(&shown);
            if (w.completeMs < 0)
                return false;
            window.firstFrameMs = bestOf(window.firstFrameMs, w.firstFrameMs);
            window.completeMs = bestOf(window.completeMs, w.completeMs);
            window.cpuMs = bestOf(window.cpuMs, w.cpuMs);
            taken = shown->session()->calculator();
            if (pass == 0)
                redraw = zoomAndPan(*shown);
            return true;
        },
        [&](int) {
            keepBest(&load, loadAlone());
            first = bestOf(first, firstFrameReadMs());
            return load.wallMs >= 0;
        },
        [&](int) {
            keepBest(&detectors, detectorsAlone(frames, taken));
            return true;
        },
        [&](int) {
            keepBest(&alone, session());
            return alone.wallMs >= 0;
        }};
    // The window comes first, for the settings it takes; then each pass starts one part later,
    // so that no part always follows the same one. Each part starts with the memory of the
    // one before given back: a part that found a freed store's pages still mapped would be
    // spared the page faults of its 1.3 GB that the others pay.
    for (int pass = 0; pass < Passes; ++pass) {
        for (size_t i = 0; i < parts.size(); ++i) {
            malloc_trim(0);
            if (!parts[(i + size_t(pass)) % parts.size()](pass))
                return false;
        }
    }
    if (load.wallMs < 0 || alone.wallMs < 0 || first < 0)
        return false;

    const std::string what = std::to_string(Frames) + " frames .rrd0.gz, "
                             + std::to_string(Rangegates) + " RG";
    const double slower = std::max(load.wallMs, detectors.wallMs);
    const std::string slowerName =
        load.wallMs > detectors.wallMs ? "the load alone" : "the detectors alone";
    const double stagesCpu = load.cpuMs + detectors.cpuMs;
    benchReport("window open to first frame drawn, " + what + " (target 1000 ms)",
                window.firstFrameMs, "ms", "first frame read alone", first,
                window.firstFrameMs / first);
    benchReport("window open to analysisComplete, " + what + " (target 1.25)", window.completeMs,
                "ms", slowerName, slower, window.completeMs / slower);
    benchReport("  session alone to analysisComplete, " + what, alone.wallMs, "ms", slowerName,
                slower, alone.wallMs / slower);
    benchReport("  the load alone into a store, " + what, load.wallMs, "ms",
                "the detectors alone", detectors.wallMs, load.wallMs / detectors.wallMs);
    benchReport("  processor time of the window open, all threads", window.cpuMs, "ms",
                "load + detectors alone", stagesCpu, window.cpuMs / stagesCpu);
    benchReport("  processor time of the session alone, all threads", alone.cpuMs, "ms",
                "load + detectors alone", stagesCpu, alone.cpuMs / stagesCpu);
    benchReport("  processor time of the load alone", load.cpuMs, "ms", "the detectors alone",
                detectors.cpuMs, load.cpuMs / detectors.cpuMs);
    benchReport("window zoom step redraw, " + std::to_string(Rangegates) + " RG (target 50 ms)",
                redraw.zoomMs, "ms", "the spectrogram redrawn unzoomed", redraw.wholeMs,
                redraw.zoomMs / redraw.wholeMs);
    benchReport("window pan step redraw, " + std::to_string(Rangegates) + " RG (target 50 ms)",
                redraw.panMs, "ms", "the spectrogram redrawn unzoomed", redraw.wholeMs,
                redraw.panMs / redraw.wholeMs);
    return true;
}

void isolateSettings(const QTemporaryDir &dir)
{
    QCoreApplication::setOrganizationDomain(QStringLiteral("radar"));
    QCoreApplication::setApplicationName(QStringLiteral("skarnel-bench"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Eigen::initParallel();
    skRegisterStoreMetaTypes();
    skRegisterPlotMetaTypes();
    QApplication app(argc, argv);
    const QTemporaryDir settings;
    isolateSettings(settings);
    if (!benchRecording(inputPath(), benchScene(Frames, Rangegates, true)))
        return 1;

    // One part alone, for a profiler: "load", "session" or "window".
    const QString only = app.arguments().value(1);
    if (only == QLatin1String("load"))
        return loadAlone().wallMs < 0;
    if (only == QLatin1String("session"))
        return session().wallMs < 0;
    if (only == QLatin1String("window")) {
        std::unique_ptr<SkMainWindow> shown;
        return openWindow(&shown).completeMs < 0;
    }
    return measureAll() ? 0 : 1;
}
