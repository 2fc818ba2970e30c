#pragma once
// Zoom and pan for a Qwt plot, on one x and one y axis:
// - Ctrl+wheel over the canvas zooms around the mouse (with Shift the x axis alone, with Alt
//   the y axis alone); the wheel over one of the two axes zooms that axis alone;
// - dragging with the middle button, or with the left button while Space is held, pans; the
//   canvas takes Space from the window's shortcuts while it has the focus, and a Space pressed
//   and released without a pan is handed back through spaceTapped();
// - dragging with the left button draws a rubber band and zooms into it; a left click
//   without a drag is reported by clicked(), so the plot can place its cross-hair;
// - a double click or Escape returns to the whole view.
// The whole view is what the plot shows unzoomed; the plot sets it with every new extent
// (setWholeView), and a zoom, kept as a rectangle in plot coordinates, survives new data: it
// is only moved or shrunk to stay inside the whole view.
//
// A plot adopts it by creating one (its parent is the plot), giving it the whole view where it
// used to set its axis scales, and connecting clicked() where its picker placed a cursor.

#include <qwt_plot.h>

#include <QObject>
#include <QPoint>
#include <QRectF>
#include <QSizeF>

class QRubberBand;

class SkPlotZoomer : public QObject
{
    Q_OBJECT

public:
    // One wheel step (120) zooms by this factor.
    static constexpr double WheelFactor = 1.25;

    explicit SkPlotZoomer(QwtPlot *plot, int xAxis = QwtPlot::xBottom,
                          int yAxis = QwtPlot::yLeft);
    ~SkPlotZoomer() override;

    // The axes that zoom and pan (both by default). An axis that does not is left to the plot:
    // the zoomer never sets its scale, and visibleRect() spans the whole view on it.
    void setOrientations(Qt::Orientations orientations);
    // The smallest span a zoom may reach, in plot units (width on x, height on y).
    void setMinimumSpan(const QSizeF &span);

    // The extent shown unzoomed (left = x minimum, top = y minimum, positive size). Sets the
    // scales of the zooming axes to it, or to the zoom moved inside it; the caller replots.
    void setWholeView(const QRectF &rect);
    QRectF wholeView() const { return m_whole; }
    // What the axes show now: the zoom, or the whole view.
    QRectF visibleRect() const;
    bool isZoomed() const { return !m_zoom.isNull(); }

public slots:
    // Shows `rect` (plot coordinates, kept inside the whole view) and replots.
    void setZoomRect(const QRectF &rect);
    // Scales the visible spans of `orientations` by `factor` (< 1 zooms in) so that `anchor`
    // stays where it is, and replots.
    void zoomBy(double factor, const QPointF &anchor, Qt::Orientations orientations);
    // Moves the zoom by (dx, dy) plot units within the whole view, and replots.
    void panBy(double dx, double dy);
    // Back to the whole view, and replots.
    void resetZoom();

signals:
    // The visible rectangle changed (by the user, setZoomRect or a new whole view).
    void zoomChanged(const QRectF &visible);
    // A left click on the canvas that was no drag, at this canvas pixel.
    void clicked(const QPoint &canvasPos);
    // Space went down and up on the canvas without a pan: what Space does elsewhere in the
    // window (its shortcut) should happen now.
    void spaceTapped();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Drag { None, Pending, Band, Pan };

    bool takes(QObject *watched, QEvent *event);
    bool canvasEvent(QEvent *event);
    bool axisWheel(int axis, QEvent *event);
    bool mousePress(const QPoint &pos, Qt::MouseButton button);
    bool mouseMove(const QPoint &pos);
    bool mouseRelease(const QPoint &pos);
    bool keyEvent(QEvent *event);
    bool wantsKey(QEvent *event) const;
    void zoomIntoPixels(const QRect &pixels);
    QPointF toPlot(const QPoint &canvasPos) const;
    QRectF fitted(const QRectF &rect) const;
    void show(const QRectF &zoom);
    void applyAxes();
    void setPanCursor(bool on);
    QRect bandRect(const QPoint &pos) const;

    QwtPlot *m_plot;
    int m_xAxis;
    int m_yAxis;
    // The watched parts, kept apart from the plot: the plot's own destructor still sends them
    // events (focus out, hide) after its QwtPlot part is gone.
    QWidget *m_canvas;
    QWidget *m_xAxisWidget;
    QWidget *m_yAxisWidget;
    Qt::Orientations m_orientations = Qt::Horizontal | Qt::Vertical;
    QSizeF m_minimumSpan;
    QRectF m_whole;
    QRectF m_zoom; // null when the whole view is shown
    Drag m_drag = Drag::None;
    QPoint m_dragStart;
    QPoint m_dragLast;
    bool m_spaceHeld = false;
    bool m_pannedWhileSpaceHeld = false;
    QRubberBand *m_band; // child of the canvas
};
