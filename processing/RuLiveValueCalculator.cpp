#include "RuLiveValueCalculator.h"

#include "RuHalfMatrix.h"
#include "RuRowKernels.h"
#include "RuVelocityScan.h"

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
        ruRowKernels().halfSymmetry(v.row(r).data(), d.row(r).data());
        if (!info)
            continue;
        const RuVelocityChannels found = ruScanVelocities(d.row(r).data(), c0,
                                                          params.liveVelocityLowLimit,
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
