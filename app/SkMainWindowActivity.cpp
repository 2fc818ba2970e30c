// The activity plot in the window: fed with the points of each result and the events the
// live session derived from it, its markers at the heights of the settings in force, its axes
// driven by the controls beside it, and the frame slider below it kept in line with its frames.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "SkActivityControls.h"
#include "SkActivityMarkerLevels.h"
#include "SkLiveSession.h"
#include "SkPlotActivities.h"
#include "SkSliderAligner.h"
#include "SkUpdateThrottle.h"

// Right after the form: the controls' slots may fire while the other widgets are set up.
void SkMainWindow::setupActivityPlot()
{
    // A child of the slider; lined up with the whole view while the plot is zoomed.
    new SkSliderAligner(ui->plotActivity, ui->progressSlider, ui->plotActivity->zoomer());
    const SkActivityControls::Widgets widgets = {
        ui->plotThresholdSliderPALeft,  ui->plotThresholdDoubleSpinBoxPALeft,
        ui->toolButtonPALeftFit,        ui->plotThresholdSliderPARight,
        ui->plotThresholdDoubleSpinBoxPARight, ui->doubleSpinBoxPARightStart,
        ui->toolButtonPARightFit,       ui->toolButtonPARightLog};
    m_activityControls = new SkActivityControls(ui->plotActivity, widgets, this);
    connect(m_activityControls, &SkActivityControls::changed, m_activityReplot,
            &SkUpdateThrottle::request);

    SkLiveSession *session = m_session.get();
    connect(session, &SkLiveSession::alarmCalculated, this, &SkMainWindow::feedActivityPlot);
    connect(session, &SkLiveSession::alarmRestarting, this, &SkMainWindow::clearActivityPlot);
}

void SkMainWindow::feedActivityPlot(int frameno, const SkAlarmResultSharedPtr &result,
                                    const QVector<RuAlarmEvent> &events)
{
    {
        std::lock_guard<std::mutex> lock(m_activityMutex);
        ui->plotActivity->appendPoints(frameno, result);
        for (const RuAlarmEvent &event : events)
            ui->plotActivity->addEvent(frameno, event);
    }
    m_activityReplot->request();
}

// A new computation: its markers stand at the thresholds it runs with (the radar's, once its
// settings are taken, set by onProcessParametersTaken).
void SkMainWindow::clearActivityPlot()
{
    {
        std::lock_guard<std::mutex> lock(m_activityMutex);
        ui->plotActivity->clearActivities();
        ui->plotActivity->setMarkerLevels(
            SkActivityMarkerLevels::fromCalculator(m_session->calculator()));
    }
    m_activityReplot->request();
}

// ---- The axis controls beside the plot ------------------------------------------------------

void SkMainWindow::on_plotThresholdSliderPALeft_valueChanged(double v)
{
    m_activityControls->setLeftTop(v);
}

void SkMainWindow::on_plotThresholdDoubleSpinBoxPALeft_valueChanged(double v)
{
    m_activityControls->setLeftTop(v);
}

void SkMainWindow::on_plotThresholdSliderPARight_valueChanged(double v)
{
    m_activityControls->setRightTop(v);
}

void SkMainWindow::on_plotThresholdDoubleSpinBoxPARight_valueChanged(double v)
{
    m_activityControls->setRightTop(v);
}

void SkMainWindow::on_doubleSpinBoxPARightStart_valueChanged(double v)
{
    m_activityControls->setRightBottom(v);
}
