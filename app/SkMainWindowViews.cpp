// Navigation through the frames held and the views of them: the set-up of the view controls,
// the slider and stepping, and the wiring of the controls to the view controller, which keeps
// what is shown and how (the marker of each view, the colour scale of each kind) and asks the
// store for it. What comes back is drawn in SkMainWindowDrawing.cpp.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "SkLiveSession.h"
#include "SkPlotActivities.h"
#include "SkPlotPicker.h"
#include "SkPlotSpectrogram.h"
#include "SkPlotZoomer.h"
#include "SkTimezoneAction.h"
#include "SkUpdateThrottle.h"

#include <qwt_plot_curve.h>
#include <qwt_scale_engine.h>
#include <qwt_slider.h>

#include <QCheckBox>
#include <QDockWidget>
#include <QLabel>
#include <QSignalBlocker>
#include <QWheelEvent>

#include <cmath>

namespace {

QwtPlotCurve *newCurve(QwtPlot *plot, const QString &title, const QColor &color)
{
    auto *curve = new QwtPlotCurve(title);
    curve->setPen(color, 0.0);
    curve->setRenderHint(QwtPlotItem::RenderAntialiased, false);
    curve->attach(plot);
    return curve;
}

void setSmallAxes(QwtPlot *plot)
{
    QFont font = plot->axisFont(QwtPlot::xBottom);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis)
        plot->setAxisFont(axis, font);
}

void setAxisTitle(QwtPlot *plot, int axis, const QString &text)
{
    QwtText title(text);
    QFont font = plot->axisFont(axis);
    font.setBold(false);
    title.setFont(font);
    plot->setAxisTitle(axis, title);
}

} // namespace

// ---- Set-up ---------------------------------------------------------------------------------

void SkMainWindow::setupSliders()
{
    ui->progressSlider->setOrientation(Qt::Horizontal);
    ui->progressSlider->setScalePosition(QwtSlider::LeadingScale);
    ui->progressSlider->setScale(0, m_maxFrames);
    ui->progressSlider->setTotalSteps(uint(m_maxFrames));
    ui->progressSlider->setPageSteps(20);
    ui->progressSlider->setTracking(true);

    // The activity plot's sliders show its axes (SkActivityControls): a value they take here
    // must not reach the plot as a limit set by the user.
    const QSignalBlocker leftBlocker(ui->plotThresholdSliderPALeft);
    const QSignalBlocker rightBlocker(ui->plotThresholdSliderPARight);
    const auto thresholdSliders = {ui->plotThresholdSlider, ui->plotThresholdSliderPALeft,
                                   ui->plotThresholdSliderPARight};
    for (QwtSlider *slider : thresholdSliders) {
        slider->setOrientation(Qt::Vertical);
        slider->setScalePosition(QwtSlider::LeadingScale);
        slider->setScaleEngine(new QwtLogScaleEngine(10));
        slider->setScale(1, 999999);
        slider->setTotalSteps(600);
        slider->setStepAlignment(false);
    }
    ui->plotThresholdSlider->setValue(400);
    // The activity plot's axes reach as far as the boxes beside them.
    for (QwtSlider *slider : {ui->plotThresholdSliderPALeft, ui->plotThresholdSliderPARight})
        slider->setScale(1, ui->plotThresholdDoubleSpinBoxPARight->maximum());
}

void SkMainWindow::setupComboBoxes()
{
    const QSignalBlocker b1(ui->showWhatComboBox), b2(ui->showHowComboBox),
        b3(ui->peakShiftComboBox), b4(ui->liveShowWhatComboBox),
        b5(ui->liveVelocitySourceComboBox);
    using ShowHow = SkViewController::ShowHow;
    using PeakShift = SkViewController::PeakShift;
    using Type = SkPacketTypeEnum;
    ui->showWhatComboBox->addItem(tr("Original"), int(Type::Original));
    ui->showWhatComboBox->addItem(tr("Original Filtered"), int(Type::OriginalFiltered));
    ui->showWhatComboBox->addItem(tr("Avalanche Normalized"), int(Type::AvalancheNormalized));
    ui->showWhatComboBox->addItem(tr("Avalanche Background"), int(Type::AvalancheBackground));
    ui->showWhatComboBox->addItem(tr("Live Half Sym"), int(Type::LiveHalfSym));
    ui->showHowComboBox->addItem(tr("Frame"), int(ShowHow::Frame));
    ui->showHowComboBox->addItem(tr("Rangegates"), int(ShowHow::Rangegates));
    ui->showHowComboBox->addItem(tr("Velocities"), int(ShowHow::Velocities));
    ui->peakShiftComboBox->addItem(tr("No Shift"), int(PeakShift::None));
    ui->peakShiftComboBox->addItem(tr("To Right"), int(PeakShift::ToRight));
    ui->peakShiftComboBox->addItem(tr("To Middle"), int(PeakShift::ToMiddle));
    ui->liveShowWhatComboBox->addItem(tr("#-Sum"), int(SkActivitySum));
    ui->liveShowWhatComboBox->addItem(tr("Channel0"), int(SkActivityChannel0));
    ui->liveShowWhatComboBox->addItem(tr("Mode"), int(SkActivityMode));
    ui->liveShowWhatComboBox->addItem(tr("Max Velocity"), int(SkActivityMaxVelocity));
    ui->liveShowWhatComboBox->addItem(tr("Median Velocity"), int(SkActivityMedianVelocity));
    ui->liveVelocitySourceComboBox->addItem(tr("Raw"), 0);
    ui->liveVelocitySourceComboBox->addItem(tr("Normalized"), 1);
    ui->extractRowSpinBox->setEnabled(true);
    ui->extractColumnSpinBox->setEnabled(true);
}

void SkMainWindow::setupPlots()
{
    // A long source path must not widen the window; the whole line is in the tool tip.
    ui->infoLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ui->plotCenter->setMouseTracking(true);
    ui->plotCenter->setZMax(400);
    ui->plotCenter->setAxisTitles(tr("Doppler channel"), tr("Range gate"));
    ui->plotCenter->setAxisScale(QwtPlot::xBottom, 0, 1024);
    ui->plotCenter->setAxisScale(QwtPlot::yLeft, 0, 20);
    // The canvases keep Space for panning; a tap on one still plays and pauses.
    connect(ui->plotCenter->zoomer(), &SkPlotZoomer::spaceTapped, ui->playAction, &QAction::trigger);
    connect(ui->plotActivity->zoomer(), &SkPlotZoomer::spaceTapped, ui->playAction,
            &QAction::trigger);
    setSmallAxes(ui->plotLeft);
    setSmallAxes(ui->plotBottom);
    setSmallAxes(ui->plotLive);
    setSmallAxes(ui->plotRgSum);

    m_leftProfile = newCurve(ui->plotLeft, tr("Channel profile"), Qt::darkBlue);
    ui->plotLeft->setAxisScale(QwtPlot::yLeft, 0, 19.8);
    ui->plotLeft->setAxisScale(QwtPlot::xBottom, 0, 400);
    ui->plotLeft->setAxisMaxMajor(QwtPlot::xBottom, 3);
    setAxisTitle(ui->plotLeft, QwtPlot::xBottom, tr("Level"));

    m_bottomProfile = newCurve(ui->plotBottom, tr("Range gate profile"), Qt::darkBlue);
    ui->plotBottom->enableAxis(QwtPlot::yRight, true);
    ui->plotBottom->setAxisScale(QwtPlot::xBottom, 0, 1024);
    ui->plotBottom->setAxisScale(QwtPlot::yLeft, 0, 400);
    ui->plotBottom->setAxisScale(QwtPlot::yRight, 0, 400);
    ui->plotBottom->setAxisMaxMajor(QwtPlot::yLeft, 3);
    ui->plotBottom->setAxisMaxMajor(QwtPlot::yRight, 3);
    setAxisTitle(ui->plotBottom, QwtPlot::yLeft, tr("Level"));

    m_liveCurve = newCurve(ui->plotLive, QString(), Qt::darkGreen);
    setAxisTitle(ui->plotLive, QwtPlot::yLeft, tr("Range gate"));
    setAxisTitle(ui->plotLive, QwtPlot::xBottom, ui->liveShowWhatComboBox->currentText());
    m_rgSumCurve = newCurve(ui->plotRgSum, QString(), Qt::darkRed);
    setAxisTitle(ui->plotRgSum, QwtPlot::yLeft, tr("Range gate"));
    setAxisTitle(ui->plotRgSum, QwtPlot::xBottom, tr("Normalized sum - channels (a.u.)"));
    setupAxisUnits();
}

// ---- Command-line helpers -------------------------------------------------------------------

int SkMainWindow::shownFrame() const
{
    return int(std::lround(ui->progressSlider->value()));
}

bool SkMainWindow::isPlotSettled() const
{
    return m_view->isSettled();
}

// A frame the user named: follow mode ends.
void SkMainWindow::showFrame(int frameno)
{
    ui->firstFrameAction->setChecked(false);
    setSliderValue(frameno);
}

void SkMainWindow::setShowHow(int showHow)
{
    const int index = ui->showHowComboBox->findData(showHow);
    if (index >= 0)
        ui->showHowComboBox->setCurrentIndex(index);
}

void SkMainWindow::setShowWhat(int packetType)
{
    const int index = ui->showWhatComboBox->findData(packetType);
    if (index >= 0)
        ui->showWhatComboBox->setCurrentIndex(index);
}

void SkMainWindow::setPeakShift(int columns)
{
    const int index = ui->peakShiftComboBox->findData(columns);
    if (index >= 0)
        ui->peakShiftComboBox->setCurrentIndex(index);
}

void SkMainWindow::setMarkerRangegate(int rangegate)
{
    ui->extractRowSpinBox->setValue(rangegate);
}

void SkMainWindow::setMarkerChannel(int channel)
{
    ui->extractColumnSpinBox->setValue(channel);
}

void SkMainWindow::setColourScaleTop(double zMax)
{
    ui->plotThresholdSlider->setValue(zMax);
}

void SkMainWindow::raiseDock(const QString &name)
{
    const QMap<QString, QDockWidget *> docks = {
        {QStringLiteral("details"), ui->dockDetails}, {QStringLiteral("log"), ui->dockWidgetLog},
        {QStringLiteral("live"), ui->dockWidgetLive}, {QStringLiteral("rgsum"), ui->dockWidgetRgSum},
        {QStringLiteral("params"), ui->dockParams}, {QStringLiteral("computed"), ui->dockComputed}};
    if (QDockWidget *dock = docks.value(name)) {
        dock->show();
        dock->raise();
        scheduleUpdatePlot();
    }
}

void SkMainWindow::flushPlotUpdate()
{
    m_view->flush();
    m_activityReplot->flush();
}

// ---- Navigation -----------------------------------------------------------------------------

void SkMainWindow::setSliderValue(double value)
{
    ui->progressSlider->setValue(value);
}

void SkMainWindow::stepFrames(int delta)
{
    showFrame(shownFrame() + delta);
}

// A stream is read, analysed and recorded on either way (the radar does not wait): pausing
// it holds the display still, on the frame shown, until play goes on.
void SkMainWindow::on_playAction_triggered(bool checked)
{
    m_session->setPlaying(checked);
    if (m_streamMode) {
        if (!checked) {
            showMessage(tr("Display paused: the stream is still read, analysed and recorded"), 4000);
        } else if (ui->firstFrameAction->isChecked()) {
            on_firstFrameAction_triggered(true);
        } else {
            on_progressSlider_valueChanged(ui->progressSlider->value());
        }
        return;
    }
    // Playing on from a paused, full window: move on at once instead of waiting for a result
    // that will not come.
    if (checked && ui->nextBatchAction->isEnabled())
        on_nextBatchAction_triggered();
}

bool SkMainWindow::isDisplayFrozen() const
{
    return m_streamMode && !ui->playAction->isChecked();
}

void SkMainWindow::prepareViewsForOpen()
{
    m_view->forgetDrawn();
    // A stream is watched as it comes: the newest analysed frame is shown.
    if (m_streamMode)
        ui->firstFrameAction->setChecked(true);
    m_frameTimes.clear();
    updateFrameAxis();
}

void SkMainWindow::on_firstFrameAction_triggered(bool checked)
{
    if (checked && m_dataLength > 0 && m_session->nextAlarmFrame() > m_dataStart)
        setSliderValue(m_session->nextAlarmFrame() - 1);
}

void SkMainWindow::on_nextBatchAction_triggered()
{
    ui->nextBatchAction->setEnabled(false);
    m_session->setBatchSize(m_streamMode ? m_batchSizeStream : m_batchSizeFiles);
    m_session->releaseNextBatch();
}

void SkMainWindow::onNextBatchAvailable()
{
    ui->nextBatchAction->setEnabled(true);
}

void SkMainWindow::on_nextFrameAction_triggered() { stepFrames(1); }
void SkMainWindow::on_prevFrameAction_triggered() { stepFrames(-1); }
void SkMainWindow::on_nextFrame20Action_triggered() { stepFrames(20); }
void SkMainWindow::on_prevFrame20Action_triggered() { stepFrames(-20); }

void SkMainWindow::on_progressSlider_sliderMoved(double)
{
    ui->firstFrameAction->setChecked(false);
}

// A wheel turned over a dock scrolls the dock; at the end of its list the turn reaches the
// window, and must not step frames (and end follow mode) where the reader did not look.
void SkMainWindow::wheelEvent(QWheelEvent *event)
{
    const int notches = event->angleDelta().y() / 120;
    const QPoint at = event->position().toPoint();
    bool overDock = false;
    for (QWidget *w = childAt(at); w && w != this; w = w->parentWidget())
        overDock = overDock || qobject_cast<QDockWidget *>(w) != nullptr;
    if (notches == 0 || overDock) {
        QMainWindow::wheelEvent(event);
        return;
    }
    stepFrames(notches);
    event->accept();
}

void SkMainWindow::on_progressSlider_valueChanged(double pos)
{
    m_view->setFrame(int(std::lround(pos)));
}

void SkMainWindow::on_plotActivity_markerPosChanged(QPointF pos)
{
    showFrame(int(std::lround(pos.x())));
}

// ---- View choices ---------------------------------------------------------------------------

// The controller speaks for the view: what it reports goes onto the widgets.
void SkMainWindow::connectView()
{
    SkViewController *view = m_view;
    connect(view, &SkViewController::markerMoved, this, &SkMainWindow::applyMarker);
    connect(view, &SkViewController::frameChosen, this, &SkMainWindow::showFrame);
    connect(view, &SkViewController::positionChosen, this, &SkMainWindow::applyPosition);
    connect(view, &SkViewController::showHowChanged, this, &SkMainWindow::applyShowHow);
    connect(view, &SkViewController::colourScaleChanged, this, &SkMainWindow::applyColourScale);
    connect(ui->plotCenter, &SkPlotSpectrogram::colorLevelsChanged, this,
            &SkMainWindow::onColorLevelsChanged);
    connect(ui->plotThresholdAutoCheckBox, &QCheckBox::clicked, view,
            &SkViewController::setAutoLevels);
    connect(view, &SkViewController::frameExtracted, this, &SkMainWindow::onValueExtracted);
    connect(view, &SkViewController::drawn, this, &SkMainWindow::frameDrawn);
    connect(view, &SkViewController::settled, this, &SkMainWindow::plotSettled);
    connect(view, &SkViewController::liveExtracted, this, &SkMainWindow::onInfoExtracted);
    connect(view, &SkViewController::rgSumExtracted, this, &SkMainWindow::onRgSumExtracted);
    // Hidden docks ask for nothing; a dock shown again catches up with the frame on display.
    const auto docks = {ui->dockWidgetLive, ui->dockWidgetRgSum, ui->dockDetails, ui->dockComputed};
    for (QDockWidget *dock : docks)
        connect(dock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
            m_view->setLiveShown(ui->dockWidgetLive->isVisible());
            m_view->setRgSumShown(ui->dockWidgetRgSum->isVisible());
            if (visible)
                scheduleUpdatePlot();
        });
    view->setRangegate(ui->extractRowSpinBox->value());
    view->setChannel(ui->extractColumnSpinBox->value());
    view->setRgSumChannels(ui->rgSumChBeginSpinBox->value(), ui->rgSumChLastSpinBox->value());
}

void SkMainWindow::applyMarker(QPointF pos)
{
    ui->plotCenter->setMarkerPos(pos);
    ui->plotCenter->replot();
}

// A click into the frame view: the row and column boxes follow without asking again.
void SkMainWindow::applyPosition(int rangegate, int channel)
{
    {
        const QSignalBlocker rowBlocker(ui->extractRowSpinBox);
        const QSignalBlocker columnBlocker(ui->extractColumnSpinBox);
        ui->extractColumnSpinBox->setValue(channel);
        ui->extractRowSpinBox->setValue(rangegate);
    }
    m_view->syncPosition(ui->extractRowSpinBox->value(), ui->extractColumnSpinBox->value());
    setLiveRangegate(ui->extractRowSpinBox->value());
}

void SkMainWindow::applyShowHow(SkViewController::ShowHow how)
{
    using ShowHow = SkViewController::ShowHow;
    ui->extractRowSpinBox->setEnabled(how != ShowHow::Velocities);
    ui->extractColumnSpinBox->setEnabled(how != ShowHow::Rangegates);
    updateChannelAxes();
}

// The live-value curves of the activity plot show the range gate of the row box.
void SkMainWindow::setLiveRangegate(int rangegate)
{
    {
        std::lock_guard<std::mutex> lock(m_activityMutex);
        ui->plotActivity->setLiveRangegate(rangegate);
    }
    m_activityReplot->request();
}

void SkMainWindow::on_showWhatComboBox_currentIndexChanged(int index)
{
    m_view->setShowWhat(SkPacketTypeEnum(ui->showWhatComboBox->itemData(index).toInt()));
}

void SkMainWindow::on_showHowComboBox_currentIndexChanged(int index)
{
    m_view->setShowHow(SkViewController::ShowHow(ui->showHowComboBox->itemData(index).toInt()));
}

void SkMainWindow::on_peakShiftComboBox_currentIndexChanged(int index)
{
    const int columns = ui->peakShiftComboBox->itemData(index).toInt();
    m_view->setPeakShift(SkViewController::PeakShift(columns));
    updateChannelAxes();
}

// The axes that show Doppler channels label each screen column with its true channel (or its
// velocity), the axes of a view over time its frame (or its time).
void SkMainWindow::updateChannelAxes()
{
    const SkChannelMapping mapping = m_view->channelMapping();
    const bool channels = m_view->showHow() != SkViewController::ShowHow::Velocities;
    ui->plotCenter->setPeakShift(mapping.shift());
    ui->plotCenter->setChannelAxis(channels);
    updateProfileChannelAxis();
    updateViewTimeAxes();
    ui->plotCenter->replot();
    ui->plotBottom->replot();
    ui->plotLeft->replot();
}

void SkMainWindow::on_extractRowSpinBox_valueChanged(int v)
{
    m_view->setRangegate(v);
    setLiveRangegate(v);
}

void SkMainWindow::on_extractColumnSpinBox_valueChanged(int v)
{
    m_view->setChannel(v);
}

void SkMainWindow::on_plotCenter_markerPosChanged(QPointF pos)
{
    m_view->placeMarker(pos);
}

// The readout names the cell the plot reports; each frame drawn refreshes it.
void SkMainWindow::on_plotCenter_currentPosChanged(QPoint pos, double value)
{
    Q_UNUSED(pos)
    Q_UNUSED(value)
    m_cursorCell = ui->plotCenter->picker()->trackedCell();
    m_hasCursorCell = true;
    showCursorReading();
}

// A move of the scale by the user: the levels of the kind shown stay where they put them.
void SkMainWindow::on_plotThresholdSlider_valueChanged(double v)
{
    {
        const QSignalBlocker blocker(ui->plotThresholdDoubleSpinBox);
        ui->plotThresholdDoubleSpinBox->setValue(v);
    }
    m_view->setColourTop(v);
}

// The kind shown, or its scale, changed: the controls show it without counting as a move.
void SkMainWindow::applyColourScale(double top, bool automatic)
{
    {
        const QSignalBlocker b1(ui->plotThresholdSlider), b2(ui->plotThresholdDoubleSpinBox),
            b3(ui->plotThresholdAutoCheckBox);
        ui->plotThresholdSlider->setValue(top);
        ui->plotThresholdDoubleSpinBox->setValue(top);
        ui->plotThresholdAutoCheckBox->setChecked(automatic);
    }
    ui->plotCenter->setZMax(top);
    ui->plotCenter->setAutoColorLevels(automatic);
    ui->plotCenter->replot();
}

void SkMainWindow::onColorLevelsChanged(double low, double high)
{
    Q_UNUSED(low)
    const QSignalBlocker b1(ui->plotThresholdSlider), b2(ui->plotThresholdDoubleSpinBox);
    ui->plotThresholdSlider->setValue(high);
    ui->plotThresholdDoubleSpinBox->setValue(high);
    m_view->takeAutoTop(high);
}

void SkMainWindow::on_plotThresholdDoubleSpinBox_valueChanged(double v)
{
    ui->plotThresholdSlider->setValue(v);
}

void SkMainWindow::on_rgSumChBeginSpinBox_valueChanged(int)
{
    m_view->setRgSumChannels(ui->rgSumChBeginSpinBox->value(), ui->rgSumChLastSpinBox->value());
}

void SkMainWindow::on_rgSumChLastSpinBox_valueChanged(int)
{
    m_view->setRgSumChannels(ui->rgSumChBeginSpinBox->value(), ui->rgSumChLastSpinBox->value());
}

void SkMainWindow::on_liveShowWhatComboBox_currentIndexChanged(int)
{
    setAxisTitle(ui->plotLive, QwtPlot::xBottom, ui->liveShowWhatComboBox->currentText());
    m_view->setLiveCurve(SkActivityPlotId(ui->liveShowWhatComboBox->currentData().toInt()));
}

void SkMainWindow::onTimezoneOffsetChanged()
{
    updateFrameAxis();
    updateChannelAxes();
    scheduleUpdatePlot();
}
