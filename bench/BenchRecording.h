#pragma once
// Simulated recordings for the benchmarks: made once with a fixed seed in the bench data
// folder, reused by later runs and by the other benchmark programs that ask for the same name.

#include "BenchSummary.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "RuSimulator.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

inline QString benchDataPath(const char *name)
{
    return QString::fromStdString(benchDataDir()) + QLatin1Char('/') + QLatin1String(name);
}

// The mixed scenario in RRD0 frames: what every benchmark reads.
inline RuSimulatorOptions benchScene(int frames, int rangegates, bool processParams = false)
{
    RuSimulatorOptions options;
    options.scenario = RuScenario::Mixed;
    options.frames = frames;
    options.rangegates = rangegates;
    options.format = RRD_FORMAT_RRD0;
    options.processParams = processParams;
    options.seed = 20240201;
    return options;
}

// Writes the recording unless `path` exists. It is written under a temporary name with the
// same suffix (so the same compression) and renamed, so an interrupted run leaves no half file.
inline bool benchRecording(const QString &path, const RuSimulatorOptions &options)
{
    if (QFileInfo::exists(path))
        return true;
    QString partial = path;
    partial.insert(path.lastIndexOf(QLatin1Char('/')) + 1, QStringLiteral("partial-"));
    QString error;
    if (!RuSimulator(options).writeRecording(partial, &error)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(partial), qPrintable(error));
        return false;
    }
    return QFile::rename(partial, path);
}

// Shortest wall-clock time of each named pass in seconds: the run least disturbed by whatever
// else the machine does. `body` returns false when the pass did not complete.
inline std::map<std::string, double> &benchBestTimes()
{
    static std::map<std::string, double> best;
    return best;
}

template <typename Body>
void benchMeasureTime(benchmark::State &state, const char *name, Body body)
{
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = body();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (!ok) {
            state.SkipWithError("the pass did not complete");
            return;
        }
        auto found = benchBestTimes().find(name);
        if (found == benchBestTimes().end() || took.count() < found->second)
            benchBestTimes()[name] = took.count();
        state.SetIterationTime(took.count());
    }
}

// Reads the whole recording through RuFile, as every use of it must; the frames read, or -1
// when the file did not end cleanly.
inline int benchReadRecording(const QString &path)
{
    RuFile file(path, 'r');
    int frames = 0;
    for (;;) {
        RuFrame frame;
        if (!file.readFrame(frame))
            break;
        benchmark::DoNotOptimize(frame.record()->data);
        ++frames;
    }
    return file.atEnd() ? frames : -1;
}

// Every frame of the recording, held in memory: what a stage that only computes starts from.
inline std::vector<RuFrame> benchFramesOf(const QString &path)
{
    std::vector<RuFrame> frames;
    RuFile file(path, 'r');
    for (;;) {
        RuFrame frame;
        if (!file.readFrame(frame))
            break;
        frames.push_back(frame);
    }
    return frames;
}
