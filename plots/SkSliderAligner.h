#pragma once
// Keeps a horizontal QwtSlider under a plot so that each value of the slider sits at the same
// screen x as that value on the plot's bottom axis: the frame slider under the activity plot
// puts frame n right below the plot's frame n, whatever the legend, the language or the widths
// of the axes and controls beside the canvas.
//
// It moves the ends of the slider's scale by setting the slider's left and right contents
// margins, and does so again whenever the plot's canvas or the slider moves or changes size
// and whenever either scale changes. The slider and the plot's bottom axis should span the
// same range (the window sets both from the store's data range). A plot that zooms is lined
// up by its whole view: while zoomed, the slider keeps the place it has under the whole view.

#include <QObject>
#include <QPointer>

class QwtPlot;
class QwtSlider;
class SkPlotZoomer;

class SkSliderAligner : public QObject
{
    Q_OBJECT

public:
    // Watches both widgets; neither is owned, nor the plot's zoomer (if it has one), which
    // lives as long as the plot. The aligner is a child of the slider.
    SkSliderAligner(QwtPlot *plot, QwtSlider *slider, SkPlotZoomer *zoomer = nullptr);

    // Pixels by which the slider's ends miss the plot's (the larger of both ends); 0 when
    // aligned, also when either widget is hidden or the slider's range is empty.
    double misalignment() const;

public slots:
    // Aligns now (the widgets must be laid out).
    void align();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void scheduleAlign();
    bool canAlign() const;
    // Global x of the slider's lower and upper bound on the plot and on the slider.
    void ends(double plotX[2], double sliderX[2]) const;

    QPointer<QwtPlot> m_plot;
    QwtSlider *m_slider;
    SkPlotZoomer *m_zoomer;
    bool m_pending = false;  // an alignment is queued
    bool m_aligning = false; // the slider's own relayout is under way
};
