// The detector engine's results pinned bit for bit: every field of every result and every
// matrix a packet derives from it, over simulated recordings, under settings that take each
// path of the frame pipeline (time and spectral averaging, the wide spectral average, the
// velocities from either matrix, detectors without live values and live values without
// detectors). Speeding the engine up must not change a single bit of what it reports.
//
// Each row compares a digest of the results with the one recorded when the results were last
// meant to change. Record anew only when a change of results is intended, by the engine or by
// the simulator's frames (never to make a failure pass):
// `SK_RECORD_DIGESTS=1 build/bin/tst_engine_results` prints every row's digest; paste them
// into digests() and say in the commit why the results changed.

#include "RuAlarmCalculator.h"
#include "RuSimulator.h"
#include "SkPacket.h"

#include <QCryptographicHash>
#include <QtTest>

#include <map>

namespace {

struct Setting
{
    int rangegates;
    int frames;
    int avgTime;
    int avgSpectrum;
    int bgDelay;
    int velocitySource;
    bool avalanche;
    bool live;
};

} // namespace

Q_DECLARE_METATYPE(Setting)

namespace {

// The digests recorded for the rows of TstEngineResults::resultsKeepEveryBit_data.
const std::map<QString, QByteArray> &digests()
{
    static const std::map<QString, QByteArray> recorded = {
        {QStringLiteral("radar settings, 20 RG"), "d9b4ecc7f1e04db04879344a42efde4c"},
        {QStringLiteral("radar settings, 128 RG"), "98972f133e2409f8d0a28b5b00a3357c"},
        {QStringLiteral("time average 3, radius 2"), "6cc09ef6751144bbcb160dc8903e496b"},
        {QStringLiteral("normalised velocities, radius 1"), "f27c84d394f9f3e0d2c963fc2e69f420"},
        {QStringLiteral("wide radius, delay 1"), "d8003785f25ba1e4582d59a682d43967"},
        {QStringLiteral("detectors only"), "0eaffb64f1ed1ba1de15254f20e4e4f6"},
        {QStringLiteral("live values only, normalised"), "24bd02bdd238d8573181b58a4e4a64c5"},
    };
    return recorded;
}

// The radar's own settings of the simulated scenes: each detector fires on its scenario.
RuAlarmCalculator calculatorFor(const Setting &s)
{
    RuAlarmCalculator calculator;
    RuAlarmParams general;
    general.bgLength = 10;
    general.bgDelay = s.bgDelay;
    general.avgTime = s.avgTime;
    general.avgSpectrum = s.avgSpectrum;
    general.liveVelocityLowLimit = 500.0f;
    general.liveVelocitySource = s.velocitySource;
    calculator.setAlarmParams(general);
    const RuAvalancheParams base;
    RuAvalancheParams intern = base;
    intern.thresholdOff = 2.0f;
    RuAvalancheParams external = base;
    external.borderLeft = external.borderRight = 40;
    external.thresholdOn = 3.0f;
    external.sumPerRowMin = 350.0f;
    external.sumSumMin = 1200.0f;
    external.rangegatesToIgnore = {0, 1};
    RuAvalancheParams big = intern;
    big.perColMin = 3;
    big.sumPerRowMin = 400.0f;
    big.sumSumMin = 2500.0f;
    const RuAvalancheParams avalanche[] = {intern, external, big};
    for (int k = 0; k < RuAlarmCalculator::Detectors; ++k) {
        calculator.setAvalancheParams(k, avalanche[k]);
        calculator.setAvalancheEnable(k, s.avalanche);
    }
    RuRainParams rain;
    rain.thresholdAlarmOn = 1.2f;
    rain.thresholdAlarmOff = 1.1f;
    rain.chBegin = 10;
    rain.chWidth = 80;
    rain.rangegatesToIgnore = {0};
    calculator.setRainParams(0, rain);
    calculator.setRainEnable(0, true);
    RuWaterlevelParams water;
    water.chBegin = 100;
    water.chWidth = 200;
    water.rangegate = 2;
    water.samples = 20;
    water.thresholdIncidentOn = 209131.8f;
    water.thresholdIncidentOff = 174276.5f;
    water.thresholdAlarmOn = 348553.0f;
    water.thresholdAlarmOff = 278842.4f;
    calculator.setWaterlevelParams(0, water);
    calculator.setWaterlevelEnable(0, true);
    const bool on = s.live;
    calculator.setLiveEnables({on, on, on, on, on});
    return calculator;
}

class Digest
{
public:
    template <typename T>
    void add(const T &value)
    {
        m_hash.addData(reinterpret_cast<const char *>(&value), int(sizeof(value)));
    }
    template <typename T>
    void add(const QVector<T> &values)
    {
        add(values.size());
        m_hash.addData(reinterpret_cast<const char *>(values.constData()),
                       int(sizeof(T) * size_t(values.size())));
    }
    void add(const RuAvalancheGroup &g)
    {
        add(g.first), add(g.last), add(g.count), add(g.peakRangegate), add(g.peak), add(g.summed);
        add(g.frame);
    }
    void add(const RuLastAlarm &l)
    {
        add(l.valid), add(l.alarmOnTime), add(l.alarmOnFrame), add(l.lastEventTime);
        add(l.lastEventFrame), add(l.alarmOffTime), add(l.alarmOffFrame), add(l.highestSumSum);
        add(l.highestSumSumTime), add(l.borderLeft), add(l.borderRight), add(l.summedSumSum);
        add(l.channelMaps.size());
        for (const QBitArray &map : l.channelMaps)
            add(map);
    }
    // Bit by bit: the unused bits of a QBitArray's last byte are not defined.
    void add(const QBitArray &bits)
    {
        QByteArray packed((bits.size() + 7) / 8, '\0');
        for (int i = 0; i < bits.size(); ++i) {
            if (bits.testBit(i))
                packed[i / 8] = char(packed[i / 8] | (1 << (i % 8)));
        }
        add(bits.size());
        m_hash.addData(packed);
    }
    void add(const RuAvalancheResult &a)
    {
        add(a.status), add(a.eventFound), add(a.peakRangegate), add(a.sumSum), add(a.hits);
        add(a.bestGroup), add(a.alarmOffGroup), add(a.symmetricCount), add(a.lastAlarm);
        add(a.runs.size());
        for (const RuRangegateRuns &runs : a.runs)
            add(runs.starts), add(runs.symmetric);
        add(a.rowActivity);
    }
    void add(const RuAlarmResult &r)
    {
        for (const RuAvalancheResult &a : r.avalanche)
            add(a);
        for (const RuRainResult &rain : r.rain) {
            add(rain.status), add(rain.ratios), add(rain.activity), add(rain.summedCurrent);
            add(rain.summedBackground);
        }
        for (const RuWaterlevelResult &w : r.waterlevel)
            add(w.status), add(w.value);
        const RuLiveHeader &h = r.live.header;
        add(h.present), add(h.seconds), add(h.microseconds), add(h.gmtOffset), add(h.rangegates);
        add(h.antenna), add(h.temperatureModule1), add(h.temperatureModule2);
        add(h.temperatureModule3);
        add(r.live.channel0), add(r.live.activity), add(r.live.mainVelocity);
        add(r.live.maxVelocity), add(r.live.medianVelocity);
    }
    // Every matrix the packet offers, whole, as a view derives it.
    void add(const SkPacket &packet)
    {
        for (SkPacketTypeEnum type : skPacketTypesInSelectorOrder()) {
            add(packet.hasMatrix(type));
            if (!packet.hasMatrix(type))
                continue;
            const SkPacket::MatrixPtr m = packet.matrix(type);
            add(m->rows());
            m_hash.addData(reinterpret_cast<const char *>(m->data()),
                           int(sizeof(float) * size_t(m->size())));
        }
    }
    QByteArray hex() const { return m_hash.result().toHex(); }

private:
    QCryptographicHash m_hash{QCryptographicHash::Md5};
};

} // namespace

class TstEngineResults : public QObject
{
    Q_OBJECT

private slots:
    void resultsKeepEveryBit_data();
    void resultsKeepEveryBit();
};

void TstEngineResults::resultsKeepEveryBit_data()
{
    QTest::addColumn<Setting>("setting");
    // rangegates, frames, avgTime, avgSpectrum, bgDelay, velocitySource, avalanche, live
    QTest::newRow("radar settings, 20 RG") << Setting{20, 600, 1, 0, 10, 0, true, true};
    QTest::newRow("radar settings, 128 RG") << Setting{128, 600, 1, 0, 10, 0, true, true};
    QTest::newRow("time average 3, radius 2") << Setting{20, 400, 3, 2, 10, 0, true, true};
    QTest::newRow("normalised velocities, radius 1") << Setting{20, 400, 1, 1, 10, 1, true, true};
    QTest::newRow("wide radius, delay 1") << Setting{20, 600, 1, 600, 1, 0, true, true};
    QTest::newRow("detectors only") << Setting{20, 600, 1, 0, 10, 0, true, false};
    QTest::newRow("live values only, normalised") << Setting{20, 400, 4, 0, 3, 1, false, true};
}

void TstEngineResults::resultsKeepEveryBit()
{
    QFETCH(Setting, setting);
    RuSimulatorOptions o;
    o.scenario = RuScenario::Mixed;
    o.frames = setting.frames;
    o.rangegates = setting.rangegates;
    o.seed = 20240201;
    const RuSimulator simulator(o);
    RuAlarmCalculator calculator = calculatorFor(setting);
    Digest digest;
    QSet<int> avalancheStatuses;
    QSet<int> levelStatuses;
    for (int i = 0; i < setting.frames; ++i) {
        const RuFrame frame = simulator.frame(i);
        calculator.processFrame(frame, frame.timeMicros());
        SkPacket packet(frame, i);
        packet.setAlarmResult(calculator.lastResult());
        const RuAlarmResult &result = *packet.alarmResult();
        digest.add(result);
        avalancheStatuses << result.avalanche[0].status;
        levelStatuses << result.rain[0].status << result.waterlevel[0].status;
        // The matrices of every third frame: rebuilding a background replays its frames, and
        // the matrices of each frame are checked against the engine's by tst_packet_window.
        if (i % 3 == 0)
            digest.add(packet);
    }
    // The scene raises and ends every kind of alarm, so the digest covers those paths too
    // (a spectral average over the whole row smooths the avalanche away).
    QVERIFY(levelStatuses.contains(RuStatusAlarmOn) && levelStatuses.contains(RuStatusAlarmOff));
    if (setting.avalanche && setting.avgSpectrum < RuMatrix::ColsAtCompileTime / 2) {
        QVERIFY(avalancheStatuses.contains(RuStatusAlarmOn));
        QVERIFY(avalancheStatuses.contains(RuStatusAlarmOff));
    }
    const QString row = QString::fromLatin1(QTest::currentDataTag());
    if (qEnvironmentVariableIsSet("SK_RECORD_DIGESTS"))
        qInfo("        {QStringLiteral(\"%s\"), \"%s\"},", qPrintable(row), digest.hex().constData());
    const auto recorded = digests().find(row);
    QVERIFY2(recorded != digests().end(), "no digest recorded for this row");
    QCOMPARE(digest.hex(), recorded->second);
}

QTEST_GUILESS_MAIN(TstEngineResults)
#include "tst_engine_results.moc"
