#include "SkStreamHealth.h"

#include "SkLiveSession.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>

SkStreamHealth SkStreamHealth::of(const SkLiveSession &session)
{
    const SkStreamMonitor &monitor = *session.streamMonitor();
    SkStreamHealth health;
    health.state = monitor.state();
    health.address = monitor.address();
    health.reason = monitor.reason();
    health.retrySecondsLeft = monitor.retrySecondsLeft();
    health.frameAgeMs = monitor.msecsSinceFrame();
    health.frameIntervalMs = monitor.frameIntervalMs();
    health.framesReceived = monitor.framesReceived();
    health.framesDropped = monitor.framesDropped();
    health.recording = session.isRecording();
    if (health.recording) {
        const SkLiveSession::RecordCounts counts = session.recordCounts();
        health.framesRecorded = counts.runningFrames;
        health.recordFile = counts.runningFile;
    }
    return health;
}

bool SkStreamHealth::isSilent() const
{
    return frameAgeMs > std::max(MinSilenceMs, SilentIntervals * frameIntervalMs);
}

bool SkStreamHealth::needsAttention() const
{
    switch (state) {
    case SkStreamMonitor::Lost:
    case SkStreamMonitor::Retrying:
        return true;
    case SkStreamMonitor::Ended:
        return !reason.isEmpty();
    case SkStreamMonitor::Connecting:
    case SkStreamMonitor::Receiving:
        return isSilent();
    case SkStreamMonitor::NoStream:
        break;
    }
    return false;
}

QString SkStreamHealth::stateText() const
{
    switch (state) {
    case SkStreamMonitor::Connecting:
        return tr("Stream: connecting");
    case SkStreamMonitor::Receiving:
        return tr("Stream: receiving");
    case SkStreamMonitor::Lost:
        return tr("Stream: lost");
    case SkStreamMonitor::Retrying:
        return tr("Stream: retrying in %1 s").arg(retrySecondsLeft);
    case SkStreamMonitor::Ended:
        return tr("Stream: ended");
    case SkStreamMonitor::NoStream:
        break;
    }
    return tr("No stream");
}

QString SkStreamHealth::text() const
{
    QStringList parts{stateText()};
    if (state == SkStreamMonitor::NoStream)
        return parts.first();
    if (frameAgeMs >= 0)
        parts << tr("frame %1 ago").arg(durationText(frameAgeMs));
    parts << tr("%1 dropped").arg(framesDropped);
    if (recording) {
        parts << (recordFile.isEmpty()
                      ? tr("REC %1 frames").arg(framesRecorded)
                      : tr("REC %1 frames, %2")
                            .arg(framesRecorded)
                            .arg(QFileInfo(recordFile).fileName()));
    }
    return parts.join(QStringLiteral(" | "));
}

QString SkStreamHealth::toolTip() const
{
    if (state == SkStreamMonitor::NoStream)
        return tr("No stream is open: the frames come from files");
    QStringList lines{tr("Stream from %1").arg(address), stateText()};
    if (!reason.isEmpty())
        lines << (state == SkStreamMonitor::Ended ? tr("Ended: %1") : tr("Lost: %1")).arg(reason);
    if (frameAgeMs < 0)
        lines << tr("No frame has arrived yet");
    else if (frameIntervalMs > 0)
        lines << tr("Newest frame arrived %1 ago; frames come about every %2")
                     .arg(durationText(frameAgeMs), durationText(frameIntervalMs));
    else
        lines << tr("Newest frame arrived %1 ago").arg(durationText(frameAgeMs));
    lines << tr("Frames received: %1, dropped: %2").arg(framesReceived).arg(framesDropped);
    if (recording)
        lines << (recordFile.isEmpty()
                      ? tr("Recording: %1 frames").arg(framesRecorded)
                      : tr("Recording: %1 frames, now into %2").arg(framesRecorded).arg(recordFile));
    return lines.join(QLatin1Char('\n'));
}

QString SkStreamHealth::durationText(qint64 ms)
{
    constexpr qint64 Minute = 60;
    constexpr qint64 Hour = 60 * Minute;
    const qint64 seconds = ms / 1000;
    if (seconds < Minute)
        return tr("%1 s").arg(QLocale().toString(ms / 1000.0, 'f', 1));
    if (seconds < Hour)
        return tr("%1 min %2 s").arg(seconds / Minute).arg(seconds % Minute);
    return tr("%1 h %2 min").arg(seconds / Hour).arg(seconds % Hour / Minute);
}
