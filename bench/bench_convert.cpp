// The converter's worker averaging over 5 frames, against only reading the same recording
// through RuFile: what thinning and smoothing cost on top of the decompression that any use
// of the file pays.

#include "BenchRecording.h"
#include "BenchSummary.h"
#include "RcWorker.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "RuSimulator.h"

#include <benchmark/benchmark.h>

#include <QFile>

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

void BM_Read(benchmark::State &state)
{
    benchMeasureTime(state, "read", [] { return readAll(); });
}

void BM_ConvertToPlain(benchmark::State &state)
{
    benchMeasureTime(state, "convert_plain", [] { return convertTo(benchDataPath("bench_convert-out.rrd0")); });
}

void BM_ConvertToGzip(benchmark::State &state)
{
    benchMeasureTime(state, "convert_gz", [] { return convertTo(benchDataPath("bench_convert-out.rrd0.gz")); });
}

BENCHMARK(BM_Read)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertToPlain)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertToGzip)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void report(const char *name, const char *value, const char *baselineName, const char *baseline)
{
    const auto v = benchBestTimes().find(value);
    const auto b = benchBestTimes().find(baseline);
    if (v != benchBestTimes().end() && b != benchBestTimes().end() && b->second > 0)
        benchReport(name, v->second, "s", baselineName, b->second, v->second / b->second);
}

} // namespace

int main(int argc, char **argv)
{
    if (!makeRecording(inputPath()))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    report("convert .rrd0.gz --average 5 to .rrd0", "convert_plain",
           "read the same .rrd0.gz through RuFile", "read");
    report("convert .rrd0.gz --average 5 to .rrd0.gz", "convert_gz",
           "read the same .rrd0.gz through RuFile", "read");
    return 0;
}
