// The operator's actions on the data: recording the stream and the alarm script (through the
// recording controller), saving the frames in memory, the spreadsheet exports and the
// snapshot (through the export service). The window chooses what is saved and shows the
// outcome; the classes do the work.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "SkActivityCurveData.h"
#include "SkExportService.h"
#include "SkPlotActivities.h"
#include "SkRecordingController.h"

#include <QCursor>
#include <QDebug>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSettings>

void SkMainWindow::setupOperations()
{
    SkRecordingController *recording = m_recording.get();
    connect(recording, &SkRecordingController::availableChanged, ui->actionRecordStart,
            &QAction::setEnabled);
    connect(recording, &SkRecordingController::recordingChanged, ui->actionRecordStart,
            &QAction::setChecked);
    connect(recording, &SkRecordingController::message, this, &SkMainWindow::showMessage);
    connect(recording, &SkRecordingController::failure, this, &SkMainWindow::showFailure);

    SkExportService *exports = m_exports.get();
    connect(exports, &SkExportService::busyChanged, this, &SkMainWindow::onExportBusy);
    connect(exports, &SkExportService::progress, m_saveProgress, [this](int done, int total) {
        m_saveProgress->setRange(0, total);
        m_saveProgress->setValue(done);
    });
    connect(exports, &SkExportService::message, this, &SkMainWindow::showMessage);
    connect(exports, &SkExportService::failure, this, &SkMainWindow::showFailure);
}

// A second save or export waits until this one, which lets the event loop run, has ended.
void SkMainWindow::onExportBusy(bool busy)
{
    m_saveProgress->setVisible(busy);
    ui->actionSave_frames->setEnabled(!busy);
    ui->exportRowAction->setEnabled(!busy);
}

// ---- Recording and the alarm script ---------------------------------------------------------

void SkMainWindow::onRunAlarmScriptRequested()
{
    m_recording->runAlarmScript();
}

// The action stays off while the checks and questions run, so they cannot start twice.
void SkMainWindow::on_actionRecordStart_triggered()
{
    QAction *action = ui->actionRecordStart;
    action->setEnabled(false);
    const bool recording = m_recording->toggle();
    action->setEnabled(m_recording->isAvailable() || m_recording->isRecording());
    action->setChecked(recording);
}

// ---- Saving and exporting -------------------------------------------------------------------

void SkMainWindow::on_actionSave_frames_triggered()
{
    if (m_exports->isBusy())
        return;
    const QString path = m_exports->askFramesFile();
    if (!path.isEmpty())
        m_exports->saveFrames(path, SkExportService::heldPackets(store()), m_sources);
}

void SkMainWindow::on_exportRowAction_triggered()
{
    if (m_exports->isBusy())
        return;
    const int row = ui->extractRowSpinBox->value();
    const QString name =
        QStringLiteral("%1%2.xlsx").arg(SkExportService::namePrefix(m_sources)).arg(row);
    const QString path = m_exports->askSpreadsheet(tr("Export row to"), name);
    if (!path.isEmpty())
        m_exports->exportRow(path, SkExportService::heldPackets(store()), m_view->showWhat(),
                             row);
}

void SkMainWindow::on_plotActivity_customContextMenuRequested(const QPoint &pos)
{
    Q_UNUSED(pos)
    QMenu menu(tr("Export menu"), this);
    menu.setObjectName(QStringLiteral("exportMenu"));
    menu.addAction(m_showLegendAction);
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id) {
        QAction *action =
            menu.addAction(tr("Export plot %1 ..").arg(SkPlotActivities::curveName(id)));
        connect(action, &QAction::triggered, this, [this, id] { exportPlot(id); });
    }
    menu.exec(QCursor::pos());
}

void SkMainWindow::exportPlot(int source)
{
    if (source < 0 || source >= SkPlotActivities::CurveCount) {
        qWarning() << "mnw: No data for exporting found!";
        return;
    }
    const auto id = SkActivityPlotId(source);
    if (ui->plotActivity->series(id).isEmpty()) {
        qWarning() << "mnw: No data for exporting available!";
        return;
    }
    QString name = SkPlotActivities::curveName(source);
    name.remove(QRegularExpression(QStringLiteral("[\\s]")));
    const QString path = m_exports->askSpreadsheet(
        tr("Save file to"),
        QStringLiteral("%1%2.xlsx").arg(SkExportService::namePrefix(m_sources), name));
    if (path.isEmpty())
        return;
    // The points as they are now: results went on arriving while the dialog was open.
    SkExportService::Curve curve;
    curve.name = SkPlotActivities::curveName(source);
    curve.unit = SkPlotActivities::curveUnit(source);
    for (const SkActivityCurveData *data : ui->plotActivity->series(id))
        curve.series.append(data->points());
    if (curve.series.isEmpty())
        return;
    curve.times = SkExportService::frameTimes(store(), curve.series.first());
    const bool header = QSettings().value(QStringLiteral("writeXLSHeader"), true).toBool();
    m_exports->exportCurve(path, curve, header);
}

// ---- Snapshot -------------------------------------------------------------------------------

void SkMainWindow::on_snapShotAction_triggered()
{
    const SkPacket packet = m_view->displayedPacket();
    if (!packet.hasFrame())
        return;
    const QPixmap picture = ui->plotCenter->grab();
    if (picture.isNull()) {
        showFailure(tr("Screen capture failed!"));
        return;
    }
    const QString folder = m_exports->snapshotFolder();
    if (!folder.isEmpty())
        m_exports->saveSnapshot(picture, packet, folder);
}
