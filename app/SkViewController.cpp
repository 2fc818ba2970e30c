#include "SkViewController.h"

#include "SkFrameStore.h"
#include "SkJobScheduler.h"
#include "SkUpdateThrottle.h"

#include <QMutexLocker>
#include <QSettings>

#include <cmath>

namespace {

constexpr double LevelColourTop = 400;
// Normalised frames are ratios to the background: their scale starts far lower.
constexpr double RatioColourTop = 4;
// The range of the colour-scale slider.
constexpr double LowestColourTop = 1;
constexpr double HighestColourTop = 999999;

bool isRatio(SkPacketTypeEnum type)
{
    return type == SkPacketTypeEnum::AvalancheNormalized;
}

// Names of the kinds in the settings, which outlive the numbering of the selector.
QString settingsKey(SkPacketTypeEnum type, const char *what)
{
    const char *name = "original";
    switch (type) {
    case SkPacketTypeEnum::Original: name = "original"; break;
    case SkPacketTypeEnum::OriginalFiltered: name = "originalFiltered"; break;
    case SkPacketTypeEnum::AvalancheBackground: name = "avalancheBackground"; break;
    case SkPacketTypeEnum::AvalancheNormalized: name = "avalancheNormalized"; break;
    case SkPacketTypeEnum::LiveHalfSym: name = "liveHalfSym"; break;
    }
    return QStringLiteral("colourScale/%1/%2").arg(QLatin1String(name), QLatin1String(what));
}

int cellOf(double coordinate)
{
    return int(std::floor(coordinate));
}

// The view whose extraction job runs on this pool thread: the store reports the result there,
// and it is told apart from the result of a view the user has left meanwhile.
thread_local int extractingView = -1;

template <typename Job>
SkJobScheduler::Job forView(SkViewController::ShowHow view, Job job)
{
    return [view, job] {
        extractingView = int(view);
        job();
    };
}

// The frame view of a packet the store no longer holds, rotated as the store rotates it.
QVector<double> rotatedFrame(const SkPacket &packet, SkPacketTypeEnum type,
                             const SkChannelMapping &mapping, int *rows)
{
    *rows = 0;
    if (!packet.hasMatrix(type))
        return {};
    const SkPacket::MatrixPtr m = packet.matrix(type);
    const int channels = SkChannelMapping::Channels;
    *rows = int(m->rows());
    QVector<double> data(*rows * channels);
    for (int r = 0; r < *rows; ++r)
        for (int column = 0; column < channels; ++column)
            data[r * channels + column] = (*m)(r, mapping.columnToChannel(column));
    return data;
}

} // namespace

SkViewController::SkViewController(SkFrameStore *store, QObject *parent)
    : QObject(parent), m_store(store), m_jobs(new SkJobScheduler(this)),
      m_throttle(new SkUpdateThrottle(UpdateIntervalMs, this))
{
    connect(m_throttle, &SkUpdateThrottle::due, this, &SkViewController::extractNow);
    connect(m_jobs, &SkJobScheduler::idle, this, [this] {
        if (isSettled())
            emit settled();
    });
    // Reported on the job's thread, tagged with the job's view there and handed over to this
    // thread in the order the results came.
    connect(
        store, &SkFrameStore::valueExtracted, this,
        [this](const QVector<double> &plotData, int width, int plotWidth, int plotHeight,
               const SkPacket &packet, const SkPacket &packetPrev) {
            const int view = extractingView;
            m_jobs->deliver([=] {
                onValueExtracted(view, plotData, width, plotWidth, plotHeight, packet,
                                 packetPrev);
            });
        },
        Qt::DirectConnection);
    connect(
        store, &SkFrameStore::infoExtracted, this,
        [this](SkActivityPlotId plotid, const QVector<QPointF> &liveData) {
            m_jobs->deliver([=] { emit liveExtracted(plotid, liveData); });
        },
        Qt::DirectConnection);
    connect(
        store, &SkFrameStore::rgSumExtracted, this,
        [this](const QVector<QPointF> &rgSumPoints) {
            m_jobs->deliver([=] { emit rgSumExtracted(rgSumPoints); });
        },
        Qt::DirectConnection);
}

SkViewController::~SkViewController()
{
    shutdown();
}

SkViewController::ColourScale SkViewController::colourScale(SkPacketTypeEnum type) const
{
    return m_colourScales.value(type, defaultColourScale(type));
}

SkViewController::ColourScale SkViewController::defaultColourScale(SkPacketTypeEnum type)
{
    return {isRatio(type) ? RatioColourTop : LevelColourTop, true};
}

// ---- What is shown --------------------------------------------------------------------------

void SkViewController::setShowWhat(SkPacketTypeEnum type)
{
    m_showWhat = type;
    emitColourScale();
    requestUpdate();
}

void SkViewController::setShowHow(ShowHow how)
{
    m_showHow = how;
    updateMarker();
    emit showHowChanged(how);
    requestUpdate();
}

// The channel chosen stays: the marker moves to the column the shift puts it in.
void SkViewController::setPeakShift(PeakShift shift)
{
    m_peakShift = shift;
    updateMarker();
    requestUpdate();
}

void SkViewController::setFrame(int frame)
{
    m_frame = frame;
    updateMarker();
    requestUpdate();
}

// Every view redraws: the one over time extracts another range gate or channel, the others
// move their marker and the profiles through it.
void SkViewController::setRangegate(int rangegate)
{
    m_rangegate = rangegate;
    updateMarker();
    requestUpdate();
}

void SkViewController::setChannel(int channel)
{
    m_channel = channel;
    updateMarker();
    requestUpdate();
}

// Each view draws two of frame, range gate and channel along its axes; a click chooses those
// two and keeps the third.
void SkViewController::placeMarker(QPointF pos)
{
    const SkChannelMapping mapping = channelMapping();
    const int lastColumn = SkChannelMapping::Channels - 1;
    const int x = cellOf(pos.x());
    const int y = cellOf(pos.y());
    switch (m_showHow) {
    case ShowHow::Frame:
        m_channel = mapping.columnToChannel(qBound(0, x, lastColumn));
        m_rangegate = qMax(0, y);
        emit positionChosen(m_rangegate, m_channel);
        break;
    case ShowHow::Rangegates:
        m_channel = mapping.columnToChannel(qBound(0, x, lastColumn));
        emit positionChosen(m_rangegate, m_channel);
        emit frameChosen(m_viewStart + y);
        break;
    case ShowHow::Velocities:
        m_rangegate = qMax(0, y);
        emit positionChosen(m_rangegate, m_channel);
        emit frameChosen(m_viewStart + x);
        break;
    }
    updateMarker();
    requestUpdate();
}

void SkViewController::syncPosition(int rangegate, int channel)
{
    m_rangegate = rangegate;
    m_channel = channel;
    updateMarker();
}

// The centre of the cell of the position in `how`'s picture.
QPointF SkViewController::markerOf(ShowHow how) const
{
    const double column = channelMapping().channelToColumn(m_channel) + 0.5;
    const double row = m_rangegate + 0.5;
    const double frame = m_frame - m_viewStart + 0.5;
    switch (how) {
    case ShowHow::Frame: return QPointF(column, row);
    case ShowHow::Rangegates: return QPointF(column, frame);
    case ShowHow::Velocities: return QPointF(frame, row);
    }
    return QPointF(column, row);
}

void SkViewController::updateMarker()
{
    const QPointF marker = markerOf(m_showHow);
    if (marker == m_marker)
        return;
    m_marker = marker;
    emit markerMoved(marker);
}

// ---- Colour scales --------------------------------------------------------------------------

void SkViewController::setColourTop(double top)
{
    m_colourScales[m_showWhat] = {top, false};
    emitColourScale();
    requestUpdate();
}

void SkViewController::setAutoLevels(bool on)
{
    ColourScale scale = colourScale(m_showWhat);
    scale.automatic = on;
    m_colourScales[m_showWhat] = scale;
    emitColourScale();
    requestUpdate();
}

void SkViewController::takeAutoTop(double top)
{
    ColourScale scale = colourScale(m_showWhat);
    if (!scale.automatic)
        return;
    scale.top = qBound(LowestColourTop, top, HighestColourTop);
    m_colourScales[m_showWhat] = scale;
}

void SkViewController::emitColourScale()
{
    const ColourScale scale = colourScale(m_showWhat);
    emit colourScaleChanged(scale.top, scale.automatic);
}

// What the settings do not hold, or hold as no number in the slider's range, is the default.
void SkViewController::readSettings(const QSettings &settings)
{
    for (SkPacketTypeEnum type : skPacketTypesInSelectorOrder()) {
        ColourScale scale = defaultColourScale(type);
        bool ok = false;
        const double top = settings.value(settingsKey(type, "top")).toDouble(&ok);
        if (ok && top >= LowestColourTop && top <= HighestColourTop)
            scale.top = top;
        const QVariant automatic = settings.value(settingsKey(type, "auto"));
        if (automatic.isValid())
            scale.automatic = automatic.toBool();
        m_colourScales[type] = scale;
    }
    emitColourScale();
}

void SkViewController::writeSettings(QSettings &settings) const
{
    for (SkPacketTypeEnum type : skPacketTypesInSelectorOrder()) {
        const ColourScale scale = colourScale(type);
        settings.setValue(settingsKey(type, "top"), scale.top);
        settings.setValue(settingsKey(type, "auto"), scale.automatic);
    }
}

// ---- Data ranges and docks ------------------------------------------------------------------

// The picture on display keeps its rows until the next extraction, and so does the marker.
void SkViewController::setDataRange(int start, int length)
{
    Q_UNUSED(length)
    m_dataStart = start;
}

// The views over time take in the frames that came or went; a single frame's view needs a
// drawing only until its frame has arrived and been drawn.
void SkViewController::requestUpdateForRange()
{
    if (m_showHow != ShowHow::Frame || m_drawnFrame != m_frame)
        requestUpdate();
}

void SkViewController::setLiveCurve(SkActivityPlotId id)
{
    m_liveCurve = id;
    requestLive();
}

void SkViewController::setRgSumChannels(int begin, int last)
{
    m_rgSumBegin = begin;
    m_rgSumLast = last;
    requestRgSum();
}

// ---- Extraction -----------------------------------------------------------------------------

void SkViewController::requestUpdate()
{
    m_throttle->request();
}

// Each job reads the settings of the moment it was asked for.
void SkViewController::extractNow()
{
    SkFrameStore *s = m_store;
    const int frame = m_frame;
    const SkPacketTypeEnum type = m_showWhat;
    const int shift = int(m_peakShift);
    m_viewStart = m_dataStart;
    updateMarker();
    switch (m_showHow) {
    case ShowHow::Frame:
        extractFrame();
        break;
    case ShowHow::Rangegates: {
        const int row = m_rangegate;
        m_jobs->schedule(SkJobScheduler::Row, forView(m_showHow, [=] {
                             s->extractRow(row, frame, type, shift);
                         }));
        break;
    }
    case ShowHow::Velocities: {
        const int column = channelMapping().channelToColumn(m_channel);
        m_jobs->schedule(SkJobScheduler::Column, forView(m_showHow, [=] {
                             s->extractColumn(column, frame, type, shift);
                         }));
        break;
    }
    }
    if (m_liveShown)
        requestLive();
    if (m_rgSumShown)
        requestRgSum();
}

// A frame still held is extracted from the store, which has its newest result and caches
// its matrices; the frame drawn last is drawn again from its packet once it has left.
void SkViewController::extractFrame()
{
    SkFrameStore *s = m_store;
    const int frame = m_frame;
    const SkPacketTypeEnum type = m_showWhat;
    const int shift = int(m_peakShift);
    const SkChannelMapping mapping = channelMapping();
    const SkPacket kept = displayedPacket();
    const SkPacket keptPrevious = displayedPrevious();
    const bool fromKept = kept.frameNumber() == frame;
    m_jobs->schedule(SkJobScheduler::Frame, forView(ShowHow::Frame, [=] {
        if (!fromKept || frame >= s->startFrame()) {
            s->extractFrame(frame, type, shift);
            return;
        }
        int rows = 0;
        const QVector<double> data = rotatedFrame(kept, type, mapping, &rows);
        if (rows == 0)
            return;
        const int channels = SkChannelMapping::Channels;
        m_jobs->deliver([=] {
            onValueExtracted(int(ShowHow::Frame), data, channels, channels, rows, kept,
                             keptPrevious);
        });
    }));
}

void SkViewController::requestLive()
{
    SkFrameStore *s = m_store;
    const int frame = m_frame;
    const SkActivityPlotId curve = m_liveCurve;
    m_jobs->schedule(SkJobScheduler::Info, [=] { s->extractInfo(frame, curve); });
}

void SkViewController::requestRgSum()
{
    SkFrameStore *s = m_store;
    const int frame = m_frame;
    const int begin = m_rgSumBegin;
    const int last = m_rgSumLast;
    m_jobs->schedule(SkJobScheduler::RgSum, [=] { s->extractRgSum(frame, begin, last); });
}

void SkViewController::flush()
{
    m_throttle->flush();
}

bool SkViewController::isSettled() const
{
    return m_jobs->isIdle() && !m_throttle->isPending();
}

void SkViewController::shutdown()
{
    m_jobs->shutdown();
}

// Jobs of different views run side by side: one of a view left meanwhile may end last, and is
// not drawn over the view shown. A view over time of a frame gone from the store draws the
// frames held and keeps the packet of the frame drawn last.
void SkViewController::onValueExtracted(int view, const QVector<double> &plotData, int width,
                                        int plotWidth, int plotHeight, const SkPacket &packet,
                                        const SkPacket &packetPrev)
{
    if (view != int(m_showHow))
        return;
    emit frameExtracted(plotData, width, plotWidth, plotHeight, packet, packetPrev);
    if (packet.hasFrame()) {
        QMutexLocker locker(&m_displayedMutex);
        m_displayed = packet;
        m_displayedPrevious = packetPrev;
        m_drawnFrame = packet.frameNumber();
    }
    emit drawn(m_drawnFrame);
    if (isSettled())
        emit settled();
}

SkPacket SkViewController::displayedPacket() const
{
    QMutexLocker locker(&m_displayedMutex);
    return m_displayed;
}

SkPacket SkViewController::displayedPrevious() const
{
    QMutexLocker locker(&m_displayedMutex);
    return m_displayedPrevious;
}

void SkViewController::forgetDrawn()
{
    QMutexLocker locker(&m_displayedMutex);
    m_displayed = SkPacket();
    m_displayedPrevious = SkPacket();
    m_drawnFrame = -1;
}
