#pragma once
// Labels of the spectrogram's channel axis: the true channel of each tick's column, so a peak
// shift does not make the axis name screen columns; plain numbers, like the tracker's.

#include "SkChannelMapping.h"

#include <qwt_scale_draw.h>

class SkChannelScaleDraw : public QwtScaleDraw
{
public:
    explicit SkChannelScaleDraw(const SkChannelMapping &mapping);

    QwtText label(double value) const override;

private:
    SkChannelMapping m_mapping;
};
