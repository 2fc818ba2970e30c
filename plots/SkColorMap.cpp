#include "SkColorMap.h"

SkColorMap::SkColorMap(QwtLinearColorMap::Mode mode)
    : QwtLinearColorMap(Qt::darkBlue, Qt::red, QwtColorMap::RGB)
{
    addColorStop(0.2, Qt::darkBlue);
    addColorStop(0.3, Qt::cyan);
    addColorStop(0.6, Qt::green);
    setMode(mode);
}

QRgb SkColorMap::rgb(const QwtInterval &interval, double value) const
{
    return QwtLinearColorMap::rgb(interval, value);
}
