#include "SkTimeScaleDraw.h"

#include <qwt_text.h>

#include <QDateTime>

#include <algorithm>
#include <cmath>

SkTimeScaleDraw::SkTimeScaleDraw(Mode mode, int utcOffsetSeconds)
    : m_mode(mode),
      m_offset(utcOffsetSeconds)
{
}

void SkTimeScaleDraw::setFrameTimes(int firstFrame, const QVector<qint64> &timesMicros)
{
    m_firstFrame = firstFrame;
    m_times = timesMicros;
    invalidateCache();
}

std::optional<qint64> SkTimeScaleDraw::timeOf(double frame) const
{
    const double index = frame - m_firstFrame;
    const int last = m_times.size() - 1;
    if (last < 0 || (last == 0 && index != 0.0))
        return std::nullopt;
    if (last == 0)
        return m_times.first();
    if (index >= 0.0 && index <= last) {
        const int low = std::min(int(index), last - 1);
        const double step = double(m_times[low + 1] - m_times[low]);
        return m_times[low] + qint64(std::llround((index - low) * step));
    }
    const double meanStep = double(m_times[last] - m_times[0]) / last;
    const int from = index < 0.0 ? 0 : last;
    return m_times[from] + qint64(std::llround((index - from) * meanStep));
}

QString SkTimeScaleDraw::title() const
{
    if (m_mode == Frames)
        return tr("Frame");
    if (m_offset == 0)
        return tr("Time (UTC)");
    const int minutes = std::abs(m_offset) / 60;
    const QString offset = QStringLiteral("%1%2:%3")
                               .arg(m_offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return tr("Time (UTC%1)").arg(offset);
}

QwtText SkTimeScaleDraw::label(double frame) const
{
    const std::optional<qint64> micros = m_mode == Utc ? timeOf(frame) : std::nullopt;
    if (!micros)
        return QwtText(QString::number(frame));
    const QDateTime time =
        QDateTime::fromMSecsSinceEpoch(*micros / 1000 + qint64(m_offset) * 1000, Qt::UTC);
    return QwtText(time.toString(QStringLiteral("hh:mm:ss")));
}
