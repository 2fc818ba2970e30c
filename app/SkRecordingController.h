#pragma once
// Recording a live stream, as the operator drives it with "Start Record": whether recording is
// possible (a stream whose frames have started to arrive; never files, whose frames are on the
// disk already), the checks and questions before a recording starts (the record path, earlier
// minute files, free disk space, a subfolder per recording), starting and stopping it through
// the live session, and the texts of what the recorder and the alarm script report.
//
// The options come from the options dialog at the moment a recording starts. Outcomes are
// reported by message() and failure(); the questions and refusals are message boxes.

#include <QObject>
#include <QString>

class QWidget;
class SkDialogConfigure;
class SkFrameTask;
class SkLiveSession;

class SkRecordingController : public QObject
{
    Q_OBJECT

public:
    // `session` and `options` outlive the controller; boxes open over `dialogParent`.
    SkRecordingController(SkLiveSession *session, SkDialogConfigure *options,
                          QWidget *dialogParent);

    // A stream is open and has delivered frames.
    bool isAvailable() const { return m_available; }
    bool isRecording() const;
    // The record action: stops a recording at once, or starts one after the checks and
    // questions. False when no recording runs afterwards.
    bool toggle();
    // Runs the alarm script now (the options' "Test").
    void runAlarmScript();

    // The folder the recording goes to: the record path, plus the subfolder when asked for.
    QString recordFolder() const { return m_folder; }

signals:
    void availableChanged(bool available);
    void recordingChanged(bool recording);
    void message(const QString &text, int timeoutMs);
    void failure(const QString &text);

private:
    bool start();
    QString checkedRecordPath();
    void refuse(const QString &text, const QString &informative);
    void onDataRangeChanged(int start, int length);
    void onTaskFinished(const SkFrameTask *task, int status, const QString &);

    SkLiveSession *m_session;      // not owned
    SkDialogConfigure *m_options;  // not owned
    QWidget *m_dialogParent;       // not owned
    QString m_folder;
    bool m_available = false;
    bool m_checking = false;
};
