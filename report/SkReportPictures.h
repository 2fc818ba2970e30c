#pragma once
// The pictures of a report, drawn offscreen by the viewer's own plots: the activity plot
// over the whole recording with its event markers, and for an alarm the view of one range
// gate over time and the frame at the alarm, with automatic colour levels. Needs a
// QApplication (on the offscreen platform when there is no display).

#include "SkActivityMarkerLevels.h"
#include "SkPacketTypeEnum.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

class SkReportCollector;
struct SkReportAlarm;

class SkReportPictures
{
public:
    explicit SkReportPictures(const SkActivityMarkerLevels &levels) : m_levels(levels) {}

    QImage activity(const SkReportCollector &data, const QSize &size) const;
    // The alarm's range gate (rows: frames, columns: Doppler channels) over its window.
    QImage rangegateOverTime(const SkReportAlarm &alarm, SkPacketTypeEnum type, const QSize &size) const;
    // Every range gate of the alarm's frame.
    QImage frameAtAlarm(const SkReportAlarm &alarm, SkPacketTypeEnum type, const QSize &size) const;

    static QByteArray png(const QImage &image);

private:
    SkActivityMarkerLevels m_levels;
};
