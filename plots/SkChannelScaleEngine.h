#pragma once
// The channel axis of the spectrogram under a peak shift: ticks stand where the channel shown
// is a round number (0, 200, 400 ...), wherever the rotation puts those channels, so the axis
// reads true channels. With a velocity scale the ticks stand at round velocities (0, 10,
// -10 m/s ...) instead. Without a shift or velocity it divides like a plain linear scale.

#include "SkChannelMapping.h"
#include "SkVelocityScale.h"

#include <qwt_scale_engine.h>

class SkChannelScaleEngine : public QwtLinearScaleEngine
{
public:
    explicit SkChannelScaleEngine(const SkChannelMapping &mapping,
                                  const SkVelocityScale &velocity = SkVelocityScale());

    QwtScaleDiv divideScale(double x1, double x2, int maxMajorSteps, int maxMinorSteps,
                            double stepSize = 0.0) const override;

private:
    // Axis values (channels or m/s) run from first to before end; the one before end meets
    // `first` at the wrap.
    double firstValue() const;
    double endValue() const;
    double valueStep(double step) const;
    double positionOf(double value) const;

    SkChannelMapping m_mapping;
    SkVelocityScale m_velocity;
};
