#pragma once
// The colour ramp of the spectrogram: dark blue up to a fifth of the interval (the noise floor
// stays calm), then cyan, green and red at the top.

#include <qwt_color_map.h>

class SkColorMap : public QwtLinearColorMap
{
public:
    explicit SkColorMap(QwtLinearColorMap::Mode mode = QwtLinearColorMap::ScaledColors);

    QRgb rgb(const QwtInterval &interval, double value) const override;
};
