#pragma once
// Mouse and wheel input on a plot as a hand and the window system give it, for the tests of
// zooming, panning and clicking, whether the plot stands alone or in the window.

#include <qwt_plot.h>

#include <QApplication>
#include <QMouseEvent>
#include <QRectF>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

namespace plotinput {

inline QPoint pixelOf(const QwtPlot &plot, double x, double y)
{
    return QPoint(qRound(plot.transform(QwtPlot::xBottom, x)),
                  qRound(plot.transform(QwtPlot::yLeft, y)));
}

inline QPointF plotAt(const QwtPlot &plot, const QPoint &pixel)
{
    return QPointF(plot.invTransform(QwtPlot::xBottom, pixel.x()),
                   plot.invTransform(QwtPlot::yLeft, pixel.y()));
}

// What the bottom and left axes span.
inline QRectF shownRect(const QwtPlot &plot)
{
    const QwtInterval x = plot.axisInterval(QwtPlot::xBottom);
    const QwtInterval y = plot.axisInterval(QwtPlot::yLeft);
    return QRectF(x.minValue(), y.minValue(), x.width(), y.width());
}

inline void mouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, const QPoint &pos)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos),
                      type == QEvent::MouseMove ? Qt::NoButton : button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A drag in steps, as a hand moves.
inline void drag(QWidget *widget, Qt::MouseButton button, const QPoint &from, const QPoint &to)
{
    mouse(widget, QEvent::MouseButtonPress, button, from);
    for (int step = 1; step <= 4; ++step)
        mouse(widget, QEvent::MouseMove, button, from + (to - from) * step / 4);
    mouse(widget, QEvent::MouseButtonRelease, button, to);
}

// A wheel turn as the window system delivers it: spontaneous, so what the plot leaves
// ignored goes on to its parents.
inline void wheel(QWidget *widget, const QPoint &pos, int delta, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent event(pos, widget->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::instance()->notify(widget, &event);
}

} // namespace plotinput
