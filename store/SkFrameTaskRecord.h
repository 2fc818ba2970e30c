#pragma once
// The record task: writes every frame that enters the store into gzip-compressed minute
// files "rdata/<UTC start>.rrd0.gz" below the record path, moves finished files that hold an
// alarm to "alarm", and deletes the oldest files when there are too many or the disk runs
// short. The clock is injectable so that tests can record for hours in a second.
//
// Nothing is lost silently: a file that cannot be written or completed is reported
// (fileFailed, takeFailures) and its frames go into the next file; a frame of another range-gate count starts
// a new file; an existing file is never overwritten; failed moves and deletions are reported;
// a file removed while it is written (its folder deleted) is noticed at its minute's end and
// at the end, reported, and its frames go into a new file in folders made again; a recorder
// whose next frame has left the store ends with an error saying so.

#include "SkFrameTask.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

class RuFile;
class SkPacket;

class SkFrameTaskRecord : public SkFrameTask
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    // A file that could not be written, completed, moved or deleted, and why.
    struct Failure
    {
        QString file;
        QString cause;
    };
    // Minute files of earlier recordings: (creation time, absolute path), oldest first.
    using FileList = QList<QPair<QDateTime, QString>>;

    static constexpr int MinuteSeconds = 60;
    // Own files are only deleted while more than this many are kept.
    static constexpr int KeptOwnFiles = 10;
    // Pauses before writing again after a failure: 1, 2, 4 ... up to this.
    static constexpr int MaxRetrySeconds = 30;
    // The file being written is flushed this often, so that a killed recorder loses no more.
    static constexpr int FlushSeconds = 2;

    SkFrameTaskRecord(SkFrameStore *store, const QString &recordPath, qint32 maxFiles,
                      qint32 minFreeSpace, const FileList &oldFiles, QObject *parent = nullptr);
    ~SkFrameTaskRecord() override;

    // Replaces the real UTC clock; call before start().
    void setClock(Clock clock);
    // The frame recorded first: -2 the newest when the task starts (the viewer's choice, it
    // records from the moment the user asks), -1 the oldest held. Call before start().
    void setStartFrame(int frameNo) { m_startFrame = frameNo; }
    QString recordPath() const { return m_recordPath; }
    // The failures reported since the last call, oldest first; callable from any thread.
    QList<Failure> takeFailures();

    // The minute files completed so far and the frames they hold, the files moved to "alarm"
    // and those deleted to keep the disk from filling, and the newest frame written into a
    // file (-1: none yet); callable from any thread.
    int filesWritten() const { return m_filesWritten; }
    qint64 framesWritten() const { return m_framesWritten; }
    int filesMovedToAlarm() const { return m_filesMovedToAlarm; }
    int filesDeleted() const { return m_filesDeleted; }
    int lastFrameWritten() const { return m_lastFrameWritten; }
    // The frames written so far, those of the file being written too, and that file's path
    // (empty before the first); callable from any thread.
    qint64 framesRecorded() const { return m_framesWritten + m_framesInOpenFile; }
    QString currentFile() const;

    // "20180418T122315Z.rrd0.gz" for a file started at 12:23:15 UTC on 18 April 2018.
    static QString minuteFileName(const QDateTime &utc);

public slots:
    void onAlarmStatusChanged(int frameNo, bool alarmState);
    void abort() override;
    // Ends the task once every frame already in the store is written, as a program that
    // shuts down wants; abort() ends it at once, as stopping a recording does.
    void drainAndStop();

signals:
    // Something failed; takeFailures() says what. The texts wait under a lock rather than in
    // the event queue, so no string is shared between threads behind the lock's back.
    void fileFailed();

protected:
    void process() override;

private:
    struct OwnFile
    {
        int first;
        int last;
        QString name;
        quint64 generation;
    };

    QString dataPath(const QString &name) const;
    QString alarmPath(const QString &name) const;
    void createFolders();
    void record(RuFile &file);
    int writePacket(RuFile &file, const SkPacket &packet);
    bool dropIfRemoved(RuFile &file, bool writeAgain);
    void writeAgainIfRemoved(RuFile &file);
    int recoverFrom(RuFile &file, int failedFrame);
    void sleepUnlessStopped(int msecs) const;
    void reportFailure(const QString &path, const QString &cause);
    bool flushFile(RuFile &file, const QDateTime &now);
    QString freshFileName(const QDateTime &now) const;
    bool startFile(RuFile &file, int n, int rangegates, const QDateTime &now);
    bool finishFile(RuFile &file, bool keep);
    void removeSuperseded();
    bool removeFile(const QString &path);
    bool touchesAlarm(int first, int last) const;
    bool moveToAlarm(const QString &name);
    void moveLateAlarmFiles();
    void houseKeeping();
    bool shortOfSpace() const;
    void deleteOldest();

    const QString m_recordPath;
    const qint32 m_maxFiles;
    const qint32 m_minFreeSpace;
    FileList m_oldFiles;
    QList<OwnFile> m_ownFiles;
    // Files that failed while their frames were still held: deleted once a later file that
    // holds all their frames again is complete.
    QList<OwnFile> m_superseded;
    // Written by the slot on the owner's thread, read by the body.
    std::atomic_int m_lastAlarmOn{-1};
    std::atomic_int m_lastAlarmOff{-1};
    std::atomic_bool m_draining{false};
    std::atomic_bool m_stopWaiting{false}; // set by abort() and drainAndStop()
    std::atomic_int m_filesWritten{0};
    std::atomic<qint64> m_framesWritten{0};
    std::atomic_int m_filesMovedToAlarm{0};
    std::atomic_int m_filesDeleted{0};
    std::atomic_int m_lastFrameWritten{-1};
    std::atomic<qint64> m_framesInOpenFile{0};
    mutable std::mutex m_currentFileMutex;
    QString m_currentFile;
    std::mutex m_failuresMutex;
    QList<Failure> m_failures;
    Clock m_clock;
    int m_startFrame = -2;

    // State of the body.
    quint64 m_generation;
    QString m_fileName;
    // The identity of the file being written, to notice when it is removed.
    quint64 m_fileDevice = 0;
    quint64 m_fileInode = 0;
    QDateTime m_started;
    QDateTime m_flushed;
    bool m_unflushed = false;
    int m_first = 0;
    int m_last = 0;
    int m_rangegates = 0;
    int m_retryDelaySeconds = 1;
    QPair<int, int> m_alarmSeen{-1, -1};
};
