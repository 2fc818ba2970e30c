#pragma once
// The record task: writes every frame that enters the store into gzip-compressed minute
// files "rdata/<UTC start>.rrd0.gz" below the record path, moves finished files that hold an
// alarm to "alarm", and deletes the oldest files when there are too many or the disk runs
// short. The clock is injectable so that tests can record for hours in a second.

#include "SkFrameTask.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <atomic>
#include <functional>

class RuFile;

class SkFrameTaskRecord : public SkFrameTask
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    // Minute files of earlier recordings: (creation time, absolute path), oldest first.
    using FileList = QList<QPair<QDateTime, QString>>;

    static constexpr int MinuteSeconds = 60;
    // Own files are only deleted while more than this many are kept.
    static constexpr int KeptOwnFiles = 10;

    SkFrameTaskRecord(SkFrameStore *store, const QString &recordPath, qint32 maxFiles,
                      qint32 minFreeSpace, const FileList &oldFiles, QObject *parent = nullptr);
    ~SkFrameTaskRecord() override;

    // Replaces the real UTC clock; call before start().
    void setClock(Clock clock);
    // The frame recorded first: -2 the newest when the task starts (the viewer's choice, it
    // records from the moment the user asks), -1 the oldest held. Call before start().
    void setStartFrame(int frameNo) { m_startFrame = frameNo; }
    QString recordPath() const { return m_recordPath; }

    // "20180418T122315Z.rrd0.gz" for a file started at 12:23:15 UTC on 18 April 2018.
    static QString minuteFileName(const QDateTime &utc);

public slots:
    void onAlarmStatusChanged(int frameNo, bool alarmState);
    void abort() override;
    // Ends the task once every frame already in the store is written, as a program that
    // shuts down wants; abort() ends it at once, as stopping a recording does.
    void drainAndStop();

signals:
    // Writing, closing, moving or deleting `file` failed for `cause`.
    void fileFailed(const QString &file, const QString &cause);

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
    void startFile(RuFile &file, int n, const QDateTime &now);
    void finishFile(RuFile &file, bool keep);
    bool touchesAlarm(int first, int last) const;
    bool moveToAlarm(const QString &name) const;
    void moveLateAlarmFiles();
    void houseKeeping();
    bool shortOfSpace() const;
    void deleteOldest();

    const QString m_recordPath;
    const qint32 m_maxFiles;
    const qint32 m_minFreeSpace;
    FileList m_oldFiles;
    QList<OwnFile> m_ownFiles;
    // Written by the slot on the owner's thread, read by the body.
    std::atomic_int m_lastAlarmOn{-1};
    std::atomic_int m_lastAlarmOff{-1};
    std::atomic_bool m_draining{false};
    std::atomic_bool m_stopWaiting{false}; // set by abort() and drainAndStop()
    Clock m_clock;
    int m_startFrame = -2;

    // State of the body.
    quint64 m_generation;
    QString m_fileName;
    QDateTime m_started;
    int m_first = 0;
    int m_last = 0;
    QPair<int, int> m_alarmSeen{-1, -1};
};
