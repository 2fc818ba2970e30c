// Recording the live stream into minute files, saving the frames in memory and the alarm
// script: the operator's side of the window. The record task and the
// script runner belong to the live session; this file checks what the user asked for, asks
// the questions and shows what the session reports.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "RuFile.h"
#include "SkDialogConfigure.h"
#include "SkFrameStore.h"
#include "SkFrameTaskRecord.h"
#include "SkLiveSession.h"
#include "rrd.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStatusBar>

#include <algorithm>

namespace {

constexpr int ScanQuestionEvery = 1000;

struct DiskSpace
{
    double availablePercent = -1; // -1: the query failed
    double totalTiB = 0;
};

DiskSpace diskSpace(const QString &path)
{
    DiskSpace space;
    uint64_t total = 0, totalFree = 0, available = 0;
    const QByteArray name = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    if (rrd_disk_space(name.constData(), &total, &totalFree, &available) != 0 || total == 0)
        return space;
    space.availablePercent = double(available) / double(total) * 100.0;
    space.totalTiB = double(total) / double(uint64_t(1) << 40);
    return space;
}

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

void refuseRecordPath(QWidget *parent)
{
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("recordRefusal"));
    box.setIcon(QMessageBox::Critical);
    box.setWindowTitle(SkMainWindow::tr("Error recording"));
    box.setText(SkMainWindow::tr("Record path is not writeable!"));
    box.setInformativeText(SkMainWindow::tr("Recording not possible! Choose a new path!"));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

// Minute files of earlier recordings below `path`, with a question after every thousand.
SkFrameTaskRecord::FileList scanOldMinuteFiles(QWidget *parent, const QString &path)
{
    SkFrameTaskRecord::FileList files;
    QDirIterator it(path, {QStringLiteral("*.rrd0.gz")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QDateTime created = info.birthTime();
        if (!created.isValid())
            created = info.lastModified();
        files.append({created, info.absoluteFilePath()});
        if (files.size() % ScanQuestionEvery != 0)
            continue;
        const auto answer = ask(parent, SkMainWindow::tr("Long duration of file scannning"),
                                SkMainWindow::tr("%1 *.rrd0.gz files found.").arg(files.size()),
                                SkMainWindow::tr("Should I continue scanning and import files?"),
                                QMessageBox::Yes | QMessageBox::Abort);
        if (answer != QMessageBox::Yes)
            return {};
    }
    return files;
}

} // namespace

void SkMainWindow::setupOperations()
{
    // The session starts the script on an alarm: it always knows the path in the options.
    if (auto *script = m_configureDialog->findChild<QLineEdit *>(QStringLiteral("lineEditTriggerAlarm")))
        connect(script, &QLineEdit::textChanged, m_session.get(), &SkLiveSession::setAlarmScript);
    m_session->setAlarmScript(m_configureDialog->alarmScriptPath());

    SkLiveSession *session = m_session.get();
    connect(session, &SkLiveSession::recordError, this, [this](const QString &file, const QString &cause) {
        statusBar()->showMessage(tr("Recording: %1: %2").arg(file, cause));
    });
    connect(session, &SkLiveSession::recordingChanged, this, [this](bool recording) {
        ui->actionRecordStart->setChecked(recording);
    });
    // Recording needs something to record: the action comes on with the first frame.
    connect(store(), &SkFrameStore::dataRangeChanged, this, [this](int, int len) {
        if (len > 0 && !m_recordChecksRunning)
            ui->actionRecordStart->setEnabled(true);
    });
}

// ---- Alarm script ---------------------------------------------------------------------------

void SkMainWindow::onRunAlarmScriptRequested()
{
    m_session->setAlarmScript(m_configureDialog->alarmScriptPath());
    m_session->runAlarmScript();
}

// ---- Recording ------------------------------------------------------------------------------

void SkMainWindow::on_actionRecordStart_triggered()
{
    QAction *action = ui->actionRecordStart;
    if (m_session->isRecording()) {
        m_session->stopRecording();
        store()->wakeAll();
        action->setChecked(false);
        return;
    }
    m_recordChecksRunning = true;
    action->setEnabled(false);
    const bool started = startRecording();
    action->setEnabled(true);
    m_recordChecksRunning = false;
    action->setChecked(started && m_session->isRecording());
}

// Every check and question before the record task starts; false when recording does not start.
bool SkMainWindow::startRecording()
{
    QString path = m_configureDialog->recordPath();
    if (path.isEmpty()) {
        path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
               + QStringLiteral("/Skarnel");
        m_configureDialog->setRecordPath(path);
    }
    const QFileInfo folder(path);
    if (!folder.isDir() || !folder.isWritable()) {
        refuseRecordPath(this);
        return false;
    }
    const DiskSpace space = diskSpace(path);
    SkFrameTaskRecord::FileList oldFiles;
    if (m_configureDialog->recordImportOldFiles())
        oldFiles = scanOldMinuteFiles(this, path);
    const QString spaceText = tr("Currently available: %1% of %2TiB")
                                  .arg(space.availablePercent, 0, 'f', 1)
                                  .arg(space.totalTiB, 0, 'f', 2);
    if (space.availablePercent >= 0 && !oldFiles.isEmpty()) {
        const auto answer = ask(this, tr("Found files for deleting"),
                                tr("%1 *.rrd0.gz files found for deleting!").arg(oldFiles.size()),
                                tr("Delete files as necessary?\nOldest files first.\n") + spaceText,
                                QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes)
            std::stable_sort(oldFiles.begin(), oldFiles.end(),
                             [](const auto &a, const auto &b) { return a.first < b.first; });
        else
            oldFiles.clear();
    }
    const int minFree = m_configureDialog->recordPreserveDiskSpacePercent();
    if (space.availablePercent >= 0 && space.availablePercent < minFree) {
        const auto answer = ask(this, tr("Disk full"),
                                tr("%1 *.rrd0.gz files found for deleting!").arg(oldFiles.size()),
                                tr("Minimal free disk space (%1%) reached!\nContinue recording?\n")
                                        .arg(minFree)
                                    + spaceText,
                                QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return false;
    }
    if (m_configureDialog->recordSubfolder()) {
        QString name = SkFrameTaskRecord::minuteFileName(QDateTime::currentDateTimeUtc());
        name.chop(int(qstrlen(".rrd0.gz")));
        path += QLatin1Char('/') + name;
        if (!QDir().mkpath(path)) {
            refuseRecordPath(this);
            return false;
        }
    }
    SkLiveSession::RecordOptions options;
    options.path = path;
    options.maxFiles = m_configureDialog->recordMaxFiles();
    options.minFreePercent = minFree;
    options.oldFiles = oldFiles;
    m_session->setAlarmScript(m_configureDialog->alarmScriptPath());
    m_session->startRecording(options);
    statusBar()->showMessage(tr("Recording to %1").arg(path), 4000);
    return true;
}

// ---- Saving the frames in memory ------------------------------------------------------------

void SkMainWindow::on_actionSave_frames_triggered()
{
    if (m_operationRunning)
        return;
    const QString path = QFileDialog::getSaveFileName(this, tr("Save file to"), QStringLiteral("*.rrd0.gz"),
                                                      tr("gz (*.rrd0.gz)"));
    // The proposed name is a pattern, not a file to write.
    if (path.isEmpty() || QFileInfo(path).fileName().contains(QRegularExpression(QStringLiteral("[*?]"))))
        return;
    // Copies: the store goes on loading, and a frame that leaves it meanwhile is still written.
    const QVector<SkPacket> packets = copyHeldPackets();
    RuFile file(path, 'w');
    if (!file.isOpen()) {
        statusBar()->showMessage(tr("Open failed! %1: %2").arg(path, file.errorString()));
        return;
    }
    beginOperation(packets.size());
    QString failure;
    for (int i = 0; i < packets.size() && failure.isEmpty(); ++i) {
        QCoreApplication::processEvents();
        m_saveProgress->setValue(i);
        if (file.writeFrame(packets.at(i).frame()) != 0) {
            failure = file.errorString();
            qDebug().noquote() << "mnw: Write failed with error" << failure;
        }
    }
    if (!file.close() && failure.isEmpty())
        failure = file.errorString();
    endOperation();
    if (!failure.isEmpty())
        statusBar()->showMessage(tr("Write failed! %1: %2").arg(path, failure));
    else
        statusBar()->showMessage(tr("%1 frames saved to %2").arg(packets.size()).arg(path), 4000);
}
