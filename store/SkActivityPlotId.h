#pragma once
// The ten curves of the activity plot. The frame store's live-data job is asked for one of
// them, so the identifier lives here, below the plots.

#include <QMetaType>

enum SkActivityPlotId : int {
    SkActivityAvalanche0 = 0,
    SkActivityAvalanche1 = 1,
    SkActivityAvalanche2 = 2,
    SkActivityWaterlevel = 3,
    SkActivityRain = 4,
    SkActivityChannel0 = 5,
    SkActivitySum = 6, // "#-Sum"
    SkActivityMode = 7,
    SkActivityMaxVelocity = 8,
    SkActivityMedianVelocity = 9
};

Q_DECLARE_METATYPE(SkActivityPlotId)
