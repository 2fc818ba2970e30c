#include "SkFrameTimeScaleDraw.h"

#include <QDateTime>

#include <cmath>

SkFrameTimeScaleDraw::SkFrameTimeScaleDraw(qint64 firstFrame, const QVector<qint64> &times)
    : m_firstFrame(firstFrame), m_times(times)
{
}

QwtText SkFrameTimeScaleDraw::label(double value) const
{
    const qint64 i = qint64(std::llround(value)) - m_firstFrame;
    if (i < 0 || i >= m_times.size())
        return QwtText();
    return QwtText(QDateTime::fromMSecsSinceEpoch(m_times[int(i)] / 1000, Qt::UTC)
                       .toString(QStringLiteral("hh:mm:ss")));
}
