#include "SkChannelMapping.h"

namespace {

int wrapped(int value)
{
    const int r = value % SkChannelMapping::Channels;
    return r < 0 ? r + SkChannelMapping::Channels : r;
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
