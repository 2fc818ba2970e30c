#include "SkChannelScaleDraw.h"

#include <qwt_text.h>

#include <cmath>

SkChannelScaleDraw::SkChannelScaleDraw(const SkChannelMapping &mapping,
                                       const SkVelocityScale &velocity)
    : m_mapping(mapping),
      m_velocity(velocity)
{
}

QwtText SkChannelScaleDraw::label(double value) const
{
    if (m_velocity.isValid()) {
        const double velocity = m_velocity.velocityAt(m_mapping.positionToChannel(value));
        // Ticks stand at round velocities; the rounding hides the error of the way back.
        return QwtText(QString::number(std::round(velocity * 1000.0) / 1000.0 + 0.0));
    }
    // Channel numbers name channels: no digit grouping, as in the tracker and the readouts.
    const double column = std::floor(value);
    if (column < 0 || column >= SkChannelMapping::Channels)
        return QwtText(QString::number(value)); // the right edge (1024) shows no channel
    return QwtText(QString::number(m_mapping.columnToChannel(int(column))));
}
