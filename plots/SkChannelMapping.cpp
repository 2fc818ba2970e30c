#include "SkChannelMapping.h"

#include <cmath>

namespace {

int wrapped(int value)
{
    const int r = value % SkChannelMapping::Channels;
    return r < 0 ? r + SkChannelMapping::Channels : r;
}

double wrapped(double value)
{
    const double r = std::fmod(value, SkChannelMapping::Channels);
    return r < 0.0 ? r + SkChannelMapping::Channels : r;
}

} // namespace

SkChannelMapping::SkChannelMapping(int shift)
    : m_shift(wrapped(shift))
{
}

int SkChannelMapping::columnToChannel(int column) const
{
    return wrapped(column - m_shift);
}

int SkChannelMapping::channelToColumn(int channel) const
{
    return wrapped(channel + m_shift);
}

double SkChannelMapping::positionToChannel(double position) const
{
    return wrapped(position - m_shift);
}

double SkChannelMapping::channelToPosition(double channel) const
{
    return wrapped(channel + m_shift);
}
