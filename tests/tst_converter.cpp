// The converter's worker: thinning across files, the moving average, progress, cancel and
// every way a conversion can fail, on files made by the simulator.

#include "RcWorker.h"
#include "RrdcliTestSupport.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "RuSimulator.h"
#include "rrd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>

namespace {

// Frame k of a test recording (k counts over all files of a case) carries k in the
// thousands of every value and a remainder that changes from frame to frame, so that the
// means of neighbouring frames have fractions to truncate.
quint32 pattern(int k, int row, int channel)
{
    return quint32(k) * 1000u + quint32(((k + 1) * (row * 131 + channel * 17 + 1)) % 997);
}

int indexOf(const RuFrame &frame)
{
    return int(frame.value(0, 0) / 1000u);
}

struct Recording
{
    int first = 0;    // index of the first frame in the whole case
    int frames = 5;
    int rangegates = 4;
    int format = RRD_FORMAT_RRD0;
};

// Writes the recording's frames, their values set by pattern(), to `path`.
void writeRecording(const QString &path, const Recording &rec)
{
    RuSimulatorOptions options;
    options.frames = rec.frames;
    options.rangegates = rec.rangegates;
    options.format = rec.format;
    options.startMicros += qint64(rec.first) * 1000000;
    const RuSimulator simulator(options);
    RuFile file(path, 'w');
    QVERIFY2(file.isOpen(), qPrintable(file.errorString()));
    for (int i = 0; i < rec.frames; ++i) {
        RuFrame frame = simulator.frame(i);
        for (int r = 0; r < frame.rows(); ++r) {
            unsigned char *row = frame.rowData(r);
            for (int c = 0; c < RRD_CHANNELS; ++c)
                rrd_put_u32(row + 4 * c, pattern(rec.first + i, r, c));
        }
        QCOMPARE(file.writeFrame(frame), 0);
    }
    file.close();
}

struct Output
{
    QList<RuFrame> frames;
    int format = 0;
    int rangegates = 0;
    QString error; // empty when the file read to its end
};

Output readOutput(const QString &path)
{
    Output out;
    RuFile file(path, 'r');
    if (!file.isOpen()) {
        out.error = file.errorString();
        return out;
    }
    while (!file.atEnd()) {
        RuFrame frame;
        if (!file.readFrame(frame)) {
            if (!file.atEnd())
                out.error = file.errorString();
            break;
        }
        out.frames << frame;
    }
    out.format = file.format();
    out.rangegates = file.rangegates();
    return out;
}

QList<int> indices(const Output &out)
{
    QList<int> list;
    for (const RuFrame &frame : out.frames)
        list << indexOf(frame);
    return list;
}

struct Result
{
    bool failed = false;
    QString message;
    QList<int> progress;
    int maximum = -1;
};

Result convert(RcWorker &worker)
{
    Result result;
    int finishedCount = 0;
    QObject::connect(&worker, &RcWorker::finished, [&](int id, bool failed, const QString &message) {
        ++finishedCount;
        QCOMPARE(id, 7);
        result.failed = failed;
        result.message = message;
    });
    QObject::connect(&worker, &RcWorker::progressChanged, [&](int v) { result.progress << v; });
    QObject::connect(&worker, &RcWorker::progressMaximumChanged, [&](int v) { result.maximum = v; });
    worker.run();
    [&] { QCOMPARE(finishedCount, 1); }();
    return result;
}

// The truncated mean of frames [from, to] of pattern() at one value.
quint32 expectedMean(int from, int to, int row, int channel)
{
    quint64 sum = 0;
    for (int k = from; k <= to; ++k)
        sum += pattern(k, row, channel);
    return quint32(sum / quint64(to - from + 1));
}

bool sameValues(const RuFrame &frame, int from, int to, QString *where)
{
    for (int r = 0; r < frame.rows(); ++r) {
        for (int c = 0; c < RRD_CHANNELS; ++c) {
            const quint32 want = expectedMean(from, to, r, c);
            if (frame.value(r, c) != want) {
                *where = QStringLiteral("frames %1..%2 at (%3, %4): %5 instead of %6")
                             .arg(from).arg(to).arg(r).arg(c).arg(frame.value(r, c)).arg(want);
                return false;
            }
        }
    }
    return true;
}

} // namespace

class TestConverter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Files named in0.rrd0, in1.rrd0, ... of the given lengths, frame indices running on.
    QStringList makeInputs(const QList<int> &lengths, int rangegates = 4)
    {
        QStringList names;
        int first = 0;
        for (int i = 0; i < lengths.size(); ++i) {
            names << path(QStringLiteral("in%1.rrd0").arg(i));
            writeRecording(names.last(), {first, lengths.at(i), rangegates, RRD_FORMAT_RRD0});
            first += lengths.at(i);
        }
        return names;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void keepsFirstAndEveryDropPlusOneth_data()
    {
        QTest::addColumn<QList<int>>("lengths");
        QTest::addColumn<int>("drop");
        QTest::addColumn<QList<int>>("written");
        QTest::newRow("drop 2 counts across two files") << QList<int>{5, 5} << 2 << QList<int>{0, 3, 6, 9};
        QTest::newRow("drop 0 keeps all") << QList<int>{2, 3} << 0 << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("drop 4 over three files") << QList<int>{3, 3, 3} << 4 << QList<int>{0, 5};
        QTest::newRow("drop longer than the input") << QList<int>{3} << 10 << QList<int>{0};
    }
    void keepsFirstAndEveryDropPlusOneth()
    {
        QFETCH(QList<int>, lengths);
        QFETCH(int, drop);
        QFETCH(QList<int>, written);
        const QString out = path(QStringLiteral("thinned.rrd0"));
        RcWorker worker(7, out, makeInputs(lengths), 1, drop);
        const Result result = convert(worker);
        QCOMPARE(result.failed, false);
        QCOMPARE(result.message, QString());
        QCOMPARE(result.maximum, lengths.size() * RcWorker::ProgressPerFile);
        QCOMPARE(result.progress.last(), lengths.size() * RcWorker::ProgressPerFile);
        const Output output = readOutput(out);
        QCOMPARE(output.error, QString());
        QCOMPARE(indices(output), written);
        // Without averaging the frames pass unchanged.
        QString where;
        for (const RuFrame &frame : output.frames)
            QVERIFY2(sameValues(frame, indexOf(frame), indexOf(frame), &where), qPrintable(where));
    }

    void averagesTheLastFramesRead_data()
    {
        QTest::addColumn<QList<int>>("lengths");
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("drop");
        QTest::newRow("range 3") << QList<int>{6} << 3 << 0;
        QTest::newRow("range 3 across files") << QList<int>{2, 2, 3} << 3 << 0;
        QTest::newRow("dropped frames count in the mean") << QList<int>{9} << 4 << 2;
        QTest::newRow("range longer than the input") << QList<int>{4} << 999 << 0;
    }
    void averagesTheLastFramesRead()
    {
        QFETCH(QList<int>, lengths);
        QFETCH(int, range);
        QFETCH(int, drop);
        const QString out = path(QStringLiteral("averaged.rrd0"));
        RcWorker worker(7, out, makeInputs(lengths), range, drop);
        const Result result = convert(worker);
        QCOMPARE(result.failed, false);
        const Output output = readOutput(out);
        QCOMPARE(output.error, QString());
        int total = 0;
        for (int n : lengths)
            total += n;
        QCOMPARE(output.frames.size(), (total + drop) / (drop + 1));
        for (int i = 0; i < output.frames.size(); ++i) {
            const int k = i * (drop + 1);
            QString where;
            QVERIFY2(sameValues(output.frames.at(i), qMax(0, k - range + 1), k, &where),
                     qPrintable(where));
        }
    }

    void restartsAveragingAndLeavesOutOtherRangeGateCounts()
    {
        const QStringList inputs{path(QStringLiteral("rg4a.rrd0")), path(QStringLiteral("rg6.rrd0")),
                                 path(QStringLiteral("rg4b.rrd0"))};
        writeRecording(inputs.at(0), {0, 3, 4, RRD_FORMAT_RRD0});
        writeRecording(inputs.at(1), {3, 2, 6, RRD_FORMAT_RRD0});
        writeRecording(inputs.at(2), {5, 3, 4, RRD_FORMAT_RRD0});
        const QString out = path(QStringLiteral("geometry.rrd0"));
        RcWorker worker(7, out, inputs, 3, 0);
        const Result result = convert(worker);
        QCOMPARE(result.failed, false);
        QCOMPARE(result.message,
                 QStringLiteral("2 frame(s) not written: range gates or format differ from the output's"));
        const Output output = readOutput(out);
        QCOMPARE(output.error, QString());
        QCOMPARE(output.rangegates, 4);
        QCOMPARE(output.frames.size(), 6);
        // Frames 0..2, then 5..7 averaged only from frame 5 on: the six-gate frames broke
        // the window, and the window broke again when four gates came back.
        const QList<QPair<int, int>> spans{{0, 0}, {0, 1}, {0, 2}, {5, 5}, {5, 6}, {5, 7}};
        for (int i = 0; i < spans.size(); ++i) {
            QString where;
            QVERIFY2(sameValues(output.frames.at(i), spans.at(i).first, spans.at(i).second, &where),
                     qPrintable(where));
        }
    }

    void outputFollowsTheFirstFrameWritten_data()
    {
        QTest::addColumn<int>("firstFormat");
        QTest::addColumn<int>("secondFormat");
        QTest::addColumn<int>("outputFormat");
        QTest::addColumn<int>("framesWritten");
        QTest::addColumn<QString>("message");
        const QString none;
        const QString leftOut = QStringLiteral("2 frame(s) not written: range gates or format differ from the output's");
        QTest::newRow("stamped, then RRD0") << int(RRD_FORMAT_STAMPED) << int(RRD_FORMAT_RRD0) << int(RRD_FORMAT_STAMPED) << 4 << none;
        QTest::newRow("raw, then RRD0") << int(RRD_FORMAT_RAW) << int(RRD_FORMAT_RRD0) << int(RRD_FORMAT_RAW) << 4 << none;
        QTest::newRow("RRD0, then stamped") << int(RRD_FORMAT_RRD0) << int(RRD_FORMAT_STAMPED) << int(RRD_FORMAT_RRD0) << 2 << leftOut;
        const QString untimed = QStringLiteral("2 raw frame(s) not written: they carry no time for the output's format");
        QTest::newRow("RRD0, then raw") << int(RRD_FORMAT_RRD0) << int(RRD_FORMAT_RAW) << int(RRD_FORMAT_RRD0) << 2 << untimed;
        QTest::newRow("stamped, then raw") << int(RRD_FORMAT_STAMPED) << int(RRD_FORMAT_RAW) << int(RRD_FORMAT_STAMPED) << 2 << untimed;
    }
    void outputFollowsTheFirstFrameWritten()
    {
        QFETCH(int, firstFormat);
        QFETCH(int, secondFormat);
        QFETCH(int, outputFormat);
        QFETCH(int, framesWritten);
        QFETCH(QString, message);
        const QStringList inputs{path(QStringLiteral("first.rrd")), path(QStringLiteral("second.rrd"))};
        writeRecording(inputs.at(0), {0, 2, 5, firstFormat});
        writeRecording(inputs.at(1), {2, 2, 5, secondFormat});
        const QString out = path(QStringLiteral("mixed.rrd"));
        RcWorker worker(7, out, inputs, 1, 0);
        const Result result = convert(worker);
        QCOMPARE(result.failed, false);
        QCOMPARE(result.message, message);
        const Output output = readOutput(out);
        QCOMPARE(output.error, QString());
        QCOMPARE(output.format, outputFormat);
        QCOMPARE(output.rangegates, 5);
        QCOMPARE(output.frames.size(), framesWritten);
    }

    void writesGzipWhenTheNameEndsInGz()
    {
        const QString out = path(QStringLiteral("packed.rrd0.gz"));
        RcWorker worker(7, out, makeInputs({3, 2}), 2, 1);
        const Result result = convert(worker);
        QCOMPARE(result.failed, false);
        QFile raw(out);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QCOMPARE(raw.read(2), QByteArray("\x1f\x8b"));
        const Output output = readOutput(out);
        QCOMPARE(output.error, QString());
        QCOMPARE(output.frames.size(), 3);
        const QList<QPair<int, int>> spans{{0, 0}, {1, 2}, {3, 4}};
        for (int i = 0; i < spans.size(); ++i) {
            QString where;
            QVERIFY2(sameValues(output.frames.at(i), spans.at(i).first, spans.at(i).second, &where),
                     qPrintable(where));
        }
    }

    void missingInputStopsAfterTheEarlierFiles()
    {
        QStringList inputs = makeInputs({3, 2});
        inputs.insert(1, path(QStringLiteral("absent.rrd0")));
        const QString out = path(QStringLiteral("partial.rrd0.gz"));
        RcWorker worker(7, out, inputs, 1, 0);
        const Result result = convert(worker);
        QCOMPARE(result.failed, true);
        QCOMPARE(result.message, QStringLiteral("Inputfile open failed! %1: No such file or directory")
                                     .arg(inputs.at(1)));
        // A failed conversion leaves nothing under the output's name.
        QVERIFY(!QFile::exists(out));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral("partial.rrd0.gz.")), QStringList());
    }

    void unopenableOutputFails()
    {
        RcWorker worker(7, path(QStringLiteral("no/such/folder/out.rrd0")), makeInputs({2}), 1, 0);
        const Result result = convert(worker);
        QCOMPARE(result.failed, true);
        QVERIFY2(result.message.startsWith(QStringLiteral("Outputfile open failed! %1: ")
                                               .arg(path(QStringLiteral("no/such/folder/out.rrd0")))),
                 qPrintable(result.message));
        QVERIFY(result.progress.isEmpty());
    }

    void refusesToOverwriteAnInput()
    {
        const QStringList inputs = makeInputs({2, 3});
        QFile::remove(path(QStringLiteral("alias.rrd0")));
        QVERIFY(QFile::link(inputs.at(1), path(QStringLiteral("alias.rrd0"))));
        RcWorker worker(7, path(QStringLiteral("alias.rrd0")), inputs, 1, 0);
        const Result result = convert(worker);
        QCOMPARE(result.failed, true);
        QCOMPARE(result.message, QStringLiteral("Outputfile is one of the input files!"));
        QCOMPARE(indices(readOutput(inputs.at(1))), (QList<int>{2, 3, 4}));
    }

    void failedWriteIsAFailure_data()
    {
        QTest::addColumn<QString>("outputName");
        QTest::addColumn<QString>("failure");
        // Both name the device that reports a full disk on every write: the plain file
        // fails at its first frame, the gzip file already when its header is written.
        QTest::newRow("plain") << QStringLiteral("full.rrd0") << QStringLiteral("Outputfile write failed!");
        QTest::newRow("gzip") << QStringLiteral("full.rrd0.gz") << QStringLiteral("Outputfile open failed!");
    }
    void failedWriteIsAFailure()
    {
        QFETCH(QString, outputName);
        QFETCH(QString, failure);
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("this system has no /dev/full");
        const QString out = path(outputName);
        QFile::remove(out);
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), out));
        RcWorker worker(7, out, makeInputs({3, 3}, 20), 1, 0);
        const Result result = convert(worker);
        QCOMPARE(result.failed, true);
        QCOMPARE(result.message, QStringLiteral("%1 %2: %3").arg(failure, out,
                                                              QString::fromLocal8Bit(std::strerror(ENOSPC))));
    }

    void readErrorEndsThatFileAndIsNamed()
    {
        QStringList inputs = makeInputs({2, 2});
        // The first file gets a third frame whose second range-gate record is misnumbered.
        {
            QFile file(inputs.at(0));
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray frame = file.read(file.size() / 2);
            QByteArray bad = frame;
            const int record1 = 4 + RRD_INFO_SIZE + RRD_RANGEGATE_SIZE;
            rrd_put_s32(reinterpret_cast<unsigned char *>(bad.data()) + record1, 77);
            QVERIFY(file.seek(file.size()));
            QCOMPARE(file.write(bad + frame), qint64(2 * frame.size()));
        }
        const QString out = path(QStringLiteral("gaps.rrd0"));
        RcWorker worker(7, out, inputs, 1, 0);
        const Result result = convert(worker);
        QCOMPARE(result.failed, false);
        QCOMPARE(result.message,
                 QStringLiteral("1 input file(s) ended early: in0.rrd0 (rangegate numbers not correctly numbered)"));
        QCOMPARE(indices(readOutput(out)), (QList<int>{0, 1, 2, 3}));
    }

    void cancelStopsAfterTheCurrentFrame()
    {
        const QString out = path(QStringLiteral("cancelled.rrd0"));
        RcWorker worker(7, out, makeInputs({20, 5}), 1, 0);
        // Progress 4 is reported after frame 4; the cancel arrives while frame 5 is read.
        QObject::connect(&worker, &RcWorker::progressChanged, [&](int value) {
            if (value == 4)
                worker.abort();
        });
        const Result result = convert(worker);
        QCOMPARE(result.failed, false);
        QCOMPARE(result.message, QStringLiteral("Aborted..."));
        QCOMPARE(result.progress.last(), 2 * RcWorker::ProgressPerFile);
        QCOMPARE(indices(readOutput(out)), (QList<int>{0, 1, 2, 3, 4, 5}));
    }

    void progressRunsOnIntoTheNextShare()
    {
        RcWorker worker(7, path(QStringLiteral("long.rrd0")), makeInputs({250, 2}, 1), 1, 9);
        const Result result = convert(worker);
        QCOMPARE(result.failed, false);
        QCOMPARE(result.maximum, 400);
        QList<int> expected{0};
        for (int p = 0; p < 250; ++p)
            expected << p;
        expected << 200 << 201 << 400;
        QCOMPARE(result.progress, expected);
    }

    void rrdcliConvertRunsTheSameConversion_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("inputMissing");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QList<int>>("spans"); // first and last frame of each mean written
        QTest::newRow("drop and average") << QStringList{"--drop", "1", "--average", "3"} << false << 0
                                          << "Finished!\n" << "" << QList<int>{0, 0, 0, 2, 2, 4, 4, 6};
        QTest::newRow("missing input") << QStringList{} << true << 1 << ""
                                       << "Failed! Inputfile open failed! %1: No such file or directory\n" << QList<int>{};
        QTest::newRow("average out of range") << QStringList{"--average", "0"} << false << 2 << ""
                                              << "rrdcli convert: --average needs a whole number from 1 to 999\n"
                                                 "(see 'rrdcli convert --help')\n"
                                              << QList<int>{};
    }
    void rrdcliConvertRunsTheSameConversion()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, inputMissing);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QList<int>, spans);
        if (!QFileInfo(rrdclitest::rrdcliPath()).isExecutable())
            QSKIP("rrdcli is not built");
        QStringList inputs = makeInputs({3, 4});
        if (inputMissing)
            inputs.insert(1, path(QStringLiteral("absent.rrd0")));
        const QString output = path(QStringLiteral("cli.rrd0"));
        QFile::remove(output);
        const rrdclitest::Run run =
            rrdclitest::runRrdcli(QStringList{"convert", "-o", output} + options + inputs);
        QCOMPARE(run.errText(), err.contains(QStringLiteral("%1")) ? err.arg(inputs.value(1)) : err);
        QCOMPARE(run.outText(), out);
        QCOMPARE(run.exitCode, exitCode);
        const Output written = readOutput(output);
        QCOMPARE(written.frames.size(), spans.size() / 2);
        for (int i = 0; i < written.frames.size(); ++i) {
            QString where;
            QVERIFY2(sameValues(written.frames.at(i), spans.at(2 * i), spans.at(2 * i + 1), &where),
                     qPrintable(where));
        }
    }
};

QTEST_GUILESS_MAIN(TestConverter)
#include "tst_converter.moc"
