#include "SkReportPictures.h"

#include "SkPlotActivities.h"
#include "SkPlotSpectrogram.h"
#include "SkReportCollector.h"

#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_draw.h>

#include <QBuffer>
#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Channels = 1024;

// The bottom axis of the activity plot: frame numbers labelled with the frames' UTC times
// ("06:03:20"), so the curves read against the clock.
class FrameTimeScaleDraw : public QwtScaleDraw
{
public:
    // `times` holds the time of frame firstFrame + i at i (microseconds since 1970).
    FrameTimeScaleDraw(qint64 firstFrame, const QVector<qint64> &times)
        : m_firstFrame(firstFrame), m_times(times)
    {
    }

    QwtText label(double value) const override
    {
        const qint64 i = qint64(std::llround(value)) - m_firstFrame;
        if (i < 0 || i >= m_times.size())
            return QwtText();
        return QwtText(QDateTime::fromMSecsSinceEpoch(m_times[int(i)] / 1000, Qt::UTC)
                           .toString(QStringLiteral("hh:mm:ss")));
    }

private:
    qint64 m_firstFrame;
    QVector<qint64> m_times;
};

// Lays the plot out at `size` as on screen and draws it.
QImage drawn(QwtPlot &plot, const QSize &size)
{
    plot.setAttribute(Qt::WA_DontShowOnScreen);
    plot.resize(size);
    plot.show();
    plot.replot();
    return plot.grab().toImage();
}

SkAlarmResultSharedPtr curvesOnly(const SkReportSample &s)
{
    auto result = QSharedPointer<RuAlarmResult>::create();
    for (int k = 0; k < RuAlarmResult::Detectors; ++k) {
        result->avalanche[size_t(k)].status = s.status[size_t(k)];
        result->avalanche[size_t(k)].sumSum = s.value[size_t(k)];
    }
    result->rain[0].status = s.status[3];
    result->rain[0].activity = s.value[3];
    result->waterlevel[0].status = s.status[4];
    result->waterlevel[0].value = s.value[4];
    return result;
}

bool anyTime(const std::vector<SkReportSample> &samples)
{
    return std::any_of(samples.begin(), samples.end(),
                       [](const SkReportSample &s) { return s.timeMicros != 0; });
}

// The bottom axis over the recording: UTC times when the frames carry them, else frames.
void showFrameAxis(SkPlotActivities &plot, const std::vector<SkReportSample> &samples)
{
    const qint64 first = samples.front().frame;
    const qint64 last = samples.back().frame;
    plot.enableAxis(QwtPlot::xBottom, true);
    plot.setAxisScale(QwtPlot::xBottom, double(first), double(std::max(last, first + 1)));
    if (!anyTime(samples)) {
        plot.setAxisTitle(QwtPlot::xBottom, QStringLiteral("Frame"));
        return;
    }
    QVector<qint64> times;
    times.reserve(int(samples.size()));
    for (const SkReportSample &s : samples)
        times << s.timeMicros;
    plot.setAxisScaleDraw(QwtPlot::xBottom, new FrameTimeScaleDraw(first, times));
    plot.setAxisTitle(QwtPlot::xBottom, QStringLiteral("Time (UTC)"));
}

// The curves that hold points in the legend, the others out of it.
void showLegendOfCurvesDrawn(SkPlotActivities &plot)
{
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id) {
        const auto curveId = static_cast<SkActivityPlotId>(id);
        const bool drawn = id < SkPlotActivities::FirstLiveId && plot.curve(curveId)->dataSize() > 0;
        plot.setCurveShown(curveId, drawn);
        plot.curve(curveId)->setItemAttribute(QwtPlotItem::Legend, drawn);
    }
    plot.setLegendShown(true);
}

// Row `rangegate` of `type` of every packet, rows of frames without it left at 0.
QVector<double> rangegateRows(const SkReportAlarm &alarm, SkPacketTypeEnum type)
{
    QVector<double> values(alarm.window.size() * Channels, 0.0);
    float row[Channels];
    SkPacket::Cursor cursor;
    for (int i = 0; i < alarm.window.size(); ++i) {
        const SkPacket &p = alarm.window[i];
        const int rows = p.hasMatrix(type) ? p.matrixRows(type) : 0;
        if (rows == 0)
            continue;
        p.matrixRow(type, std::min(alarm.rangegate, rows - 1), row, &cursor);
        std::copy(row, row + Channels, values.begin() + i * Channels);
    }
    return values;
}

void markRow(SkPlotSpectrogram &plot, double y)
{
    plot.marker()->setLineStyle(QwtPlotMarker::HLine);
    plot.marker()->setSymbol(nullptr);
    plot.setMarkerPos(QPointF(0.0, y));
}

} // namespace

QImage SkReportPictures::activity(const SkReportCollector &data, const QSize &size) const
{
    SkPlotActivities plot;
    plot.setMarkerLevels(m_levels);
    const std::vector<SkReportSample> &samples = data.samples();
    for (const SkReportSample &s : samples)
        plot.appendPoints(int(s.frame), curvesOnly(s));
    for (const SkReportRow &row : data.rows())
        plot.addEvent(int(row.frame), row.event);
    if (!samples.empty())
        showFrameAxis(plot, samples);
    showLegendOfCurvesDrawn(plot);
    plot.cursor()->setVisible(false);
    return drawn(plot, size);
}

QImage SkReportPictures::rangegateOverTime(const SkReportAlarm &alarm, SkPacketTypeEnum type,
                                           const QSize &size) const
{
    SkPlotSpectrogram plot;
    plot.setAutoColorLevels(true);
    plot.setAxisTitles(QStringLiteral("Doppler channel"), QStringLiteral("Frame"));
    const double first = double(alarm.window.first().frameNumber());
    const int frames = alarm.window.size();
    plot.setData(rangegateRows(alarm, type), Channels, Channels, frames, 0.0, first);
    plot.setAxisScale(QwtPlot::xBottom, 0, Channels);
    plot.setAxisScale(QwtPlot::yLeft, first, first + frames);
    markRow(plot, double(alarm.frame) + 0.5);
    return drawn(plot, size);
}

QImage SkReportPictures::frameAtAlarm(const SkReportAlarm &alarm, SkPacketTypeEnum type,
                                      const QSize &size) const
{
    SkPlotSpectrogram plot;
    plot.setAutoColorLevels(true);
    plot.setAxisTitles(QStringLiteral("Doppler channel"), QStringLiteral("Range gate"));
    const SkPacket &packet = alarm.window[alarm.at];
    if (packet.hasMatrix(type)) {
        const SkPacket::MatrixPtr m = packet.matrix(type);
        const int rows = int(m->rows());
        QVector<double> values(rows * Channels);
        for (int r = 0; r < rows; ++r)
            std::copy(m->row(r).data(), m->row(r).data() + Channels, values.begin() + r * Channels);
        plot.setData(values, Channels, Channels, rows);
        plot.setAxisScale(QwtPlot::xBottom, 0, Channels);
        plot.setAxisScale(QwtPlot::yLeft, 0, rows);
    }
    markRow(plot, alarm.rangegate + 0.5);
    return drawn(plot, size);
}

QByteArray SkReportPictures::png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
