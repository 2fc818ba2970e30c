#pragma once
// The controls beside the activity plot and what they make of its y axes: the top of the left
// axis (a slider and a box), the bottom and top of the right axis (a slider and two boxes), a
// "Fit" toggle per axis and a "Log" toggle for the right one.
//
// The axes fit themselves to the curves shown until the user sets a limit: a value slid or
// typed here holds for its axis and turns its "Fit" off; checking "Fit" again brings the fitted
// range back. The boxes always show the range the axis has, fitted or set. Which axes fit,
// whether the right one is logarithmic, the limits set and the curves hidden from the legend
// are kept in the program store.

#include <QObject>

class QAbstractButton;
class QDoubleSpinBox;
class QSettings;
class QwtSlider;
class SkPlotActivities;

class SkActivityControls : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QwtSlider *leftTopSlider;
        QDoubleSpinBox *leftTopBox;
        QAbstractButton *leftFit;
        QwtSlider *rightTopSlider;
        QDoubleSpinBox *rightTopBox;
        QDoubleSpinBox *rightBottomBox;
        QAbstractButton *rightFit;
        QAbstractButton *rightLog;
    };

    // Neither the plot nor the widgets are owned; they outlive the controls.
    SkActivityControls(SkPlotActivities *plot, const Widgets &widgets, QObject *parent = nullptr);

    // What the user slid or typed: the axis keeps these limits and stops fitting.
    void setLeftTop(double top);
    void setRightTop(double top);
    void setRightBottom(double bottom);

    // The state kept in the program store; absent keys leave both axes fitting, the right
    // one logarithmic, and every curve shown.
    void restore(const QSettings &settings);
    void save(QSettings &settings) const;

signals:
    // The plot's axes changed: it wants a replot.
    void changed();

private:
    void setRightLimits(double bottom, double top);
    void showRange(int axis, double lower, double upper);
    void showAutoFit(int axis, bool on);
    void setLogarithmic(bool on);

    SkPlotActivities *m_plot; // not owned
    Widgets m_widgets;        // not owned
};
