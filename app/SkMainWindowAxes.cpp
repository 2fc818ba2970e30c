// The units of the window's axes, as the operator chose them (SkAxisUnits): the channel axes,
// the tracker and the readout in Doppler channels or radial velocity, taken from the
// parameter block of the frame drawn; the axes that count frames (the frame slider under the
// activity plot, the time axis of the views over time and of their profiles) in frames or in
// UTC with the window's time-zone offset, from the times of the frames held; and the
// spectrogram's colour map from the options.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "SkAxisUnits.h"
#include "SkChannelScaleDraw.h"
#include "SkChannelScaleEngine.h"
#include "SkDialogConfigure.h"
#include "SkPlotActivities.h"
#include "SkPlotSpectrogram.h"
#include "SkTimeScaleDraw.h"
#include "SkTimezoneAction.h"
#include "SkUpdateThrottle.h"

#include <qwt_scale_engine.h>
#include <qwt_slider.h>

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

namespace {

const char *const ColorSchemeKey = "colorScheme";

} // namespace

void SkMainWindow::setupAxisUnits()
{
    m_axisUnits = new SkAxisUnits(this);
    if (QMenu *menu = menuBar()->findChild<QMenu *>(QStringLiteral("menuDisplay"))) {
        menu->addSeparator();
        menu->addAction(m_axisUnits->velocityAction());
        menu->addAction(m_axisUnits->utcTimeAction());
    }
    connect(m_axisUnits, &SkAxisUnits::changed, this, &SkMainWindow::applyAxisUnits);
    connect(m_activityReplot, &SkUpdateThrottle::due, this, [this] {
        if (m_frameAxisStale)
            updateFrameAxis();
    });
    connect(m_configureDialog, &SkDialogConfigure::colorSchemeChanged, this,
            [this](SkColorScheme::Id scheme) {
                ui->plotCenter->setColorScheme(scheme);
                ui->plotCenter->replot();
            });
    applyAxisUnits();
}

void SkMainWindow::readAxisSettings(const QSettings &settings)
{
    m_axisUnits->readSettings(settings);
    m_configureDialog->setColorScheme(
        SkColorScheme::fromKey(settings.value(QLatin1String(ColorSchemeKey)).toString()));
}

void SkMainWindow::writeAxisSettings(QSettings &settings) const
{
    m_axisUnits->writeSettings(settings);
    settings.setValue(QLatin1String(ColorSchemeKey),
                      SkColorScheme::key(m_configureDialog->colorScheme()));
}

void SkMainWindow::applyAxisUnits()
{
    ui->plotCenter->setChannelUnit(m_axisUnits->channelUnit());
    // Room for a velocity in the readout, so the status bar does not jump as the mouse moves.
    const QString widest = m_axisUnits->channelUnit() == SkPlotSpectrogram::Velocity
                               ? QStringLiteral("x:-999.99 m/s y:9999 z:99999.99")
                               : QStringLiteral("x:9999 y:9999 z:99999.99");
    m_cursorLabel->setMinimumWidth(m_cursorLabel->fontMetrics().horizontalAdvance(widest));
    if (m_axisUnits->timeMode() == SkTimeScaleDraw::Utc)
        m_frameTimes.update(*store(), m_dataStart, m_dataLength);
    updateChannelAxes();
    showCursorReading();
    updateFrameAxis();
}

// The velocity scale of the frame drawn labels the channel axes; drawn after its data, so the
// titles know whether there is a picture without a scale.
void SkMainWindow::showVelocityScaleOf(const SkPacket &packet)
{
    const SkVelocityScale scale = SkVelocityScale::of(packet.frame());
    if (scale != ui->plotCenter->velocityScale()) {
        ui->plotCenter->setVelocityScale(scale);
        updateChannelAxes();
    } else {
        updateSpectrogramTitles();
    }
}

// The profile under the spectrogram shares its channel axis; in a channel over time its
// axis counts frames (updateViewTimeAxes labels them).
void SkMainWindow::updateProfileChannelAxis()
{
    if (m_view->showHow() == SkViewController::ShowHow::Velocities) {
        ui->plotBottom->setAxisScaleEngine(QwtPlot::xBottom, new QwtLinearScaleEngine());
        return;
    }
    const SkChannelMapping mapping = m_view->channelMapping();
    const SkVelocityScale velocity =
        ui->plotCenter->showsVelocity() ? ui->plotCenter->velocityScale() : SkVelocityScale();
    ui->plotBottom->setAxisScaleEngine(QwtPlot::xBottom,
                                       new SkChannelScaleEngine(mapping, velocity));
    ui->plotBottom->setAxisScaleDraw(QwtPlot::xBottom, new SkChannelScaleDraw(mapping, velocity));
}

// Titles of the spectrogram's axes for the view shown and the units chosen; a unit the data
// cannot give says so. Set only when they change: a new title lays the plot out again.
void SkMainWindow::updateSpectrogramTitles()
{
    using ShowHow = SkViewController::ShowHow;
    const bool velocityMissing = m_axisUnits->channelUnit() == SkPlotSpectrogram::Velocity
                                 && !ui->plotCenter->velocityScale().isValid()
                                 && ui->plotCenter->hasData();
    const QString channel = velocityMissing
                                ? tr("Doppler channel (no parameter block: no velocity)")
                                : tr("Doppler channel");
    QStringList titles;
    switch (m_view->showHow()) {
    case ShowHow::Rangegates: titles = QStringList{channel, timeAxisTitle()}; break;
    case ShowHow::Velocities: titles = QStringList{timeAxisTitle(), tr("Range gate")}; break;
    case ShowHow::Frame: titles = QStringList{channel, tr("Range gate")}; break;
    }
    if (titles == m_spectrogramTitles)
        return;
    m_spectrogramTitles = titles;
    ui->plotCenter->setAxisTitles(titles.at(0), titles.at(1));
}

QString SkMainWindow::timeAxisTitle() const
{
    if (m_axisUnits->timeMode() == SkTimeScaleDraw::Frames)
        return tr("Frame (from the first held)");
    if (m_frameTimes.times().isEmpty())
        return tr("Frame (from the first held; the frames carry no time)");
    return SkTimeScaleDraw(SkTimeScaleDraw::Utc, m_timezoneAction->value() * 3600).title();
}

// A fresh label maker for an axis that counts frames from `firstFrame` on: the axis owns it.
SkTimeScaleDraw *SkMainWindow::frameScaleDraw(int firstFrame, const QVector<qint64> &times) const
{
    auto *draw = new SkTimeScaleDraw(m_axisUnits->timeMode(), m_timezoneAction->value() * 3600);
    draw->setFrameTimes(firstFrame, times);
    return draw;
}

// The frame slider under the activity plot is the plot's frame axis; the plot's own bottom
// axis gets the same labels.
void SkMainWindow::updateFrameAxis()
{
    m_frameAxisStale = false;
    const QVector<qint64> times = m_frameTimes.times();
    const int first = m_frameTimes.firstFrame();
    SkTimeScaleDraw *draw = frameScaleDraw(first, times);
    QString tip;
    if (draw->mode() == SkTimeScaleDraw::Utc)
        tip = times.isEmpty() ? tr("The frames carry no time: the slider counts frames")
                              : tr("The slider's times: %1").arg(draw->title());
    ui->progressSlider->setToolTip(tip);
    ui->progressSlider->setScaleDraw(draw);
    ui->plotActivity->setFrameScaleDraw(frameScaleDraw(first, times));
}

namespace {

// A new scale draw on `axis` with the room for labels the old one kept.
void replaceScaleDraw(QwtPlot *plot, int axis, QwtScaleDraw *draw)
{
    draw->setMinimumExtent(plot->axisScaleDraw(axis)->minimumExtent());
    plot->setAxisScaleDraw(axis, draw);
}

// Plain numbers again on an axis that showed times.
void plainScaleDraw(QwtPlot *plot, int axis)
{
    if (dynamic_cast<const SkTimeScaleDraw *>(plot->axisScaleDraw(axis)))
        replaceScaleDraw(plot, axis, new QwtScaleDraw());
}

} // namespace

// The time axes of the views over time and of their profiles: row or column i is the frame
// viewStart + i. The frame view has none.
void SkMainWindow::updateViewTimeAxes()
{
    using ShowHow = SkViewController::ShowHow;
    const ShowHow how = m_view->showHow();
    const QVector<qint64> times = m_frameTimes.timesFrom(m_view->viewStart());
    if (how == ShowHow::Rangegates) {
        replaceScaleDraw(ui->plotCenter, QwtPlot::yLeft, frameScaleDraw(0, times));
        replaceScaleDraw(ui->plotLeft, QwtPlot::yLeft, frameScaleDraw(0, times));
    } else {
        plainScaleDraw(ui->plotCenter, QwtPlot::yLeft);
        plainScaleDraw(ui->plotLeft, QwtPlot::yLeft);
    }
    if (how == ShowHow::Velocities) {
        replaceScaleDraw(ui->plotCenter, QwtPlot::xBottom, frameScaleDraw(0, times));
        replaceScaleDraw(ui->plotBottom, QwtPlot::xBottom, frameScaleDraw(0, times));
    }
    updateSpectrogramTitles();
}

// The store's window moved: the times of the frames it holds follow while they are shown.
// The slider is labelled anew with the activity plot's throttled replot, not once per frame
// loaded.
void SkMainWindow::followFrameTimes(int startframe, int len)
{
    if (m_axisUnits->timeMode() == SkTimeScaleDraw::Utc
        && m_frameTimes.update(*store(), startframe, len))
        m_frameAxisStale = true;
}
