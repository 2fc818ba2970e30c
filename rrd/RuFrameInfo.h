#pragma once
// The 4096-byte parameter block of an RRD0 frame as values: the radar's settings and
// housekeeping at the time of the measurement and, when it sent them, its own detector
// settings. decode() and encode() are the one place that knows the block's byte layout
// (little-endian, 896 significant bytes, the rest zero); everything else reads and writes
// these fields.
//
// A block decodes to a value and encodes back to the same significant bytes, reserved bytes
// aside (they are written as zero). A value encodes and decodes back to itself when its texts
// are Latin-1 of at most 32 characters and its range-gate lists ascend within 0..127.

#include "RuProcessParameters.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

struct RuFrameInfo
{
    enum Flag : quint8 {
        Extended = 0x01,       // receive window, module temperatures, power, supplies, versions
        PllStatesValid = 0x04  // pllStates holds the lock states
    };

    qint32 seconds = 0;                 // measurement time, seconds since 1970 UTC
    qint32 microseconds = 0;
    quint16 rangegates = 0;             // range gates of the frame
    QString profile;                    // at most 32 Latin-1 characters
    QString name;                       // station or measurement name, likewise
    quint8 flags = 0;                   // Flag bits, kept whole
    qint32 gmtOffset = 0;               // time-zone offset of the measurement time, seconds
    quint8 antenna = 0;                 // 'A' or 'B'
    quint16 mode = 0;
    quint16 prf = 0;                    // pulse repetition frequency setting
    quint16 range = 0;                  // metres
    quint16 blindRange = 0;             // metres
    quint16 rangegateWidth = 0;         // whole metres
    quint32 amplitude = 0;
    quint16 compressionLength = 0;
    quint16 txDelay = 0;
    qint16 pulseDelay = 0;
    quint16 polarity = 0;
    quint16 glidingMean = 0;
    quint32 frequency = 0;              // 1/s
    quint16 integrate = 0;              // 2^integrate spectra are integrated
    quint16 combine = 0;
    quint16 loops = 0;
    quint16 averagedSpectra = 0;
    qint16 rxTxStart = 0;
    qint16 rxTxEnd = 0;
    qint16 corStart = 0;
    qint16 corEnd = 0;
    qint16 paStart = 0;
    qint16 paEnd = 0;
    quint16 prfGates = 0;
    quint16 blindGates = 0;             // range gates inside the blind range
    quint16 divider = 0;
    qint16 rxStart = 0;                 // Extended
    qint16 rxEnd = 0;                   // Extended
    qint32 processingSeconds = 0;       // 0 = absent
    qint32 processingMicroseconds = 0;
    qint32 processingGmtOffset = 0;
    quint32 temperaturePc = 0;          // hundredths of a kelvin; 0 = absent
    quint32 temperatureInside = 0;
    quint32 temperatureOutside = 0;
    std::array<quint32, 3> temperatureModules{}; // Extended; 0 = absent
    quint32 power = 0;                  // Extended
    std::array<qint32, 3> supplyMillivolts{};    // Extended
    quint32 firmwareVersion = 0;        // Extended
    quint32 hardwareVersion = 0;        // Extended
    quint32 rangegateWidthMm = 0;       // exact range-gate width; 0 = absent
    quint8 pllStates = 0;               // bits 0, 1, 2: PLL 1, 2, 3 locked; PllStatesValid
    std::optional<RuProcessParameters> processParameters;

    bool isExtended() const { return flags & Extended; }
    bool hasPllStates() const { return flags & PllStatesValid; }

    // `block` holds RRD_INFO_SIZE bytes.
    static RuFrameInfo decode(const unsigned char *block);
    void encode(unsigned char *block) const;
    // Whether the block carries process parameters, without decoding the rest.
    static bool hasProcessParameters(const unsigned char *block);

    bool operator==(const RuFrameInfo &other) const;
    bool operator!=(const RuFrameInfo &other) const { return !(*this == other); }
};
