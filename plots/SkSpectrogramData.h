#pragma once
// The value matrix the spectrogram shows: rows of `columns` values, looked up nearest-neighbour.

#include <qwt_matrix_raster_data.h>

class SkSpectrogramData : public QwtMatrixRasterData
{
public:
    SkSpectrogramData() = default;

    double value(double x, double y) const override;
};
