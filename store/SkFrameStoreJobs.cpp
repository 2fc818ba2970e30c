// The extraction jobs of the frame store: stored frames turned into plot data. Each runs on
// a pool thread and holds the store's lock while it reads the frames, so they cannot change
// under it, and emits its signal after releasing the lock. The views over time read one range
// gate or one channel of every held frame, and derive only that from each frame.

#include "SkFrameStore.h"

#include "RuMatrix.h"
#include "rrd.h"

#include <mutex>

namespace {

constexpr int Channels = RRD_CHANNELS;
constexpr int MaxColumnRows = 128;

int normalisedShift(int shift)
{
    return ((shift % Channels) + Channels) % Channels;
}

// One spectrum rotated right by `shift` channels (display column x shows channel x - shift).
void rotatedRow(const float *in, double *out, int shift)
{
    for (int k = 0; k < Channels - shift; ++k)
        out[shift + k] = in[k];
    for (int k = 0; k < shift; ++k)
        out[k] = in[Channels - shift + k];
}

} // namespace

void SkFrameStore::extractFrame(int frameNo, SkPacketTypeEnum type, int shift)
{
    QVector<double> plotData;
    int rows = 0;
    SkPacket packet;
    SkPacket previous;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (frameNo < m_start || frameNo >= m_end)
            return;
        packet = heldPacket(frameNo);
        if (!packet.hasMatrix(type))
            return;
        const SkPacket::MatrixPtr m = cachedMatrix(frameNo, type);
        rows = static_cast<int>(m->rows());
        const int s = normalisedShift(shift);
        plotData.resize(rows * Channels);
        for (int r = 0; r < rows; ++r)
            rotatedRow(m->row(r).data(), plotData.data() + r * Channels, s);
        previous = frameAtLocked(frameNo - 1);
    }
    emit valueExtracted(plotData, Channels, Channels, rows, packet, previous);
}

void SkFrameStore::extractRow(int row, int frameNo, SkPacketTypeEnum type, int shift)
{
    QVector<double> plotData;
    int n = 0;
    SkPacket packet;
    SkPacket previous;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        n = m_end - m_start;
        const int s = normalisedShift(shift);
        float values[Channels];
        SkPacket::Cursor cursor;
        for (int i = m_start; i < m_end; ++i) {
            const SkPacket &held = heldPacket(i);
            if (!held.hasMatrix(type))
                continue;
            if (plotData.isEmpty())
                plotData.resize(n * Channels); // zeros: rows of frames without the type stay so
            const int rows = held.matrixRows(type);
            if (rows == 0)
                continue;
            held.matrixRow(type, qBound(0, row, rows - 1), values, &cursor);
            rotatedRow(values, plotData.data() + (i - m_start) * Channels, s);
        }
        packet = frameAtLocked(frameNo);
        previous = frameAtLocked(frameNo - 1);
    }
    emit valueExtracted(plotData, Channels, Channels, n, packet, previous);
}

void SkFrameStore::extractColumn(int column, int frameNo, SkPacketTypeEnum type, int shift)
{
    QVector<double> plotData;
    int n = 0;
    int height = MaxColumnRows;
    SkPacket packet;
    SkPacket previous;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        n = m_end - m_start;
        int c = column - shift;
        if (c < 0)
            c += Channels;
        c = qBound(0, c, Channels - 1);
        bool first = true;
        SkPacket::Cursor cursor;
        for (int i = m_start; i < m_end; ++i) {
            const SkPacket &held = heldPacket(i);
            if (!held.hasMatrix(type))
                continue;
            const int rows = held.matrixRows(type);
            if (first) {
                first = false;
                height = qMin(rows, MaxColumnRows);
                plotData.resize(n * height);
            }
            held.matrixColumn(type, c, qMin(rows, height), plotData.data() + (i - m_start), n,
                              &cursor);
        }
        packet = frameAtLocked(frameNo);
        previous = frameAtLocked(frameNo - 1);
    }
    emit valueExtracted(plotData, n, n, height, packet, previous);
}

void SkFrameStore::extractInfo(int frameNo, SkActivityPlotId plotid)
{
    QVector<QPointF> points;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const SkPacket packet = frameAtLocked(frameNo);
        if (packet.hasAlarmResult()) {
            const RuLiveValues &live = packet.alarmResult()->live;
            const QVector<quint16> *series = nullptr;
            double factor = 1.0;
            switch (plotid) {
            case SkActivityChannel0: series = &live.channel0; break;
            case SkActivitySum: series = &live.activity; break;
            case SkActivityMode: series = &live.mainVelocity; factor = 0.1; break;
            case SkActivityMaxVelocity: series = &live.maxVelocity; factor = 0.1; break;
            case SkActivityMedianVelocity: series = &live.medianVelocity; factor = 0.1; break;
            default: break;
            }
            if (series) {
                points.reserve(series->size());
                for (int i = 0; i < series->size(); ++i)
                    points.append(QPointF(series->at(i) * factor, i));
            }
        }
    }
    emit infoExtracted(plotid, points);
}

void SkFrameStore::extractRgSum(int frameNo, int chBegin, int chLast)
{
    // The dock describes the sum over the normalised frame, which is what is summed here.
    const SkPacketTypeEnum summed = SkPacketTypeEnum::AvalancheNormalized;
    const int b = qBound(0, chBegin, Channels - 1);
    const int l = qBound(0, chLast, Channels - 1);
    if (b + l >= Channels)
        return;
    const int n = Channels - b - l;
    QVector<QPointF> points;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (frameNo < m_start || frameNo >= m_end || !heldPacket(frameNo).hasMatrix(summed))
            return;
        const SkPacket::MatrixPtr m = cachedMatrix(frameNo, summed);
        points.reserve(static_cast<int>(m->rows()));
        for (int r = 0; r < m->rows(); ++r) {
            const float *values = m->row(r).data() + b;
            float s = 0.0f;
            for (int k = 0; k < n; ++k)
                s += values[k];
            points.append(QPointF(s - n, r));
        }
    }
    emit rgSumExtracted(points);
}
