#include "SkPlotMetaTypes.h"

#include "SkPlotSpectrogram.h"
#include "SkStoreMetaTypes.h"

void skRegisterPlotMetaTypes()
{
    skRegisterStoreMetaTypes();
    qRegisterMetaType<QwtLinearColorMap::Mode>("QwtLinearColorMap::Mode");
    qRegisterMetaType<QList<SkActivityAlarmMarker *>>("QList<SkActivityAlarmMarker*>");
}
