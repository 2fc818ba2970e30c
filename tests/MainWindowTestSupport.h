#pragma once
// What the main-window tests share: simulated recordings, a stream from `rrdcli serve`,
// finding the window's widgets by their object names, and waiting for the window to settle.

#include "RrdcliTestSupport.h"
#include "RuSimulator.h"
#include "SkLiveSession.h"
#include "SkMainWindow.h"
#include "SkPlotMetaTypes.h"
#include "SkStoreMetaTypes.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
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

using rrdclitest::ServeProcess;
using rrdclitest::rrdcliPath;

// Calls `answer` with the next modal dialog of type T once it is shown (within 30 s).
template <typename T, typename F>
void whenModal(F answer)
{
    auto *timer = new QTimer(QCoreApplication::instance()); // gone with the test, if never shown
    const QDeadlineTimer deadline(30000);
    QObject::connect(timer, &QTimer::timeout, [timer, answer, deadline] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if ((!dialog || !dialog->isVisible()) && !deadline.hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog)
            answer(dialog);
    });
    timer->start(20);
}

// Answers the next file dialog with `path`; `proposed` receives what it proposed.
inline void answerFileDialog(const QString &path, QString *proposed = nullptr)
{
    whenModal<QFileDialog>([path, proposed](QFileDialog *dialog) {
        if (proposed)
            *proposed = dialog->selectedFiles().value(0);
        // As a user types it.
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

// Answers the message boxes that come up, in order, with `buttons`; each box's text and
// informative text go to `seen`.
inline void answerBoxes(QList<QMessageBox::StandardButton> buttons, QStringList *seen)
{
    auto *timer = new QTimer(QCoreApplication::instance()); // gone with the test, if never shown
    const QDeadlineTimer deadline(30000);
    QObject::connect(timer, &QTimer::timeout, [timer, buttons, seen, deadline]() mutable {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && box->isVisible() && !buttons.isEmpty()) {
            *seen << box->windowTitle() + QLatin1Char('|') + box->text() + QLatin1Char('|')
                         + box->informativeText();
            box->button(buttons.takeFirst())->click();
        }
        if (buttons.isEmpty() || deadline.hasExpired()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
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

// Waits until every frame of the open has its detectors' result.
inline bool analysed(SkMainWindow &window)
{
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    return window.session()->state() == SkLiveSession::Complete || complete.wait(Long);
}

// Waits until the window has settled with `frame` drawn.
inline bool drawnAt(SkMainWindow &window, int frame)
{
    return QTest::qWaitFor(
        [&] {
            window.flushPlotUpdate();
            return window.isPlotSettled() && window.drawnFrame() == frame;
        },
        Long);
}

} // namespace mwtest
