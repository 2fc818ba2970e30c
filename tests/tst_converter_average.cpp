// The converter's moving average against a plain reference: the sum of the window's frames
// as float matrices, one subtraction and one addition per frame, the mean truncated to a
// count. Whatever the worker does to be fast, its output must be the same to the byte, for
// simulated spectra and for counts over the whole 32-bit range, in every frame format.

#include "RcWorker.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "RuFrameAccumulator.h"
#include "RuSimulator.h"
#include "rrd.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdint>
#include <random>

namespace {

// Counts that put the float arithmetic to the test: sums past 2^24 that round, values about
// 2^31, and values that round up to 2^32 and must be clamped; zeros beside them so that
// rounding errors of large values leaving the window show.
void spreadOverTheWholeRange(RuFrame &frame, int index)
{
    std::mt19937 random(quint32(index) * 7919u + 17u);
    static const quint32 extremes[] = {0u, 1u, 0x7fffffffu, 0x80000000u, 0x80000081u,
                                       0xffffff7fu, 0xffffff80u, 0xffffffffu};
    for (int r = 0; r < frame.rows(); ++r) {
        unsigned char *row = frame.rowData(r);
        for (int c = 0; c < RRD_CHANNELS; ++c) {
            const quint32 draw = quint32(random());
            quint32 value = draw;
            if (r % 3 == 1)
                value = extremes[draw % 8];
            else if (r % 3 == 2)
                value = (index % 2) ? draw % 5000u : (draw | 0x01000000u);
            rrd_put_u32(row + 4 * c, value);
        }
    }
}

struct Input
{
    int format;
    bool wholeRange;
};

// Three recordings: `frames` frames of 6 range gates, then 2 of 3 range gates (which restart
// the window and are left out of the output), then 4 more of 6.
QStringList writeInputs(const QTemporaryDir &dir, const Input &input, int frames)
{
    const struct { int first, count, rangegates; } parts[] = {{0, frames, 6}, {frames, 2, 3},
                                                             {frames + 2, 4, 6}};
    QStringList paths;
    for (const auto &part : parts) {
        paths << dir.filePath(QStringLiteral("in%1.rrd").arg(paths.size()));
        RuSimulatorOptions options;
        options.scenario = RuScenario::Mixed;
        options.frames = 40;
        options.rangegates = part.rangegates;
        options.format = input.format;
        options.seed = 5;
        const RuSimulator simulator(options);
        RuFile file(paths.last(), 'w');
        for (int i = part.first; i < part.first + part.count; ++i) {
            RuFrame frame = simulator.frame(i);
            if (input.wholeRange)
                spreadOverTheWholeRange(frame, i);
            if (file.writeFrame(frame) != 0)
                return {};
        }
        if (!file.close())
            return {};
    }
    return paths;
}

quint32 truncatedCount(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 4294967296.0f)
        return UINT32_MAX;
    return static_cast<quint32>(value);
}

// The conversion, written the straightforward way.
void writeReference(const QStringList &inputs, const QString &outputPath, int range, int drop)
{
    RuFile output(outputPath, 'w');
    QVERIFY(output.isOpen());
    RuFrameAccumulator window(range);
    int skip = 0;
    RuFrame frame;
    for (const QString &path : inputs) {
        RuFile input(path, 'r');
        while (input.readFrame(frame)) {
            if (range > 1)
                window.push(frame.toMatrix());
            if (skip > 0) {
                --skip;
                continue;
            }
            skip = drop;
            if (output.format() != RRD_FORMAT_NONE && frame.rows() != output.rangegates())
                continue;
            if (range > 1) {
                const RuMatrix &sum = window.sum();
                for (int r = 0; r < frame.rows(); ++r) {
                    unsigned char *row = frame.rowData(r);
                    for (int c = 0; c < RRD_CHANNELS; ++c)
                        rrd_put_u32(row + 4 * c, truncatedCount(sum(r, c) / float(window.size())));
                }
            }
            QCOMPARE(output.writeFrame(frame), 0);
        }
    }
    output.close();
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestConverterAverage : public QObject
{
    Q_OBJECT

private slots:
    void averagesToTheByteAsTheReference_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("wholeRange");
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("drop");
        const struct { const char *name; int format; } formats[] = {
            {"rrd0", RRD_FORMAT_RRD0}, {"stamped", RRD_FORMAT_STAMPED}, {"raw", RRD_FORMAT_RAW}};
        for (const auto &format : formats) {
            for (bool wholeRange : {false, true}) {
                for (int range : {1, 3, 5}) {
                    for (int drop : {0, 2}) {
                        QTest::addRow("%s %s, range %d, drop %d", format.name,
                                      wholeRange ? "whole range" : "simulated", range, drop)
                            << format.format << wholeRange << range << drop;
                    }
                }
            }
        }
        QTest::newRow("rrd0 whole range, range 999 over fewer frames")
            << int(RRD_FORMAT_RRD0) << true << 999 << 1;
    }
    void averagesToTheByteAsTheReference()
    {
        QFETCH(int, format);
        QFETCH(bool, wholeRange);
        QFETCH(int, range);
        QFETCH(int, drop);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QStringList inputs = writeInputs(dir, {format, wholeRange}, 17);
        QCOMPARE(inputs.size(), 3);
        const QString expected = dir.filePath(QStringLiteral("expected.rrd"));
        writeReference(inputs, expected, range, drop);

        const QString actual = dir.filePath(QStringLiteral("actual.rrd"));
        RcWorker worker(0, actual, inputs, range, drop);
        bool failed = true;
        QObject::connect(&worker, &RcWorker::finished,
                         [&](int, bool f, const QString &) { failed = f; });
        worker.run();
        QVERIFY(!failed);
        const QByteArray want = contents(expected);
        QVERIFY(!want.isEmpty());
        QVERIFY2(contents(actual) == want, "the output differs from the reference");
    }
};

QTEST_GUILESS_MAIN(TestConverterAverage)
#include "tst_converter_average.moc"
