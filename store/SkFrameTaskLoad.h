#pragma once
// The load task: reads a list of files, or one stream address, through RuFile and appends
// every frame to the frame store. A file load pauses while the store is full; a stream does
// not wait, so frames that find the store full are dropped and counted (framesDropped).

#include "SkFrameTask.h"

#include <QElapsedTimer>
#include <QStringList>

class RuFile;
class RuFrame;

class SkFrameTaskLoad : public SkFrameTask
{
    Q_OBJECT

public:
    // A stream read gives up after this long without data, to look at the abort request.
    static constexpr int StreamTimeoutSeconds = 1;
    // Dropped frames are reported at most this often.
    static constexpr int DropReportIntervalMs = 250;

    SkFrameTaskLoad(SkFrameStore *store, const QStringList &sources);

    QStringList sources() const { return m_sources; }
    QString description() const override;

protected:
    void process() override;

private:
    void loadSource(const QString &source);
    bool readFrame(RuFile &file, const QString &source, RuFrame &frame);
    void countDropped();
    void reportDropped(bool now);

    const QStringList m_sources;
    // The window this task loads into: a clear() of the store ends its appends.
    const quint64 m_generation;
    int m_dropped = 0;
    QElapsedTimer m_sinceReport;
};
