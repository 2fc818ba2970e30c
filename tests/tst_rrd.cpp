// Tests of the radar-data library: frame records, reading every format from plain files,
// gzip files, zip archives and standard input, writing and converting, counting and seeking.

#include "rrd.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct FrameFree
{
    void operator()(rrd_frame *f) const { rrd_frame_free(f); }
};
struct FileClose
{
    void operator()(rrd_file *f) const { rrd_close(f); }
};
using Frame = std::unique_ptr<rrd_frame, FrameFree>;
using File = std::unique_ptr<rrd_file, FileClose>;

const int64_t kBaseSeconds = 1706767200; // 2024-02-01 06:00:00 UTC

// A good frame whose time and values tell it apart from frames with another `id`.
Frame makeFrame(uint32_t format, int count, int id, char antenna = 'A')
{
    Frame f(rrd_frame_new(format, count));
    for (int i = 0; i < count; ++i) {
        unsigned char *rg = rrd_frame_rangegate(f.get(), i);
        rrd_put_s32(rg, i);
        for (int c = 0; c < RRD_CHANNELS; ++c)
            rrd_put_u32(rg + 4 + 4 * c, uint32_t(id * 7919 + i * 131 + c));
    }
    unsigned char *stamp = format == RRD_FORMAT_RRD0 ? f->info
                           : format == RRD_FORMAT_STAMPED ? f->data
                                                           : nullptr;
    if (stamp) {
        rrd_put_s32(stamp + RRD_INFO_SECONDS, int32_t(kBaseSeconds + id));
        rrd_put_s32(stamp + RRD_INFO_MICROS, 250000);
        rrd_put_u16(stamp + RRD_INFO_RANGEGATES, uint16_t(count));
    }
    if (format == RRD_FORMAT_RRD0) {
        f->info[RRD_INFO_ANTENNA] = uint8_t(antenna);
        std::strcpy(reinterpret_cast<char *>(f->info + RRD_INFO_NAME), "Station");
    }
    return f;
}

int64_t frameTimeOf(int id)
{
    return (kBaseSeconds + id) * 1000000 + 250000;
}

QByteArray bytesOf(const rrd_frame *f)
{
    return QByteArray(reinterpret_cast<const char *>(f->data), f->size);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFrames(const QString &path, const std::vector<const rrd_frame *> &frames,
                 char mode = 'w')
{
    File out(rrd_open(path.toLatin1().constData(), mode));
    if (!rrd_is_open(out.get()))
        return false;
    for (const rrd_frame *f : frames) {
        if (rrd_write_frame(out.get(), f, nullptr) != 0)
            return false;
    }
    return rrd_close(out.release()) == 0;
}

// Raw frames of `count` records each; `firstValue` replaces channel 0 of the very first record.
std::vector<Frame> rawFrames(int frames, int count, int firstValue = -1)
{
    std::vector<Frame> list;
    for (int i = 0; i < frames; ++i)
        list.push_back(makeFrame(RRD_FORMAT_RAW, count, i));
    if (firstValue >= 0)
        rrd_put_u32(rrd_frame_rangegate(list[0].get(), 0) + 4, uint32_t(firstValue));
    return list;
}

std::vector<const rrd_frame *> pointers(const std::vector<Frame> &frames)
{
    std::vector<const rrd_frame *> list;
    for (const Frame &f : frames)
        list.push_back(f.get());
    return list;
}

struct ReadOutcome
{
    std::vector<Frame> frames;
    bool ok = false;
    QString error;
    int eof = -1;
    uint32_t format = 0;
    int rangegates = 0;
};

ReadOutcome readFrom(rrd_file *in, int extraReads = 0)
{
    ReadOutcome r;
    for (;;) {
        Frame f(rrd_frame_new(rrd_format(in), rrd_rangegates(in)));
        if (rrd_read_frame(in, f.get()) != 0)
            break;
        r.frames.push_back(std::move(f));
    }
    for (int i = 0; i < extraReads; ++i) {
        Frame f(rrd_frame_new(rrd_format(in), rrd_rangegates(in)));
        rrd_read_frame(in, f.get());
    }
    r.ok = rrd_ok(in);
    r.error = QString::fromLocal8Bit(rrd_strerror(in));
    r.eof = rrd_eof(in);
    r.format = rrd_format(in);
    r.rangegates = rrd_rangegates(in);
    return r;
}

ReadOutcome readAll(const QString &path, int extraReads = 0)
{
    File in(rrd_open(path.toLatin1().constData(), 'r'));
    return readFrom(in.get(), extraReads);
}

bool writeZip(const QString &path, const QList<QByteArray> &entries)
{
    struct archive *zip = archive_write_new();
    bool ok = archive_write_set_format_zip(zip) == ARCHIVE_OK
              && archive_write_open_filename(zip, path.toLatin1().constData()) == ARCHIVE_OK;
    for (int i = 0; ok && i < entries.size(); ++i) {
        struct archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, QByteArray("part%1.rrd0").replace("%1", QByteArray::number(i)).constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, entries[i].size());
        ok = archive_write_header(zip, entry) == ARCHIVE_OK
             && archive_write_data(zip, entries[i].constData(), size_t(entries[i].size()))
                    == entries[i].size();
        archive_entry_free(entry);
    }
    ok = archive_write_close(zip) == ARCHIVE_OK && ok;
    archive_write_free(zip);
    return ok;
}

// Inflates one gzip member; `trailing` gets the bytes left after it.
QByteArray gunzipMember(const QByteArray &gz, int *trailing)
{
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK)
        return {};
    QByteArray out;
    QByteArray chunk(65536, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(gz.constData()));
    zs.avail_in = uInt(gz.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef *>(chunk.data());
        zs.avail_out = uInt(chunk.size());
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(chunk.constData(), chunk.size() - int(zs.avail_out));
    }
    *trailing = rc == Z_STREAM_END ? int(zs.avail_in) : -1;
    inflateEnd(&zs);
    return out;
}

// Child modes of this executable, used to test standard input and output.
int childWriteStdout()
{
    File out(rrd_open("-", 'w'));
    for (int i = 0; i < 3; ++i) {
        Frame f = makeFrame(RRD_FORMAT_STAMPED, 4, i);
        if (rrd_write_frame(out.get(), f.get(), nullptr) != 0)
            return 1;
    }
    return rrd_close(out.release()) == 0 ? 0 : 1;
}

int childReadStdin()
{
    File in(rrd_open("-", 'r'));
    ReadOutcome r = readFrom(in.get());
    std::printf("frames %d eof %d format %u\n", int(r.frames.size()), r.eof, r.format);
    return 0;
}

} // namespace

class TstRrd : public QObject
{
    Q_OBJECT

private slots:
    void frameSizeFollowsFormat_data();
    void frameSizeFollowsFormat();
    void frameNewRefusesUnknownFormats();
    void resizeReusesBufferUntilFrameGrows();
    void copyOwnsItsBuffer();
    void frameCheckReportsFirstFault_data();
    void frameCheckReportsFirstFault();
    void frameErrorTexts_data();
    void frameErrorTexts();
    void maskDecodesMostSignificantBitFirst_data();
    void maskDecodesMostSignificantBitFirst();
    void frameTimeComesFromStampOrInfo();

    void recognisesFormatFromFirstValue_data();
    void recognisesFormatFromFirstValue();
    void rawFileYieldsEveryCompleteFrame_data();
    void rawFileYieldsEveryCompleteFrame();
    void rawRecordNumberOutOfRangeFailsRead_data();
    void rawRecordNumberOutOfRangeFailsRead();
    void rawStreamJoinedMidFrameResynchronises();
    void rawFrameGrowingLaterKeepsItsRecords();
    void manyRangegatesKeepFirstHeader_data();
    void manyRangegatesKeepFirstHeader();
    void shortFileCannotClaimHugeFrame_data();
    void shortFileCannotClaimHugeFrame();
    void truncatedLastFrameEndsInput();
    void borrowedRecordCannotStartReading();

    void gzipWriteIsOneMemberOfTheFrames();
    void gzipRawFileLookingLikeLzmaStillReads_data();
    void gzipRawFileLookingLikeLzmaStillReads();
    void zipEntriesReadAsOneStream();
    void endOfArchiveStaysCleanEnd();
    void frameTotalAndSeek_data();
    void frameTotalAndSeek();
    void seekReachesFramesBeyond2GiB();
    void countingRefusedWithoutFormatOrOnArchives();

    void writeConvertsToHandleFormat_data();
    void writeConvertsToHandleFormat();
    void writeRrd0WithoutInfoFails();
    void appendModeAppendsToPlainButNotToGzip();
    void standardOutputCarriesFrameBytes();
    void standardInputReadsFrames();
    void handleTextsAndStates();
    void writerAndReaderRefuseTheOtherDirection();
    void diskSpaceOfTemporaryFolder();
    void connectReportsLookupErrorPerThread();
    void connectReportsRefusedConnection();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

// ---- Frame record --------------------------------------------------------------------------

void TstRrd::frameSizeFollowsFormat_data()
{
    QTest::addColumn<uint>("format");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("size");
    QTest::newRow("raw") << 1u << 20 << 82000;
    QTest::newRow("stamped") << 2u << 20 << 82010;
    QTest::newRow("rrd0") << 3u << 20 << 86100;
    QTest::newRow("rrd0 empty") << 3u << 0 << 4100;
    QTest::newRow("unknown format") << 7u << 20 << 82000;
    QTest::newRow("negative count") << 1u << -1 << -1;
}

void TstRrd::frameSizeFollowsFormat()
{
    QFETCH(uint, format);
    QFETCH(int, count);
    QFETCH(int, size);
    QCOMPARE(rrd_frame_size(format, count), size);
    if (size < 0 || format > 3)
        return;
    Frame f(rrd_frame_new(format, count));
    QVERIFY(f);
    QCOMPARE(f->size, size);
    QCOMPARE(f->count, count);
    QCOMPARE(rrd_frame_rangegates(f.get()), count);
    QCOMPARE(rrd_frame_format(f.get()), uint32_t(format));
    QCOMPARE(f->rangegates - f->data, ptrdiff_t(size - count * RRD_RANGEGATE_SIZE));
    QCOMPARE(f->info != nullptr, format == 3);
    if (format == 3)
        QCOMPARE(rrd_get_u32(f->data), RRD_TAG);
}

void TstRrd::frameNewRefusesUnknownFormats()
{
    QVERIFY(!rrd_frame_new(4, 1));
    QVERIFY(!rrd_frame_new(0, 3));
    Frame none(rrd_frame_new(0, 0));
    QVERIFY(none);
    QVERIFY(!none->data);
    QCOMPARE(rrd_frame_resize(none.get(), 0, 0), 0);
    QCOMPARE(rrd_frame_resize(none.get(), 0, 2), -1);
    QCOMPARE(rrd_frame_resize(none.get(), 9, 2), -1);
    rrd_frame_free(nullptr);
}

void TstRrd::resizeReusesBufferUntilFrameGrows()
{
    Frame f(rrd_frame_new(RRD_FORMAT_RAW, 10));
    unsigned char *buffer = f->data;
    const int32_t capacity = f->capacity;
    QCOMPARE(rrd_frame_resize(f.get(), RRD_FORMAT_RAW, 5), 0);
    QCOMPARE(f->data, buffer);
    QCOMPARE(f->capacity, capacity);
    QCOMPARE(f->size, 5 * RRD_RANGEGATE_SIZE);
    QCOMPARE(rrd_frame_resize(f.get(), RRD_FORMAT_RAW, 10), 0);
    QCOMPARE(f->data, buffer);
    QCOMPARE(f->max_count, 10);

    QCOMPARE(rrd_frame_resize(f.get(), RRD_FORMAT_RRD0, 12), 0);
    QCOMPARE(f->capacity, 13 * RRD_RANGEGATE_SIZE);
    QCOMPARE(f->max_count, 12);
    QCOMPARE(rrd_get_u32(f->data), RRD_TAG);
    QCOMPARE(f->info, f->data + 4);
    QCOMPARE(f->rangegates, f->data + 4100);
    QCOMPARE(rrd_frame_resize(f.get(), RRD_FORMAT_STAMPED, 3), 0);
    QVERIFY(!rrd_frame_info(f.get()));
    QCOMPARE(f->rangegates, f->data + RRD_STAMP_SIZE);

    unsigned char outside[RRD_RANGEGATE_SIZE] = {};
    rrd_frame borrowed{};
    borrowed.data = outside;
    borrowed.capacity = sizeof outside;
    borrowed.borrowed = 1;
    QCOMPARE(rrd_frame_resize(&borrowed, RRD_FORMAT_RAW, 1), -1);
}

void TstRrd::copyOwnsItsBuffer()
{
    Frame f = makeFrame(RRD_FORMAT_RRD0, 3, 5);
    f->number = 42;
    Frame copy(rrd_frame_copy(f.get()));
    QVERIFY(copy);
    QVERIFY(copy->data != f->data);
    QCOMPARE(copy->info, copy->data + 4);
    QCOMPARE(bytesOf(copy.get()), bytesOf(f.get()));
    QCOMPARE(copy->number, 42u);
    rrd_put_s32(rrd_frame_rangegate(copy.get(), 1), 9);
    QCOMPARE(rrd_frame_check(f.get()), 0);
    QVERIFY(!rrd_frame_copy(nullptr));
}

void TstRrd::frameCheckReportsFirstFault_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("badRecord");
    QTest::addColumn<int>("infoCount");
    QTest::addColumn<char>("antenna");
    QTest::addColumn<int>("code");
    QTest::newRow("good rrd0") << 3 << -1 << 11 << 'B' << 0;
    QTest::newRow("good stamped") << 2 << -1 << 0 << 'A' << 0;
    QTest::newRow("records 0 1 3") << 1 << 2 << 0 << 'A' << 1;
    QTest::newRow("numbering before count") << 3 << 2 << 12 << 'C' << 1;
    QTest::newRow("info says 12 of 11") << 3 << -1 << 12 << 'A' << 2;
    QTest::newRow("count before antenna") << 3 << -1 << 12 << 'C' << 2;
    QTest::newRow("antenna C") << 3 << -1 << 11 << 'C' << 3;
    QTest::newRow("antenna lower case a") << 3 << -1 << 11 << 'a' << 3;
}

void TstRrd::frameCheckReportsFirstFault()
{
    QFETCH(int, format);
    QFETCH(int, badRecord);
    QFETCH(int, infoCount);
    QFETCH(char, antenna);
    QFETCH(int, code);
    Frame f = makeFrame(uint32_t(format), format == 1 ? 3 : 11, 0, antenna);
    if (badRecord >= 0)
        rrd_put_s32(rrd_frame_rangegate(f.get(), badRecord), badRecord + 1);
    if (f->info)
        rrd_put_u16(f->info + RRD_INFO_RANGEGATES, uint16_t(infoCount));
    QCOMPARE(rrd_frame_check(f.get()), code);
}

void TstRrd::frameErrorTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "no error";
    QTest::newRow("1") << 1 << "rangegate numbers not correctly numbered";
    QTest::newRow("2") << 2
                       << "detected amount of rangegate do not match rangegates of current frame";
    QTest::newRow("3") << 3 << "rrd frame antenna not 'A' and not 'B'";
    QTest::newRow("4") << 4 << "unkown rrd frame errno";
    QTest::newRow("-1") << -1 << "unkown rrd frame errno";
}

void TstRrd::frameErrorTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(QString::fromLatin1(rrd_frame_strerror(code)), text);
}

void TstRrd::maskDecodesMostSignificantBitFirst_data()
{
    QTest::addColumn<QList<uint>>("words");
    QTest::addColumn<QList<int>>("rangegates");
    QTest::newRow("highest and lowest of word 0") << QList<uint>{0x80000001u, 0, 0, 0}
                                                   << QList<int>{0, 31};
    QTest::newRow("one per word") << QList<uint>{0x40000000u, 0x80000000u, 1u, 1u}
                                  << QList<int>{1, 32, 95, 127};
    QTest::newRow("empty") << QList<uint>{0, 0, 0, 0} << QList<int>{};
}

void TstRrd::maskDecodesMostSignificantBitFirst()
{
    QFETCH(QList<uint>, words);
    QFETCH(QList<int>, rangegates);
    unsigned char mask[RRD_MASK_SIZE];
    for (int w = 0; w < 4; ++w)
        rrd_put_u32(mask + 4 * w, words[w]);
    int out[128];
    const int n = rrd_mask_decode(mask, out);
    QCOMPARE(QList<int>(out, out + n), rangegates);

    unsigned char encoded[RRD_MASK_SIZE];
    std::vector<int> list(rangegates.begin(), rangegates.end());
    list.push_back(128); // outside the mask: ignored
    rrd_mask_encode(list.data(), int(list.size()), encoded);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(encoded), RRD_MASK_SIZE),
             QByteArray(reinterpret_cast<char *>(mask), RRD_MASK_SIZE));
}

void TstRrd::frameTimeComesFromStampOrInfo()
{
    QCOMPARE(rrd_frame_time(makeFrame(RRD_FORMAT_RAW, 2, 3).get()), int64_t(0));
    QCOMPARE(rrd_frame_time(makeFrame(RRD_FORMAT_STAMPED, 2, 3).get()), frameTimeOf(3));
    QCOMPARE(rrd_frame_time(makeFrame(RRD_FORMAT_RRD0, 2, 3).get()), frameTimeOf(3));
    QCOMPARE(rrd_frame_time(nullptr), int64_t(0));
}

// ---- Reading -------------------------------------------------------------------------------

void TstRrd::recognisesFormatFromFirstValue_data()
{
    QTest::addColumn<uint>("format");
    QTest::newRow("record 0 is raw") << 1u;
    QTest::newRow("first value above 128 is stamped") << 2u;
    QTest::newRow("tag is rrd0") << 3u;
}

void TstRrd::recognisesFormatFromFirstValue()
{
    QFETCH(uint, format);
    std::vector<Frame> frames;
    for (int i = 0; i < 4; ++i)
        frames.push_back(makeFrame(format, 6, i));
    const QString file = path(QStringLiteral("recognise%1.rrd").arg(format));
    QVERIFY(writeFrames(file, pointers(frames)));

    ReadOutcome r = readAll(file);
    QCOMPARE(r.format, uint32_t(format));
    QCOMPARE(r.rangegates, 6);
    QCOMPARE(int(r.frames.size()), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(bytesOf(r.frames[i].get()), bytesOf(frames[i].get()));
        QCOMPARE(r.frames[i]->number, uint32_t(i));
    }
    QCOMPARE(r.eof, 1);
    QCOMPARE(r.error, QStringLiteral("no error"));
}

void TstRrd::rawFileYieldsEveryCompleteFrame_data()
{
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<int>("delivered");
    QTest::newRow("three complete frames") << QList<int>{4, 4, 4} << 3;
    QTest::newRow("one record per frame") << QList<int>{1, 1, 1} << 3;
    QTest::newRow("single frame cannot be known complete") << QList<int>{4} << 0;
    QTest::newRow("last frame short of records") << QList<int>{4, 4, 3} << 2;
    QTest::newRow("largest record number 128") << QList<int>{129, 129} << 2;
}

void TstRrd::rawFileYieldsEveryCompleteFrame()
{
    QFETCH(QList<int>, counts);
    QFETCH(int, delivered);
    std::vector<Frame> frames;
    for (int i = 0; i < counts.size(); ++i)
        frames.push_back(makeFrame(RRD_FORMAT_RAW, counts[i], i));
    const QString file = path(QStringLiteral("complete.raw"));
    QVERIFY(writeFrames(file, pointers(frames)));

    ReadOutcome r = readAll(file, 2);
    QCOMPARE(int(r.frames.size()), delivered);
    for (int i = 0; i < delivered; ++i)
        QCOMPARE(bytesOf(r.frames[i].get()), bytesOf(frames[i].get()));
    QCOMPARE(r.eof, 1);
    QVERIFY(r.ok);
}

void TstRrd::rawRecordNumberOutOfRangeFailsRead_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("200") << 200;
    QTest::newRow("129") << 129;
    QTest::newRow("negative") << -1;
    QTest::newRow("most negative") << int(INT32_MIN);
}

void TstRrd::rawRecordNumberOutOfRangeFailsRead()
{
    QFETCH(int, number);
    std::vector<Frame> frames = rawFrames(3, 3);
    rrd_put_s32(rrd_frame_rangegate(frames[1].get(), 2), number);
    const QString file = path(QStringLiteral("outofrange.raw"));
    QVERIFY(writeFrames(file, pointers(frames)));

    File in(rrd_open(file.toLatin1().constData(), 'r'));
    Frame first(rrd_frame_new(0, 0));
    QCOMPARE(rrd_read_frame(in.get(), first.get()), 0);
    Frame second(rrd_frame_new(rrd_format(in.get()), rrd_rangegates(in.get())));
    QCOMPARE(rrd_read_frame(in.get(), second.get()), -1);
    QVERIFY(rrd_ok(in.get()));
    QCOMPARE(QString::fromLatin1(rrd_strerror(in.get())), QStringLiteral("no error"));
    QCOMPARE(rrd_eof(in.get()), 0);
    QVERIFY(second->count <= 3);
}

void TstRrd::rawStreamJoinedMidFrameResynchronises()
{
    std::vector<Frame> frames = rawFrames(4, 10);
    const QString whole = path(QStringLiteral("whole.raw"));
    QVERIFY(writeFrames(whole, pointers(frames)));
    const QString joined = path(QStringLiteral("joined.raw"));
    QFile out(joined);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(fileBytes(whole).mid(5 * RRD_RANGEGATE_SIZE));
    out.close();

    File in(rrd_open(joined.toLatin1().constData(), 'r'));
    Frame f(rrd_frame_new(0, 0));
    QCOMPARE(rrd_read_frame(in.get(), f.get()), -1);
    QCOMPARE(rrd_get_s32(f->rangegates), 5);
    QCOMPARE(QString::fromLatin1(rrd_strerror(in.get())),
             QStringLiteral("rangegate numbers not correctly numbered"));
    for (int i = 1; i <= 3; ++i) {
        Frame next(rrd_frame_new(rrd_format(in.get()), rrd_rangegates(in.get())));
        QCOMPARE(rrd_read_frame(in.get(), next.get()), 0);
        QCOMPARE(bytesOf(next.get()), bytesOf(frames[i].get()));
        QCOMPARE(next->number, uint32_t(i));
    }
    QVERIFY(rrd_ok(in.get()));
}

void TstRrd::rawFrameGrowingLaterKeepsItsRecords()
{
    std::vector<Frame> frames;
    frames.push_back(makeFrame(RRD_FORMAT_RAW, 2, 0));
    frames.push_back(makeFrame(RRD_FORMAT_RAW, 2, 1));
    frames.push_back(makeFrame(RRD_FORMAT_RAW, 40, 2));
    frames.push_back(makeFrame(RRD_FORMAT_RAW, 40, 3));
    const QString file = path(QStringLiteral("growing.raw"));
    QVERIFY(writeFrames(file, pointers(frames)));

    ReadOutcome r = readAll(file);
    QCOMPARE(int(r.frames.size()), 4);
    QCOMPARE(bytesOf(r.frames[2].get()), bytesOf(frames[2].get()));
}

void TstRrd::manyRangegatesKeepFirstHeader_data()
{
    QTest::addColumn<uint>("format");
    QTest::newRow("stamped") << 2u;
    QTest::newRow("rrd0") << 3u;
}

void TstRrd::manyRangegatesKeepFirstHeader()
{
    QFETCH(uint, format);
    Frame a = makeFrame(format, 200, 1);
    Frame b = makeFrame(format, 200, 2);
    const QString file = path(QStringLiteral("wide.rrd0"));
    QVERIFY(writeFrames(file, {a.get(), b.get()}));

    ReadOutcome r = readAll(file);
    QCOMPARE(int(r.frames.size()), 2);
    QCOMPARE(r.rangegates, 200);
    QCOMPARE(rrd_frame_time(r.frames[0].get()), frameTimeOf(1));
    QCOMPARE(bytesOf(r.frames[0].get()), bytesOf(a.get()));
    QCOMPARE(bytesOf(r.frames[1].get()), bytesOf(b.get()));
}

void TstRrd::shortFileCannotClaimHugeFrame_data()
{
    QTest::addColumn<uint>("format");
    QTest::newRow("stamped") << 2u;
    QTest::newRow("rrd0") << 3u;
}

void TstRrd::shortFileCannotClaimHugeFrame()
{
    QFETCH(uint, format);
    Frame a = makeFrame(format, 300, 0);
    unsigned char *count = format == 3 ? a->info + RRD_INFO_RANGEGATES : a->data + 8;
    rrd_put_u16(count, 65535);
    const QString file = path(QStringLiteral("claim.rrd0"));
    QVERIFY(writeFrames(file, {a.get()}));

    File in(rrd_open(file.toLatin1().constData(), 'r'));
    Frame f(rrd_frame_new(0, 0));
    QCOMPARE(rrd_read_frame(in.get(), f.get()), -1);
    QCOMPARE(rrd_eof(in.get()), 1);
    // The buffer follows the bytes that arrived, not the 268 MB the header claims.
    QVERIFY(f->capacity <= 2 * a->size);
}

void TstRrd::truncatedLastFrameEndsInput()
{
    Frame a = makeFrame(RRD_FORMAT_RRD0, 5, 0);
    Frame b = makeFrame(RRD_FORMAT_RRD0, 5, 1);
    const QString file = path(QStringLiteral("cut.rrd0"));
    QVERIFY(writeFrames(file, {a.get(), b.get()}));
    QVERIFY(QFile::resize(file, a->size + b->size / 2));

    ReadOutcome r = readAll(file, 3);
    QCOMPARE(int(r.frames.size()), 1);
    QCOMPARE(r.eof, 1);
    QVERIFY(r.ok);
}

void TstRrd::borrowedRecordCannotStartReading()
{
    Frame a = makeFrame(RRD_FORMAT_RRD0, 2, 0);
    const QString file = path(QStringLiteral("borrow.rrd0"));
    QVERIFY(writeFrames(file, {a.get(), a.get()}));
    std::vector<unsigned char> outside(size_t(a->size));
    rrd_frame borrowed{};
    borrowed.data = outside.data();
    borrowed.capacity = a->size;
    borrowed.borrowed = 1;
    File in(rrd_open(file.toLatin1().constData(), 'r'));
    QCOMPARE(rrd_read_frame(in.get(), &borrowed), -1);
    QCOMPARE(borrowed.data, outside.data());
    QVERIFY(rrd_read_frame(in.get(), nullptr) == -1);
    QVERIFY(rrd_read_frame(nullptr, a.get()) == -1);
}

// ---- Compressed files and archives ------------------------------------------------------------

void TstRrd::gzipWriteIsOneMemberOfTheFrames()
{
    std::vector<Frame> frames;
    QByteArray expected;
    for (int i = 0; i < 3; ++i) {
        frames.push_back(makeFrame(RRD_FORMAT_RRD0, 20, i));
        expected += bytesOf(frames.back().get());
    }
    const QString file = path(QStringLiteral("rec.rrd0.gz"));
    QVERIFY(writeFrames(file, pointers(frames)));

    const QByteArray gz = fileBytes(file);
    QVERIFY(gz.startsWith("\x1f\x8b\x08"));
    int trailing = -1;
    QCOMPARE(gunzipMember(gz, &trailing), expected);
    QCOMPARE(trailing, 0);

    ReadOutcome r = readAll(file);
    QCOMPARE(int(r.frames.size()), 3);
    QCOMPARE(bytesOf(r.frames[2].get()), bytesOf(frames[2].get()));
    QCOMPARE(r.eof, 1);
    QCOMPARE(r.error, QStringLiteral("no error"));
}

void TstRrd::gzipRawFileLookingLikeLzmaStillReads_data()
{
    QTest::addColumn<int>("lowByte");
    QTest::addColumn<QString>("name");
    for (int b : {1, 2, 4, 8}) {
        QTest::addRow("gzip %d", b) << b << QStringLiteral("lz%1.rrd.gz").arg(b);
        QTest::addRow("plain %d", b) << b << QStringLiteral("lz%1.rrd").arg(b);
    }
}

void TstRrd::gzipRawFileLookingLikeLzmaStillReads()
{
    QFETCH(int, lowByte);
    QFETCH(QString, name);
    std::vector<Frame> frames = rawFrames(3, 2, lowByte);
    QVERIFY(writeFrames(path(name), pointers(frames)));

    ReadOutcome r = readAll(path(name));
    QCOMPARE(r.format, uint32_t(RRD_FORMAT_RAW));
    QCOMPARE(int(r.frames.size()), 3);
    QCOMPARE(bytesOf(r.frames[0].get()), bytesOf(frames[0].get()));
    QCOMPARE(r.error, QStringLiteral("no error"));
}

void TstRrd::zipEntriesReadAsOneStream()
{
    std::vector<Frame> frames;
    QByteArray all;
    for (int i = 0; i < 3; ++i) {
        frames.push_back(makeFrame(RRD_FORMAT_RRD0, 4, i));
        all += bytesOf(frames.back().get());
    }
    // The second entry starts in the middle of the second frame.
    const int cut = frames[0]->size + 1000;
    const QString file = path(QStringLiteral("two.zip"));
    QVERIFY(writeZip(file, {all.left(cut), all.mid(cut)}));

    ReadOutcome r = readAll(file);
    QCOMPARE(int(r.frames.size()), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(bytesOf(r.frames[i].get()), bytesOf(frames[i].get()));
    QCOMPARE(r.eof, 1);
}

void TstRrd::endOfArchiveStaysCleanEnd()
{
    Frame a = makeFrame(RRD_FORMAT_STAMPED, 3, 0);
    const QString gz = path(QStringLiteral("end.rrd.gz"));
    QVERIFY(writeFrames(gz, {a.get(), a.get()}));
    const QString zip = path(QStringLiteral("end.zip"));
    QVERIFY(writeZip(zip, {bytesOf(a.get())}));

    for (const QString &file : {gz, zip}) {
        ReadOutcome r = readAll(file, 3);
        QVERIFY(!r.frames.empty());
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.error, QStringLiteral("no error"));
        QCOMPARE(r.eof, 1);
    }
}

// ---- Counting and seeking ----------------------------------------------------------------------

void TstRrd::frameTotalAndSeek_data()
{
    QTest::addColumn<uint>("format");
    QTest::newRow("raw") << 1u;
    QTest::newRow("stamped") << 2u;
    QTest::newRow("rrd0") << 3u;
}

void TstRrd::frameTotalAndSeek()
{
    QFETCH(uint, format);
    std::vector<Frame> frames;
    for (int i = 0; i < 10; ++i)
        frames.push_back(makeFrame(format, 20, i));
    const QString file = path(QStringLiteral("ten.rrd0"));
    QVERIFY(writeFrames(file, pointers(frames)));
    if (format == 3)
        QCOMPARE(QFileInfo(file).size(), qint64(861000));

    File in(rrd_open(file.toLatin1().constData(), 'r'));
    Frame f(rrd_frame_new(0, 0));
    QCOMPARE(rrd_read_frame(in.get(), f.get()), 0);
    int64_t total = 0;
    QCOMPARE(rrd_frame_total(in.get(), &total), 0);
    QCOMPARE(total, int64_t(10));

    QCOMPARE(rrd_seek(in.get(), 3), 0);
    QCOMPARE(rrd_position(in.get()), 3u);
    QCOMPARE(rrd_read_frame(in.get(), f.get()), 0);
    QCOMPARE(f->number, 3u);
    QCOMPARE(bytesOf(f.get()), bytesOf(frames[3].get()));

    QCOMPARE(rrd_seek(in.get(), -1), 0);
    QCOMPARE(rrd_position(in.get()), 4u);
    QCOMPARE(rrd_read_frame(in.get(), f.get()), -1);
    QCOMPARE(rrd_eof(in.get()), 1);
    QCOMPARE(rrd_seek(in.get(), -2), -1);

    // Seeking back after the end reads again.
    QCOMPARE(rrd_seek(in.get(), 9), 0);
    QCOMPARE(rrd_eof(in.get()), 0);
    QCOMPARE(rrd_read_frame(in.get(), f.get()), 0);
    QCOMPARE(bytesOf(f.get()), bytesOf(frames[9].get()));
}

void TstRrd::seekReachesFramesBeyond2GiB()
{
    Frame first = makeFrame(RRD_FORMAT_RRD0, 20, 0);
    Frame far = makeFrame(RRD_FORMAT_RRD0, 20, 77);
    const int64_t index = 25000; // 25000 * 86100 bytes lie beyond 2^31
    QVERIFY(index * first->size > (int64_t(1) << 31));
    const QString file = path(QStringLiteral("sparse.rrd0"));
    QVERIFY(writeFrames(file, {first.get()}));
    // A hole instead of gigabytes of frames.
    QCOMPARE(truncate(file.toLatin1().constData(), off_t(index * first->size)), 0);
    QVERIFY(writeFrames(file, {far.get()}, 'a'));

    File in(rrd_open(file.toLatin1().constData(), 'r'));
    Frame f(rrd_frame_new(0, 0));
    QCOMPARE(rrd_read_frame(in.get(), f.get()), 0);
    int64_t total = 0;
    QCOMPARE(rrd_frame_total(in.get(), &total), 0);
    QCOMPARE(total, index + 1);
    QCOMPARE(rrd_seek(in.get(), index), 0);
    QCOMPARE(rrd_read_frame(in.get(), f.get()), 0);
    QCOMPARE(f->number, uint32_t(index));
    QCOMPARE(bytesOf(f.get()), bytesOf(far.get()));
    QCOMPARE(rrd_read_frame(in.get(), f.get()), -1);
    QCOMPARE(rrd_eof(in.get()), 1);
}

void TstRrd::countingRefusedWithoutFormatOrOnArchives()
{
    Frame a = makeFrame(RRD_FORMAT_RRD0, 2, 0);
    const QString plain = path(QStringLiteral("count.rrd0"));
    const QString gz = path(QStringLiteral("count.rrd0.gz"));
    QVERIFY(writeFrames(plain, {a.get(), a.get()}));
    QVERIFY(writeFrames(gz, {a.get(), a.get()}));
    int64_t total = -5;

    File fresh(rrd_open(plain.toLatin1().constData(), 'r'));
    QCOMPARE(rrd_frame_total(fresh.get(), &total), -1);
    QCOMPARE(rrd_seek(fresh.get(), 0), -1);

    File archived(rrd_open(gz.toLatin1().constData(), 'r'));
    Frame f(rrd_frame_new(0, 0));
    QCOMPARE(rrd_read_frame(archived.get(), f.get()), 0);
    QCOMPARE(rrd_frame_total(archived.get(), &total), -1);
    QCOMPARE(rrd_seek(archived.get(), 0), -1);
    QCOMPARE(total, int64_t(-5));
    QCOMPARE(rrd_frame_total(nullptr, &total), -1);
    QCOMPARE(rrd_seek(nullptr, 0), -1);
}

// ---- Writing -----------------------------------------------------------------------------------

void TstRrd::writeConvertsToHandleFormat_data()
{
    QTest::addColumn<uint>("handleFormat");
    QTest::addColumn<uint>("frameFormat");
    QTest::addColumn<QByteArray>("header");
    Frame info = makeFrame(RRD_FORMAT_RRD0, 3, 1);
    const QByteArray stamp = QByteArray(reinterpret_cast<char *>(info->info), 8) + QByteArray("\x03\x00", 2);
    QTest::newRow("rrd0 to raw") << 1u << 3u << QByteArray();
    QTest::newRow("rrd0 to stamped") << 2u << 3u << stamp;
    QTest::newRow("raw to stamped gets zero stamp") << 2u << 1u << QByteArray(10, '\0');
    QTest::newRow("stamped to raw") << 1u << 2u << QByteArray();
}

void TstRrd::writeConvertsToHandleFormat()
{
    QFETCH(uint, handleFormat);
    QFETCH(uint, frameFormat);
    QFETCH(QByteArray, header);
    Frame opener = makeFrame(handleFormat, 3, 0);
    Frame frame = makeFrame(frameFormat, 3, 1);
    const QString file = path(QStringLiteral("convert.rrd"));
    QVERIFY(writeFrames(file, {opener.get(), frame.get()}));

    const QByteArray records(reinterpret_cast<char *>(frame->rangegates), 3 * RRD_RANGEGATE_SIZE);
    QCOMPARE(fileBytes(file), bytesOf(opener.get()) + header + records);
}

void TstRrd::writeRrd0WithoutInfoFails()
{
    Frame rrd0 = makeFrame(RRD_FORMAT_RRD0, 3, 0);
    Frame raw = makeFrame(RRD_FORMAT_RAW, 3, 1);
    const QString file = path(QStringLiteral("noinfo.rrd0"));
    File out(rrd_open(file.toLatin1().constData(), 'w'));
    QCOMPARE(rrd_write_frame(out.get(), rrd0.get(), nullptr), 0);
    QCOMPARE(rrd_write_frame(out.get(), raw.get(), nullptr), -1);
    QCOMPARE(rrd_position(out.get()), 1u);

    // With a default block the raw frame gets the tag and the block's first 896 bytes.
    std::vector<unsigned char> info(RRD_INFO_SIZE, 0xEE);
    QCOMPARE(rrd_write_frame(out.get(), raw.get(), info.data()), 0);
    QCOMPARE(rrd_close(out.release()), 0);
    const QByteArray bytes = fileBytes(file);
    QCOMPARE(bytes.size(), 2 * rrd0->size);
    const QByteArray block = bytes.mid(rrd0->size + 4, RRD_INFO_SIZE);
    QCOMPARE(block, QByteArray(RRD_INFO_USED, '\xEE') + QByteArray(RRD_INFO_SIZE - RRD_INFO_USED, '\0'));
}

void TstRrd::appendModeAppendsToPlainButNotToGzip()
{
    Frame a = makeFrame(RRD_FORMAT_RRD0, 2, 0);
    Frame b = makeFrame(RRD_FORMAT_RRD0, 2, 1);
    for (const QString &name : {QStringLiteral("app.rrd0"), QStringLiteral("app.rrd0.gz")}) {
        const QString file = path(name);
        QVERIFY(writeFrames(file, {a.get(), a.get()}));
        QVERIFY(writeFrames(file, {b.get()}, 'a'));
        ReadOutcome r = readAll(file);
        const bool gzip = name.endsWith(QLatin1String(".gz"));
        QCOMPARE(int(r.frames.size()), gzip ? 1 : 3);
        QCOMPARE(bytesOf(r.frames.back().get()), bytesOf(b.get()));
    }
}

void TstRrd::standardOutputCarriesFrameBytes()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child-write-stdout")});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
    QByteArray expected;
    for (int i = 0; i < 3; ++i)
        expected += bytesOf(makeFrame(RRD_FORMAT_STAMPED, 4, i).get());
    QCOMPARE(child.readAllStandardOutput(), expected);
}

void TstRrd::standardInputReadsFrames()
{
    QByteArray input;
    for (int i = 0; i < 3; ++i)
        input += bytesOf(makeFrame(RRD_FORMAT_RRD0, 4, i).get());
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child-read-stdin")});
    QVERIFY(child.waitForStarted());
    child.write(input);
    child.closeWriteChannel();
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("frames 3 eof 1 format 3"));
}

// ---- Handle states ---------------------------------------------------------------------------

void TstRrd::handleTextsAndStates()
{
    QCOMPARE(QString::fromLatin1(rrd_strerror(nullptr)), QStringLiteral("rrd_file is null"));
    QCOMPARE(rrd_eof(nullptr), -1);
    QCOMPARE(rrd_close(nullptr), -1);
    QVERIFY(!rrd_is_open(nullptr));
    QVERIFY(!rrd_ok(nullptr));
    QCOMPARE(rrd_position(nullptr), 0u);

    Frame a = makeFrame(RRD_FORMAT_RRD0, 2, 0);
    const QString file = path(QStringLiteral("fresh.rrd0"));
    QVERIFY(writeFrames(file, {a.get()}));
    File fresh(rrd_open(file.toLatin1().constData(), 'r'));
    QVERIFY(rrd_is_open(fresh.get()));
    QVERIFY(rrd_ok(fresh.get()));
    QCOMPARE(QString::fromLatin1(rrd_strerror(fresh.get())), QStringLiteral("no error"));
    QCOMPARE(rrd_eof(fresh.get()), 0);
    QCOMPARE(rrd_format(fresh.get()), 0u);

    File missing(rrd_open(path(QStringLiteral("missing.rrd")).toLatin1().constData(), 'r'));
    QVERIFY(missing);
    QVERIFY(!rrd_is_open(missing.get()));
    QCOMPARE(QString::fromLocal8Bit(rrd_strerror(missing.get())),
             QString::fromLocal8Bit(std::strerror(ENOENT)));
    QCOMPARE(rrd_eof(missing.get()), -1);
    QCOMPARE(rrd_read_frame(missing.get(), a.get()), -1);
    QCOMPARE(rrd_write_frame(missing.get(), a.get(), nullptr), -1);

    File badGz(rrd_open(path(QStringLiteral("no/such/dir.rrd0.gz")).toLatin1().constData(), 'w'));
    QVERIFY(!rrd_is_open(badGz.get()));
    QVERIFY(!rrd_ok(badGz.get()));
    QVERIFY(!QString::fromLatin1(rrd_strerror(badGz.get())).isEmpty());
}

void TstRrd::writerAndReaderRefuseTheOtherDirection()
{
    Frame a = makeFrame(RRD_FORMAT_RRD0, 2, 0);
    const QString file = path(QStringLiteral("dir.rrd0.gz"));
    File writer(rrd_open(file.toLatin1().constData(), 'w'));
    Frame f(rrd_frame_new(0, 0));
    QCOMPARE(rrd_read_frame(writer.get(), f.get()), -1);
    QCOMPARE(rrd_close(writer.release()), 0);
    QVERIFY(writeFrames(file, {a.get()}));
    File reader(rrd_open(file.toLatin1().constData(), 'r'));
    QCOMPARE(rrd_write_frame(reader.get(), a.get(), nullptr), -1);
}

void TstRrd::diskSpaceOfTemporaryFolder()
{
    uint64_t total = 0, totalFree = 0, available = 0;
    QCOMPARE(rrd_disk_space(m_dir.path().toUtf8().constData(), &total, &totalFree, &available),
             0);
    QVERIFY(total > 0);
    QVERIFY(totalFree <= total);
    QVERIFY(available <= totalFree);
    uint64_t untouched = 7;
    QCOMPARE(rrd_disk_space(path(QStringLiteral("no/such/dir")).toUtf8().constData(), &untouched,
                            &untouched, &untouched), -1);
    QCOMPARE(untouched, uint64_t(7));
}

void TstRrd::connectReportsLookupErrorPerThread()
{
    // A service name that no services database knows fails without asking any server.
    File bad(rrd_connect("127.0.0.1", "no-such-service-x", 'r'));
    QVERIFY(bad);
    QVERIFY(!rrd_is_open(bad.get()));
    const char *here = rrd_strerror(bad.get());
    QCOMPARE(QString::fromLatin1(here), QString::fromLatin1(gai_strerror(EAI_SERVICE)));
    QVERIFY(!QByteArray(here).contains('\n'));
    const char *there = nullptr;
    std::thread other([&] { there = rrd_strerror(bad.get()); });
    other.join();
    QVERIFY(there != here);
    QCOMPARE(rrd_set_timeout(bad.get(), 1), -1);
}

void TstRrd::connectReportsRefusedConnection()
{
    // A bound socket that does not listen refuses connections on 127.0.0.1.
    int holder = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    QCOMPARE(bind(holder, reinterpret_cast<sockaddr *>(&addr), len), 0);
    QCOMPARE(getsockname(holder, reinterpret_cast<sockaddr *>(&addr), &len), 0);
    const QByteArray port = QByteArray::number(ntohs(addr.sin_port));
    File refused(rrd_connect("127.0.0.1", port.constData(), 'r'));
    ::close(holder);
    QVERIFY(!rrd_is_open(refused.get()));
    QCOMPARE(QString::fromLocal8Bit(rrd_strerror(refused.get())),
             QString::fromLocal8Bit(std::strerror(ECONNREFUSED)));
}

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--child-write-stdout") == 0)
        return childWriteStdout();
    if (argc == 2 && std::strcmp(argv[1], "--child-read-stdin") == 0)
        return childReadStdin();
    QCoreApplication app(argc, argv);
    TstRrd test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rrd.moc"
