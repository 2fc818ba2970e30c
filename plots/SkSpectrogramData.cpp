#include "SkSpectrogramData.h"

double SkSpectrogramData::value(double x, double y) const
{
    return QwtMatrixRasterData::value(x, y);
}
