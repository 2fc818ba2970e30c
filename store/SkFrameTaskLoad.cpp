#include "SkFrameTaskLoad.h"

#include "RuFile.h"
#include "RuFrame.h"
#include "SkFrameStore.h"
#include "SkPacket.h"

#include <QDebug>
#include <QThread>

#include <algorithm>

#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>

namespace {

std::runtime_error sourceError(const char *what, const QString &reason, const QString &source)
{
    return std::runtime_error(QString::fromLatin1(what).arg(reason, source).toLocal8Bit().toStdString());
}

// The error text of a stream read that ended because the receive time-out expired.
bool isReceiveTimeout(const QString &text)
{
    for (int code : {EAGAIN, EWOULDBLOCK, ETIMEDOUT}) {
        if (text == QString::fromLocal8Bit(std::strerror(code)))
            return true;
    }
    return false;
}

} // namespace

SkFrameTaskLoad::SkFrameTaskLoad(SkFrameStore *store, const QStringList &sources)
    : SkFrameTask(store, QStringLiteral("Loader")), m_sources(sources),
      m_generation(store->generation())
{
}

QString SkFrameTaskLoad::description() const
{
    if (m_sources.size() > 2)
        return QStringLiteral("%1(%2 files)").arg(name()).arg(m_sources.size());
    return QStringLiteral("%1(%2)").arg(name(), m_sources.join(QStringLiteral(", ")));
}

void SkFrameTaskLoad::process()
{
    try {
        for (const QString &source : m_sources) {
            if (stopped() || limitReached())
                break;
            loadSource(source);
        }
    } catch (...) {
        reportDropped(true);
        throw;
    }
    reportDropped(true);
}

// Aborted, or the store has been cleared for another window.
bool SkFrameTaskLoad::stopped() const
{
    return abortRequested() || store()->generation() != m_generation;
}

bool SkFrameTaskLoad::limitReached() const
{
    return m_frameLimit > 0 && m_framesRead >= m_frameLimit;
}

void SkFrameTaskLoad::loadSource(const QString &source)
{
    RuFile file;
    const bool stream = RuFile::isStreamAddress(source);
    file.open(source, 'r', stream ? StreamTimeoutSeconds : 0);
    qDebug().noquote() << "tsk:" << description() << "Loading" << source;
    if (!file.isOpen())
        throw sourceError("File open error! Reason: %1, Name: %2", file.errorString(), source);
    if (!file.isStream()) {
        readFile(file, source);
        file.close();
        return;
    }
    QString reason;
    while (!readStream(file, source, &reason)) {
        if (!m_reconnect)
            throw std::runtime_error(tr("stream lost: %1").arg(reason).toLocal8Bit().toStdString());
        qDebug().noquote() << "tsk:" << description() << "stream lost:" << reason;
        // A host that takes the connection and drops it again is still lost: one report
        // until a frame arrives.
        if (!m_streamLost)
            reportStream({StreamEvent::Lost, reason});
        m_streamLost = true;
        if (!reconnect(file, source))
            return;
    }
}

void SkFrameTaskLoad::readFile(RuFile &file, const QString &source)
{
    do {
        RuFrame frame;
        QString error;
        if (!readFrame(file, frame, &error)) {
            if (!error.isEmpty())
                throw sourceError("File read error! Reason: %1, Name: %2", error, source);
            return;
        }
        if (!append(file, source, frame))
            return;
    } while (!file.atEnd());
}

// True when the task should end here (aborted, or enough frames read); false when the stream
// is lost, with the reason.
bool SkFrameTaskLoad::readStream(RuFile &file, const QString &source, QString *lostReason)
{
    for (;;) {
        RuFrame frame;
        QString error;
        if (!readFrame(file, frame, &error)) {
            if (stopped())
                return true;
            *lostReason = error.isEmpty() ? tr("the radar closed the connection") : error;
            return false;
        }
        if (!append(file, source, frame))
            return true;
    }
}

// Opens the stream again, waiting longer after each failed attempt; false when stopped.
bool SkFrameTaskLoad::reconnect(RuFile &file, const QString &source)
{
    for (;;) {
        reportStream({StreamEvent::Retrying, QString(), m_backoffSeconds});
        if (!sleepUnlessStopped(m_backoffSeconds * 1000))
            return false;
        m_backoffSeconds = std::min(m_backoffSeconds * 2, MaxBackoffSeconds);
        reportStream({StreamEvent::Connecting, QString()});
        file.open(source, 'r', StreamTimeoutSeconds);
        if (file.isOpen())
            return true;
        qDebug().noquote() << "tsk:" << description() << "reconnect failed:" << file.errorString();
    }
}

bool SkFrameTaskLoad::sleepUnlessStopped(int msecs) const
{
    constexpr int StepMs = 50;
    for (int slept = 0; slept < msecs; slept += StepMs) {
        if (stopped())
            return false;
        QThread::msleep(StepMs);
    }
    return !stopped();
}

// True with a frame. False at the end of the source (`error` empty), when reading failed
// (`error` holds the reason) or when the task has been stopped.
bool SkFrameTaskLoad::readFrame(RuFile &file, RuFrame &frame, QString *error)
{
    QElapsedTimer silence;
    silence.start();
    for (;;) {
        if (file.readFrame(frame))
            return true;
        if (stopped())
            return false;
        // Taken before atEnd(), which clears the handle's system errors.
        const QString reason = file.errorString();
        if (file.atEnd())
            return false;
        // A quiet radar is not an error: the time-out only lets the task look at its abort
        // request, and atEnd() has cleared it, so the handle reads on.
        if (!file.isStream() || !isReceiveTimeout(reason)) {
            *error = reason;
            return false;
        }
        // Until it has been quiet for too long.
        if (m_silenceSeconds > 0 && silence.elapsed() >= m_silenceSeconds * 1000LL) {
            *error = tr("no frame for %1 s").arg(m_silenceSeconds);
            return false;
        }
    }
}

// Appends the frame; false when the task should read no further.
bool SkFrameTaskLoad::append(RuFile &file, const QString &source, const RuFrame &frame)
{
    SkPacket packet(frame, -1);
    packet.setSourceText(source);
    if (file.isStream()) {
        if (!store()->appendFrame(packet, 0, m_generation, abortFlag()))
            countDropped();
        reportDropped(false);
    } else {
        store()->appendFrame(packet, ULONG_MAX, m_generation, abortFlag());
    }
    ++m_framesRead;
    m_backoffSeconds = 1;
    // The stream is back when it delivers again, not when it merely takes a connection.
    if (m_streamLost) {
        m_streamLost = false;
        reportStream({StreamEvent::Back, QString()});
    }
    return !stopped() && !limitReached();
}

void SkFrameTaskLoad::reportStream(const StreamEvent &event)
{
    {
        std::lock_guard<std::mutex> lock(m_eventsMutex);
        m_events.append(event);
    }
    emit streamChanged();
}

SkFrameTaskLoad::StreamEvent SkFrameTaskLoad::takeStreamEvent()
{
    std::lock_guard<std::mutex> lock(m_eventsMutex);
    return m_events.takeFirst();
}

void SkFrameTaskLoad::countDropped()
{
    if (store()->generation() == m_generation)
        ++m_dropped;
}

void SkFrameTaskLoad::reportDropped(bool now)
{
    if (m_dropped == 0)
        return;
    if (!now && m_sinceReport.isValid() && m_sinceReport.elapsed() < DropReportIntervalMs)
        return;
    emit framesDropped(m_dropped);
    m_dropped = 0;
    m_sinceReport.start();
}
