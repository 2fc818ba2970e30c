#include "SkRecordingController.h"

#include "SkDialogConfigure.h"
#include "SkFrameStore.h"
#include "SkFrameTaskRecord.h"
#include "SkLiveSession.h"
#include "SkRecordFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

QMessageBox::StandardButton ask(QWidget *parent, const QString &title, const QString &text,
                                const QString &informative, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("recordQuestion"));
    box.setWindowTitle(title);
    box.setText(text);
    box.setInformativeText(informative);
    box.setStandardButtons(buttons);
    return QMessageBox::StandardButton(box.exec());
}

// Minute files of earlier recordings below the folder, oldest first, with a question after
// every thousand found.
SkFrameTaskRecord::FileList scanOldMinuteFiles(QWidget *parent, const SkRecordFolder &folder)
{
    return folder.oldMinuteFiles([parent](int found) {
        const auto answer =
            ask(parent, SkRecordingController::tr("Long duration of file scannning"),
                SkRecordingController::tr("%1 *.rrd0.gz files found.").arg(found),
                SkRecordingController::tr("Should I continue scanning and import files?"),
                QMessageBox::Yes | QMessageBox::Abort);
        return answer == QMessageBox::Yes;
    });
}

} // namespace

SkRecordingController::SkRecordingController(SkLiveSession *session, SkDialogConfigure *options,
                                             QWidget *dialogParent)
    : QObject(nullptr), m_session(session), m_options(options), m_dialogParent(dialogParent)
{
    // The session starts the script on an alarm: it always knows the path in the options.
    if (auto *script = options->findChild<QLineEdit *>(QStringLiteral("lineEditTriggerAlarm")))
        connect(script, &QLineEdit::textChanged, session, &SkLiveSession::setAlarmScript);
    session->setAlarmScript(options->alarmScriptPath());

    connect(session, &SkLiveSession::recordError, this,
            [this](const QString &file, const QString &cause) {
                emit message(tr("Recording: %1: %2").arg(file, cause), 0);
            });
    connect(session, &SkLiveSession::recordingChanged, this,
            &SkRecordingController::recordingChanged);
    connect(session, &SkLiveSession::taskFinished, this, &SkRecordingController::onTaskFinished);
    connect(session, &SkLiveSession::scriptMessage, this, &SkRecordingController::message);
    connect(session->store(), &SkFrameStore::dataRangeChanged, this,
            &SkRecordingController::onDataRangeChanged);
}

bool SkRecordingController::isRecording() const
{
    return m_session->isRecording();
}

// Files are on the disk already: only a stream is recorded, once its frames arrive. A stream
// given up for files ends its recording.
void SkRecordingController::onDataRangeChanged(int start, int length)
{
    Q_UNUSED(start)
    const bool stream = m_session->isStream();
    if (!stream && m_session->isRecording())
        m_session->stopRecording();
    const bool available = stream && length > 0;
    if (available == m_available)
        return;
    m_available = available;
    emit availableChanged(available);
}

bool SkRecordingController::toggle()
{
    if (m_session->isRecording()) {
        m_session->stopRecording();
        m_session->store()->wakeAll();
        return false;
    }
    if (!m_available || m_checking)
        return false;
    m_checking = true;
    const bool started = start();
    m_checking = false;
    return started && m_session->isRecording();
}

void SkRecordingController::runAlarmScript()
{
    m_session->setAlarmScript(m_options->alarmScriptPath());
    m_session->runAlarmScript();
}

void SkRecordingController::refuse(const QString &text, const QString &informative)
{
    QMessageBox box(m_dialogParent);
    box.setObjectName(QStringLiteral("recordRefusal"));
    box.setIcon(QMessageBox::Critical);
    box.setWindowTitle(tr("Error recording"));
    box.setText(text);
    box.setInformativeText(informative);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

// The record path of the options, or the default folder when that exists; "" after a refusal.
QString SkRecordingController::checkedRecordPath()
{
    QString path = m_options->recordPath();
    if (path.isEmpty()) {
        const QString fallback = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                                 + QStringLiteral("/Skarnel");
        if (!QFileInfo(fallback).isDir()) {
            refuse(tr("No record path is set!"),
                   tr("Recording not possible! Choose a record path in the options."));
            return QString();
        }
        path = fallback;
        m_options->setRecordPath(path);
    }
    if (!SkRecordFolder(path).isUsable()) {
        refuse(tr("Record path is not writeable!"),
               tr("Recording not possible! Choose a new path!"));
        return QString();
    }
    return path;
}

// Every check and question before the record task starts; false when recording does not start.
bool SkRecordingController::start()
{
    QString path = checkedRecordPath();
    if (path.isEmpty())
        return false;
    const SkRecordFolder folder(path);
    const SkRecordFolder::FreeSpace space = folder.freeSpace();
    SkFrameTaskRecord::FileList oldFiles;
    if (m_options->recordImportOldFiles())
        oldFiles = scanOldMinuteFiles(m_dialogParent, folder);
    const QString spaceText = tr("Currently available: %1% of %2TiB")
                                  .arg(space.percent, 0, 'f', 1)
                                  .arg(space.totalTiB, 0, 'f', 2);
    if (space.isKnown() && !oldFiles.isEmpty()) {
        const auto answer = ask(m_dialogParent, tr("Found files for deleting"),
                                tr("%1 *.rrd0.gz files found for deleting!").arg(oldFiles.size()),
                                tr("Delete files as necessary?\nOldest files first.\n") + spaceText,
                                QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes)
            oldFiles.clear();
    }
    const int minFree = m_options->recordPreserveDiskSpacePercent();
    if (space.isBelow(minFree)) {
        const auto answer = ask(m_dialogParent, tr("Disk full"),
                                tr("%1 *.rrd0.gz files found for deleting!").arg(oldFiles.size()),
                                tr("Minimal free disk space (%1%) reached!\nContinue recording?\n")
                                        .arg(minFree)
                                    + spaceText,
                                QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return false;
    }
    if (m_options->recordSubfolder()) {
        QString name = SkFrameTaskRecord::minuteFileName(QDateTime::currentDateTimeUtc());
        name.chop(int(qstrlen(".rrd0.gz")));
        path += QLatin1Char('/') + name;
        if (!QDir().mkpath(path)) {
            refuse(tr("Record path is not writeable!"),
               tr("Recording not possible! Choose a new path!"));
            return false;
        }
    }
    // The questions let the event loop run: the stream may have been given up meanwhile.
    if (!m_available)
        return false;
    SkLiveSession::RecordOptions options;
    options.path = path;
    options.maxFiles = m_options->recordMaxFiles();
    options.minFreePercent = minFree;
    options.oldFiles = oldFiles;
    m_folder = path;
    m_session->setAlarmScript(m_options->alarmScriptPath());
    m_session->startRecording(options);
    emit message(tr("Recording to %1").arg(path), 4000);
    return true;
}

// The record task's end is worded here: what was written, and where.
void SkRecordingController::onTaskFinished(const SkFrameTask *task, int status, const QString &)
{
    const auto *recorder = qobject_cast<const SkFrameTaskRecord *>(task);
    if (!recorder)
        return;
    const QString written = tr("%1 frames written to %3 (minute files: %2)")
                                 .arg(recorder->framesWritten())
                                 .arg(recorder->filesWritten())
                                 .arg(recorder->recordPath());
    if (status == SkTaskFailed)
        emit failure(tr("Recording ended: %1 (%2)").arg(recorder->errorString(), written));
    else
        emit message(tr("Recording stopped: %1").arg(written), 0);
}
