#include "SkSliderAligner.h"

#include "SkPlotZoomer.h"

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>
#include <qwt_slider.h>

#include <QCoreApplication>
#include <QEvent>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

SkSliderAligner::SkSliderAligner(QwtPlot *plot, QwtSlider *slider, SkPlotZoomer *zoomer)
    : QObject(slider),
      m_plot(plot),
      m_slider(slider),
      m_zoomer(zoomer)
{
    plot->installEventFilter(this);
    plot->canvas()->installEventFilter(this);
    slider->installEventFilter(this);
    // The bottom axis changes its range on every replot that follows a new data range.
    connect(plot->axisWidget(QwtPlot::xBottom), &QwtScaleWidget::scaleDivChanged, this,
            &SkSliderAligner::scheduleAlign);
    scheduleAlign();
}

bool SkSliderAligner::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
        if (!m_aligning)
            scheduleAlign();
        break;
    case QEvent::Paint:
        // A new range of the slider (its labels change the room its scale has) shows only as
        // a repaint.
        if (watched == m_slider && !m_pending && misalignment() >= 1.0)
            scheduleAlign();
        break;
    default:
        break;
    }
    return false;
}

void SkSliderAligner::scheduleAlign()
{
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(this, &SkSliderAligner::align, Qt::QueuedConnection);
}

bool SkSliderAligner::canAlign() const
{
    return m_plot && m_plot->isVisible() && m_slider->isVisible()
           && m_slider->orientation() == Qt::Horizontal
           && m_slider->upperBound() != m_slider->lowerBound();
}

void SkSliderAligner::ends(double plotX[2], double sliderX[2]) const
{
    const double bounds[2] = {m_slider->lowerBound(), m_slider->upperBound()};
    QwtScaleMap plotMap = m_plot->canvasMap(QwtPlot::xBottom);
    if (m_zoomer && m_zoomer->isZoomed())
        plotMap.setScaleInterval(m_zoomer->wholeView().left(), m_zoomer->wholeView().right());
    const QwtScaleMap &sliderMap = m_slider->scaleMap();
    const double canvasLeft = m_plot->canvas()->mapToGlobal(QPoint(0, 0)).x();
    const double sliderLeft = m_slider->mapToGlobal(QPoint(0, 0)).x();
    for (int i = 0; i < 2; ++i) {
        plotX[i] = canvasLeft + plotMap.transform(bounds[i]);
        sliderX[i] = sliderLeft + sliderMap.transform(bounds[i]);
    }
}

double SkSliderAligner::misalignment() const
{
    if (!canAlign())
        return 0.0;
    double plotX[2];
    double sliderX[2];
    ends(plotX, sliderX);
    return std::max(std::abs(plotX[0] - sliderX[0]), std::abs(plotX[1] - sliderX[1]));
}

void SkSliderAligner::align()
{
    m_pending = false;
    if (!canAlign())
        return;
    double plotX[2];
    double sliderX[2];
    ends(plotX, sliderX);
    // The slider's scale starts and ends a fixed distance inside its contents rectangle, so
    // its margins move the ends pixel for pixel.
    const QMargins old = m_slider->contentsMargins();
    const int left = std::max(0, old.left() + int(std::lround(plotX[0] - sliderX[0])));
    const int right = std::max(0, old.right() - int(std::lround(plotX[1] - sliderX[1])));
    if (left == old.left() && right == old.right())
        return;
    m_aligning = true;
    m_slider->setContentsMargins(left, old.top(), right, old.bottom());
    // QwtSlider lays out its scale on resizes only.
    QResizeEvent relayout(m_slider->size(), m_slider->size());
    QCoreApplication::sendEvent(m_slider, &relayout);
    m_aligning = false;
    m_slider->update();
}
