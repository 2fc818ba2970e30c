// The C++ frame layer (RuFrame with its parameter block, RuFile), the radar simulator, the
// frame server and the rrdcli commands info, simulate and serve.

#include "RuFile.h"
#include "RuFrame.h"
#include "RuFrameServer.h"
#include "RrdcliTestSupport.h"
#include "RuSimulator.h"
#include "rrd.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <type_traits>

using namespace rrdclitest;

namespace {

RuSimulatorOptions scenario(RuScenario s, int frames, int format = RRD_FORMAT_RRD0)
{
    RuSimulatorOptions o;
    o.scenario = s;
    o.frames = frames;
    o.format = format;
    return o;
}

QByteArray frameBytes(const RuFrame &frame)
{
    const rrd_frame *r = frame.record();
    return QByteArray(reinterpret_cast<const char *>(r->data), r->size);
}

// Mean of a channel window of one range gate.
double windowMean(const RuMatrix &m, int row, int begin, int end)
{
    return double(m.row(row).segment(begin, end - begin).mean());
}

// A frame server running in a thread of its own, so that the test thread can block in reads.
// The server is made, serves and ends inside that thread's event loop. The hand-overs are
// ones ThreadSanitizer can follow (a queued call's would not be): the thread's start, the port
// handed back through a promise, a stop flag the loop looks at, and the join.
class ServerThread
{
public:
    explicit ServerThread(const RuSimulatorOptions &options, double rate, bool loop = false,
                          qint64 backlog = 4 << 20)
    {
        std::promise<quint16> listening;
        std::future<quint16> port = listening.get_future();
        m_thread = std::thread([=, &listening] {
            RuFrameServer server;
            server.setScenario(options);
            server.setRate(rate);
            server.setLoop(loop);
            server.setBacklogLimit(backlog);
            QEventLoop events;
            QTimer stopCheck;
            QObject::connect(&stopCheck, &QTimer::timeout, &events, [this, &events] {
                if (m_stop)
                    events.quit();
            });
            stopCheck.start(10);
            listening.set_value(server.listen(QStringLiteral("127.0.0.1"), 0) ? server.serverPort()
                                                                               : 0);
            events.exec();
        });
        m_port = port.get();
    }
    ~ServerThread()
    {
        m_stop = true;
        m_thread.join();
    }
    bool listening() const { return m_port != 0; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

private:
    std::thread m_thread;
    std::atomic_bool m_stop{false};
    quint16 m_port = 0;
};

QString infoValue(const QByteArray &out, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^") + QRegularExpression::escape(key)
                                      + QStringLiteral(":\\s+(.*)$"),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromLocal8Bit(out)).captured(1);
}

} // namespace

// ---- The parameter block ------------------------------------------------------------------

namespace {

// One field of the parameter block where the radar's documentation places it (offsets written
// out here, not taken from the codec), the bytes a value of the field is stored as, and how to
// give the field that value. Numbers take a value whose bytes all differ, floats raw bits.
struct InfoField
{
    QByteArray name;
    int offset;
    QByteArray bytes;
    std::function<void(RuFrameInfo &)> set;
};

// Range gates 0, 31, 32 and 127: the highest and lowest bit of the first mask word, the
// highest of the second and the lowest of the last.
const QByteArray MaskBytes("\x01\x00\x00\x80\x00\x00\x00\x80\x00\x00\x00\x00\x01\x00\x00\x00", 16);

template <typename T>
InfoField infoField(const char *name, int offset, std::function<T &(RuFrameInfo &)> member)
{
    if constexpr (std::is_same_v<T, QString>) {
        const QByteArray text("Profile \xe4 of 32 characters, full");
        return {name, offset, text, [=](RuFrameInfo &i) { member(i) = QString::fromLatin1(text); }};
    } else if constexpr (std::is_same_v<T, QVector<int>>) {
        return {name, offset, MaskBytes, [=](RuFrameInfo &i) { member(i) = {0, 31, 32, 127}; }};
    } else {
        const quint32 bits = std::is_same_v<T, bool> ? 1u : sizeof(T) == 1 ? 0xA5u
                             : sizeof(T) == 2 ? 0xA55Au : 0x40490FDBu;
        QByteArray bytes;
        for (size_t b = 0; b < sizeof(T); ++b)
            bytes += char(bits >> (8 * b));
        T value;
        if constexpr (std::is_same_v<T, bool>)
            value = true;
        else if constexpr (std::is_same_v<T, float>)
            std::memcpy(&value, &bits, sizeof value);
        else
            value = T(bits);
        return {name, offset, bytes, [=](RuFrameInfo &i) { member(i) = value; }};
    }
}

// FIELD(offset, expression of `i`, a RuFrameInfo): the row's name is the expression.
#define FIELD(offset, expression)                                                               \
    infoField<std::remove_reference_t<decltype(std::declval<RuFrameInfo &>().expression)>>(   \
        #expression, offset, [=](RuFrameInfo &i) -> auto & { return i.expression; })

const QVector<InfoField> &infoFields()
{
    static const QVector<InfoField> fields = [] {
        QVector<InfoField> f{
            FIELD(0, seconds), FIELD(4, microseconds), FIELD(8, rangegates), FIELD(10, profile),
            FIELD(42, name), FIELD(74, flags), FIELD(76, gmtOffset), FIELD(80, antenna),
            FIELD(82, mode), FIELD(84, prf), FIELD(86, range), FIELD(88, blindRange),
            FIELD(90, rangegateWidth), FIELD(92, amplitude), FIELD(96, compressionLength),
            FIELD(98, txDelay), FIELD(100, pulseDelay), FIELD(102, polarity),
            FIELD(104, glidingMean), FIELD(108, frequency), FIELD(112, integrate),
            FIELD(114, combine), FIELD(116, loops), FIELD(118, averagedSpectra),
            FIELD(120, rxTxStart), FIELD(122, rxTxEnd), FIELD(124, corStart), FIELD(126, corEnd),
            FIELD(128, paStart), FIELD(130, paEnd), FIELD(132, prfGates), FIELD(134, blindGates),
            FIELD(136, divider), FIELD(138, rxStart), FIELD(140, rxEnd),
            FIELD(148, processingSeconds), FIELD(152, processingMicroseconds),
            FIELD(156, processingGmtOffset), FIELD(160, temperaturePc),
            FIELD(164, temperatureInside), FIELD(168, temperatureOutside),
            FIELD(172, temperatureModules[0]), FIELD(176, temperatureModules[1]),
            FIELD(180, temperatureModules[2]), FIELD(184, power), FIELD(188, supplyMillivolts[0]),
            FIELD(192, supplyMillivolts[1]), FIELD(196, supplyMillivolts[2]),
            FIELD(200, firmwareVersion), FIELD(204, hardwareVersion),
            FIELD(208, rangegateWidthMm), FIELD(212, pllStates),
            FIELD(512, processParameters->bgLength), FIELD(514, processParameters->bgDelay),
            FIELD(516, processParameters->avgTime), FIELD(518, processParameters->avgSpectrum),
            FIELD(520, processParameters->toWardSearch), FIELD(522, processParameters->liveChBegin),
            FIELD(524, processParameters->liveChEnd),
            FIELD(526, processParameters->liveVelocitySource),
            FIELD(528, processParameters->liveVelocityLowLimit),
            FIELD(806, processParameters->waterlevel->rangegate),
            FIELD(808, processParameters->waterlevel->thresholdAlarmOn),
            FIELD(812, processParameters->waterlevel->thresholdAlarmOff),
            FIELD(816, processParameters->waterlevel->thresholdIncidentOn),
            FIELD(820, processParameters->waterlevel->thresholdIncidentOff),
            FIELD(824, processParameters->waterlevel->chBegin),
            FIELD(826, processParameters->waterlevel->chWidth),
            FIELD(828, processParameters->waterlevel->samples),
            FIELD(846, processParameters->rain->avgTime),
            FIELD(848, processParameters->rain->avgSpectrum),
            FIELD(852, processParameters->rain->rangegatesToIgnore),
            FIELD(868, processParameters->rain->thresholdAlarmOn),
            FIELD(872, processParameters->rain->thresholdAlarmOff),
            FIELD(876, processParameters->rain->chBegin), FIELD(878, processParameters->rain->chWidth),
            FIELD(880, processParameters->rain->bgFrameDelay)};
        for (int k = 0; k < 3; ++k) {
            const int b = 540 + 88 * k;
            f << FIELD(b + 1, processParameters->avalanche[k]->preAlarmSameRgs)
              << FIELD(b + 2, processParameters->avalanche[k]->lengthMin)
              << FIELD(b + 4, processParameters->avalanche[k]->perColMin)
              << FIELD(b + 6, processParameters->avalanche[k]->perRowMin)
              << FIELD(b + 8, processParameters->avalanche[k]->borderLeft)
              << FIELD(b + 10, processParameters->avalanche[k]->borderRight)
              << FIELD(b + 12, processParameters->avalanche[k]->sumPerRowMin)
              << FIELD(b + 16, processParameters->avalanche[k]->sumSumMin)
              << FIELD(b + 20, processParameters->avalanche[k]->thresholdOn)
              << FIELD(b + 24, processParameters->avalanche[k]->thresholdOff)
              << FIELD(b + 28, processParameters->avalanche[k]->rangegatesToIgnore)
              << FIELD(b + 44, processParameters->avalanche[k]->rangegatesSpecial)
              << FIELD(b + 60, processParameters->avalanche[k]->rangegatesNoAlarm);
        }
        for (InfoField &field : f)
            field.name.replace("[k]", QByteArray::number((field.offset - 540) / 88).prepend('[').append(']'));
        return f;
    }();
    return fields;
}

#undef FIELD

// A block whose process parameters and detector blocks are all present and zero: every
// field then shows as itself alone.
RuFrameInfo allBlocksPresent()
{
    RuFrameInfo i;
    i.processParameters.emplace();
    for (auto &a : i.processParameters->avalanche)
        a.emplace();
    i.processParameters->waterlevel.emplace();
    i.processParameters->rain.emplace();
    return i;
}

QByteArray encoded(const RuFrameInfo &info)
{
    QByteArray block(RRD_INFO_SIZE, '\x77');
    info.encode(reinterpret_cast<unsigned char *>(block.data()));
    return block;
}

RuFrameInfo decoded(const QByteArray &block)
{
    return RuFrameInfo::decode(reinterpret_cast<const unsigned char *>(block.constData()));
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void copiesShareUntilWritten();
    void nullFrameAnswersEmpty();
    void toMatrixConvertsLikeUnsignedToFloat();
    void timeComesFromStampOrInfo_data();
    void timeComesFromStampOrInfo();
    void frameTravelsAsMetaType();

    void streamAddressExpression_data();
    void streamAddressExpression();
    void writesAndReadsEveryFormat_data();
    void writesAndReadsEveryFormat();
    void pathsKeepTheirCharacters();
    void convertsBetweenFormats_data();
    void convertsBetweenFormats();
    void appendAddsToPlainFile();
    void frameCountKnownOnlyForPlainFiles();
    void corruptFrameIsAnErrorNotAnEnd();

    void simulatorIsDeterministic();
    void simulatorClutterAndNoise();
    void avalancheApproachesOnOneSide();
    void rainRaisesEveryRangegateSymmetrically();
    void waterLevelRaisesOneRangegateSlowly();
    void processParametersDescribeDetectors();

    void infoFieldsSitAtTheirOffsets_data();
    void infoFieldsSitAtTheirOffsets();
    void infoBlockMarksWhatIsPresent();
    void simulatedBlocksRoundTrip_data();
    void simulatedBlocksRoundTrip();

    void streamDeliversWholeFramesUntilPeerCloses();
    void receiveTimeoutIsNotAnEnd();
    void clientLeavingDoesNotDisturbOthers();
    void slowClientMissesWholeFramesOnly();

    void cliSimulateThenInfo_data();
    void cliSimulateThenInfo();
    void cliSimulateToStandardOutput();
    void cliInfoReportsReadError();
    void cliBadUsageExitsWithTwo_data();
    void cliBadUsageExitsWithTwo();
    void cliServeThenInfo();

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
};

void TestFrames::initTestCase()
{
    QVERIFY(m_dir.isValid());
    RuFrame::registerMetaType();
}

void TestFrames::copiesShareUntilWritten()
{
    const RuSimulator sim(scenario(RuScenario::Quiet, 1));
    RuFrame a = sim.frame(0);
    const RuFrame b = a;
    QCOMPARE(qAsConst(a).rowData(3), b.rowData(3)); // const access: one shared record
    const quint32 before = b.value(3, 7);
    rrd_put_u32(a.rowData(3) + 4 * 7, before + 1); // non-const access detaches a
    QCOMPARE(a.value(3, 7), before + 1);
    QCOMPARE(b.value(3, 7), before);
    QVERIFY(a.record() != b.record());
    QCOMPARE(a.rows(), b.rows());
    QCOMPARE(frameBytes(a).size(), frameBytes(b).size());
}

void TestFrames::nullFrameAnswersEmpty()
{
    const RuFrame f;
    QVERIFY(f.isNull());
    QVERIFY(!f.isValid());
    QCOMPARE(f.rows(), 0);
    QVERIFY(!f.rowData(0));
    QVERIFY(!f.hasInfo());
    QVERIFY(!f.hasProcessParameters());
    QCOMPARE(f.info(), RuFrameInfo());
    QVERIFY(!f.hasStamp());
    QCOMPARE(f.timeMicros(), qint64(0));
    QCOMPARE(f.toMatrix().rows(), 0);
    const RuFrame empty(rrd_frame_new(RRD_FORMAT_RAW, 0));
    QVERIFY(!empty.isNull());
    QCOMPARE(empty.toMatrix().rows(), 0);
}

void TestFrames::toMatrixConvertsLikeUnsignedToFloat()
{
    RuFrame f(rrd_frame_new(RRD_FORMAT_STAMPED, 2)); // records at an odd offset
    const quint32 values[] = {0u, 1u, 16777217u, 4294967295u, 123456789u};
    for (int i = 0; i < 5; ++i)
        rrd_put_u32(f.rowData(1) + 4 * (1019 + i), values[i]);
    const RuMatrix m = f.toMatrix();
    QCOMPARE(m.rows(), 2);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(m(1, 1019 + i), static_cast<float>(values[i]));
    QCOMPARE(m(1, 1021), 16777216.0f); // 2^24 + 1 rounds to nearest even
    QCOMPARE(m(0, 0), 0.0f);
}

void TestFrames::timeComesFromStampOrInfo_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("stamped");
    QTest::newRow("raw") << int(RRD_FORMAT_RAW) << false;
    QTest::newRow("stamped") << int(RRD_FORMAT_STAMPED) << true;
    QTest::newRow("rrd0") << int(RRD_FORMAT_RRD0) << true;
}

void TestFrames::timeComesFromStampOrInfo()
{
    QFETCH(int, format);
    QFETCH(bool, stamped);
    RuSimulatorOptions o = scenario(RuScenario::Quiet, 10, format);
    o.startMicros = 1700000000LL * 1000000 + 250000;
    o.intervalMs = 1500;
    const RuFrame f = RuSimulator(o).frame(3);
    QCOMPARE(f.hasStamp(), stamped);
    QCOMPARE(f.hasInfo(), format == RRD_FORMAT_RRD0);
    QCOMPARE(f.timeMicros(), stamped ? o.startMicros + 4500000 : qint64(0));
}

void TestFrames::frameTravelsAsMetaType()
{
    QCOMPARE(QMetaType::type("RuFrame"), qMetaTypeId<RuFrame>());
    const RuFrame f = RuSimulator(scenario(RuScenario::Quiet, 1)).frame(0);
    const QVariant v = QVariant::fromValue(f);
    const RuFrame back = v.value<RuFrame>();
    QCOMPARE(back.record(), f.record());
}

void TestFrames::streamAddressExpression_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("stream");
    QTest::addColumn<QString>("host");
    QTest::newRow("dotted address") << "192.168.1.20:1023" << true << "192.168.1.20";
    QTest::newRow("dotted host name") << "radar.example.net:8000" << true << "radar.example.net";
    QTest::newRow("plain host") << "localhost:10231" << true << "localhost";
    QTest::newRow("underscore host") << "radar_2:1" << true << "radar_2";
    QTest::newRow("drive letter path") << "C:\\data\\a.rrd0" << false << "";
    QTest::newRow("drive letter digits") << "C:\\1" << false << "";
    QTest::newRow("no port") << "192.168.1.20" << false << "";
    QTest::newRow("trailing colon") << "radar:" << false << "";
    QTest::newRow("hyphenated host") << "radar-1:1023" << false << "";
    QTest::newRow("port with letters") << "radar:10a" << false << "";
    QTest::newRow("path with colon") << "/tmp/x:1" << false << "";
    QTest::newRow("empty") << "" << false << "";
}

void TestFrames::streamAddressExpression()
{
    QFETCH(QString, name);
    QFETCH(bool, stream);
    QFETCH(QString, host);
    QString h;
    QCOMPARE(RuFile::isStreamAddress(name, &h), stream);
    if (stream)
        QCOMPARE(h, host);
    // A name that is no stream address is opened as a path: a missing file, not a connection.
    if (!stream && !name.isEmpty()) {
        RuFile f(name, 'r');
        QVERIFY(!f.isStream());
        QVERIFY(!f.isOpen());
    }
}

void TestFrames::writesAndReadsEveryFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("name");
    for (const char *ext : {"", ".gz"}) {
        QTest::newRow(qPrintable(QStringLiteral("raw%1").arg(QLatin1String(ext))))
            << int(RRD_FORMAT_RAW) << QStringLiteral("a.raw%1").arg(QLatin1String(ext));
        QTest::newRow(qPrintable(QStringLiteral("stamped%1").arg(QLatin1String(ext))))
            << int(RRD_FORMAT_STAMPED) << QStringLiteral("a.rrd%1").arg(QLatin1String(ext));
        QTest::newRow(qPrintable(QStringLiteral("rrd0%1").arg(QLatin1String(ext))))
            << int(RRD_FORMAT_RRD0) << QStringLiteral("a.rrd0%1").arg(QLatin1String(ext));
    }
}

void TestFrames::writesAndReadsEveryFormat()
{
    QFETCH(int, format);
    QFETCH(QString, name);
    const RuSimulator sim(scenario(RuScenario::Avalanche, 5, format));
    QString error;
    QVERIFY2(sim.writeRecording(path(name), &error), qPrintable(error));

    RuFile in(path(name), 'r');
    QVERIFY(in.isOpen());
    for (int i = 0; i < 5; ++i) {
        RuFrame f;
        QVERIFY2(in.readFrame(f), qPrintable(in.errorString()));
        QCOMPARE(frameBytes(f), frameBytes(sim.frame(i)));
        QCOMPARE(f.record()->number, quint32(i));
    }
    QCOMPARE(in.format(), format);
    QCOMPARE(in.rangegates(), 20);
    RuFrame after;
    QVERIFY(!in.readFrame(after));
    QVERIFY(in.atEnd());
    QVERIFY(after.isNull());
}

void TestFrames::pathsKeepTheirCharacters()
{
    const RuSimulator sim(scenario(RuScenario::Quiet, 2));
    for (const QString &name : {QStringLiteral("M\u00e4rz.rrd0"), QStringLiteral("\u041b\u0430\u0432\u0438\u043d\u0430.rrd0.gz")}) {
        QVERIFY(sim.writeRecording(path(name)));
        QVERIFY(QFile::exists(path(name)));
        RuFile in(path(name), 'r');
        RuFrame f;
        QVERIFY2(in.readFrame(f), qPrintable(in.errorString()));
        QCOMPARE(frameBytes(f), frameBytes(sim.frame(0)));
    }
}

void TestFrames::convertsBetweenFormats_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("rrd0 to raw") << int(RRD_FORMAT_RRD0) << int(RRD_FORMAT_RAW);
    QTest::newRow("rrd0 to stamped") << int(RRD_FORMAT_RRD0) << int(RRD_FORMAT_STAMPED);
    QTest::newRow("stamped to raw") << int(RRD_FORMAT_STAMPED) << int(RRD_FORMAT_RAW);
}

// The first frame written fixes the sink's format; later frames are converted to it.
void TestFrames::convertsBetweenFormats()
{
    QFETCH(int, from);
    QFETCH(int, to);
    const RuSimulator target(scenario(RuScenario::Quiet, 3, to));
    const RuSimulator source(scenario(RuScenario::Quiet, 3, from));
    {
        RuFile out(path(QStringLiteral("conv.rrd")), 'w');
        QCOMPARE(out.writeFrame(target.frame(0)), 0);
        QCOMPARE(out.writeFrame(source.frame(1)), 0);
        QCOMPARE(out.writeFrame(source.frame(2)), 0);
        QCOMPARE(out.position(), quint32(3));
    }
    RuFile in(path(QStringLiteral("conv.rrd")), 'r');
    for (int i = 0; i < 3; ++i) {
        RuFrame f;
        QVERIFY2(in.readFrame(f), qPrintable(in.errorString()));
        QCOMPARE(f.toMatrix(), target.frame(i).toMatrix());
        QCOMPARE(f.timeMicros(), target.frame(i).timeMicros());
    }
    QCOMPARE(in.format(), to);
}

void TestFrames::appendAddsToPlainFile()
{
    const RuSimulator sim(scenario(RuScenario::Quiet, 4));
    const QString name = path(QStringLiteral("append.rrd0"));
    QFile::remove(name);
    for (int i = 0; i < 4; ++i) {
        RuFile out(name, 'a');
        QCOMPARE(out.writeFrame(sim.frame(i)), 0);
    }
    RuFile in(name, 'r');
    RuFrame f;
    QVERIFY(in.readFrame(f));
    QCOMPARE(in.frameCount(), 4);
    QCOMPARE(in.seek(3), 0);
    QVERIFY(in.readFrame(f));
    QCOMPARE(frameBytes(f), frameBytes(sim.frame(3)));
}

void TestFrames::frameCountKnownOnlyForPlainFiles()
{
    const RuSimulator sim(scenario(RuScenario::Quiet, 10));
    QVERIFY(sim.writeRecording(path(QStringLiteral("count.rrd0"))));
    QVERIFY(sim.writeRecording(path(QStringLiteral("count.rrd0.gz"))));

    RuFile plain(path(QStringLiteral("count.rrd0")), 'r');
    QCOMPARE(plain.frameCount(), 0); // format not yet known
    RuFrame f;
    QVERIFY(plain.readFrame(f));
    QCOMPARE(plain.frameCount(), 10);

    RuFile gz(path(QStringLiteral("count.rrd0.gz")), 'r');
    QVERIFY(gz.readFrame(f));
    QCOMPARE(gz.frameCount(), 0);

    RuFile fresh(path(QStringLiteral("fresh.rrd0")), 'w');
    QVERIFY(fresh.isOpen());
    QCOMPARE(fresh.frameCount(), 0);

    ServerThread server(scenario(RuScenario::Quiet, 3), 200.0);
    QVERIFY(server.listening());
    RuFile stream;
    stream.open(server.address(), 'r', 5);
    QVERIFY(stream.isStream());
    QVERIFY(stream.readFrame(f));
    QCOMPARE(stream.frameCount(), 0);
}

void TestFrames::corruptFrameIsAnErrorNotAnEnd()
{
    const RuSimulator sim(scenario(RuScenario::Quiet, 3));
    QVERIFY(sim.writeRecording(path(QStringLiteral("bad.rrd0"))));
    {
        QFile file(path(QStringLiteral("bad.rrd0")));
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 frameSize = rrd_frame_size(RRD_FORMAT_RRD0, 20);
        file.seek(frameSize + 4 + RRD_INFO_SIZE + 5 * RRD_RANGEGATE_SIZE);
        unsigned char number[4];
        rrd_put_s32(number, 9); // range gate 5 claims to be 9
        file.write(reinterpret_cast<const char *>(number), 4);
    }
    RuFile in(path(QStringLiteral("bad.rrd0")), 'r');
    RuFrame f;
    QVERIFY(in.readFrame(f));
    RuFrame bad;
    QVERIFY(!in.readFrame(bad));
    QVERIFY(bad.isNull());
    QVERIFY(!in.isOpen());
    QVERIFY(!in.atEnd());
    QCOMPARE(in.errorString(), QStringLiteral("rangegate numbers not correctly numbered"));
    in.close(); // keeps a handle in error: the reason stays readable
    QCOMPARE(in.errorString(), QStringLiteral("rangegate numbers not correctly numbered"));
}

void TestFrames::simulatorIsDeterministic()
{
    RuSimulatorOptions o = scenario(RuScenario::Mixed, 400);
    o.processParams = true;
    const RuSimulator a(o), b(o);
    o.seed = 2;
    const RuSimulator c(o);
    for (int i : {0, 57, 399, 230}) // random access in any order
        QCOMPARE(frameBytes(a.frame(i)), frameBytes(b.frame(i)));
    QVERIFY(frameBytes(a.frame(5)) != frameBytes(c.frame(5)));
    QVERIFY(frameBytes(a.frame(5)) != frameBytes(a.frame(6)));
    // Past the end the scenario repeats with fresh noise and running time.
    QCOMPARE(a.frame(400).timeMicros(), a.frame(399).timeMicros() + 1000000);
    QVERIFY(frameBytes(a.frame(400)) != frameBytes(a.frame(0)));

    o.frames = 30;
    QVERIFY(RuSimulator(o).writeRecording(path(QStringLiteral("d1.rrd0"))));
    QVERIFY(RuSimulator(o).writeRecording(path(QStringLiteral("d2.rrd0"))));
    QFile f1(path(QStringLiteral("d1.rrd0"))), f2(path(QStringLiteral("d2.rrd0")));
    QVERIFY(f1.open(QIODevice::ReadOnly) && f2.open(QIODevice::ReadOnly));
    QCOMPARE(f1.size(), qint64(30) * rrd_frame_size(RRD_FORMAT_RRD0, 20));
    QVERIFY(f1.readAll() == f2.readAll());
}

void TestFrames::simulatorClutterAndNoise()
{
    const RuSimulator sim(scenario(RuScenario::Quiet, 2));
    const RuMatrix m = sim.frame(1).toMatrix();
    for (int r = 0; r < m.rows(); ++r) {
        const float peak = m(r, 0);
        const float floor = m.row(r).segment(400, 200).mean();
        QVERIFY(peak > 1000 * floor);
        QVERIFY(m(r, 1) > 10 * floor);    // spreads to both neighbours,
        QVERIFY(m(r, 1023) > 10 * floor); // 1023 being one of them
        QVERIFY(m(r, 1) < peak && m(r, 1023) < peak);
        QVERIFY(m.row(r).segment(400, 200).minCoeff() > 0.5f * floor);
        QVERIFY(m.row(r).segment(400, 200).maxCoeff() < 1.5f * floor);
        QVERIFY(m.row(r).segment(400, 200).maxCoeff() > m.row(r).segment(400, 200).minCoeff());
    }
}

void TestFrames::avalancheApproachesOnOneSide()
{
    const RuSimulator sim(scenario(RuScenario::Avalanche, 300));
    const RuSimulator::Span span = sim.timeline().avalanche;
    QVERIFY(!span.isEmpty());
    QVERIFY(span.begin >= 40); // room for a background first
    const RuMatrix quiet = sim.frame(span.begin - 1).toMatrix();
    int previousNear = -1;
    for (int i = span.begin; i < span.begin + 8; ++i) {
        const RuMatrix m = sim.frame(i).toMatrix();
        QList<int> raised;
        for (int r = 0; r < m.rows(); ++r) {
            const double approaching = windowMean(m, r, 200, 340) / windowMean(quiet, r, 200, 340);
            const double receding = windowMean(m, r, 684, 824) / windowMean(quiet, r, 684, 824);
            QVERIFY2(receding < 1.1, "the mirror side stays quiet");
            if (approaching > 2.0)
                raised << r;
        }
        QVERIFY2(raised.size() >= 2, qPrintable(QStringLiteral("frame %1").arg(i)));
        QCOMPARE(raised.last() - raised.first() + 1, raised.size()); // neighbouring gates
        if (previousNear >= 0)
            QCOMPARE(raised.first(), previousNear - 1); // one range gate closer per frame
        previousNear = raised.first();
    }
    QVERIFY(previousNear < 20 - 8);
    const RuMatrix after = sim.frame(span.end).toMatrix();
    for (int r = 0; r < after.rows(); ++r)
        QVERIFY(windowMean(after, r, 200, 340) / windowMean(quiet, r, 200, 340) < 1.1);
}

void TestFrames::rainRaisesEveryRangegateSymmetrically()
{
    const RuSimulator sim(scenario(RuScenario::Rain, 300));
    const RuSimulator::Span span = sim.timeline().rain;
    QVERIFY(!span.isEmpty());
    const RuMatrix quiet = sim.frame(span.begin - 1).toMatrix();
    const RuMatrix wet = sim.frame((span.begin + span.end) / 2).toMatrix();
    for (int r = 0; r < wet.rows(); ++r) {
        const double low = windowMean(wet, r, 20, 80) / windowMean(quiet, r, 20, 80);
        const double high = windowMean(wet, r, 944, 1004) / windowMean(quiet, r, 944, 1004);
        QVERIFY(low > 1.5 && high > 1.5);
        QVERIFY(qAbs(low - high) < 0.1);
        QVERIFY(windowMean(wet, r, 200, 800) / windowMean(quiet, r, 200, 800) < 1.05);
    }
}

void TestFrames::waterLevelRaisesOneRangegateSlowly()
{
    const RuSimulator sim(scenario(RuScenario::WaterLevel, 600));
    const RuSimulator::Span span = sim.timeline().waterLevel;
    QVERIFY(span.end - span.begin >= 100);
    const RuMatrix quiet = sim.frame(span.begin - 1).toMatrix();
    double previous = 1.0;
    double highest = 0.0;
    for (int i = span.begin; i < span.end; i += 10) {
        const RuMatrix m = sim.frame(i).toMatrix();
        const double level = windowMean(m, 2, 100, 300) / windowMean(quiet, 2, 100, 300);
        QVERIFY2(qAbs(level - previous) < 0.6, "changes slowly");
        previous = level;
        highest = std::max(highest, level);
        for (int r : {1, 3, 10})
            QVERIFY(windowMean(m, r, 100, 300) / windowMean(quiet, r, 100, 300) < 1.05);
    }
    QVERIFY(highest > 3.0);
}

void TestFrames::processParametersDescribeDetectors()
{
    RuSimulatorOptions o = scenario(RuScenario::WaterLevel, 10);
    const RuFrame plain = RuSimulator(o).frame(0);
    QVERIFY(!plain.hasProcessParameters());
    QVERIFY(!plain.info().processParameters);
    o.processParams = true;
    const RuSimulator sim(o);
    const RuFrame f = sim.frame(0);
    QVERIFY(f.hasProcessParameters());
    const RuFrameInfo info = f.info();
    QCOMPARE(info.rangegates, quint16(20));
    QCOMPARE(char(info.antenna), 'A');
    QVERIFY(info.prf > 0);
    QVERIFY(info.rangegateWidthMm > 0);
    const RuProcessParameters &pp = *info.processParameters;
    for (const auto &avalanche : pp.avalanche)
        QVERIFY(avalanche);
    QVERIFY(pp.waterlevel && pp.rain);
    // The water-level thresholds sit between the quiet level and the raised one.
    const double quiet = sim.quietWindowSum(pp.waterlevel->rangegate, pp.waterlevel->chBegin,
                                            pp.waterlevel->chWidth);
    QVERIFY(pp.waterlevel->thresholdIncidentOn > 1.2 * quiet);
    QVERIFY(pp.waterlevel->thresholdAlarmOn < 3.5 * quiet);
    QCOMPARE(rrd_frame_check(f.record()), 0);
}

void TestFrames::infoFieldsSitAtTheirOffsets_data()
{
    QTest::addColumn<int>("field");
    for (int n = 0; n < infoFields().size(); ++n)
        QTest::newRow(infoFields()[n].name.constData()) << n;
}

void TestFrames::infoFieldsSitAtTheirOffsets()
{
    QFETCH(int, field);
    const InfoField &f = infoFields()[field];
    const RuFrameInfo base = allBlocksPresent();
    RuFrameInfo value = base;
    f.set(value);
    QVERIFY(value != base); // the field takes part in comparisons
    QByteArray expected = encoded(base);
    expected.replace(f.offset, f.bytes.size(), f.bytes);
    QCOMPARE(encoded(value), expected);
    QCOMPARE(decoded(expected), value);
}

void TestFrames::infoBlockMarksWhatIsPresent()
{
    QCOMPARE(encoded(RuFrameInfo()), QByteArray(RRD_INFO_SIZE, '\0'));
    QByteArray marks(RRD_INFO_SIZE, '\0');
    for (int offset : {508, 540, 540 + 88, 540 + 176, 804, 844})
        marks[offset] = 1;
    QCOMPARE(encoded(allBlocksPresent()), marks);
    QCOMPARE(decoded(marks), allBlocksPresent());
    // Only a present-mark of exactly 1 counts; a detector block counts when non-zero.
    marks[508] = 2;
    QVERIFY(!decoded(marks).processParameters);
    marks[508] = 1;
    marks[540] = char(0xff);
    marks[804] = 0;
    const RuFrameInfo some = decoded(marks);
    QVERIFY(some.processParameters->avalanche[0] && !some.processParameters->waterlevel);
}

void TestFrames::simulatedBlocksRoundTrip_data()
{
    QTest::addColumn<int>("scene");
    QTest::addColumn<bool>("processParams");
    for (const QString &name : RuSimulatorOptions::scenarioNames()) {
        RuSimulatorOptions o;
        o.setScenario(name);
        QTest::addRow("%s", qPrintable(name)) << int(o.scenario) << false;
        QTest::addRow("%s, process parameters", qPrintable(name)) << int(o.scenario) << true;
    }
}

void TestFrames::simulatedBlocksRoundTrip()
{
    QFETCH(int, scene);
    QFETCH(bool, processParams);
    RuSimulatorOptions o = scenario(RuScenario(scene), 120);
    o.processParams = processParams;
    const RuSimulator sim(o);
    for (int index : {0, 45, 119, 500}) {
        const RuFrame frame = sim.frame(index);
        const QByteArray block(reinterpret_cast<const char *>(frame.record()->info), RRD_INFO_SIZE);
        const RuFrameInfo value = decoded(block);
        QCOMPARE(frame.info(), value);
        QCOMPARE(frame.hasProcessParameters(), processParams);
        QCOMPARE(value, sim.frameInfo(index));
        const QByteArray again = encoded(value);
        QCOMPARE(again.left(RRD_INFO_USED), block.left(RRD_INFO_USED));
        QCOMPARE(again.mid(RRD_INFO_USED), QByteArray(RRD_INFO_SIZE - RRD_INFO_USED, '\0'));
        QCOMPARE(decoded(again), value);
    }
}

void TestFrames::streamDeliversWholeFramesUntilPeerCloses()
{
    const RuSimulatorOptions o = scenario(RuScenario::Avalanche, 6);
    ServerThread server(o, 200.0);
    QVERIFY(server.listening());
    RuFile in;
    in.open(server.address(), 'r', 10);
    QVERIFY(in.isOpen());
    const RuSimulator sim(o);
    for (int i = 0; i < 6; ++i) {
        RuFrame f;
        QVERIFY2(in.readFrame(f), qPrintable(in.errorString()));
        QCOMPARE(frameBytes(f), frameBytes(sim.frame(i)));
    }
    RuFrame f;
    QVERIFY(!in.readFrame(f));
    QVERIFY(in.atEnd());
}

void TestFrames::receiveTimeoutIsNotAnEnd()
{
    ServerThread server(scenario(RuScenario::Quiet, 100), 0.05); // one frame, then 20 s silence
    QVERIFY(server.listening());
    const QByteArray port = server.address().section(QLatin1Char(':'), 1).toLatin1();
    std::unique_ptr<rrd_file, void (*)(rrd_file *)> h(rrd_connect("127.0.0.1", port.constData()),
                                                     rrd_free);
    QVERIFY(rrd_is_open(h.get()));
    QCOMPARE(rrd_set_timeout(h.get(), 1), 0);
    std::unique_ptr<rrd_frame, void (*)(rrd_frame *)> frame(rrd_frame_new(RRD_FORMAT_NONE, 0),
                                                             rrd_frame_free);
    QCOMPARE(rrd_read_frame(h.get(), frame.get()), 0);
    QCOMPARE(rrd_read_frame(h.get(), frame.get()), -1);
    QVERIFY(!rrd_ok(h.get()));
    QCOMPARE(rrd_eof(h.get()), 0);
    // Asking changes nothing: the time-out is still what the handle says.
    QVERIFY(!rrd_ok(h.get()));
    QCOMPARE(rrd_errno(h.get()), int(RRD_ERR_TIMEOUT));
}

void TestFrames::clientLeavingDoesNotDisturbOthers()
{
    ServerThread server(scenario(RuScenario::Quiet, 1000), 100.0, true);
    QVERIFY(server.listening());
    auto leaving = std::make_unique<RuFile>();
    leaving->open(server.address(), 'r', 10);
    RuFile staying;
    staying.open(server.address(), 'r', 10);
    RuFrame f;
    QVERIFY(leaving->readFrame(f));
    leaving.reset();
    qint64 previous = 0;
    for (int i = 0; i < 20; ++i) {
        QVERIFY2(staying.readFrame(f), qPrintable(staying.errorString()));
        if (i)
            QCOMPARE(f.timeMicros() - previous, qint64(1000000)); // no frame lost
        previous = f.timeMicros();
    }
}

void TestFrames::slowClientMissesWholeFramesOnly()
{
    RuSimulatorOptions o = scenario(RuScenario::Quiet, 1000);
    o.rangegates = 128; // half a megabyte per frame fills the socket buffers quickly
    ServerThread server(o, 200.0, true, rrd_frame_size(RRD_FORMAT_RRD0, 128));
    QVERIFY(server.listening());
    RuFile slow;
    slow.open(server.address(), 'r', 10);
    RuFile fast;
    fast.open(server.address(), 'r', 10);
    RuFrame f;
    for (int i = 0; i < 80; ++i) // meanwhile the slow client reads nothing
        QVERIFY2(fast.readFrame(f), qPrintable(fast.errorString()));
    qint64 previous = 0;
    bool skipped = false;
    for (int i = 0; i < 80 && !skipped; ++i) {
        QVERIFY2(slow.readFrame(f), qPrintable(slow.errorString())); // checked whole frames
        const qint64 step = f.timeMicros() - previous;
        if (i) {
            QVERIFY(step > 0 && step % 1000000 == 0);
            skipped = step > 1000000;
        }
        previous = f.timeMicros();
    }
    QVERIFY(skipped);
}

void TestFrames::cliSimulateThenInfo_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("rrd0") << "rrd0" << "a.rrd0.gz" << "RRD0";
    QTest::newRow("raw") << "raw" << "a.raw.gz" << "RAW";
    QTest::newRow("stamped") << "stamped" << "a.rrd" << "STAMPED";
}

void TestFrames::cliSimulateThenInfo()
{
    QFETCH(QString, format);
    QFETCH(QString, name);
    QFETCH(QString, shown);
    const Run sim = runRrdcli({"simulate", "--scenario", "avalanche", "--frames", "60",
                               "--rangegates", "6", "--format", format, "--start",
                               "2024-03-01T10:00:00Z", "-o", path(name)});
    QVERIFY2(sim.exitCode == 0, sim.err.constData());
    const Run info = runRrdcli({"info", path(name)});
    QVERIFY2(info.exitCode == 0, info.err.constData());
    QCOMPARE(infoValue(info.out, "source"), path(name));
    QCOMPARE(infoValue(info.out, "format"), shown);
    QCOMPARE(infoValue(info.out, "range gates"), QStringLiteral("6"));
    QCOMPARE(infoValue(info.out, "frames"), QStringLiteral("60"));
    const bool timed = format != QLatin1String("raw");
    QCOMPARE(infoValue(info.out, "first frame"),
             timed ? QStringLiteral("2024-03-01 10:00:00.000 UTC") : QStringLiteral("-"));
    QCOMPARE(infoValue(info.out, "last frame"),
             timed ? QStringLiteral("2024-03-01 10:00:59.000 UTC") : QStringLiteral("-"));
    QCOMPARE(infoValue(info.out, "duration"),
             timed ? QStringLiteral("00:00:59.000 (59.000 s)") : QStringLiteral("-"));
    const Run limited = runRrdcli({"info", "--max-frames", "7", path(name), path(name)});
    QCOMPARE(limited.exitCode, 0);
    QCOMPARE(limited.out.count("frames:       7\n"), 2);
}

void TestFrames::cliSimulateToStandardOutput()
{
    QProcess p;
    p.start(rrdcliPath(), {"simulate", "--frames", "3", "--seed", "9", "-o", "-"});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    RuSimulatorOptions o = scenario(RuScenario::Quiet, 3);
    o.seed = 9;
    const RuSimulator sim(o);
    const QByteArray expected = frameBytes(sim.frame(0)) + frameBytes(sim.frame(1))
                                + frameBytes(sim.frame(2));
    QVERIFY(p.readAllStandardOutput() == expected);
}

void TestFrames::cliInfoReportsReadError()
{
    const RuSimulator sim(scenario(RuScenario::Quiet, 2));
    const QString name = path(QStringLiteral("info-bad.rrd0"));
    {
        RuFile out(name, 'w');
        RuFrame first = sim.frame(0);
        QCOMPARE(out.writeFrame(first), 0);
        RuFrame second = sim.frame(1);
        second.rowData(0)[-4] = 7; // range gate 0 numbered 7
        QCOMPARE(out.writeFrame(second), 0);
    }
    const Run info = runRrdcli({"info", name, path(QStringLiteral("missing.rrd0"))});
    QCOMPARE(info.exitCode, 1);
    QCOMPARE(infoValue(info.out, "frames"), QStringLiteral("1"));
    QVERIFY(info.out.contains("rangegate numbers not correctly numbered"));
    QVERIFY(info.err.contains("rangegate numbers not correctly numbered"));
    QVERIFY(info.err.contains("No such file or directory"));
}

void TestFrames::cliBadUsageExitsWithTwo_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"frobnicate"};
    QTest::newRow("simulate without output") << QStringList{"simulate", "--frames", "3"};
    QTest::newRow("simulate bad frames") << QStringList{"simulate", "--frames", "x", "-o", "/dev/null"};
    QTest::newRow("simulate bad scenario") << QStringList{"simulate", "--scenario", "flood", "-o", "/dev/null"};
    QTest::newRow("simulate bad format") << QStringList{"simulate", "--format", "zip", "-o", "/dev/null"};
    QTest::newRow("simulate bad start") << QStringList{"simulate", "--start", "yesterday", "-o", "/dev/null"};
    QTest::newRow("raw with parameters") << QStringList{"simulate", "--format", "raw", "--process-params", "-o", "/dev/null"};
    QTest::newRow("raw with too many gates") << QStringList{"simulate", "--format", "raw", "--rangegates", "130", "-o", "/dev/null"};
    QTest::newRow("unknown option") << QStringList{"info", "--frames", "3", "x"};
    QTest::newRow("info without source") << QStringList{"info"};
    QTest::newRow("info bad max") << QStringList{"info", "--max-frames", "0", "x"};
    QTest::newRow("serve with both") << QStringList{"serve", "--scenario", "quiet", "a.rrd0"};
    QTest::newRow("serve bad rate") << QStringList{"serve", "--scenario", "quiet", "--rate", "0"};
    QTest::newRow("serve bad port") << QStringList{"serve", "--scenario", "quiet", "--port", "70000"};
}

void TestFrames::cliBadUsageExitsWithTwo()
{
    QFETCH(QStringList, args);
    const Run run = runRrdcli(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(!run.err.isEmpty());
}

void TestFrames::cliServeThenInfo()
{
    ServeProcess serve({"--scenario", "quiet", "--rate", "100", "--rangegates", "8", "--loop"});
    QVERIFY(serve.port() != 0);
    const Run info = runRrdcli({"info", "--max-frames", "50", serve.address()});
    QVERIFY2(info.exitCode == 0, info.err.constData());
    QCOMPARE(infoValue(info.out, "frames"), QStringLiteral("50"));
    QCOMPARE(infoValue(info.out, "range gates"), QStringLiteral("8"));
    QCOMPARE(infoValue(info.out, "format"), QStringLiteral("RRD0"));
    QVERIFY(serve.stop()); // SIGTERM ends it cleanly
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
