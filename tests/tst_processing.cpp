// The detector engine: accumulator, conditioning, pipeline guards, background, the avalanche
// detector's decisions, process parameters, parameter files, packets, and the engine's
// handling of parameters that would reach outside a row.

#include "RuAlarmCalculator.h"
#include "RuAvalancheDetector.h"
#include "RuConditioning.h"
#include "RuFrameAccumulator.h"
#include "RuMetaTypes.h"
#include "RuParameterFile.h"
#include "RuParameterTable.h"
#include "RuRuns.h"
#include "RuSimulator.h"
#include "SkPacket.h"
#include "rrd.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <stdexcept>

namespace {

constexpr int C = 1024;
using Fill = std::function<float(int r, int c)>;

// A frame whose values come from `fill`, rounded to whole numbers as the radar sends them.
RuFrame makeFrame(int rows, const Fill &fill, uint32_t format = RRD_FORMAT_RRD0, qint64 t = 0)
{
    rrd_frame *f = rrd_frame_new(format, rows);
    for (int r = 0; r < rows; ++r) {
        unsigned char *rg = rrd_frame_rangegate(f, r);
        rrd_put_s32(rg, r);
        for (int c = 0; c < C; ++c)
            rrd_put_u32(rg + 4 + 4 * c, static_cast<uint32_t>(std::lround(fill(r, c))));
    }
    if (unsigned char *info = rrd_frame_info(f)) {
        rrd_put_s32(info + RRD_INFO_SECONDS, static_cast<int32_t>(t / 1000000));
        rrd_put_u16(info + RRD_INFO_RANGEGATES, static_cast<uint16_t>(rows));
        info[RRD_INFO_ANTENNA] = 'A';
        rrd_put_u16(info + RRD_INFO_PRF, 1000);
        rrd_put_u16(info + RRD_INFO_INTEGRATE, 4);
    }
    return RuFrame(f);
}

RuFrame constantFrame(int rows, float value) { return makeFrame(rows, [=](int, int) { return value; }); }

SkAlarmResultSharedPtr run(RuAlarmCalculator &calc, const RuFrame &frame, qint64 t = 0)
{
    calc.processFrame(frame, t);
    return calc.lastResult();
}

// The background in force for a result, as a view shows it.
RuMatrix backgroundOf(const SkAlarmResultSharedPtr &res)
{
    SkPacket packet;
    packet.setAlarmResult(res);
    return *packet.matrix(SkPacketTypeEnum::AvalancheBackground);
}

// Both results had the very same background candidate in force.
bool sameCandidate(const SkAlarmResultSharedPtr &a, const SkAlarmResultSharedPtr &b)
{
    return a->background == b->background && a->backgroundMean.trail == b->backgroundMean.trail
           && a->backgroundMean.pushes == b->backgroundMean.pushes;
}

// Normalised matrices for the avalanche detector: 1 everywhere (the background itself), 5 in
// channels 100..200 of the event rows (one-sided), and 5 on both sides in symmetric rows.
RuMatrix normalisedScene(int rows, const QVector<int> &events, const QVector<int> &symmetric = {})
{
    RuMatrix n = RuMatrix::Constant(rows, C, 1.0f);
    for (int r : events)
        n.row(r).segment(100, 101).setConstant(5.0f);
    for (int r : symmetric) {
        n.row(r).segment(100, 101).setConstant(5.0f);
        n.row(r).segment(C - 201, 101).setConstant(5.0f);
    }
    return n;
}

// One avalanche detector fed frame by frame; each event row scores 101 * 4 = 404.
struct AvalancheRig
{
    RuAvalancheParams params;
    RuAvalancheDetector detector;
    int rows = 20;
    int toWard = 2;
    int frame = 0;
    RuAvalancheDetector::Outcome outcome;

    void initialise() { detector.initialise(params, rows); }

    RuAvalancheResult step(const QVector<int> &events, const QVector<int> &symmetric = {})
    {
        const RuMatrix n = normalisedScene(rows, events, symmetric);
        RuMatrix x;
        ruAsymmetry(n, x);
        RuAvalancheResult result;
        result.runs.resize(rows);
        result.rowActivity.fill(0.0f, rows);
        outcome = detector.process(params, {n, x, 1000000LL * frame, frame, toWard}, result);
        ++frame;
        return result;
    }

    QVector<int> statuses(const QVector<QVector<int>> &frames)
    {
        QVector<int> s;
        for (const QVector<int> &events : frames)
            s.append(step(events).status);
        return s;
    }
};

QVector<int> rowsFrom(int first, int count)
{
    QVector<int> r;
    for (int i = 0; i < count; ++i)
        r.append(first + i);
    return r;
}

// A parameter file of `text` in `dir`.
QString parameterFile(const QTemporaryDir &dir, const QByteArray &text, const QString &name = QStringLiteral("p.ini"))
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    return path;
}

// The INI text a set is written as: two sets are the same when their texts are.
QByteArray iniText(const RuParameterSet &set)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set.ini"));
    {
        QSettings settings(path, QSettings::IniFormat);
        RuParameterTable::write(settings, set);
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Settings as a dock holds them, unlike the built-in ones: what a value that cannot be used
// gives way to.
RuParameterSet dockSettings()
{
    RuParameterSet set;
    set.general.bgLength = 25;
    set.avalanche[2].thresholdOn = 3.5f;
    set.rain.rangegatesToIgnore = {4, 5};
    return set;
}

} // namespace

class TstProcessing : public QObject
{
    Q_OBJECT

private slots:
    void accumulatorSlidesOverTheLastMatrices();
    void spectralAverageWrapsAroundTheRow_data();
    void spectralAverageWrapsAroundTheRow();
    void normalisationCountsBackgroundBelowOneAsOne();
    void runsCountFullLengthsOfStretches();

    void backgroundLagsByTheDelay_data();
    void backgroundLagsByTheDelay();
    void backgroundFreezesDuringAnEventAndRefillsAfterIt();
    void zeroBackgroundLengthNeverEstablishesABackground_data();
    void zeroBackgroundLengthNeverEstablishesABackground();
    void centralPeakDropSkipsFourFramesThenResets();
    void changedGeometryMarksAllResultsAndRestarts();
    void invalidFrameMarksAllResults();
    void resultIsSizedForTheFrame();

    void avalancheStatusSequences_data();
    void avalancheStatusSequences();
    void avalancheNoAlarmRangegateStaysPreAlarm();
    void avalancheRememberedEventExpiresAfterToWardSearch();
    void avalancheAlarmGoesOffAfterToWardSearchFrames();
    void avalancheSpecialRangegateDuringAlarm();
    void avalancheSymmetricFindingsResetTheBackground_data();
    void avalancheSymmetricFindingsResetTheBackground();
    void avalancheRowQualification_data();
    void avalancheRowQualification();
    void avalancheBordersBeyondTheRowEvaluateNothing();

    void processParametersFillTheCalculator();
    void missingProcessParametersAreRejected();

    void parameterFileNamesWhatItCannotUse_data();
    void parameterFileNamesWhatItCannotUse();
    void parameterFileKeepsWhatItCanUse();
    void longNamesInAParameterFileCostLittle();
    void manySlipsAreNamedFirstThenCounted();
    void notAParameterFileIsRefused_data();
    void notAParameterFileIsRefused();

    void packetDerivesMatricesFromItsFrame();
    void packetWithoutResultHasOnlyOriginal();

    void levelWindowsPastTheRowAreClipped();
    void liveValuesStayInsideTheRow();
    void liveChannel0Saturates();
    void frameWithoutInfoLeavesVelocitiesEmpty();
    void simulatedAvalancheRaisesAndEndsAnAlarm();
    void waterlevelSeesTheSpectralAverageOnlyWhenItRan_data();
    void waterlevelSeesTheSpectralAverageOnlyWhenItRan();
    void metaTypesAreRegisteredByName();
};

void TstProcessing::accumulatorSlidesOverTheLastMatrices()
{
    RuFrameAccumulator acc;
    acc.setLength(3);
    QVERIFY(!acc.ready());
    for (int i = 1; i <= 5; ++i) {
        acc.push(RuMatrix::Constant(2, C, float(i)));
        QCOMPARE(acc.ready(), i >= 3);
    }
    // Window holds 3, 4, 5.
    QCOMPARE(acc.mean()(1, 7), 4.0f);
    QCOMPARE(acc.sum()(0, 0), 12.0f);
    acc.reset();
    QVERIFY(!acc.ready());
    QCOMPARE(acc.size(), 0);
    acc.push(RuMatrix::Constant(2, C, 6.0f));
    QCOMPARE(acc.mean()(0, 0), 6.0f);
    acc.setLength(0);
    acc.push(RuMatrix::Constant(2, C, 1.0f));
    QVERIFY(!acc.ready());
}

void TstProcessing::spectralAverageWrapsAroundTheRow_data()
{
    QTest::addColumn<int>("radius");
    QTest::newRow("radius 1") << 1;
    QTest::newRow("radius 10") << 10;
    QTest::newRow("radius 511") << 511;
    QTest::newRow("radius 700 (wraps twice)") << 700;
}

void TstProcessing::spectralAverageWrapsAroundTheRow()
{
    QFETCH(int, radius);
    RuMatrix m(2, C);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < C; ++c)
            m(r, c) = float((c * 37 + r * 11) % 101);
    const RuMatrix a = ruSpectralAverage(m, radius);
    for (int r = 0; r < 2; ++r) {
        for (int c : {0, 1, 511, 1022, 1023}) {
            double sum = 0;
            for (int k = -radius; k <= radius; ++k)
                sum += m(r, ((c + k) % C + C) % C);
            QVERIFY2(std::abs(a(r, c) - sum / (2 * radius + 1)) < 1e-3,
                     qPrintable(QStringLiteral("r %1 c %2").arg(r).arg(c)));
        }
    }
    if (radius == 1)
        QCOMPARE(a(0, 0), (m(0, 1023) + m(0, 0) + m(0, 1)) / 3.0f);
    QCOMPARE(ruSpectralAverage(m, 0), m);
}

void TstProcessing::normalisationCountsBackgroundBelowOneAsOne()
{
    RuMatrix f = RuMatrix::Constant(1, C, 3.0f);
    RuMatrix b = RuMatrix::Constant(1, C, 2.0f);
    b(0, 0) = 0.3f;
    b(0, 1) = 0.0f;
    const RuMatrix n = ruNormalised(f, b);
    QCOMPARE(n(0, 0), 3.0f);
    QCOMPARE(n(0, 1), 3.0f);
    QCOMPARE(n(0, 2), 1.5f);
}

void TstProcessing::runsCountFullLengthsOfStretches()
{
    std::vector<float> s(C, 0.0f);
    for (int c = 100; c < 116; ++c) // 16 channels: two runs of 8
        s[c] = 3.0f;
    for (int c = 200; c < 207; ++c) // 7 channels: none
        s[c] = 3.0f;
    for (int c = 60; c < 70; ++c) // exactly at the threshold: not above
        s[c] = 2.0f;
    s[300] = std::nanf("");
    QVector<int> starts;
    QCOMPARE(ruFindRuns(s.data(), 2.0f, 0, C, 8, &starts), 2);
    QCOMPARE(starts, QVector<int>({100, 108}));
    // The window cuts the stretch: channels 104..115 leave one run.
    starts.clear();
    QCOMPARE(ruFindRuns(s.data(), 2.0f, 104, C, 8, &starts), 1);
    QCOMPARE(starts, QVector<int>({104}));
    QVERIFY(ruHasRun(s.data(), 2.0f, 0, 110, 8));
    QVERIFY(!ruHasRun(s.data(), 2.0f, 500, 400, 8));
    QVERIFY(!ruHasRun(s.data(), 2.0f, -50, 2000, 17));
}

void TstProcessing::backgroundLagsByTheDelay_data()
{
    QTest::addColumn<int>("delay");
    QTest::newRow("delay 1: newest candidate") << 1;
    QTest::newRow("delay 3: oldest of three") << 3;
}

void TstProcessing::backgroundLagsByTheDelay()
{
    QFETCH(int, delay);
    RuAlarmCalculator calc;
    RuAlarmParams p;
    p.bgLength = 1;
    p.bgDelay = delay;
    calc.setAlarmParams(p);
    calc.setAvalancheEnable(0, true);
    for (int n = 0; n < 8; ++n) {
        const RuFrame frame = constantFrame(3, 10.0f + n);
        const SkAlarmResultSharedPtr res = run(calc, frame);
        if (n == 0) {
            QVERIFY(!res->hasBackground());
            QVERIFY(!res->hasFiltered());
            continue;
        }
        QVERIFY(res->hasBackground());
        QCOMPARE(backgroundOf(res)(2, 5), 10.0f + std::max(0, n - delay));
        SkPacket packet(frame, n);
        packet.setAlarmResult(res);
        QCOMPARE(packet.matrixValue(SkPacketTypeEnum::OriginalFiltered, 2, 5), 10.0f + n);
        QCOMPARE(res->avalanche[0].status, RuStatusQuiet);
    }
    QCOMPARE(calc.delayQueueSize(), delay);
}

void TstProcessing::backgroundFreezesDuringAnEventAndRefillsAfterIt()
{
    RuAlarmCalculator calc;
    RuAlarmParams p;
    p.bgLength = 2;
    p.bgDelay = 1;
    calc.setAlarmParams(p);
    calc.setAvalancheEnable(0, true);
    for (int i = 0; i < 3; ++i)
        run(calc, constantFrame(10, 100.0f));
    // A standing one-sided event on range gates 3..6: pre-alarms, background frozen.
    const RuFrame event = makeFrame(10, [](int r, int c) {
        return (r >= 3 && r <= 6 && c >= 100 && c <= 200) ? 1000.0f : 100.0f;
    });
    SkAlarmResultSharedPtr first = run(calc, event);
    QCOMPARE(first->avalanche[0].status, RuStatusPreAlarm);
    QVERIFY(calc.frozen());
    for (int i = 0; i < 3; ++i) {
        const SkAlarmResultSharedPtr res = run(calc, event);
        QCOMPARE(res->avalanche[0].status, RuStatusPreAlarmSameRgs);
        QVERIFY(sameCandidate(res, first));
    }
    // The event is over: the average restarts from the frozen background.
    const SkAlarmResultSharedPtr after = run(calc, constantFrame(10, 120.0f));
    QVERIFY(sameCandidate(after, first));
    QVERIFY(!calc.frozen());
    const SkAlarmResultSharedPtr next = run(calc, constantFrame(10, 120.0f));
    QCOMPARE(backgroundOf(next)(4, 150), 110.0f); // (100 + 120) / 2
}

void TstProcessing::zeroBackgroundLengthNeverEstablishesABackground_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("delay");
    QTest::newRow("delay 0 drops every candidate at once") << 3 << 0;
    QTest::newRow("length 0 never fills the average") << 0 << 5;
    QTest::newRow("negative length") << -2 << 5;
}

void TstProcessing::zeroBackgroundLengthNeverEstablishesABackground()
{
    QFETCH(int, length);
    QFETCH(int, delay);
    RuAlarmCalculator calc;
    RuAlarmParams p;
    p.bgLength = length;
    p.bgDelay = delay;
    calc.setAlarmParams(p);
    calc.setAvalancheEnable(0, true);
    calc.setLiveEnables({true, true, true, true, true});
    for (int i = 0; i < 5; ++i) {
        const SkAlarmResultSharedPtr res = run(calc, constantFrame(2, 50.0f));
        QVERIFY(!res->hasFiltered());
        QVERIFY(!res->hasNormalised());
        QCOMPARE(res->avalanche[0].status, RuStatusEvaluated);
        QVERIFY(res->live.activity.isEmpty());
    }
    QVERIFY(!calc.backgroundAvailable());
}

void TstProcessing::centralPeakDropSkipsFourFramesThenResets()
{
    RuAlarmCalculator calc;
    RuAlarmParams p;
    p.bgLength = 1;
    p.bgDelay = 2;
    calc.setAlarmParams(p);
    calc.setAvalancheEnable(0, true);
    calc.setWaterlevelEnable(0, true);
    calc.setRainEnable(0, true);
    const RuFrame normal = makeFrame(4, [](int, int c) { return c == 0 ? 1000.0f : 50.0f; });
    const RuFrame dropped = makeFrame(4, [](int, int c) { return c == 0 ? 100.0f : 50.0f; });
    for (int i = 0; i < 3; ++i)
        run(calc, normal);
    QCOMPARE(calc.delayQueueSize(), 2);
    const int counter = calc.frameCounter();
    for (int i = 1; i <= 5; ++i) {
        const SkAlarmResultSharedPtr res = run(calc, dropped);
        const RuAlarmStatus expected = i < 5 ? RuStatusPeakDrop : RuStatusPeakDropReset;
        QCOMPARE(res->avalanche[0].status, expected);
        QCOMPARE(res->waterlevel[0].status, expected);
        QCOMPARE(res->rain[0].status, RuStatusEvaluated); // skipped
        QCOMPARE(res->avalanche[1].status, RuStatusDisabled);
        QCOMPARE(calc.frameCounter(), counter);
    }
    QCOMPARE(calc.delayQueueSize(), 0);
    // The reference is now 0, so the low frame is accepted.
    const SkAlarmResultSharedPtr res = run(calc, dropped);
    QVERIFY(res->avalanche[0].status != RuStatusPeakDrop);
    QCOMPARE(calc.frameCounter(), counter + 1);
}

void TstProcessing::changedGeometryMarksAllResultsAndRestarts()
{
    RuAlarmCalculator calc;
    calc.setAvalancheEnable(1, true);
    run(calc, constantFrame(4, 10.0f));
    run(calc, constantFrame(4, 10.0f));
    QCOMPARE(calc.frameCounter(), 2);
    const SkAlarmResultSharedPtr res = run(calc, constantFrame(5, 10.0f));
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(res->avalanche[k].status, RuStatusGeometryChanged);
        QCOMPARE(res->rain[k].status, RuStatusGeometryChanged);
        QCOMPARE(res->waterlevel[k].status, RuStatusGeometryChanged);
    }
    QCOMPARE(calc.frameCounter(), 0);
    const SkAlarmResultSharedPtr again = run(calc, constantFrame(5, 10.0f));
    QCOMPARE(again->avalanche[1].status, RuStatusEvaluated);
    QCOMPARE(calc.frameCounter(), 1);
}

void TstProcessing::invalidFrameMarksAllResults()
{
    RuAlarmCalculator calc;
    calc.setAvalancheEnable(0, true);
    run(calc, constantFrame(4, 10.0f));
    for (const RuFrame &frame : {RuFrame(), RuFrame(rrd_frame_new(RRD_FORMAT_RAW, 0))}) {
        const SkAlarmResultSharedPtr res = run(calc, frame);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(res->avalanche[k].status, RuStatusInvalid);
            QCOMPARE(res->rain[k].status, RuStatusInvalid);
            QCOMPARE(res->waterlevel[k].status, RuStatusInvalid);
        }
    }
    QCOMPARE(calc.frameCounter(), 1); // state untouched
}

void TstProcessing::resultIsSizedForTheFrame()
{
    RuAlarmCalculator calc;
    RuAlarmParams p;
    p.bgLength = 1;
    p.bgDelay = 1;
    calc.setAlarmParams(p);
    calc.setAvalancheEnable(2, true);
    calc.setLiveEnables({true, true, true, true, true});
    run(calc, constantFrame(7, 30.0f));
    const SkAlarmResultSharedPtr res = run(calc, constantFrame(7, 30.0f));
    QCOMPARE(res->rows, 7);
    QCOMPARE(res->avalanche[2].runs.size(), 7);
    QCOMPARE(res->avalanche[2].rowActivity.size(), 7);
    QCOMPARE(res->avalanche[0].status, RuStatusDisabled);
    QVERIFY(res->avalanche[0].runs.isEmpty());
    QVERIFY(res->avalanche[0].rowActivity.isEmpty());
    QCOMPARE(res->live.channel0.size(), 7);
    QCOMPARE(res->live.activity.size(), 7);
    QCOMPARE(res->live.mainVelocity.size(), 7);
    QCOMPARE(res->live.maxVelocity.size(), 7);
    QCOMPARE(res->live.medianVelocity.size(), 7);
    QVERIFY(res->live.header.present);
    QCOMPARE(res->live.header.antenna, quint8('A'));
    QCOMPARE(res->live.header.rangegates, quint16(7));
}

void TstProcessing::avalancheStatusSequences_data()
{
    QTest::addColumn<QVector<QVector<int>>>("frames");
    QTest::addColumn<QVector<int>>("statuses");
    QTest::newRow("approach by one: pre-alarm, alarm on")
        << QVector<QVector<int>>{rowsFrom(10, 3), rowsFrom(9, 3)} << QVector<int>{3, 10};
    QTest::newRow("approach by two")
        << QVector<QVector<int>>{rowsFrom(10, 3), rowsFrom(8, 3)} << QVector<int>{3, 10};
    QTest::newRow("jump by three stays pre-alarm")
        << QVector<QVector<int>>{rowsFrom(10, 3), rowsFrom(7, 3)} << QVector<int>{3, 3};
    QTest::newRow("standing event: same range gates")
        << QVector<QVector<int>>{rowsFrom(10, 3), rowsFrom(10, 3), rowsFrom(10, 3)}
        << QVector<int>{3, 4, 4};
    QTest::newRow("receding event")
        << QVector<QVector<int>>{rowsFrom(10, 3), rowsFrom(11, 3)} << QVector<int>{3, 3};
    QTest::newRow("quiet")
        << QVector<QVector<int>>{{}, {}} << QVector<int>{2, 2};
    QTest::newRow("two range gates are below the sum of sums")
        << QVector<QVector<int>>{rowsFrom(10, 2), rowsFrom(9, 2)} << QVector<int>{2, 2};
    QTest::newRow("alarm continues while events come")
        << QVector<QVector<int>>{rowsFrom(10, 3), rowsFrom(9, 3), rowsFrom(8, 3), rowsFrom(8, 2)}
        << QVector<int>{3, 10, 9, 9};
}

void TstProcessing::avalancheStatusSequences()
{
    QFETCH(QVector<QVector<int>>, frames);
    QFETCH(QVector<int>, statuses);
    AvalancheRig rig;
    rig.initialise();
    QCOMPARE(rig.statuses(frames), statuses);
}

void TstProcessing::avalancheNoAlarmRangegateStaysPreAlarm()
{
    AvalancheRig rig;
    rig.params.rangegatesNoAlarm = {9};
    rig.initialise();
    QCOMPARE(rig.statuses({rowsFrom(10, 3), rowsFrom(9, 3), rowsFrom(8, 3)}),
             QVector<int>({3, 3, 10}));
    // Without the same-range-gate pre-alarm a standing event stays at 3.
    AvalancheRig plain;
    plain.params.enablePreAlarmSameRgs = false;
    plain.initialise();
    QCOMPARE(plain.statuses({rowsFrom(10, 3), rowsFrom(10, 3)}), QVector<int>({3, 3}));
}

void TstProcessing::avalancheRememberedEventExpiresAfterToWardSearch()
{
    // toWardSearch 2: an event is remembered for max(2, 1) + 1 = 3 frames including its own.
    AvalancheRig soon;
    soon.initialise();
    QCOMPARE(soon.statuses({rowsFrom(10, 3), {}, rowsFrom(9, 3)}), QVector<int>({3, 2, 10}));
    AvalancheRig late;
    late.initialise();
    QCOMPARE(late.statuses({rowsFrom(10, 3), {}, {}, rowsFrom(9, 3)}), QVector<int>({3, 2, 2, 3}));
}

void TstProcessing::avalancheAlarmGoesOffAfterToWardSearchFrames()
{
    AvalancheRig rig;
    rig.initialise();
    QCOMPARE(rig.statuses({rowsFrom(10, 3), rowsFrom(9, 3), rowsFrom(8, 3), {}, {}}),
             QVector<int>({3, 10, 9, 9, 9}));
    QVERIFY(rig.outcome.alarmOn);
    const RuAvalancheResult off = rig.step({});
    QCOMPARE(off.status, RuStatusAlarmOff);
    QVERIFY(!rig.outcome.alarmOn);
    // The off group describes frame 2, the last one with an event.
    QCOMPARE(off.alarmOffGroup.first, 8);
    QCOMPARE(off.alarmOffGroup.last, 10);
    QCOMPARE(off.alarmOffGroup.count, 3);
    QCOMPARE(off.alarmOffGroup.summed, 3 * 404.0f);
    QCOMPARE(off.alarmOffGroup.frame, 2);
    const RuLastAlarm &a = off.lastAlarm;
    QVERIFY(a.valid);
    QCOMPARE(a.alarmOnFrame, 1);
    QCOMPARE(a.alarmOnTime, 1000000LL);
    QCOMPARE(a.lastEventFrame, 2);
    QCOMPARE(a.alarmOffFrame, 5);
    QCOMPARE(a.borderLeft, 20);
    QCOMPARE(a.summedSumSum, 2 * 1212.0f);
    QCOMPARE(a.highestSumSum, 1212.0f);
    QCOMPARE(a.highestSumSumTime, 1000000LL);
    QCOMPARE(a.channelMaps.size(), 20);
    QVERIFY(a.channelMaps.at(7).isEmpty());
    // Runs at 100, 108, ..., 188 cover channels 100..195.
    QCOMPARE(a.channelMaps.at(9).count(true), 96);
    QVERIFY(a.channelMaps.at(9).testBit(195) && !a.channelMaps.at(9).testBit(196));
    // Later results carry the summary until the next alarm.
    const RuAvalancheResult later = rig.step({});
    QCOMPARE(later.status, RuStatusQuiet);
    QVERIFY(later.lastAlarm.valid);
    QCOMPARE(later.lastAlarm.alarmOffFrame, 5);
}

void TstProcessing::avalancheSpecialRangegateDuringAlarm()
{
    AvalancheRig rig;
    rig.params.rangegatesSpecial = {7};
    rig.initialise();
    QCOMPARE(rig.statuses({rowsFrom(10, 3), rowsFrom(9, 3), rowsFrom(8, 3), rowsFrom(7, 3)}),
             QVector<int>({3, 10, 9, 11}));
    // A special range gate that is ignored never raises it.
    AvalancheRig ignored;
    ignored.params.rangegatesSpecial = {7};
    ignored.params.rangegatesToIgnore = {7};
    ignored.initialise();
    QCOMPARE(ignored.statuses({rowsFrom(10, 3), rowsFrom(9, 3), rowsFrom(7, 3)}),
             QVector<int>({3, 10, 9}));
}

void TstProcessing::avalancheSymmetricFindingsResetTheBackground_data()
{
    QTest::addColumn<int>("quietBeforeLast");
    QTest::addColumn<int>("lastStatus");
    QTest::newRow("ten quiet frames keep the count") << 10 << 16;
    QTest::newRow("eleven quiet frames clear it") << 11 << 13;
}

void TstProcessing::avalancheSymmetricFindingsResetTheBackground()
{
    QFETCH(int, quietBeforeLast);
    QFETCH(int, lastStatus);
    AvalancheRig rig;
    rig.initialise();
    const QVector<int> many = rowsFrom(2, 11); // more than half of 20 active range gates
    for (int i = 0; i < 3; ++i) {
        const RuAvalancheResult res = rig.step({}, many);
        QCOMPARE(res.status, RuStatusSymmetric);
        QCOMPARE(res.symmetricCount, 11);
        QVERIFY(res.runs.at(5).symmetric);
        QVERIFY(!rig.outcome.throwBackgroundAway);
    }
    for (int i = 0; i < quietBeforeLast; ++i)
        QCOMPARE(rig.step({}).status, RuStatusQuiet);
    QCOMPARE(int(rig.step({}, many).status), lastStatus);
    QCOMPARE(rig.outcome.throwBackgroundAway, lastStatus == 16);
    // Ten symmetric range gates are not more than half.
    QCOMPARE(rig.step({}, rowsFrom(2, 10)).status, RuStatusQuiet);
}

void TstProcessing::avalancheRowQualification_data()
{
    QTest::addColumn<float>("sumPerRowMin");
    QTest::addColumn<int>("perColMin");
    QTest::addColumn<bool>("nanRow");
    QTest::addColumn<int>("hits");
    QTest::addColumn<int>("groupCount");
    QTest::newRow("activity exactly at the minimum qualifies") << 404.0f << 2 << false << 36 << 3;
    QTest::newRow("activity below the minimum") << 404.5f << 2 << false << 0 << 0;
    QTest::newRow("NaN activity never qualifies") << 280.0f << 2 << true << 24 << 2;
    QTest::newRow("lone range gate forms no group") << 280.0f << 4 << false << 36 << 0;
}

void TstProcessing::avalancheRowQualification()
{
    QFETCH(float, sumPerRowMin);
    QFETCH(int, perColMin);
    QFETCH(bool, nanRow);
    QFETCH(int, hits);
    QFETCH(int, groupCount);
    RuAvalancheParams p;
    p.sumPerRowMin = sumPerRowMin;
    p.perColMin = perColMin;
    p.sumSumMin = 0.0f;
    RuAvalancheDetector d;
    d.initialise(p, 20);
    RuMatrix n = normalisedScene(20, rowsFrom(10, 3));
    if (nanRow)
        n(12, 500) = std::nanf("");
    RuMatrix x;
    ruAsymmetry(n, x);
    RuAvalancheResult res;
    d.process(p, {n, x, 0, 0, 2}, res);
    QCOMPARE(res.hits, hits);
    QCOMPARE(res.bestGroup.count, groupCount);
    QCOMPARE(res.runs.at(12).starts.size(), 12);
    QCOMPARE(res.rowActivity.at(0), 0.0f);
}

void TstProcessing::avalancheBordersBeyondTheRowEvaluateNothing()
{
    RuAvalancheParams p;
    p.borderLeft = 600;
    p.borderRight = 600;
    RuAvalancheDetector d;
    d.initialise(p, 20);
    const RuMatrix n = normalisedScene(20, rowsFrom(10, 3));
    RuMatrix x;
    ruAsymmetry(n, x);
    RuAvalancheResult res;
    d.process(p, {n, x, 0, 0, 2}, res);
    QCOMPARE(res.status, RuStatusQuiet);
    QCOMPARE(res.rowActivity.at(10), 0.0f);
    QVERIFY(res.runs.at(10).starts.isEmpty());
    // lengthMin 0 counts every channel above the threshold as a run of its own.
    p = RuAvalancheParams();
    p.lengthMin = 0;
    d.initialise(p, 20);
    RuAvalancheResult single;
    d.process(p, {n, x, 0, 0, 2}, single);
    QCOMPARE(single.runs.at(10).starts.size(), 101);
}

void TstProcessing::processParametersFillTheCalculator()
{
    unsigned char info[RRD_INFO_SIZE] = {};
    rrd_put_u16(info + RRD_INFO_PP_PRESENT, 1);
    const uint16_t general[7] = {7, 3, 2, 1, 5, 110, 900};
    for (int i = 0; i < 7; ++i)
        rrd_put_u16(info + RRD_PP_GENERAL + 2 * i, general[i]);
    info[RRD_PP_LIVE_VELOCITY_SOURCE] = 1;
    rrd_put_f32(info + RRD_PP_LIVE_VELOCITY_LOW, -1.0f); // not taken
    unsigned char *b = info + RRD_PP_AVALANCHE + RRD_PP_AVALANCHE_SIZE; // detector 1
    b[RRD_PP_AV_PRESENT] = 1;
    b[RRD_PP_AV_PRE_ALARM_SAME] = 0;
    rrd_put_u16(b + RRD_PP_AV_LENGTH_MIN, 6);
    rrd_put_u16(b + RRD_PP_AV_BORDER_RIGHT, 33);
    rrd_put_u32(b + RRD_PP_AV_SUM_SUM_MIN, 1500);
    rrd_put_f32(b + RRD_PP_AV_THRESHOLD_ON, 3.5f);
    rrd_put_u32(b + RRD_PP_AV_IGNORE, 0x80000001u); // range gates 0 and 31
    rrd_put_u32(b + RRD_PP_AV_SPECIAL + 4, 0x40000000u); // range gate 33
    rrd_put_u32(b + RRD_PP_AV_NO_ALARM + 12, 0x00000001u); // range gate 127
    info[RRD_PP_RAIN_PRESENT] = 1;
    rrd_put_u16(info + RRD_PP_RAIN_AVG_TIME, 4);
    rrd_put_u16(info + RRD_PP_RAIN_AVG_SPECTRUM, 2);
    rrd_put_u32(info + RRD_PP_RAIN_IGNORE, 0x30000000u); // range gates 2 and 3
    rrd_put_u16(info + RRD_PP_RAIN_BG_DELAY, 77);

    RuAlarmCalculator calc;
    RuWaterlevelParams wl;
    wl.rangegate = 9;
    calc.setWaterlevelParams(0, wl);
    calc.setWaterlevelEnable(0, true);
    run(calc, constantFrame(3, 5.0f));
    calc.fromProcessParameters(RuFrameInfo::decode(info));
    QCOMPARE(calc.frameCounter(), 0);
    const RuAlarmParams &g = calc.alarmParams();
    QCOMPARE(g.bgLength, 7);
    QCOMPARE(g.bgDelay, 3);
    QCOMPARE(g.avgTime, 2);
    QCOMPARE(g.avgSpectrum, 1);
    QCOMPARE(g.toWardSearch, 5);
    QCOMPARE(g.liveChBegin, 110);
    QCOMPARE(g.liveChEnd, 900);
    QCOMPARE(g.liveVelocitySource, 1);
    QCOMPARE(g.liveVelocityLowLimit, 50.0f);
    QVERIFY(!calc.avalancheEnable(0));
    QVERIFY(calc.avalancheEnable(1));
    const RuAvalancheParams &a = calc.avalancheParams(1);
    QCOMPARE(a.lengthMin, 6);
    QCOMPARE(a.borderRight, 33);
    QCOMPARE(a.sumSumMin, 1500.0f);
    QCOMPARE(a.thresholdOn, 3.5f);
    QVERIFY(!a.enablePreAlarmSameRgs);
    QCOMPARE(a.rangegatesToIgnore, QVector<int>({0, 31}));
    QCOMPARE(a.rangegatesSpecial, QVector<int>({33}));
    QCOMPARE(a.rangegatesNoAlarm, QVector<int>({127}));
    QVERIFY(calc.rainEnable(0));
    QCOMPARE(calc.rainParams(0).avgTime, 4);
    QCOMPARE(calc.rainParams(0).avgSpectrum, 2);
    QCOMPARE(calc.rainParams(0).bgFrameDelay, 77);
    QCOMPARE(calc.rainParams(0).rangegatesToIgnore, QVector<int>({2, 3}));
    // No water-level block: enable and fields stay as they were.
    QVERIFY(calc.waterlevelEnable(0));
    QCOMPARE(calc.waterlevelParams(0).rangegate, 9);
}

void TstProcessing::missingProcessParametersAreRejected()
{
    unsigned char info[RRD_INFO_SIZE] = {};
    rrd_put_u16(info + RRD_INFO_PP_PRESENT, 2);
    RuAlarmCalculator calc;
    // A present-mark other than 1, and a frame without a parameter block.
    for (const RuFrameInfo &block : {RuFrameInfo::decode(info), constantFrame(3, 5.0f).info()}) {
        try {
            calc.fromProcessParameters(block);
            QFAIL("accepted");
        } catch (const std::invalid_argument &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("No process parameters found in rrd_info"));
        }
    }
}

void TstProcessing::parameterFileNamesWhatItCannotUse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("warning");
    QTest::newRow("decimal comma") << QByteArray("[av00]\nthreshold=2,4\n")
        << "av00/threshold=2,4 is ignored (a decimal comma: write 2.4); 2.4 is used instead";
    QTest::newRow("quoted decimal comma") << QByteArray("[av02]\nthreshold=\"2,75\"\n")
        << "av02/threshold=2,75 is ignored (a decimal comma: write 2.75); 3.5 is used instead";
    QTest::newRow("nan") << QByteArray("[av00]\nsumSumMin=nan\n")
        << "av00/sumSumMin=nan is ignored (not a finite number); 900 is used instead";
    QTest::newRow("out of range") << QByteArray("[params]\nbgLength=5000\n")
        << "params/bgLength=5000 is ignored (outside 1..999); 25 is used instead";
    QTest::newRow("below the least") << QByteArray("[av01]\nlengthMin=0\n")
        << "av01/lengthMin=0 is ignored (less than 1); 8 is used instead";
    QTest::newRow("above the most") << QByteArray("[av02]\nthreshold=250\n")
        << "av02/threshold=250 is ignored (more than 100); 3.5 is used instead";
    QTest::newRow("cut-off too large") << QByteArray("[params]\nliveChLast=2000\n")
        << "params/liveChLast=2000 is ignored (outside 0..1023); 100 is used instead";
    QTest::newRow("yes for a switch") << QByteArray("[av00]\nenable=yes\n")
        << "av00/enable=yes is ignored (neither true nor false); false is used instead";
    QTest::newRow("fraction for a count") << QByteArray("[rain0]\nchBegin=2.5\n")
        << "rain0/chBegin=2.5 is ignored (not a whole number); 0 is used instead";
    QTest::newRow("empty number") << QByteArray("[waterlevel0]\nsamples=\n")
        << "waterlevel0/samples=\"\" is ignored (not a whole number); 80 is used instead";
    QTest::newRow("bad list") << QByteArray("[rain0]\nrangegatesToIgnore=1,x\n")
        << "rain0/rangegatesToIgnore=1,x is ignored (not a list of range-gate numbers); 4,5 is used instead";
    QTest::newRow("unknown key") << QByteArray("[av00]\ntreshold=3\n")
        << "unknown key av00/treshold is ignored (did you mean av00/threshold?)";
    QTest::newRow("unknown section") << QByteArray("[params]\nbgLength=25\n[rain1]\nenable=true\n")
        << "unknown section [rain1], its keys are ignored (did you mean [rain0]?)";
    QTest::newRow("stray line") << QByteArray("[params]\nbgLength=25\n  bgDelay 3\n")
        << "line 3 is ignored (neither a [section] nor a key=value): bgDelay 3";
    QTest::newRow("no keys at all") << QByteArray("; nothing here\n")
        << "holds no parameters, nothing is changed";
}

void TstProcessing::parameterFileNamesWhatItCannotUse()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    const QString path = parameterFile(dir, text);
    const RuParameterFile file = RuParameterFile::read(path, dockSettings());
    QVERIFY2(file.isRead(), qPrintable(file.error()));
    QCOMPARE(file.warnings(), QStringList{path + QStringLiteral(": ") + warning});
    QCOMPARE(iniText(file.parameters()), iniText(dockSettings()));
}

void TstProcessing::parameterFileKeepsWhatItCanUse()
{
    QTemporaryDir dir;
    const QString path = parameterFile(dir, "[params]\nbgLength=7\nbgDelay=-1\n[av00]\nenable=true\n"
                                            "threshold=2,4\nthresholdOff=1.5\n");
    const RuParameterFile file = RuParameterFile::read(path, RuParameterSet());
    QCOMPARE(file.warnings().size(), 2);
    RuParameterSet expected;
    expected.general.bgLength = 7;
    expected.avalancheEnable[0] = true;
    expected.avalanche[0].thresholdOff = 1.5f;
    QCOMPARE(iniText(file.parameters()), iniText(expected));
}

// Suggesting the nearest key once measured every unknown name against every key, in time and
// memory of their lengths' product: over a minute for one name of 900 000 characters.
void TstProcessing::longNamesInAParameterFileCostLittle()
{
    QTemporaryDir dir;
    const QString path = parameterFile(dir, "[params]\nbgLength=25\n" + QByteArray(900000, 'x') + "=1\n");
    QElapsedTimer clock;
    clock.start();
    const RuParameterFile file = RuParameterFile::read(path, dockSettings());
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    const QString shown = QStringLiteral("params/") + QString(33, QLatin1Char('x'));
    QCOMPARE(file.warnings(), QStringList{path + QStringLiteral(": unknown key %1... (900007 characters) "
                                                                "is ignored").arg(shown)});
}

void TstProcessing::manySlipsAreNamedFirstThenCounted()
{
    QByteArray text = "[params]\n";
    for (int n = 0; n < 30; ++n)
        text += "unknown" + QByteArray::number(n) + "=1\nstray line " + QByteArray::number(n) + "\n";
    QTemporaryDir dir;
    const QString path = parameterFile(dir, text);
    const QStringList warnings = RuParameterFile::read(path, dockSettings()).warnings();
    QCOMPARE(warnings.size(), 2 * 20 + 2);
    QCOMPARE(warnings.value(20), path + QStringLiteral(": 10 more unknown sections and keys are ignored"));
    QCOMPARE(warnings.value(21), path + QStringLiteral(": line 3 is ignored (neither a [section] nor a "
                                                       "key=value): stray line 0"));
    QCOMPARE(warnings.last(), path + QStringLiteral(": 10 more such lines are ignored"));
}

void TstProcessing::notAParameterFileIsRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    const QString binary = QStringLiteral("%1 is not a parameter file: it holds binary data, not INI text");
    const QString noSection = QStringLiteral("%1 is not a parameter file: it has none of the sections "
                                             "[params], [av00], [av01], [av02], [rain0], [waterlevel0]");
    QTest::newRow("data file") << "a.rrd0" << binary;
    QTest::newRow("gzip data file") << "a.rrd0.gz" << binary;
    QTest::newRow("alarm log") << "log.csv" << noSection;
    QTest::newRow("UTF-16 text") << "utf16.ini"
        << QStringLiteral("%1 is not a parameter file as it is: it is UTF-16 text, save it as UTF-8");
    QTest::newRow("other INI file") << "other.ini" << noSection;
    QTest::newRow("huge text") << "huge.ini"
        << QStringLiteral("%1 is not a parameter file: it holds 2097152 bytes, more than a parameter file ever does");
    QTest::newRow("missing") << "none.ini" << QStringLiteral("cannot read parameter file %1: it does not exist");
    QTest::newRow("folder") << "folder.ini" << QStringLiteral("cannot read parameter file %1: it is a folder");
}

void TstProcessing::notAParameterFileIsRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QString path = dir.filePath(kind);
    if (kind.contains(QLatin1String(".rrd0"))) {
        RuSimulatorOptions o;
        o.frames = 3;
        QVERIFY(RuSimulator(o).writeRecording(path));
    } else if (kind == QLatin1String("log.csv")) {
        path = parameterFile(dir, "frame,event,details\n201,AV0-0 ALARM ON,Avalanche0-0 Alarm\n", kind);
    } else if (kind == QLatin1String("utf16.ini")) {
        const QString text = QStringLiteral("\ufeff[params]\r\nbgLength=5\r\n");
        path = parameterFile(dir, QByteArray(reinterpret_cast<const char *>(text.utf16()), 2 * text.size()), kind);
    } else if (kind == QLatin1String("other.ini")) {
        path = parameterFile(dir, "[General]\ngeometry=1\n[Recent]\nfile=a.ini\n", kind);
    } else if (kind == QLatin1String("huge.ini")) {
        path = parameterFile(dir, "[params]\n" + QByteArray(2 << 20, ';').right((2 << 20) - 9), kind);
    } else if (kind == QLatin1String("folder.ini")) {
        QVERIFY(QDir(dir.path()).mkdir(kind));
    }
    const RuParameterFile file = RuParameterFile::read(path, dockSettings());
    QVERIFY(!file.isRead());
    QCOMPARE(file.error(), error.arg(path));
    QVERIFY(file.warnings().isEmpty());
    QCOMPARE(iniText(file.parameters()), iniText(dockSettings()));
}

void TstProcessing::packetDerivesMatricesFromItsFrame()
{
    RuAlarmCalculator calc;
    RuAlarmParams p;
    p.bgLength = 1;
    p.bgDelay = 1;
    calc.setAlarmParams(p);
    calc.setAvalancheEnable(0, true);
    calc.setLiveEnables({false, false, true, false, false});
    run(calc, constantFrame(3, 20.0f));
    const RuFrame frame = makeFrame(3, [](int, int c) { return c < 100 ? 60.0f : 10.0f; });
    SkPacket packet(frame, 4);
    QVERIFY(packet.hasMatrix(SkPacketTypeEnum::Original));
    QVERIFY(!packet.hasMatrix(SkPacketTypeEnum::OriginalFiltered));
    packet.setAlarmResult(run(calc, frame));
    const SkAlarmResultSharedPtr res = packet.alarmResult();
    for (SkPacketTypeEnum t : skPacketTypesInSelectorOrder())
        QVERIFY2(packet.hasMatrix(t), qPrintable(skPacketTypeName(t)));
    // The time average of one frame is the frame itself: rebuilt, not held.
    QVERIFY(!res->filtered && res->filteredFromFrame);
    QCOMPARE(*packet.matrix(SkPacketTypeEnum::OriginalFiltered), frame.toMatrix());
    QCOMPARE(packet.matrix(SkPacketTypeEnum::AvalancheBackground)->rows(), 3);
    QCOMPARE((*packet.matrix(SkPacketTypeEnum::AvalancheBackground))(2, 7), 20.0f);
    const SkPacket::MatrixPtr n = packet.matrix(SkPacketTypeEnum::AvalancheNormalized);
    QCOMPARE(*n, *packet.matrix(SkPacketTypeEnum::AvalancheNormalized));
    QCOMPARE((*n)(1, 5), 3.0f);
    QCOMPARE((*n)(1, 500), 0.5f);
    const SkPacket::MatrixPtr h = packet.matrix(SkPacketTypeEnum::LiveHalfSym);
    QCOMPARE(*h, *packet.matrix(SkPacketTypeEnum::LiveHalfSym));
    QCOMPARE(h->rows(), 3);
    QCOMPARE((*h)(0, 5), 50.0f); // 60 - 10 (raw source)
    QCOMPARE((*h)(0, 700), 0.0f);
    // Copies share the frame and the result.
    const SkPacket copy = packet;
    QCOMPARE(*copy.matrix(SkPacketTypeEnum::AvalancheBackground),
             *packet.matrix(SkPacketTypeEnum::AvalancheBackground));
    QCOMPARE(copy.frame().record(), packet.frame().record());
    QCOMPARE(packet.matrix(SkPacketTypeEnum::Original)->rows(), 3);
}

void TstProcessing::packetWithoutResultHasOnlyOriginal()
{
    const SkPacket empty;
    QCOMPARE(empty.frameNumber(), -1);
    QVERIFY(!empty.hasMatrix(SkPacketTypeEnum::Original));
    QCOMPARE(empty.matrix(SkPacketTypeEnum::Original)->rows(), 0);
    const SkPacket none(RuFrame(rrd_frame_new(RRD_FORMAT_RAW, 0)), 0);
    QVERIFY(none.hasMatrix(SkPacketTypeEnum::Original));
    QCOMPARE(none.matrix(SkPacketTypeEnum::Original)->rows(), 0);
    QVERIFY(!none.hasMatrix(SkPacketTypeEnum::AvalancheNormalized));
    QVERIFY(!none.hasMatrix(static_cast<SkPacketTypeEnum>(3)));
    // A result while the background is not yet established offers no derived matrix.
    RuAlarmCalculator calc;
    calc.setAvalancheEnable(0, true);
    SkPacket first(constantFrame(2, 5.0f), 0);
    first.setAlarmResult(run(calc, first.frame()));
    QVERIFY(first.hasAlarmResult());
    QVERIFY(!first.hasMatrix(SkPacketTypeEnum::OriginalFiltered));
    QCOMPARE(first.matrix(SkPacketTypeEnum::OriginalFiltered)->rows(), 0);
}

void TstProcessing::levelWindowsPastTheRowAreClipped()
{
    RuAlarmCalculator calc;
    RuWaterlevelParams wl;
    wl.rangegate = 1;
    wl.chBegin = 1000;
    wl.chWidth = 200;
    wl.samples = 1;
    calc.setWaterlevelParams(0, wl);
    calc.setWaterlevelEnable(0, true);
    RuRainParams rain;
    rain.chBegin = 1000;
    rain.chWidth = 200;
    rain.thresholdAlarmOn = 1.5f;
    calc.setRainParams(0, rain);
    calc.setRainEnable(0, true);
    const RuFrame frame = makeFrame(3, [](int, int c) { return c >= 1000 ? 2.0f : 1.0f; });
    for (int i = 0; i < 3; ++i) {
        const SkAlarmResultSharedPtr res = run(calc, frame);
        QCOMPARE(res->waterlevel[0].value, 48.0f); // channels 1000..1023 only
        QCOMPARE(res->waterlevel[0].status, RuStatusQuiet);
        QCOMPARE(res->rain[0].ratios.size(), 3);
        QCOMPARE(res->rain[0].ratios.at(2), 1.0f);
        QCOMPARE(res->rain[0].status, RuStatusQuiet);
    }
}

void TstProcessing::liveValuesStayInsideTheRow()
{
    RuAlarmCalculator calc;
    RuAlarmParams p;
    p.bgLength = 1;
    p.bgDelay = 1;
    p.liveChBegin = 600;
    p.liveChEnd = 500;          // end before begin: empty window
    p.liveVelocityChBegin = 700; // beyond the half row: nothing to scan
    p.liveVelocityLowLimit = 1.0f;
    calc.setAlarmParams(p);
    calc.setLiveEnables({true, true, true, true, true});
    run(calc, constantFrame(2, 10.0f));
    const RuFrame frame = makeFrame(2, [](int, int c) { return c >= 40 && c < 60 ? 500.0f : 10.0f; });
    const SkAlarmResultSharedPtr res = run(calc, frame);
    QCOMPARE(res->live.activity, QVector<quint16>({0, 0}));
    QCOMPARE(res->live.mainVelocity, QVector<quint16>({0, 0}));
    QCOMPARE(res->live.maxVelocity, QVector<quint16>({0, 0}));
    QCOMPARE(res->live.medianVelocity, QVector<quint16>({0, 0}));
}

void TstProcessing::liveChannel0Saturates()
{
    RuAlarmCalculator calc;
    RuAlarmParams p;
    p.bgLength = 1;
    p.bgDelay = 1;
    calc.setAlarmParams(p);
    calc.setLiveEnables({true, true, false, false, false});
    const RuFrame frame = makeFrame(2, [](int r, int c) {
        return c == 0 ? (r == 0 ? 70000.0f : 1234.0f) : 10.0f;
    });
    run(calc, frame);
    const SkAlarmResultSharedPtr res = run(calc, frame);
    QCOMPARE(res->live.channel0, QVector<quint16>({65535, 1234}));
}

void TstProcessing::frameWithoutInfoLeavesVelocitiesEmpty()
{
    RuAlarmCalculator calc;
    RuAlarmParams p;
    p.bgLength = 1;
    p.bgDelay = 1;
    calc.setAlarmParams(p);
    calc.setLiveEnables({true, true, true, true, true});
    const RuFrame frame = makeFrame(2, [](int, int) { return 10.0f; }, RRD_FORMAT_STAMPED);
    run(calc, frame);
    const SkAlarmResultSharedPtr res = run(calc, frame);
    QCOMPARE(res->live.channel0.size(), 2);
    QCOMPARE(res->live.activity.size(), 2);
    QVERIFY(res->live.mainVelocity.isEmpty());
    QVERIFY(res->live.maxVelocity.isEmpty());
    QVERIFY(res->live.medianVelocity.isEmpty());
    QVERIFY(!res->live.header.present);
}

void TstProcessing::simulatedAvalancheRaisesAndEndsAnAlarm()
{
    RuSimulatorOptions o;
    o.scenario = RuScenario::Avalanche;
    o.frames = 300;
    o.processParams = true;
    const RuSimulator sim(o);
    RuAlarmCalculator calc;
    QVector<int> seen;
    for (int i = 0; i < o.frames; ++i) {
        const RuFrame frame = sim.frame(i);
        if (i == 0)
            calc.fromProcessParameters(frame.info());
        calc.processFrame(frame, frame.timeMicros());
        const int s = calc.lastResult()->avalanche[0].status;
        if (seen.isEmpty() || seen.last() != s)
            seen.append(s);
    }
    QVERIFY2(seen.contains(3), qPrintable(QString::number(seen.size())));
    const int on = seen.indexOf(10);
    QVERIFY(on > 0);
    QVERIFY(seen.indexOf(12, on) > on);
}

void TstProcessing::waterlevelSeesTheSpectralAverageOnlyWhenItRan_data()
{
    QTest::addColumn<bool>("avalanche");
    QTest::addColumn<float>("value");
    QTest::newRow("averaged for the avalanche detectors") << true << 40.0f; // (10 + 100 + 10) / 3
    QTest::newRow("frame as read") << false << 100.0f;
}

void TstProcessing::waterlevelSeesTheSpectralAverageOnlyWhenItRan()
{
    QFETCH(bool, avalanche);
    QFETCH(float, value);
    RuAlarmCalculator calc;
    RuAlarmParams p;
    p.avgSpectrum = 1;
    calc.setAlarmParams(p);
    calc.setAvalancheEnable(0, avalanche);
    RuWaterlevelParams wl;
    wl.rangegate = 1;
    wl.chBegin = 500;
    wl.chWidth = 1;
    wl.samples = 1;
    calc.setWaterlevelParams(0, wl);
    calc.setWaterlevelEnable(0, true);
    const RuFrame frame = makeFrame(2, [](int, int c) { return c == 500 ? 100.0f : 10.0f; });
    QCOMPARE(run(calc, frame)->waterlevel[0].value, value);
}

void TstProcessing::metaTypesAreRegisteredByName()
{
    ruRegisterMetaTypes();
    for (const char *name : {"RuFrame", "SkPacket", "SkPacketTypeEnum", "SkAlarmResultSharedPtr",
                             "QSharedPointer<const RuAlarmResult>"})
        QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);
    QCOMPARE(QMetaType::type("SkAlarmResultSharedPtr"), qMetaTypeId<SkAlarmResultSharedPtr>());
}

QTEST_GUILESS_MAIN(TstProcessing)
#include "tst_processing.moc"
