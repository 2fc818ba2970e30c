#pragma once
// Registers the plot types that travel through queued or string-based connections
// ("QwtLinearColorMap::Mode", "QList<SkActivityAlarmMarker*>"), and those of the layers below.
// Programs call it once at start-up.

#include "SkActivityAlarmMarker.h"

#include <QList>
#include <QMetaType>

Q_DECLARE_METATYPE(QList<SkActivityAlarmMarker *>)

void skRegisterPlotMetaTypes();
