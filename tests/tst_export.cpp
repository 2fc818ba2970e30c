// rrdcli export, run as users run it, on a simulated avalanche recording. What it writes is
// read back here (the zip with libarchive, the .npy header and data by hand) and compared
// value for value with the matrices of packets built in this test by the same engine.

#include "RrdcliTestSupport.h"
#include "RuAlarmCalculator.h"
#include "RuFile.h"
#include "RuParameterSet.h"
#include "RuParameterTable.h"
#include "RuSimulator.h"
#include "SkPacket.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>

#include <cstring>
#include <unistd.h>
#include <map>

using namespace rrdclitest;

namespace {

// What an export holds, whichever its format.
struct Export
{
    QVector<qint64> frames;
    QVector<qint64> times;
    qint64 rows = 0;
    QVector<float> data; // frames x rows x 1024
};

std::map<QString, QByteArray> zipEntries(const QString &path)
{
    std::map<QString, QByteArray> entries;
    archive *a = archive_read_new();
    archive_read_support_format_zip(a);
    archive_entry *entry = nullptr;
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 65536) == ARCHIVE_OK) {
        while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
            QByteArray bytes(int(archive_entry_size(entry)), Qt::Uninitialized);
            if (archive_read_data(a, bytes.data(), size_t(bytes.size())) == bytes.size())
                entries[QString::fromUtf8(archive_entry_pathname(entry))] = bytes;
        }
    }
    archive_read_free(a);
    return entries;
}

// The array of a .npy file: checks its header and returns the shape and the data bytes.
bool parseNpy(const QByteArray &npy, const QByteArray &descr, QVector<qint64> *shape,
              QByteArray *data)
{
    if (!npy.startsWith(QByteArray("\x93NUMPY\x01\x00", 8)) || npy.size() < 10)
        return false;
    const int length = quint8(npy[8]) | quint8(npy[9]) << 8;
    if ((10 + length) % 64 != 0 || npy.size() < 10 + length)
        return false;
    const QString header = QString::fromLatin1(npy.mid(10, length));
    const QRegularExpression form(QStringLiteral(
        "^\\{'descr': '([<>|]\\w+)', 'fortran_order': False, 'shape': \\(([\\d, ]*)\\), \\} *\\n$"));
    const QRegularExpressionMatch m = form.match(header);
    if (!m.hasMatch() || m.captured(1).toLatin1() != descr)
        return false;
    shape->clear();
    for (const QString &n : m.captured(2).split(QLatin1Char(','), Qt::SkipEmptyParts))
        shape->append(n.trimmed().toLongLong());
    *data = npy.mid(10 + length);
    return true;
}

template <typename T>
QVector<T> valuesOf(const QByteArray &bytes)
{
    QVector<T> values(bytes.size() / int(sizeof(T)));
    std::memcpy(values.data(), bytes.constData(), size_t(values.size()) * sizeof(T));
    return values;
}

bool readNpz(const QString &path, Export *out)
{
    auto entries = zipEntries(path);
    QVector<qint64> dataShape, frameShape, timeShape;
    QByteArray data, frames, times;
    if (entries.size() != 3
        || !parseNpy(entries["data.npy"], "<f4", &dataShape, &data)
        || !parseNpy(entries["frame.npy"], "<i8", &frameShape, &frames)
        || !parseNpy(entries["time_us.npy"], "<i8", &timeShape, &times)
        || dataShape.size() != 3 || dataShape[2] != 1024 || frameShape != QVector<qint64>{dataShape[0]}
        || timeShape != frameShape || data.size() != dataShape[0] * dataShape[1] * 1024 * 4)
        return false;
    out->rows = dataShape[1];
    out->data = valuesOf<float>(data);
    out->frames = valuesOf<qint64>(frames);
    out->times = valuesOf<qint64>(times);
    return true;
}

bool readCsv(const QString &path, Export *out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> header = file.readLine().trimmed().split(',');
    if (header.size() != 1027 || header[0] != "frame" || header[2] != "rangegate"
        || header[1026] != "c1023")
        return false;
    qint64 lastGate = -1;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(',');
        if (fields.size() != 1027)
            return false;
        const qint64 frame = fields[0].toLongLong();
        const qint64 gate = fields[2].toLongLong();
        if (gate == 0) {
            out->frames.append(frame);
            out->times.append(fields[1].toLongLong());
        } else if (out->frames.isEmpty() || frame != out->frames.last() || gate != lastGate + 1) {
            return false;
        }
        lastGate = gate;
        out->rows = qMax(out->rows, gate + 1);
        for (int c = 3; c < 1027; ++c)
            out->data.append(std::strtof(fields[c].constData(), nullptr));
    }
    return true;
}

const QVector<SkPacketTypeEnum> Types = {
    SkPacketTypeEnum::Original, SkPacketTypeEnum::OriginalFiltered,
    SkPacketTypeEnum::AvalancheBackground, SkPacketTypeEnum::AvalancheNormalized,
    SkPacketTypeEnum::LiveHalfSym};

const char *const TypeNames[] = {"original", "filtered", "background", "normalized", "halfsym"};

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_recording;
    QString m_params;
    QString m_paramsWithoutLive; // the detectors on, every live value off
    // Per type, what the packets of the whole recording carry, in frame order.
    QHash<int, Export> m_expected;

    // The expected export of `type` for frames [begin, end).
    Export expected(SkPacketTypeEnum type, qint64 begin, qint64 end) const
    {
        const Export &all = m_expected[int(type)];
        Export part;
        part.rows = all.rows;
        const int size = int(all.rows * 1024);
        for (int i = 0; i < all.frames.size(); ++i) {
            if (all.frames[i] < begin || all.frames[i] >= end)
                continue;
            part.frames.append(all.frames[i]);
            part.times.append(all.times[i]);
            part.data += all.data.mid(i * size, size);
        }
        return part;
    }

    static void compare(const Export &got, const Export &want)
    {
        QCOMPARE(got.frames, want.frames);
        QCOMPARE(got.times, want.times);
        QCOMPARE(got.rows, want.rows);
        QCOMPARE(got.data.size(), want.data.size());
        // Bit for bit: NaN and signed zeros must survive too.
        QVERIFY(std::memcmp(got.data.constData(), want.data.constData(),
                            size_t(got.data.size()) * sizeof(float)) == 0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        RuSimulatorOptions options;
        options.scenario = RuScenario::Avalanche;
        options.frames = 150;
        options.rangegates = 12;
        m_recording = m_dir.filePath(QStringLiteral("a.rrd0.gz"));
        QVERIFY(RuSimulator(options).writeRecording(m_recording));

        // Every detector and live value on, with a background after a few frames.
        RuParameterSet set;
        set.general.bgLength = 3;
        set.general.bgDelay = 4;
        set.liveEnable = true;
        set.liveBoxes = {true, true, true, true, true};
        set.avalancheEnable = {true, true, true};
        m_params = m_dir.filePath(QStringLiteral("params.ini"));
        {
            QSettings settings(m_params, QSettings::IniFormat);
            RuParameterTable::write(settings, set);
        }
        m_paramsWithoutLive = m_dir.filePath(QStringLiteral("no-live.ini"));
        {
            RuParameterSet withoutLive = set;
            withoutLive.liveEnable = false;
            QSettings settings(m_paramsWithoutLive, QSettings::IniFormat);
            RuParameterTable::write(settings, withoutLive);
        }

        RuAlarmCalculator calculator;
        set.applyTo(calculator);
        RuFile file;
        file.open(m_recording, 'r', 0);
        QVERIFY(file.isOpen());
        RuFrame frame;
        for (int n = 0; file.readFrame(frame); ++n) {
            calculator.processFrame(frame, frame.timeMicros());
            SkPacket packet(frame, n);
            packet.setAlarmResult(calculator.lastResult());
            for (SkPacketTypeEnum type : Types) {
                if (!packet.hasMatrix(type))
                    continue;
                Export &e = m_expected[int(type)];
                const SkPacket::MatrixPtr m = packet.matrix(type);
                e.frames.append(n);
                e.times.append(frame.timeMicros());
                e.rows = m->rows();
                e.data += QVector<float>(m->data(), m->data() + m->size());
            }
        }
        QCOMPARE(m_expected[int(SkPacketTypeEnum::Original)].frames.size(), 150);
        // The derived matrices start once a background exists.
        QCOMPARE(m_expected[int(SkPacketTypeEnum::AvalancheBackground)].frames.first(), 3);
    }

    void exportsEachTypeValueForValue_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("format");
        for (int i = 0; i < Types.size(); ++i) {
            for (const char *format : {"npz", "csv"})
                QTest::addRow("%s %s", TypeNames[i], format) << i << QString::fromLatin1(format);
        }
    }
    void exportsEachTypeValueForValue()
    {
        QFETCH(int, type);
        QFETCH(QString, format);
        const QString out = m_dir.filePath(QStringLiteral("%1.%2").arg(TypeNames[type], format));
        const Run run = runRrdcli({QStringLiteral("export"), QStringLiteral("--type"),
                                QString::fromLatin1(TypeNames[type]), QStringLiteral("--params"),
                                m_params, QStringLiteral("-o"), out, m_recording});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        Export got;
        QVERIFY(format == QLatin1String("npz") ? readNpz(out, &got) : readCsv(out, &got));
        compare(got, expected(Types[type], 0, 150));
    }

    // Frames before A are analysed, so a range starting after the background appeared holds
    // the background and normalised frames of the whole history from its very first frame.
    void rangeStartingAfterBackgroundKeepsHistory_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("frames");
        QTest::addColumn<qint64>("begin");
        QTest::addColumn<qint64>("end");
        QTest::newRow("background 60:100") << 2 << QStringLiteral("60:100") << 60LL << 100LL;
        QTest::newRow("normalized 60:") << 3 << QStringLiteral("60:") << 60LL << 150LL;
        QTest::newRow("filtered :8") << 1 << QStringLiteral(":8") << 0LL << 8LL;
    }
    void rangeStartingAfterBackgroundKeepsHistory()
    {
        QFETCH(int, type);
        QFETCH(QString, frames);
        QFETCH(qint64, begin);
        QFETCH(qint64, end);
        const QString out = m_dir.filePath(QStringLiteral("range.npz"));
        const Run run = runRrdcli({QStringLiteral("export"), QStringLiteral("--type"),
                                QString::fromLatin1(TypeNames[type]), QStringLiteral("--frames"),
                                frames, QStringLiteral("--params"), m_params, QStringLiteral("-o"),
                                out, m_recording});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        Export got;
        QVERIFY(readNpz(out, &got));
        const Export want = expected(Types[type], begin, end);
        QVERIFY(!want.frames.isEmpty());
        if (begin > 0)
            QCOMPARE(got.frames.first(), begin);
        compare(got, want);
    }

    void csvAndNpzOfSameFramesAgree()
    {
        Export fromCsv, fromNpz;
        for (const QString &format : {QStringLiteral("csv"), QStringLiteral("npz")}) {
            const QString out = m_dir.filePath(QStringLiteral("same.") + format);
            const Run run = runRrdcli({QStringLiteral("export"), QStringLiteral("--type"),
                                    QStringLiteral("halfsym"), QStringLiteral("--frames"),
                                    QStringLiteral("40:90"), QStringLiteral("--params"), m_params,
                                    QStringLiteral("-o"), out, m_recording, m_recording});
            QVERIFY2(run.exitCode == 0, run.err.constData());
            QVERIFY(format == QLatin1String("csv") ? readCsv(out, &fromCsv) : readNpz(out, &fromNpz));
        }
        QCOMPARE(fromCsv.frames.size(), 50);
        compare(fromCsv, fromNpz);
    }

    // Nothing is written and an earlier file of the name stays as it was.
    void failureWritesNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString type = QStringLiteral("--type");
        const QString frames = QStringLiteral("--frames");
        QTest::newRow("range after the end")
            << QStringList{type, QStringLiteral("original"), frames, QStringLiteral("150:")} << 1
            << QStringLiteral("frames 150: lie outside the sources: the sources hold frames 0:150");
        QTest::newRow("range past the end")
            << QStringList{type, QStringLiteral("original"), frames, QStringLiteral("100:151")} << 1
            << QStringLiteral("frames 100:151 reach past the sources' end");
        QTest::newRow("no matrix without detectors")
            << QStringList{type, QStringLiteral("background")} << 1
            << QStringLiteral("no frame carries the \"Avalanche Background\" matrix");
        QTest::newRow("no live velocity in the settings given")
            << QStringList{type, QStringLiteral("halfsym"), QStringLiteral("--params"), m_paramsWithoutLive} << 1
            << QStringLiteral("no frame carries the \"Live Half Sym\" matrix: %1 leaves off what it "
                              "needs: a live velocity").arg(m_paramsWithoutLive);
        QTest::newRow("no matrix in the range")
            << QStringList{type, QStringLiteral("filtered"), frames, QStringLiteral(":3"),
                           QStringLiteral("--params"), m_params} << 1
            << QStringLiteral("no frame of 0:3 carries the \"Original Filtered\" matrix");
        QTest::newRow("empty range")
            << QStringList{type, QStringLiteral("original"), frames, QStringLiteral("9:3")} << 2
            << QStringLiteral("--frames needs A:B");
        QTest::newRow("unknown type")
            << QStringList{type, QStringLiteral("raw")} << 2 << QStringLiteral("unknown --type 'raw'");
    }
    void failureWritesNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("old.npz"));
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        const Run run = runRrdcli(QStringList{QStringLiteral("export")} + args
                               + QStringList{QStringLiteral("-o"), out, m_recording});
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message.toUtf8()), run.err.constData());
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.npz"});
    }

    // Renaming the finished export over a source would destroy the recording just read.
    void refusesOutputThatIsASource()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("link.npz"));
        QVERIFY(::link(QFile::encodeName(m_recording).constData(), QFile::encodeName(link).constData()) == 0);
        const Run run = runRrdcli({QStringLiteral("export"), QStringLiteral("--type"),
                                QStringLiteral("original"), QStringLiteral("-o"), link, m_recording});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("is one of the sources"), run.err.constData());
        QCOMPARE(QFileInfo(link).size(), QFileInfo(m_recording).size());
        Export unchanged;
        QVERIFY(!readNpz(link, &unchanged));
    }

    // An .npz array has one shape; CSV lines carry their range gate and may change.
    void rangeGateChangeFailsNpzOnly()
    {
        RuSimulatorOptions options;
        options.frames = 5;
        options.rangegates = 7;
        const QString small = m_dir.filePath(QStringLiteral("small.rrd0"));
        QVERIFY(RuSimulator(options).writeRecording(small));
        const QStringList args{QStringLiteral("export"), QStringLiteral("--type"),
                               QStringLiteral("original"), QStringLiteral("--frames"),
                               QStringLiteral("148:"), m_recording, small, QStringLiteral("-o")};
        const QString npz = m_dir.filePath(QStringLiteral("change.npz"));
        const Run failed = runRrdcli(args + QStringList{npz});
        QCOMPARE(failed.exitCode, 1);
        QVERIFY2(failed.err.contains("frame 150 has 7 range gates where the frames before it have 12"),
                 failed.err.constData());
        QVERIFY(!QFile::exists(npz));
        const QString csv = m_dir.filePath(QStringLiteral("change.csv"));
        QCOMPARE(runRrdcli(args + QStringList{csv}).exitCode, 0);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), 1 + 2 * 12 + 5 * 7);
    }

    // A stop signal ends an endless stream's export at a frame boundary with a whole archive
    // of the frames read, and the status of a stopped program.
    void stopSignalWritesFramesSoFar()
    {
        ServeProcess serve({"--scenario", "quiet", "--rate", "50", "--rangegates", "8", "--loop"});
        QVERIFY(serve.port() != 0);
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("stream.npz"));
        QProcess exporter;
        exporter.start(rrdcliPath(), {"export", "--type", "original", "-o", out, serve.address()});
        QVERIFY(exporter.waitForStarted());
        // Its temporary files have no name; once they are open, the signals are taken, and
        // once the spool holds data, frames have been exported.
        const auto openFiles = [&] {
            QDir fds(QStringLiteral("/proc/%1/fd").arg(exporter.processId()));
            QList<QFileInfo> files; // through /proc, which reaches unnamed files too
            for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
                if (QFile::symLinkTarget(fds.filePath(fd)).startsWith(dir.path()))
                    files.append(QFileInfo(fds.filePath(fd)));
            }
            return files;
        };
        QTRY_COMPARE_WITH_TIMEOUT(openFiles().size(), 2, WaitMs);
        const auto spooled = [&] {
            const QList<QFileInfo> files = openFiles();
            return std::any_of(files.cbegin(), files.cend(), [](const QFileInfo &f) { return f.size() > 0; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(spooled(), WaitMs);
        exporter.terminate();
        QVERIFY(exporter.waitForFinished(WaitMs));
        QVERIFY(serve.stop());
        const QByteArray err = exporter.readAllStandardError();
        QCOMPARE(exporter.exitStatus(), QProcess::NormalExit);
        QCOMPARE(exporter.exitCode(), 128 + 15);
        QVERIFY2(err.contains("stopped by SIGTERM"), err.constData());
        Export got;
        QVERIFY(readNpz(out, &got));
        QVERIFY(!got.frames.isEmpty());
        QCOMPARE(got.rows, 8);
        for (int i = 0; i < got.frames.size(); ++i)
            QCOMPARE(got.frames[i], qint64(i));
        QVERIFY(err.contains(QStringLiteral("holds %1 frames from 0 to %2")
                                 .arg(got.frames.size())
                                 .arg(got.frames.size() - 1)
                                 .toUtf8()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"stream.npz"});
    }

    // NumPy itself opens the archive where the machine has it (the test never needs it).
    void numpyLoadsTheArchive()
    {
        QProcess probe;
        probe.start(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral("import numpy")});
        if (!probe.waitForFinished() || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
            QSKIP("python3 with NumPy is not installed");
        const QString out = m_dir.filePath(QStringLiteral("numpy.npz"));
        QCOMPARE(runRrdcli({QStringLiteral("export"), QStringLiteral("--type"), QStringLiteral("normalized"),
                         QStringLiteral("--params"), m_params, QStringLiteral("-o"), out, m_recording})
                     .exitCode,
                 0);
        QProcess python;
        python.start(QStringLiteral("python3"),
                     {QStringLiteral("-c"),
                      QStringLiteral("import numpy,sys; d=numpy.load(sys.argv[1]); "
                                     "print(d['data'].shape, d['data'].dtype, d['frame'][0], "
                                     "d['time_us'].dtype, d['data'][3,2,1].tobytes().hex())"),
                      out});
        QVERIFY(python.waitForFinished());
        const Export want = expected(SkPacketTypeEnum::AvalancheNormalized, 0, 150);
        const float value = want.data[(3 * 12 + 2) * 1024 + 1];
        const QByteArray bits(reinterpret_cast<const char *>(&value), sizeof value);
        QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()).trimmed(),
                 QStringLiteral("(%1, 12, 1024) float32 %2 int64 %3")
                     .arg(want.frames.size())
                     .arg(want.frames.first())
                     .arg(QString::fromLatin1(bits.toHex())));
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
