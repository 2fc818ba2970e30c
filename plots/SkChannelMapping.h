#pragma once
// Which Doppler channel a screen column of the spectrogram shows. A peak shift rotates every
// spectrum to the right by `shift` columns for display (the frame store's extraction jobs do
// it), wrapping around at 1024: column x shows channel (x - shift) mod 1024, and channel c
// stands in column (c + shift) mod 1024. With "To Middle" (512) column 226 shows channel 738.

class SkChannelMapping
{
public:
    static constexpr int Channels = 1024;

    explicit SkChannelMapping(int shift = 0);

    // The shift, reduced to 0 ... 1023.
    int shift() const { return m_shift; }

    int columnToChannel(int column) const;
    int channelToColumn(int channel) const;
    // The same along the axis in fractions of a channel, wrapped into [0, 1024).
    double positionToChannel(double position) const;
    double channelToPosition(double channel) const;

    bool operator==(const SkChannelMapping &other) const { return m_shift == other.m_shift; }
    bool operator!=(const SkChannelMapping &other) const { return !(*this == other); }

private:
    int m_shift;
};
