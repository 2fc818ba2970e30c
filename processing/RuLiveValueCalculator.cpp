#include "RuLiveValueCalculator.h"

#include "RuHalfMatrix.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;
constexpr int Half = RuHalfMatrix::ColsAtCompileTime;

// Truncated towards zero and saturated to the 16 bits the lists hold.
quint16 saturated(float x)
{
    if (!(x > 0.0f))
        return 0;
    if (x >= 65535.0f)
        return 65535;
    return static_cast<quint16>(x);
}

// A channel as a velocity; channels whose velocity does not fit count as no velocity.
quint16 velocity(int channel, double perChannel)
{
    const double v = channel * perChannel;
    if (!(v >= 0.0 && v <= 65535.0))
        return 0;
    return static_cast<quint16>(v);
}

struct Velocities
{
    int mode = 0;     // channels
    int max = 0;
    int median = 0;
};

int firstAbove(const float *d, int from, float threshold)
{
    while (from < Half && !(d[from] > threshold))
        ++from;
    return from;
}

int firstBelow(const float *d, int from, float threshold)
{
    while (from < Half && !(d[from] < threshold))
        ++from;
    return from;
}

// The first channel of [from, to) with the largest value above `best`, if any.
void takeBest(const float *d, int from, int to, float &best, int &bestChannel)
{
    for (int c = from; c < to; ++c) {
        if (d[c] > best) {
            best = d[c];
            bestChannel = c;
        }
    }
}

// The first channel c of [c0, m] at which the running sum of d from c0 exceeds half of the
// sum over [c0, m]; 0 when there is none. Sums in double, four channels at a time: a block
// is walked channel by channel only when one of its partial sums can cross the half.
int medianChannel(const float *d, int c0, int m)
{
    double lanes[4] = {0.0, 0.0, 0.0, 0.0};
    int c = c0;
    for (; c + 3 <= m; c += 4) {
        for (int k = 0; k < 4; ++k)
            lanes[k] += d[c + k];
    }
    for (; c <= m; ++c)
        lanes[0] += d[c];
    const double half = ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) / 2.0;
    double running = 0.0;
    for (c = c0; c + 3 <= m; c += 4) {
        const double p1 = d[c];
        const double p2 = p1 + d[c + 1];
        const double p3 = p2 + d[c + 2];
        const double p4 = p3 + d[c + 3];
        if (running + std::max(std::max(p1, p2), std::max(p3, p4)) > half)
            break;
        running += p4;
    }
    for (; c <= m; ++c) {
        running += d[c];
        if (running > half)
            return c;
    }
    return 0;
}

// The scan of one row of half-symmetry differences from channel c0 with threshold T. It
// waits for the first channel above T, follows the stretch above T (at or above) to the
// first channel below it ("dropped"), and after a drop at s rises again only at a channel
// above T beyond s + c0. The best value is taken over the channels up to the first rise and
// over every stretch above T: its channel is the mode; the drop the scan ends in is the
// maximum velocity. Walked as stretches, so the channels skipped after a drop are not read.
Velocities scanRow(const float *d, int c0, float threshold, bool withMedian)
{
    float best = 0.0f;
    int bestChannel = -1;
    int rise = firstAbove(d, c0, threshold);
    takeBest(d, c0, std::min(rise + 1, Half), best, bestChannel);
    int dropped = -1;
    while (rise < Half) {
        const int fall = firstBelow(d, rise + 1, threshold);
        takeBest(d, rise + 1, fall, best, bestChannel);
        if (fall >= Half) {
            dropped = -1;
            break;
        }
        dropped = fall;
        rise = firstAbove(d, fall + c0 + 1, threshold);
        takeBest(d, rise, std::min(rise + 1, Half), best, bestChannel);
    }
    Velocities v;
    v.mode = best >= threshold ? bestChannel : 0;
    v.max = dropped >= 0 ? dropped : 0;
    if (withMedian && v.max >= c0)
        v.median = medianChannel(d, c0, v.max);
    return v;
}

void channel0(const RuMatrix &filtered, QVector<quint16> &out)
{
    out.resize(static_cast<int>(filtered.rows()));
    for (int r = 0; r < filtered.rows(); ++r)
        out[r] = saturated(filtered(r, 0));
}

// Sum of max(0, X) over the window minus its width: the excess of one side over the other.
void activity(const RuAlarmParams &params, const RuMatrix &asymmetry, QVector<quint16> &out)
{
    // A window reaching outside the row, or ending before it begins, is clipped (to empty).
    const int begin = std::clamp(params.liveChBegin, 0, Channels);
    const int end = std::clamp(params.liveChEnd, begin, Channels);
    const int n = end - begin;
    out.resize(static_cast<int>(asymmetry.rows()));
    for (int r = 0; r < asymmetry.rows(); ++r) {
        const float sum = asymmetry.row(r).segment(begin, n).array().max(0.0f).sum();
        out[r] = saturated(sum - static_cast<float>(n));
    }
}

// D(r, c) = V(r, c) - V(r, 1023 - c) for the left half (the right half would mirror it),
// and, with a channel velocity, the velocities of every row while its D is still in cache.
void halfSymmetry(const RuAlarmParams &params, const RuLiveEnables &enables, const RuMatrix &v,
                  const RuFrameInfo *info, RuLiveValues &live, RuHalfMatrix &d)
{
    const int rows = static_cast<int>(v.rows());
    d.resize(rows, Half);
    // Without a parameter block there is no Prf to turn channels into velocities.
    const double perChannel = info ? RuLiveValueCalculator::channelVelocity(*info) : 0.0;
    const int c0 = std::clamp(params.liveVelocityChBegin, 0, Half);
    if (info && enables.mainVelocity)
        live.mainVelocity.fill(0, rows);
    if (info && enables.maxVelocity)
        live.maxVelocity.fill(0, rows);
    if (info && enables.medianVelocity)
        live.medianVelocity.fill(0, rows);
    for (int r = 0; r < rows; ++r) {
        d.row(r) = v.row(r).head<Half>() - v.row(r).tail<Half>().reverse();
        if (!info)
            continue;
        const Velocities found = scanRow(d.row(r).data(), c0, params.liveVelocityLowLimit,
                                         enables.medianVelocity);
        if (enables.mainVelocity)
            live.mainVelocity[r] = velocity(found.mode, perChannel);
        if (enables.maxVelocity)
            live.maxVelocity[r] = velocity(found.max, perChannel);
        if (enables.medianVelocity)
            live.medianVelocity[r] = velocity(found.median, perChannel);
    }
}

} // namespace

double RuLiveValueCalculator::channelVelocity(const RuFrameInfo &info)
{
    const double prf = info.prf;
    const double integrated = std::ldexp(1.0, info.integrate);
    // Carrier 10.425 GHz, 1024 channels, in 0.1 m/s.
    return prf * 299792458.0 * 1000.0 / (2.0 * integrated * 10.425e9) / 1024.0 * 10.0;
}

const RuMatrix *RuLiveValueCalculator::process(const RuAlarmParams &params,
                                               const RuLiveEnables &enables, const Input &in,
                                               RuAlarmResult &result, RuHalfMatrix &half) const
{
    const int rows = static_cast<int>(in.filtered.rows());
    // Channel0 and the activity belong to the frames the engine normalised.
    if (in.asymmetry && in.asymmetry->rows() == rows) {
        if (enables.channel0)
            channel0(in.filtered, result.live.channel0);
        if (enables.activity)
            activity(params, *in.asymmetry, result.live.activity);
    }
    if (!enables.anyVelocity())
        return nullptr;
    const RuMatrix *source = params.liveVelocitySource == 1 ? in.normalised : &in.filtered;
    if (!source || source->rows() != rows)
        return nullptr;
    halfSymmetry(params, enables, *source, in.info, result.live, half);
    return source;
}
