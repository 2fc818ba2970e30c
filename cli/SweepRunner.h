#pragma once
// Runs the parameter sets of a sweep over the same frames in one pass. Each set has its own
// detector engine, configured from its parameter file exactly as `rrdcli analyze --params`
// configures it, and its alarm log, written as `analyze --log` writes it. Each frame is read
// and decoded once; batches of frames go to every set on a pool of threads (a set on one
// thread at a time, the frames in order) while the next batch is read.

#include "SweepTally.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

namespace cli {

class FrameRun;

class SweepRunner
{
public:
    explicit SweepRunner(int jobs);
    ~SweepRunner();

    // Adds a set: reads `iniPath` into a new engine (its warnings into `warnings`) and starts
    // the log at `logPath` with its header; false with the reason in `error`.
    bool addSet(const QString &iniPath, const QString &logPath, QStringList *warnings, QString *error);
    // True when set `index` (from 0, in the order added) runs no detector at all.
    bool allDetectorsOff(int index) const;

    // Reads the frames of `run` (at most `maxFrames` when not 0) and hands them to every
    // set; returns when the last batch has been processed.
    void run(FrameRun &run, qint64 maxFrames, const QString &command);
    // Completes every log; false with one reason per log that could not be written (a full
    // disk) in `errors`.
    bool finish(QStringList *errors);

    const SweepTally &tally(int index) const;
    // The time of every frame read, by frame number.
    const QVector<qint64> &frameTimes() const { return m_times; }

private:
    struct Frame;
    class Set;

    bool readBatch(FrameRun &run, qint64 maxFrames, const QString &command, std::vector<Frame> *batch);

    const int m_jobs;
    std::vector<std::unique_ptr<Set>> m_sets;
    QVector<qint64> m_times;
};

} // namespace cli
