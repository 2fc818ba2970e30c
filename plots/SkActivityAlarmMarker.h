#pragma once
// The symbol of one detector event on the activity plot: shape (with its fill) and colour
// each tell the event, x is the frame number.

#include "SkActivityMarker.h"
#include "SkActivityMarkerLevels.h"

#include <qwt_symbol.h>

#include <QColor>

struct RuAlarmEvent;

class SkActivityAlarmMarker : public SkActivityMarker
{
public:
    enum Fill { Filled, Hollow };

    // A symbol of `style`, 10 x 10 pixels in `color`, at (x, y); no line.
    SkActivityAlarmMarker(double x, double y, const QColor &color, QwtSymbol::Style style,
                          Fill fill = Filled);

    // The marker of `event` at frame `frameNo` with its text and axes, or null for an event
    // that has no marker. Avalanche markers stand on the left axis, the others on the right
    // at their threshold from `levels`.
    static SkActivityAlarmMarker *forEvent(int frameNo, const RuAlarmEvent &event,
                                           const SkActivityMarkerLevels &levels);
};
