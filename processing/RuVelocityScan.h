#pragma once
// The scan of one range gate's half-symmetry differences D (channels 0..511) for the live
// velocities, from channel c0 with threshold T. It waits for the first channel above T,
// follows the stretch above T (at or above) to the first channel below it ("dropped"), and
// after a drop at s rises again only at a channel above T beyond s + c0. The best value is
// taken over the channels up to the first rise and over every stretch above T: its channel is
// the mode; the drop the scan ends in is the maximum velocity; the median is the channel at
// which the running sum from c0 first exceeds half the sum up to the maximum.

struct RuVelocityChannels
{
    int mode = 0;
    int max = 0;
    int median = 0;
};

RuVelocityChannels ruScanVelocities(const float *d, int c0, float threshold, bool withMedian);
