// The frame store: numbering, capacity, release, waits, dropped marker, results, the batch
// rule and every extraction job.

#include "SkBatchPacer.h"
#include "SkFrameStore.h"
#include "SkStoreMetaTypes.h"

#include "RuFrame.h"
#include "rrd.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <functional>
#include <future>
#include <thread>

namespace {

using ValueFn = std::function<quint32(int row, int channel)>;

RuFrame makeFrame(int rows, const ValueFn &value)
{
    rrd_frame *record = rrd_frame_new(RRD_FORMAT_RRD0, rows);
    for (int r = 0; r < rows; ++r) {
        unsigned char *rec = rrd_frame_rangegate(record, r);
        rrd_put_s32(rec, r);
        for (int c = 0; c < RRD_CHANNELS; ++c)
            rrd_put_u32(rec + 4 + 4 * c, value(r, c));
    }
    return RuFrame(record);
}

// A value that tells row, channel and frame apart.
quint32 code(int frame, int row, int channel)
{
    return static_cast<quint32>(frame * 100000 + row * 1024 + channel);
}

SkPacket packetOf(int frame, int rows = 3)
{
    return SkPacket(makeFrame(rows, [frame](int r, int c) { return code(frame, r, c); }), -1);
}

// A result whose normalised and filtered matrices are `m` (background all ones) and whose
// live values are `live`.
SkAlarmResultSharedPtr resultWith(const RuMatrix &m, const QVector<quint16> &live = {})
{
    auto result = QSharedPointer<RuAlarmResult>::create(static_cast<int>(m.rows()));
    result->filtered = QSharedPointer<const RuMatrix>::create(m);
    result->background =
        QSharedPointer<const RuMatrix>::create(RuMatrix::Ones(m.rows(), RRD_CHANNELS));
    result->normalisedComputed = true;
    result->live.channel0 = live;
    result->live.activity = live;
    result->live.mainVelocity = live;
    result->live.maxVelocity = live;
    result->live.medianVelocity = live;
    return result;
}

RuMatrix codedMatrix(int rows, int frame)
{
    RuMatrix m(rows, RRD_CHANNELS);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < RRD_CHANNELS; ++c)
            m(r, c) = static_cast<float>(code(frame, r, c));
    return m;
}

void fill(SkFrameStore &store, int capacity, int first, int last)
{
    store.clear();
    store.setMaxSize(capacity);
    for (int i = 0; i < first; ++i) {
        if (store.isFull())
            store.releaseFrames(1);
        QVERIFY(store.appendFrame(packetOf(i), 0));
    }
    store.releaseFrames(first);
    for (int i = first; i <= last; ++i)
        QVERIFY(store.appendFrame(packetOf(i), 0));
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { skRegisterStoreMetaTypes(); }

    void numbersFramesAndRefusesAppendsToFullStore();
    void releaseBeyondHeldEmptiesWindow();
    void heldPacketsCopyTheRangeAsked_data();
    void heldPacketsCopyTheRangeAsked();
    void heldPacketsAreConsecutiveWhileTheStoreMoves();
    void releasedFramesAreFreedAtOnce();
    void waitFrameAnswers_data();
    void waitFrameAnswers();
    void waitFrameTimesOutOnMissingFrame();
    void resultOutOfRangeOnlyWarns();
    void resultInRangeIsAttachedAndSignalled();
    void clearStartsNewGenerationAndRefusesStaleWork();
    void loaderWokenByClearDoesNotAppendStaleFrame();
    void flaggedAppendKeepsWaitingThroughForeignWakeups();
    void abortEndsWaitsEvenWhenSetBeforeTheWait();
    void abortWakesBlockedWaiter();
    void setMaxSizeKeepsNewestFrames();
    void clearAlarmResultsDropsResults();
    void batchIsDueOnlyForNewestOfFullWindow_data();
    void batchIsDueOnlyForNewestOfFullWindow();
    void batchTakesTheHeadroomAlongAsFarAsHandled_data();
    void batchTakesTheHeadroomAlongAsFarAsHandled();
    void pacerKeepsResultsInOrder();
    void extractFrameRotatesRows_data();
    void extractFrameRotatesRows();
    void extractFrameSkipsMissingData();
    void extractRowReadsOneRangegateOverTime();
    void extractColumnReadsOneChannelOverTime();
    void extractColumnWithoutTypeEmitsEmptyData();
    void extractInfoScalesLiveValues_data();
    void extractInfoScalesLiveValues();
    void extractRgSumSumsNormalisedChannels_data();
    void extractRgSumSumsNormalisedChannels();
};

void TestStore::numbersFramesAndRefusesAppendsToFullStore()
{
    SkFrameStore store;
    QCOMPARE(store.maxSize(), 100);
    store.clear();
    store.setMaxSize(3);
    QSignalSpy range(&store, &SkFrameStore::dataRangeChanged);
    QVERIFY(store.appendFrame(packetOf(0), 0));
    QVERIFY(store.appendFrame(packetOf(1), 0));
    QVERIFY(store.appendFrame(packetOf(2), 0));
    QVERIFY(store.isFull());
    QVERIFY(!store.appendFrame(packetOf(3), 0));
    QCOMPARE(range.count(), 3);
    QCOMPARE(range.last().at(0).toInt(), 0);
    QCOMPARE(range.last().at(1).toInt(), 3);

    store.releaseFrames(2);
    QCOMPARE(store.startFrame(), 2);
    QCOMPARE(range.last().at(0).toInt(), 2);
    QCOMPARE(range.last().at(1).toInt(), 1);
    QVERIFY(store.appendFrame(packetOf(3), 0));
    QCOMPARE(store.endFrame(), 4);
    const QVector<SkPacket> held = store.heldPackets();
    QCOMPARE(held.size(), 2);
    QCOMPARE(held.first().frameNumber(), 2);
    QCOMPARE(store.frameAt(3).frameNumber(), 3);
    QCOMPARE(store.frameAt(3).frame().value(1, 7), code(3, 1, 7));
    QCOMPARE(store.frameAt(2).frame().value(0, 0), code(2, 0, 0));
    QCOMPARE(store.frameAt(1).frameNumber(), -1);
}

void TestStore::heldPacketsCopyTheRangeAsked_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("end");
    QTest::addColumn<QList<int>>("frames");
    QTest::newRow("everything held") << 0 << INT_MAX << QList<int>{3, 4, 5, 6, 7};
    QTest::newRow("inside") << 4 << 6 << QList<int>{4, 5};
    QTest::newRow("clamped to the oldest") << -10 << 5 << QList<int>{3, 4};
    QTest::newRow("beyond the newest") << 8 << 20 << QList<int>{};
    QTest::newRow("empty range") << 6 << 4 << QList<int>{};
}

// Frames 3 .. 7 held; the copies outlive the store's window.
void TestStore::heldPacketsCopyTheRangeAsked()
{
    QFETCH(int, first);
    QFETCH(int, end);
    QFETCH(QList<int>, frames);
    SkFrameStore store;
    fill(store, 5, 3, 7);
    const QVector<SkPacket> held = store.heldPackets(first, end);
    store.releaseFrames(5);
    QCOMPARE(store.frameAt(frames.value(0, 3)).frameNumber(), -1);
    QList<int> numbers;
    for (const SkPacket &packet : held) {
        numbers.append(packet.frameNumber());
        QCOMPARE(packet.frame().value(1, 7), code(packet.frameNumber(), 1, 7));
    }
    QCOMPARE(numbers, frames);
}

// A snapshot taken while the load appends and the window releases is always one run of
// consecutive frames, never more than the window.
void TestStore::heldPacketsAreConsecutiveWhileTheStoreMoves()
{
    SkFrameStore store;
    store.clear();
    store.setMaxSize(8);
    const SkPacket packet = packetOf(0);
    std::atomic_bool done{false};
    std::thread loader([&] {
        for (int i = 0; i < 3000; ++i) {
            if (store.isFull())
                store.releaseFrames(1 + i % 3);
            store.appendFrame(packet, 0);
        }
        done = true;
    });
    int snapshots = 0;
    bool consecutive = true;
    while (!done && consecutive) {
        const QVector<SkPacket> held = store.heldPackets();
        consecutive = held.size() <= 8;
        for (int i = 1; i < held.size() && consecutive; ++i)
            consecutive = held.at(i).frameNumber() == held.at(i - 1).frameNumber() + 1;
        ++snapshots;
    }
    loader.join();
    QVERIFY2(consecutive, qPrintable(QString::number(snapshots)));
    QCOMPARE(store.endFrame(), 3000);
}

void TestStore::releaseBeyondHeldEmptiesWindow()
{
    SkFrameStore store;
    fill(store, 5, 0, 2);
    store.releaseFrames(10);
    QCOMPARE(store.startFrame(), 3);
    QCOMPARE(store.endFrame(), 3);
    store.releaseFrames(-4);
    QCOMPARE(store.startFrame(), 3);
}

void TestStore::releasedFramesAreFreedAtOnce()
{
    SkFrameStore store;
    fill(store, 4, 0, 3);
    QWeakPointer<const RuAlarmResult> released, kept;
    {
        const SkAlarmResultSharedPtr first = resultWith(codedMatrix(3, 0));
        const SkAlarmResultSharedPtr second = resultWith(codedMatrix(3, 1));
        store.onAlarmCalculated(0, first);
        store.onAlarmCalculated(1, second);
        released = first;
        kept = second;
    }
    store.releaseFrames(1);
    QVERIFY(released.isNull());
    QVERIFY(!kept.isNull());
}

void TestStore::waitFrameAnswers_data()
{
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("hasFrame");
    QTest::newRow("newest") << -2 << 9 << true;
    QTest::newRow("oldest") << -1 << 5 << true;
    QTest::newRow("held") << 7 << 7 << true;
    QTest::newRow("already dropped") << 3 << -2 << false;
    QTest::newRow("not yet arrived") << 12 << -1 << false;
}

void TestStore::waitFrameAnswers()
{
    QFETCH(int, asked);
    QFETCH(int, number);
    QFETCH(bool, hasFrame);
    SkFrameStore store;
    fill(store, 5, 5, 9);
    const SkPacket p = store.waitFrame(asked, 0);
    QCOMPARE(p.frameNumber(), number);
    QCOMPARE(p.hasFrame(), hasFrame);
    if (hasFrame)
        QCOMPARE(p.frame().value(0, 1), code(number, 0, 1));
}

void TestStore::waitFrameTimesOutOnMissingFrame()
{
    SkFrameStore store;
    store.clear();
    store.setMaxSize(4);
    QCOMPARE(store.waitFrame(-1, 20).frameNumber(), -1);
    QVERIFY(store.appendFrame(packetOf(0), 0));
    QCOMPARE(store.waitFrame(1, 20).frameNumber(), -1);
    QCOMPARE(store.waitFrame(0, 20).frameNumber(), 0);
}

void TestStore::resultOutOfRangeOnlyWarns()
{
    SkFrameStore store;
    fill(store, 5, 5, 9);
    QSignalSpy calculated(&store, &SkFrameStore::alarmCalculated);
    QSignalSpy range(&store, &SkFrameStore::alarmRangeChanged);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral(
                             "^str: .*Store alarm calculated is out of range! 4 mFrames: "
                             "\\[5:10;5\\]$")));
    store.onAlarmCalculated(4, resultWith(codedMatrix(3, 4)));
    QCOMPARE(calculated.count(), 0);
    QCOMPARE(range.count(), 0);
}

void TestStore::resultInRangeIsAttachedAndSignalled()
{
    SkFrameStore store;
    fill(store, 5, 5, 9);
    QSignalSpy calculated(&store, &SkFrameStore::alarmCalculated);
    QSignalSpy range(&store, &SkFrameStore::alarmRangeChanged);
    const SkAlarmResultSharedPtr result = resultWith(codedMatrix(3, 7));
    store.onAlarmCalculated(7, result);
    QCOMPARE(range.count(), 1);
    QCOMPARE(range.at(0).at(0).toInt(), 5);
    QCOMPARE(range.at(0).at(1).toInt(), 2);
    QCOMPARE(calculated.count(), 1);
    QCOMPARE(calculated.at(0).at(0).toInt(), 7);
    QCOMPARE(calculated.at(0).at(1).value<SkAlarmResultSharedPtr>(), result);
    QCOMPARE(store.waitFrame(7, 0).alarmResult(), result);
}

void TestStore::clearStartsNewGenerationAndRefusesStaleWork()
{
    SkFrameStore store;
    fill(store, 4, 0, 1);
    const quint64 old = store.generation();
    QSignalSpy range(&store, &SkFrameStore::dataRangeChanged);
    store.clear();
    QCOMPARE(range.count(), 1);
    QCOMPARE(range.at(0).at(0).toInt(), 0);
    QCOMPARE(range.at(0).at(1).toInt(), 0);
    QCOMPARE(store.maxSize(), 0);
    QVERIFY(store.isFull());
    store.setMaxSize(4);
    QVERIFY(store.generation() != old);
    QVERIFY(!store.appendFrame(packetOf(9), 0, old, nullptr));
    QCOMPARE(store.endFrame(), 0);
    QVERIFY(store.appendFrame(packetOf(0), 0, store.generation(), nullptr));

    QSignalSpy calculated(&store, &SkFrameStore::alarmCalculated);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cleared window")));
    store.onAlarmCalculated(0, resultWith(codedMatrix(3, 0)), old);
    QCOMPARE(calculated.count(), 0);
    QVERIFY(!store.waitFrame(0, 0).hasAlarmResult());
    quint64 generation = 0;
    store.waitFrame(0, 0, nullptr, &generation);
    QCOMPARE(generation, store.generation());
}

void TestStore::loaderWokenByClearDoesNotAppendStaleFrame()
{
    SkFrameStore store;
    fill(store, 1, 0, 0);
    const quint64 generation = store.generation();
    std::atomic_bool abortFlag{false};
    auto append = std::async(std::launch::async, [&] {
        return store.appendFrame(packetOf(1), ULONG_MAX, generation, &abortFlag);
    });
    // Whether the append is already asleep or not yet started, the new window refuses it.
    store.clear();
    store.setMaxSize(5);
    QVERIFY(!append.get());
    QCOMPARE(store.endFrame(), 0);
}

void TestStore::flaggedAppendKeepsWaitingThroughForeignWakeups()
{
    SkFrameStore store;
    fill(store, 1, 0, 0);
    const quint64 generation = store.generation();
    std::atomic_bool abortFlag{false};
    auto append = std::async(std::launch::async, [&] {
        return store.appendFrame(packetOf(1), ULONG_MAX, generation, &abortFlag);
    });
    // Stopping some other task must not cost the file load its frame.
    store.wakeAll();
    store.wakeAll();
    store.releaseFrames(1);
    QVERIFY(append.get());
    QCOMPARE(store.endFrame(), 2);
    QCOMPARE(store.waitFrame(1, 0).frame().value(0, 3), code(1, 0, 3));
}

void TestStore::abortEndsWaitsEvenWhenSetBeforeTheWait()
{
    SkFrameStore store;
    fill(store, 1, 0, 0);
    std::atomic_bool abortFlag{true};
    // The flag is looked at under the lock, so an abort that came before the wait is not lost.
    QVERIFY(!store.appendFrame(packetOf(1), ULONG_MAX, store.generation(), &abortFlag));
    QCOMPARE(store.waitFrame(5, ULONG_MAX, &abortFlag).frameNumber(), -1);
}

void TestStore::abortWakesBlockedWaiter()
{
    SkFrameStore store;
    fill(store, 1, 0, 0);
    std::atomic_bool abortFlag{false};
    auto wait = std::async(std::launch::async,
                           [&] { return store.waitFrame(1, ULONG_MAX, &abortFlag); });
    auto append = std::async(std::launch::async, [&] {
        return store.appendFrame(packetOf(1), ULONG_MAX, store.generation(), &abortFlag);
    });
    abortFlag = true;
    store.wakeAll();
    QCOMPARE(wait.get().frameNumber(), -1);
    QVERIFY(!append.get());
    QCOMPARE(store.endFrame(), 1);
}

void TestStore::setMaxSizeKeepsNewestFrames()
{
    SkFrameStore store;
    fill(store, 5, 0, 4);
    store.setMaxSize(3);
    QCOMPARE(store.startFrame(), 2);
    QCOMPARE(store.endFrame(), 5);
    for (int n = 2; n < 5; ++n)
        QCOMPARE(store.waitFrame(n, 0).frame().value(2, 9), code(n, 2, 9));
    store.setMaxSize(6);
    QVERIFY(store.appendFrame(packetOf(5), 0));
    QCOMPARE(store.waitFrame(3, 0).frame().value(1, 1), code(3, 1, 1));
    QCOMPARE(store.waitFrame(5, 0).frame().value(1, 1), code(5, 1, 1));
}

void TestStore::clearAlarmResultsDropsResults()
{
    SkFrameStore store;
    fill(store, 4, 0, 3);
    for (int n = 0; n < 4; ++n)
        store.onAlarmCalculated(n, resultWith(codedMatrix(3, n)));
    QVERIFY(store.waitFrame(2, 0).hasMatrix(SkPacketTypeEnum::AvalancheNormalized));
    store.clearAlarmResults();
    for (int n = 0; n < 4; ++n) {
        QVERIFY(!store.waitFrame(n, 0).hasAlarmResult());
        QVERIFY(!store.waitFrame(n, 0).hasMatrix(SkPacketTypeEnum::AvalancheNormalized));
    }
}

void TestStore::batchIsDueOnlyForNewestOfFullWindow_data()
{
    QTest::addColumn<int>("headroom");
    QTest::addColumn<int>("held");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("due");
    QTest::newRow("full, newest") << 0 << 4 << 3 << true;
    QTest::newRow("full, older frame") << 0 << 4 << 2 << false;
    QTest::newRow("not full, newest") << 0 << 3 << 2 << false;
    QTest::newRow("empty") << 0 << 0 << -1 << false;
    QTest::newRow("headroom in use, newest of window") << 2 << 6 << 3 << true;
    QTest::newRow("headroom in use, newest held") << 2 << 6 << 5 << true;
    QTest::newRow("headroom in use, older frame") << 2 << 6 << 2 << false;
    QTest::newRow("headroom free, newest") << 2 << 3 << 2 << false;
}

void TestStore::batchIsDueOnlyForNewestOfFullWindow()
{
    QFETCH(int, headroom);
    QFETCH(int, held);
    QFETCH(int, result);
    QFETCH(bool, due);
    SkFrameStore store;
    store.clear();
    store.setMaxSize(4, headroom);
    for (int i = 0; i < held; ++i)
        QVERIFY(store.appendFrame(packetOf(i), 0));
    QCOMPARE(store.maxSize(), 4);
    QCOMPARE(store.isFullUpTo(result), due);
}

void TestStore::batchTakesTheHeadroomAlongAsFarAsHandled_data()
{
    QTest::addColumn<int>("held");
    QTest::addColumn<int>("batch");
    QTest::addColumn<int>("handled");
    QTest::addColumn<int>("start");
    QTest::newRow("window") << 4 << 1 << 3 << 1;
    QTest::newRow("window, large batch") << 4 << 9 << 3 << 4;
    QTest::newRow("headroom in use") << 6 << 1 << 5 << 3;
    QTest::newRow("headroom in use, batch") << 6 << 2 << 5 << 4;
    QTest::newRow("headroom full, results pending") << 7 << 1 << 3 << 4;
}

// A window of 4 frames with a headroom of 3: what is held beyond the window leaves with the
// batch, but never a frame whose result has not been handled.
void TestStore::batchTakesTheHeadroomAlongAsFarAsHandled()
{
    QFETCH(int, held);
    QFETCH(int, batch);
    QFETCH(int, handled);
    QFETCH(int, start);
    SkFrameStore store;
    store.clear();
    store.setMaxSize(4, 3);
    for (int i = 0; i < held; ++i)
        QVERIFY(store.appendFrame(packetOf(i), 0));
    store.releaseBatch(batch, handled);
    QCOMPARE(store.startFrame(), start);
    int next = held;
    while (store.appendFrame(packetOf(next), 0))
        ++next;
    QCOMPARE(store.endFrame() - store.startFrame(), 7); // the window and its headroom, no more
}

void TestStore::pacerKeepsResultsInOrder()
{
    SkFrameStore store;
    fill(store, 3, 0, 2);
    SkBatchPacer pacer(&store);
    QCOMPARE(pacer.onAlarmCalculated(0), SkBatchPacer::Accept);
    QCOMPARE(pacer.onAlarmCalculated(1), SkBatchPacer::Accept);
    QTest::ignoreMessage(QtDebugMsg, "mnw: ignoring result for 0");
    QCOMPARE(pacer.onAlarmCalculated(0), SkBatchPacer::Ignore);
    QCOMPARE(pacer.nextAlarmFrame(), 2);
    QCOMPARE(pacer.onAlarmCalculated(2), SkBatchPacer::BatchDue);
    store.releaseFrames(2);
    QVERIFY(store.appendFrame(packetOf(3), 0));
    QCOMPARE(pacer.onAlarmCalculated(3), SkBatchPacer::Accept);
    QVERIFY(store.appendFrame(packetOf(4), 0));
    QCOMPARE(pacer.onAlarmCalculated(4), SkBatchPacer::BatchDue);
    pacer.restart(2);
    QCOMPARE(pacer.onAlarmCalculated(2), SkBatchPacer::Accept);
    pacer.restart(-1);
    QCOMPARE(pacer.onAlarmCalculated(4), SkBatchPacer::BatchDue);
}

void TestStore::extractFrameRotatesRows_data()
{
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("channel");
    QTest::newRow("no shift") << 0 << 600 << 600;
    QTest::newRow("to middle, channel 0") << 512 << 512 << 0;
    QTest::newRow("to middle, channel 600") << 512 << 88 << 600;
    QTest::newRow("to right, channel 1023") << 200 << 199 << 1023;
    QTest::newRow("to right, channel 0") << 200 << 200 << 0;
}

void TestStore::extractFrameRotatesRows()
{
    QFETCH(int, shift);
    QFETCH(int, column);
    QFETCH(int, channel);
    SkFrameStore store;
    fill(store, 4, 0, 3);
    QSignalSpy spy(&store, &SkFrameStore::valueExtracted);
    store.extractFrame(2, SkPacketTypeEnum::Original, shift);
    QCOMPARE(spy.count(), 1);
    const QVector<double> data = spy.at(0).at(0).value<QVector<double>>();
    QCOMPARE(spy.at(0).at(1).toInt(), 1024);
    QCOMPARE(spy.at(0).at(2).toInt(), 1024);
    QCOMPARE(spy.at(0).at(3).toInt(), 3);
    QCOMPARE(data.size(), 3 * 1024);
    for (int r = 0; r < 3; ++r)
        QCOMPARE(data.at(r * 1024 + column), double(code(2, r, channel)));
    QCOMPARE(spy.at(0).at(4).value<SkPacket>().frameNumber(), 2);
    QCOMPARE(spy.at(0).at(5).value<SkPacket>().frameNumber(), 1);
}

void TestStore::extractFrameSkipsMissingData()
{
    SkFrameStore store;
    fill(store, 4, 2, 3);
    QSignalSpy spy(&store, &SkFrameStore::valueExtracted);
    store.extractFrame(1, SkPacketTypeEnum::Original, 0);
    store.extractFrame(3, SkPacketTypeEnum::AvalancheNormalized, 0);
    QCOMPARE(spy.count(), 0);
    store.extractFrame(2, SkPacketTypeEnum::Original, 0);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(5).value<SkPacket>().frameNumber(), -1);
}

void TestStore::extractRowReadsOneRangegateOverTime()
{
    SkFrameStore store;
    fill(store, 4, 10, 13);
    // Frame 11 has no normalised matrix; frame 13 has fewer range gates.
    store.onAlarmCalculated(10, resultWith(codedMatrix(3, 10)));
    store.onAlarmCalculated(12, resultWith(codedMatrix(3, 12)));
    store.onAlarmCalculated(13, resultWith(codedMatrix(2, 13)));
    QSignalSpy spy(&store, &SkFrameStore::valueExtracted);
    store.extractRow(7, 12, SkPacketTypeEnum::AvalancheNormalized, 512);
    QCOMPARE(spy.count(), 1);
    const QVector<double> data = spy.at(0).at(0).value<QVector<double>>();
    QCOMPARE(spy.at(0).at(3).toInt(), 4);
    QCOMPARE(data.size(), 4 * 1024);
    // A row beyond the last range gate reads the last one.
    QCOMPARE(data.at(0 * 1024 + 512), double(code(10, 2, 0)));
    QCOMPARE(data.at(1 * 1024 + 512), 0.0);
    QCOMPARE(data.at(2 * 1024 + 88), double(code(12, 2, 600)));
    QCOMPARE(data.at(3 * 1024 + 513), double(code(13, 1, 1)));
    QCOMPARE(spy.at(0).at(4).value<SkPacket>().frameNumber(), 12);
    QCOMPARE(spy.at(0).at(5).value<SkPacket>().frameNumber(), 11);

    store.extractRow(0, 12, SkPacketTypeEnum::LiveHalfSym, 0);
    QCOMPARE(spy.count(), 2);
    QVERIFY(spy.at(1).at(0).value<QVector<double>>().isEmpty());
    QCOMPARE(spy.at(1).at(3).toInt(), 4);
}

void TestStore::extractColumnReadsOneChannelOverTime()
{
    SkFrameStore store;
    store.clear();
    store.setMaxSize(3);
    QVERIFY(store.appendFrame(packetOf(0, 130), 0));
    QVERIFY(store.appendFrame(packetOf(1, 2), 0));
    QVERIFY(store.appendFrame(packetOf(2, 140), 0));
    QSignalSpy spy(&store, &SkFrameStore::valueExtracted);
    store.extractColumn(100, 2, SkPacketTypeEnum::Original, 200);
    QCOMPARE(spy.count(), 1);
    const QVector<double> data = spy.at(0).at(0).value<QVector<double>>();
    QCOMPARE(spy.at(0).at(1).toInt(), 3);
    QCOMPARE(spy.at(0).at(2).toInt(), 3);
    QCOMPARE(spy.at(0).at(3).toInt(), 128);
    QCOMPARE(data.size(), 3 * 128);
    // Display column 100 with shift 200 shows channel 924; columns are frames.
    QCOMPARE(data.at(0 + 5 * 3), double(code(0, 5, 924)));
    QCOMPARE(data.at(1 + 1 * 3), double(code(1, 1, 924)));
    QCOMPARE(data.at(1 + 2 * 3), 0.0);
    QCOMPARE(data.at(2 + 127 * 3), double(code(2, 127, 924)));
}

void TestStore::extractColumnWithoutTypeEmitsEmptyData()
{
    SkFrameStore store;
    fill(store, 3, 0, 2);
    QSignalSpy spy(&store, &SkFrameStore::valueExtracted);
    store.extractColumn(1023, 2, SkPacketTypeEnum::OriginalFiltered, 0);
    QCOMPARE(spy.count(), 1);
    QVERIFY(spy.at(0).at(0).value<QVector<double>>().isEmpty());
    QCOMPARE(spy.at(0).at(1).toInt(), 3);
    QCOMPARE(spy.at(0).at(3).toInt(), 128);
}

void TestStore::extractInfoScalesLiveValues_data()
{
    QTest::addColumn<int>("plot");
    QTest::addColumn<double>("factor");
    QTest::newRow("Channel0") << 5 << 1.0;
    QTest::newRow("#-Sum") << 6 << 1.0;
    QTest::newRow("Mode") << 7 << 0.1;
    QTest::newRow("Max Velocity") << 8 << 0.1;
    QTest::newRow("Median Velocity") << 9 << 0.1;
    QTest::newRow("Avalanche 0") << 0 << 0.0;
    QTest::newRow("Rain") << 4 << 0.0;
}

void TestStore::extractInfoScalesLiveValues()
{
    QFETCH(int, plot);
    QFETCH(double, factor);
    SkFrameStore store;
    fill(store, 2, 0, 1);
    store.onAlarmCalculated(1, resultWith(codedMatrix(3, 1), {10, 250, 65535}));
    QSignalSpy spy(&store, &SkFrameStore::infoExtracted);
    store.extractInfo(1, SkActivityPlotId(plot));
    store.extractInfo(0, SkActivityPlotId(plot));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).value<SkActivityPlotId>(), SkActivityPlotId(plot));
    const QVector<QPointF> points = spy.at(0).at(1).value<QVector<QPointF>>();
    if (factor == 0.0) {
        QVERIFY(points.isEmpty());
    } else {
        QCOMPARE(points.size(), 3);
        QCOMPARE(points.at(1), QPointF(250 * factor, 1));
        QCOMPARE(points.at(2), QPointF(65535 * factor, 2));
    }
    QVERIFY(spy.at(1).at(1).value<QVector<QPointF>>().isEmpty());
}

void TestStore::extractRgSumSumsNormalisedChannels_data()
{
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("emitted");
    QTest::newRow("all channels") << 0 << 0 << true;
    QTest::newRow("window") << 100 << 200 << true;
    QTest::newRow("clamped to one channel") << -5 << 2000 << true;
    QTest::newRow("nothing left") << 1000 << 30 << false;
    QTest::newRow("one channel") << 1000 << 23 << true;
}

void TestStore::extractRgSumSumsNormalisedChannels()
{
    QFETCH(int, begin);
    QFETCH(int, last);
    QFETCH(bool, emitted);
    SkFrameStore store;
    fill(store, 2, 0, 1);
    RuMatrix m(2, RRD_CHANNELS);
    for (int c = 0; c < RRD_CHANNELS; ++c) {
        m(0, c) = 1.0f;
        m(1, c) = float(c % 8);
    }
    store.onAlarmCalculated(1, resultWith(m));
    QSignalSpy spy(&store, &SkFrameStore::rgSumExtracted);
    store.extractRgSum(0, begin, last);
    QCOMPARE(spy.count(), 0); // no normalised matrix yet
    store.extractRgSum(1, begin, last);
    QCOMPARE(spy.count(), emitted ? 1 : 0);
    if (!emitted)
        return;
    const int b = qBound(0, begin, 1023);
    const int n = 1024 - b - qBound(0, last, 1023);
    double expected = 0;
    for (int c = b; c < b + n; ++c)
        expected += c % 8;
    const QVector<QPointF> points = spy.at(0).at(0).value<QVector<QPointF>>();
    QCOMPARE(points.size(), 2);
    QCOMPARE(points.at(0), QPointF(0, 0));
    QCOMPARE(points.at(1), QPointF(expected - n, 1));
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
