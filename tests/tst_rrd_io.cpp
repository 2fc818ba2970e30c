// Tests of the radar-data library's handle beyond plain files: gzip files and zip archives,
// writing and converting, appending, standard input and output, error texts and states, the
// outcome of a close, the free-space query, and the connections of rrd_connect.

#include "RrdTestFrames.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <QCoreApplication>
#include <QProcess>
#include <QtTest>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <netdb.h>
#include <csignal>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace rrdtest;

namespace {

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
    return rrd_close(out.get()) == 0 ? 0 : 1;
}

int childReadStdin()
{
    File in(rrd_open("-", 'r'));
    ReadOutcome r = readFrom(in.get());
    std::printf("frames %d eof %d format %u\n", int(r.frames.size()), r.eof, r.format);
    return 0;
}

// Writes three stamped frames of `rangegates` range gates to `path` under a file size limit of
// `limit` bytes (0 = none), closes, and prints the outcome the handle keeps to standard error.
int childClose(const char *path, long limit, int rangegates)
{
    if (limit > 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG instead
        const rlimit size = {rlim_t(limit), rlim_t(limit)};
        setrlimit(RLIMIT_FSIZE, &size);
    }
    File out(rrd_open(path, 'w'));
    for (int i = 0; i < 3; ++i) {
        Frame f = makeFrame(RRD_FORMAT_STAMPED, rangegates, i);
        if (rrd_write_frame(out.get(), f.get(), nullptr) != 0) {
            std::fprintf(stderr, "write failed: %s\n", rrd_strerror(out.get()));
            return 1;
        }
    }
    const int first = rrd_close(out.get());
    const int code = rrd_errno(out.get());
    const QByteArray text = rrd_strerror(out.get());
    std::fprintf(stderr, "%d %d %s; open %d, again %d\n", first, code, text.constData(),
                 rrd_is_open(out.get()), rrd_close(out.get()));
    return 0;
}

// A TCP socket bound to 127.0.0.1 on a free port, which `port` receives.
int loopbackSocket(quint16 *port)
{
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(sock, reinterpret_cast<sockaddr *>(&addr), len);
    getsockname(sock, reinterpret_cast<sockaddr *>(&addr), &len);
    *port = ntohs(addr.sin_port);
    return sock;
}

// This process's socket that is connected to `peerPort`, or -1.
int socketConnectedTo(quint16 peerPort)
{
    DIR *fds = opendir("/proc/self/fd");
    int found = -1;
    while (dirent *e = fds ? readdir(fds) : nullptr) {
        const int fd = std::atoi(e->d_name);
        sockaddr_in peer = {};
        socklen_t len = sizeof peer;
        if (fd > 2 && getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &len) == 0
            && peer.sin_family == AF_INET && ntohs(peer.sin_port) == peerPort)
            found = fd;
    }
    if (fds)
        closedir(fds);
    return found;
}

int socketOption(int fd, int level, int name)
{
    int value = -1;
    socklen_t len = sizeof value;
    return getsockopt(fd, level, name, &value, &len) == 0 ? value : -1;
}

} // namespace

class TstRrdIo : public QObject
{
    Q_OBJECT

private slots:
    void gzipWriteIsOneMemberOfTheFrames();
    void gzipRawFileLookingLikeLzmaStillReads_data();
    void gzipRawFileLookingLikeLzmaStillReads();
    void zipEntriesReadAsOneStream();
    void endOfArchiveStaysCleanEnd();
    void writeConvertsToHandleFormat_data();
    void writeConvertsToHandleFormat();
    void writeRrd0WithoutInfoFails();
    void writeRefusesOtherRangegateCount();
    void appendModeAppendsToPlainButNotToGzip();
    void standardOutputCarriesFrameBytes();
    void standardInputReadsFrames();
    void handleTextsAndStates();
    void writerAndReaderRefuseTheOtherDirection();
    void closeKeepsItsOutcomeInTheHandle_data();
    void closeKeepsItsOutcomeInTheHandle();
    void diskSpaceOfTemporaryFolder();
    void connectReportsLookupErrorPerThread();
    void connectReportsRefusedConnection();
    void streamNoticesADeadLinkWithinAMinute();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

// ---- Compressed files and archives ------------------------------------------------------------

void TstRrdIo::gzipWriteIsOneMemberOfTheFrames()
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

void TstRrdIo::gzipRawFileLookingLikeLzmaStillReads_data()
{
    QTest::addColumn<int>("lowByte");
    QTest::addColumn<QString>("name");
    for (int b : {1, 2, 4, 8}) {
        QTest::addRow("gzip %d", b) << b << QStringLiteral("lz%1.rrd.gz").arg(b);
        QTest::addRow("plain %d", b) << b << QStringLiteral("lz%1.rrd").arg(b);
    }
}

void TstRrdIo::gzipRawFileLookingLikeLzmaStillReads()
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

void TstRrdIo::zipEntriesReadAsOneStream()
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

void TstRrdIo::endOfArchiveStaysCleanEnd()
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

// ---- Writing -----------------------------------------------------------------------------------

void TstRrdIo::writeConvertsToHandleFormat_data()
{
    QTest::addColumn<uint>("handleFormat");
    QTest::addColumn<uint>("frameFormat");
    QTest::addColumn<QByteArray>("header");
    Frame info = makeFrame(RRD_FORMAT_RRD0, 3, 1);
    const QByteArray stamp = QByteArray(reinterpret_cast<char *>(info->info), 8) + QByteArray("\x03\x00", 2);
    QTest::newRow("rrd0 to raw") << 1u << 3u << QByteArray();
    QTest::newRow("rrd0 to stamped") << 2u << 3u << stamp;
    QTest::newRow("raw to stamped gets time 0 and its count")
        << 2u << 1u << QByteArray(8, '\0') + QByteArray("\x03\x00", 2);
    QTest::newRow("stamped to raw") << 1u << 2u << QByteArray();
}

void TstRrdIo::writeConvertsToHandleFormat()
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

void TstRrdIo::writeRrd0WithoutInfoFails()
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
    QCOMPARE(rrd_close(out.get()), 0);
    const QByteArray bytes = fileBytes(file);
    QCOMPARE(bytes.size(), 2 * rrd0->size);
    const QByteArray block = bytes.mid(rrd0->size + 4, RRD_INFO_SIZE);
    QCOMPARE(block, QByteArray(RRD_INFO_USED, '\xEE') + QByteArray(RRD_INFO_SIZE - RRD_INFO_USED, '\0'));
}

void TstRrdIo::writeRefusesOtherRangegateCount()
{
    const QString file = path(QStringLiteral("mixed.rrd0"));
    File out(rrd_open(file.toLatin1().constData(), 'w'));
    Frame first = makeFrame(RRD_FORMAT_RRD0, 3, 0);
    Frame wider = makeFrame(RRD_FORMAT_RRD0, 4, 1);
    QCOMPARE(rrd_write_frame(out.get(), first.get(), nullptr), 0);
    QCOMPARE(rrd_write_frame(out.get(), wider.get(), nullptr), -1);
    QVERIFY(!rrd_ok(out.get()));
    QCOMPARE(rrd_position(out.get()), 1u);
    QCOMPARE(rrd_close(out.get()), 0);

    // What was written stays readable.
    File in(rrd_open(file.toLatin1().constData(), 'r'));
    ReadOutcome r = readFrom(in.get());
    QCOMPARE(int(r.frames.size()), 1);
    QCOMPARE(r.eof, 1);
}

void TstRrdIo::appendModeAppendsToPlainButNotToGzip()
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

void TstRrdIo::standardOutputCarriesFrameBytes()
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

void TstRrdIo::standardInputReadsFrames()
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

void TstRrdIo::handleTextsAndStates()
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

void TstRrdIo::writerAndReaderRefuseTheOtherDirection()
{
    Frame a = makeFrame(RRD_FORMAT_RRD0, 2, 0);
    const QString file = path(QStringLiteral("dir.rrd0.gz"));
    File writer(rrd_open(file.toLatin1().constData(), 'w'));
    Frame f(rrd_frame_new(0, 0));
    QCOMPARE(rrd_read_frame(writer.get(), f.get()), -1);
    QCOMPARE(rrd_close(writer.get()), 0);
    QVERIFY(writeFrames(file, {a.get()}));
    File reader(rrd_open(file.toLatin1().constData(), 'r'));
    QCOMPARE(rrd_write_frame(reader.get(), a.get(), nullptr), -1);
}

void TstRrdIo::closeKeepsItsOutcomeInTheHandle_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("rangegates");
    QTest::addColumn<QString>("outcome");
    const QString cannot = QStringLiteral("-1 3 the end of the file could not be written: %1; open 0, again -1");
    const QString full = cannot.arg(QString::fromLocal8Bit(std::strerror(ENOSPC)));
    // Small frames stay in the buffers until the close, which must then say that it failed.
    QTest::newRow("gzip file past the size limit")
        << "limit.rrd0.gz" << 64 << 2 << cannot.arg(QString::fromLocal8Bit(std::strerror(EFBIG)));
    QTest::newRow("plain file on a full disk") << "full.rrd0" << 0 << 0 << full;
    QTest::newRow("standard output on a full disk") << "-" << 0 << 0 << full;
    QTest::newRow("complete gzip file") << "good.rrd0.gz" << 0 << 2
                                        << "0 0 no error; open 0, again 0";
}

void TstRrdIo::closeKeepsItsOutcomeInTheHandle()
{
    QFETCH(QString, target);
    QFETCH(int, limit);
    QFETCH(int, rangegates);
    QFETCH(QString, outcome);
    QProcess child;
    QString where = target;
    if (outcome.contains(QString::fromLocal8Bit(std::strerror(ENOSPC)))) {
        if (!QFileInfo(QStringLiteral("/dev/full")).isWritable())
            QSKIP("no writable /dev/full here");
        if (target == QLatin1String("-"))
            child.setStandardOutputFile(QStringLiteral("/dev/full"));
        else
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), path(target)));
    }
    if (target != QLatin1String("-"))
        where = path(target);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child-close"), where, QString::number(limit),
                 QString::number(rangegates)});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(QString::fromLocal8Bit(child.readAllStandardError()).trimmed(), outcome);
    QCOMPARE(child.exitCode(), 0);
}

void TstRrdIo::diskSpaceOfTemporaryFolder()
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

void TstRrdIo::connectReportsLookupErrorPerThread()
{
    // A service name that no services database knows fails without asking any server.
    File bad(rrd_connect("127.0.0.1", "no-such-service-x"));
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

void TstRrdIo::connectReportsRefusedConnection()
{
    // A bound socket that does not listen refuses connections on 127.0.0.1.
    quint16 port = 0;
    const int holder = loopbackSocket(&port);
    QVERIFY(port > 0);
    File refused(rrd_connect("127.0.0.1", QByteArray::number(port).constData()));
    ::close(holder);
    QVERIFY(!rrd_is_open(refused.get()));
    QCOMPARE(QString::fromLocal8Bit(rrd_strerror(refused.get())),
             QString::fromLocal8Bit(std::strerror(ECONNREFUSED)));
}

// Keep-alive probes every connection to the radar, so that a link that dies without a word
// (no FIN, no reset) ends a read within about a minute even when no time-out is set.
void TstRrdIo::streamNoticesADeadLinkWithinAMinute()
{
    quint16 port = 0;
    const int listener = loopbackSocket(&port);
    QCOMPARE(listen(listener, 1), 0);
    File stream(rrd_connect("127.0.0.1", QByteArray::number(port).constData()));
    QVERIFY(rrd_is_open(stream.get()));
    const int fd = socketConnectedTo(port);
    ::close(listener);
    QVERIFY(fd >= 0);
    QCOMPARE(socketOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
    const int idle = socketOption(fd, IPPROTO_TCP, TCP_KEEPIDLE);
    const int interval = socketOption(fd, IPPROTO_TCP, TCP_KEEPINTVL);
    const int probes = socketOption(fd, IPPROTO_TCP, TCP_KEEPCNT);
    QVERIFY(idle > 0 && interval > 0 && probes > 0);
    QVERIFY2(idle + interval * probes <= 75,
             qPrintable(QStringLiteral("dead after %1 s").arg(idle + interval * probes)));
}

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--child-close") == 0)
        return childClose(argv[2], std::atol(argv[3]), std::atoi(argv[4]));
    if (argc == 2 && std::strcmp(argv[1], "--child-write-stdout") == 0)
        return childWriteStdout();
    if (argc == 2 && std::strcmp(argv[1], "--child-read-stdin") == 0)
        return childReadStdin();
    QCoreApplication app(argc, argv);
    TstRrdIo test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rrd_io.moc"
