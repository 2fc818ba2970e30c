// The engine's per-frame kernels against plain computations kept here, one value at a time
// in the order the design states them: the conversion of a record to floats, the threshold
// masks and the runs found in them, the normalisation with the asymmetry. The fast paths must
// agree to the bit, and so must the wider set of row kernels with the baseline set.

#include "RuConditioning.h"
#include "RuRowKernels.h"
#include "RuRuns.h"
#include "rrd.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr int C = 1024;

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A row of whole numbers around `level` with stretches above it and now and then NaN or an
// infinity.
std::vector<float> spikyRow(std::mt19937 &random, float level)
{
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::uniform_int_distribution<int> stretch(0, 30);
    std::vector<float> row(C);
    for (int c = 0; c < C; ++c)
        row[size_t(c)] = std::round(level + noise(random) * level / 2);
    for (int c = 0; c < C; c += 40 + stretch(random)) {
        const int end = std::min(C, c + stretch(random));
        for (int k = c; k < end; ++k)
            row[size_t(k)] = level * 3;
    }
    row[size_t(stretch(random) * 30)] = std::nanf("");
    row[size_t(stretch(random) * 31 + 3)] = std::numeric_limits<float>::infinity();
    row[size_t(stretch(random) * 29 + 5)] = level; // exactly at the threshold: not above
    return row;
}

template <typename T>
QByteArray bytesOf(const std::vector<T> &values)
{
    return QByteArray(reinterpret_cast<const char *>(values.data()), int(sizeof(T) * values.size()));
}

// Everything one set of row kernels makes of the same rows, by kernel.
QMap<QString, QByteArray> runKernels(const RuRowKernels &k, const std::vector<unsigned char> &record,
                                     const std::vector<float> &a, const std::vector<float> &b,
                                     float threshold)
{
    std::vector<float> floats(C), normalised(C), asymmetry(C), half(C / 2), divided(C);
    std::vector<float> sum = a, oldest = b;
    std::vector<uint64_t> above(C / 64), halfAbove(C / 128), halfBelow(C / 128);
    k.recordToFloats(record.data(), floats.data());
    k.normalise(a.data(), b.data(), normalised.data());
    k.asymmetry(a.data(), asymmetry.data());
    k.halfSymmetry(a.data(), half.data());
    k.slide(sum.data(), oldest.data(), floats.data());
    k.divide(a.data(), threshold, divided.data());
    k.above(a.data(), threshold, above.data());
    k.aboveAndBelowHalf(half.data(), threshold, halfAbove.data(), halfBelow.data());
    return {{"recordToFloats", bytesOf(floats)}, {"normalise", bytesOf(normalised)},
            {"asymmetry", bytesOf(asymmetry)},   {"halfSymmetry", bytesOf(half)},
            {"slide sum", bytesOf(sum)},         {"slide oldest", bytesOf(oldest)},
            {"divide", bytesOf(divided)},        {"above", bytesOf(above)},
            {"above half", bytesOf(halfAbove)},  {"below half", bytesOf(halfBelow)}};
}

} // namespace

class TstEngineKernels : public QObject
{
    Q_OBJECT

private slots:
    void recordConversionRoundsAsACast();
    void masksHoldTheChannelsAboveTheThreshold();
    void runsInMasksFollowTheStretches_data();
    void runsInMasksFollowTheStretches();
    void normalisationWithAsymmetryDividesAndMirrors();
    void widerKernelsMatchTheBaseline_data();
    void widerKernelsMatchTheBaseline();
};

// Every value a float cannot hold exactly (above 2^24) rounds to the nearest float, ties to
// the even one, exactly as a conversion of the unsigned integer does.
void TstEngineKernels::recordConversionRoundsAsACast()
{
    std::vector<quint32> values = {0u,          1u,          0xFFFFu,     0x10000u,
                                   0xFFFFFFu,   0x1000000u,  0x1000001u,  0x1000003u,
                                   0x2000002u,  0x2000006u,  0x7FFFFFBFu, 0x7FFFFFC0u,
                                   0x7FFFFFFFu, 0x80000000u, 0x80000080u, 0x80000180u,
                                   0xFFFFFF7Fu, 0xFFFFFF80u, 0xFFFFFFFFu, 0xFFFF0000u};
    std::mt19937 random(5);
    std::uniform_int_distribution<quint32> any;
    while (values.size() % C != 0)
        values.push_back(any(random) >> (values.size() % 32));
    std::vector<unsigned char> record(4 * values.size());
    for (size_t i = 0; i < values.size(); ++i)
        rrd_put_u32(record.data() + 4 * i, values[i]);
    std::vector<float> out(values.size());
    for (size_t row = 0; row < values.size() / C; ++row)
        ruRecordToFloats(record.data() + 4 * C * row, out.data() + C * row);
    for (size_t i = 0; i < values.size(); ++i)
        QVERIFY2(sameBits(out[i], static_cast<float>(values[i])), qPrintable(QString::number(values[i])));
}

void TstEngineKernels::masksHoldTheChannelsAboveTheThreshold()
{
    std::mt19937 random(7);
    for (float threshold : {2.4f, -1.0f, 0.0f, 3.0f, std::nanf("")}) {
        const std::vector<float> row = spikyRow(random, 2.4f);
        RuAboveMask mask;
        ruAboveMask(row.data(), threshold, mask);
        for (int c = 0; c < C; ++c) {
            const bool bit = (mask.word[c / 64] >> (c % 64)) & 1;
            QVERIFY2(bit == (row[size_t(c)] > threshold), qPrintable(QString::number(c)));
        }
    }
}

void TstEngineKernels::runsInMasksFollowTheStretches_data()
{
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("length");
    QTest::newRow("whole row, 8") << 0 << C << 8;
    QTest::newRow("borders 20, 8") << 20 << C - 20 << 8;
    QTest::newRow("borders 40, 3") << 40 << C - 40 << 3;
    QTest::newRow("one channel") << 0 << C << 1;
    QTest::newRow("long runs") << 5 << 1000 << 25;
    QTest::newRow("window past both ends") << -30 << C + 30 << 8;
    QTest::newRow("window ends before it begins") << 600 << 500 << 2;
    QTest::newRow("length 0 finds nothing") << 0 << C << 0;
}

// The runs of the design's walk: count channels above the threshold, a channel not above
// resets the count, a full length is a run starting length - 1 channels back.
void TstEngineKernels::runsInMasksFollowTheStretches()
{
    QFETCH(int, begin);
    QFETCH(int, end);
    QFETCH(int, length);
    std::mt19937 random(9);
    for (int trial = 0; trial < 20; ++trial) {
        const std::vector<float> row = spikyRow(random, 2.4f);
        QVector<int> expected;
        int count = 0;
        for (int c = std::max(begin, 0); c < std::min(end, C) && length >= 1; ++c) {
            count = row[size_t(c)] > 2.4f ? count + 1 : 0;
            if (count == length) {
                expected.append(c - length + 1);
                count = 0;
            }
        }
        RuAboveMask mask;
        ruAboveMask(row.data(), 2.4f, mask);
        QVector<int> starts;
        QCOMPARE(ruFindRuns(mask, begin, end, length, &starts), expected.size());
        QCOMPARE(starts, expected);
        QCOMPARE(ruHasRun(mask, begin, end, length), !expected.isEmpty());
    }
}

// N = F / max(B, 1) and X(c) = (N(c) + 1) - N(1023 - c), value by value, with backgrounds
// below 1, zero, NaN and infinite among them.
void TstEngineKernels::normalisationWithAsymmetryDividesAndMirrors()
{
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-2.0f, 5000.0f);
    RuMatrix f(7, C);
    RuMatrix b(7, C);
    for (int i = 0; i < f.size(); ++i) {
        f.data()[i] = value(random);
        b.data()[i] = value(random) / 1000.0f;
    }
    b(0, 3) = std::nanf("");
    f(1, 1000) = std::nanf("");
    b(2, 17) = std::numeric_limits<float>::infinity();
    f(3, 511) = std::numeric_limits<float>::infinity();
    b(4, 0) = 0.0f;
    b(4, 1) = -0.0f;
    RuMatrix n;
    RuMatrix x;
    ruNormaliseWithAsymmetry(f, b, n, x);
    QCOMPARE(n.rows(), f.rows());
    QCOMPARE(x.rows(), f.rows());
    for (int r = 0; r < f.rows(); ++r) {
        for (int c = 0; c < C; ++c) {
            const float expectedN = f(r, c) / (b(r, c) < 1.0f ? 1.0f : b(r, c));
            QVERIFY2(sameBits(n(r, c), expectedN), qPrintable(QStringLiteral("N %1 %2").arg(r).arg(c)));
        }
        for (int c = 0; c < C; ++c) {
            const float expectedX = (n(r, c) + 1.0f) - n(r, C - 1 - c);
            QVERIFY2(sameBits(x(r, c), expectedX), qPrintable(QStringLiteral("X %1 %2").arg(r).arg(c)));
        }
    }
    RuMatrix alone;
    ruAsymmetry(n, alone);
    QVERIFY(std::memcmp(alone.data(), x.data(), sizeof(float) * size_t(x.size())) == 0);
}

void TstEngineKernels::widerKernelsMatchTheBaseline_data()
{
    QTest::addColumn<float>("scale");
    QTest::addColumn<float>("threshold");
    QTest::newRow("spectra") << 1.0f << 2.4f;
    QTest::newRow("large values") << 1.0e7f << 3.0e7f;
    QTest::newRow("denormals, negative threshold") << 1.0e-40f << -1.0e-40f;
    QTest::newRow("threshold NaN") << 1.0f << std::nanf("");
}

// Whichever set the processor runs, the engine's results are the same bits: each kernel of
// the wider set gives exactly what the baseline gives, NaN, infinities and signed zeros
// included (the rows hold all of them).
void TstEngineKernels::widerKernelsMatchTheBaseline()
{
    QFETCH(float, scale);
    QFETCH(float, threshold);
    const RuRowKernels *wider = ruRowKernelsAvx2();
    if (!wider)
        QSKIP("this processor runs the baseline set only");
    std::mt19937 random(13);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<unsigned char> record(4 * C);
        for (unsigned char &b : record)
            b = static_cast<unsigned char>(byte(random));
        std::vector<float> a = spikyRow(random, 2.4f);
        std::vector<float> b = spikyRow(random, 2.4f);
        for (int c = 0; c < C; ++c)
            a[size_t(c)] *= scale, b[size_t(c)] *= scale;
        a[size_t(trial)] = -0.0f;
        b[size_t(C - 1 - trial)] = -std::numeric_limits<float>::infinity();
        const auto expected = runKernels(ruRowKernelsBaseline(), record, a, b, threshold);
        const auto actual = runKernels(*wider, record, a, b, threshold);
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QVERIFY2(actual.value(it.key()) == it.value(), qPrintable(it.key()));
    }
}

QTEST_GUILESS_MAIN(TstEngineKernels)
#include "tst_engine_kernels.moc"
