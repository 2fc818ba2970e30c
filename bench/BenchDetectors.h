#pragma once
// Detector settings the benchmarks share: the simulated radar's own settings with every
// detector and live value switched on, and the parameter file that carries them to rrdcli.

#include "RuAlarmCalculator.h"
#include "RuParameterSet.h"
#include "RuParameterTable.h"
#include "RuSimulator.h"

#include <QFile>
#include <QSettings>
#include <QString>

inline RuAlarmCalculator benchAllDetectors(const RuSimulator &simulator)
{
    RuAlarmCalculator calculator;
    calculator.fromProcessParameters(simulator.frameInfo(0));
    for (int k = 0; k < RuAlarmCalculator::Detectors; ++k)
        calculator.setAvalancheEnable(k, true);
    calculator.setRainEnable(0, true);
    calculator.setWaterlevelEnable(0, true);
    calculator.setLiveEnables({true, true, true, true, true});
    return calculator;
}

inline bool benchWriteParameterFile(const QString &path, const RuAlarmCalculator &calculator)
{
    QFile::remove(path);
    QSettings settings(path, QSettings::IniFormat);
    RuParameterTable::write(settings, RuParameterSet::fromCalculator(calculator));
    settings.sync();
    return settings.status() == QSettings::NoError;
}
