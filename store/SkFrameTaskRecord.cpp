#include "SkFrameTaskRecord.h"

#include "RuFile.h"
#include "SkFrameStore.h"
#include "rrd.h"

#include <QDir>
#include <QFile>

#include <climits>

namespace {

const QString DataFolder = QStringLiteral("rdata");
const QString AlarmFolder = QStringLiteral("alarm");
const QString LogFolder = QStringLiteral("log");

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

void SkFrameTaskRecord::process()
{
    for (const QString &folder : {DataFolder, AlarmFolder, LogFolder})
        QDir().mkpath(m_recordPath + QLatin1Char('/') + folder);
    RuFile file;
    int next = m_startFrame;
    while (!abortRequested()) {
        quint64 generation = 0;
        const unsigned long timeout = m_draining ? 0 : ULONG_MAX;
        const SkPacket packet = store()->waitFrame(next, timeout, &m_stopWaiting, &generation);
        if (abortRequested())
            break;
        if (generation != m_generation) {
            // A new window numbers its frames afresh: the file and the alarm frame numbers of
            // the old one end here, recording goes on with the new window's oldest frame.
            finishFile(file, true);
            m_generation = generation;
            m_lastAlarmOn = m_lastAlarmOff = -1;
            next = -1;
            continue;
        }
        if (!packet.hasFrame()) {
            if (packet.frameNumber() == -2 || m_draining)
                break; // fell behind the store, or wrote all there is
            continue;
        }
        const int n = packet.frameNumber();
        next = n + 1;
        const QDateTime now = m_clock();
        if (!file.isOpen())
            startFile(file, n, now);
        // A failed write leaves the file in error (isOpen false): the next frame starts anew.
        file.writeFrame(packet.frame());
        m_last = n;
        if (file.isOpen() && m_started.addSecs(MinuteSeconds) < now)
            finishFile(file, true);
        moveLateAlarmFiles();
    }
    // The file being written is completed, and still goes to "alarm" if it holds one.
    finishFile(file, false);
}

void SkFrameTaskRecord::startFile(RuFile &file, int n, const QDateTime &now)
{
    m_started = now;
    m_first = n;
    m_fileName = minuteFileName(now);
    file.open(dataPath(m_fileName), 'w', 0);
}

// Closes the current file and decides where it belongs; `keep` adds a file left in "rdata"
// to the own files, which house-keeping may delete later.
void SkFrameTaskRecord::finishFile(RuFile &file, bool keep)
{
    if (!file.isOpen())
        return;
    file.close();
    if (touchesAlarm(m_first, m_last) && moveToAlarm(m_fileName))
        return;
    if (!keep)
        return;
    m_ownFiles.append({m_first, m_last, m_fileName, m_generation});
    houseKeeping();
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

bool SkFrameTaskRecord::moveToAlarm(const QString &name) const
{
    return QFile::rename(dataPath(name), alarmPath(name));
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
    uint64_t total = 0, totalFree = 0, available = 0;
    const QByteArray path = (m_recordPath + QLatin1Char('/') + DataFolder).toUtf8();
    if (rrd_disk_space(path.constData(), &total, &totalFree, &available) != 0 || total == 0)
        return false;
    return m_minFreeSpace > static_cast<double>(available) / static_cast<double>(total) * 100.0;
}

void SkFrameTaskRecord::deleteOldest()
{
    if (!m_oldFiles.isEmpty())
        QFile::remove(m_oldFiles.takeFirst().second);
    else if (!m_ownFiles.isEmpty())
        QFile::remove(dataPath(m_ownFiles.takeFirst().name));
}
