#pragma once
// What the window shows and how: the matrix kind ("Show What"), the view ("Show How"), the
// peak shift, and the one position the views share: the frame on display, the range gate and
// the Doppler channel chosen. The spectrogram's marker is that position as the view shown
// draws it, so it stands on the same cell whichever view the user switches to. Every change
// becomes extraction requests on the frame store: at most one update per interval, at most
// one job of a kind at a time, and never losing the newest request, so what is drawn ends up
// matching what the controls name. The colour scale of each kind (its top and whether its
// levels follow the matrix shown) is kept here too, and across runs in the settings.
//
// The packet drawn last is kept (for "PP", the snapshot and the frame line): a frame that
// has left the store meanwhile, as on a paused stream, is still drawn from it.
//
// Channels are true Doppler channels throughout; only the extraction of a channel over time
// and the marker speak of screen columns, which the peak shift rotates.

#include "SkActivityPlotId.h"
#include "SkChannelMapping.h"
#include "SkPacket.h"
#include "SkPacketTypeEnum.h"

#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPointF>
#include <QVector>

class QSettings;
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

    // The colour scale of one kind: [0, top], or with automatic levels the levels of the
    // matrix shown (top then remembers their top, which a fixed scale starts from).
    struct ColourScale
    {
        double top = 0.0;
        bool automatic = true;
    };

    static constexpr int UpdateIntervalMs = 200;

    // `store` outlives the controller's jobs: shutdown() ends them.
    explicit SkViewController(SkFrameStore *store, QObject *parent = nullptr);
    ~SkViewController() override;

    SkPacketTypeEnum showWhat() const { return m_showWhat; }
    ShowHow showHow() const { return m_showHow; }
    PeakShift peakShift() const { return m_peakShift; }
    SkChannelMapping channelMapping() const { return SkChannelMapping(int(m_peakShift)); }
    int frame() const { return m_frame; }
    int rangegate() const { return m_rangegate; }
    int channel() const { return m_channel; }
    QPointF markerPosition() const { return m_marker; }
    // The frame drawn as row or column 0 of the view over time asked for last.
    int viewStart() const { return m_viewStart; }
    ColourScale colourScale(SkPacketTypeEnum type) const;
    static ColourScale defaultColourScale(SkPacketTypeEnum type);

    void setShowWhat(SkPacketTypeEnum type);
    void setShowHow(ShowHow how);
    void setPeakShift(PeakShift shift);
    // The frame on display (the position slider's value).
    void setFrame(int frame);
    // The range gate and the true channel the row and column boxes name.
    void setRangegate(int rangegate);
    void setChannel(int channel);
    // The user clicked the spectrogram at `pos` (plot coordinates of the view shown): the
    // frame, range gate or channel that view draws there are chosen.
    void placeMarker(QPointF pos);
    // The row and column boxes hold these after positionChosen() (they keep to their ranges).
    void syncPosition(int rangegate, int channel);
    // The user set the top of the colour scale of the kind shown: its levels stay fixed.
    void setColourTop(double top);
    // Automatic levels of the kind shown on or off.
    void setAutoLevels(bool on);
    // Automatic levels chose `top` for the matrix on display.
    void takeAutoTop(double top);
    // The store's window, as its dataRangeChanged() reports it.
    void setDataRange(int start, int length);
    // The store's window changed under the frame shown: a drawing where the view needs one.
    void requestUpdateForRange();
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

    // The packet drawn last and the one before it in the store (empty before the first), and
    // the frame drawn (-1).
    SkPacket displayedPacket() const;
    SkPacket displayedPrevious() const;
    int drawnFrame() const { return m_drawnFrame; }
    // A new open: nothing of the old sources counts as drawn.
    void forgetDrawn();

    // The colour scale of every kind, as the settings keep it (read: the kind shown is
    // reported by colourScaleChanged).
    void readSettings(const QSettings &settings);
    void writeSettings(QSettings &settings) const;

signals:
    // The spectrogram's marker stands elsewhere now.
    void markerMoved(QPointF pos);
    // A click into a view over time named a frame: the frame on display goes there.
    void frameChosen(int frame);
    // A click named a range gate and a channel (the one of them the view does not draw
    // stays as it was).
    void positionChosen(int rangegate, int channel);
    // The kind shown changed, or its colour scale.
    void colourScaleChanged(double top, bool automatic);
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
    void extractFrame();
    void onValueExtracted(int view, const QVector<double> &plotData, int width, int plotWidth,
                          int plotHeight, const SkPacket &packet, const SkPacket &packetPrev);
    QPointF markerOf(ShowHow how) const;
    void updateMarker();
    void emitColourScale();

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
    QMap<SkPacketTypeEnum, ColourScale> m_colourScales;
    int m_dataStart = 0;
    // The first frame of the view over time asked for last: its row or column 0.
    int m_viewStart = 0;
    SkActivityPlotId m_liveCurve = SkActivitySum;
    int m_rgSumBegin = 0;
    int m_rgSumLast = 1023;
    bool m_liveShown = false;
    bool m_rgSumShown = false;

    mutable QMutex m_displayedMutex; // "PP" reads the packet on display
    SkPacket m_displayed;
    SkPacket m_displayedPrevious;
    int m_drawnFrame = -1;
};
