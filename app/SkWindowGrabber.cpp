#include "SkWindowGrabber.h"

#include "SkDialogConfigure.h"
#include "SkDialogPicture.h"
#include "SkFrameStore.h"
#include "SkFrameTaskLoad.h"
#include "SkLiveSession.h"
#include "SkMainWindow.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <QPixmap>

#include <cstdio>

namespace {

void printLine(FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

// Time for the last queued drawings after the jobs have ended, and how often to wait so.
constexpr int SettleMs = 150;
constexpr int MaxSettleTries = 40;

} // namespace

SkWindowGrabber::SkWindowGrabber(SkMainWindow *window, const SkCommandLine &commandLine,
                                 QObject *parent)
    : QObject(parent), m_window(window), m_commandLine(commandLine)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(DefaultTimeoutMs);
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        const QString missing = missingData();
        if (!missing.isEmpty()) {
            fail(missing);
            return;
        }
        printLine(stderr, QStringLiteral("skarnel: the first batch was not analysed within "
                                         "%1 s; writing what there is")
                              .arg(m_timeout.interval() / 1000));
        prepare();
    });
    connect(&m_settle, &QTimer::timeout, this, &SkWindowGrabber::write);
}

void SkWindowGrabber::start()
{
    SkLiveSession *session = m_window->session();
    connect(session, &SkLiveSession::alarmCalculated, this,
            [this](int frameno) { onAlarmCalculated(frameno); });
    connect(session, &SkLiveSession::nextBatchAvailable, this,
            &SkWindowGrabber::onNextBatchAvailable);
    connect(session, &SkLiveSession::analysisComplete, this, &SkWindowGrabber::prepare);
    connect(session, &SkLiveSession::taskFinished, this, &SkWindowGrabber::onTaskFinished);
    connect(session, &SkLiveSession::alarmRestarting, this, [this] { m_lastResult = -1; });
    connect(m_window, &SkMainWindow::plotSettled, this, &SkWindowGrabber::onSettled);
    if (!m_commandLine.unmatched.isEmpty()) {
        fail(QStringLiteral("%1 names no data file").arg(m_commandLine.unmatched.join(QStringLiteral(", "))));
        return;
    }
    m_timeout.start();
    if (m_window->sources().isEmpty())
        prepare();
}

bool SkWindowGrabber::frameReached() const
{
    return m_commandLine.grabFrame < 0 || m_lastResult >= m_commandLine.grabFrame;
}

// What the sources lack for the picture asked for, once the wait for them is over; empty when
// nothing is missing (or the sources failed, which is reported as such).
QString SkWindowGrabber::missingData() const
{
    if (m_window->sources().isEmpty() || m_loadFailed)
        return QString();
    const int frames = m_window->store()->endFrame();
    const int waited = m_timeout.interval() / 1000;
    if (frames == 0)
        return m_timeout.isActive() ? QStringLiteral("the sources hold no frame")
                                    : QStringLiteral("no frame arrived within %1 s").arg(waited);
    if (frameReached())
        return QString();
    if (m_timeout.isActive())
        return QStringLiteral("--frame %1: the sources hold frames 0 to %2")
            .arg(m_commandLine.grabFrame)
            .arg(frames - 1);
    return QStringLiteral("--frame %1: not reached within %2 s").arg(m_commandLine.grabFrame).arg(waited);
}

void SkWindowGrabber::fail(const QString &message)
{
    m_done = true;
    m_timeout.stop();
    printLine(stderr, QStringLiteral("skarnel: %1; %2 not written").arg(message, m_commandLine.grabFile));
    QMetaObject::invokeMethod(this, [this] { emit finished(1); }, Qt::QueuedConnection);
}

void SkWindowGrabber::onAlarmCalculated(int frameno)
{
    m_lastResult = frameno;
    // A stream plays on by itself; its first window is complete once it is full and analysed.
    const bool windowAnalysed = frameno + 1 >= m_window->maxFrames();
    if (windowAnalysed && frameReached())
        prepare();
}

void SkWindowGrabber::onNextBatchAvailable()
{
    if (frameReached())
        prepare();
    else
        m_window->session()->releaseNextBatch();
}

void SkWindowGrabber::onTaskFinished(const SkFrameTask *task, int status, const QString &message)
{
    if (!qobject_cast<const SkFrameTaskLoad *>(task) || status == 0 || status == 1)
        return;
    m_loadFailed = true;
    printLine(stderr, QStringLiteral("skarnel: %1").arg(message));
}

void SkWindowGrabber::prepare()
{
    // With --process-params nothing is analysed before the radar's settings are taken.
    const bool awaitingSettings =
        m_window->session()->state() == SkLiveSession::AwaitingSettings;
    if (m_done || m_preparing || (awaitingSettings && m_timeout.isActive()))
        return;
    const QString missing = missingData();
    if (!missing.isEmpty()) {
        fail(missing);
        return;
    }
    m_preparing = true;
    m_timeout.stop();
    // Pause, as the user would to look at a frame: a stream goes on being read and analysed,
    // the window holds the frame it shows.
    m_window->setPlaying(false);
    if (m_commandLine.grabType >= 0)
        m_window->setShowWhat(m_commandLine.grabType);
    if (m_commandLine.grabZMax > 0)
        m_window->setColourScaleTop(m_commandLine.grabZMax);
    if (m_commandLine.grabPeakShift >= 0)
        m_window->setPeakShift(m_commandLine.grabPeakShift);
    if (m_commandLine.grabRangegate >= 0)
        m_window->setMarkerRangegate(m_commandLine.grabRangegate);
    if (m_commandLine.grabChannel >= 0)
        m_window->setMarkerChannel(m_commandLine.grabChannel);
    if (m_commandLine.grabView >= 0)
        m_window->setShowHow(m_commandLine.grabView);
    for (const QString &dock : qAsConst(m_commandLine.grabDocks))
        m_window->raiseDock(dock);
    if (m_commandLine.grabFrame >= 0)
        m_window->showFrame(m_commandLine.grabFrame);
    else if (m_window->isStreamMode() && m_lastResult >= m_window->store()->startFrame())
        m_window->showFrame(m_lastResult); // the newest analysed frame, as follow mode shows
    m_window->flushPlotUpdate();
    if (m_window->isPlotSettled())
        onSettled();
}

void SkWindowGrabber::onSettled()
{
    if (m_preparing && !m_done)
        m_settle.start();
}

void SkWindowGrabber::write()
{
    if (m_done)
        return;
    // A source that keeps changing the window is drawn as it stands after a while.
    if (!m_window->isPlotSettled() && ++m_settleTries < MaxSettleTries) {
        m_settle.start();
        return;
    }
    m_done = true;
    m_window->flushPlotUpdate();
    const QString path = m_commandLine.grabFile;
    const QPixmap picture = m_commandLine.grabDialog.isEmpty()
                                ? m_window->grab()
                                : SkDialogPicture::grabTabs(m_window->configureDialog());
    if (picture.isNull() || !picture.save(path, "PNG")) {
        printLine(stderr, QStringLiteral("skarnel: cannot write %1").arg(path));
        emit finished(1);
        return;
    }
    printLine(stdout, QFileInfo(path).absoluteFilePath());
    emit finished(m_loadFailed ? 1 : 0);
}
