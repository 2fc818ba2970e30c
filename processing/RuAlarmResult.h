#pragma once
// Everything the engine computed for one frame. Made by RuAlarmCalculator::processFrame and
// never modified once published: readers share it through SkAlarmResultSharedPtr.
//
// Matrices are shared, not copied: `background` is the very candidate of the engine's delay
// queue that was in force, `filtered` the time average the detectors saw. The normalised
// matrix is a pure function of those two, so it is rebuilt on demand instead of being held
// for every stored frame; the half-symmetry differences keep only their non-zero half.

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

    RuAlarmResult() = default;
    // A result for a frame of `rows` range gates (no detector enabled yet).
    explicit RuAlarmResult(int rows) : rows(rows) {}

    int rows = 0;
    std::array<RuAvalancheResult, Detectors> avalanche;
    std::array<RuRainResult, Detectors> rain;
    std::array<RuWaterlevelResult, Detectors> waterlevel;
    RuLiveValues live;

    QSharedPointer<const RuMatrix> filtered;        // time- and spectrum-averaged frame, or null
    QSharedPointer<const RuMatrix> background;      // background in force, or null
    bool normalisedComputed = false;                // the detectors normalised this frame
    QSharedPointer<const RuHalfMatrix> halfSymmetry; // channels 0..511 of the differences, or null

    bool hasFiltered() const { return filtered && filtered->rows() > 0; }
    bool hasBackground() const { return background && background->rows() > 0; }
    bool hasNormalised() const { return normalisedComputed && hasFiltered() && hasBackground(); }
    bool hasHalfSymmetry() const { return halfSymmetry && halfSymmetry->rows() > 0; }

    // filtered / max(1, background), exactly as the detectors saw it; 0 rows when not computed.
    RuMatrix normalised() const;
    // The full-width half-symmetry matrix (right half zero); 0 rows when not computed.
    RuMatrix halfSymmetryMatrix() const;
};

using SkAlarmResultSharedPtr = QSharedPointer<const RuAlarmResult>;

Q_DECLARE_METATYPE(SkAlarmResultSharedPtr)
