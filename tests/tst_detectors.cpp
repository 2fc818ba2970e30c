// The water-level and rain detectors and the live values, driven with small hand-built
// matrices so that every expected number can be worked out on paper.

#include "RuAlarmResult.h"
#include "RuConditioning.h"
#include "RuLiveValueCalculator.h"
#include "RuRainDetector.h"
#include "RuWaterlevelDetector.h"
#include "rrd.h"

#include <QTest>

#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace {

RuMatrix zeros(int rows)
{
    return RuMatrix::Zero(rows, RuMatrix::ColsAtCompileTime);
}

// Thresholds in the order incident on, incident off, alarm on, alarm off.
RuWaterlevelParams waterlevel(QVector<float> thresholds, int samples = 1)
{
    RuWaterlevelParams p;
    p.rangegate = 1;
    p.chBegin = 10;
    p.chWidth = 4;
    p.samples = samples;
    p.thresholdIncidentOn = thresholds.value(0);
    p.thresholdIncidentOff = thresholds.value(1);
    p.thresholdAlarmOn = thresholds.value(2);
    p.thresholdAlarmOff = thresholds.value(3);
    return p;
}

// Range gate 1 holds `value` inside the window [10, 14) and noise outside it.
RuMatrix waterlevelFrame(float value)
{
    RuMatrix m = zeros(3);
    m(1, 10) = value;
    m(1, 14) = 1e6f;
    m(0, 11) = 1e6f;
    return m;
}

// Rain frames: range gate r holds sums[r] in channel 600, with noise outside the window.
RuRainParams rain(float on, float off, int delay)
{
    RuRainParams p;
    p.chBegin = 600;
    p.chWidth = 4;
    p.bgFrameDelay = delay;
    p.thresholdAlarmOn = on;
    p.thresholdAlarmOff = off;
    return p;
}

RuMatrix rainFrame(const QVector<float> &sums)
{
    RuMatrix m = zeros(sums.size());
    for (int r = 0; r < sums.size(); ++r) {
        m(r, 600) = sums[r];
        m(r, 10) = 5e5f;
    }
    return m;
}

RuFrameInfo info(quint16 prf, quint16 integrate)
{
    RuFrameInfo block;
    block.prf = prf;
    block.integrate = integrate;
    return block;
}

// Adds a hump of the half-symmetry differences to row r of F: channels [from, to] rise
// linearly to `peak` at the middle, falling to peak / 2 at both ends.
void addHump(RuMatrix &f, int r, int from, int to, float peak)
{
    const float middle = (from + to) / 2.0f;
    const float slope = peak / 2.0f / (middle - from);
    for (int c = from; c <= to; ++c)
        f(r, c) += peak - slope * std::abs(c - middle);
}

RuLiveEnables allLive()
{
    RuLiveEnables e;
    e.channel0 = e.activity = e.mainVelocity = e.maxVelocity = e.medianVelocity = true;
    return e;
}

// The velocity rules applied channel by channel, as a second opinion on the scan, which
// walks stretches. Returns mode, max and median channel.
std::array<int, 3> referenceScan(const float *d, int c0, float threshold)
{
    enum { Waiting, Above, Dropped } state = Waiting;
    int s = 0;
    float best = 0.0f;
    int bestChannel = -1;
    auto update = [&](float x, int c) {
        if (x > best) {
            best = x;
            bestChannel = c;
        }
    };
    for (int c = c0; c < 512; ++c) {
        const float x = d[c];
        if (state == Waiting) {
            if (x > threshold)
                state = Above;
            update(x, c);
        } else if (state == Above) {
            if (x < threshold) {
                state = Dropped;
                s = c;
            } else {
                update(x, c);
            }
        } else if (x > threshold && c > s + c0) {
            state = Above;
            update(x, c);
        }
    }
    const int mode = best >= threshold ? bestChannel : 0;
    const int max = state == Dropped ? s : 0;
    int median = 0;
    double total = 0.0;
    for (int c = c0; c <= max; ++c)
        total += d[c];
    double running = 0.0;
    for (int c = c0; c <= max; ++c) {
        running += d[c];
        if (running > total / 2.0) {
            median = c;
            break;
        }
    }
    return {mode, max, median};
}

} // namespace

class TestDetectors : public QObject
{
    Q_OBJECT

private slots:
    void waterlevelStatusSequence_data();
    void waterlevelStatusSequence();
    void waterlevelMovingMean_data();
    void waterlevelMovingMean();
    void waterlevelWindowIsClippedToTheRow_data();
    void waterlevelWindowIsClippedToTheRow();
    void waterlevelIgnoresMissingRangegate();

    void rainAlarmWithIgnoredRangegatesAndFrozenQueue();
    void rainOffThresholdZeroUsesOnThreshold();
    void rainWithoutOnThresholdOnlyReportsRatios();
    void rainSpectralAverageMatchesAveragedFrame_data();
    void rainSpectralAverageMatchesAveragedFrame();
    void rainTimeAverage();
    void rainDegenerateParameters_data();
    void rainDegenerateParameters();

    void liveValuesOnKnownHump();
    void liveVelocityScanRules_data();
    void liveVelocityScanRules();
    void liveVelocityScanAgreesWithChannelRules_data();
    void liveVelocityScanAgreesWithChannelRules();
    void liveActivityWindow_data();
    void liveActivityWindow();
    void liveChannel0Saturates();
    void liveValuesNeedTheirInputs();
};

// The live values of one frame, with the half-symmetry differences, when computed, kept in
// the result.
static void liveProcess(const RuAlarmParams &params, const RuLiveEnables &enables,
                        const RuLiveValueCalculator::Input &in, RuAlarmResult &result)
{
    RuHalfMatrix half;
    if (RuLiveValueCalculator().process(params, enables, in, result, half)) {
        result.halfSymmetrySource = RuAlarmResult::HalfSymmetrySource::Held;
        result.halfSymmetry = QSharedPointer<const RuHalfMatrix>::create(half);
    }
}

void TestDetectors::waterlevelStatusSequence_data()
{
    QTest::addColumn<QVector<float>>("thresholds");
    QTest::addColumn<QVector<float>>("values");
    QTest::addColumn<QVector<int>>("statuses");

    QTest::newRow("incident, alarm, off, incident again")
        << QVector<float>{100, 50, 200, 150}
        << QVector<float>{10, 120, 130, 250, 260, 140, 120, 40, 30}
        << QVector<int>{2, 7, 6, 10, 9, 12, 7, 8, 2};
    QTest::newRow("all thresholds zero never report")
        << QVector<float>{0, 0, 0, 0} << QVector<float>{0, 1e6f, 4e9f} << QVector<int>{2, 2, 2};
    QTest::newRow("zero off thresholds switch off at once")
        << QVector<float>{100, 0, 200, 0} << QVector<float>{150, 150, 150, 250, 250, 250}
        << QVector<int>{7, 8, 7, 10, 12, 10};
    QTest::newRow("reaching a threshold is not exceeding it")
        << QVector<float>{100, 50, 200, 150} << QVector<float>{100, 101, 200, 201, 150, 101, 50}
        << QVector<int>{2, 7, 6, 10, 12, 7, 8};
}

void TestDetectors::waterlevelStatusSequence()
{
    QFETCH(QVector<float>, thresholds);
    QFETCH(QVector<float>, values);
    QFETCH(QVector<int>, statuses);
    const RuWaterlevelParams p = waterlevel(thresholds);
    RuWaterlevelDetector d;
    d.initialise(p);
    for (int i = 0; i < values.size(); ++i) {
        RuWaterlevelResult result;
        result.status = RuStatusEvaluated;
        d.process(p, waterlevelFrame(values[i]), 1000 + i, result);
        QCOMPARE(result.value, values[i]);
        QCOMPARE(int(result.status), statuses[i]);
        const bool on = result.status == RuStatusAlarmOn || result.status == RuStatusIncidentOn;
        const bool off = result.status == RuStatusAlarmOff || result.status == RuStatusIncidentOff;
        if (on)
            QCOMPARE(d.switchTime(), qint64(1000 + i));
        if (off)
            QCOMPARE(d.switchTime(), qint64(0));
    }
}

void TestDetectors::waterlevelMovingMean_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<QVector<float>>("means");

    // Frames carry 3, 6, 9, 12; the current value is always part of the mean.
    QTest::newRow("three samples") << 3 << QVector<float>{3, 4.5f, 6, 9};
    QTest::newRow("one sample is the value alone") << 1 << QVector<float>{3, 6, 9, 12};
    QTest::newRow("zero samples is the value alone") << 0 << QVector<float>{3, 6, 9, 12};
    QTest::newRow("more samples than frames") << 80 << QVector<float>{3, 4.5f, 6, 7.5f};
}

void TestDetectors::waterlevelMovingMean()
{
    QFETCH(int, samples);
    QFETCH(QVector<float>, means);
    const RuWaterlevelParams p = waterlevel({}, samples);
    RuWaterlevelDetector d;
    d.initialise(p);
    for (int i = 0; i < means.size(); ++i) {
        RuWaterlevelResult result;
        d.process(p, waterlevelFrame(3.0f * (i + 1)), 0, result);
        QCOMPARE(result.value, means[i]);
        QCOMPARE(int(result.status), int(RuStatusQuiet));
    }
    QVERIFY(d.sampleCount() < std::max(samples, 1));
}

void TestDetectors::waterlevelWindowIsClippedToTheRow_data()
{
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("width");
    QTest::addColumn<float>("value");

    // Channel c of range gate 1 holds c + 1, so a wrapped window would pick up 1, 2, ...
    QTest::newRow("past the last channel") << 1020 << 100 << float(1021 + 1022 + 1023 + 1024);
    QTest::newRow("begins past the row") << 1024 << 200 << 0.0f;
    QTest::newRow("negative begin") << -5 << 8 << float(1 + 2 + 3);
    QTest::newRow("negative width") << 10 << -3 << 0.0f;
    QTest::newRow("sum overflowing int") << 1000 << 2147483647 << float((1001 + 1024) * 24 / 2);
}

void TestDetectors::waterlevelWindowIsClippedToTheRow()
{
    QFETCH(int, begin);
    QFETCH(int, width);
    QFETCH(float, value);
    RuWaterlevelParams p = waterlevel({});
    p.chBegin = begin;
    p.chWidth = width;
    RuMatrix m = zeros(3);
    for (int c = 0; c < RuMatrix::ColsAtCompileTime; ++c)
        m(1, c) = float(c + 1);
    RuWaterlevelDetector d;
    d.initialise(p);
    RuWaterlevelResult result;
    d.process(p, m, 0, result);
    QCOMPARE(result.value, value);
}

void TestDetectors::waterlevelIgnoresMissingRangegate()
{
    for (int rangegate : {3, 100, -1}) {
        RuWaterlevelParams p = waterlevel({1, 0, 1, 0});
        p.rangegate = rangegate;
        RuWaterlevelDetector d;
        d.initialise(p);
        RuWaterlevelResult result;
        result.status = RuStatusEvaluated;
        d.process(p, waterlevelFrame(1e6f), 0, result);
        QCOMPARE(int(result.status), int(RuStatusEvaluated));
        QCOMPARE(result.value, 0.0f);
        QCOMPARE(d.sampleCount(), 0);
    }
}

void TestDetectors::rainAlarmWithIgnoredRangegatesAndFrozenQueue()
{
    RuRainParams p = rain(1.2f, 1.1f, 2);
    p.rangegatesToIgnore = {1, 7, -2};
    RuRainDetector d;
    d.initialise(p, 4);
    struct Step {
        QVector<float> sums;
        QVector<float> ratios;
        float activity;
        int status;
        int queue;
    };
    // While the alarm is off the background of a range gate is the mean of the oldest queued
    // sum and the current one; while it is on the queue stays as it was.
    const QVector<Step> steps = {
        {{100, 100, 100, 100}, {1, 0, 1, 1}, 1.0f, 2, 1},
        {{100, 1e4f, 100, 100}, {1, 0, 1, 1}, 1.0f, 2, 2},
        {{100, 100, 100, 300}, {1, 0, 1, 1.5f}, 1.25f, 10, 2},
        {{100, 100, 100, 300}, {1, 0, 1, 1.5f}, 1.25f, 9, 2},
        {{100, 100, 100, 1000}, {1, 0, 1, 5}, 3.0f, 9, 2},
        {{100, 100, 100, 100}, {1, 0, 1, 0.5f}, 1.0f, 12, 2},
        {{100, 100, 100, 100}, {1, 0, 1, 0.5f}, 1.0f, 2, 2},
    };
    for (int i = 0; i < steps.size(); ++i) {
        const Step &s = steps[i];
        RuRainResult result;
        result.status = RuStatusEvaluated;
        d.process(p, rainFrame(s.sums), result);
        QCOMPARE(result.ratios, s.ratios);
        QCOMPARE(result.activity, s.activity);
        QCOMPARE(int(result.status), s.status);
        QCOMPARE(d.queueSize(), s.queue);
    }
    RuRainResult result;
    d.process(p, rainFrame({100, 100, 100, 300}), result);
    QCOMPARE(result.summedCurrent, 500.0f);
    QCOMPARE(result.summedBackground, 400.0f);
}

void TestDetectors::rainOffThresholdZeroUsesOnThreshold()
{
    const RuRainParams p = rain(1.2f, 0.0f, 1000);
    RuRainDetector d;
    d.initialise(p, 2);
    const QVector<QVector<float>> frames = {{100, 100}, {100, 300}, {100, 500}, {100, 250}};
    // Range gate 1: ratio 1.5 (activity 1.25, on); frozen background (100 + 300) / 2, so
    // 2.5 (1.75, stays on), then 1.25 (1.125: off, though far above an off threshold of 0).
    const QVector<int> statuses = {2, 10, 9, 12};
    for (int i = 0; i < frames.size(); ++i) {
        RuRainResult result;
        d.process(p, rainFrame(frames[i]), result);
        QCOMPARE(int(result.status), statuses[i]);
    }
}

void TestDetectors::rainWithoutOnThresholdOnlyReportsRatios()
{
    const RuRainParams p = rain(0.0f, 0.0f, 10);
    RuRainDetector d;
    d.initialise(p, 2);
    for (float value : {100.0f, 1e6f}) {
        RuRainResult result;
        result.status = RuStatusEvaluated;
        d.process(p, rainFrame({100, value}), result);
        QCOMPARE(int(result.status), int(RuStatusEvaluated));
        QCOMPARE(result.activity, 0.0f);
        QCOMPARE(result.ratios.size(), 2);
        QVERIFY(!d.alarmOn());
    }
}

void TestDetectors::rainSpectralAverageMatchesAveragedFrame_data()
{
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("radius");

    QTest::newRow("inside the row") << 300 << 200 << 3;
    QTest::newRow("wrapping below channel 0") << 0 << 10 << 5;
    QTest::newRow("wrapping past channel 1023") << 1000 << 24 << 10;
    QTest::newRow("whole row") << 0 << 1024 << 2;
    QTest::newRow("radius beyond half a row") << 100 << 50 << 700;
    QTest::newRow("radius of many laps") << 900 << 300 << 5000;
}

void TestDetectors::rainSpectralAverageMatchesAveragedFrame()
{
    QFETCH(int, begin);
    QFETCH(int, width);
    QFETCH(int, radius);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(0.0f, 1000.0f);
    RuMatrix m = zeros(1);
    for (int c = 0; c < RuMatrix::ColsAtCompileTime; ++c)
        m(0, c) = spread(random);
    RuRainParams p = rain(0.0f, 0.0f, 10);
    p.chBegin = begin;
    p.chWidth = width;
    p.avgSpectrum = radius;
    RuRainDetector d;
    d.initialise(p, 1);
    RuRainResult result;
    d.process(p, m, result);
    const int clipped = std::min(width, RuMatrix::ColsAtCompileTime - begin);
    const double expected =
        ruSpectralAverage(m, radius).row(0).segment(begin, clipped).cast<double>().sum();
    QVERIFY2(std::abs(result.summedCurrent - expected) <= 1e-4 * expected,
             qPrintable(QString("%1 vs %2").arg(result.summedCurrent).arg(expected)));
}

void TestDetectors::rainTimeAverage()
{
    RuRainParams p = rain(0.0f, 0.0f, 10);
    p.avgTime = 2;
    RuRainDetector d;
    d.initialise(p, 1);
    const QVector<float> sums = {100, 300, 500, 100};
    const QVector<float> means = {100, 200, 400, 300};
    for (int i = 0; i < sums.size(); ++i) {
        RuRainResult result;
        d.process(p, rainFrame({sums[i]}), result);
        QCOMPARE(result.summedCurrent, means[i]);
    }
}

void TestDetectors::rainDegenerateParameters_data()
{
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("avgTime");
    QTest::addColumn<float>("current");

    QTest::newRow("window past the row is clipped") << 599 << 100000 << 5 << 1 << 100.0f;
    QTest::newRow("window outside the row is empty") << 2000 << 10 << 5 << 1 << 0.0f;
    QTest::newRow("delay 0 keeps the current frame") << 600 << 1 << 0 << 1 << 100.0f;
    QTest::newRow("negative delay and time average") << 600 << 1 << -4 << -1 << 100.0f;
}

void TestDetectors::rainDegenerateParameters()
{
    QFETCH(int, begin);
    QFETCH(int, width);
    QFETCH(int, delay);
    QFETCH(int, avgTime);
    QFETCH(float, current);
    RuRainParams p = rain(1.2f, 0.0f, delay);
    p.chBegin = begin;
    p.chWidth = width;
    p.avgTime = avgTime;
    RuRainDetector d;
    d.initialise(p, 2);
    for (int i = 0; i < 3; ++i) {
        RuRainResult result;
        d.process(p, rainFrame({100, 100}), result);
        QCOMPARE(result.summedCurrent, 2 * current);
        QCOMPARE(int(result.status), int(RuStatusQuiet));
        QVERIFY(d.queueSize() <= std::max(delay, 1));
    }
}

void TestDetectors::liveValuesOnKnownHump()
{
    // Row 0: a hump of the differences over channels 40..60 peaking with 200 at 50, on a
    // symmetric floor; row 1: symmetric. J = 17.5519... (0.1 m/s per channel).
    RuMatrix f = RuMatrix::Constant(2, RuMatrix::ColsAtCompileTime, 10.0f);
    addHump(f, 0, 40, 60, 200.0f);
    f(0, 0) = 1234.9f;
    RuMatrix n = RuMatrix::Ones(2, RuMatrix::ColsAtCompileTime);
    n.block(0, 200, 1, 10).setConstant(3.0f);
    RuMatrix x;
    ruAsymmetry(n, x);
    const RuFrameInfo block = info(2000, 4);
    RuAlarmParams params;
    RuAlarmResult result(2);
    liveProcess(params, allLive(), {f, &n, &x, &block}, result);

    QCOMPARE(result.live.channel0, (QVector<quint16>{1234, 10}));
    // Ten channels at 3 inside [100, 924): 3 - 1 each, their mirrors score 0 instead of 1.
    QCOMPARE(result.live.activity, (QVector<quint16>{10, 0}));
    QCOMPARE(result.live.mainVelocity, (QVector<quint16>{877, 0}));   // channel 50
    QCOMPARE(result.live.maxVelocity, (QVector<quint16>{1070, 0}));   // channel 61
    QCOMPARE(result.live.medianVelocity, (QVector<quint16>{877, 0})); // channel 50
    QVERIFY(result.hasHalfSymmetry());
    RuMatrix half = RuMatrix::Zero(result.halfSymmetry->rows(), RuMatrix::ColsAtCompileTime);
    half.leftCols(RuHalfMatrix::ColsAtCompileTime) = *result.halfSymmetry;
    QCOMPARE(half.rows(), 2);
    QCOMPARE(half(0, 50), 200.0f);
    QCOMPARE(half(0, 40), 100.0f);
    QCOMPARE(half(0, 0), 1224.9f);
    QCOMPARE(half(0, 973), 0.0f);
    QCOMPARE(half.row(1).cwiseAbs().maxCoeff(), 0.0f);
}

void TestDetectors::liveVelocityScanRules_data()
{
    QTest::addColumn<int>("secondFrom");
    QTest::addColumn<int>("chBegin");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("max");

    // A first hump 40..60 (peak 200 at 50) and a second one of 11 channels (peak 400) from
    // `secondFrom`. After the drop at 61 the scan rises again only beyond 61 + chBegin.
    QTest::newRow("second hump far enough") << 100 << 20 << 105 << 111;
    QTest::newRow("second hump too close") << 70 << 20 << 50 << 61;
    QTest::newRow("start after the first hump") << 100 << 62 << 105 << 111;
    QTest::newRow("start between the humps") << 70 << 65 << 75 << 81;
    QTest::newRow("start beyond the half") << 100 << 600 << 0 << 0;
    QTest::newRow("negative start counts from channel 0") << 70 << -50 << 75 << 81;
}

void TestDetectors::liveVelocityScanRules()
{
    QFETCH(int, secondFrom);
    QFETCH(int, chBegin);
    QFETCH(int, mode);
    QFETCH(int, max);
    RuMatrix f = RuMatrix::Zero(1, RuMatrix::ColsAtCompileTime);
    addHump(f, 0, 40, 60, 200.0f);
    addHump(f, 0, secondFrom, secondFrom + 10, 400.0f);
    const RuFrameInfo block = info(2000, 4);
    const double j = RuLiveValueCalculator::channelVelocity(block);
    RuAlarmParams params;
    params.liveVelocityChBegin = chBegin;
    RuAlarmResult result(1);
    liveProcess(params, allLive(), {f, nullptr, nullptr, &block},
                                    result);
    QCOMPARE(int(result.live.mainVelocity.value(0)), int(mode * j));
    QCOMPARE(int(result.live.maxVelocity.value(0)), int(max * j));
    QVERIFY(result.live.medianVelocity.value(0) <= result.live.maxVelocity.value(0));
}

void TestDetectors::liveVelocityScanAgreesWithChannelRules_data()
{
    QTest::addColumn<int>("chBegin");
    QTest::addColumn<float>("threshold");
    QTest::addColumn<int>("spread");
    QTest::addColumn<int>("nanEvery"); // 0: no NaN

    QTest::newRow("default start, noisy") << 20 << 50.0f << 200 << 0;
    QTest::newRow("start 0, noisy") << 0 << 50.0f << 200 << 0;
    QTest::newRow("start 1, sparse") << 1 << 150.0f << 200 << 0;
    QTest::newRow("late start") << 400 << 10.0f << 100 << 0;
    QTest::newRow("threshold 0") << 20 << 0.0f << 50 << 0;
    QTest::newRow("negative threshold") << 5 << -20.0f << 50 << 0;
    QTest::newRow("threshold on the values") << 20 << 3.0f << 6 << 0;
    // Few distinct values: the largest one recurs, and the first of them is the mode.
    QTest::newRow("ties at the top") << 20 << 1.0f << 2 << 0;
    QTest::newRow("NaN now and then") << 20 << 50.0f << 200 << 7;
    QTest::newRow("NaN often, ties") << 3 << 1.0f << 3 << 3;
}

void TestDetectors::liveVelocityScanAgreesWithChannelRules()
{
    QFETCH(int, chBegin);
    QFETCH(float, threshold);
    QFETCH(int, spread);
    QFETCH(int, nanEvery);
    // Whole numbers keep every sum exact, so both sides must agree to the channel.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> noise(-spread, spread);
    RuMatrix f = RuMatrix::Zero(64, RuMatrix::ColsAtCompileTime);
    for (int r = 0; r < f.rows(); ++r) {
        for (int c = 0; c < 512; ++c)
            f(r, c) = float(noise(random));
        if (r % 4 == 0)
            addHump(f, r, 30 + r, 50 + 2 * r, 400.0f);
        for (int c = r % 5; nanEvery > 0 && c < 512; c += nanEvery + r % 3)
            f(r, c) = std::nanf("");
    }
    const RuFrameInfo block = info(2000, 4);
    const double j = RuLiveValueCalculator::channelVelocity(block);
    RuAlarmParams params;
    params.liveVelocityChBegin = chBegin;
    params.liveVelocityLowLimit = threshold;
    RuAlarmResult result(int(f.rows()));
    liveProcess(params, allLive(), {f, nullptr, nullptr, &block},
                                    result);
    for (int r = 0; r < f.rows(); ++r) {
        const std::array<int, 3> expected = referenceScan(f.row(r).data(), chBegin, threshold);
        QCOMPARE(int(result.live.mainVelocity[r]), int(std::max(expected[0], 0) * j));
        QCOMPARE(int(result.live.maxVelocity[r]), int(expected[1] * j));
        QCOMPARE(int(result.live.medianVelocity[r]), int(expected[2] * j));
    }
}

void TestDetectors::liveActivityWindow_data()
{
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("end");
    QTest::addColumn<float>("level");
    QTest::addColumn<int>("activity");

    // Channels 200..209 of N at `level`, everything else 1.
    QTest::newRow("default window") << 100 << 924 << 3.0f << 10;
    QTest::newRow("window past the row") << 150 << 5000 << 3.0f << 10;
    QTest::newRow("negative begin") << -100 << 300 << 3.0f << 20;
    QTest::newRow("end before begin") << 500 << 100 << 3.0f << 0;
    QTest::newRow("saturates") << 100 << 924 << 1e6f << 65535;
}

void TestDetectors::liveActivityWindow()
{
    QFETCH(int, begin);
    QFETCH(int, end);
    QFETCH(float, level);
    QFETCH(int, activity);
    const RuMatrix f = RuMatrix::Constant(1, RuMatrix::ColsAtCompileTime, 10.0f);
    RuMatrix n = RuMatrix::Ones(1, RuMatrix::ColsAtCompileTime);
    n.block(0, 200, 1, 10).setConstant(level);
    RuMatrix x;
    ruAsymmetry(n, x);
    RuAlarmParams params;
    params.liveChBegin = begin;
    params.liveChEnd = end;
    RuLiveEnables enables;
    enables.activity = true;
    RuAlarmResult result(1);
    liveProcess(params, enables, {f, &n, &x, nullptr}, result);
    QCOMPARE(result.live.activity, QVector<quint16>{quint16(activity)});
    QVERIFY(result.live.channel0.isEmpty());
    QVERIFY(!result.halfSymmetry);
}

void TestDetectors::liveChannel0Saturates()
{
    RuMatrix f = RuMatrix::Zero(3, RuMatrix::ColsAtCompileTime);
    f(0, 0) = 70000.7f;
    f(1, 0) = 65535.9f;
    f(2, 0) = 4.0e9f;
    RuMatrix x = RuMatrix::Ones(3, RuMatrix::ColsAtCompileTime);
    RuLiveEnables enables;
    enables.channel0 = true;
    RuAlarmResult result(3);
    liveProcess(RuAlarmParams(), enables, {f, &x, &x, nullptr}, result);
    QCOMPARE(result.live.channel0, (QVector<quint16>{65535, 65535, 65535}));
}

void TestDetectors::liveValuesNeedTheirInputs()
{
    RuMatrix f = RuMatrix::Constant(2, RuMatrix::ColsAtCompileTime, 10.0f);
    addHump(f, 0, 40, 60, 200.0f);
    const RuFrameInfo block = info(2000, 4);

    // Not normalised this frame: no Channel0, no activity; the raw velocities still come.
    RuAlarmResult raw(2);
    liveProcess(RuAlarmParams(), allLive(), {f, nullptr, nullptr, &block},
                                    raw);
    QVERIFY(raw.live.channel0.isEmpty());
    QVERIFY(raw.live.activity.isEmpty());
    QCOMPARE(raw.live.mainVelocity.size(), 2);

    // Normalised source without any normalised matrix (or one of another frame shape).
    RuAlarmParams normalised;
    normalised.liveVelocitySource = 1;
    const RuMatrix other = RuMatrix::Ones(5, RuMatrix::ColsAtCompileTime);
    for (const RuMatrix *n : {static_cast<const RuMatrix *>(nullptr), &other}) {
        RuAlarmResult result(2);
        liveProcess(normalised, allLive(), {f, n, nullptr, &block},
                                        result);
        QVERIFY(result.live.mainVelocity.isEmpty());
        QVERIFY(result.live.medianVelocity.isEmpty());
        QVERIFY(!result.halfSymmetry);
    }

    // A frame without rrd_info: the differences, but no velocities.
    RuAlarmResult noInfo(2);
    liveProcess(RuAlarmParams(), allLive(), {f, nullptr, nullptr, nullptr},
                                    noInfo);
    QVERIFY(noInfo.live.mainVelocity.isEmpty());
    QVERIFY(noInfo.live.maxVelocity.isEmpty());
    QVERIFY(noInfo.hasHalfSymmetry());

    // Velocities that do not fit 16 bits count as none.
    const RuFrameInfo fast = info(65535, 0);
    RuAlarmResult overflow(2);
    liveProcess(RuAlarmParams(), allLive(), {f, nullptr, nullptr, &fast},
                                    overflow);
    QCOMPARE(overflow.live.mainVelocity, (QVector<quint16>{0, 0}));
    const RuFrameInfo slow = info(2000, 65535);
    QCOMPARE(RuLiveValueCalculator::channelVelocity(slow), 0.0);

    // Nothing enabled: nothing computed.
    RuAlarmResult none(2);
    RuMatrix x = RuMatrix::Ones(2, RuMatrix::ColsAtCompileTime);
    liveProcess(RuAlarmParams(), RuLiveEnables(), {f, &x, &x, &block},
                                    none);
    QVERIFY(none.live.channel0.isEmpty() && none.live.activity.isEmpty());
    QVERIFY(none.live.mainVelocity.isEmpty() && !none.halfSymmetry);
}

QTEST_GUILESS_MAIN(TestDetectors)
#include "tst_detectors.moc"
