#include "SkFrameTaskLoad.h"

#include "RuFile.h"
#include "RuFrame.h"
#include "SkFrameStore.h"
#include "SkPacket.h"

#include <QDebug>

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
            if (abortRequested() || store()->generation() != m_generation)
                break;
            loadSource(source);
        }
    } catch (...) {
        reportDropped(true);
        throw;
    }
    reportDropped(true);
}

void SkFrameTaskLoad::loadSource(const QString &source)
{
    RuFile file;
    const bool stream = RuFile::isStreamAddress(source);
    file.open(source, 'r', stream ? StreamTimeoutSeconds : 0);
    qDebug().noquote() << "tsk:" << description() << "Loading" << source;
    if (!file.isOpen())
        throw sourceError("File open error! Reason: %1, Name: %2", file.errorString(), source);
    do {
        RuFrame frame;
        if (!readFrame(file, source, frame))
            return;
        SkPacket packet(frame, -1);
        packet.setSourceText(source);
        if (file.isStream()) {
            if (!store()->appendFrame(packet, 0, m_generation, abortFlag()))
                countDropped();
            reportDropped(false);
        } else {
            store()->appendFrame(packet, ULONG_MAX, m_generation, abortFlag());
        }
        if (abortRequested() || store()->generation() != m_generation)
            return;
    } while (!file.atEnd());
    file.close();
}

// False at the end of the source or on an abort; throws on a read error.
bool SkFrameTaskLoad::readFrame(RuFile &file, const QString &source, RuFrame &frame)
{
    for (;;) {
        if (file.readFrame(frame))
            return true;
        if (abortRequested())
            return false;
        // Taken before atEnd(), which clears the handle's system errors.
        const QString reason = file.errorString();
        if (file.atEnd())
            return false;
        // A quiet radar is not an error: the time-out only lets the task look at its abort
        // request, and atEnd() has cleared it, so the handle reads on.
        if (!file.isStream() || !isReceiveTimeout(reason))
            throw sourceError("File read error! Reason: %1, Name: %2", reason, source);
    }
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
