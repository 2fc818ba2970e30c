#include "SkViewController.h"

#include "SkFrameStore.h"
#include "SkJobScheduler.h"
#include "SkUpdateThrottle.h"

#include <QMutexLocker>
#include <QSize>

#include <cmath>

namespace {

constexpr double LevelColourTop = 400;
// Normalised frames are ratios to the background: their scale starts far lower.
constexpr double RatioColourTop = 4;

bool isRatio(SkPacketTypeEnum type)
{
    return type == SkPacketTypeEnum::AvalancheNormalized;
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
            QMetaObject::invokeMethod(
                this,
                [=] {
                    onValueExtracted(view, plotData, width, plotWidth, plotHeight, packet,
                                     packetPrev);
                },
                Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    connect(store, &SkFrameStore::infoExtracted, this, &SkViewController::liveExtracted);
    connect(store, &SkFrameStore::rgSumExtracted, this, &SkViewController::rgSumExtracted);
}

SkViewController::~SkViewController()
{
    shutdown();
}

double SkViewController::colourTop(SkPacketTypeEnum type) const
{
    return m_colourTops.value(type, isRatio(type) ? RatioColourTop : LevelColourTop);
}

// ---- What is shown --------------------------------------------------------------------------

void SkViewController::setShowWhat(SkPacketTypeEnum type)
{
    m_showWhat = type;
    emit colourTopChanged(colourTop(type));
    requestUpdate();
}

// Each view keeps the marker the user placed in it last.
void SkViewController::setShowHow(ShowHow how)
{
    if (m_markerPerView.contains(how))
        moveMarker(m_markerPerView.value(how));
    m_showHow = how;
    emit showHowChanged(how);
    requestUpdate();
}

void SkViewController::setPeakShift(PeakShift shift)
{
    m_peakShift = shift;
    requestUpdate();
}

// The views over time mark the frame on display, counted from the first frame held.
void SkViewController::setFrame(int frame)
{
    m_frame = frame;
    if (m_showHow == ShowHow::Rangegates)
        moveMarker(QPointF(m_marker.x(), frame - m_dataStart));
    else if (m_showHow == ShowHow::Velocities)
        moveMarker(QPointF(frame - m_dataStart, m_marker.y()));
    requestUpdate();
}

void SkViewController::setRangegate(int rangegate)
{
    m_rangegate = rangegate;
    if (m_showHow == ShowHow::Frame) {
        moveMarker(QPointF(m_marker.x(), rangegate));
        rememberMarker();
        // The profile across the channels follows the marker at once.
        requestUpdate();
    } else if (m_showHow == ShowHow::Rangegates) {
        requestUpdate();
    }
}

void SkViewController::setChannel(int channel)
{
    m_channel = channel;
    if (m_showHow == ShowHow::Frame) {
        moveMarker(QPointF(channel, m_marker.y()));
        rememberMarker();
        requestUpdate();
    } else if (m_showHow == ShowHow::Velocities) {
        requestUpdate();
    }
}

void SkViewController::placeMarker(QPointF pos)
{
    m_marker = pos;
    rememberMarker();
    switch (m_showHow) {
    case ShowHow::Frame:
        m_channel = int(std::floor(pos.x()));
        m_rangegate = int(std::floor(pos.y()));
        emit positionChosen(m_rangegate, m_channel);
        break;
    case ShowHow::Rangegates:
        emit frameChosen(m_dataStart + int(std::floor(pos.y())));
        break;
    case ShowHow::Velocities:
        emit frameChosen(m_dataStart + int(std::floor(pos.x())));
        break;
    }
    requestUpdate();
}

void SkViewController::syncPosition(int rangegate, int channel)
{
    m_rangegate = rangegate;
    m_channel = channel;
}

void SkViewController::setColourTop(double top)
{
    const double rounded = double(std::lround(top));
    m_colourTops[m_showWhat] = rounded;
    // The level views share one scale; the ratio view has its own.
    if (!isRatio(m_showWhat)) {
        for (SkPacketTypeEnum type : skPacketTypesInSelectorOrder()) {
            if (!isRatio(type))
                m_colourTops[type] = rounded;
        }
    }
    requestUpdate();
}

void SkViewController::setDataRange(int start, int length)
{
    m_dataStart = start;
    m_dataLength = length;
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

void SkViewController::moveMarker(QPointF pos)
{
    m_marker = pos;
    emit markerMoved(pos);
}

void SkViewController::rememberMarker()
{
    m_markerPerView[m_showHow] = m_marker;
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
    switch (m_showHow) {
    case ShowHow::Frame:
        m_jobs->schedule(SkJobScheduler::Frame, forView(m_showHow, [=] {
                             s->extractFrame(frame, type, shift);
                         }));
        break;
    case ShowHow::Rangegates: {
        const int row = m_rangegate;
        m_jobs->schedule(SkJobScheduler::Row, forView(m_showHow, [=] {
                             s->extractRow(row, frame, type, shift);
                         }));
        break;
    }
    case ShowHow::Velocities: {
        const int column = m_channel;
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
// not drawn over the view shown.
void SkViewController::onValueExtracted(int view, const QVector<double> &plotData, int width,
                                        int plotWidth, int plotHeight, const SkPacket &packet,
                                        const SkPacket &packetPrev)
{
    if (view != int(m_showHow))
        return;
    emit frameExtracted(plotData, width, plotWidth, plotHeight, packet, packetPrev);
    {
        QMutexLocker locker(&m_displayedMutex);
        m_displayed = packet;
    }
    if (packet.hasFrame())
        m_drawnFrame = packet.frameNumber();
    emit drawn(m_drawnFrame);
    if (isSettled())
        emit settled();
}

SkPacket SkViewController::displayedPacket() const
{
    QMutexLocker locker(&m_displayedMutex);
    return m_displayed;
}

void SkViewController::forgetDrawn()
{
    m_drawnFrame = -1;
}
