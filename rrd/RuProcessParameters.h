#pragma once
// The radar's own detector settings as the parameter block of an RRD0 frame carries them
// ("process parameters"), field by field in the radar's units. RuFrameInfo decodes and encodes
// them with the rest of the block; the detector engine turns them into its parameter records.
// A detector whose block the radar did not send is empty.

#include <QVector>
#include <QtGlobal>

#include <array>
#include <optional>

struct RuProcessParameters
{
    struct Avalanche
    {
        bool preAlarmSameRgs = false;
        quint16 lengthMin = 0;
        quint16 perColMin = 0;
        quint16 perRowMin = 0;
        quint16 borderLeft = 0;
        quint16 borderRight = 0;
        quint32 sumPerRowMin = 0;
        quint32 sumSumMin = 0;
        float thresholdOn = 0.0f;
        float thresholdOff = 0.0f;
        // Range gates 0..127 in ascending order (a 128-bit mask in the block).
        QVector<int> rangegatesToIgnore;
        QVector<int> rangegatesSpecial;
        QVector<int> rangegatesNoAlarm;
    };

    struct Waterlevel
    {
        quint16 rangegate = 0;
        float thresholdAlarmOn = 0.0f;
        float thresholdAlarmOff = 0.0f;
        float thresholdIncidentOn = 0.0f;
        float thresholdIncidentOff = 0.0f;
        quint16 chBegin = 0;
        quint16 chWidth = 0;
        quint16 samples = 0;
    };

    struct Rain
    {
        quint16 avgTime = 0;
        quint16 avgSpectrum = 0;
        QVector<int> rangegatesToIgnore; // range gates 0..127, ascending
        float thresholdAlarmOn = 0.0f;
        float thresholdAlarmOff = 0.0f;
        quint16 chBegin = 0;
        quint16 chWidth = 0;
        quint16 bgFrameDelay = 0;
    };

    static constexpr int AvalancheDetectors = 3;

    quint16 bgLength = 0;
    quint16 bgDelay = 0;
    quint16 avgTime = 0;
    quint16 avgSpectrum = 0;
    quint16 toWardSearch = 0;
    quint16 liveChBegin = 0;
    quint16 liveChEnd = 0;
    quint8 liveVelocitySource = 0;      // 1 = the normalised matrix, anything else the filtered
    float liveVelocityLowLimit = 0.0f;  // meant only when greater than 0
    std::array<std::optional<Avalanche>, AvalancheDetectors> avalanche;
    std::optional<Waterlevel> waterlevel;
    std::optional<Rain> rain;

    bool operator==(const RuProcessParameters &other) const;
    bool operator!=(const RuProcessParameters &other) const { return !(*this == other); }
};

bool operator==(const RuProcessParameters::Avalanche &a, const RuProcessParameters::Avalanche &b);
bool operator==(const RuProcessParameters::Waterlevel &a, const RuProcessParameters::Waterlevel &b);
bool operator==(const RuProcessParameters::Rain &a, const RuProcessParameters::Rain &b);
