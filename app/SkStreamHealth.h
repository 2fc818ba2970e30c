#pragma once
// What the stream-health indicator shows, as plain values taken from the live session at one
// moment, and the texts made of them: the line in the status bar, its tool tip, and whether
// it calls for attention (a stream lost, or silent for longer than a few frame intervals).

#include "SkStreamMonitor.h"

#include <QCoreApplication>
#include <QString>

class SkLiveSession;

class SkStreamHealth
{
    Q_DECLARE_TR_FUNCTIONS(SkStreamHealth)

public:
    // Silence shorter than this is never alarming, however fast the frames came.
    static constexpr qint64 MinSilenceMs = 2000;
    // Silence longer than this many usual frame intervals is.
    static constexpr qint64 SilentIntervals = 3;

    SkStreamMonitor::State state = SkStreamMonitor::NoStream;
    QString address;
    QString reason;
    int retrySecondsLeft = 0;
    qint64 frameAgeMs = -1; // -1: no frame yet
    qint64 frameIntervalMs = 0;
    qint64 framesReceived = 0;
    qint64 framesDropped = 0;
    bool recording = false;
    qint64 framesRecorded = 0;
    QString recordFile; // path of the minute file being written

    static SkStreamHealth of(const SkLiveSession &session);

    // The newest frame is older than a few frame intervals.
    bool isSilent() const;
    // Shown in red: lost, waiting to retry, ended with an error, or silent.
    bool needsAttention() const;
    QString text() const;
    QString toolTip() const;

    // "0.2 s", "12.0 s", "3 min 5 s", "2 h 7 min".
    static QString durationText(qint64 ms);

private:
    QString stateText() const;
};
