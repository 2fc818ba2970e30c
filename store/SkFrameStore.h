#pragma once
// The viewer's window of frames: a ring of packets numbered consecutively from 0 after each
// clear, shared by the load task (appends), the alarm and record tasks (walk through it) and
// the user-interface thread (releases batches, runs the extraction jobs). One mutex guards
// everything; two wait conditions let the tasks sleep while the store is full or empty.
//
// The lock is a std::mutex rather than a QMutex: Qt 5's QMutex sleeps on futexes that
// ThreadSanitizer cannot see, so a race report about the store would mean nothing.
//
// The window is what a front end shows and the batches slide on. A stream's store may hold a
// little more than its window (the headroom): frames the radar sent while the user-interface
// thread was busy wait there instead of being dropped, and leave with the next batch. The
// capacity, window plus headroom, is what bounds the memory.
//
// The ring grows as frames arrive, up to its capacity, instead of being reserved whole. A
// packet holds its frame once and derives the other matrices on demand; the store keeps the
// few matrices of the frames on display in a small cache. Signals go out after the lock is
// released, so a directly connected receiver may call back into the store.
//
// Every wait also ends when the caller's abort flag is set (checked under the store's lock,
// so an abort followed by wakeAll() is never lost) and when the store is cleared. Each clear
// starts a new generation: appends and results stamped with an older generation are refused,
// so a task that belonged to the previous window cannot leak into the new one.

#include "SkActivityPlotId.h"
#include "SkPacket.h"
#include "SkPacketTypeEnum.h"

#include <QObject>
#include <QPointF>
#include <QVector>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <mutex>

class SkFrameStore : public QObject
{
    Q_OBJECT

public:
    explicit SkFrameStore(QObject *parent = nullptr);
    ~SkFrameStore() override;

    // Locking operations. Timeouts are in milliseconds; ULONG_MAX waits without limit.
    void clear();
    // A window of `n` frames, and room for `headroom` frames more before an append is refused.
    void setMaxSize(int n, int headroom = 0);
    // The window, without the headroom.
    int maxSize() const;
    bool appendFrame(SkPacket p, unsigned long timeout);
    // The same for a task: refused when the store has been cleared since `generation`; the
    // wait for space ends early when `abortFlag` is set.
    bool appendFrame(SkPacket p, unsigned long timeout, quint64 generation,
                     const std::atomic_bool *abortFlag);
    // -1 the oldest frame, -2 the newest; an empty packet numbered -2 when frameNo has already
    // left the store, numbered -1 when it has not arrived (or the store is empty).
    // `generation`, when given, receives the generation the answer belongs to.
    SkPacket waitFrame(int frameNo, unsigned long timeout,
                       const std::atomic_bool *abortFlag = nullptr,
                       quint64 *generation = nullptr);
    void releaseFrames(int n);
    // Releases a batch of `batch` frames and every frame held beyond the window, but none
    // after `lastHandled`: a store that filled its headroom while results waited to be taken
    // is back at its window after one batch.
    void releaseBatch(int batch, int lastHandled);
    void clearAlarmResults();
    int startFrame() const;
    int endFrame() const;
    bool isFull() const;
    quint64 generation() const;
    // The one condition on which the next batch may go: the window is full and frameNo is its
    // newest frame (or a frame of the headroom), so every frame of the window has been
    // analysed and nothing unanalysed is released.
    bool isFullUpTo(int frameNo) const;

    // A copy of frame n's packet, or an empty packet when the store does not hold it.
    SkPacket frameAt(int n) const;
    // The packets of the frames first .. end - 1 that the store holds, oldest first, copied
    // under one lock: a consistent series however the store moves on meanwhile. Handles, not
    // matrices; a packet keeps its frame alive after the store has let it go.
    QVector<SkPacket> heldPackets(int first = 0, int end = INT_MAX) const;

    // Wakes every waiter (they return and look at their abort flag).
    void wakeAll();

    // Extraction jobs, run on a pool thread; each emits its result by a signal.
    void extractFrame(int frameNo, SkPacketTypeEnum type, int shift);
    void extractRow(int row, int frameNo, SkPacketTypeEnum type, int shift);
    void extractColumn(int column, int frameNo, SkPacketTypeEnum type, int shift);
    void extractInfo(int frameNo, SkActivityPlotId plotid);
    // The range-gate sums of the frame's normalised matrix over the channels chBegin ..
    // 1023 - chLast.
    void extractRgSum(int frameNo, int chBegin, int chLast);

public slots:
    void onAlarmCalculated(int frameno, SkAlarmResultSharedPtr result);
    // The same for the alarm task: a result computed for an earlier generation is dropped.
    void onAlarmCalculated(int frameno, SkAlarmResultSharedPtr result, quint64 generation);

signals:
    void alarmCalculated(int frameno, SkAlarmResultSharedPtr result);
    void alarmRangeChanged(int startframeno, int len);
    void dataRangeChanged(int startframeno, int len);
    void infoExtracted(SkActivityPlotId plotid, QVector<QPointF> liveData);
    void rgSumExtracted(QVector<QPointF> rgSumPoints);
    void valueExtracted(QVector<double> plotData, int width, int plotWidth, int plotHeight,
                        SkPacket packet, SkPacket packetPrev);

private:
    static constexpr quint64 AnyGeneration = ~quint64(0);
    static constexpr int CachedMatrices = 8;

    struct CachedMatrix
    {
        int frameNo;
        SkPacketTypeEnum type;
        SkPacket::MatrixPtr matrix;
    };

    bool fullLocked() const;
    void releaseLocked(int n, QVector<SkPacket> *released);
    int slotOf(int n) const;
    // frameAt() for a caller that holds the lock.
    SkPacket frameAtLocked(int n) const;
    bool appendAndEmit(SkPacket &p, unsigned long timeout, quint64 generation,
                       const std::atomic_bool *abortFlag);
    bool appendLocked(std::unique_lock<std::mutex> &lock, SkPacket &p, unsigned long timeout,
                      quint64 generation, const std::atomic_bool *abortFlag);
    void storeInSlot(int n, const SkPacket &p);
    // The matrix of a held frame through the cache of the frames on display (lock held).
    SkPacket::MatrixPtr cachedMatrix(int frameNo, SkPacketTypeEnum type);
    void forgetCached(int frameNo);
    void attachResult(int frameno, const SkAlarmResultSharedPtr &result, quint64 generation);
    // The stored packet of a held frame, so derived matrices stay cached in the ring.
    const SkPacket &heldPacket(int n) const;

    mutable std::mutex m_mutex;
    QVector<SkPacket> m_frames; // grows to m_capacity slots as frames arrive
    int m_capacity = 0; // the window and its headroom
    int m_window = 0;
    QVector<CachedMatrix> m_cache; // most recently used last
    int m_end = 0;
    int m_start = 0;
    std::condition_variable m_frameAdded;
    std::condition_variable m_spaceFreed;
    quint64 m_generation = 0;
    quint64 m_wakeups = 0; // counts clear() and wakeAll(), which end waits without a flag
};
