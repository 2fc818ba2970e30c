// Damaged and unlucky input for the radar-data library: cut, flipped and appended bytes in
// plain and gzip files, odd archives, frames that break the rules of the first frame, a
// TCP peer that stalls or closes inside a frame, a stop request and SIGTERM while a read
// blocks. Every case must end in its cause, never in frames of garbage or a silent loss.

#include "RrdTestFrames.h"
#include "RuFile.h"
#include "RuFrame.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace rrdtest;

namespace {

const int kRangegates = 5;

QByteArray framesBytes(uint32_t format, int frames, int first = 0)
{
    QByteArray bytes;
    for (int i = 0; i < frames; ++i)
        bytes += bytesOf(makeFrame(format, kRangegates, first + i).get());
    return bytes;
}

QByteArray gzipped(const QByteArray &plain)
{
    z_stream zs = {};
    deflateInit2(&zs, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&zs, uLong(plain.size()))), '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(plain.constData()));
    zs.avail_in = uInt(plain.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(int(zs.total_out));
    deflateEnd(&zs);
    return out;
}

QByteArray flipped(QByteArray bytes, int at)
{
    bytes[at] = char(bytes[at] ^ 0x5a);
    return bytes;
}

bool putFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// An entry whose name ends in '/' is a folder, one whose content starts with "->" a symbolic
// link to the rest of it; all others are files.
using Entries = QList<QPair<QString, QByteArray>>;

void setEntryType(struct archive_entry *entry, const QPair<QString, QByteArray> &e)
{
    if (e.first.endsWith(QLatin1Char('/'))) {
        archive_entry_set_filetype(entry, AE_IFDIR);
        archive_entry_set_perm(entry, 0755);
    } else if (e.second.startsWith("->")) {
        archive_entry_set_filetype(entry, AE_IFLNK);
        archive_entry_set_symlink(entry, e.second.mid(2).constData());
        archive_entry_set_perm(entry, 0777);
    } else {
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, e.second.size());
    }
}

bool writeArchive(const QString &path, bool tarGz, const Entries &entries)
{
    struct archive *a = archive_write_new();
    bool ok = (tarGz ? archive_write_set_format_pax_restricted(a) == ARCHIVE_OK
                           && archive_write_add_filter_gzip(a) == ARCHIVE_OK
                     : archive_write_set_format_zip(a) == ARCHIVE_OK)
              && archive_write_open_filename(a, QFile::encodeName(path).constData()) == ARCHIVE_OK;
    for (const auto &e : entries) {
        struct archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.first.toUtf8().constData());
        setEntryType(entry, e);
        const qint64 size = archive_entry_size(entry);
        ok = ok && archive_write_header(a, entry) == ARCHIVE_OK
             && archive_write_data(a, e.second.constData(), size_t(size)) == size;
        archive_entry_free(entry);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok;
}

struct Outcome
{
    QList<QByteArray> frames;
    int code = -1;
    QString error;
    bool atEnd = false;
};

// Reads like the programs do: RuFile, then atEnd() before the error is asked for.
Outcome readSource(const QString &name, int timeoutSeconds = 0, int *timeouts = nullptr)
{
    Outcome o;
    RuFile file;
    file.open(name, 'r', timeoutSeconds);
    for (;;) {
        RuFrame frame;
        if (file.readFrame(frame)) {
            const rrd_frame *r = frame.record();
            o.frames << QByteArray(reinterpret_cast<const char *>(r->data), r->size);
            continue;
        }
        o.atEnd = file.atEnd();
        if (timeouts && file.errorCode() == RRD_ERR_TIMEOUT) {
            ++*timeouts;
            continue;
        }
        break;
    }
    o.code = file.errorCode();
    o.error = file.errorString();
    return o;
}

QList<QByteArray> split(const QByteArray &bytes, int frameSize)
{
    QList<QByteArray> list;
    for (int at = 0; at + frameSize <= bytes.size(); at += frameSize)
        list << bytes.mid(at, frameSize);
    return list;
}

// A radar stand-in on 127.0.0.1 (port 0): it accepts one client and runs its script on it.
class FakeRadar
{
public:
    explicit FakeRadar(std::function<void(int)> script)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&addr), len);
        ::listen(m_listener, 1);
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this, script] {
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client >= 0) {
                script(client);
                ::close(client);
            }
        });
    }
    ~FakeRadar()
    {
        m_thread.join();
        ::close(m_listener);
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

private:
    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

void sendAll(int fd, const QByteArray &bytes)
{
    qint64 sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent),
                                 MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += n;
    }
}

void pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Child mode: reads standard input and prints what came of it. With "stop", SIGTERM asks
// the library to stop; the child then clears the request and reads on.
volatile std::sig_atomic_t terminated = 0;
extern "C" void onTerm(int)
{
    terminated = 1;
    rrd_request_stop();
}

int childReadStdin(bool closeFirst, bool stop)
{
    if (closeFirst)
        ::close(0);
    if (stop) {
        struct sigaction action = {};
        action.sa_handler = onTerm;
        action.sa_flags = SA_RESTART; // the library must not depend on EINTR
        ::sigaction(SIGTERM, &action, nullptr);
    }
    File in(rrd_open("-", 'r'));
    int frames = 0;
    for (;;) {
        Frame f(rrd_frame_new(rrd_format(in.get()), rrd_rangegates(in.get())));
        if (rrd_read_frame(in.get(), f.get()) == 0) {
            ++frames;
            continue;
        }
        if (stop && terminated && rrd_errno(in.get()) == RRD_ERR_SYSTEM) {
            std::printf("stopped after %d\n", frames);
            std::fflush(stdout);
            terminated = 0;
            rrd_clear_stop();
            continue;
        }
        break;
    }
    std::printf("frames %d code %d %s\n", frames, rrd_errno(in.get()), rrd_strerror(in.get()));
    return 0;
}

} // namespace

class TstRrdDamaged : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void damagedGzipNamesTheGzipFailure_data();
    void damagedGzipNamesTheGzipFailure();
    void archivesReadOnlyTheirDataFiles_data();
    void archivesReadOnlyTheirDataFiles();
    void emptyCompressedFilesAreNoRecordings_data();
    void emptyCompressedFilesAreNoRecordings();
    void standardInput_data();
    void standardInput();
    void everyFrameIsChecked_data();
    void everyFrameIsChecked();
    void sourceEndingInsideAFrame_data();
    void sourceEndingInsideAFrame();
    void unreadableSourceSaysWhy_data();
    void unreadableSourceSaysWhy();
    void streamsLoseNothing_data();
    void streamsLoseNothing();
    void stopRequestEndsABlockedReadAndKeepsTheFrame();
    void rawFramesInStampedOutputReadBackStamped();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TstRrdDamaged::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

// ---- Gzip ---------------------------------------------------------------------------------------

void TstRrdDamaged::damagedGzipNamesTheGzipFailure_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("frames"); // -1: not checked (damage found only by the check sum)
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    const QByteArray plain = framesBytes(RRD_FORMAT_RRD0, 3);
    const QByteArray gz = gzipped(plain);
    QTest::newRow("whole") << gz << 3 << int(RRD_ERR_END) << "no error";
    QTest::newRow("two members") << gz + gzipped(framesBytes(RRD_FORMAT_RRD0, 2, 3)) << 5
                                 << int(RRD_ERR_END) << "no error";
    QTest::newRow("zero padding after the member")
        << gz + QByteArray(512, '\0') << 3 << int(RRD_ERR_END) << "no error";
    QTest::newRow("empty file") << QByteArray() << 0 << int(RRD_ERR_ARCHIVE) << "empty gzip file";
    QTest::newRow("cut inside the first block")
        << gz.left(40) << 0 << int(RRD_ERR_ARCHIVE) << "gzip: unexpected end";
    QTest::newRow("cut after some frames") << gz.left(gz.size() * 2 / 3) << -1
                                           << int(RRD_ERR_ARCHIVE) << "gzip: unexpected end";
    QTest::newRow("cut in the trailer")
        << gz.left(gz.size() - 3) << 3 << int(RRD_ERR_ARCHIVE) << "gzip: unexpected end";
    QTest::newRow("flipped magic byte")
        << flipped(gz, 1) << 0 << int(RRD_ERR_ARCHIVE) << "gzip: not in gzip format";
    QTest::newRow("flipped data byte")
        << flipped(gz, gz.size() / 2) << -1 << int(RRD_ERR_ARCHIVE) << "gzip: ";
    QTest::newRow("flipped check sum")
        << flipped(gz, gz.size() - 6) << -1 << int(RRD_ERR_ARCHIVE) << "gzip: crc";
    QTest::newRow("zeros only")
        << QByteArray(300, '\0') << 0 << int(RRD_ERR_ARCHIVE) << "gzip: not in gzip format";
    QTest::newRow("not gzip at all")
        << plain << 0 << int(RRD_ERR_ARCHIVE) << "gzip: not in gzip format";
    QTest::newRow("appended bytes") << gz + QByteArray("left over") << 3 << int(RRD_ERR_ARCHIVE)
                                    << "gzip: bytes after the compressed data are not gzip";
}

void TstRrdDamaged::damagedGzipNamesTheGzipFailure()
{
    QFETCH(QByteArray, content);
    QFETCH(int, frames);
    QFETCH(int, code);
    QFETCH(QString, text);
    const QString file = path(QStringLiteral("damaged.rrd0.gz"));
    QVERIFY(putFile(file, content));
    const Outcome o = readSource(file);
    if (frames >= 0)
        QCOMPARE(o.frames.size(), frames);
    const QList<QByteArray> expected =
        split(framesBytes(RRD_FORMAT_RRD0, 5), rrd_frame_size(RRD_FORMAT_RRD0, kRangegates));
    if (code != RRD_ERR_ARCHIVE || text != QLatin1String("gzip: "))
        QCOMPARE(o.frames, expected.mid(0, o.frames.size()));
    QCOMPARE(o.code, code);
    QVERIFY2(o.error.startsWith(text), qPrintable(o.error));
    QCOMPARE(o.atEnd, code == RRD_ERR_END);
}

void TstRrdDamaged::archivesReadOnlyTheirDataFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    const QByteArray a = framesBytes(RRD_FORMAT_RRD0, 2);
    const QByteArray b = framesBytes(RRD_FORMAT_RRD0, 2, 2);
    const QByteArray readme("Recorded at the upper station.\n");
    const Entries mixed{{"README.txt", readme}, {"a.rrd0.gz", gzipped(a)}, {"sub/", {}},
                        {"b.RRD0", b}};
    QTest::newRow("zip: readme skipped, gzip entry inflated")
        << "mixed.zip" << mixed << 4 << int(RRD_ERR_END) << "no error";
    QTest::newRow("tar.gz read as the archive it is")
        << "mixed.tar.gz" << mixed << 4 << int(RRD_ERR_END) << "no error";
    QTest::newRow("tgz") << "mixed.tgz" << mixed << 4 << int(RRD_ERR_END) << "no error";
    QTest::newRow("zip without entries") << "empty.zip" << Entries() << 0 << int(RRD_ERR_ARCHIVE)
                                         << "the archive holds no files";
    const Entries folders{{"rdata/", {}}, {"rdata/latest.rrd0.gz", "->20240201T060000Z.rrd0.gz"}};
    QTest::newRow("zip of a folder and a link")
        << "folders.zip" << folders << 0 << int(RRD_ERR_ARCHIVE)
        << "the archive holds no data files, only 2 folder(s) or link(s)";
    QTest::newRow("tar.gz of a folder and a link")
        << "folders.tar.gz" << folders << 0 << int(RRD_ERR_ARCHIVE)
        << "the archive holds no data files, only 2 folder(s) or link(s)";
    QTest::newRow("zip without radar data names its file")
        << "readme.zip" << Entries{{"README.txt", readme}} << 0 << int(RRD_ERR_ARCHIVE)
        << "the archive holds no radar data file";
    QTest::newRow("damaged gzip entry names the entry")
        << "bad.zip" << Entries{{"a.rrd0.gz", gzipped(a).left(60)}} << 0 << int(RRD_ERR_ARCHIVE)
        << "a.rrd0.gz: gzip: unexpected end";
    QTest::newRow("entry cut inside a frame")
        << "cut.zip" << Entries{{"a.rrd0", a.left(a.size() - 100)}} << 1
        << int(RRD_ERR_INCOMPLETE) << "last frame is incomplete: it lacks 100 bytes";
}

void TstRrdDamaged::archivesReadOnlyTheirDataFiles()
{
    QFETCH(QString, name);
    QFETCH(Entries, entries);
    QFETCH(int, frames);
    QFETCH(int, code);
    QFETCH(QString, text);
    const QString file = path(name);
    QVERIFY(writeArchive(file, !name.endsWith(QLatin1String(".zip")), entries));
    const Outcome o = readSource(file);
    QCOMPARE(o.frames.size(), frames);
    QCOMPARE(o.frames, split(framesBytes(RRD_FORMAT_RRD0, frames),
                             rrd_frame_size(RRD_FORMAT_RRD0, kRangegates)));
    QCOMPARE(o.code, code);
    QVERIFY2(o.error.startsWith(text), qPrintable(o.error));
    if (code == RRD_ERR_ARCHIVE && frames == 0 && name == QLatin1String("readme.zip"))
        QVERIFY(o.error.contains(QLatin1String("README.txt")));
}

// What a writer killed before its first bytes leaves is not a recording of 0 frames.
void TstRrdDamaged::emptyCompressedFilesAreNoRecordings_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("gzip") << "minute.rrd0.gz" << int(RRD_ERR_ARCHIVE) << "empty gzip file";
    QTest::newRow("zip") << "frames.zip" << int(RRD_ERR_ARCHIVE) << "empty zip file";
    QTest::newRow("tar.gz") << "frames.tar.gz" << int(RRD_ERR_ARCHIVE) << "empty archive file";
    QTest::newRow("plain file: no frames") << "frames.rrd0" << int(RRD_ERR_END) << "no error";
}

void TstRrdDamaged::emptyCompressedFilesAreNoRecordings()
{
    QFETCH(QString, name);
    QFETCH(int, code);
    QFETCH(QString, text);
    QVERIFY(putFile(path(name), QByteArray()));
    const Outcome o = readSource(path(name));
    QCOMPARE(o.frames.size(), 0);
    QCOMPARE(o.code, code);
    QCOMPARE(o.error, text);
}

void TstRrdDamaged::standardInput_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray plain = framesBytes(RRD_FORMAT_STAMPED, 3);
    const QString end = QString::number(RRD_ERR_END);
    QTest::newRow("plain") << "--child-read-stdin" << plain
                           << QByteArray("frames 3 code 1 no error");
    QTest::newRow("gzip recognised by its magic") << "--child-read-stdin" << gzipped(plain)
                                                  << QByteArray("frames 3 code 1 no error");
    QTest::newRow("damaged gzip") << "--child-read-stdin" << gzipped(plain).left(50)
                                  << QByteArray("frames 0 code 6 gzip: unexpected end");
    QTest::newRow("cut inside a frame")
        << "--child-read-stdin" << plain.left(plain.size() - 10)
        << QByteArray("frames 2 code 7 last frame is incomplete: it lacks 10 bytes");
    QTest::newRow("closed standard input") << "--child-read-closed-stdin" << QByteArray()
                                           << QByteArray("frames 0 code 3 Bad file descriptor");
}

void TstRrdDamaged::standardInput()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {mode});
    QVERIFY(child.waitForStarted());
    child.write(input);
    child.closeWriteChannel();
    QVERIFY(child.waitForFinished(60000));
    QVERIFY2(child.readAllStandardOutput().trimmed().startsWith(expected),
             child.readAllStandardError().constData());
}

// ---- Frames ---------------------------------------------------------------------------------------

void TstRrdDamaged::everyFrameIsChecked_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("text");
    const int rrd0 = rrd_frame_size(RRD_FORMAT_RRD0, kRangegates);
    const int stamped = rrd_frame_size(RRD_FORMAT_STAMPED, kRangegates);
    const QByteArray r = framesBytes(RRD_FORMAT_RRD0, 3);
    const QByteArray s = framesBytes(RRD_FORMAT_STAMPED, 3);
    const QByteArray raw = framesBytes(RRD_FORMAT_RAW, 3);
    auto numberAt = [&](QByteArray bytes, int frame, int record, int number) {
        unsigned char le[4];
        rrd_put_s32(le, number);
        return bytes.replace((frame * kRangegates + record) * RRD_RANGEGATE_SIZE, 4,
                             reinterpret_cast<const char *>(le), 4);
    };
    QByteArray zero = s.left(stamped);
    zero[8] = zero[9] = 0;
    QTest::newRow("stamped frame of 0 range gates")
        << zero.left(10) + s.mid(stamped) << 0 << "frame has no rangegates";
    QByteArray tag = r;
    tag[rrd0 + 3] = '1';
    QTest::newRow("rrd0 frame without its tag")
        << tag << 1 << "frame does not start with the tag RRD0";
    QByteArray count = r;
    count[2 * rrd0 + 4 + RRD_INFO_RANGEGATES] = char(kRangegates + 1);
    QTest::newRow("rrd0 frame of another count") << count << 2
        << "detected amount of rangegate do not match rangegates of current frame";
    QByteArray stampCount = s;
    stampCount[stamped + 8] = char(kRangegates - 1);
    QTest::newRow("stamped frame of another count") << stampCount << 1
        << "detected amount of rangegate do not match rangegates of current frame";
    QTest::newRow("raw number repeats") << numberAt(raw, 1, 3, 2) << 1
                                        << "rangegate numbers not correctly numbered";
    QTest::newRow("raw number goes back") << numberAt(raw, 2, 4, 1) << 2
                                          << "rangegate numbers not correctly numbered";
    QTest::newRow("raw number leaves a gap") << numberAt(raw, 0, 2, 3) << 0
                                             << "rangegate numbers not correctly numbered";
}

void TstRrdDamaged::everyFrameIsChecked()
{
    QFETCH(QByteArray, content);
    QFETCH(int, frames);
    QFETCH(QString, text);
    const QString file = path(QStringLiteral("checked.rrd"));
    QVERIFY(putFile(file, content));
    const Outcome o = readSource(file);
    QCOMPARE(o.frames.size(), frames);
    QCOMPARE(o.code, int(RRD_ERR_FRAME));
    QCOMPARE(o.error, text);
    QVERIFY(!o.atEnd);
}

void TstRrdDamaged::sourceEndingInsideAFrame_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    const QByteArray r = framesBytes(RRD_FORMAT_RRD0, 3);
    const QByteArray s = framesBytes(RRD_FORMAT_STAMPED, 3);
    const QByteArray raw = framesBytes(RRD_FORMAT_RAW, 3);
    const int incomplete = RRD_ERR_INCOMPLETE;
    const QString lacks = QStringLiteral("last frame is incomplete: it lacks %1 bytes");
    QTest::newRow("rrd0 cut inside a frame") << r.left(r.size() - 1000) << 2 << incomplete
                                             << lacks.arg(1000);
    QTest::newRow("rrd0 cut inside the first header")
        << r.left(50) << 0 << incomplete << lacks.arg(4100 - 50);
    QTest::newRow("stamped cut inside the stamp")
        << s.left(s.size() / 3 * 2 + 4) << 2 << incomplete << lacks.arg(s.size() / 3 - 4);
    QTest::newRow("rrd0 with appended bytes")
        << r + QByteArray(100, 'x') << 3 << incomplete << lacks.arg(r.size() / 3 - 100);
    QTest::newRow("raw cut inside a record")
        << raw.left(raw.size() - 50) << 2 << incomplete << lacks.arg(50);
    QTest::newRow("raw last frame short of a record")
        << raw.left(raw.size() - RRD_RANGEGATE_SIZE) << 2 << incomplete << lacks.arg(4100);
    QTest::newRow("raw file of one frame") << raw.left(raw.size() / 3) << 1 << int(RRD_ERR_END)
                                           << "no error";
    QTest::newRow("empty file") << QByteArray() << 0 << int(RRD_ERR_END) << "no error";
}

void TstRrdDamaged::sourceEndingInsideAFrame()
{
    QFETCH(QByteArray, content);
    QFETCH(int, frames);
    QFETCH(int, code);
    QFETCH(QString, text);
    const QString file = path(QStringLiteral("ending.rrd"));
    QVERIFY(putFile(file, content));
    const Outcome o = readSource(file);
    QCOMPARE(o.frames.size(), frames);
    QVERIFY(content.startsWith(o.frames.join()));
    QCOMPARE(o.code, code);
    QCOMPARE(o.error, text);
    QCOMPARE(o.atEnd, code == RRD_ERR_END);
}

void TstRrdDamaged::unreadableSourceSaysWhy_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("error");
    QTest::newRow("directory") << QString() << EISDIR;
    QTest::newRow("missing file") << QStringLiteral("missing.rrd0") << ENOENT;
    QTest::newRow("missing gzip file") << QStringLiteral("missing.rrd0.gz") << ENOENT;
}

void TstRrdDamaged::unreadableSourceSaysWhy()
{
    QFETCH(QString, name);
    QFETCH(int, error);
    const Outcome o = readSource(name.isEmpty() ? m_dir.path() : path(name));
    QVERIFY(o.frames.isEmpty());
    QCOMPARE(o.code, int(RRD_ERR_SYSTEM));
    QCOMPARE(o.error, QString::fromLocal8Bit(strerror(error)));
}

// ---- Streams ------------------------------------------------------------------------------------

void TstRrdDamaged::streamsLoseNothing_data()
{
    QTest::addColumn<uint>("format");
    QTest::addColumn<QList<int>>("script"); // bytes to send (> 0) and pauses in ms (< 0)
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("timedOut");
    const int size = rrd_frame_size(RRD_FORMAT_RRD0, kRangegates);
    const int raw = rrd_frame_size(RRD_FORMAT_RAW, kRangegates);
    QTest::newRow("peer closes inside a frame")
        << uint(RRD_FORMAT_RRD0) << QList<int>{2 * size + 500} << 2 << int(RRD_ERR_INCOMPLETE)
        << false;
    QTest::newRow("sender pauses inside a frame beyond the time-out")
        << uint(RRD_FORMAT_RRD0) << QList<int>{size + 700, -1600, 2 * size - 700} << 3
        << int(RRD_ERR_END) << true;
    QTest::newRow("raw stream slower than one frame per second")
        << uint(RRD_FORMAT_RAW) << QList<int>{raw, -1300, raw, -1300, raw} << 3
        << int(RRD_ERR_END) << true;
}

void TstRrdDamaged::streamsLoseNothing()
{
    QFETCH(uint, format);
    QFETCH(QList<int>, script);
    QFETCH(int, frames);
    QFETCH(int, code);
    QFETCH(bool, timedOut);
    const QByteArray bytes = framesBytes(format, 3);
    FakeRadar radar([&](int fd) {
        int at = 0;
        for (int step : script) {
            if (step < 0) {
                pause(-step);
            } else {
                sendAll(fd, bytes.mid(at, step));
                at += step;
            }
        }
    });
    int timeouts = 0;
    const Outcome o = readSource(radar.address(), 1, &timeouts);
    QCOMPARE(o.frames.size(), frames);
    QCOMPARE(o.frames, split(bytes, bytes.size() / 3).mid(0, frames));
    QCOMPARE(o.code, code);
    QCOMPARE(timeouts > 0, timedOut);
}

void TstRrdDamaged::stopRequestEndsABlockedReadAndKeepsTheFrame()
{
    // A socket: the stop comes from another thread while the read waits for ever.
    const QByteArray bytes = framesBytes(RRD_FORMAT_RRD0, 1);
    std::atomic<bool> goOn{false};
    FakeRadar radar([&](int fd) {
        sendAll(fd, bytes.left(1000));
        while (!goOn)
            pause(10);
        sendAll(fd, bytes.mid(1000));
    });
    RuFile file;
    file.open(radar.address(), 'r', 0);
    std::thread stopper([] {
        pause(300);
        rrd_request_stop();
    });
    QElapsedTimer timer;
    timer.start();
    RuFrame frame;
    QVERIFY(!file.readFrame(frame));
    stopper.join();
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(file.errorCode(), int(RRD_ERR_SYSTEM));
    QCOMPARE(file.errorString(), QString::fromLocal8Bit(strerror(EINTR)));
    rrd_clear_stop();
    goOn = true;
    QVERIFY2(file.readFrame(frame), qPrintable(file.errorString()));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.record()->data), frame.record()->size),
             bytes);
    QCOMPARE(frame.record()->number, 0u);

    // Standard input of a child: SIGTERM (with SA_RESTART) ends the blocked read promptly.
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child-read-stdin-stop")});
    QVERIFY(child.waitForStarted());
    const QByteArray two = framesBytes(RRD_FORMAT_RRD0, 2);
    child.write(two.left(two.size() / 2 + 300));
    QVERIFY(child.waitForBytesWritten());
    pause(400);
    ::kill(pid_t(child.processId()), SIGTERM);
    QVERIFY(child.waitForReadyRead(3000));
    QCOMPARE(child.readLine().trimmed(), QByteArray("stopped after 1"));
    child.write(two.mid(two.size() / 2 + 300));
    child.closeWriteChannel();
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("frames 2 code 1 no error"));
}

// ---- Writing --------------------------------------------------------------------------------------

void TstRrdDamaged::rawFramesInStampedOutputReadBackStamped()
{
    Frame first = makeFrame(RRD_FORMAT_STAMPED, kRangegates, 0);
    rrd_put_s32(first->data, 0); // a stamped frame of time 0 starts with zeros like a raw one
    rrd_put_s32(first->data + 4, 0);
    Frame raw = makeFrame(RRD_FORMAT_RAW, kRangegates, 1);
    const QString file = path(QStringLiteral("stamped.rrd"));
    QVERIFY(writeFrames(file, {first.get(), raw.get(), raw.get()}));

    ReadOutcome r = readAll(file);
    QCOMPARE(r.format, uint32_t(RRD_FORMAT_STAMPED));
    QCOMPARE(int(r.frames.size()), 3);
    QCOMPARE(bytesOf(r.frames[0].get()), bytesOf(first.get()));
    QCOMPARE(rrd_frame_time(r.frames[1].get()), int64_t(0));
    QCOMPARE(r.frames[2]->count, kRangegates);
    QCOMPARE(r.error, QStringLiteral("no error"));
}

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--child-read-stdin") == 0)
        return childReadStdin(false, false);
    if (argc == 2 && std::strcmp(argv[1], "--child-read-closed-stdin") == 0)
        return childReadStdin(true, false);
    if (argc == 2 && std::strcmp(argv[1], "--child-read-stdin-stop") == 0)
        return childReadStdin(false, true);
    QCoreApplication app(argc, argv);
    TstRrdDamaged test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rrd_damaged.moc"
