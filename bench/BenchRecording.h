#pragma once
// Simulated recordings for the benchmarks: made once with a fixed seed in the bench data
// folder, reused by later runs and by the other benchmark programs that ask for the same name.

#include "BenchSummary.h"
#include "RuSimulator.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstdio>

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
