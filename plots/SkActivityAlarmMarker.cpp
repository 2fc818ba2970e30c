#include "SkActivityAlarmMarker.h"

#include "RuAlarmEvent.h"

#include <qwt_plot.h>

SkActivityAlarmMarker::SkActivityAlarmMarker(double x, double y, const QColor &color,
                                             QwtSymbol::Style style, Fill fill)
{
    // A darker outline keeps the light colours (yellow, green) of filled symbols visible on
    // the light canvas; crosses are lines only and keep their colour. Hollow symbols draw
    // their outline thicker, in the colour a little darkened.
    const bool lines = style == QwtSymbol::XCross || style == QwtSymbol::Cross;
    QPen pen(lines ? color : color.darker(fill == Hollow ? 130 : 170));
    if (fill == Hollow)
        pen.setWidthF(2.0);
    const QBrush brush(color, fill == Hollow ? Qt::NoBrush : Qt::SolidPattern);
    setSymbol(new QwtSymbol(style, brush, pen, QSize(10, 10)));
    setLineStyle(QwtPlotMarker::NoLine);
    setValue(x, y);
}

namespace {

// Every kind of event has a shape of its own, so the markers read without their colours:
// pointing up or right turns something on, down or left off; alarms point up and down
// (avalanche filled, water level hollow), rain and water-level incidents right and left (rain
// filled, water level hollow); pre-alarms, incidents and faults have shapes of their own.
struct MarkerLook
{
    double y;
    Qt::GlobalColor color;
    QwtSymbol::Style style;
    SkActivityAlarmMarker::Fill fill = SkActivityAlarmMarker::Filled;
};

constexpr SkActivityAlarmMarker::Fill Hollow = SkActivityAlarmMarker::Hollow;

bool avalancheLook(int status, MarkerLook *look)
{
    switch (status) {
    case RuStatusDisabled:
    case RuStatusEvaluated:
    case RuStatusQuiet:
    case RuStatusAlarmContinues:
        return false;
    case RuStatusPreAlarm: *look = {1.0, Qt::green, QwtSymbol::Rect}; return true;
    case RuStatusPreAlarmSameRgs: *look = {2.0, Qt::darkGreen, QwtSymbol::Ellipse}; return true;
    case RuStatusPreAlarmComing: *look = {3.0, Qt::darkGreen, QwtSymbol::Star2}; return true;
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
        *look = {levels.rainAlarmOn, Qt::blue, QwtSymbol::RTriangle};
        return true;
    case RuStatusAlarmOff:
        *look = {levels.rainAlarmOff, Qt::blue, QwtSymbol::LTriangle};
        return true;
    default:
        return false;
    }
}

bool waterlevelLook(int status, const SkActivityMarkerLevels &levels, MarkerLook *look)
{
    switch (status) {
    case RuStatusIncidentOn:
        *look = {levels.waterlevelIncidentOn, Qt::green, QwtSymbol::RTriangle, Hollow};
        return true;
    case RuStatusIncidentOff:
        *look = {levels.waterlevelIncidentOff, Qt::green, QwtSymbol::LTriangle, Hollow};
        return true;
    case RuStatusAlarmOn:
        *look = {levels.waterlevelAlarmOn, Qt::yellow, QwtSymbol::UTriangle, Hollow};
        return true;
    case RuStatusAlarmOff:
        *look = {levels.waterlevelAlarmOff, Qt::yellow, QwtSymbol::DTriangle, Hollow};
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
    auto *marker =
        new SkActivityAlarmMarker(frameNo, look.y, QColor(look.color), look.style, look.fill);
    marker->setAxes(QwtPlot::xBottom, yAxis);
    marker->setText(event.marker);
    return marker;
}
