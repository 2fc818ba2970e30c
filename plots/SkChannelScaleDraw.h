#pragma once
// Labels of the spectrogram's channel axis: the true channel of each tick's column, so a peak
// shift does not make the axis name screen columns; plain numbers, like the tracker's. With a
// velocity scale the labels are the radial velocity there in m/s.

#include "SkChannelMapping.h"
#include "SkVelocityScale.h"

#include <qwt_scale_draw.h>

class SkChannelScaleDraw : public QwtScaleDraw
{
public:
    explicit SkChannelScaleDraw(const SkChannelMapping &mapping,
                                const SkVelocityScale &velocity = SkVelocityScale());

    QwtText label(double value) const override;

private:
    SkChannelMapping m_mapping;
    SkVelocityScale m_velocity;
};
