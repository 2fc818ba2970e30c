// `rrdcli sweep` of 8 parameter sets over the 2400-frame .rrd0.gz (every detector on, the
// avalanche threshold varied), against the 8 separate `rrdcli analyze --log` runs of the same
// sets one after the other, as an operator tuned before, in turns in the same run. The sweep
// reads and decodes each frame once and runs the sets on every core. The CPU row (the
// commands' user and system time) shows the work saved even on a machine busy with other
// work, where the sweep cannot have both cores.

#include "BenchDetectors.h"
#include "BenchRecording.h"
#include "BenchSummary.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <string>

#include <sys/resource.h>

namespace {

constexpr int Frames = 2400;
constexpr int Rangegates = 20;
constexpr int Sets = 8;
constexpr int Rounds = 3;

QString g_rrdcli;
QTemporaryDir *g_work = nullptr;

// The watch benchmark's recording (same name, options and seed).
QString inputPath()
{
    return benchDataPath("bench_watch.rrd0.gz");
}

QString basePath()
{
    return benchDataPath("bench_sweep.ini");
}

QStringList varied()
{
    return {QStringLiteral("--vary"), QStringLiteral("av00/threshold=2.0:2.7:0.1")};
}

// The least CPU time (of this program's finished children) each pass took, in seconds.
std::map<std::string, double> g_bestCpu;

double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <typename Body>
void measure(benchmark::State &state, const char *name, Body body)
{
    const double before = childrenCpuSeconds();
    benchMeasureTime(state, name, body);
    const double cpu = childrenCpuSeconds() - before;
    const auto found = g_bestCpu.find(name);
    g_bestCpu[name] = found == g_bestCpu.end() ? cpu : std::min(found->second, cpu);
    state.counters["cpu_s"] = cpu;
}

bool run(const QStringList &args)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(g_rrdcli, args);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

QString setsDir()
{
    return g_work->filePath(QStringLiteral("sets"));
}

// The 8 parameter files the analyze runs read, written once by a sweep.
bool writeSets()
{
    return run(QStringList{QStringLiteral("sweep"), inputPath(), QStringLiteral("--params"), basePath()}
               + varied() + QStringList{QStringLiteral("-o"), setsDir()});
}

void BM_Sweep(benchmark::State &state)
{
    const QString out = g_work->filePath(QStringLiteral("sweep-%1").arg(state.range(0)));
    measure(state, "sweep", [&] {
        QDir(out).removeRecursively();
        return run(QStringList{QStringLiteral("sweep"), inputPath(), QStringLiteral("--params"), basePath()}
                   + varied() + QStringList{QStringLiteral("-o"), out});
    });
}

void BM_SeparateAnalyze(benchmark::State &state)
{
    measure(state, "analyze", [] {
        for (int k = 1; k <= Sets; ++k) {
            const QString ini = QDir(setsDir()).filePath(QStringLiteral("%1.ini").arg(k));
            if (!run({QStringLiteral("analyze"), QStringLiteral("--log"), QStringLiteral("--params"), ini,
                      inputPath()}))
                return false;
        }
        return true;
    });
}

void registerRounds()
{
    for (int round = 1; round <= Rounds; ++round) {
        benchmark::RegisterBenchmark("BM_Sweep", BM_Sweep)->Arg(round)->Iterations(1)->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_SeparateAnalyze", BM_SeparateAnalyze)->Arg(round)->Iterations(1)
            ->UseManualTime()->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    g_work = &work;
    g_rrdcli = QCoreApplication::applicationDirPath() + QStringLiteral("/rrdcli");
    const RuSimulatorOptions scene = benchScene(Frames, Rangegates, true);
    if (!benchRecording(inputPath(), scene)
        || !benchWriteParameterFile(basePath(), benchAllDetectors(RuSimulator(scene))) || !writeSets())
        return 1;
    registerRounds();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const auto sweep = benchBestTimes().find("sweep");
    const auto analyze = benchBestTimes().find("analyze");
    if (sweep == benchBestTimes().end() || analyze == benchBestTimes().end())
        return 1;
    benchReport("rrdcli sweep, 8 sets, 2400 frames .rrd0.gz", sweep->second, "s",
                "8 separate rrdcli analyze --log runs", analyze->second,
                sweep->second / analyze->second);
    benchReport("rrdcli sweep, 8 sets, CPU time", g_bestCpu["sweep"], "s",
                "8 separate analyze --log runs, CPU time", g_bestCpu["analyze"],
                g_bestCpu["sweep"] / g_bestCpu["analyze"]);
    return 0;
}
