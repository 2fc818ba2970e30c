#pragma once
// The station's figures for a monitoring system: `rrdcli watch --metrics ADDRESS:PORT` offers
// them at http://ADDRESS:PORT/metrics in Prometheus' text format, served by prometheus-cpp's
// exposer on threads of its own. The counters follow the live session's signals as they come;
// what the recorder and the disk say, and the age of the newest frame, are looked at every
// second, on the session's thread like everything else here.
//
// Every name starts with "rrdcli_watch_"; counters end in "_total", times are in seconds and
// sizes in bytes. The detectors are labelled by their parameter-file sections (av00, av01,
// av02, rain0, waterlevel0).

#include "RuAlarmEvent.h"
#include "RuAlarmResult.h"
#include "SkAlarmScript.h"
#include "SkLiveSession.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <string>

namespace prometheus {
class Counter;
class Exposer;
class Gauge;
class Registry;
template <typename T>
class Family;
} // namespace prometheus

class RuAlarmCalculator;
class SkFrameTask;

class WatchMetrics : public QObject
{
public:
    // Figures of `session` (which must outlive this object); `recordPath` is the record
    // folder whose disk is watched (none without recording).
    WatchMetrics(SkLiveSession *session, const QString &recordPath);
    ~WatchMetrics() override;

    // True for "ADDRESS:PORT" with a numeric IPv4 address and a port 0-65535 (the exposer's
    // server, as Debian builds it, cannot listen on IPv6).
    static bool isAddress(const QString &text);
    // Serves the figures on `address` (port 0: a free one); false with the reason.
    bool listen(const QString &address, QString *error);
    // The port served on; 0 before listen().
    int port() const;

private:
    prometheus::Counter &counter(const std::string &name, const std::string &help);
    prometheus::Gauge &gauge(const std::string &name, const std::string &help);
    void onAlarmCalculated(const QVector<RuAlarmEvent> &events);
    void onDataRange(int start, int length);
    void onFramesDropped(int frames);
    void onTaskFinished(const SkFrameTask *task);
    void onScriptMessage(SkAlarmScript::Outcome outcome);
    void showDetectorsEnabled(const RuAlarmCalculator &calculator);
    void refresh();
    void refreshRecording();
    void refreshDisk();

    SkLiveSession *m_session; // not owned
    const QString m_recordPath;
    std::shared_ptr<prometheus::Registry> m_registry;
    std::unique_ptr<prometheus::Exposer> m_exposer;

    prometheus::Counter &m_framesReceived;
    prometheus::Counter &m_framesAnalysed;
    prometheus::Counter &m_framesRecorded;
    prometheus::Counter &m_framesDropped;
    prometheus::Counter &m_streamLosses;
    prometheus::Counter &m_reconnects;
    prometheus::Gauge &m_streamUp;
    prometheus::Family<prometheus::Gauge> &m_newestFrameAgeFamily;
    prometheus::Gauge *m_newestFrameAge = nullptr; // from the first frame on
    prometheus::Family<prometheus::Counter> &m_alarmEvents;
    prometheus::Family<prometheus::Gauge> &m_alarmActive;
    prometheus::Family<prometheus::Gauge> &m_detectorEnabled;
    prometheus::Counter &m_scriptRuns;
    prometheus::Counter &m_scriptFailures;
    prometheus::Counter &m_scriptRefusals;
    prometheus::Counter &m_filesWritten;
    prometheus::Counter &m_filesMovedToAlarm;
    prometheus::Counter &m_filesDeleted;
    prometheus::Counter &m_recordErrors;
    prometheus::Gauge &m_recorderLag;
    prometheus::Gauge *m_freeBytes = nullptr; // with a record folder only
    prometheus::Gauge *m_sizeBytes = nullptr;

    int m_storedEnd = 0;            // frames stored so far (the store's end)
    QElapsedTimer m_sinceNewest;    // since the newest frame arrived; invalid before one
    SkLiveSession::RecordCounts m_recorded; // counted into the counters so far
    QTimer m_refresh;
};
