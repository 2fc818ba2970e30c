#pragma once
// The converter's conversion: concatenates input files into one output, keeping the first
// frame and then every (drop + 1)-th, each kept frame optionally replaced by the moving
// average of the last frames read. Runs on the window's thread or, for rrdcli, directly.

#include <QObject>
#include <QStringList>

#include <atomic>

class RcOutputFile;
class RuFile;
class RuFrame;
class RcFrameAverager;

class RcWorker : public QObject
{
    Q_OBJECT

public:
    // Progress steps given to each input file; a longer file runs on into the next share.
    static constexpr int ProgressPerFile = 200;

    RcWorker(int id, const QString &outputPath, const QStringList &inputFiles,
             int averagingRange, int dropCount, QObject *parent = nullptr);

    // Asks run() to stop after the frame it is working on; safe from any thread and from a
    // signal handler (it only sets a lock-free flag).
    void abort();
    bool isAborted() const;

    // After run(): frames written to the output, and whether every frame of every input
    // was read and written (none left out, no input ended early, not aborted). Frames
    // skipped by the drop count do not count against it.
    qint64 framesWritten() const { return m_framesWritten; }
    bool wroteEverything() const;

public slots:
    void run();

signals:
    void finished(int id, bool failed, const QString &message);
    void progressChanged(int value);
    void progressMaximumChanged(int maximum);
    // Input `index` of the list has been opened for reading.
    void inputOpened(int index, const QString &path);

private:
    enum class Outcome { Done, ReadError, WriteFailed, Aborted };

    bool outputIsAnInput() const;
    QString convertAll(RcOutputFile &output);
    Outcome convertFile(RuFile &input, RuFile &output, RcFrameAverager &window,
                        int &progress);
    bool fits(const RuFrame &frame, const RuFile &output);
    QString failure(const char *what, const QString &path, const QString &reason) const;
    QString endMessage() const;

    const int m_id;
    const QString m_outputPath;
    const QStringList m_inputFiles;
    const int m_averagingRange;
    const int m_dropCount;
    std::atomic<bool> m_aborted{false};
    int m_skip = 0;
    int m_framesLeftOut = 0;  // range gates or parameter block differ from the output's
    int m_untimedLeftOut = 0; // raw frames, which a stamped or RRD0 output cannot date
    qint64 m_framesWritten = 0;
    // Inputs that ended at a read error: file name and the reader's error text.
    QStringList m_endedEarly;
};
