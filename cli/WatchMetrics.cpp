#include "WatchMetrics.h"

#include "RuAlarmCalculator.h"
#include "SkFrameStore.h"
#include "SkFrameTaskLoad.h"

#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

#include <QHostAddress>
#include <QRegularExpression>
#include <QStorageInfo>

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace {

constexpr int RefreshMs = 1000;

// The detectors as their parameter-file sections name them.
const char *const Detectors[] = {"av00", "av01", "av02", "rain0", "waterlevel0"};

std::string detectorName(const RuAlarmEvent &event)
{
    switch (event.source) {
    case RuAlarmEvent::Rain: return "rain" + std::to_string(event.detector);
    case RuAlarmEvent::Waterlevel: return "waterlevel" + std::to_string(event.detector);
    case RuAlarmEvent::Avalanche: break;
    }
    return "av0" + std::to_string(event.detector);
}

// The kind of an alarm-log event, as a label value.
std::string kindName(int status)
{
    switch (status) {
    case RuStatusPreAlarm: return "prealarm";
    case RuStatusPreAlarmSameRgs: return "prealarm_same_rangegates";
    case RuStatusPreAlarmComing: return "prealarm_coming";
    case RuStatusIncident: return "incident";
    case RuStatusIncidentOn: return "incident_on";
    case RuStatusIncidentOff: return "incident_off";
    case RuStatusAlarmOn: return "alarm_on";
    case RuStatusAlarmSpecial: return "special_rangegate";
    case RuStatusAlarmOff: return "alarm_off";
    case RuStatusSymmetric: return "symmetric";
    case RuStatusPeakDrop: return "central_peak_drop";
    case RuStatusPeakDropReset:
    case RuStatusSymmetricReset: return "background_reset";
    case RuStatusGeometryChanged: return "geometry_changed";
    default: return "invalid";
    }
}

bool enabled(const RuAlarmCalculator &calculator, int detector)
{
    if (detector < RuAlarmResult::Detectors)
        return calculator.avalancheEnable(detector);
    return detector == RuAlarmResult::Detectors ? calculator.rainEnable(0)
                                                : calculator.waterlevelEnable(0);
}

} // namespace

WatchMetrics::WatchMetrics(SkLiveSession *session, const QString &recordPath)
    : m_session(session), m_recordPath(recordPath),
      m_registry(std::make_shared<prometheus::Registry>()),
      m_framesReceived(counter("rrdcli_watch_frames_received_total",
                               "Frames received from the radar (or read from the files), "
                               "stored or dropped.")),
      m_framesAnalysed(counter("rrdcli_watch_frames_analysed_total",
                               "Frames the detectors have analysed.")),
      m_framesRecorded(counter("rrdcli_watch_frames_recorded_total",
                               "Frames in completed minute files.")),
      m_framesDropped(counter("rrdcli_watch_frames_dropped_total",
                              "Frames dropped because the window was full (not analysed, not "
                              "recorded).")),
      m_streamLosses(counter("rrdcli_watch_stream_losses_total",
                             "Times the stream was lost (closed, broken, garbled or silent).")),
      m_reconnects(counter("rrdcli_watch_stream_reconnects_total",
                           "Times a lost stream was reached again and delivered a frame.")),
      m_streamUp(gauge("rrdcli_watch_stream_up",
                       "1 while frames arrive; 0 before the first, while the stream is lost and "
                       "after the sources have ended.")),
      m_newestFrameAgeFamily(prometheus::BuildGauge()
                                 .Name("rrdcli_watch_newest_frame_age_seconds")
                                 .Help("Seconds since the newest frame arrived (absent before "
                                       "the first).")
                                 .Register(*m_registry)),
      m_alarmEvents(prometheus::BuildCounter()
                        .Name("rrdcli_watch_alarm_events_total")
                        .Help("Alarm-log events by detector and kind (alarm_on, alarm_off, "
                              "prealarm, incident_on, ...).")
                        .Register(*m_registry)),
      m_alarmActive(prometheus::BuildGauge()
                        .Name("rrdcli_watch_alarm_active")
                        .Help("1 while the detector is in alarm (from its ALARM ON to its "
                              "ALARM OFF), else 0.")
                        .Register(*m_registry)),
      m_detectorEnabled(prometheus::BuildGauge()
                            .Name("rrdcli_watch_detector_enabled")
                            .Help("1 when the detector runs with the settings in use, else 0.")
                            .Register(*m_registry)),
      m_scriptRuns(counter("rrdcli_watch_alarm_script_runs_total",
                           "Times the alarm script was started.")),
      m_scriptFailures(counter("rrdcli_watch_alarm_script_failures_total",
                               "Alarm-script runs that failed: not found or not executable, not "
                               "started, crashed, or ended with an exit status other than 0.")),
      m_scriptRefusals(counter("rrdcli_watch_alarm_script_refusals_total",
                               "Alarms on which the script was not started because it still "
                               "ran.")),
      m_filesWritten(counter("rrdcli_watch_minute_files_written_total",
                             "Minute files completed.")),
      m_filesMovedToAlarm(counter("rrdcli_watch_minute_files_alarm_total",
                                  "Minute files moved to the \"alarm\" folder.")),
      m_filesDeleted(counter("rrdcli_watch_minute_files_deleted_total",
                             "Minute files deleted to keep within --max-files and --min-free.")),
      m_recordErrors(counter("rrdcli_watch_record_errors_total",
                             "Minute files that could not be written, completed, moved or "
                             "deleted.")),
      m_recorderLag(gauge("rrdcli_watch_recorder_lag_frames",
                          "Frames stored but not yet written by the recorder; at the window's "
                          "size the recorder falls behind and the watch ends."))
{
    if (!m_recordPath.isEmpty()) {
        m_freeBytes = &gauge("rrdcli_watch_record_free_bytes",
                             "Bytes free to the station on the record folder's file system.");
        m_sizeBytes = &gauge("rrdcli_watch_record_size_bytes",
                             "Size of the record folder's file system in bytes.");
    }
    for (const char *detector : Detectors) {
        m_alarmActive.Add({{"detector", detector}});
        for (const char *kind : {"alarm_on", "alarm_off"})
            m_alarmEvents.Add({{"detector", detector}, {"kind", kind}});
    }
    showDetectorsEnabled(session->calculator());

    connect(session, &SkLiveSession::alarmCalculated, this,
            [this](int, const SkAlarmResultSharedPtr &, const QVector<RuAlarmEvent> &events) {
                onAlarmCalculated(events);
            });
    connect(session->store(), &SkFrameStore::dataRangeChanged, this, &WatchMetrics::onDataRange);
    connect(session, &SkLiveSession::framesDropped, this, &WatchMetrics::onFramesDropped);
    connect(session, &SkLiveSession::streamLost, this, [this] {
        m_streamLosses.Increment();
        m_streamUp.Set(0);
    });
    connect(session, &SkLiveSession::streamBack, this, [this] { m_reconnects.Increment(); });
    connect(session, &SkLiveSession::taskFinished, this, &WatchMetrics::onTaskFinished);
    connect(session, &SkLiveSession::processParametersTaken, this,
            &WatchMetrics::showDetectorsEnabled);
    connect(session, &SkLiveSession::scriptMessage, this,
            [this](const QString &, int, SkAlarmScript::Outcome outcome) { onScriptMessage(outcome); });
    connect(session, &SkLiveSession::recordError, this, [this] { m_recordErrors.Increment(); });
    connect(&m_refresh, &QTimer::timeout, this, &WatchMetrics::refresh);
    m_refresh.start(RefreshMs);
    refresh();
}

// The exposer goes first: no scrape reads the figures while they are destroyed.
WatchMetrics::~WatchMetrics()
{
    m_exposer.reset();
}

prometheus::Counter &WatchMetrics::counter(const std::string &name, const std::string &help)
{
    return prometheus::BuildCounter().Name(name).Help(help).Register(*m_registry).Add({});
}

prometheus::Gauge &WatchMetrics::gauge(const std::string &name, const std::string &help)
{
    return prometheus::BuildGauge().Name(name).Help(help).Register(*m_registry).Add({});
}

bool WatchMetrics::isAddress(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9.]+):(\\d{1,5})$"));
    const QRegularExpressionMatch m = form.match(text);
    QHostAddress address;
    return m.hasMatch() && m.captured(2).toInt() <= 65535 && address.setAddress(m.captured(1))
           && address.protocol() == QAbstractSocket::IPv4Protocol;
}

bool WatchMetrics::listen(const QString &address, QString *error)
{
    try {
        m_exposer = std::make_unique<prometheus::Exposer>(address.toStdString());
    } catch (const std::exception &e) {
        *error = QStringLiteral("cannot serve the metrics on %1 (is the port taken?): %2")
                     .arg(address, QString::fromLocal8Bit(e.what()));
        return false;
    }
    m_exposer->RegisterCollectable(m_registry);
    return true;
}

int WatchMetrics::port() const
{
    if (!m_exposer)
        return 0;
    const std::vector<int> ports = m_exposer->GetListeningPorts();
    return ports.empty() ? 0 : ports.front();
}

void WatchMetrics::onAlarmCalculated(const QVector<RuAlarmEvent> &events)
{
    m_framesAnalysed.Increment();
    for (const RuAlarmEvent &event : events) {
        const std::string detector = detectorName(event);
        m_alarmEvents.Add({{"detector", detector}, {"kind", kindName(event.status)}}).Increment();
        if (event.status == RuStatusAlarmOn || event.status == RuStatusAlarmOff)
            m_alarmActive.Add({{"detector", detector}}).Set(event.status == RuStatusAlarmOn ? 1 : 0);
    }
}

// A longer store: new frames have arrived (the window moving on only shortens it).
void WatchMetrics::onDataRange(int start, int length)
{
    const int end = start + length;
    if (end <= m_storedEnd)
        return;
    m_framesReceived.Increment(end - m_storedEnd);
    m_storedEnd = end;
    m_sinceNewest.start();
    m_streamUp.Set(1);
    if (!m_newestFrameAge)
        m_newestFrameAge = &m_newestFrameAgeFamily.Add({});
    m_newestFrameAge->Set(0);
}

void WatchMetrics::onFramesDropped(int frames)
{
    m_framesDropped.Increment(frames);
    m_framesReceived.Increment(frames);
}

void WatchMetrics::onTaskFinished(const SkFrameTask *task)
{
    if (qobject_cast<const SkFrameTaskLoad *>(task))
        m_streamUp.Set(0);
}

void WatchMetrics::onScriptMessage(SkAlarmScript::Outcome outcome)
{
    switch (outcome) {
    case SkAlarmScript::Started: m_scriptRuns.Increment(); break;
    case SkAlarmScript::Failed: m_scriptFailures.Increment(); break;
    case SkAlarmScript::Refused: m_scriptRefusals.Increment(); break;
    case SkAlarmScript::Succeeded:
    case SkAlarmScript::Ending: break;
    }
}

void WatchMetrics::showDetectorsEnabled(const RuAlarmCalculator &calculator)
{
    for (int i = 0; i < int(std::size(Detectors)); ++i)
        m_detectorEnabled.Add({{"detector", Detectors[i]}}).Set(enabled(calculator, i) ? 1 : 0);
}

void WatchMetrics::refresh()
{
    if (m_newestFrameAge)
        m_newestFrameAge->Set(m_sinceNewest.elapsed() / 1000.0);
    refreshRecording();
    refreshDisk();
}

// The recorder's counts grow on its own thread; the counters take what is new since the last
// look.
void WatchMetrics::refreshRecording()
{
    const SkLiveSession::RecordCounts now = m_session->recordCounts();
    m_framesRecorded.Increment(double(now.frames - m_recorded.frames));
    m_filesWritten.Increment(double(now.files - m_recorded.files));
    m_filesMovedToAlarm.Increment(double(now.movedToAlarm - m_recorded.movedToAlarm));
    m_filesDeleted.Increment(double(now.deleted - m_recorded.deleted));
    m_recorded = now;
    const int newest = m_session->store()->endFrame() - 1;
    m_recorderLag.Set(m_session->isRecording() ? std::max(0, newest - now.lastFrame) : 0);
}

void WatchMetrics::refreshDisk()
{
    if (!m_freeBytes)
        return;
    const QStorageInfo disk(m_recordPath);
    if (!disk.isValid())
        return;
    m_freeBytes->Set(double(disk.bytesAvailable()));
    m_sizeBytes->Set(double(disk.bytesTotal()));
}
