#pragma once
// What the main-window tests share: simulated recordings, finding the window's widgets by
// their object names, and waiting for the window to settle.

#include "RuSimulator.h"
#include "SkMainWindow.h"
#include "SkPlotMetaTypes.h"
#include "SkStoreMetaTypes.h"

#include <QAction>
#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace mwtest {

constexpr int Long = 60000; // generous time-out of every wait, in ms

// Windows read the program store when built and write it when closed: each test program
// gets an empty one of its own, so that runs see neither each other's nor the user's.
inline void isolateSettings()
{
    static QTemporaryDir dir;
    QCoreApplication::setOrganizationDomain(QStringLiteral("radar"));
    QCoreApplication::setApplicationName(QStringLiteral("skarnel"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    QSettings().clear();
}

inline void registerTypes()
{
    skRegisterStoreMetaTypes();
    skRegisterPlotMetaTypes();
    isolateSettings();
}

inline QString writeRecording(const QTemporaryDir &dir, const QString &name,
                              RuSimulatorOptions options)
{
    const QString path = dir.filePath(name);
    RuSimulator simulator(options);
    QString error;
    if (!simulator.writeRecording(path, &error))
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(error));
    return path;
}

inline RuSimulatorOptions scene(RuScenario scenario, int frames, int rangegates = 20)
{
    RuSimulatorOptions options;
    options.scenario = scenario;
    options.frames = frames;
    options.rangegates = rangegates;
    options.processParams = true;
    return options;
}

template <typename T>
T *child(const QObject *window, const char *name)
{
    T *object = window->findChild<T *>(QString::fromLatin1(name));
    if (!object)
        qFatal("no child %s", name);
    return object;
}

inline QAction *action(const QObject *window, const char *name)
{
    return child<QAction>(window, name);
}

// Waits until the window has drawn what its controls name.
inline bool waitSettled(SkMainWindow &window)
{
    return QTest::qWaitFor(
        [&] {
            window.flushPlotUpdate();
            return window.isPlotSettled();
        },
        Long);
}

} // namespace mwtest
