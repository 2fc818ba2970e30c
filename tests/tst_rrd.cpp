// Tests of the radar-data library's frame records and of reading plain files: format
// recognition, raw frame assembly, headers, counting and seeking.

#include "RrdTestFrames.h"

#include <QtTest>

#include <unistd.h>

using namespace rrdtest;

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
    void truncatedLastFrameIsReportedAfterTheWholeOnes();
    void borrowedRecordCannotStartReading();
    void frameTotalAndSeek_data();
    void frameTotalAndSeek();
    void seekReachesFramesBeyond2GiB();
    void countingRefusedWithoutFormatOrOnArchives();

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
    QTest::newRow("4") << 4 << "frame has no rangegates";
    QTest::newRow("5") << 5 << "frame does not start with the tag RRD0";
    QTest::newRow("6") << 6 << "unkown rrd frame errno";
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
    QTest::addColumn<QString>("error");
    QTest::newRow("three complete frames") << QList<int>{4, 4, 4} << 3 << "no error";
    QTest::newRow("one record per frame") << QList<int>{1, 1, 1} << 3 << "no error";
    QTest::newRow("single frame") << QList<int>{4} << 1 << "no error";
    QTest::newRow("last frame longer") << QList<int>{2, 3} << 2 << "no error";
    QTest::newRow("last frame short of records")
        << QList<int>{4, 4, 3} << 2 << "last frame is incomplete: it lacks 4100 bytes";
    QTest::newRow("largest record number 128") << QList<int>{129, 129} << 2 << "no error";
}

void TstRrd::rawFileYieldsEveryCompleteFrame()
{
    QFETCH(QList<int>, counts);
    QFETCH(int, delivered);
    QFETCH(QString, error);
    std::vector<Frame> frames;
    for (int i = 0; i < counts.size(); ++i)
        frames.push_back(makeFrame(RRD_FORMAT_RAW, counts[i], i));
    const QString file = path(QStringLiteral("complete.raw"));
    QVERIFY(writeFrames(file, pointers(frames)));

    ReadOutcome r = readAll(file, 2);
    QCOMPARE(int(r.frames.size()), delivered);
    for (int i = 0; i < delivered; ++i)
        QCOMPARE(bytesOf(r.frames[i].get()), bytesOf(frames[i].get()));
    QCOMPARE(r.error, error);
    QCOMPARE(r.eof, r.ok ? 1 : 0);
    QCOMPARE(r.ok, error == QLatin1String("no error"));
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
    QCOMPARE(rrd_errno(in.get()), int(RRD_ERR_FRAME));
    QCOMPARE(QString::fromLatin1(rrd_strerror(in.get())),
             QStringLiteral("rangegate numbers not correctly numbered"));
    QCOMPARE(rrd_eof(in.get()), 0);
    QVERIFY(second->count <= 3);
    // The next frame is whole again.
    Frame third(rrd_frame_new(rrd_format(in.get()), rrd_rangegates(in.get())));
    QCOMPARE(rrd_read_frame(in.get(), third.get()), 0);
    QCOMPARE(bytesOf(third.get()), bytesOf(frames[2].get()));
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
    QCOMPARE(rrd_errno(in.get()), int(RRD_ERR_INCOMPLETE));
    QCOMPARE(rrd_eof(in.get()), 0);
    // The buffer follows the bytes that arrived, not the 268 MB the header claims.
    QVERIFY(f->capacity <= 2 * a->size);
}

void TstRrd::truncatedLastFrameIsReportedAfterTheWholeOnes()
{
    Frame a = makeFrame(RRD_FORMAT_RRD0, 5, 0);
    Frame b = makeFrame(RRD_FORMAT_RRD0, 5, 1);
    const QString file = path(QStringLiteral("cut.rrd0"));
    QVERIFY(writeFrames(file, {a.get(), b.get()}));
    QVERIFY(QFile::resize(file, a->size + b->size / 2));

    ReadOutcome r = readAll(file, 3);
    QCOMPARE(int(r.frames.size()), 1);
    QCOMPARE(r.eof, 0);
    QVERIFY(!r.ok);
    QCOMPARE(r.error, QStringLiteral("last frame is incomplete: it lacks %1 bytes")
                          .arg(b->size - b->size / 2));
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

QTEST_GUILESS_MAIN(TstRrd)
#include "tst_rrd.moc"
