#include "SkReportRow.h"

#include <QStringList>

namespace {

QString metres(double value)
{
    return QString::number(value, 'f', value == double(qint64(value)) ? 0 : 1);
}

} // namespace

QString SkReportRow::detectorName() const
{
    switch (event.source) {
    case RuAlarmEvent::Avalanche: return QStringLiteral("Avalanche %1").arg(event.detector);
    case RuAlarmEvent::Rain: return QStringLiteral("Rain %1").arg(event.detector);
    case RuAlarmEvent::Waterlevel: return QStringLiteral("Water level %1").arg(event.detector);
    }
    return QString();
}

QString SkReportRow::rangegateText() const
{
    QStringList spans;
    for (const auto &span : rangegates)
        spans << (span.first == span.second ? QString::number(span.first)
                                            : QStringLiteral("%1-%2").arg(span.first).arg(span.second));
    return spans.join(QStringLiteral(", "));
}

QString SkReportRow::distanceText() const
{
    if (rangegateWidth <= 0.0)
        return QString();
    QStringList spans;
    for (const auto &span : rangegates)
        spans << QStringLiteral("%1-%2 m").arg(metres(span.first * rangegateWidth),
                                               metres((span.second + 1) * rangegateWidth));
    return spans.join(QStringLiteral(", "));
}
