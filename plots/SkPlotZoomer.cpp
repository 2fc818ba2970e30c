#include "SkPlotZoomer.h"

#include <qwt_scale_widget.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

QPoint eventPos(const QMouseEvent *event)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return event->position().toPoint();
#else
    return event->pos();
#endif
}

QPoint eventPos(const QWheelEvent *event)
{
    return event->position().toPoint();
}

// The span [start, start + span) of one axis moved and shrunk into [low, high].
void fitSpan(double &start, double &span, double low, double high, double minimum)
{
    const double whole = high - low;
    span = std::clamp(span, std::min(minimum, whole), whole);
    start = std::clamp(start, low, high - span);
}

// Wheels with Alt held deliver their turns horizontally on some platforms.
double wheelSteps(const QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    return (delta.y() != 0 ? delta.y() : delta.x()) / 120.0;
}

} // namespace

SkPlotZoomer::SkPlotZoomer(QwtPlot *plot, int xAxis, int yAxis)
    : QObject(plot),
      m_plot(plot),
      m_xAxis(xAxis),
      m_yAxis(yAxis),
      m_canvas(plot->canvas()),
      m_xAxisWidget(plot->axisWidget(xAxis)),
      m_yAxisWidget(plot->axisWidget(yAxis)),
      m_band(new QRubberBand(QRubberBand::Rectangle, m_canvas))
{
    // Escape and Space reach the canvas once a click has given it the focus.
    m_canvas->setFocusPolicy(Qt::StrongFocus);
    m_canvas->installEventFilter(this);
    m_xAxisWidget->installEventFilter(this);
    m_yAxisWidget->installEventFilter(this);
}

SkPlotZoomer::~SkPlotZoomer() = default;

void SkPlotZoomer::setOrientations(Qt::Orientations orientations)
{
    m_orientations = orientations;
    if (isZoomed())
        show(m_zoom);
}

void SkPlotZoomer::setMinimumSpan(const QSizeF &span)
{
    m_minimumSpan = span;
}

void SkPlotZoomer::setWholeView(const QRectF &rect)
{
    const QRectF before = visibleRect();
    m_whole = rect.normalized();
    if (isZoomed()) {
        m_zoom = fitted(m_zoom);
        if (m_zoom == m_whole)
            m_zoom = QRectF();
    }
    applyAxes();
    if (visibleRect() != before)
        emit zoomChanged(visibleRect());
}

QRectF SkPlotZoomer::visibleRect() const
{
    return isZoomed() ? m_zoom : m_whole;
}

void SkPlotZoomer::setZoomRect(const QRectF &rect)
{
    show(rect.normalized());
}

void SkPlotZoomer::zoomBy(double factor, const QPointF &anchor, Qt::Orientations orientations)
{
    if (!(factor > 0.0))
        return;
    QRectF zoom = visibleRect();
    if (orientations & Qt::Horizontal) {
        const double left = anchor.x() - (anchor.x() - zoom.left()) * factor;
        zoom = QRectF(left, zoom.top(), zoom.width() * factor, zoom.height());
    }
    if (orientations & Qt::Vertical) {
        const double top = anchor.y() - (anchor.y() - zoom.top()) * factor;
        zoom = QRectF(zoom.left(), top, zoom.width(), zoom.height() * factor);
    }
    show(zoom);
}

void SkPlotZoomer::panBy(double dx, double dy)
{
    if (isZoomed())
        show(m_zoom.translated(dx, dy));
}

void SkPlotZoomer::resetZoom()
{
    show(m_whole);
}

// `rect` moved and shrunk into the whole view, whole on the axes that do not zoom.
QRectF SkPlotZoomer::fitted(const QRectF &rect) const
{
    double x = m_whole.left();
    double width = m_whole.width();
    double y = m_whole.top();
    double height = m_whole.height();
    if (m_orientations & Qt::Horizontal) {
        x = rect.left();
        width = rect.width();
        fitSpan(x, width, m_whole.left(), m_whole.right(), m_minimumSpan.width());
    }
    if (m_orientations & Qt::Vertical) {
        y = rect.top();
        height = rect.height();
        fitSpan(y, height, m_whole.top(), m_whole.bottom(), m_minimumSpan.height());
    }
    return QRectF(x, y, width, height);
}

void SkPlotZoomer::show(const QRectF &zoom)
{
    if (!m_whole.isValid())
        return;
    const QRectF before = visibleRect();
    const QRectF fit = fitted(zoom);
    m_zoom = fit == m_whole ? QRectF() : fit;
    if (visibleRect() == before)
        return;
    applyAxes();
    m_plot->replot();
    emit zoomChanged(visibleRect());
}

void SkPlotZoomer::applyAxes()
{
    if (!m_whole.isValid())
        return;
    const QRectF visible = visibleRect();
    if (m_orientations & Qt::Horizontal)
        m_plot->setAxisScale(m_xAxis, visible.left(), visible.right());
    if (m_orientations & Qt::Vertical)
        m_plot->setAxisScale(m_yAxis, visible.top(), visible.bottom());
}

QPointF SkPlotZoomer::toPlot(const QPoint &canvasPos) const
{
    return QPointF(m_plot->invTransform(m_xAxis, canvasPos.x()),
                   m_plot->invTransform(m_yAxis, canvasPos.y()));
}

bool SkPlotZoomer::eventFilter(QObject *watched, QEvent *event)
{
    // Qt passes a spontaneous wheel or mouse event that a filter took but left ignored on to
    // the parents: the window would step frames on the wheel that zoomed.
    const bool taken = takes(watched, event);
    if (taken)
        event->accept();
    return taken;
}

bool SkPlotZoomer::takes(QObject *watched, QEvent *event)
{
    if (watched == m_canvas)
        return canvasEvent(event);
    if (event->type() != QEvent::Wheel)
        return false;
    if (watched == m_xAxisWidget)
        return axisWheel(m_xAxis, event);
    if (watched == m_yAxisWidget)
        return axisWheel(m_yAxis, event);
    return false;
}

bool SkPlotZoomer::canvasEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Wheel: {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        if (!(wheel->modifiers() & Qt::ControlModifier))
            return false; // a plain wheel scrolls whatever holds the plot
        Qt::Orientations orientations = Qt::Horizontal | Qt::Vertical;
        if (wheel->modifiers() & Qt::ShiftModifier)
            orientations = Qt::Horizontal;
        else if (wheel->modifiers() & Qt::AltModifier)
            orientations = Qt::Vertical;
        zoomBy(std::pow(WheelFactor, -wheelSteps(wheel)), toPlot(eventPos(wheel)), orientations);
        return true;
    }
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        return mousePress(eventPos(mouse), mouse->button());
    }
    case QEvent::MouseMove:
        return mouseMove(eventPos(static_cast<QMouseEvent *>(event)));
    case QEvent::MouseButtonRelease:
        return mouseRelease(eventPos(static_cast<QMouseEvent *>(event)));
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            return false;
        resetZoom();
        return true;
    case QEvent::ShortcutOverride:
        // Taken here, the key is not a shortcut of the window but comes as a key press.
        return wantsKey(event);
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return keyEvent(event);
    case QEvent::FocusOut:
        m_spaceHeld = false;
        setPanCursor(false);
        return false;
    default:
        return false;
    }
}

bool SkPlotZoomer::axisWheel(int axis, QEvent *event)
{
    const auto *wheel = static_cast<QWheelEvent *>(event);
    const QPoint onCanvas = m_canvas->mapFrom(
        m_plot, m_plot->axisWidget(axis)->mapTo(m_plot, eventPos(wheel)));
    const Qt::Orientation orientation = axis == m_xAxis ? Qt::Horizontal : Qt::Vertical;
    if (!(m_orientations & orientation))
        return false;
    zoomBy(std::pow(WheelFactor, -wheelSteps(wheel)), toPlot(onCanvas), orientation);
    return true;
}

bool SkPlotZoomer::mousePress(const QPoint &pos, Qt::MouseButton button)
{
    const bool pan = button == Qt::MiddleButton || (button == Qt::LeftButton && m_spaceHeld);
    if (!pan && button != Qt::LeftButton)
        return false;
    m_canvas->setFocus(Qt::MouseFocusReason);
    m_drag = pan ? Drag::Pan : Drag::Pending;
    m_dragStart = m_dragLast = pos;
    if (pan)
        m_canvas->setCursor(Qt::ClosedHandCursor);
    return true;
}

bool SkPlotZoomer::mouseMove(const QPoint &pos)
{
    switch (m_drag) {
    case Drag::None:
        return false; // the tracker follows the mouse
    case Drag::Pending:
        if ((pos - m_dragStart).manhattanLength() < QApplication::startDragDistance())
            return true;
        m_drag = Drag::Band;
        m_band->show();
        Q_FALLTHROUGH();
    case Drag::Band:
        m_band->setGeometry(bandRect(pos));
        return true;
    case Drag::Pan: {
        m_pannedWhileSpaceHeld = m_spaceHeld;
        const QPointF from = toPlot(m_dragLast);
        const QPointF to = toPlot(pos);
        m_dragLast = pos;
        panBy(from.x() - to.x(), from.y() - to.y());
        return true;
    }
    }
    return false;
}

bool SkPlotZoomer::mouseRelease(const QPoint &pos)
{
    const Drag drag = m_drag;
    m_drag = Drag::None;
    switch (drag) {
    case Drag::None:
        return false;
    case Drag::Pending:
        emit clicked(m_dragStart);
        break;
    case Drag::Band:
        m_band->hide();
        zoomIntoPixels(bandRect(pos));
        break;
    case Drag::Pan:
        setPanCursor(m_spaceHeld);
        break;
    }
    return true;
}

// The band from the drag's start to `pos`, across the whole canvas on an axis that does not zoom.
QRect SkPlotZoomer::bandRect(const QPoint &pos) const
{
    QRect band = QRect(m_dragStart, pos).normalized();
    const QRect canvas = m_canvas->contentsRect();
    if (!(m_orientations & Qt::Horizontal)) {
        band.setLeft(canvas.left());
        band.setRight(canvas.right());
    }
    if (!(m_orientations & Qt::Vertical)) {
        band.setTop(canvas.top());
        band.setBottom(canvas.bottom());
    }
    return band;
}

void SkPlotZoomer::zoomIntoPixels(const QRect &pixels)
{
    const QPointF a = toPlot(pixels.topLeft());
    const QPointF b = toPlot(pixels.bottomRight());
    QRectF zoom = visibleRect();
    // A band drawn along one axis only (a thin strip) zooms that axis alone.
    const int thin = QApplication::startDragDistance();
    if (pixels.width() >= thin) {
        zoom.setLeft(std::min(a.x(), b.x()));
        zoom.setRight(std::max(a.x(), b.x()));
    }
    if (pixels.height() >= thin) {
        zoom.setTop(std::min(a.y(), b.y()));
        zoom.setBottom(std::max(a.y(), b.y()));
    }
    show(zoom);
}

bool SkPlotZoomer::keyEvent(QEvent *event)
{
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Escape && event->type() == QEvent::KeyPress) {
        if (!isZoomed())
            return false;
        resetZoom();
        return true;
    }
    if (key->key() != Qt::Key_Space)
        return false;
    if (!key->isAutoRepeat()) {
        const bool tapped = m_spaceHeld && !m_pannedWhileSpaceHeld;
        m_spaceHeld = event->type() == QEvent::KeyPress;
        m_pannedWhileSpaceHeld = false;
        if (m_drag != Drag::Pan)
            setPanCursor(m_spaceHeld);
        if (!m_spaceHeld && tapped)
            emit spaceTapped();
    }
    return true;
}

bool SkPlotZoomer::wantsKey(QEvent *event) const
{
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() != Qt::NoModifier)
        return false;
    return key->key() == Qt::Key_Space || (key->key() == Qt::Key_Escape && isZoomed());
}

void SkPlotZoomer::setPanCursor(bool on)
{
    if (on)
        m_canvas->setCursor(Qt::OpenHandCursor);
    else
        m_canvas->unsetCursor();
}
