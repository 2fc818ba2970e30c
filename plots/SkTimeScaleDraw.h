#pragma once
// Labels of an axis that counts frames: the frame numbers, or the time of each frame in UTC
// shifted by a time-zone offset ("hh:mm:ss"), from the times of the frames held. Between held
// frames the time is interpolated, beyond them extrapolated at the mean frame interval; without
// two times it is only known at the one frame held, and the other labels stay frame numbers.

#include <qwt_scale_draw.h>

#include <QCoreApplication>
#include <QString>
#include <QVector>

#include <optional>

class SkTimeScaleDraw : public QwtScaleDraw
{
    Q_DECLARE_TR_FUNCTIONS(SkTimeScaleDraw)

public:
    enum Mode { Frames, Utc };

    explicit SkTimeScaleDraw(Mode mode = Frames, int utcOffsetSeconds = 0);

    Mode mode() const { return m_mode; }
    int utcOffsetSeconds() const { return m_offset; }
    // Times of the frames firstFrame, firstFrame + 1 ... in microseconds since 1970 UTC.
    // The plot replots (or updates its axes) afterwards.
    void setFrameTimes(int firstFrame, const QVector<qint64> &timesMicros);

    // The time of a frame (microseconds since 1970 UTC), when it can be told.
    std::optional<qint64> timeOf(double frame) const;
    // The axis title that goes with the labels: "Frame", "Time (UTC)", "Time (UTC+01:00)".
    QString title() const;

    QwtText label(double frame) const override;

private:
    Mode m_mode;
    int m_offset;
    int m_firstFrame = 0;
    QVector<qint64> m_times;
};
