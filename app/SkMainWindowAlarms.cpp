// Alarm results, the alarm log and the parameter dock: what the window does with each result
// the live session hands over, the log of its events and the frames its rows lead to, and how
// "Recalculate" and "PP" restart the computation.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "RuAlarmCalculator.h"
#include "RuAlarmEvent.h"
#include "SkActivityMarkerLevels.h"
#include "SkAlarmIndicator.h"
#include "SkAlarmLogControls.h"
#include "SkAlarmLogModel.h"
#include "SkAlarmLogView.h"
#include "SkExportService.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkParameterWidgets.h"
#include "SkPlotActivities.h"

#include <QProgressBar>
#include <QStatusBar>

// ---- Results --------------------------------------------------------------------------------

// The session has taken the result in frame order, paced the batches and derived its events
// (the steps both front ends share); the window shows it. The activity plot is fed apart
// (SkMainWindowActivity.cpp).
void SkMainWindow::onAlarmCalculated(int frameno, const SkAlarmResultSharedPtr &,
                                     const QVector<RuAlarmEvent> &events)
{
    if (!ui->firstFrameAction->isChecked() && frameno == shownFrame())
        scheduleUpdatePlot();
    for (const RuAlarmEvent &event : events)
        logEvent(frameno, event);
}

// ---- The alarm log --------------------------------------------------------------------------

// The filter between the log and its table, the dock's controls and the status bar's
// indicator of the alarms on now, which follows the log.
void SkMainWindow::setupLog()
{
    m_log = new SkAlarmLogModel(this);
    const SkAlarmLogControls::Widgets widgets = {ui->tableLog, ui->logDetectorsToolButton,
                                                 ui->logKindsToolButton, ui->logExportToolButton,
                                                 ui->logRowsLabel};
    auto *controls = new SkAlarmLogControls(
        m_log, widgets, [this] { return SkExportService::namePrefix(m_sources); }, this);
    connect(controls, &SkAlarmLogControls::message, this, &SkMainWindow::showMessage);
    connect(controls, &SkAlarmLogControls::failure, this, &SkMainWindow::showFailure);
    auto *indicator = new SkAlarmIndicator(this);
    statusBar()->addPermanentWidget(indicator);
    connect(m_log, &SkAlarmLogModel::activeAlarmsChanged, indicator, &SkAlarmIndicator::setAlarms);
    ui->tableLog->setColumnWidth(SkAlarmLogModel::FrameColumn, 50);
    ui->tableLog->setColumnWidth(SkAlarmLogModel::TimeColumn, 190);
    ui->tableLog->setColumnWidth(SkAlarmLogModel::EventColumn, 160);
    ui->tableLog->setColumnWidth(SkAlarmLogModel::DetailsColumn, 500);
    connect(ui->tableLog, &SkAlarmLogView::frameActivated, this, &SkMainWindow::showLoggedFrame);
}

// The time is the frame's, while the store still holds it.
void SkMainWindow::logEvent(int frameno, const RuAlarmEvent &event)
{
    SkAlarmLogModel::Entry entry;
    entry.frame = frameno;
    entry.tag = event.tag;
    entry.detail = event.detail;
    entry.source = event.source;
    entry.detector = event.detector;
    entry.status = event.status;
    const SkPacket packet = store()->frameAt(frameno);
    if (packet.hasFrame()) {
        const bool stamped = packet.frame().hasStamp();
        entry.time = stamped ? SkAlarmLogModel::Time::Stamped : SkAlarmLogModel::Time::NotCarried;
        entry.timeMicros = stamped ? packet.frame().timeMicros() : 0;
    }
    m_log->append(entry);
}

// A row names its frame: it is shown, and follow mode ends, while the store holds it.
void SkMainWindow::showLoggedFrame(int frameno)
{
    if (frameno < m_dataStart || frameno >= m_dataStart + m_dataLength) {
        showMessage(tr("Frame %1 is no longer in memory (it holds frames %2 to %3)")
                        .arg(frameno)
                        .arg(m_dataStart)
                        .arg(m_dataStart + m_dataLength - 1),
                    4000);
        return;
    }
    showFrame(frameno);
}

// The session restarts the alarm computation (an open, "Recalculate", "PP"): everything shown
// of the old computation goes before the first new result arrives.
void SkMainWindow::onAlarmRestarting(int firstFrame)
{
    Q_UNUSED(firstFrame)
    m_log->clear();
    ui->nextBatchAction->setEnabled(false);
    m_loadProgress.setComplete(false);
    m_alarmProgress->setValue(0);
}

// ---- Parameters -----------------------------------------------------------------------------

void SkMainWindow::restartAlarmComputation()
{
    RuAlarmCalculator calculator;
    m_params->parameterSet().applyTo(calculator);
    m_session->restartAlarm(calculator);
}

void SkMainWindow::on_recalcPushButton_clicked()
{
    restartAlarmComputation();
}

// The radar's settings of the frame shown, through the session as for --process-params.
// Detectors the frame has no block for keep the dock's settings.
void SkMainWindow::on_readPPPushButton_clicked()
{
    const SkPacket packet = m_view->displayedPacket();
    if (!packet.hasFrame())
        showMessage(tr("Currently no frame available"), 3000);
    else if (!m_session->takeProcessParameters(packet, processParameterBase()))
        showMessage(tr("No process parameters found in frame"), 3000);
}

RuAlarmCalculator SkMainWindow::processParameterBase() const
{
    RuParameterSet base = m_params->parameterSet();
    base.liveEnable = true;
    RuAlarmCalculator calculator;
    base.applyTo(calculator);
    return calculator;
}

// The live boxes stay as they are: with "Enable Live" on they are the values computed.
void SkMainWindow::onProcessParametersTaken(const RuAlarmCalculator &calculator)
{
    RuParameterSet taken = RuParameterSet::fromCalculator(calculator);
    taken.liveEnable = true;
    taken.liveBoxes = m_params->parameterSet().liveBoxes;
    m_params->setParameterSet(taken);
    ui->plotActivity->setMarkerLevels(SkActivityMarkerLevels::fromCalculator(calculator));
    // --process-params is for the command line's sources: a later open analyses with the
    // dock, which holds the radar's settings now.
    m_session->setProcessParameters(false);
}

void SkMainWindow::onProcessParametersMissing(const QString &message)
{
    m_session->setProcessParameters(false);
    showMessage(message, 0);
}

void SkMainWindow::onLiveParamChanged()
{
    const bool levels = ui->liveChannel0CheckBox->isChecked() || ui->liveActivityCheckBox->isChecked();
    const bool velocities = ui->liveMainVelocityCheckBox->isChecked()
                            || ui->liveMaxVelocityCheckBox->isChecked()
                            || ui->liveMedianVelocityCheckBox->isChecked();
    ui->liveChBeginSpinBox->setEnabled(levels);
    ui->liveChLastSpinBox->setEnabled(levels);
    ui->liveVelocitySourceComboBox->setEnabled(velocities);
    ui->liveVelocityChBeginSpinBox->setEnabled(velocities);
    ui->liveVelocityLowLimitSpinBox->setEnabled(velocities);
}
