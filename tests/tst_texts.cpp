// The texts the viewer's docks, its alarm log and rrdcli show, and the parameter file mapping.

#include "RuAlarmCalculator.h"
#include "RuAlarmDetails.h"
#include "RuAlarmEvents.h"
#include "RuFrameDetails.h"
#include "RuParameterSet.h"
#include "RuParameterTable.h"
#include "SkPacket.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

using InfoSetter = std::function<void(unsigned char *info)>;

RuFrame makeFrame(int format, const InfoSetter &set = {})
{
    rrd_frame *record = rrd_frame_new(static_cast<uint32_t>(format), 2);
    if (record && format == RRD_FORMAT_RRD0) {
        rrd_put_u16(record->info + RRD_INFO_RANGEGATES, 2);
        if (set)
            set(record->info);
    }
    return RuFrame(record);
}

void putS16(unsigned char *p, int v) { rrd_put_u16(p, static_cast<uint16_t>(v)); }

// The values of an ordinary radar frame, none of them zero.
void fillTypicalInfo(unsigned char *info)
{
    rrd_put_s32(info + RRD_INFO_SECONDS, 1700000000);
    rrd_put_s32(info + RRD_INFO_MICROS, 123456);
    rrd_put_s32(info + RRD_INFO_GMT, 3600);
    memcpy(info + RRD_INFO_PROFILE, "Standard", 8);
    memcpy(info + RRD_INFO_NAME, "Station \xe4", 9); // Latin-1 a-umlaut
    info[RRD_INFO_ANTENNA] = 'A';
    rrd_put_u16(info + RRD_INFO_MODE, 2);
    rrd_put_u16(info + RRD_INFO_PRF, 3);
    rrd_put_u16(info + RRD_INFO_RANGE, 500);
    rrd_put_u16(info + RRD_INFO_BLINDRANGE, 50);
    rrd_put_u16(info + RRD_INFO_RG_WIDTH, 25);
    rrd_put_u32(info + RRD_INFO_AMPLITUDE, 100000);
    rrd_put_u16(info + RRD_INFO_COMPR_LEN, 13);
    rrd_put_u16(info + RRD_INFO_TX_DELAY, 7);
    putS16(info + RRD_INFO_PULSE_DELAY, -3);
    rrd_put_u16(info + RRD_INFO_POLARITY, 1);
    rrd_put_u16(info + RRD_INFO_GLIDING_MEAN, 4);
    rrd_put_u32(info + RRD_INFO_FREQUENCY, 10000);
    rrd_put_u16(info + RRD_INFO_INTEGRATE, 5);
    rrd_put_u16(info + RRD_INFO_COMBINE, 2);
    rrd_put_u16(info + RRD_INFO_LOOPS, 8);
    rrd_put_u16(info + RRD_INFO_AVG_SPEC, 3);
    putS16(info + RRD_INFO_RXTX_START, -10);
    putS16(info + RRD_INFO_RXTX_END, 20);
    putS16(info + RRD_INFO_COR_START, -1);
    putS16(info + RRD_INFO_COR_END, 2);
    putS16(info + RRD_INFO_PA_START, -5);
    putS16(info + RRD_INFO_PA_END, 6);
    rrd_put_u16(info + RRD_INFO_PRF_GATES, 12);
    rrd_put_u16(info + RRD_INFO_BLIND_GATES, 2);
    rrd_put_u16(info + RRD_INFO_DIVIDER, 9);
    // The extended block, present only with flags bit 0.
    putS16(info + RRD_INFO_RX_START, -4);
    putS16(info + RRD_INFO_RX_END, 44);
    rrd_put_u32(info + RRD_INFO_TEMP_MOD1, 30315);
    rrd_put_u32(info + RRD_INFO_TEMP_MOD2, 30415);
    rrd_put_u32(info + RRD_INFO_TEMP_MOD3, 30515);
    rrd_put_u32(info + RRD_INFO_POWER, 42);
    rrd_put_s32(info + RRD_INFO_VCC1, 12345);
    rrd_put_s32(info + RRD_INFO_VCC2, -500);
    rrd_put_s32(info + RRD_INFO_VCC3, 5000);
    rrd_put_u32(info + RRD_INFO_VERSION_FW, 301);
    rrd_put_u32(info + RRD_INFO_VERSION_HW, 7);
}

const QStringList typicalLines = {
    QStringLiteral("Format:\tRRD0"),
    QStringLiteral("m. time:\t2023-11-14 22:13:20.123 UTC (gmt:+3600 s)"),
    QStringLiteral("Profile:\tStandard"),
    QString::fromUtf8("Name:\tStation \xc3\xa4"),
    QStringLiteral("Antenna:\tA"),
    QStringLiteral("Mode:\t2"),
    QStringLiteral("RG Width:\t25 m"),
    QStringLiteral("Divider:\t9"),
    QStringLiteral("Range:\t500 m"),
    QStringLiteral("Rangegat.*:\t2"),
    QStringLiteral("Blindrange:\t50 m"),
    QStringLiteral("Blindgates*:\t2"),
    QStringLiteral("Prf:\t3"),
    QStringLiteral("Prfgates*:\t12"),
    QStringLiteral("Amplitude:\t100000"),
    QStringLiteral("Compr,Len.:\t13"),
    QStringLiteral("Tx Delay:\t7"),
    QStringLiteral("Pulse Delay:\t-3"),
    QStringLiteral("Polarity:\t1"),
    QStringLiteral("Gliding M.:\t4"),
    QStringLiteral("Frequency:\t10000 1/s"),
    QStringLiteral("Integrate:\t5"),
    QStringLiteral("Combine:\t2"),
    QStringLiteral("Loops:\t8"),
    QStringLiteral("Avg. Spec.:\t3"),
    QStringLiteral("Rx Tx Start:\t-10"),
    QStringLiteral("Rx Tx End:\t20"),
    QStringLiteral("Cor Start:\t-1"),
    QStringLiteral("Cor End:\t2"),
    QStringLiteral("Pa Start:\t-5"),
    QStringLiteral("Pa End:\t6"),
};

const QString celsius = QString(QChar(0x2103));

QStringList linesStartingWith(const QStringList &lines, const QString &prefix)
{
    QStringList found;
    for (const QString &l : lines)
        if (l.startsWith(prefix))
            found << l;
    return found;
}

// ---- alarm results made by hand ----

RuAlarmResult resultWithAvalanche(int k, RuAlarmStatus status)
{
    RuAlarmResult result(3);
    RuAvalancheResult &a = result.avalanche[k];
    a.status = status;
    a.runs.resize(3);
    a.runs[1].starts = {100, 200};
    a.runs[2].starts = {5};
    a.runs[2].symmetric = true;
    a.rowActivity = {0.0f, 300.4f, 1234.6f};
    a.sumSum = 1535.5f;
    a.peakRangegate = 2;
    a.bestGroup = {1, 2, 2, 2, 1234.6f, 1535.0f, 0};
    a.alarmOffGroup = {4, 6, 3, 5, 900.0f, 2000.0f, 77};
    return result;
}

RuLastAlarm lastAlarm()
{
    RuLastAlarm a;
    a.valid = true;
    a.alarmOnTime = 1700000000123456;
    a.alarmOnFrame = 12;
    a.lastEventTime = 1700000005000000;
    a.lastEventFrame = 17;
    a.alarmOffTime = 1700000010000000;
    a.alarmOffFrame = 22;
    a.borderLeft = 20;
    a.borderRight = 30;
    a.highestSumSum = 2500.25f;
    a.highestSumSumTime = 1700000003000000;
    a.summedSumSum = 9000.5f;
    a.channelMaps.resize(3);
    a.channelMaps[1] = QBitArray(1024);
    for (int c : {0, 1, 2, 3, 6})
        a.channelMaps[1].setBit(c);
    a.channelMaps[2] = QBitArray(1024);
    for (int c : {510, 511, 600})
        a.channelMaps[2].setBit(c);
    return a;
}

// ---- parameter files ----

QString writeIni(const QTemporaryDir &dir, const QByteArray &text)
{
    static int n = 0;
    const QString path = dir.filePath(QStringLiteral("p%1.ini").arg(++n));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        return QString();
    return path;
}

RuParameterSet readIni(const QString &path, RuParameterSet set = RuParameterSet())
{
    const QSettings settings(path, QSettings::IniFormat);
    RuParameterTable::read(settings, set);
    return set;
}

// Every setting away from its built-in value.
RuParameterSet unusualSet()
{
    RuParameterSet s;
    s.general = {5, 11, 3, 2, 17, 120, 900, 33, 61.5f, 1};
    s.liveEnable = true;
    s.liveBoxes = {true, false, true, false, true};
    for (int k = 0; k < RuParameterSet::Detectors; ++k) {
        s.avalancheEnable[k] = k != 1;
        RuAvalancheParams &a = s.avalanche[k];
        a.rangegatesToIgnore = {1, 2, 3 + k};
        a.rangegatesSpecial = {7};
        a.rangegatesNoAlarm = {};
        a.borderLeft = 11 + k;
        a.borderRight = 12 + k;
        a.thresholdOn = 2.75f;
        a.thresholdOff = 1.85f;
        a.lengthMin = 9;
        a.perRowMin = 3;
        a.perColMin = 4;
        a.sumPerRowMin = 312.5f;
        a.sumSumMin = -100.0f;
        a.enablePreAlarmSameRgs = false;
    }
    s.rainEnable = true;
    s.rain = {1.125f, 1.05f, 600, 300, 2, 1, 20, {7, 8}};
    s.waterlevelEnable = true;
    s.waterlevel = {100, 200, 3, 7, 458453.6f, 387922.3f, 705313.2f, 599516.2f};
    return s;
}

void compareSets(const RuParameterSet &a, const RuParameterSet &b)
{
    QCOMPARE(a.general.bgLength, b.general.bgLength);
    QCOMPARE(a.general.bgDelay, b.general.bgDelay);
    QCOMPARE(a.general.avgTime, b.general.avgTime);
    QCOMPARE(a.general.avgSpectrum, b.general.avgSpectrum);
    QCOMPARE(a.general.toWardSearch, b.general.toWardSearch);
    QCOMPARE(a.general.liveChBegin, b.general.liveChBegin);
    QCOMPARE(a.general.liveChEnd, b.general.liveChEnd);
    QCOMPARE(a.general.liveVelocityChBegin, b.general.liveVelocityChBegin);
    QCOMPARE(a.general.liveVelocityLowLimit, b.general.liveVelocityLowLimit);
    QCOMPARE(a.general.liveVelocitySource, b.general.liveVelocitySource);
    QCOMPARE(a.liveEnable, b.liveEnable);
    QCOMPARE(a.liveBoxes.channel0, b.liveBoxes.channel0);
    QCOMPARE(a.liveBoxes.activity, b.liveBoxes.activity);
    QCOMPARE(a.liveBoxes.mainVelocity, b.liveBoxes.mainVelocity);
    QCOMPARE(a.liveBoxes.maxVelocity, b.liveBoxes.maxVelocity);
    QCOMPARE(a.liveBoxes.medianVelocity, b.liveBoxes.medianVelocity);
    for (int k = 0; k < RuParameterSet::Detectors; ++k) {
        const RuAvalancheParams &x = a.avalanche[k];
        const RuAvalancheParams &y = b.avalanche[k];
        QCOMPARE(a.avalancheEnable[k], b.avalancheEnable[k]);
        QCOMPARE(x.rangegatesToIgnore, y.rangegatesToIgnore);
        QCOMPARE(x.rangegatesSpecial, y.rangegatesSpecial);
        QCOMPARE(x.rangegatesNoAlarm, y.rangegatesNoAlarm);
        QCOMPARE(x.borderLeft, y.borderLeft);
        QCOMPARE(x.borderRight, y.borderRight);
        QCOMPARE(x.thresholdOn, y.thresholdOn);
        QCOMPARE(x.thresholdOff, y.thresholdOff);
        QCOMPARE(x.lengthMin, y.lengthMin);
        QCOMPARE(x.perRowMin, y.perRowMin);
        QCOMPARE(x.perColMin, y.perColMin);
        QCOMPARE(x.sumPerRowMin, y.sumPerRowMin);
        QCOMPARE(x.sumSumMin, y.sumSumMin);
        QCOMPARE(x.enablePreAlarmSameRgs, y.enablePreAlarmSameRgs);
    }
    QCOMPARE(a.rainEnable, b.rainEnable);
    QCOMPARE(a.rain.thresholdAlarmOn, b.rain.thresholdAlarmOn);
    QCOMPARE(a.rain.thresholdAlarmOff, b.rain.thresholdAlarmOff);
    QCOMPARE(a.rain.chBegin, b.rain.chBegin);
    QCOMPARE(a.rain.chWidth, b.rain.chWidth);
    QCOMPARE(a.rain.avgTime, b.rain.avgTime);
    QCOMPARE(a.rain.avgSpectrum, b.rain.avgSpectrum);
    QCOMPARE(a.rain.bgFrameDelay, b.rain.bgFrameDelay);
    QCOMPARE(a.rain.rangegatesToIgnore, b.rain.rangegatesToIgnore);
    QCOMPARE(a.waterlevelEnable, b.waterlevelEnable);
    QCOMPARE(a.waterlevel.chBegin, b.waterlevel.chBegin);
    QCOMPARE(a.waterlevel.chWidth, b.waterlevel.chWidth);
    QCOMPARE(a.waterlevel.rangegate, b.waterlevel.rangegate);
    QCOMPARE(a.waterlevel.samples, b.waterlevel.samples);
    QCOMPARE(a.waterlevel.thresholdIncidentOn, b.waterlevel.thresholdIncidentOn);
    QCOMPARE(a.waterlevel.thresholdIncidentOff, b.waterlevel.thresholdIncidentOff);
    QCOMPARE(a.waterlevel.thresholdAlarmOn, b.waterlevel.thresholdAlarmOn);
    QCOMPARE(a.waterlevel.thresholdAlarmOff, b.waterlevel.thresholdAlarmOff);
}

} // namespace

class TstTexts : public QObject
{
    Q_OBJECT

private slots:
    // frame details
    void frameWithoutInfoHasNoDetails_data();
    void frameWithoutInfoHasNoDetails();
    void listsPlainFrameLinesInOrder();
    void listsExtendedBlockOnlyWithItsFlag();
    void showsTimeZoneSign_data();
    void showsTimeZoneSign();
    void showsProcessingTimeOnlyWhenSet();
    void showsTemperaturesInCelsius_data();
    void showsTemperaturesInCelsius();
    void derivesRangesFromRangegateWidth_data();
    void derivesRangesFromRangegateWidth();
    void showsPllStatesOnlyWhenValid_data();
    void showsPllStatesOnlyWhenValid();
    void readsNamesUpToTheirField();

    // computed lines
    void listsAvalancheRangegatesFromTheTop();
    void leavesOutDisabledDetectors();
    void showsLastAlarmStatisticWithChannelMap();
    void listsRainRatios();
    void packetWithoutResultHasNoLines();

    // alarm log events
    void avalancheEventTexts_data();
    void avalancheEventTexts();
    void alarmOffNamesTheLastEventsGroup();
    void quietAvalancheStatusesAreNotLogged_data();
    void quietAvalancheStatusesAreNotLogged();
    void rainAndWaterlevelEventTexts_data();
    void rainAndWaterlevelEventTexts();
    void logsOnlyDetectorZeroOfRainAndWaterlevel();
    void listsEventsInDetectorOrder();

    // parameter files
    void writesAndReadsBackEverySetting();
    void writesTheDocksSectionsAndKeys();
    void acceptsRangegateListForms_data();
    void acceptsRangegateListForms();
    void storesLiveWindowEndAsChannelsCutOff();
    void absentKeysKeepBuiltInDefaults();
    void badValueKeepsPreviousValue_data();
    void badValueKeepsPreviousValue();
    void liveValuesNeedTheLiveSwitch();
    void calculatorSettingsRoundTrip();
};

// ---- frame details ------------------------------------------------------------------------

void TstTexts::frameWithoutInfoHasNoDetails_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("null frame") << int(RRD_FORMAT_NONE);
    QTest::newRow("raw") << int(RRD_FORMAT_RAW);
    QTest::newRow("stamped") << int(RRD_FORMAT_STAMPED);
}

void TstTexts::frameWithoutInfoHasNoDetails()
{
    QFETCH(int, format);
    const RuFrame frame = format == RRD_FORMAT_NONE ? RuFrame() : makeFrame(format);
    QVERIFY(ruFrameDetails(frame).isEmpty());
}

void TstTexts::listsPlainFrameLinesInOrder()
{
    const RuFrame frame = makeFrame(RRD_FORMAT_RRD0, fillTypicalInfo);
    QCOMPARE(ruFrameDetails(frame), typicalLines);
}

void TstTexts::listsExtendedBlockOnlyWithItsFlag()
{
    const RuFrame frame = makeFrame(RRD_FORMAT_RRD0, [](unsigned char *info) {
        fillTypicalInfo(info);
        info[RRD_INFO_FLAGS] = 0x01;
    });
    QStringList expected = typicalLines;
    expected.insert(expected.indexOf(QStringLiteral("Cor Start:\t-1")), QStringLiteral("Rx Start:\t-4"));
    expected.insert(expected.indexOf(QStringLiteral("Cor Start:\t-1")), QStringLiteral("Rx End:\t44"));
    expected << QStringLiteral("Temp. Mod.1:\t 30.0 ") + celsius
             << QStringLiteral("Temp. Mod.2:\t 31.0 ") + celsius
             << QStringLiteral("Temp. Mod.2:\t 32.0 ") + celsius // the third module's label
             << QStringLiteral("Power: 42") << QStringLiteral("Vcc 1: 12.345 V")
             << QStringLiteral("Vcc 2: -0.5 V") << QStringLiteral("Vcc 3: 5 V")
             << QStringLiteral("Version Firmware: 301") << QStringLiteral("Version Hardware: 7");
    QCOMPARE(ruFrameDetails(frame), expected);
}

void TstTexts::showsTimeZoneSign_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("expected");
    QTest::newRow("east") << 3600 << QStringLiteral("(gmt:+3600 s)");
    QTest::newRow("west") << -7200 << QStringLiteral("(gmt:-7200 s)");
    QTest::newRow("utc") << 0 << QStringLiteral("(gmt:+0 s)");
}

void TstTexts::showsTimeZoneSign()
{
    QFETCH(int, offset);
    QFETCH(QString, expected);
    const RuFrame frame = makeFrame(RRD_FORMAT_RRD0, [offset](unsigned char *info) {
        rrd_put_s32(info + RRD_INFO_SECONDS, 86400);
        rrd_put_s32(info + RRD_INFO_MICROS, 999999);
        rrd_put_s32(info + RRD_INFO_GMT, offset);
    });
    QCOMPARE(ruFrameDetails(frame).value(1),
             QStringLiteral("m. time:\t1970-01-02 00:00:00.999 UTC ") + expected);
}

void TstTexts::showsProcessingTimeOnlyWhenSet()
{
    const RuFrame without = makeFrame(RRD_FORMAT_RRD0);
    QVERIFY(linesStartingWith(ruFrameDetails(without), QStringLiteral("p. time")).isEmpty());
    const RuFrame with = makeFrame(RRD_FORMAT_RRD0, [](unsigned char *info) {
        rrd_put_s32(info + RRD_INFO_P_SECONDS, 1700000001);
        rrd_put_s32(info + RRD_INFO_P_MICROS, 5000);
        rrd_put_s32(info + RRD_INFO_P_GMT, -3600);
    });
    const QStringList lines = ruFrameDetails(with);
    QCOMPARE(lines.value(2), QStringLiteral("p. time:\t2023-11-14 22:13:21.005 UTC (gmt:-3600 s)"));
}

void TstTexts::showsTemperaturesInCelsius_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<quint32>("centiKelvin");
    QTest::addColumn<QString>("expected");
    QTest::newRow("outside 20") << int(RRD_INFO_TEMP_OUT) << 29315u
                                << QStringLiteral("Temp. out:\t 20.0 ") + celsius;
    QTest::newRow("inside -5.5") << int(RRD_INFO_TEMP_IN) << 26765u
                                 << QStringLiteral("Temp. in:\t -5.5 ") + celsius;
    QTest::newRow("pc 45.3") << int(RRD_INFO_TEMP_PC) << 31845u
                             << QStringLiteral("Temp. PC:\t 45.3 ") + celsius;
    QTest::newRow("pc hot") << int(RRD_INFO_TEMP_PC) << 40000u
                            << QStringLiteral("Temp. PC:\t126.9 ") + celsius;
    QTest::newRow("absent") << int(RRD_INFO_TEMP_OUT) << 0u << QString();
}

void TstTexts::showsTemperaturesInCelsius()
{
    QFETCH(int, offset);
    QFETCH(quint32, centiKelvin);
    QFETCH(QString, expected);
    const RuFrame frame = makeFrame(RRD_FORMAT_RRD0, [=](unsigned char *info) {
        rrd_put_u32(info + offset, centiKelvin);
    });
    const QStringList temps = linesStartingWith(ruFrameDetails(frame), QStringLiteral("Temp."));
    QCOMPARE(temps, expected.isEmpty() ? QStringList() : QStringList{expected});
}

void TstTexts::derivesRangesFromRangegateWidth_data()
{
    QTest::addColumn<quint32>("millimetres");
    QTest::addColumn<int>("rangegates");
    QTest::addColumn<int>("blindGates");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("2.5 m") << 2500u << 40 << 4
                           << QStringList{QStringLiteral("Rangegate Width*: 2.5 m"),
                                          QStringLiteral("Range*: 100 m"),
                                          QStringLiteral("Blind Range*: 10 m")};
    QTest::newRow("no float noise") << 2345u << 3 << 0
                                    << QStringList{QStringLiteral("Rangegate Width*: 2.345 m"),
                                                   QStringLiteral("Range*: 7.035 m"),
                                                   QStringLiteral("Blind Range*: 0 m")};
    QTest::newRow("absent") << 0u << 40 << 4 << QStringList();
}

void TstTexts::derivesRangesFromRangegateWidth()
{
    QFETCH(quint32, millimetres);
    QFETCH(int, rangegates);
    QFETCH(int, blindGates);
    QFETCH(QStringList, expected);
    const RuFrame frame = makeFrame(RRD_FORMAT_RRD0, [=](unsigned char *info) {
        rrd_put_u32(info + RRD_INFO_RG_WIDTH_MM, millimetres);
        rrd_put_u16(info + RRD_INFO_RANGEGATES, static_cast<uint16_t>(rangegates));
        rrd_put_u16(info + RRD_INFO_BLIND_GATES, static_cast<uint16_t>(blindGates));
    });
    const QStringList lines = ruFrameDetails(frame);
    QCOMPARE(linesStartingWith(lines, QStringLiteral("Rangegate Width*"))
                 + linesStartingWith(lines, QStringLiteral("Range*"))
                 + linesStartingWith(lines, QStringLiteral("Blind Range*")),
             expected);
}

void TstTexts::showsPllStatesOnlyWhenValid_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("plls");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1 and 3 locked") << 0x04 << 5 << QStringLiteral("PLLs 1/2/3: ok/failed/ok");
    QTest::newRow("all locked") << 0x05 << 7 << QStringLiteral("PLLs 1/2/3: ok/ok/ok");
    QTest::newRow("none locked") << 0x04 << 0xf8 << QStringLiteral("PLLs 1/2/3: failed/failed/failed");
    QTest::newRow("not valid") << 0x01 << 7 << QString();
}

void TstTexts::showsPllStatesOnlyWhenValid()
{
    QFETCH(int, flags);
    QFETCH(int, plls);
    QFETCH(QString, expected);
    const RuFrame frame = makeFrame(RRD_FORMAT_RRD0, [=](unsigned char *info) {
        info[RRD_INFO_FLAGS] = static_cast<unsigned char>(flags);
        info[RRD_INFO_PLLS] = static_cast<unsigned char>(plls);
    });
    const QStringList lines = ruFrameDetails(frame);
    const QStringList found = linesStartingWith(lines, QStringLiteral("PLLs"));
    QCOMPARE(found, expected.isEmpty() ? QStringList() : QStringList{expected});
    if (!expected.isEmpty())
        QCOMPARE(lines.last(), expected);
}

void TstTexts::readsNamesUpToTheirField()
{
    // A name that fills its 32 bytes has no terminating zero: it must not run into the next field.
    const RuFrame frame = makeFrame(RRD_FORMAT_RRD0, [](unsigned char *info) {
        memset(info + RRD_INFO_PROFILE, 'p', 32);
        memset(info + RRD_INFO_NAME, 'n', 32);
        info[RRD_INFO_ANTENNA] = 0;
    });
    const QStringList lines = ruFrameDetails(frame);
    QCOMPARE(lines.value(2), QStringLiteral("Profile:\t") + QString(32, QLatin1Char('p')));
    QCOMPARE(lines.value(3), QStringLiteral("Name:\t") + QString(32, QLatin1Char('n')));
    QCOMPARE(lines.value(4), QStringLiteral("Antenna:\t"));
}

// ---- computed lines -------------------------------------------------------------------------

void TstTexts::listsAvalancheRangegatesFromTheTop()
{
    const RuAlarmResult result = resultWithAvalanche(1, RuStatusEvaluated);
    const QStringList expected = {
        QStringLiteral("Avalanche 1:"),
        QStringLiteral("RGs\tEvents\tSum"),
        QStringLiteral("s[RG 2:\t1\t 1235]"),
        QStringLiteral("RG 1:\t2\t  300"),
        QStringLiteral("[RG 0:\t0\t    0]"),
        QStringLiteral("SumSum:\t1535.5\n"),
    };
    QCOMPARE(ruAlarmDetails(result), expected);
}

void TstTexts::leavesOutDisabledDetectors()
{
    RuAlarmResult result(2);
    QVERIFY(ruAlarmDetails(result).isEmpty());
    // Enabled but nothing found: every range gate still listed, in brackets.
    result.avalanche[2].status = RuStatusQuiet;
    result.avalanche[2].runs.resize(2);
    result.avalanche[2].rowActivity = {0.0f, 0.0f};
    QCOMPARE(ruAlarmDetails(result),
             (QStringList{QStringLiteral("Avalanche 2:"), QStringLiteral("RGs\tEvents\tSum"),
                          QStringLiteral("[RG 1:\t0\t    0]"), QStringLiteral("[RG 0:\t0\t    0]"),
                          QStringLiteral("SumSum:\t0\n")}));
}

void TstTexts::showsLastAlarmStatisticWithChannelMap()
{
    RuAlarmResult result = resultWithAvalanche(0, RuStatusAlarmOff);
    result.avalanche[0].lastAlarm = lastAlarm();
    const QStringList lines = ruAlarmDetails(result);
    const QStringList expected = {
        QStringLiteral("Last alarm statistic (UTC):"),
        QStringLiteral("A. on:\t2023-11-14 22:13:20.123 (12 fr)"),
        QStringLiteral("A. off:\t2023-11-14 22:13:25.000 (17 fr)"),
        QStringLiteral("A. off overr.:\t2023-11-14 22:13:30.000 (22 fr)"),
        QStringLiteral("Channel sub. left/right: 20/30"),
        QStringLiteral("Highest sum: 2500.25 (2023-11-14 22:13:23.000)"),
        QStringLiteral("Overall sumsum: 9000.5\n"),
        QStringLiteral("RG|Channels"),
        QStringLiteral("--|--------"),
        QStringLiteral(" 2|") + QString(127, QLatin1Char(' ')) + QLatin1Char('-'),
        QStringLiteral(" 1|*.") + QString(126, QLatin1Char(' ')),
        QStringLiteral(" 0|"),
        QString(),
    };
    QCOMPARE(lines.mid(6), expected);

    // Before any alarm there is no statistic.
    result.avalanche[0].lastAlarm.valid = false;
    QCOMPARE(ruAlarmDetails(result).size(), 6);
}

void TstTexts::listsRainRatios()
{
    RuAlarmResult result(3);
    result.rain[0].status = RuStatusQuiet;
    result.rain[0].summedCurrent = 1200.5f;
    result.rain[0].summedBackground = 1000.25f;
    result.rain[0].activity = 1.20017f;
    result.rain[0].ratios = {0.0f, 1.5f, 0.75f};
    result.rain[1].status = RuStatusAlarmOn; // not offered by the docks
    const QStringList expected = {
        QStringLiteral("Rain:"),
        QStringLiteral("Sum frame:\t1200.5"),
        QStringLiteral("Sum BGFr.:\t1000.25"),
        QStringLiteral("RG sum/bg:\t1.2002\n"),
        QStringLiteral("Sum RG2:\t0.75"),
        QStringLiteral("Sum RG1:\t1.5"),
        QStringLiteral("Sum RG0:\t0"),
    };
    QCOMPARE(ruAlarmDetails(result), expected);
}

void TstTexts::packetWithoutResultHasNoLines()
{
    QVERIFY(ruAlarmDetails(SkPacket()).isEmpty());
    SkPacket packet(makeFrame(RRD_FORMAT_RRD0), 0);
    QVERIFY(ruAlarmDetails(packet).isEmpty());
    packet.setAlarmResult(SkAlarmResultSharedPtr(
        new RuAlarmResult(resultWithAvalanche(0, RuStatusEvaluated))));
    QCOMPARE(ruAlarmDetails(packet).value(0), QStringLiteral("Avalanche 0:"));
}

// ---- alarm log events -----------------------------------------------------------------------

void TstTexts::avalancheEventTexts_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("marker");
    QTest::newRow("pre-alarm") << 3 << QStringLiteral("AV0-1 PREALARM")
                               << QStringLiteral("Avalanche0-1 PreAlarm:Active RG=1-2(2) \nSumSum=1535.5");
    QTest::newRow("pre-alarm same") << 4 << QStringLiteral("AV0-1 PREALARM S")
        << QStringLiteral("Avalanche0-1 PreAlarm same RGs \nActive RG=1-2(2) \nSumSum=1535.5");
    QTest::newRow("pre-alarm coming") << 5 << QStringLiteral("AV0-1 PREALARM C")
        << QStringLiteral("Avalanche0-1 PreAlarm event coming \nActive RG=1-2(2) \nSumSum=1535.5");
    QTest::newRow("incident") << 6 << QStringLiteral("AV0-1 INCIDENT")
                              << QStringLiteral("Avalanche0-1 Incident: Active RG=1-2(2) \nSumSum=1535.5");
    QTest::newRow("alarm on") << 10 << QStringLiteral("AV0-1 ALARM ON")
                              << QStringLiteral("Avalanche0-1 Alarm: Active RG=1-2(2) \nSumSum=1535.5");
    QTest::newRow("special") << 11 << QStringLiteral("AV0-1 SPECIAL RG")
        << QStringLiteral("Avalanche0-1 Special RG hit: Active RG=1-2(2) \nSumSum=1535.5");
    QTest::newRow("symmetric") << 13 << QStringLiteral("AV0-1 Symmetric")
                               << QStringLiteral("AV0-1 many symmetric RGs!");
    QTest::newRow("peak drop") << 14 << QStringLiteral("WARNING AV0-1")
                               << QStringLiteral("Warning: Central peak drop!");
    QTest::newRow("drop reset") << 15 << QStringLiteral("WARNING AV0-1")
                                << QStringLiteral("Warning: Background reset!");
    QTest::newRow("symmetric reset") << 16 << QStringLiteral("WARNING AV0-1")
                                     << QStringLiteral("Warning: Background reset!");
    QTest::newRow("geometry") << 17 << QStringLiteral("ERROR") << QStringLiteral("Error: Frame geometry!");
    QTest::newRow("invalid") << 18 << QStringLiteral("ERROR") << QStringLiteral("Error: Data is invalid!");
    QTest::newRow("unknown 7") << 7 << QStringLiteral("ERROR")
                               << QStringLiteral("Error: Unknown alarm status 7!");
    QTest::newRow("unknown 19") << 19 << QStringLiteral("ERROR")
                                << QStringLiteral("Error: Unknown alarm status 19!");
    QTest::newRow("unknown -1") << -1 << QStringLiteral("ERROR")
                                << QStringLiteral("Error: Unknown alarm status -1!");
}

void TstTexts::avalancheEventTexts()
{
    QFETCH(int, status);
    QFETCH(QString, tag);
    QFETCH(QString, marker);
    const RuAlarmResult result = resultWithAvalanche(1, static_cast<RuAlarmStatus>(status));
    const QVector<RuAlarmEvent> events = ruAlarmEvents(result);
    QCOMPARE(events.size(), 1);
    const RuAlarmEvent &e = events.first();
    QCOMPARE(e.source, RuAlarmEvent::Avalanche);
    QCOMPARE(e.detector, 1);
    QCOMPARE(e.status, status);
    QCOMPARE(e.tag, tag);
    QCOMPARE(e.marker, marker);
    // The log shows the marker on one line.
    QCOMPARE(e.detail, marker.contains(QLatin1Char('\n')) ? marker.simplified() : marker);
    QVERIFY(!e.detail.contains(QLatin1Char('\n')));
    QCOMPARE(e.isAvalancheAlarmOn(), status == 10);
}

void TstTexts::alarmOffNamesTheLastEventsGroup()
{
    const RuAlarmResult result = resultWithAvalanche(2, RuStatusAlarmOff);
    const QVector<RuAlarmEvent> events = ruAlarmEvents(result);
    QCOMPARE(events.size(), 1);
    QCOMPARE(events[0].tag, QStringLiteral("AV0-2 ALARM OFF"));
    QCOMPARE(events[0].marker, QStringLiteral("Avalanche0-2 Alarm: Active RG=4-6(5[#77]) \nSumSum=1535.5"));
    QCOMPARE(events[0].detail, QStringLiteral("Avalanche0-2 Alarm: Active RG=4-6(5[#77]) SumSum=1535.5"));
    QVERIFY(events[0].isAvalancheAlarmOff());
}

void TstTexts::quietAvalancheStatusesAreNotLogged_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("disabled") << 0;
    QTest::newRow("evaluated") << 1;
    QTest::newRow("quiet") << 2;
    QTest::newRow("alarm continues") << 9;
}

void TstTexts::quietAvalancheStatusesAreNotLogged()
{
    QFETCH(int, status);
    QVERIFY(ruAlarmEvents(resultWithAvalanche(0, static_cast<RuAlarmStatus>(status))).isEmpty());
}

void TstTexts::rainAndWaterlevelEventTexts_data()
{
    QTest::addColumn<bool>("rain");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("marker");
    QTest::newRow("rain on") << true << 10 << QStringLiteral("RAIN0 ALARM ON")
                             << QStringLiteral("Rain0 Alarm On: Activity=1.25");
    QTest::newRow("rain off") << true << 12 << QStringLiteral("RAIN0 ALARM OFF")
                              << QStringLiteral("Rain0 Alarm Off: Activity=1.25");
    QTest::newRow("rain continues") << true << 9 << QString() << QString();
    QTest::newRow("rain quiet") << true << 2 << QString() << QString();
    QTest::newRow("rain geometry") << true << 17 << QString() << QString();
    QTest::newRow("wl incident on") << false << 7 << QStringLiteral("WL0 INCIDENT ON")
                                    << QStringLiteral("Waterlevel0 Incident On: Sum of Values 705313.2");
    QTest::newRow("wl incident off") << false << 8 << QStringLiteral("WL0 INCIDENT OFF")
                                     << QStringLiteral("Waterlevel0 Incident Off: Sum of Values 705313.2");
    QTest::newRow("wl alarm on") << false << 10 << QStringLiteral("WL0 ALARM ON")
                                 << QStringLiteral("Waterlevel0 Alarm On: Sum of Values 705313.2");
    QTest::newRow("wl alarm off") << false << 12 << QStringLiteral("WL0 ALARM OFF")
                                  << QStringLiteral("Waterlevel0 Alarm Off: Sum of Values 705313.2");
    QTest::newRow("wl incident continues") << false << 6 << QString() << QString();
    QTest::newRow("wl peak drop") << false << 14 << QString() << QString();
}

void TstTexts::rainAndWaterlevelEventTexts()
{
    QFETCH(bool, rain);
    QFETCH(int, status);
    QFETCH(QString, tag);
    QFETCH(QString, marker);
    RuAlarmResult result(3);
    if (rain) {
        result.rain[0].status = static_cast<RuAlarmStatus>(status);
        result.rain[0].activity = 1.25f;
    } else {
        result.waterlevel[0].status = static_cast<RuAlarmStatus>(status);
        result.waterlevel[0].value = 705313.2f;
    }
    const QVector<RuAlarmEvent> events = ruAlarmEvents(result);
    if (tag.isEmpty()) {
        QVERIFY(events.isEmpty());
        return;
    }
    QCOMPARE(events.size(), 1);
    QCOMPARE(events[0].source, rain ? RuAlarmEvent::Rain : RuAlarmEvent::Waterlevel);
    QCOMPARE(events[0].tag, tag);
    QCOMPARE(events[0].marker, marker);
    QCOMPARE(events[0].detail, marker);
    QVERIFY(!events[0].isAvalancheAlarmOn() && !events[0].isAvalancheAlarmOff());
}

void TstTexts::logsOnlyDetectorZeroOfRainAndWaterlevel()
{
    RuAlarmResult result(3);
    result.rain[1].status = RuStatusAlarmOn;
    result.rain[2].status = RuStatusAlarmOff;
    result.waterlevel[1].status = RuStatusAlarmOn;
    result.waterlevel[2].status = RuStatusIncidentOn;
    QVERIFY(ruAlarmEvents(result).isEmpty());
}

void TstTexts::listsEventsInDetectorOrder()
{
    RuAlarmResult result = resultWithAvalanche(2, RuStatusPreAlarm);
    result.avalanche[0].status = RuStatusInvalid;
    result.rain[0].status = RuStatusAlarmOn;
    result.waterlevel[0].status = RuStatusIncidentOn;
    QStringList tags;
    for (const RuAlarmEvent &e : ruAlarmEvents(result))
        tags << e.tag;
    QCOMPARE(tags, (QStringList{QStringLiteral("ERROR"), QStringLiteral("AV0-2 PREALARM"),
                                QStringLiteral("RAIN0 ALARM ON"), QStringLiteral("WL0 INCIDENT ON")}));
}

// ---- parameter files ------------------------------------------------------------------------

void TstTexts::writesAndReadsBackEverySetting()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.ini"));
    const RuParameterSet written = unusualSet();
    {
        QSettings settings(path, QSettings::IniFormat);
        RuParameterTable::write(settings, written);
    }
    compareSets(readIni(path), written);
}

void TstTexts::writesTheDocksSectionsAndKeys()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keys.ini"));
    {
        QSettings settings(path, QSettings::IniFormat);
        RuParameterTable::write(settings, unusualSet());
    }
    const QSettings settings(path, QSettings::IniFormat);
    QCOMPARE(settings.childGroups(),
             (QStringList{QStringLiteral("av00"), QStringLiteral("av01"), QStringLiteral("av02"),
                          QStringLiteral("params"), QStringLiteral("rain0"),
                          QStringLiteral("waterlevel0")}));
    const QVector<RuParameterTable::Key> keys = RuParameterTable::keys();
    QCOMPARE(keys.size(), 16 + 3 * 14 + 9 + 9);
    QStringList names;
    for (const RuParameterTable::Key &k : keys)
        names << k.key;
    QCOMPARE(settings.allKeys().size(), names.size());
    for (const QString &name : names)
        QVERIFY2(settings.contains(name), qPrintable(name));
    QCOMPARE(names.mid(16, 14),
             (QStringList{"av00/enable", "av00/lengthMin", "av00/perColMin", "av00/perRowMin",
                          "av00/borderLeft", "av00/borderRight", "av00/rangegatesToIgnore",
                          "av00/rangegatesSpecial", "av00/RGnoAlarm", "av00/sumPerRowMin",
                          "av00/sumSumMin", "av00/threshold", "av00/thresholdOff",
                          "av00/enablePreAlarmSameRgs"}));
    // Floats are written as the dock shows them, not with the float's binary noise.
    QCOMPARE(settings.value(QStringLiteral("av00/threshold")).toString(), QStringLiteral("2.75"));
    QCOMPARE(settings.value(QStringLiteral("waterlevel0/thresholdIncidentOn")).toString(),
             QStringLiteral("458453.6"));
}

void TstTexts::acceptsRangegateListForms_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QVector<int>>("expected");
    QTest::newRow("unquoted commas") << QByteArray("1,2,3") << QVector<int>{1, 2, 3};
    QTest::newRow("quoted commas") << QByteArray("\"7,8\"") << QVector<int>{7, 8};
    QTest::newRow("blanks") << QByteArray("4 5  6") << QVector<int>{4, 5, 6};
    QTest::newRow("commas and blanks") << QByteArray("1, 2 3,,10") << QVector<int>{1, 2, 3, 10};
    QTest::newRow("single") << QByteArray("12") << QVector<int>{12};
    QTest::newRow("empty") << QByteArray("") << QVector<int>{};
}

void TstTexts::acceptsRangegateListForms()
{
    QFETCH(QByteArray, text);
    QFETCH(QVector<int>, expected);
    QTemporaryDir dir;
    const QString path = writeIni(dir, "[av01]\nRGnoAlarm=" + text + "\n[rain0]\nrangegatesToIgnore="
                                           + text + "\n");
    RuParameterSet previous;
    previous.avalanche[1].rangegatesNoAlarm = {99};
    previous.rain.rangegatesToIgnore = {98};
    const RuParameterSet set = readIni(path, previous);
    QCOMPARE(set.avalanche[1].rangegatesNoAlarm, expected);
    QCOMPARE(set.rain.rangegatesToIgnore, expected);
}

void TstTexts::storesLiveWindowEndAsChannelsCutOff()
{
    QTemporaryDir dir;
    QCOMPARE(readIni(writeIni(dir, "[params]\nliveChLast=100\n")).general.liveChEnd, 924);
    QCOMPARE(readIni(writeIni(dir, "[params]\nliveChLast=0\n")).general.liveChEnd, 1024);

    const QString path = dir.filePath(QStringLiteral("w.ini"));
    RuParameterSet set;
    set.general.liveChEnd = 1000;
    {
        QSettings settings(path, QSettings::IniFormat);
        RuParameterTable::write(settings, set);
    }
    QCOMPARE(QSettings(path, QSettings::IniFormat).value(QStringLiteral("params/liveChLast")).toInt(), 24);
}

void TstTexts::absentKeysKeepBuiltInDefaults()
{
    QTemporaryDir dir;
    const QString path = writeIni(dir, "[params]\nbgLength=5\nliveEnable=true\n"
                                       "[av00]\nenable=true\n[waterlevel0]\nrangegate=3\n");
    const RuParameterSet set = readIni(path);
    RuParameterSet expected;
    expected.general.bgLength = 5;
    expected.liveEnable = true;
    expected.avalancheEnable[0] = true;
    expected.waterlevel.rangegate = 3;
    compareSets(set, expected);
    // The engine's own defaults, not the docks' initial values.
    QCOMPARE(set.general.bgDelay, 40);
    QCOMPARE(set.avalanche[0].borderLeft, 20);
    QCOMPARE(set.avalanche[0].thresholdOff, 2.4f);
    QCOMPARE(set.rain.chWidth, 512);
    QCOMPARE(set.rain.bgFrameDelay, 100);
    QCOMPARE(set.waterlevel.chWidth, 0);
}

void TstTexts::badValueKeepsPreviousValue_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("not a number") << QByteArray("[params]\nbgLength=ten");
    QTest::newRow("fraction for int") << QByteArray("[params]\nbgLength=2.5");
    QTest::newRow("below range") << QByteArray("[params]\nbgLength=0");
    QTest::newRow("above range") << QByteArray("[params]\nbgDelay=1000000");
    QTest::newRow("overflow") << QByteArray("[params]\ntoWardSearch=99999999999999999999");
    QTest::newRow("cut-off too large") << QByteArray("[params]\nliveChLast=2000");
    QTest::newRow("decimal comma") << QByteArray("[av00]\nthreshold=2,5");
    QTest::newRow("nan") << QByteArray("[av00]\nsumSumMin=nan");
    QTest::newRow("bool word") << QByteArray("[av00]\nenable=maybe");
    QTest::newRow("list with word") << QByteArray("[av00]\nrangegatesToIgnore=1,x,3");
    QTest::newRow("negative range gate") << QByteArray("[av00]\nrangegatesSpecial=\"4 -1\"");
    QTest::newRow("channel width") << QByteArray("[rain0]\nchWidth=5000");
    QTest::newRow("water-level threshold") << QByteArray("[waterlevel0]\nthresholdAlarmOn=-1");
    QTest::newRow("empty number") << QByteArray("[waterlevel0]\nsamples=");
}

void TstTexts::badValueKeepsPreviousValue()
{
    QFETCH(QByteArray, line);
    QTemporaryDir dir;
    const RuParameterSet previous = unusualSet();
    compareSets(readIni(writeIni(dir, line + "\n"), previous), previous);
}

void TstTexts::liveValuesNeedTheLiveSwitch()
{
    RuParameterSet set;
    set.liveBoxes = {true, true, true, true, true};
    RuAlarmCalculator calculator;
    set.applyTo(calculator);
    QVERIFY(!calculator.liveEnables().any());
    set.liveEnable = true;
    set.liveBoxes.activity = false;
    set.applyTo(calculator);
    QVERIFY(calculator.liveEnables().channel0);
    QVERIFY(!calculator.liveEnables().activity);
    QVERIFY(calculator.liveEnables().medianVelocity);
}

void TstTexts::calculatorSettingsRoundTrip()
{
    RuParameterSet set = unusualSet();
    // The live switch only exists in the dock; the engine holds the gated values.
    set.liveBoxes = set.effectiveLiveEnables();
    RuAlarmCalculator calculator;
    set.applyTo(calculator);
    QVERIFY(calculator.anyDetectorEnabled());
    compareSets(RuParameterSet::fromCalculator(calculator), set);
}

QTEST_GUILESS_MAIN(TstTexts)
#include "tst_texts.moc"
