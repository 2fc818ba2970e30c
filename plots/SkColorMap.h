#pragma once
// The colour map of the spectrogram in one of the schemes of SkColorScheme. The ramp keeps the
// bottom fifth of the interval dark blue (the noise floor stays calm), then runs through cyan
// and green to red; viridis and cividis follow their published tables in 17 stops, greyscale
// runs from black to white.

#include "SkColorScheme.h"

#include <qwt_color_map.h>

class SkColorMap : public QwtLinearColorMap
{
public:
    explicit SkColorMap(QwtLinearColorMap::Mode mode = QwtLinearColorMap::ScaledColors,
                        SkColorScheme::Id scheme = SkColorScheme::Ramp);

    SkColorScheme::Id scheme() const { return m_scheme; }

private:
    SkColorScheme::Id m_scheme;
};
