#include "SkFrameTaskRecord.h"

#include "RuFile.h"
#include "SkFrameStore.h"
#include "SkRecordFolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <climits>
#include <stdexcept>
#include <sys/stat.h>

namespace {

const QString DataFolder = QStringLiteral("rdata");
const QString AlarmFolder = QStringLiteral("alarm");

} // namespace

SkFrameTaskRecord::SkFrameTaskRecord(SkFrameStore *store, const QString &recordPath,
                                     qint32 maxFiles, qint32 minFreeSpace,
                                     const FileList &oldFiles, QObject *parent)
    : SkFrameTask(store, QStringLiteral("Record"), parent), m_recordPath(recordPath),
      m_maxFiles(maxFiles), m_minFreeSpace(minFreeSpace), m_oldFiles(oldFiles),
      m_clock(&QDateTime::currentDateTimeUtc), m_generation(store->generation())
{
}

SkFrameTaskRecord::~SkFrameTaskRecord() = default;

void SkFrameTaskRecord::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(&QDateTime::currentDateTimeUtc);
}

QString SkFrameTaskRecord::currentFile() const
{
    std::lock_guard<std::mutex> lock(m_currentFileMutex);
    return m_currentFile;
}

QString SkFrameTaskRecord::minuteFileName(const QDateTime &utc)
{
    QString stamp = utc.toUTC().toString(Qt::ISODate);
    stamp.remove(QLatin1Char(':')).remove(QLatin1Char('-'));
    return stamp + QStringLiteral(".rrd0.gz");
}

void SkFrameTaskRecord::onAlarmStatusChanged(int frameNo, bool alarmState)
{
    (alarmState ? m_lastAlarmOn : m_lastAlarmOff) = frameNo;
}

void SkFrameTaskRecord::abort()
{
    m_stopWaiting = true;
    SkFrameTask::abort();
}

void SkFrameTaskRecord::drainAndStop()
{
    m_draining = true;
    m_stopWaiting = true;
    store()->wakeAll();
}

QString SkFrameTaskRecord::dataPath(const QString &name) const
{
    return m_recordPath + QLatin1Char('/') + DataFolder + QLatin1Char('/') + name;
}

QString SkFrameTaskRecord::alarmPath(const QString &name) const
{
    return m_recordPath + QLatin1Char('/') + AlarmFolder + QLatin1Char('/') + name;
}

// At the start, and again before a new file when the record folder has been deleted.
void SkFrameTaskRecord::createFolders()
{
    for (const QString &folder : {DataFolder, AlarmFolder}) {
        const QString path = m_recordPath + QLatin1Char('/') + folder;
        if (!QDir().mkpath(path))
            reportFailure(path, tr("cannot create the folder"));
    }
}

void SkFrameTaskRecord::process()
{
    createFolders();
    RuFile file;
    try {
        record(file);
    } catch (...) {
        finishFile(file, false);
        throw;
    }
    writeAgainIfRemoved(file);
    // The file being written is completed, and still goes to "alarm" if it holds one.
    if (!finishFile(file, false))
        throw std::runtime_error(tr("Closing %1 failed").arg(dataPath(m_fileName)).toLocal8Bit().toStdString());
}

void SkFrameTaskRecord::record(RuFile &file)
{
    int next = m_startFrame;
    while (!abortRequested()) {
        quint64 generation = 0;
        const unsigned long timeout = m_draining ? 0 : m_unflushed ? FlushSeconds * 1000 : ULONG_MAX;
        const SkPacket packet = store()->waitFrame(next, timeout, &m_stopWaiting, &generation);
        if (abortRequested())
            break;
        if (generation != m_generation) {
            // A new window numbers its frames afresh: the file and the alarm frame numbers of
            // the old one end here, recording goes on with the new window's oldest frame.
            if (file.isOpen())
                dropIfRemoved(file, false);
            finishFile(file, true);
            m_generation = generation;
            m_lastAlarmOn = m_lastAlarmOff = -1;
            m_superseded.clear();
            next = -1;
            continue;
        }
        if (!packet.hasFrame()) {
            if (packet.frameNumber() == -2)
                throw std::runtime_error(tr("Recording fell behind: frame %1 has already left "
                                            "the store")
                                             .arg(next)
                                             .toLocal8Bit()
                                             .toStdString());
            if (m_draining)
                break; // wrote all there is
            // A quiet stream: the last frames go to the disk meanwhile.
            if (m_unflushed && !flushFile(file, m_clock()))
                next = recoverFrom(file, next);
            continue;
        }
        next = writePacket(file, packet);
        moveLateAlarmFiles();
    }
}

// Writes one frame; returns the number of the frame to write next.
int SkFrameTaskRecord::writePacket(RuFile &file, const SkPacket &packet)
{
    const int n = packet.frameNumber();
    const RuFrame frame = packet.frame();
    const QDateTime now = m_clock();
    // A minute file holds frames of one size: another range-gate count starts a new file.
    if (file.isOpen() && frame.rows() != m_rangegates)
        finishFile(file, true);
    if (!file.isOpen() && !startFile(file, n, frame.rows(), now))
        return recoverFrom(file, n);
    if (file.writeFrame(frame) != 0) {
        reportFailure(dataPath(m_fileName), file.errorString());
        return recoverFrom(file, n);
    }
    m_last = n;
    m_lastFrameWritten = n;
    m_framesInOpenFile = m_last - m_first + 1;
    m_unflushed = true;
    if (m_flushed.secsTo(now) >= FlushSeconds && !flushFile(file, now))
        return recoverFrom(file, n);
    if (m_started.addSecs(MinuteSeconds) < now) {
        if (dropIfRemoved(file, true))
            return qMax(m_first, store()->startFrame());
        if (!finishFile(file, true))
            return recoverFrom(file, n + 1);
    }
    return n + 1;
}

// True when the file being written is no longer the file of its name (its folder was deleted
// or moved away): the frames written into it are gone with it. The handle is closed and the
// loss reported; with `writeAgain` the frames the store still holds go into a new file.
bool SkFrameTaskRecord::dropIfRemoved(RuFile &file, bool writeAgain)
{
    struct stat now = {};
    if (::stat(QFile::encodeName(dataPath(m_fileName)).constData(), &now) == 0
        && now.st_dev == m_fileDevice && now.st_ino == m_fileInode)
        return false;
    file.close();
    const int oldest = writeAgain ? store()->startFrame() : m_last + 1;
    QString cause = tr("the file was removed while it was written (the record folder deleted?)");
    if (oldest <= m_last)
        cause += tr("; its frames %1 to %2 are written again into a new file").arg(qMax(m_first, oldest)).arg(m_last);
    if (oldest > m_first)
        cause += tr("; frames %1 to %2 are lost").arg(m_first).arg(qMin(oldest - 1, m_last));
    reportFailure(dataPath(m_fileName), cause);
    return true;
}

// At the end, the frames of a file that was removed are written again while the store holds
// them.
void SkFrameTaskRecord::writeAgainIfRemoved(RuFile &file)
{
    if (!file.isOpen() || !dropIfRemoved(file, true))
        return;
    const int last = m_last;
    for (int next = qMax(m_first, store()->startFrame()); next <= last;) {
        const SkPacket packet = store()->waitFrame(next, 0);
        const int written = packet.hasFrame() ? writePacket(file, packet) : next;
        if (written <= next)
            break; // gone from the store, or the disk refuses it: reported already
        next = written;
    }
}

// A file that could not be written or closed may have lost frames it had buffered: its frames
// are written again into the next file, from its first frame if the store still holds it,
// after a pause that grows while the failure lasts (a full disk may be freed meanwhile).
int SkFrameTaskRecord::recoverFrom(RuFile &file, int failedFrame)
{
    const QString broken = dataPath(m_fileName);
    file.close();
    m_unflushed = false;
    const int oldest = store()->startFrame();
    const int first = qMin(m_first, failedFrame);
    if (first >= oldest && QFileInfo::exists(broken))
        m_superseded.append({first, m_last, broken, m_generation});
    if (m_draining)
        throw std::runtime_error(tr("Recording could not write %1").arg(broken).toLocal8Bit().toStdString());
    sleepUnlessStopped(m_retryDelaySeconds * 1000);
    m_retryDelaySeconds = qMin(m_retryDelaySeconds * 2, MaxRetrySeconds);
    return qMax(first, oldest);
}

void SkFrameTaskRecord::sleepUnlessStopped(int msecs) const
{
    constexpr int StepMs = 50;
    for (int slept = 0; slept < msecs && !m_stopWaiting; slept += StepMs)
        QThread::msleep(StepMs);
}

// A recorder killed now loses at most the frames of the last few seconds.
bool SkFrameTaskRecord::flushFile(RuFile &file, const QDateTime &now)
{
    m_flushed = now;
    m_unflushed = false;
    if (file.flush())
        return true;
    reportFailure(dataPath(m_fileName), file.errorString());
    return false;
}

void SkFrameTaskRecord::reportFailure(const QString &path, const QString &cause)
{
    qDebug().noquote() << "tsk:" << description() << path << cause;
    {
        std::lock_guard<std::mutex> lock(m_failuresMutex);
        m_failures.append({path, cause});
    }
    emit fileFailed();
}

QList<SkFrameTaskRecord::Failure> SkFrameTaskRecord::takeFailures()
{
    std::lock_guard<std::mutex> lock(m_failuresMutex);
    QList<Failure> failures;
    failures.swap(m_failures);
    return failures;
}

// A name no file of this recording has yet: two files started within one second differ.
QString SkFrameTaskRecord::freshFileName(const QDateTime &now) const
{
    const QString name = minuteFileName(now);
    const QString stem = name.left(name.size() - int(qstrlen(".rrd0.gz")));
    QString candidate = name;
    for (int i = 1; QFileInfo::exists(dataPath(candidate)) || QFileInfo::exists(alarmPath(candidate)); ++i)
        candidate = QStringLiteral("%1-%2.rrd0.gz").arg(stem).arg(i);
    return candidate;
}

bool SkFrameTaskRecord::startFile(RuFile &file, int n, int rangegates, const QDateTime &now)
{
    m_started = now;
    m_flushed = now;
    m_first = n;
    m_last = n - 1;
    m_rangegates = rangegates;
    if (!QFileInfo(m_recordPath + QLatin1Char('/') + DataFolder).isDir())
        createFolders();
    m_fileName = freshFileName(now);
    file.open(dataPath(m_fileName), 'w', 0);
    if (file.isOpen()) {
        // A file that is gone already leaves nothing to compare with: it counts as removed.
        struct stat made = {};
        ::stat(QFile::encodeName(dataPath(m_fileName)).constData(), &made);
        m_fileDevice = made.st_dev;
        m_fileInode = made.st_ino;
        m_framesInOpenFile = 0;
        std::lock_guard<std::mutex> lock(m_currentFileMutex);
        m_currentFile = dataPath(m_fileName);
        return true;
    }
    reportFailure(dataPath(m_fileName), file.errorString());
    file.close();
    // Nothing of this recording is in it.
    QFile::remove(dataPath(m_fileName));
    return false;
}

// Closes the current file and decides where it belongs; `keep` adds a file left in "rdata"
// to the own files, which house-keeping may delete later. False when completing it failed.
bool SkFrameTaskRecord::finishFile(RuFile &file, bool keep)
{
    if (!file.isOpen())
        return true;
    m_unflushed = false;
    if (!file.close()) {
        reportFailure(dataPath(m_fileName), file.errorString());
        return false;
    }
    m_retryDelaySeconds = 1;
    ++m_filesWritten;
    // Counted in the completed files from here on; for a moment not at all rather than twice.
    m_framesInOpenFile = 0;
    m_framesWritten += m_last - m_first + 1;
    removeSuperseded();
    if (touchesAlarm(m_first, m_last) && moveToAlarm(m_fileName))
        return true;
    if (keep) {
        m_ownFiles.append({m_first, m_last, m_fileName, m_generation});
        houseKeeping();
    }
    return true;
}

// Files whose frames the file just completed holds again.
void SkFrameTaskRecord::removeSuperseded()
{
    for (int i = m_superseded.size() - 1; i >= 0; --i) {
        const OwnFile &old = m_superseded.at(i);
        if (old.generation != m_generation || old.first < m_first || old.last > m_last)
            continue;
        removeFile(old.name);
        m_superseded.removeAt(i);
    }
}

// A file holds an alarm when its frame span touches the span from the last alarm on to the
// last alarm off (or on to the present while the alarm is on).
bool SkFrameTaskRecord::touchesAlarm(int first, int last) const
{
    const int on = m_lastAlarmOn;
    const int off = m_lastAlarmOff;
    if (on == off)
        return false;
    if (on > off)
        return last >= on;
    return first <= off && last >= on;
}

bool SkFrameTaskRecord::moveToAlarm(const QString &name)
{
    QFile file(dataPath(name));
    if (file.rename(alarmPath(name))) {
        ++m_filesMovedToAlarm;
        return true;
    }
    reportFailure(dataPath(name), tr("cannot move to %1: %2").arg(alarmPath(name), file.errorString()));
    return false;
}

// A file that is gone already needs no deleting; true when this call removed it.
bool SkFrameTaskRecord::removeFile(const QString &path)
{
    QFile file(path);
    if (file.remove())
        return true;
    if (file.exists())
        reportFailure(path, tr("cannot delete: %1").arg(file.errorString()));
    return false;
}

// The alarm task can report an alarm after the file holding its frame was finished: such
// files still go to "alarm".
void SkFrameTaskRecord::moveLateAlarmFiles()
{
    const QPair<int, int> alarm(m_lastAlarmOn, m_lastAlarmOff);
    if (alarm == m_alarmSeen)
        return;
    m_alarmSeen = alarm;
    for (int i = m_ownFiles.size() - 1; i >= 0; --i) {
        const OwnFile &own = m_ownFiles.at(i);
        if (own.generation != m_generation)
            break;
        if (touchesAlarm(own.first, own.last) && moveToAlarm(own.name))
            m_ownFiles.removeAt(i);
    }
}

void SkFrameTaskRecord::houseKeeping()
{
    const bool tooFull = m_maxFiles != 0 && m_oldFiles.size() + m_ownFiles.size() > m_maxFiles;
    if ((tooFull || shortOfSpace()) && m_ownFiles.size() > KeptOwnFiles) {
        deleteOldest();
        deleteOldest();
    }
}

bool SkFrameTaskRecord::shortOfSpace() const
{
    const SkRecordFolder data(m_recordPath + QLatin1Char('/') + DataFolder);
    return data.freeSpace().isBelow(m_minFreeSpace);
}

void SkFrameTaskRecord::deleteOldest()
{
    QString path;
    if (!m_oldFiles.isEmpty())
        path = m_oldFiles.takeFirst().second;
    else if (!m_ownFiles.isEmpty())
        path = dataPath(m_ownFiles.takeFirst().name);
    if (!path.isEmpty() && removeFile(path))
        ++m_filesDeleted;
}
