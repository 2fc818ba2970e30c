// The viewer from start to picture: `skarnel --grab` on a 2000-frame .rrd0.gz (start-up, the
// window, loading, the detectors over every frame, drawing and writing the PNG) against
// `rrdcli analyze` of the same frames with the same settings in the same run, which reads and
// analyses them without any window. The ratio is what the window costs on top.

#include "BenchRecording.h"
#include "BenchSummary.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <string>

namespace {

constexpr int Frames = 2000;
constexpr int Rangegates = 20;

QString g_bin;

QString inputPath()
{
    return benchDataPath("bench_viewer.rrd0.gz");
}

bool run(const QString &program, const QStringList &args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, args);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

void BM_Analyze(benchmark::State &state)
{
    benchMeasureTime(state, "analyze", [] {
        return run(g_bin + QStringLiteral("/rrdcli"),
                   {QStringLiteral("analyze"), QStringLiteral("--process-params"),
                    QStringLiteral("--log"), inputPath()});
    });
}

// The whole recording is the first batch: the picture is written once every frame has its
// result.
void BM_Grab(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("grab.png"));
    benchMeasureTime(state, "grab", [&] {
        QFile::remove(picture);
        return run(g_bin + QStringLiteral("/skarnel"),
                   {QStringLiteral("--process-params"), QStringLiteral("--n"),
                    QString::number(Frames), QStringLiteral("--grab"), picture,
                    QStringLiteral("--frame"), QStringLiteral("1000"), inputPath()})
               && QFile::exists(picture);
    });
}

BENCHMARK(BM_Analyze)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Grab)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    g_bin = QCoreApplication::applicationDirPath();
    if (!benchRecording(inputPath(), benchScene(Frames, Rangegates, true)))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const auto analyze = benchBestTimes().find("analyze");
    const auto grab = benchBestTimes().find("grab");
    if (analyze == benchBestTimes().end() || grab == benchBestTimes().end())
        return 1;
    benchReport("skarnel --grab, 2000 frames .rrd0.gz, 20 RG", grab->second, "s",
                "rrdcli analyze of the same frames", analyze->second,
                grab->second / analyze->second);
    return 0;
}
