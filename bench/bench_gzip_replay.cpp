// `rrdcli watch` and `rrdcli analyze` replaying the 2400-frame .rrd0.gz with every detector
// on, the file decompressed by the reader itself (ISA-L), against the same commands reading
// the plain frames from standard input, decompressed by zlib's gzread in this program. The
// zlib side decompresses here, beside the rrdcli process, so on two cores it overlaps the
// command's work where the reader decompresses on the command's own loading thread; the CPU
// rows count both processes and show the work saved whatever else the machine does.

#include "BenchDetectors.h"
#include "BenchRecording.h"
#include "BenchSummary.h"
#include "RuSimulator.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int Frames = 2400;
constexpr int Rangegates = 20;

QString g_rrdcli;

// The watch benchmark's recording and scene (same name, options and seed: whichever program
// runs first makes it for both).
QString inputPath()
{
    return benchDataPath("bench_watch.rrd0.gz");
}

QString parameterPath()
{
    return benchDataPath("bench_gzip_replay.ini");
}

RuSimulatorOptions sceneOptions()
{
    return benchScene(Frames, Rangegates, true);
}

bool writeParameterFile()
{
    return benchWriteParameterFile(parameterPath(), benchAllDetectors(RuSimulator(sceneOptions())));
}

double seconds(const timeval &t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Decompresses `path` with zlib into `fd` and closes it; the CPU seconds it took, or -1.
double feedThroughZlib(const QString &path, int fd)
{
    const double start = threadCpuSeconds();
    bool ok = false;
    if (gzFile in = gzopen(QFile::encodeName(path).constData(), "rb")) {
        gzbuffer(in, 256 * 1024);
        std::vector<char> buffer(256 * 1024);
        ok = true;
        for (int n; ok && (n = gzread(in, buffer.data(), unsigned(buffer.size()))) > 0;) {
            for (int done = 0; ok && done < n;) {
                const ssize_t w = ::write(fd, buffer.data() + done, size_t(n - done));
                ok = w > 0;
                done += int(w);
            }
        }
        int error = Z_OK;
        gzerror(in, &error);
        ok = ok && error == Z_OK;
        gzclose(in);
    }
    ::close(fd);
    return ok ? threadCpuSeconds() - start : -1.0;
}

struct Run
{
    bool ok = false;
    double wall = 0;
    double cpu = 0; // rrdcli's user and system time, plus the zlib feeder's
};

// Runs rrdcli with `args`, its output discarded; with `zlibInput` its standard input is that
// file decompressed by zlib.
Run runRrdcli(const QStringList &args, const QString &zlibInput = QString())
{
    std::vector<std::string> words{g_rrdcli.toStdString()};
    for (const QString &arg : args)
        words.push_back(arg.toStdString());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    const bool fed = !zlibInput.isEmpty();
    if (fed && ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (fed)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);

    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    double feederCpu = 0;
    std::thread feeder;
    if (fed) {
        ::close(pipeFds[0]);
        if (spawned)
            feeder = std::thread([&] { feederCpu = feedThroughZlib(zlibInput, pipeFds[1]); });
        else
            ::close(pipeFds[1]);
    }
    if (!spawned)
        return run;
    int status = 0;
    rusage usage{};
    const bool waited = ::wait4(pid, &status, 0, &usage) == pid;
    if (feeder.joinable())
        feeder.join();
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime) + feederCpu;
    run.ok = waited && WIFEXITED(status) && WEXITSTATUS(status) == 0 && feederCpu >= 0;
    return run;
}

// Best wall and CPU seconds of each named pass.
std::map<std::string, double> &bestCpu()
{
    static std::map<std::string, double> best;
    return best;
}

void measure(benchmark::State &state, const std::string &name, const QStringList &command, bool zlib)
{
    for (auto _ : state) {
        const Run run = zlib ? runRrdcli(command + QStringList{QStringLiteral("-")}, inputPath())
                             : runRrdcli(command + QStringList{inputPath()});
        if (!run.ok) {
            state.SkipWithError("rrdcli did not complete");
            return;
        }
        auto &wall = benchBestTimes()[name];
        wall = wall > 0 ? std::min(wall, run.wall) : run.wall;
        auto &cpu = bestCpu()[name];
        cpu = cpu > 0 ? std::min(cpu, run.cpu) : run.cpu;
        state.SetIterationTime(run.wall);
        state.counters["cpu_s"] = run.cpu;
    }
}

QStringList watchCommand()
{
    return {QStringLiteral("watch"), QStringLiteral("--params"), parameterPath()};
}

QStringList analyzeCommand()
{
    return {QStringLiteral("analyze"), QStringLiteral("--log"), QStringLiteral("--params"),
            parameterPath()};
}

constexpr int Rounds = 5;

void registerPass(const std::string &name, int round, const char *figure,
                  QStringList (*command)(), bool zlib)
{
    benchmark::RegisterBenchmark((name + "/round:" + std::to_string(round)).c_str(),
                                 [=](benchmark::State &state) { measure(state, figure, command(), zlib); })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

// Each command beside its zlib run, in turns, so both meet the same load of the machine.
void registerRounds()
{
    for (int round = 1; round <= Rounds; ++round) {
        registerPass("BM_Watch", round, "watch", watchCommand, false);
        registerPass("BM_WatchZlib", round, "watch_zlib", watchCommand, true);
        registerPass("BM_Analyze", round, "analyze", analyzeCommand, false);
        registerPass("BM_AnalyzeZlib", round, "analyze_zlib", analyzeCommand, true);
    }
}

bool report(const std::map<std::string, double> &best, const char *value, const char *baseline,
            const std::string &name, const std::string &baselineName)
{
    const auto v = best.find(value);
    const auto b = best.find(baseline);
    if (v == best.end() || b == best.end() || b->second <= 0)
        return false;
    benchReport(name, v->second, "s", baselineName, b->second, v->second / b->second);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // A command that ends early must not take this program down with its pipe.
    std::signal(SIGPIPE, SIG_IGN);
    g_rrdcli = QCoreApplication::applicationDirPath() + QStringLiteral("/rrdcli");
    if (!benchRecording(inputPath(), sceneOptions()) || !writeParameterFile())
        return 1;
    registerRounds();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const bool ok =
        report(benchBestTimes(), "watch", "watch_zlib", "rrdcli watch .rrd0.gz, all detectors",
               "the same from zlib on standard input")
        && report(bestCpu(), "watch", "watch_zlib", "rrdcli watch .rrd0.gz, CPU time",
                  "the same from zlib, CPU of both processes")
        && report(benchBestTimes(), "analyze", "analyze_zlib",
                  "rrdcli analyze --log .rrd0.gz, all detectors",
                  "the same from zlib on standard input")
        && report(bestCpu(), "analyze", "analyze_zlib", "rrdcli analyze --log .rrd0.gz, CPU time",
                  "the same from zlib, CPU of both processes");
    return ok ? 0 : 1;
}
