#pragma once
// The bottom axis of the report's activity plot: frame numbers labelled with the frames'
// UTC times ("06:03:20"), so the curves read against the clock.

#include <qwt_scale_draw.h>

#include <QVector>

class SkFrameTimeScaleDraw : public QwtScaleDraw
{
public:
    // `times` holds the time of frame firstFrame + i at i (microseconds since 1970).
    SkFrameTimeScaleDraw(qint64 firstFrame, const QVector<qint64> &times);
    QwtText label(double value) const override;

private:
    qint64 m_firstFrame;
    QVector<qint64> m_times;
};
