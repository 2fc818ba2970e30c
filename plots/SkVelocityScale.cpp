#include "SkVelocityScale.h"

#include "RuFrame.h"
#include "RuFrameInfo.h"
#include "RuLiveValueCalculator.h"
#include "SkChannelMapping.h"

namespace {

constexpr int Half = SkChannelMapping::Channels / 2;
constexpr int LastChannel = SkChannelMapping::Channels - 1;

} // namespace

SkVelocityScale::SkVelocityScale(double metresPerSecondPerChannel)
    : m_perChannel(metresPerSecondPerChannel > 0.0 ? metresPerSecondPerChannel : 0.0)
{
}

SkVelocityScale SkVelocityScale::of(const RuFrameInfo &info)
{
    // The live values keep velocities in 0.1 m/s.
    return SkVelocityScale(RuLiveValueCalculator::channelVelocity(info) / 10.0);
}

SkVelocityScale SkVelocityScale::of(const RuFrame &frame)
{
    return frame.hasInfo() ? of(frame.info()) : SkVelocityScale();
}

double SkVelocityScale::velocityAt(double channel) const
{
    return (channel < Half ? channel : channel - LastChannel) * m_perChannel;
}

double SkVelocityScale::channelAt(double velocity) const
{
    if (!isValid())
        return 0.0;
    const double channels = velocity / m_perChannel;
    return channels >= 0.0 ? channels : channels + LastChannel;
}
