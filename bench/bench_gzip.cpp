// Writing gzip: the benchmark recording's frames written to .rrd0.gz through RuFile against
// zlib's deflate at level 3 of the same bytes (speed and size), and `rrdcli convert
// --average 5` into .rrd0.gz against reading its input alone.

#include "BenchRecording.h"
#include "BenchSummary.h"
#include "RuFile.h"
#include "RuFrame.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The read benchmark's recording (same name, options and seed): 2400 RRD0 frames of 20 range
// gates, 206.6 MB uncompressed.
constexpr int Frames = 2400;
constexpr int Rangegates = 20;
constexpr double TotalBytes = double(Frames) * (Rangegates + 1) * RRD_RANGEGATE_SIZE;

std::string g_binDir;
std::vector<RuFrame> g_frames;
std::map<std::string, qint64> g_sizes;

QString inputPath()
{
    return benchDataPath("bench_read.rrd0.gz");
}

bool loadFrames()
{
    RuFile in(inputPath(), 'r');
    for (;;) {
        RuFrame frame;
        if (!in.readFrame(frame))
            break;
        g_frames.push_back(frame);
    }
    return in.atEnd() && int(g_frames.size()) == Frames;
}

bool writeRuFile(const QString &path)
{
    RuFile out(path, 'w');
    for (const RuFrame &frame : g_frames) {
        if (out.writeFrame(frame) != 0)
            return false;
    }
    const bool complete = out.close();
    g_sizes["rufile"] = QFileInfo(path).size();
    return complete;
}

// zlib's deflate at level 3 into a gzip member, fed frame by frame like a writer would be.
bool writeZlib(const QString &path)
{
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    z_stream zs = {};
    deflateInit2(&zs, 3, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> out(256 * 1024);
    bool ok = true;
    auto pump = [&](int flush) {
        do {
            zs.next_out = out.data();
            zs.avail_out = uInt(out.size());
            deflate(&zs, flush);
            const size_t n = out.size() - zs.avail_out;
            ok = ok && std::fwrite(out.data(), 1, n, file) == n;
        } while (zs.avail_out == 0);
    };
    for (const RuFrame &frame : g_frames) {
        zs.next_in = frame.record()->data;
        zs.avail_in = uInt(frame.record()->size);
        pump(Z_NO_FLUSH);
    }
    pump(Z_FINISH);
    deflateEnd(&zs);
    ok = std::fclose(file) == 0 && ok;
    g_sizes["zlib"] = QFileInfo(path).size();
    return ok;
}

bool convertWithRrdcli()
{
    const QString output = benchDataPath("bench_gzip-convert.rrd0.gz");
    const std::string command = "\"" + g_binDir + "/rrdcli\" convert --average 5 -o \""
                                + output.toStdString() + "\" \"" + inputPath().toStdString()
                                + "\" >/dev/null 2>&1";
    const bool ok = std::system(command.c_str()) == 0;
    QFile::remove(output);
    return ok;
}

void BM_WriteRuFile(benchmark::State &state)
{
    benchMeasureTime(state, "write_rufile",
                     [] { return writeRuFile(benchDataPath("bench_gzip-rufile.rrd0.gz")); });
}

void BM_WriteZlib(benchmark::State &state)
{
    benchMeasureTime(state, "write_zlib",
                     [] { return writeZlib(benchDataPath("bench_gzip-zlib.rrd0.gz")); });
}

void BM_ReadInput(benchmark::State &state)
{
    benchMeasureTime(state, "read", [] { return benchReadRecording(inputPath()) == Frames; });
}

void BM_ConvertRrdcli(benchmark::State &state)
{
    benchMeasureTime(state, "convert_gz", [] { return convertWithRrdcli(); });
}

BENCHMARK(BM_WriteZlib)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteRuFile)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadInput)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertRrdcli)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

double best(const char *name)
{
    const auto found = benchBestTimes().find(name);
    return found == benchBestTimes().end() ? 0 : found->second;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string self = argv[0];
    g_binDir = self.find('/') == std::string::npos ? "." : self.substr(0, self.rfind('/'));
    if (!benchRecording(inputPath(), benchScene(Frames, Rangegates)) || !loadFrames())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double rufile = best("write_rufile");
    const double zlib = best("write_zlib");
    if (rufile > 0 && zlib > 0) {
        benchReport("write .rrd0.gz through RuFile", TotalBytes / rufile / 1e6, "MB/s",
                    "zlib deflate level 3 of the same frames", TotalBytes / zlib / 1e6,
                    zlib / rufile);
        benchReport("size of the .rrd0.gz written by RuFile", g_sizes["rufile"] / 1e6, "MB",
                    "zlib deflate level 3 of the same frames", g_sizes["zlib"] / 1e6,
                    double(g_sizes["rufile"]) / double(g_sizes["zlib"]));
    }
    if (best("convert_gz") > 0 && best("read") > 0)
        benchReport("rrdcli convert --average 5 into .rrd0.gz", best("convert_gz"), "s",
                    "reading the input through RuFile", best("read"),
                    best("convert_gz") / best("read"));
    QFile::remove(benchDataPath("bench_gzip-rufile.rrd0.gz"));
    QFile::remove(benchDataPath("bench_gzip-zlib.rrd0.gz"));
    return 0;
}
