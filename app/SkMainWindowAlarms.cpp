// Alarm results, the alarm log and the parameter dock: what the window does with each result
// the live session hands over, the log of its events and the frames its rows lead to, and how
// "Recalculate" and "PP" restart the computation.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "RuAlarmCalculator.h"
#include "RuAlarmEvent.h"
#include "SkAlarmLogModel.h"
#include "SkAlarmLogView.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkParameterWidgets.h"
#include "SkPlotActivities.h"
#include "SkUpdateThrottle.h"

#include <QDebug>
#include <QProgressBar>

#include <cmath>
#include <stdexcept>

// ---- Results --------------------------------------------------------------------------------

// The session has taken the result in frame order and paced the batches (the steps both front
// ends share); the window shows it.
void SkMainWindow::onAlarmCalculated(int frameno, const SkAlarmResultSharedPtr &result)
{
    if (!ui->firstFrameAction->isChecked() && frameno == shownFrame())
        scheduleUpdatePlot();
    if (!result)
        return;
    SkActivityMarkerLevels levels;
    levels.rainAlarmOn = ui->alarmRain0ThresholdAlarmOnSpinBox->value();
    levels.rainAlarmOff = ui->alarmRain0ThresholdAlarmOffSpinBox->value();
    levels.waterlevelIncidentOn = ui->alarmWaterlevel0ThresholdIncidentOnSpinBox->value();
    levels.waterlevelIncidentOff = ui->alarmWaterlevel0ThresholdIncidentOffSpinBox->value();
    levels.waterlevelAlarmOn = ui->alarmWaterlevel0ThresholdAlarmOnSpinBox->value();
    levels.waterlevelAlarmOff = ui->alarmWaterlevel0ThresholdAlarmOffSpinBox->value();
    QVector<RuAlarmEvent> events;
    {
        std::lock_guard<std::mutex> lock(m_activityMutex);
        events = ui->plotActivity->appendResult(frameno, *result, levels);
    }
    for (const RuAlarmEvent &event : qAsConst(events))
        logEvent(frameno, event.tag, event.detail);
    m_activityReplot->request();
}

// ---- The alarm log --------------------------------------------------------------------------

void SkMainWindow::setupLog()
{
    m_log = new SkAlarmLogModel(this);
    ui->tableLog->setModel(m_log);
    ui->tableLog->setColumnWidth(SkAlarmLogModel::FrameColumn, 50);
    ui->tableLog->setColumnWidth(SkAlarmLogModel::TimeColumn, 190);
    ui->tableLog->setColumnWidth(SkAlarmLogModel::EventColumn, 160);
    ui->tableLog->setColumnWidth(SkAlarmLogModel::DetailsColumn, 500);
    connect(ui->tableLog, &SkAlarmLogView::frameActivated, this, &SkMainWindow::showLoggedFrame);
}

// The time is the frame's, while the store still holds it.
void SkMainWindow::logEvent(int frameno, const QString &event, const QString &detail)
{
    SkAlarmLogModel::Entry entry;
    entry.frame = frameno;
    entry.tag = event;
    entry.detail = detail;
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
    {
        std::lock_guard<std::mutex> lock(m_activityMutex);
        ui->plotActivity->clearActivities();
    }
    m_log->clear();
    ui->nextBatchAction->setEnabled(false);
    m_loadProgress.setComplete(false);
    m_alarmProgress->setValue(0);
    m_activityReplot->request();
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

void SkMainWindow::on_readPPPushButton_clicked()
{
    applyProcessParameters(m_view->displayedPacket(), false);
}

// Takes the detector settings from the frame's process parameters into the dock and restarts
// the computation with them. Detectors the frame has no block for keep their settings.
void SkMainWindow::applyProcessParameters(const SkPacket &packet, bool quiet)
{
    if (!packet.hasFrame()) {
        showMessage(tr("Currently no frame available"), 3000);
        return;
    }
    const RuParameterSet before = m_params->parameterSet();
    RuAlarmCalculator calculator;
    before.applyTo(calculator);
    try {
        calculator.fromProcessParameters(packet.frame().info());
    } catch (const std::invalid_argument &) {
        showMessage(tr("No process parameters found in frame"), quiet ? 0 : 3000);
        return;
    }
    RuParameterSet after = RuParameterSet::fromCalculator(calculator);
    after.liveEnable = true;
    after.liveBoxes = before.liveBoxes;
    m_params->setParameterSet(after);
    restartAlarmComputation();
}

// --process-params: the first frame of the open brings the settings.
void SkMainWindow::onFirstFrameForProcessParams(int startframe, int len)
{
    Q_UNUSED(startframe)
    if (len <= 0 || !m_processParamsPending)
        return;
    m_processParamsPending = false;
    disconnect(store(), &SkFrameStore::dataRangeChanged, this,
               &SkMainWindow::onFirstFrameForProcessParams);
    applyProcessParameters(store()->waitFrame(-1, 0), true);
}

void SkMainWindow::onProcessParametersMissing(const QString &message)
{
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
