// Gzip files written and read by the radar-data library: round trips plain -> gzip -> plain
// for the three frame formats, files of several gzip members, member headers with names,
// extra fields and comments wherever they meet the edge of the reader's buffer, output that
// gzip, zlib and libarchive accept, and a full disk under a gzip writer.

#include "RrdTestFrames.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "rrd_testing.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>

using namespace rrdtest;

namespace {

// Enough frames to fill several of the compressor's chunks.
const int kFrames = 40;
const int kRangegates = 20;

QByteArray zlibGunzip(const QByteArray &gz)
{
    z_stream zs = {};
    if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK)
        return {};
    QByteArray out;
    QByteArray chunk(1 << 16, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(gz.constData()));
    zs.avail_in = uInt(gz.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef *>(chunk.data());
        zs.avail_out = uInt(chunk.size());
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(chunk.constData(), chunk.size() - int(zs.avail_out));
    }
    inflateEnd(&zs);
    return rc == Z_STREAM_END && zs.avail_in == 0 ? out : QByteArray("zlib failed");
}

QByteArray libarchiveGunzip(const QString &path)
{
    struct archive *a = archive_read_new();
    archive_read_support_filter_gzip(a);
    archive_read_support_format_raw(a);
    struct archive_entry *entry;
    QByteArray out;
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 65536) == ARCHIVE_OK
        && archive_read_next_header(a, &entry) == ARCHIVE_OK) {
        char buffer[65536];
        la_ssize_t n;
        while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0)
            out.append(buffer, int(n));
        if (n < 0)
            out = "libarchive failed";
    }
    archive_read_free(a);
    return out;
}

// The optional fields of a gzip member header; a null array leaves its field out.
struct HeaderFields
{
    QByteArray name;
    QByteArray extra;
    QByteArray comment;
    bool check = false;
};

// One gzip member of `payload` with the header fields given, made by zlib.
QByteArray zlibMember(const QByteArray &payload, HeaderFields fields)
{
    z_stream zs = {};
    if (deflateInit2(&zs, 3, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    gz_header header = {};
    header.name = fields.name.isNull() ? nullptr : reinterpret_cast<Bytef *>(fields.name.data());
    header.comment = fields.comment.isNull() ? nullptr
                                             : reinterpret_cast<Bytef *>(fields.comment.data());
    header.extra = fields.extra.isNull() ? nullptr : reinterpret_cast<Bytef *>(fields.extra.data());
    header.extra_len = uInt(fields.extra.size());
    header.hcrc = fields.check;
    header.os = 3;
    deflateSetHeader(&zs, &header);
    QByteArray out(int(deflateBound(&zs, uLong(payload.size()))) + fields.name.size()
                       + fields.extra.size() + fields.comment.size() + 64,
                   '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(payload.constData()));
    zs.avail_in = uInt(payload.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(int(zs.total_out));
    deflateEnd(&zs);
    return rc == Z_STREAM_END ? out : QByteArray();
}

// A member whose header is `length` bytes longer than the bare 10 bytes (a name of length - 1).
QByteArray memberLongerBy(const QByteArray &payload, int length)
{
    HeaderFields fields;
    if (length > 0)
        fields.name = QByteArray(length - 1, 'a');
    return zlibMember(payload, fields);
}

QByteArray framesOf(int first, int count, int rangegates)
{
    QByteArray bytes;
    for (int i = first; i < first + count; ++i)
        bytes += bytesOf(makeFrame(RRD_FORMAT_RRD0, rangegates, i).get());
    return bytes;
}

bool putFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBack(const QString &path, QString *error)
{
    ReadOutcome r = readAll(path);
    QByteArray bytes;
    for (const Frame &f : r.frames)
        bytes += bytesOf(f.get());
    *error = r.eof == 1 ? QString() : r.error;
    return bytes;
}

bool gzipAccepts(const QString &path)
{
    const QString gzip = QStandardPaths::findExecutable(QStringLiteral("gzip"));
    return gzip.isEmpty() || QProcess::execute(gzip, {QStringLiteral("-t"), path}) == 0;
}

// The reader's input buffer of the given size while it lives.
struct GzipInputSize
{
    explicit GzipInputSize(size_t bytes) { rrd_set_gzip_input_size(bytes); }
    ~GzipInputSize() { rrd_set_gzip_input_size(0); }
};

// Copies every frame of `from` to `to` through RuFile, as the converter does.
bool copyFrames(const QString &from, const QString &to, int *frames)
{
    RuFile in(from, 'r');
    RuFile out(to, 'w');
    *frames = 0;
    for (;;) {
        RuFrame frame;
        if (!in.readFrame(frame))
            break;
        if (out.writeFrame(frame) != 0)
            return false;
        ++*frames;
    }
    return out.close() && in.atEnd();
}

} // namespace

class TstRrdGzip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void roundTripKeepsEveryByte_data();
    void roundTripKeepsEveryByte();
    void severalMembersReadAsOneStream();
    void memberHeadersAcrossTheBufferEdge_data();
    void memberHeadersAcrossTheBufferEdge();
    void headersLongerThanTheDefaultBuffer_data();
    void headersLongerThanTheDefaultBuffer();
    void fullDiskFailsTheGzipWriterAtOnce();
    void flushedFramesReadFromTheUnfinishedFile_data();
    void flushedFramesReadFromTheUnfinishedFile();
    void killedRecorderLeavesAReadableMinuteFile();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TstRrdGzip::roundTripKeepsEveryByte_data()
{
    QTest::addColumn<uint>("format");
    QTest::newRow("raw") << uint(RRD_FORMAT_RAW);
    QTest::newRow("stamped") << uint(RRD_FORMAT_STAMPED);
    QTest::newRow("rrd0") << uint(RRD_FORMAT_RRD0);
}

void TstRrdGzip::roundTripKeepsEveryByte()
{
    QFETCH(uint, format);
    std::vector<Frame> frames;
    for (int i = 0; i < kFrames; ++i)
        frames.push_back(makeFrame(format, kRangegates, i));
    const QString plain = path(QStringLiteral("in.rrd"));
    const QString gz = path(QStringLiteral("mid.rrd.gz"));
    const QString back = path(QStringLiteral("back.rrd"));
    QVERIFY(writeFrames(plain, pointers(frames)));

    int copied = 0;
    QVERIFY(copyFrames(plain, gz, &copied));
    QCOMPARE(copied, kFrames);
    QVERIFY(copyFrames(gz, back, &copied));
    QCOMPARE(copied, kFrames);
    const QByteArray original = fileBytes(plain);
    QCOMPARE(fileBytes(back), original);

    // Standard gzip: zlib and libarchive read it, gzip -t passes it.
    QCOMPARE(zlibGunzip(fileBytes(gz)), original);
    QCOMPARE(libarchiveGunzip(gz), original);
    const QString gzip = QStandardPaths::findExecutable(QStringLiteral("gzip"));
    if (gzip.isEmpty())
        QSKIP("gzip is not installed: gzip -t not run");
    QCOMPARE(QProcess::execute(gzip, {QStringLiteral("-t"), gz}), 0);
}

void TstRrdGzip::severalMembersReadAsOneStream()
{
    // Two members written here and one by zlib, one after the other (as `cat` joins them).
    std::vector<Frame> frames;
    for (int i = 0; i < 9; ++i)
        frames.push_back(makeFrame(RRD_FORMAT_RRD0, kRangegates, i));
    const QString a = path(QStringLiteral("a.rrd0.gz"));
    const QString b = path(QStringLiteral("b.rrd0.gz"));
    QVERIFY(writeFrames(a, {frames[0].get(), frames[1].get(), frames[2].get()}));
    QVERIFY(writeFrames(b, {frames[3].get(), frames[4].get(), frames[5].get()}));
    QByteArray third;
    for (int i = 6; i < 9; ++i)
        third += bytesOf(frames[i].get());
    const QString z = path(QStringLiteral("z.rrd0.gz"));
    gzFile out = gzopen(QFile::encodeName(z).constData(), "wb3");
    QVERIFY(out);
    QCOMPARE(gzwrite(out, third.constData(), unsigned(third.size())), third.size());
    QCOMPARE(gzclose(out), Z_OK);
    const QString joined = path(QStringLiteral("joined.rrd0.gz"));
    QFile f(joined);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(fileBytes(a) + fileBytes(b) + fileBytes(z));
    f.close();

    ReadOutcome r = readAll(joined);
    QCOMPARE(int(r.frames.size()), 9);
    for (int i = 0; i < 9; ++i)
        QCOMPARE(bytesOf(r.frames[i].get()), bytesOf(frames[i].get()));
    QCOMPARE(r.error, QStringLiteral("no error"));
    QCOMPARE(r.eof, 1);
}

Q_DECLARE_METATYPE(HeaderFields)

void TstRrdGzip::memberHeadersAcrossTheBufferEdge_data()
{
    QTest::addColumn<HeaderFields>("second");
    const QByteArray longText(150, 'x');
    QTest::newRow("name, as gzip stores it") << HeaderFields{"20240201T060000Z.rrd0", {}, {}, false};
    QTest::newRow("empty extra field") << HeaderFields{{}, "", {}, false};
    QTest::newRow("extra field and name") << HeaderFields{"b.rrd0", "AB\x04\0abcd", {}, false};
    QTest::newRow("comment and header check") << HeaderFields{{}, {}, "station 4", true};
    QTest::newRow("every field longer than the buffer")
        << HeaderFields{longText, longText + "e", longText + "c", true};
}

// Two members, the first shifted byte by byte so that the second one's header (and the first
// one's trailer) meets the edge of a small input buffer at every offset.
void TstRrdGzip::memberHeadersAcrossTheBufferEdge()
{
    QFETCH(HeaderFields, second);
    const int buffer = 64;
    const GzipInputSize small(buffer);
    const QByteArray first = framesOf(0, 2, 2);
    const QByteArray rest = framesOf(2, 2, 2);
    const QByteArray tail = zlibMember(rest, second);
    QVERIFY(!tail.isEmpty());
    const QString file = path(QStringLiteral("edge.rrd0.gz"));
    for (int shift = 0; shift <= buffer; ++shift) {
        QVERIFY(putFile(file, memberLongerBy(first, shift) + tail));
        if (shift == 0)
            QVERIFY(gzipAccepts(file));
        QString error;
        QCOMPARE(readBack(file, &error), first + rest);
        QVERIFY2(error.isEmpty(), qPrintable(QStringLiteral("shift %1: %2").arg(shift).arg(error)));
    }
}

void TstRrdGzip::headersLongerThanTheDefaultBuffer_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("frames");
    const QByteArray all = framesOf(0, 20, 20);
    const int half = all.size() / 2;
    QTest::newRow("name of 70 000 bytes") << zlibMember(all, {QByteArray(70000, 'n'), {}, {}, false}) << all;
    QTest::newRow("extra field of 65 535 bytes")
        << zlibMember(all, {{}, QByteArray(65535, 'e'), {}, true}) << all;
    // The second member's header starts 15 bytes before byte 65 536: its name crosses it.
    const HeaderFields named{"second.rrd0", {}, {}, false};
    const int firstSize = memberLongerBy(all.left(half), 0).size();
    QTest::newRow("second member's name across byte 65 536")
        << memberLongerBy(all.left(half), 65536 - 15 - firstSize) + zlibMember(all.mid(half), named)
        << all;
}

void TstRrdGzip::headersLongerThanTheDefaultBuffer()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, frames);
    const QString file = path(QStringLiteral("long.rrd0.gz"));
    QVERIFY(putFile(file, content));
    QVERIFY(gzipAccepts(file));
    QString error;
    QCOMPARE(readBack(file, &error), frames);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

// The header is written when the file is created, so a full disk is known before any frame.
void TstRrdGzip::fullDiskFailsTheGzipWriterAtOnce()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full on this machine");
    const QString full = path(QStringLiteral("full.rrd0.gz"));
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), full));
    RuFile out(full, 'w');
    QVERIFY(!out.isOpen());
    QCOMPARE(out.errorString(), QString::fromLocal8Bit(std::strerror(ENOSPC)));
}

void TstRrdGzip::flushedFramesReadFromTheUnfinishedFile_data()
{
    // What the writer does: n > 0 writes n frames, 0 flushes.
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<int>("readable");
    QTest::newRow("just created: the header only") << QList<int>{} << 0;
    QTest::newRow("flush without frames") << QList<int>{0} << 0;
    QTest::newRow("three frames flushed") << QList<int>{3, 0} << 3;
    QTest::newRow("frames after the flush wait for the next")
        << QList<int>{3, 0, 2} << 3;
    QTest::newRow("more than a compressor's chunk between flushes")
        << QList<int>{3, 0, 15, 0, 1} << 18;
}

// A writer that is killed leaves the file as it is: everything up to the last flush must read
// back from it, and the cut after it is reported as such.
void TstRrdGzip::flushedFramesReadFromTheUnfinishedFile()
{
    QFETCH(QList<int>, steps);
    QFETCH(int, readable);
    const QString file = path(QStringLiteral("open.rrd0.gz"));
    const QString left = path(QStringLiteral("left.rrd0.gz"));
    QByteArray written;
    RuFile out(file, 'w');
    QVERIFY(out.isOpen());
    int frames = 0;
    for (int step : steps) {
        if (step == 0)
            QVERIFY2(out.flush(), qPrintable(out.errorString()));
        for (int i = 0; i < step; ++i, ++frames) {
            Frame f = makeFrame(RRD_FORMAT_RRD0, kRangegates, frames);
            written += bytesOf(f.get());
            QCOMPARE(out.writeFrame(RuFrame(f.release())), 0);
        }
    }
    QVERIFY(putFile(left, fileBytes(file)));
    QString error;
    QCOMPARE(readBack(left, &error), written.left(readable * int(rrd_frame_size(RRD_FORMAT_RRD0, kRangegates))));
    QVERIFY2(error.startsWith(QStringLiteral("gzip: unexpected end")), qPrintable(error));

    QVERIFY(out.close());
    QCOMPARE(readBack(file, &error), written);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

// `rrdcli watch --record` killed (SIGKILL) while it records a stream: the minute file holds
// every frame received, flushed while the stream went quiet, and ends as a cut gzip stream.
void TstRrdGzip::killedRecorderLeavesAReadableMinuteFile()
{
    const QString rrdcli = QString::fromLocal8Bit(qgetenv("SK_BIN_DIR")) + QStringLiteral("/rrdcli");
    if (!QFileInfo(rrdcli).isExecutable())
        QSKIP("rrdcli is not built");
    const int frames = 30;
    QProcess serve;
    serve.start(rrdcli, {"serve", "--port", "0", "--rate", "10", "--frames", QString::number(frames)});
    QVERIFY(serve.waitForReadyRead(60000));
    const QRegularExpressionMatch port = QRegularExpression(QStringLiteral("127\\.0\\.0\\.1:(\\d+)"))
                                             .match(QString::fromLatin1(serve.readLine()));
    QVERIFY(port.hasMatch());
    const QString record = path(QStringLiteral("record"));
    QProcess watch;
    watch.start(rrdcli, {"watch", "--record", record, "127.0.0.1:" + port.captured(1)});
    QVERIFY(watch.waitForStarted());
    // The stream ends after its frames; the recorder goes on with its file open.
    QVERIFY(serve.waitForFinished(60000));
    const QString left = path(QStringLiteral("left.rrd0.gz"));
    const int frameSize = rrd_frame_size(RRD_FORMAT_RRD0, kRangegates);
    auto readableFrames = [&] {
        const QStringList files = QDir(record + QStringLiteral("/rdata")).entryList(QDir::Files);
        QString error;
        return files.size() == 1 && putFile(left, fileBytes(record + QStringLiteral("/rdata/") + files.first()))
                       ? readBack(left, &error).size() / frameSize
                       : -1;
    };
    QDeadlineTimer deadline(60000);
    while (readableFrames() < frames && !deadline.hasExpired())
        QThread::msleep(100);
    ::kill(pid_t(watch.processId()), SIGKILL);
    QVERIFY(watch.waitForFinished(60000));
    QCOMPARE(readableFrames(), frames);
    QString error;
    readBack(left, &error);
    QVERIFY2(error.startsWith(QStringLiteral("gzip: unexpected end")), qPrintable(error));
}

QTEST_GUILESS_MAIN(TstRrdGzip)
#include "tst_rrd_gzip.moc"
