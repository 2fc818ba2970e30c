#pragma once
// Everything the engine computed for one frame. Made by RuAlarmCalculator::processFrame and
// never modified once published: readers share it through SkAlarmResultSharedPtr.
//
// A result holds only what cannot be rebuilt from the frames. The background in force and a
// time average over several frames depend on earlier frames through the engine's running
// sums: the result refers to the accumulator trail that rebuilds them bit for bit
// (RuAccumulatorTrail). When the filtered matrix was the frame's own spectral average it is
// rebuilt from the frame. The normalised matrix is a pure
// function of those two, and the half-symmetry differences of the filtered or normalised
// matrix, so both are rebuilt on demand (SkPacket does it, row by row where a view needs
// only a row). Only a half-symmetry matrix taken from another frame's normalised matrix is
// kept, and then only its non-zero half.

#include "RuAccumulatorTrail.h"
#include "RuAvalancheResult.h"
#include "RuHalfMatrix.h"
#include "RuLiveValues.h"
#include "RuMatrix.h"
#include "RuRainResult.h"
#include "RuWaterlevelResult.h"

#include <QMetaType>
#include <QSharedPointer>

#include <array>

struct RuAlarmResult
{
    static constexpr int Detectors = 3;

    // Where the half-symmetry differences of this frame were taken from.
    enum class HalfSymmetrySource : unsigned char {
        None,       // not computed
        Filtered,   // this frame's filtered matrix
        Normalised, // this frame's normalised matrix
        Held        // another frame's normalised matrix: `halfSymmetry` holds the result
    };

    RuAlarmResult() = default;
    // A result for a frame of `rows` range gates (no detector enabled yet).
    explicit RuAlarmResult(int rows) : rows(rows) {}

    int rows = 0;
    std::array<RuAvalancheResult, Detectors> avalanche;
    std::array<RuRainResult, Detectors> rain;
    std::array<RuWaterlevelResult, Detectors> waterlevel;
    RuLiveValues live;

    // The time average over earlier frames too; null when the filtered matrix is the frame's
    // own (see filteredFromFrame) or was not computed.
    QSharedPointer<const RuMatrix> filtered;
    RuTrailMean filteredMean; // or the trail that rebuilds it
    // The filtered matrix is the frame's spectral average with `spectralRadius` (0: the
    // frame as read), exactly as the detectors saw it.
    bool filteredFromFrame = false;
    int spectralRadius = 0;
    QSharedPointer<const RuMatrix> background;      // background in force, or null,
    RuTrailMean backgroundMean;                     // or the trail that rebuilds it
    bool normalisedComputed = false;                // the detectors normalised this frame
    HalfSymmetrySource halfSymmetrySource = HalfSymmetrySource::None;
    QSharedPointer<const RuHalfMatrix> halfSymmetry; // channels 0..511, only when Held

    bool hasFiltered() const
    {
        if (filtered)
            return filtered->rows() > 0;
        if (!filteredMean.isNull())
            return filteredMean.rows() > 0;
        return filteredFromFrame && rows > 0;
    }
    bool hasBackground() const
    {
        return background ? background->rows() > 0 : backgroundMean.rows() > 0;
    }
    bool hasNormalised() const { return normalisedComputed && hasFiltered() && hasBackground(); }
    bool hasHalfSymmetry() const
    {
        switch (halfSymmetrySource) {
        case HalfSymmetrySource::None: return false;
        case HalfSymmetrySource::Held: return halfSymmetry && halfSymmetry->rows() > 0;
        case HalfSymmetrySource::Filtered: return hasFiltered();
        case HalfSymmetrySource::Normalised: return hasNormalised();
        }
        return false;
    }
};

using SkAlarmResultSharedPtr = QSharedPointer<const RuAlarmResult>;

Q_DECLARE_METATYPE(SkAlarmResultSharedPtr)
