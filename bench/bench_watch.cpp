// `rrdcli watch` over a recording with every detector and live value on, against the slower
// of its two stages measured alone over the same file in the same run: reading and
// decompressing through RuFile, and the detector engine over frames already in memory. The
// load task and the alarm task run on their own threads, so on two cores the pipeline should
// take little more than its slower stage, not the sum of both.

#include "BenchRecording.h"
#include "BenchSummary.h"
#include "RuAlarmCalculator.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "RuParameterSet.h"
#include "RuParameterTable.h"
#include "RuSimulator.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSettings>

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

// The scenario's own detector settings with all three avalanche detectors, rain, water level
// and every live value switched on.
RuAlarmCalculator allDetectors()
{
    unsigned char info[RRD_INFO_SIZE] = {};
    const RuSimulator simulator(sceneOptions());
    simulator.fillInfo(0, info);
    RuAlarmCalculator calculator;
    calculator.fromProcessParameters(info);
    for (int k = 0; k < RuAlarmCalculator::Detectors; ++k)
        calculator.setAvalancheEnable(k, true);
    calculator.setRainEnable(0, true);
    calculator.setWaterlevelEnable(0, true);
    calculator.setLiveEnables({true, true, true, true, true});
    return calculator;
}

bool writeParameterFile(const RuAlarmCalculator &calculator)
{
    QFile::remove(parameterPath());
    QSettings settings(parameterPath(), QSettings::IniFormat);
    RuParameterTable::write(settings, RuParameterSet::fromCalculator(calculator));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::vector<RuFrame> readFrames()
{
    std::vector<RuFrame> frames;
    RuFile file(inputPath(), 'r');
    for (;;) {
        RuFrame frame;
        if (!file.readFrame(frame))
            break;
        frames.push_back(frame);
    }
    return frames;
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
    const std::vector<RuFrame> frames = readFrames();
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

bool runWatch(const QStringList &options)
{
    QProcess watch;
    watch.setStandardOutputFile(QProcess::nullDevice());
    watch.start(g_rrdcli, QStringList{QStringLiteral("watch"), QStringLiteral("--params"),
                                      parameterPath()}
                              + options + QStringList{inputPath()});
    return watch.waitForFinished(-1) && watch.exitStatus() == QProcess::NormalExit
           && watch.exitCode() == 0;
}

// The viewer's window of 1000 frames: the first 1000 frames with their results (about
// 370 kB each at 20 range gates) are memory touched for the first time.
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
BENCHMARK(BM_Watch)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WatchSmallWindow)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    g_rrdcli = QCoreApplication::applicationDirPath() + QStringLiteral("/rrdcli");
    if (!makeRecording(inputPath()) || !writeParameterFile(allDetectors()))
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
    return 0;
}
