#pragma once
// The radial velocity of each Doppler channel of a frame, from its parameter block: one channel
// is Prf (kHz) * c * 1000 / (2 * 2^Integrate * 10.425 GHz) / 1024 m/s, as the live velocities
// count it. Channel c (0 ... 511) moves at c channels' velocity, its mirror 1023 - c at the
// same speed the other way, so a peak shift of 512 lays the axis out from -511 to +511
// channels' velocity with 0 in the middle. Frames without a parameter block (or a Prf of 0)
// have no scale: their axis counts channels.

class RuFrame;
struct RuFrameInfo;

class SkVelocityScale
{
public:
    SkVelocityScale() = default;
    explicit SkVelocityScale(double metresPerSecondPerChannel);
    // The scale of a frame's block; none for a frame without one.
    static SkVelocityScale of(const RuFrameInfo &info);
    static SkVelocityScale of(const RuFrame &frame);

    bool isValid() const { return m_perChannel > 0.0; }
    double perChannel() const { return m_perChannel; }

    // The velocity (m/s) of channel 0 ... 1023, and along the axis of a position in channel
    // units within [0, 1024): each channel's cell spans one channel's velocity from its own.
    double velocityAt(double channel) const;
    // The position whose velocityAt is `velocity`, for velocities from -511 to below +512
    // channels' velocity.
    double channelAt(double velocity) const;

    bool operator==(const SkVelocityScale &other) const { return m_perChannel == other.m_perChannel; }
    bool operator!=(const SkVelocityScale &other) const { return !(*this == other); }

private:
    double m_perChannel = 0.0;
};
