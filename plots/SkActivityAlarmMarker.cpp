#include "SkActivityAlarmMarker.h"

#include "RuAlarmEvent.h"

#include <qwt_plot.h>

SkActivityAlarmMarker::SkActivityAlarmMarker(double x, double y, const QColor &color,
                                             QwtSymbol::Style style)
{
    // A darker outline keeps the light colours (yellow, green) of filled symbols visible on
    // the light canvas; crosses are lines only and keep their colour.
    const bool filled = style != QwtSymbol::XCross && style != QwtSymbol::Cross;
    const QPen pen(filled ? color.darker(170) : color);
    setSymbol(new QwtSymbol(style, QBrush(color), pen, QSize(10, 10)));
    setLineStyle(QwtPlotMarker::NoLine);
    setValue(x, y);
}

namespace {

struct MarkerLook
{
    double y;
    Qt::GlobalColor color;
    QwtSymbol::Style style;
};

bool avalancheLook(int status, MarkerLook *look)
{
    switch (status) {
    case RuStatusDisabled:
    case RuStatusEvaluated:
    case RuStatusQuiet:
    case RuStatusAlarmContinues:
        return false;
    case RuStatusPreAlarm: *look = {1.0, Qt::green, QwtSymbol::Rect}; return true;
    case RuStatusPreAlarmSameRgs: *look = {2.0, Qt::darkGreen, QwtSymbol::Rect}; return true;
    case RuStatusPreAlarmComing: *look = {3.0, Qt::darkGreen, QwtSymbol::Rect}; return true;
    case RuStatusIncident: *look = {0.9, Qt::green, QwtSymbol::Diamond}; return true;
    case RuStatusAlarmOn: *look = {10.0, Qt::red, QwtSymbol::UTriangle}; return true;
    case RuStatusAlarmSpecial: *look = {5.0, Qt::blue, QwtSymbol::Hexagon}; return true;
    case RuStatusAlarmOff: *look = {10.0, Qt::red, QwtSymbol::DTriangle}; return true;
    default: *look = {0.5, Qt::red, QwtSymbol::XCross}; return true;
    }
}

bool rainLook(int status, const SkActivityMarkerLevels &levels, MarkerLook *look)
{
    switch (status) {
    case RuStatusAlarmOn:
        *look = {levels.rainAlarmOn, Qt::blue, QwtSymbol::UTriangle};
        return true;
    case RuStatusAlarmOff:
        *look = {levels.rainAlarmOff, Qt::blue, QwtSymbol::DTriangle};
        return true;
    default:
        return false;
    }
}

bool waterlevelLook(int status, const SkActivityMarkerLevels &levels, MarkerLook *look)
{
    switch (status) {
    case RuStatusIncidentOn:
        *look = {levels.waterlevelIncidentOn, Qt::green, QwtSymbol::UTriangle};
        return true;
    case RuStatusIncidentOff:
        *look = {levels.waterlevelIncidentOff, Qt::green, QwtSymbol::DTriangle};
        return true;
    case RuStatusAlarmOn:
        *look = {levels.waterlevelAlarmOn, Qt::yellow, QwtSymbol::UTriangle};
        return true;
    case RuStatusAlarmOff:
        *look = {levels.waterlevelAlarmOff, Qt::yellow, QwtSymbol::DTriangle};
        return true;
    default:
        return false;
    }
}

} // namespace

SkActivityAlarmMarker *SkActivityAlarmMarker::forEvent(int frameNo, const RuAlarmEvent &event,
                                                       const SkActivityMarkerLevels &levels)
{
    MarkerLook look{};
    bool marked = false;
    int yAxis = QwtPlot::yRight;
    switch (event.source) {
    case RuAlarmEvent::Avalanche:
        marked = avalancheLook(event.status, &look);
        yAxis = QwtPlot::yLeft;
        break;
    case RuAlarmEvent::Rain:
        marked = rainLook(event.status, levels, &look);
        break;
    case RuAlarmEvent::Waterlevel:
        marked = waterlevelLook(event.status, levels, &look);
        break;
    }
    if (!marked)
        return nullptr;
    auto *marker = new SkActivityAlarmMarker(frameNo, look.y, QColor(look.color), look.style);
    marker->setAxes(QwtPlot::xBottom, yAxis);
    marker->setText(event.marker);
    return marker;
}
