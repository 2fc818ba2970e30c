// The frame window holds each frame once and derives the other matrices on demand: every
// packet type, whole, by row and by value, and every extraction job must give exactly what an
// engine that keeps every matrix computed. Also: the store's signals reach receivers that
// call back into it, the ring does not reserve its capacity up front, and the radar's process
// parameters cannot size the engine beyond the docks' ranges.

#include "RuAlarmCalculator.h"
#include "RuSimulator.h"
#include "SkFrameStore.h"
#include "SkPacket.h"

#include <QFile>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <map>
#include <thread>

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;
constexpr int Frames = 120;

const QVector<SkPacketTypeEnum> &allTypes()
{
    static const QVector<SkPacketTypeEnum> types = skPacketTypesInSelectorOrder();
    return types;
}

std::vector<RuFrame> simulatedFrames(int rangegates)
{
    RuSimulatorOptions o;
    o.scenario = RuScenario::Mixed;
    o.frames = Frames;
    o.rangegates = rangegates;
    o.seed = 4711;
    const RuSimulator simulator(o);
    std::vector<RuFrame> frames;
    for (int i = 0; i < Frames; ++i)
        frames.push_back(simulator.frame(i));
    return frames;
}

struct Setting
{
    int avgTime;
    int avgSpectrum;
    int velocitySource;
    bool avalanche;
};

RuAlarmCalculator calculatorFor(const Setting &s, bool keepEveryMatrix)
{
    RuAlarmCalculator calculator;
    RuAlarmParams p;
    p.bgLength = 6;
    p.bgDelay = 4;
    p.avgTime = s.avgTime;
    p.avgSpectrum = s.avgSpectrum;
    p.liveVelocitySource = s.velocitySource;
    calculator.setAlarmParams(p);
    for (int k = 0; k < RuAlarmCalculator::Detectors; ++k)
        calculator.setAvalancheEnable(k, s.avalanche);
    calculator.setLiveEnables({true, s.avalanche, true, true, true});
    calculator.setKeepsEveryMatrix(keepEveryMatrix);
    return calculator;
}

// Packets of the same frames evaluated by the engine as it runs (lazy) and by one that keeps
// every matrix it computed (eager).
struct Evaluated
{
    std::vector<SkPacket> lazy;
    std::vector<SkPacket> eager;
};

Evaluated evaluate(const std::vector<RuFrame> &frames, const Setting &s)
{
    RuAlarmCalculator lazy = calculatorFor(s, false);
    RuAlarmCalculator eager = calculatorFor(s, true);
    Evaluated e;
    for (int i = 0; i < int(frames.size()); ++i) {
        const RuFrame &f = frames[i];
        lazy.processFrame(f, f.timeMicros());
        eager.processFrame(f, f.timeMicros());
        e.lazy.emplace_back(f, i);
        e.lazy.back().setAlarmResult(lazy.lastResult());
        e.eager.emplace_back(f, i);
        e.eager.back().setAlarmResult(eager.lastResult());
    }
    return e;
}

bool sameBits(const float *a, const float *b, int n)
{
    return std::memcmp(a, b, sizeof(float) * size_t(n)) == 0;
}

void addSettings()
{
    QTest::addColumn<int>("avgTime");
    QTest::addColumn<int>("avgSpectrum");
    QTest::addColumn<int>("velocitySource");
    QTest::addColumn<bool>("avalanche");
    QTest::newRow("defaults") << 1 << 0 << 0 << true;
    QTest::newRow("time average 4, spectrum radius 2") << 4 << 2 << 0 << true;
    QTest::newRow("spectrum radius 3") << 1 << 3 << 0 << true;
    QTest::newRow("normalised velocities, radius 1") << 1 << 1 << 1 << true;
    QTest::newRow("time average 3, velocities only") << 3 << 0 << 0 << false;
}

Setting fetchSetting()
{
    QFETCH(int, avgTime);
    QFETCH(int, avgSpectrum);
    QFETCH(int, velocitySource);
    QFETCH(bool, avalanche);
    return {avgTime, avgSpectrum, velocitySource, avalanche};
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * 4096 : -1;
}

} // namespace

class TstPacketWindow : public QObject
{
    Q_OBJECT

private slots:
    void derivedMatricesAreThoseOfTheEngine_data() { addSettings(); }
    void derivedMatricesAreThoseOfTheEngine();
    void extractionJobsReadTheSameValues_data() { addSettings(); }
    void extractionJobsReadTheSameValues();
    void receiversMayCallBackIntoTheStore();
    void ringGrowsAsFramesArrive();
    void processParametersAreClampedToTheDockRanges();
};

void TstPacketWindow::derivedMatricesAreThoseOfTheEngine()
{
    const Setting setting = fetchSetting();
    const Evaluated e = evaluate(simulatedFrames(7), setting);
    int compared = 0;
    float row[Channels];
    std::map<int, SkPacket::Cursor> cursors;
    for (size_t i = 0; i < e.lazy.size(); ++i) {
        for (SkPacketTypeEnum type : allTypes()) {
            const SkPacket &lazy = e.lazy[i];
            const SkPacket &eager = e.eager[i];
            const QByteArray where = skPacketTypeName(type).toUtf8() + " frame "
                                     + QByteArray::number(int(i));
            QVERIFY2(lazy.hasMatrix(type) == eager.hasMatrix(type), where);
            if (!eager.hasMatrix(type))
                continue;
            const SkPacket::MatrixPtr expected = eager.matrix(type);
            const SkPacket::MatrixPtr whole = lazy.matrix(type);
            QCOMPARE(lazy.matrixRows(type), int(expected->rows()));
            QVERIFY2(whole->rows() == expected->rows()
                         && sameBits(whole->data(), expected->data(), int(expected->size())),
                     where);
            for (int r = 0; r < expected->rows(); ++r) {
                lazy.matrixRow(type, r, row);
                QVERIFY2(sameBits(row, expected->row(r).data(), Channels), where);
                for (int c : {0, 1, 511, 512, 1023}) {
                    const float v = lazy.matrixValue(type, r, c);
                    QVERIFY2(sameBits(&v, &(*expected)(r, c), 1), where + " channel " + QByteArray::number(c));
                }
            }
            // Whole columns, each replay carried from frame to frame as the column job does.
            for (int c : {0, 1, 511, 512, 1023}) {
                std::vector<double> column(size_t(expected->rows()));
                lazy.matrixColumn(type, c, int(expected->rows()), column.data(), 1,
                                  &cursors[int(type) * Channels + c]);
                for (int r = 0; r < expected->rows(); ++r) {
                    const float v = float(column[size_t(r)]);
                    QVERIFY2(sameBits(&v, &(*expected)(r, c), 1),
                             where + " column " + QByteArray::number(c));
                }
            }
            ++compared;
        }
    }
    // Every type was there for most frames (the background needs a few frames first).
    QVERIFY2(compared > int(allTypes().size()) * Frames / 2, qPrintable(QString::number(compared)));
}

void TstPacketWindow::extractionJobsReadTheSameValues()
{
    const Setting setting = fetchSetting();
    const int rangegates = 5;
    const Evaluated e = evaluate(simulatedFrames(rangegates), setting);
    SkFrameStore store;
    store.clear();
    store.setMaxSize(Frames);
    for (const SkPacket &p : e.lazy)
        QVERIFY(store.appendFrame(p, 0));
    QVector<double> data;
    int width = 0;
    int height = 0;
    connect(&store, &SkFrameStore::valueExtracted, this,
            [&](QVector<double> plotData, int w, int, int h, SkPacket, SkPacket) {
                data = plotData;
                width = w;
                height = h;
            },
            Qt::DirectConnection);
    const int shift = 200;
    for (SkPacketTypeEnum type : allTypes()) {
        const QByteArray name = skPacketTypeName(type).toUtf8();
        const bool any = std::any_of(e.eager.begin(), e.eager.end(),
                                     [type](const SkPacket &p) { return p.hasMatrix(type); });
        // One range gate of every frame, rotated by the shift.
        store.extractRow(3, Frames - 1, type, shift);
        QCOMPARE(height, Frames);
        if (!any) {
            QVERIFY(data.isEmpty());
            continue;
        }
        for (int i = 0; i < Frames; ++i) {
            const SkPacket &eager = e.eager[i];
            for (int x : {0, 199, 200, 1023}) {
                const double expected = eager.hasMatrix(type)
                    ? double((*eager.matrix(type))(3, (x - shift + Channels) % Channels))
                    : 0.0;
                QVERIFY2(data.at(i * Channels + x) == expected, name);
            }
        }
        // One channel of every frame: display column 100 shows channel 924.
        store.extractColumn(100, Frames - 1, type, shift);
        QCOMPARE(width, Frames);
        QCOMPARE(height, rangegates);
        for (int i = 0; i < Frames; ++i) {
            const SkPacket &eager = e.eager[i];
            for (int j = 0; j < rangegates; ++j) {
                const double expected =
                    eager.hasMatrix(type) ? double((*eager.matrix(type))(j, 924)) : 0.0;
                QVERIFY2(data.at(i + j * Frames) == expected, name);
            }
        }
        // The whole last frame, twice (the second time from the cache).
        for (int pass = 0; pass < 2; ++pass) {
            data.clear();
            store.extractFrame(Frames - 1, type, 0);
            const SkPacket::MatrixPtr m = e.eager.back().matrix(type);
            QCOMPARE(data.size(), int(m->size()));
            for (int k = 0; k < data.size(); ++k)
                QVERIFY2(data.at(k) == double(m->data()[k]), name);
        }
    }
}

// Every signal of the store reaches a directly connected receiver after the store has let go
// of its lock, so the receiver may ask the store again (a lock held across the emission
// would deadlock here).
void TstPacketWindow::receiversMayCallBackIntoTheStore()
{
    const Evaluated e = evaluate(simulatedFrames(3), {1, 0, 0, true});
    auto run = std::async(std::launch::async, [&e] {
        SkFrameStore store;
        QStringList heard;
        const auto callBack = [&store, &heard](const char *signal) {
            heard << QString::fromLatin1("%1 %2:%3")
                         .arg(QLatin1String(signal))
                         .arg(store.startFrame())
                         .arg(store.endFrame());
            store.isFull();
            store.maxSize();
        };
        QObject receiver;
        connect(&store, &SkFrameStore::dataRangeChanged, &receiver,
                [&] { callBack("range"); }, Qt::DirectConnection);
        connect(&store, &SkFrameStore::alarmRangeChanged, &receiver,
                [&] { callBack("alarmRange"); }, Qt::DirectConnection);
        connect(&store, &SkFrameStore::alarmCalculated, &receiver,
                [&] { callBack("alarm"); }, Qt::DirectConnection);
        connect(&store, &SkFrameStore::valueExtracted, &receiver,
                [&] { callBack("value"); }, Qt::DirectConnection);
        connect(&store, &SkFrameStore::infoExtracted, &receiver,
                [&] { callBack("info"); }, Qt::DirectConnection);
        connect(&store, &SkFrameStore::rgSumExtracted, &receiver,
                [&] { callBack("rgSum"); }, Qt::DirectConnection);
        store.clear();
        store.setMaxSize(Frames);
        for (int i = 0; i < 100; ++i) {
            SkPacket p = e.lazy[size_t(i)];
            p.setAlarmResult(SkAlarmResultSharedPtr());
            store.appendFrame(p, 0);
        }
        store.onAlarmCalculated(80, e.lazy[80].alarmResult());
        store.extractFrame(80, SkPacketTypeEnum::AvalancheNormalized, 0);
        store.extractRow(1, 80, SkPacketTypeEnum::Original, 0);
        store.extractColumn(1, 80, SkPacketTypeEnum::Original, 0);
        store.extractInfo(80, SkActivitySum);
        store.extractRgSum(80, 0, 0);
        store.releaseFrames(10);
        store.setMaxSize(50);
        store.clear();
        return heard;
    });
    QVERIFY2(run.wait_for(std::chrono::seconds(60)) == std::future_status::ready,
             "a receiver calling back into the store deadlocked");
    const QStringList heard = run.get();
    QCOMPARE(heard.count(QStringLiteral("range 0:0")), 2); // both clears
    QVERIFY(heard.contains(QStringLiteral("range 0:100")));
    QVERIFY(heard.contains(QStringLiteral("alarmRange 0:100")));
    QVERIFY(heard.contains(QStringLiteral("alarm 0:100")));
    QCOMPARE(heard.count(QStringLiteral("value 0:100")), 3);
    QVERIFY(heard.contains(QStringLiteral("info 0:100")));
    QVERIFY(heard.contains(QStringLiteral("rgSum 0:100")));
    QVERIFY(heard.contains(QStringLiteral("range 10:100")));
    QVERIFY(heard.contains(QStringLiteral("range 50:100")));
}

// A window of ten million frames on a short file reserves nothing it does not fill.
void TstPacketWindow::ringGrowsAsFramesArrive()
{
    const std::vector<RuFrame> frames = simulatedFrames(2);
    const qint64 before = residentBytes();
    if (before < 0)
        QSKIP("no /proc/self/statm on this system");
    SkFrameStore store;
    store.clear();
    store.setMaxSize(10000000);
    for (int i = 0; i < 20; ++i)
        QVERIFY(store.appendFrame(SkPacket(frames[size_t(i)], -1), 0));
    QCOMPARE(store.maxSize(), 10000000);
    QCOMPARE(store.endFrame(), 20);
    const qint64 grown = residentBytes() - before;
    QVERIFY2(grown < 16 * 1024 * 1024, qPrintable(QString::number(grown)));
    // The frames held keep their slots when the window shrinks and grows again.
    store.setMaxSize(7);
    QCOMPARE(store.startFrame(), 13);
    store.setMaxSize(100);
    for (int i = 13; i < 20; ++i)
        QCOMPARE(store.frameAt(i).frameNumber(), i);
    QCOMPARE(store.frameAt(12).frameNumber(), -1);
}

void TstPacketWindow::processParametersAreClampedToTheDockRanges()
{
    RuFrameInfo info;
    RuProcessParameters radar;
    radar.bgLength = radar.bgDelay = radar.avgTime = radar.avgSpectrum = 65535;
    radar.toWardSearch = radar.liveChBegin = radar.liveChEnd = 65535;
    info.processParameters = radar;
    RuAlarmCalculator calculator;
    calculator.fromProcessParameters(info);
    const RuAlarmParams &p = calculator.alarmParams();
    QCOMPARE(p.bgLength, 999);
    QCOMPARE(p.bgDelay, 999);
    QCOMPARE(p.avgTime, 10);
    QCOMPARE(p.avgSpectrum, 10);
    QCOMPARE(p.toWardSearch, 999);
    QCOMPARE(p.liveChBegin, 1023);
    QCOMPARE(p.liveChEnd, 1024);
    // Values inside the ranges stay as the radar sent them.
    info.processParameters->bgLength = 25;
    info.processParameters->bgDelay = 0;
    calculator.fromProcessParameters(info);
    QCOMPARE(calculator.alarmParams().bgLength, 25);
    QCOMPARE(calculator.alarmParams().bgDelay, 0);
}

QTEST_GUILESS_MAIN(TstPacketWindow)
#include "tst_packet_window.moc"
