// `rrdcli watch` over a recording with every detector and live value on, against the slower
// of its two stages measured alone over the same file in the same run: reading and
// decompressing through RuFile, and the detector engine over frames already in memory. The
// load task and the alarm task run on their own threads, so on two cores the pipeline should
// take little more than its slower stage, not the sum of both; and against `rrdcli analyze`,
// which runs the same detectors serially on one thread. Beside the times, the minor page
// faults of both programs: those of watch once its window has filled (a run over the first
// 1000 frames subtracted from the run over all 2400) show whether a full window reuses its
// memory.

#include "BenchDetectors.h"
#include "BenchRecording.h"
#include "BenchSummary.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "RuSimulator.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int Frames = 2400;
constexpr int Rangegates = 20;

QString g_rrdcli;

QString inputPath()
{
    return benchDataPath("bench_watch.rrd0.gz");
}

QString prefixPath()
{
    return benchDataPath("bench_watch_1000.rrd0.gz");
}

QString parameterPath()
{
    return benchDataPath("bench_watch.ini");
}

RuSimulatorOptions sceneOptions()
{
    return benchScene(Frames, Rangegates, true);
}

bool makeRecording(const QString &path)
{
    return benchRecording(path, sceneOptions());
}

RuAlarmCalculator allDetectors()
{
    return benchAllDetectors(RuSimulator(sceneOptions()));
}

bool writeParameterFile(const RuAlarmCalculator &calculator)
{
    return benchWriteParameterFile(parameterPath(), calculator);
}

// The first 1000 frames of the recording, as a file of their own.
bool makePrefix()
{
    if (QFile::exists(prefixPath()))
        return true;
    const QString partial = benchDataPath("partial-bench_watch_1000.rrd0.gz");
    RuFile in(inputPath(), 'r');
    RuFile out(partial, 'w');
    if (!out.isOpen())
        return false;
    for (int i = 0; i < 1000; ++i) {
        RuFrame frame;
        if (!in.readFrame(frame) || out.writeFrame(frame) != 0)
            return false;
    }
    return out.close() && QFile::rename(partial, prefixPath());
}

bool readAll()
{
    return benchReadRecording(inputPath()) == Frames;
}

void BM_Read(benchmark::State &state)
{
    benchMeasureTime(state, "read", [] { return readAll(); });
}

void BM_Calculator(benchmark::State &state)
{
    const std::vector<RuFrame> frames = benchFramesOf(inputPath());
    const RuAlarmCalculator configured = allDetectors();
    benchMeasureTime(state, "calculator", [&] {
        RuAlarmCalculator calculator = configured;
        for (const RuFrame &frame : frames) {
            calculator.processFrame(frame, frame.timeMicros());
            benchmark::DoNotOptimize(calculator.lastResult().data());
        }
        return frames.size() == size_t(Frames);
    });
}

bool runRrdcli(const QString &command, const QStringList &options,
               const QString &input = inputPath())
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(g_rrdcli, QStringList{command, QStringLiteral("--params"), parameterPath()}
                                + options + QStringList{input});
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

bool runWatch(const QStringList &options)
{
    return runRrdcli(QStringLiteral("watch"), options);
}

// Minor page faults of one run (-1 when it failed).
long minorFaults(const QString &command, const QStringList &options, const QString &input)
{
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    if (!runRrdcli(command, options, input))
        return -1;
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    return after.ru_minflt - before.ru_minflt;
}

void BM_Analyze(benchmark::State &state)
{
    benchMeasureTime(state, "analyze",
                     [] { return runRrdcli(QStringLiteral("analyze"), {QStringLiteral("--log")}); });
}

// The viewer's window of 1000 frames: the first 1000 frames with their results (about
// 160 kB each at 20 range gates) are memory touched for the first time.
void BM_Watch(benchmark::State &state)
{
    benchMeasureTime(state, "watch", [] { return runWatch({}); });
}

// A window of 100 frames: the same pipeline with its memory reused from the start.
void BM_WatchSmallWindow(benchmark::State &state)
{
    benchMeasureTime(state, "watch_small", [] {
        return runWatch({QStringLiteral("--max-frames"), QStringLiteral("100"),
                         QStringLiteral("--batch"), QStringLiteral("50")});
    });
}

BENCHMARK(BM_Read)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Calculator)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Analyze)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Watch)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WatchSmallWindow)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    g_rrdcli = QCoreApplication::applicationDirPath() + QStringLiteral("/rrdcli");
    if (!makeRecording(inputPath()) || !makePrefix() || !writeParameterFile(allDetectors()))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const auto read = benchBestTimes().find("read");
    const auto calc = benchBestTimes().find("calculator");
    if (read == benchBestTimes().end() || calc == benchBestTimes().end())
        return 1;
    const bool readSlower = read->second >= calc->second;
    const double slower = std::max(read->second, calc->second);
    const std::string baseline = readSlower ? "its slower stage alone: reading the .rrd0.gz"
                                            : "its slower stage alone: the detector engine";
    const std::pair<const char *, const char *> figures[] = {
        {"watch", "rrdcli watch .rrd0.gz, all detectors, 20 RG"},
        {"watch_small", "rrdcli watch --max-frames 100, same file"},
    };
    for (const auto &figure : figures) {
        const auto found = benchBestTimes().find(figure.first);
        if (found == benchBestTimes().end())
            return 1;
        benchReport(figure.second, found->second, "s", baseline, slower, found->second / slower);
    }
    const auto watch = benchBestTimes().find("watch");
    const auto analyze = benchBestTimes().find("analyze");
    if (watch == benchBestTimes().end() || analyze == benchBestTimes().end())
        return 1;
    benchReport("rrdcli watch, same file (target <= 1)", watch->second, "s",
                "rrdcli analyze --log, serial", analyze->second,
                watch->second / analyze->second);
    const QString watchCommand = QStringLiteral("watch");
    const long watchAll = minorFaults(watchCommand, {}, inputPath());
    const long watchFill = minorFaults(watchCommand, {}, prefixPath());
    const long analyzeAll = minorFaults(QStringLiteral("analyze"), {QStringLiteral("--log")},
                                        inputPath());
    if (watchAll < 0 || watchFill < 0 || analyzeAll < 0)
        return 1;
    benchReport("watch minor faults, whole run", double(watchAll), "faults",
                "rrdcli analyze --log, whole run", double(analyzeAll),
                double(watchAll) / double(analyzeAll));
    benchReport("watch minor faults after the window filled", double(watchAll - watchFill),
                "faults", "rrdcli analyze --log, whole run", double(analyzeAll),
                double(watchAll - watchFill) / double(analyzeAll));
    return 0;
}
