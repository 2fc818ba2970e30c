#pragma once
// What the main-window tests share: simulated recordings, finding the window's widgets by
// their object names, and waiting for the window to settle.

#include "RuSimulator.h"
#include "SkMainWindow.h"
#include "SkPlotMetaTypes.h"
#include "SkStoreMetaTypes.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTest>

namespace mwtest {

constexpr int Long = 60000; // generous time-out of every wait, in ms

inline void registerTypes()
{
    skRegisterStoreMetaTypes();
    skRegisterPlotMetaTypes();
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
