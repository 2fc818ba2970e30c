// Drawing what the store and the view controller report: the data range, the alarm progress,
// and the extracted views in the spectrogram, the profiles, the information line and the
// docks.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "RuAlarmDetails.h"
#include "RuFrameDetails.h"
#include "SkAlarmLogModel.h"
#include "SkAxisUnits.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkPlotActivities.h"
#include "SkPlotSpectrogram.h"
#include "SkPlotZoomer.h"
#include "SkTimezoneAction.h"
#include "SkUpdateThrottle.h"

#include <qwt_plot_curve.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_raster_data.h>
#include <qwt_slider.h>

#include <QDateTime>
#include <QDockWidget>
#include <QLabel>
#include <QProgressBar>
#include <QSignalBlocker>

#include <cmath>

// ---- What the store reports -----------------------------------------------------------------

void SkMainWindow::onDataRangeChanged(int startframe, int len)
{
    m_dataStart = startframe;
    m_dataLength = len;
    m_view->setDataRange(startframe, len);
    const double shown = ui->progressSlider->value();
    {
        // The slider reports its value after every change of scale, also when the value
        // stays: on a file load that is every frame appended, each answered by a redraw of
        // the same frame and the activity plot. Only a value moved by the range is news.
        const QSignalBlocker blocker(ui->progressSlider);
        ui->progressSlider->setScale(startframe, startframe + len);
        ui->progressSlider->setTotalSteps(uint(std::max(len, 1)));
    }
    followFrameTimes(startframe, len);
    // A frozen display stays on its frame when the store lets the frame go.
    if (!isDisplayFrozen()) {
        if (ui->progressSlider->value() != shown)
            emit ui->progressSlider->valueChanged(ui->progressSlider->value());
        else
            m_view->requestUpdateForRange();
    }
    {
        // Points and markers of frames the store no longer holds go, so a stream that runs
        // for days keeps the plot's memory bounded. The log keeps every row.
        std::lock_guard<std::mutex> lock(m_activityMutex);
        ui->plotActivity->setFrameRange(startframe, len);
    }
    m_activityReplot->request();
}

// `len` counts the frames before the one whose result has just arrived, so that frame is
// startframe + len: the one follow mode shows, and the last one counted as analysed.
void SkMainWindow::onAlarmRangeChanged(int startframe, int len)
{
    if (m_dataLength == 0)
        return;
    showAlarmProgress(startframe + len + 1);
    if (ui->firstFrameAction->isChecked() && !isDisplayFrozen())
        setSliderValue(startframe + len);
}

// How far the analysis has got, with the frames before `analysedEnd` analysed: through the
// files opened, or through the frames held.
void SkMainWindow::showAlarmProgress(int analysedEnd)
{
    m_alarmProgress->setValue(m_loadProgress.percent(analysedEnd, m_dataStart, m_dataLength));
}

// ---- Plot updates ---------------------------------------------------------------------------

void SkMainWindow::scheduleUpdatePlot()
{
    m_view->requestUpdate();
}

void SkMainWindow::onValueExtracted(const QVector<double> &plotData, int width, int plotWidth,
                                    int plotHeight, const SkPacket &packet,
                                    const SkPacket &packetPrev)
{
    updatePlot(plotData, width, plotWidth, plotHeight, packet, packetPrev);
}

void SkMainWindow::updatePlot(const QVector<double> &plotData, int width, int plotWidth,
                              int plotHeight, const SkPacket &packet, const SkPacket &packetPrev)
{
    if (!plotData.isEmpty() && width > 0) {
        const int rows = plotData.size() / width;
        ui->plotCenter->setData(plotData, width, plotWidth, rows);
        // The whole picture; a zoom the operator chose stays within it.
        ui->plotCenter->zoomer()->setWholeView(QRectF(0, 0, plotWidth - 0.1, plotHeight - 0.2));
        if (packet.hasFrame())
            showVelocityScaleOf(packet);
        if (m_view->showHow() != SkViewController::ShowHow::Frame)
            updateViewTimeAxes();
        ui->plotCenter->replot();
        drawProfiles(plotData, width, rows);
        showCursorReading();
    }
    if (packet.hasFrame())
        updateInfo(packet, packetPrev);
}

// "x y z" of the cell under the mouse in the picture on display: x the true channel (or its
// velocity) where the axis shows channels.
void SkMainWindow::showCursorReading()
{
    const QwtRasterData *data = ui->plotCenter->spectrogram()->data();
    if (!m_hasCursorCell || !data)
        return;
    const double value = data->value(m_cursorCell.x() + 0.5, m_cursorCell.y() + 0.5);
    if (!std::isfinite(value)) {
        m_cursorLabel->clear();
        return;
    }
    const QPoint cell = ui->plotCenter->readingCell(m_cursorCell);
    m_cursorLabel->setText(QStringLiteral("x:%1 y:%2 z:%3")
                               .arg(ui->plotCenter->readingText(cell.x()), 4)
                               .arg(cell.y(), 4)
                               .arg(value, 8, 'f', 1));
}

void SkMainWindow::drawProfiles(const QVector<double> &plotData, int width, int rows)
{
    const QPointF marker = ui->plotCenter->markerPos();
    const int xc = qBound(0, int(std::floor(marker.x())), width - 1);
    const int yc = qBound(0, int(std::floor(marker.y())), rows - 1);
    const double threshold = ui->plotCenter->colorInterval().maxValue();

    QVector<QPointF> left;
    left.reserve(rows);
    for (int i = 0; i < rows; ++i)
        left.append(QPointF(plotData[i * width + xc], i));
    m_leftProfile->setSamples(left);
    ui->plotLeft->setAxisScale(QwtPlot::xBottom, 0, threshold);

    QVector<QPointF> bottom;
    bottom.reserve(width);
    for (int i = 0; i < width; ++i)
        bottom.append(QPointF(i, plotData[yc * width + i]));
    m_bottomProfile->setSamples(bottom);
    ui->plotBottom->setAxisScale(QwtPlot::yLeft, 0, threshold);
    ui->plotBottom->setAxisScale(QwtPlot::yRight, 0, threshold);
    showProfileSpans(ui->plotCenter->zoomer()->visibleRect());
}

// The profiles span what the spectrogram shows, its zoom or the whole picture, so that each
// point stands beside or below its cells: the channel profile the rows, the range-gate profile
// the columns.
void SkMainWindow::showProfileSpans(const QRectF &visible)
{
    ui->plotLeft->setAxisScale(QwtPlot::yLeft, visible.top(), visible.bottom());
    ui->plotLeft->replot();
    ui->plotBottom->setAxisScale(QwtPlot::xBottom, visible.left(), visible.right());
    ui->plotBottom->replot();
}

// The frame line names the frame drawn, which a frozen display keeps after the store has let
// it go.
void SkMainWindow::updateInfo(const SkPacket &packet, const SkPacket &packetPrev)
{
    const QString number = QStringLiteral("%1").arg(packet.frameNumber(), 4, 10, QLatin1Char('0'));
    if (packet.frame().hasStamp()) {
        const qint64 micros = packet.frame().timeMicros();
        const double dt = packetPrev.hasFrame() && packetPrev.frame().hasStamp()
                              ? (micros - packetPrev.frame().timeMicros()) / 1e6
                              : 0.0;
        const int offset = m_timezoneAction->value();
        const QString zone =
            offset == 0 ? QStringLiteral("UTC") : QStringLiteral("UTC %1").arg(offset);
        const qint64 ms = micros / 1000 + qint64(offset) * 3600000;
        const QString time = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)
                                 .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
        ui->infoLabel->setText(tr("Fr: %1 (%2 %5, dt: %4 s) Source: %3")
                                   .arg(number, time, packet.sourceText())
                                   .arg(dt, 0, 'f', 2)
                                   .arg(zone));
    } else {
        ui->infoLabel->setText(
            tr("Fr: %1 (no time) Source: %2").arg(number, packet.sourceText()));
    }
    ui->infoLabel->setToolTip(ui->infoLabel->text());
    if (ui->dockDetails->isVisible()) {
        ui->detailsListWidget->clear();
        ui->detailsListWidget->addItems(ruFrameDetails(packet.frame()));
    }
    if (ui->dockComputed->isVisible()) {
        ui->computedlistWidget->clear();
        ui->computedlistWidget->addItems(ruAlarmDetails(packet));
    }
    ui->readPPPushButton->setEnabled(packet.frame().hasProcessParameters());
}

// The form's texts came back in the new language; the frame line is drawn again from the
// frame on display instead of the form's placeholder.
void SkMainWindow::retranslateViews()
{
    m_log->retranslate();
    m_axisUnits->retranslate();
    m_spectrogramTitles.clear();
    updateSpectrogramTitles();
    updateFrameAxis();
    const SkPacket packet = m_view->displayedPacket();
    if (packet.hasFrame())
        updateInfo(packet, m_view->displayedPrevious());
}

void SkMainWindow::onInfoExtracted(SkActivityPlotId plotid, const QVector<QPointF> &liveData)
{
    double m = 0.0;
    for (const QPointF &p : liveData)
        m = std::max(m, p.x());
    double &maximum = m_liveMaxima[plotid];
    maximum = std::max(maximum, m);
    ui->plotLive->setAxisScale(QwtPlot::xBottom, 0, maximum > 0 ? maximum : 1);
    ui->plotLive->setAxisScale(QwtPlot::yLeft, 0, std::max(1, liveData.size() - 1));
    m_liveCurve->setSamples(liveData);
    ui->plotLive->replot();
}

void SkMainWindow::onRgSumExtracted(const QVector<QPointF> &rgSumPoints)
{
    m_rgSumCurve->setSamples(rgSumPoints);
    ui->plotRgSum->setAxisScale(QwtPlot::yLeft, 0, std::max(1, rgSumPoints.size() - 1));
    ui->plotRgSum->setAxisAutoScale(QwtPlot::xBottom);
    ui->plotRgSum->replot();
}
