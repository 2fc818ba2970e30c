#pragma once
// The live values of one frame: Channel0, the one-sided activity ("#-Sum") and the mode,
// maximum and median velocity of the dominant movement per range gate, and the half-symmetry
// differences they are taken from. Carries nothing from frame to frame.

#include "RuAlarmParams.h"
#include "RuAlarmResult.h"
#include "RuFrameInfo.h"
#include "RuHalfMatrix.h"
#include "RuLiveEnables.h"
#include "RuMatrix.h"

class RuLiveValueCalculator
{
public:
    struct Input
    {
        const RuMatrix &filtered;        // F: the time average of this frame
        // The last normalised matrix the engine computed (perhaps for an earlier frame), or
        // null when it has none.
        const RuMatrix *normalised;
        // N(r, c) + 1 - N(r, 1023 - c) of this frame; null when the engine did not normalise
        // this frame (then Channel0 and the activity are not computed).
        const RuMatrix *asymmetry;
        const RuFrameInfo *info;         // the frame's parameter block, or null (no velocities then)
    };

    // Fills the enabled lists of result.live and, when a velocity is enabled, `half` with
    // the half-symmetry differences; returns the matrix they were taken from (in.filtered or
    // in.normalised), or null when they were not computed.
    const RuMatrix *process(const RuAlarmParams &params, const RuLiveEnables &enables,
                            const Input &in, RuAlarmResult &result, RuHalfMatrix &half) const;

    // Velocity of one Doppler channel in 0.1 m/s for the frame's "Prf" and "Integrate".
    static double channelVelocity(const RuFrameInfo &info);
};
