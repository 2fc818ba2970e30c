// The converter's worker (what `rrdcli convert` runs) averaging over 5 frames, against only
// reading the same recording through RuFile: what smoothing and writing cost on top of the
// decompression that any use of the file pays. The passes take turns, round after round, so
// that each figure and its baseline meet the same load of the machine; besides the best wall
// time of each, the CPU time of the whole process (the compressing thread included) shows
// the work done whatever else the machine does.

#include "BenchRecording.h"
#include "BenchSummary.h"
#include "RcWorker.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "RuSimulator.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>

namespace {

// The read benchmark's recording (same name, same options, same seed, so whichever runs
// first makes it for both): 2400 RRD0 frames of 20 range gates, 206.6 MB uncompressed.
constexpr int Frames = 2400;
constexpr int Rangegates = 20;
constexpr int AveragingRange = 5;

QString inputPath()
{
    return benchDataPath("bench_read.rrd0.gz");
}

bool makeRecording(const QString &path)
{
    return benchRecording(path, benchScene(Frames, Rangegates));
}

bool readAll()
{
    return benchReadRecording(inputPath()) == Frames;
}

bool convertTo(const QString &output)
{
    RcWorker worker(0, output, {inputPath()}, AveragingRange, 0);
    bool failed = true;
    QObject::connect(&worker, &RcWorker::finished,
                     [&](int, bool f, const QString &message) { failed = f || !message.isEmpty(); });
    worker.run();
    QFile::remove(output);
    return !failed;
}

// Least CPU seconds of each named pass: of the whole process (user and system, all threads),
// and of its busier thread, the reading and averaging one or the compressing one. Two idle
// cores run the two at once, so the busier one's time is what the pass comes to there.
std::map<std::string, double> &bestCpu()
{
    static std::map<std::string, double> best;
    return best;
}

std::map<std::string, double> &bestBusierThread()
{
    static std::map<std::string, double> best;
    return best;
}

void keepLeast(std::map<std::string, double> &best, const char *name, double value)
{
    auto found = best.find(name);
    if (found == best.end() || value < found->second)
        best[name] = value;
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

template <typename Body>
void measure(benchmark::State &state, const char *name, Body body)
{
    const double start = processCpuSeconds();
    const double threadStart = threadCpuSeconds();
    benchMeasureTime(state, name, body);
    const double iterations = double(state.iterations());
    const double cpu = (processCpuSeconds() - start) / iterations;
    const double thisThread = (threadCpuSeconds() - threadStart) / iterations;
    keepLeast(bestCpu(), name, cpu);
    keepLeast(bestBusierThread(), name, std::max(thisThread, cpu - thisThread));
    state.counters["cpu_s"] = cpu;
}

constexpr int Rounds = 5;

void registerPass(const std::string &name, int round, const char *figure, bool (*body)())
{
    benchmark::RegisterBenchmark((name + "/round:" + std::to_string(round)).c_str(),
                                 [figure, body](benchmark::State &state) { measure(state, figure, body); })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

bool convertToPlain()
{
    return convertTo(benchDataPath("bench_convert-out.rrd0"));
}

bool convertToGzip()
{
    return convertTo(benchDataPath("bench_convert-out.rrd0.gz"));
}

void registerRounds()
{
    for (int round = 1; round <= Rounds; ++round) {
        registerPass("BM_Read", round, "read", readAll);
        registerPass("BM_ConvertToPlain", round, "convert_plain", convertToPlain);
        registerPass("BM_ConvertToGzip", round, "convert_gz", convertToGzip);
    }
}

void report(const std::map<std::string, double> &best, const std::string &name,
            const char *value, const std::string &baselineName, const char *baseline)
{
    const auto v = best.find(value);
    const auto b = best.find(baseline);
    if (v != best.end() && b != best.end() && b->second > 0)
        benchReport(name, v->second, "s", baselineName, b->second, v->second / b->second);
}

} // namespace

int main(int argc, char **argv)
{
    if (!makeRecording(inputPath()))
        return 1;
    registerRounds();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const std::string read = "read the same .rrd0.gz through RuFile";
    report(benchBestTimes(), "convert .rrd0.gz --average 5 to .rrd0", "convert_plain", read, "read");
    report(benchBestTimes(), "convert .rrd0.gz --average 5 to .rrd0.gz", "convert_gz", read, "read");
    report(bestCpu(), "convert --average 5 to .rrd0.gz, CPU time", "convert_gz",
           "read the same, CPU time", "read");
    report(bestBusierThread(), "convert --average 5 to .rrd0.gz, busier thread", "convert_gz",
           "read the same, CPU time", "read");
    return 0;
}
