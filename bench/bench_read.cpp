// Reading recordings through RuFile against the plainest way to get the same bytes: a
// simulated .rrd0.gz against zlib's gzread of it, and the plain .rrd0 against fread of it.

#include "BenchSummary.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "RuSimulator.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <QFile>
#include <QFileInfo>

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
    return QString::fromStdString(benchDataDir()) + QStringLiteral("/bench_read.rrd0.gz");
}

QString plainPath()
{
    return QString::fromStdString(benchDataDir()) + QStringLiteral("/bench_read.rrd0");
}

// Makes the recording once with a fixed seed; later runs reuse it.
bool makeRecording(const QString &path)
{
    if (QFileInfo::exists(path))
        return true;
    RuSimulatorOptions options;
    options.scenario = RuScenario::Mixed;
    options.frames = Frames;
    options.rangegates = Rangegates;
    options.format = RRD_FORMAT_RRD0;
    options.seed = 20240201;
    // Same suffix, so that the writer picks the same compression.
    QString partial = path;
    partial.insert(path.lastIndexOf(QLatin1Char('/')) + 1, QStringLiteral("partial-"));
    QString error;
    if (!RuSimulator(options).writeRecording(partial, &error)) {
        std::fprintf(stderr, "bench_read: cannot write %s: %s\n", qPrintable(partial),
                     qPrintable(error));
        return false;
    }
    return QFile::rename(partial, path);
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
