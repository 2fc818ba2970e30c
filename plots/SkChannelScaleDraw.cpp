#include "SkChannelScaleDraw.h"

#include <qwt_text.h>

#include <cmath>

SkChannelScaleDraw::SkChannelScaleDraw(const SkChannelMapping &mapping)
    : m_mapping(mapping)
{
}

QwtText SkChannelScaleDraw::label(double value) const
{
    // Channel numbers name channels: no digit grouping, as in the tracker and the readouts.
    const double column = std::floor(value);
    if (column < 0 || column >= SkChannelMapping::Channels)
        return QwtText(QString::number(value)); // the right edge (1024) shows no channel
    return QwtText(QString::number(m_mapping.columnToChannel(int(column))));
}
