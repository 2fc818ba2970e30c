#pragma once
// The channel axis of the spectrogram under a peak shift: ticks stand where the channel shown
// is a round number (0, 200, 400 ...), wherever the rotation puts those channels, so the axis
// reads true channels. Without a shift it divides like a plain linear scale.

#include "SkChannelMapping.h"

#include <qwt_scale_engine.h>

class SkChannelScaleEngine : public QwtLinearScaleEngine
{
public:
    explicit SkChannelScaleEngine(const SkChannelMapping &mapping);

    QwtScaleDiv divideScale(double x1, double x2, int maxMajorSteps, int maxMinorSteps,
                            double stepSize = 0.0) const override;

private:
    SkChannelMapping m_mapping;
};
