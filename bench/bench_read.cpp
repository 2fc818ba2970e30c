// Reading recordings through RuFile against the plainest way to get the same bytes: a
// simulated .rrd0.gz against zlib's gzread of it, and the plain .rrd0 against fread of it.

#include "BenchRecording.h"
#include "BenchSummary.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "RuSimulator.h"

#include <benchmark/benchmark.h>
#include <zlib.h>


#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// 2400 RRD0 frames of 20 range gates: 206.6 MB uncompressed.
constexpr int Frames = 2400;
constexpr int Rangegates = 20;
constexpr qint64 FrameBytes = qint64(Rangegates + 1) * RRD_RANGEGATE_SIZE;
constexpr qint64 TotalBytes = Frames * FrameBytes;

QString gzPath()
{
    return benchDataPath("bench_read.rrd0.gz");
}

QString plainPath()
{
    return benchDataPath("bench_read.rrd0");
}

bool makeRecording(const QString &path)
{
    return benchRecording(path, benchScene(Frames, Rangegates));
}

// Best throughput of each benchmark in MB/s (10^6 bytes of frame data per second): the best
// of several runs is the least disturbed by whatever else the machine does.
std::map<std::string, double> g_best;

template <typename Body>
void measure(benchmark::State &state, const char *name, Body body)
{
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const qint64 bytes = body();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (bytes != TotalBytes) {
            state.SkipWithError("did not read the whole recording");
            return;
        }
        double &best = g_best[name];
        best = std::max(best, bytes / took.count() / 1e6);
        state.SetIterationTime(took.count());
    }
    state.SetBytesProcessed(state.iterations() * TotalBytes);
}

qint64 readRuFile(const QString &path)
{
    RuFile file(path, 'r');
    qint64 bytes = 0;
    for (;;) {
        RuFrame frame;
        if (!file.readFrame(frame))
            break;
        bytes += frame.record()->size;
        benchmark::DoNotOptimize(frame.record()->data);
    }
    return file.atEnd() ? bytes : -1;
}

qint64 readGzip(const QString &path)
{
    gzFile in = gzopen(path.toLocal8Bit().constData(), "rb");
    if (!in)
        return -1;
    gzbuffer(in, 128 * 1024);
    std::vector<unsigned char> buffer(FrameBytes);
    qint64 bytes = 0;
    int n;
    while ((n = gzread(in, buffer.data(), unsigned(buffer.size()))) > 0) {
        bytes += n;
        benchmark::DoNotOptimize(buffer.data());
    }
    gzclose(in);
    return bytes;
}

qint64 readPlain(const QString &path)
{
    FILE *in = std::fopen(path.toLocal8Bit().constData(), "rb");
    if (!in)
        return -1;
    std::vector<unsigned char> buffer(FrameBytes);
    qint64 bytes = 0;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
        bytes += qint64(n);
        benchmark::DoNotOptimize(buffer.data());
    }
    std::fclose(in);
    return bytes;
}

void BM_RuFileGzip(benchmark::State &state)
{
    measure(state, "rufile_gz", [] { return readRuFile(gzPath()); });
}

void BM_ZlibGzread(benchmark::State &state)
{
    measure(state, "zlib_gz", [] { return readGzip(gzPath()); });
}

void BM_RuFilePlain(benchmark::State &state)
{
    measure(state, "rufile_plain", [] { return readRuFile(plainPath()); });
}

void BM_Fread(benchmark::State &state)
{
    measure(state, "fread_plain", [] { return readPlain(plainPath()); });
}

BENCHMARK(BM_ZlibGzread)->Iterations(4)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RuFileGzip)->Iterations(4)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fread)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RuFilePlain)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

void report(const char *name, const char *value, const char *baselineName, const char *baseline)
{
    const double v = g_best[value];
    const double b = g_best[baseline];
    if (v > 0 && b > 0)
        benchReport(name, v, "MB/s", baselineName, b, v / b);
}

} // namespace

int main(int argc, char **argv)
{
    if (!makeRecording(gzPath()) || !makeRecording(plainPath()))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    report("read .rrd0.gz through RuFile", "rufile_gz", "zlib gzread of the same file",
           "zlib_gz");
    report("read .rrd0 through RuFile", "rufile_plain", "fread of the same file", "fread_plain");
    return 0;
}
