#pragma once
// What the window shows and how: the matrix kind ("Show What"), the view ("Show How"), the
// peak shift, the frame on display, the spectrogram's marker with the range gate and channel
// it names, and the top of the colour scale of each kind. Every change becomes extraction
// requests on the frame store: at most one update per interval, at most one job of a kind at
// a time, and never losing the newest request, so what is drawn ends up matching what the
// controls name. The packet drawn last is kept here (for "PP" and the snapshot).
//
// The window feeds in what the user does with its controls, applies what comes back (the
// marker, a frame or a position chosen on the spectrogram, the colour-scale top) to its
// widgets and draws what frameExtracted() hands over.

#include "SkActivityPlotId.h"
#include "SkPacket.h"
#include "SkPacketTypeEnum.h"

#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPointF>
#include <QVector>

class SkFrameStore;
class SkJobScheduler;
class SkUpdateThrottle;

class SkViewController : public QObject
{
    Q_OBJECT

public:
    // The values are those of the "Show How" and "Peak Shift" boxes' item data.
    enum class ShowHow { Frame = 0, Rangegates = 1, Velocities = 2 };
    Q_ENUM(ShowHow)
    // Columns by which the spectra are rotated for display.
    enum class PeakShift { None = 0, ToRight = 200, ToMiddle = 512 };
    Q_ENUM(PeakShift)

    static constexpr int UpdateIntervalMs = 200;

    // `store` outlives the controller's jobs: shutdown() ends them.
    explicit SkViewController(SkFrameStore *store, QObject *parent = nullptr);
    ~SkViewController() override;

    SkPacketTypeEnum showWhat() const { return m_showWhat; }
    ShowHow showHow() const { return m_showHow; }
    PeakShift peakShift() const { return m_peakShift; }
    int frame() const { return m_frame; }
    int rangegate() const { return m_rangegate; }
    int channel() const { return m_channel; }
    QPointF markerPosition() const { return m_marker; }
    // The top of the colour scale of `type`.
    double colourTop(SkPacketTypeEnum type) const;

    void setShowWhat(SkPacketTypeEnum type);
    void setShowHow(ShowHow how);
    void setPeakShift(PeakShift shift);
    // The frame on display (the position slider's value).
    void setFrame(int frame);
    // The range gate and channel the row and column boxes name.
    void setRangegate(int rangegate);
    void setChannel(int channel);
    // The user placed the spectrogram's marker at `pos` (plot coordinates of the view shown).
    void placeMarker(QPointF pos);
    // The row and column boxes hold these after positionChosen() (they keep to their ranges);
    // the marker stays where it was placed.
    void syncPosition(int rangegate, int channel);
    // The top of the colour scale of the kind shown; the level views share one scale.
    void setColourTop(double top);
    // The store's window, as its dataRangeChanged() reports it.
    void setDataRange(int start, int length);
    // The live value the live dock shows, the channels the range-gate sums add up, and
    // whether those docks are shown at all (hidden docks ask for no jobs).
    void setLiveCurve(SkActivityPlotId id);
    void setRgSumChannels(int begin, int last);
    void setLiveShown(bool shown) { m_liveShown = shown; }
    void setRgSumShown(bool shown) { m_rgSumShown = shown; }

    // Asks for the views of the frame on display, at most once per interval.
    void requestUpdate();
    // The live dock's and the range-gate sums' data alone, at once.
    void requestLive();
    void requestRgSum();
    // Serves a deferred update at once.
    void flush();
    // Nothing waits to be asked for and no job runs.
    bool isSettled() const;
    // Drops waiting jobs and waits for the running ones; no job starts afterwards.
    void shutdown();

    // The packet drawn last (empty before the first), and its frame (-1).
    SkPacket displayedPacket() const;
    int drawnFrame() const { return m_drawnFrame; }
    // A new open: nothing of the old sources counts as drawn.
    void forgetDrawn();

signals:
    // The spectrogram's marker stands elsewhere now (a view switch, a frame moved in a view
    // over time, a row or column box in the frame view).
    void markerMoved(QPointF pos);
    // A click into a view over time named a frame: the frame on display goes there.
    void frameChosen(int frame);
    // A click into the frame view named a range gate and a channel.
    void positionChosen(int rangegate, int channel);
    // The kind shown changed, and with it the colour-scale top.
    void colourTopChanged(double top);
    void showHowChanged(SkViewController::ShowHow how);
    // The extracted view of a frame, to be drawn; afterwards drawn() follows.
    void frameExtracted(const QVector<double> &plotData, int width, int plotWidth,
                        int plotHeight, const SkPacket &packet, const SkPacket &packetPrev);
    void drawn(int frameno);
    void liveExtracted(SkActivityPlotId plotid, const QVector<QPointF> &liveData);
    void rgSumExtracted(const QVector<QPointF> &rgSumPoints);
    // Every requested view has been extracted and handed over.
    void settled();

private:
    void extractNow();
    void onValueExtracted(int view, const QVector<double> &plotData, int width, int plotWidth,
                          int plotHeight, const SkPacket &packet, const SkPacket &packetPrev);
    void moveMarker(QPointF pos);
    void rememberMarker();

    SkFrameStore *m_store;         // not owned
    SkJobScheduler *m_jobs;        // child
    SkUpdateThrottle *m_throttle;  // child

    SkPacketTypeEnum m_showWhat = SkPacketTypeEnum::Original;
    ShowHow m_showHow = ShowHow::Frame;
    PeakShift m_peakShift = PeakShift::None;
    int m_frame = 0;
    int m_rangegate = 0;
    int m_channel = 0;
    QPointF m_marker;
    QMap<ShowHow, QPointF> m_markerPerView;
    QMap<SkPacketTypeEnum, double> m_colourTops;
    int m_dataStart = 0;
    int m_dataLength = 0;
    SkActivityPlotId m_liveCurve = SkActivitySum;
    int m_rgSumBegin = 0;
    int m_rgSumLast = 1023;
    bool m_liveShown = false;
    bool m_rgSumShown = false;

    mutable QMutex m_displayedMutex; // "PP" reads the packet on display
    SkPacket m_displayed;
    int m_drawnFrame = -1;
};
