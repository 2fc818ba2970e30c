#pragma once
// The live values of one frame: a copy of the frame's identifying header and one unsigned
// 16-bit value per range gate for each live value that was computed.

#include <QVector>
#include <QtGlobal>

struct RuLiveHeader
{
    bool present = false;          // the frame carried rrd_info
    qint32 seconds = 0;            // measurement time, seconds since 1970 UTC
    qint32 microseconds = 0;
    qint32 gmtOffset = 0;          // time-zone offset in seconds
    quint16 rangegates = 0;
    quint8 antenna = 0;            // 'A' or 'B'
    quint8 zero = 0;
    quint32 temperatureModule1 = 0; // hundredths of a kelvin
    quint32 temperatureModule2 = 0;
    quint32 temperatureModule3 = 0;
};

struct RuLiveValues
{
    RuLiveHeader header;
    // Empty when not computed for this frame. Velocities in 0.1 m/s.
    QVector<quint16> channel0;
    QVector<quint16> activity;
    QVector<quint16> mainVelocity;
    QVector<quint16> maxVelocity;
    QVector<quint16> medianVelocity;
};
