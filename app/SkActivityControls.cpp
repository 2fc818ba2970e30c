#include "SkActivityControls.h"

#include "SkActivityPlotId.h"
#include "SkPlotActivities.h"

#include <qwt_slider.h>

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QSettings>
#include <QSignalBlocker>
#include <QStringList>

#include <cmath>

namespace {

const QString LeftFitKey = QStringLiteral("activityPlot/leftFit");
const QString LeftTopKey = QStringLiteral("activityPlot/leftTop");
const QString RightFitKey = QStringLiteral("activityPlot/rightFit");
const QString RightLogKey = QStringLiteral("activityPlot/rightLog");
const QString RightBottomKey = QStringLiteral("activityPlot/rightBottom");
const QString RightTopKey = QStringLiteral("activityPlot/rightTop");
const QString HiddenCurvesKey = QStringLiteral("activityPlot/hiddenCurves");

// Sets the box only when it would show another value: setting it while the user types into it
// would move the cursor.
void showValue(QDoubleSpinBox *box, double value)
{
    if (std::abs(box->value() - value) < 0.5 * std::pow(10.0, -box->decimals()))
        return;
    const QSignalBlocker blocker(box);
    box->setValue(value);
}

void showValue(QwtSlider *slider, double value)
{
    const QSignalBlocker blocker(slider);
    slider->setValue(value);
}

// A stored number, or nothing when the key is absent or holds no finite number.
bool storedDouble(const QSettings &settings, const QString &key, double *value)
{
    bool ok = false;
    const double v = settings.value(key).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

} // namespace

SkActivityControls::SkActivityControls(SkPlotActivities *plot, const Widgets &widgets,
                                       QObject *parent)
    : QObject(parent), m_plot(plot), m_widgets(widgets)
{
    connect(plot, &SkPlotActivities::axisRangeFitted, this, &SkActivityControls::showRange);
    connect(plot, &SkPlotActivities::axisAutoFitChanged, this, &SkActivityControls::showAutoFit);
    connect(widgets.leftFit, &QAbstractButton::toggled, this, [this](bool on) {
        m_plot->setAxisAutoFit(QwtPlot::yLeft, on);
        emit changed();
    });
    connect(widgets.rightFit, &QAbstractButton::toggled, this, [this](bool on) {
        m_plot->setAxisAutoFit(QwtPlot::yRight, on);
        emit changed();
    });
    connect(widgets.rightLog, &QAbstractButton::toggled, this, &SkActivityControls::setLogarithmic);
    for (int axis : {QwtPlot::yLeft, QwtPlot::yRight}) {
        showAutoFit(axis, plot->isAxisAutoFit(axis));
        const QwtInterval range = plot->axisInterval(axis);
        showRange(axis, range.minValue(), range.maxValue());
    }
    const QSignalBlocker blocker(widgets.rightLog);
    widgets.rightLog->setChecked(plot->isAxisLogarithmic(QwtPlot::yRight));
}

void SkActivityControls::setLeftTop(double top)
{
    m_plot->setAxisLimits(QwtPlot::yLeft, 0.0, top);
    showRange(QwtPlot::yLeft, 0.0, top);
    emit changed();
}

void SkActivityControls::setRightTop(double top)
{
    setRightLimits(m_widgets.rightBottomBox->value(), top);
}

void SkActivityControls::setRightBottom(double bottom)
{
    setRightLimits(bottom, m_widgets.rightTopBox->value());
}

// The boxes then show what the axis took: a logarithmic axis starts above zero.
void SkActivityControls::setRightLimits(double bottom, double top)
{
    m_plot->setAxisLimits(QwtPlot::yRight, bottom, top);
    const QwtInterval range = m_plot->axisInterval(QwtPlot::yRight);
    showRange(QwtPlot::yRight, range.minValue(), range.maxValue());
    emit changed();
}

void SkActivityControls::showRange(int axis, double lower, double upper)
{
    if (axis == QwtPlot::yLeft) {
        showValue(m_widgets.leftTopBox, upper);
        showValue(m_widgets.leftTopSlider, upper);
    } else if (axis == QwtPlot::yRight) {
        showValue(m_widgets.rightBottomBox, lower);
        showValue(m_widgets.rightTopBox, upper);
        showValue(m_widgets.rightTopSlider, upper);
    }
}

void SkActivityControls::showAutoFit(int axis, bool on)
{
    QAbstractButton *button = axis == QwtPlot::yLeft ? m_widgets.leftFit : m_widgets.rightFit;
    const QSignalBlocker blocker(button);
    button->setChecked(on);
}

void SkActivityControls::setLogarithmic(bool on)
{
    {
        const QSignalBlocker blocker(m_widgets.rightLog);
        m_widgets.rightLog->setChecked(on);
    }
    m_plot->setAxisLogarithmic(QwtPlot::yRight, on);
    // Limits set by the user hold on the new scale (a bottom at zero moves above it).
    if (!m_plot->isAxisAutoFit(QwtPlot::yRight))
        setRightLimits(m_widgets.rightBottomBox->value(), m_widgets.rightTopBox->value());
    emit changed();
}

void SkActivityControls::restore(const QSettings &settings)
{
    setLogarithmic(settings.value(RightLogKey, true).toBool());
    double top = 0.0;
    double bottom = 0.0;
    if (!settings.value(LeftFitKey, true).toBool() && storedDouble(settings, LeftTopKey, &top)
        && top > 0.0)
        setLeftTop(top);
    else
        m_plot->setAxisAutoFit(QwtPlot::yLeft, true);
    if (!settings.value(RightFitKey, true).toBool() && storedDouble(settings, RightTopKey, &top)
        && storedDouble(settings, RightBottomKey, &bottom) && bottom < top)
        setRightLimits(bottom, top);
    else
        m_plot->setAxisAutoFit(QwtPlot::yRight, true);

    // An INI file gives a list of one back as a plain text: toStringList() reads either.
    const QStringList hidden = settings.value(HiddenCurvesKey).toStringList();
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id)
        m_plot->setCurveShown(SkActivityPlotId(id), !hidden.contains(QString::number(id)));
    for (int axis : {QwtPlot::yLeft, QwtPlot::yRight}) {
        const QwtInterval range = m_plot->axisInterval(axis);
        showRange(axis, range.minValue(), range.maxValue());
    }
    emit changed();
}

void SkActivityControls::save(QSettings &settings) const
{
    const QwtInterval left = m_plot->axisInterval(QwtPlot::yLeft);
    const QwtInterval right = m_plot->axisInterval(QwtPlot::yRight);
    settings.setValue(LeftFitKey, m_plot->isAxisAutoFit(QwtPlot::yLeft));
    settings.setValue(LeftTopKey, left.maxValue());
    settings.setValue(RightFitKey, m_plot->isAxisAutoFit(QwtPlot::yRight));
    settings.setValue(RightLogKey, m_plot->isAxisLogarithmic(QwtPlot::yRight));
    settings.setValue(RightBottomKey, right.minValue());
    settings.setValue(RightTopKey, right.maxValue());
    QStringList hidden;
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id)
        if (!m_plot->isCurveShown(SkActivityPlotId(id)))
            hidden << QString::number(id);
    settings.setValue(HiddenCurvesKey, hidden);
}
