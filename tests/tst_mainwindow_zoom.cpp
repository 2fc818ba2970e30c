// Zoom, pan and "Go To" in the real window, offscreen, with real input events on a simulated
// recording: the spectrogram zoomed by wheel and rubber band, panned, reset, its zoom kept over
// a frame step and another "Show What" and followed by both profiles; the activity plot zoomed
// on its frames alone, its cursor still placed by a click and the slider below still in line;
// the default layout's room for the spectrogram; frames found by number and by time, and the
// message for a frame the window does not hold.

#include "MainWindowTestSupport.h"
#include "PlotInputTestSupport.h"

#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkPlotActivities.h"
#include "SkPlotSpectrogram.h"
#include "SkPlotZoomer.h"
#include "SkTimezoneAction.h"

#include <qwt_plot_canvas.h>
#include <qwt_scale_map.h>
#include <qwt_slider.h>

#include <QDialogButtonBox>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>

#include <memory>

using namespace mwtest;
using namespace plotinput;

namespace {

constexpr int Frames = 300;

bool near(const QRectF &a, const QRectF &b, double tolerance = 1e-6)
{
    return qAbs(a.left() - b.left()) < tolerance && qAbs(a.right() - b.right()) < tolerance
           && qAbs(a.top() - b.top()) < tolerance && qAbs(a.bottom() - b.bottom()) < tolerance;
}

QString text(const QRectF &r)
{
    return QStringLiteral("x %1 ... %2, y %3 ... %4")
        .arg(r.left()).arg(r.right()).arg(r.top()).arg(r.bottom());
}

#define COMPARE_RECT(shown, expected)                                                    \
    QVERIFY2(near(shown, expected), qPrintable(text(shown) + " instead of " + text(expected)))

QwtInterval interval(const QwtPlot *plot, int axis)
{
    return plot->axisInterval(axis);
}

// The span of the profiles: the rows of the channel profile and the columns of the range-gate
// profile.
QRectF profileSpans(const SkMainWindow &window)
{
    const QwtInterval rows = interval(child<QwtPlot>(&window, "plotLeft"), QwtPlot::yLeft);
    const QwtInterval columns = interval(child<QwtPlot>(&window, "plotBottom"), QwtPlot::xBottom);
    return QRectF(columns.minValue(), rows.minValue(), columns.width(), rows.width());
}

// Global x of frame `frame` on the activity plot's whole view and on the slider below it.
QPair<double, double> framePositions(const SkMainWindow &window, double frame)
{
    const auto *plot = child<SkPlotActivities>(&window, "plotActivity");
    const auto *slider = child<QwtSlider>(&window, "progressSlider");
    QwtScaleMap whole = plot->canvasMap(QwtPlot::xBottom);
    whole.setScaleInterval(plot->zoomer()->wholeView().left(), plot->zoomer()->wholeView().right());
    return {plot->canvas()->mapToGlobal(QPoint(0, 0)).x() + whole.transform(frame),
            slider->mapToGlobal(QPoint(0, 0)).x() + slider->scaleMap().transform(frame)};
}

bool sliderLinesUp(const SkMainWindow &window)
{
    for (double frame : {0.0, Frames / 2.0, double(Frames)}) {
        const QPair<double, double> x = framePositions(window, frame);
        if (qAbs(x.first - x.second) > 1.0)
            return false;
    }
    return true;
}

// A zoom gesture on `plot` around plot point (x, y), by wheel or by a rubber band to (x2, y2).
void zoomBy(QwtPlot *plot, const QString &gesture, double x, double y, double x2, double y2)
{
    if (gesture == QLatin1String("wheel"))
        wheel(plot->canvas(), pixelOf(*plot, x, y), 360, Qt::ControlModifier);
    else
        drag(plot->canvas(), Qt::LeftButton, pixelOf(*plot, x, y), pixelOf(*plot, x2, y2));
}

// Dragging with the middle button.
void panBy(QwtPlot *plot, const QPointF &from, const QPointF &to)
{
    drag(plot->canvas(), Qt::MiddleButton, pixelOf(*plot, from.x(), from.y()),
         pixelOf(*plot, to.x(), to.y()));
}

void resetBy(QwtPlot *plot, const QString &how)
{
    if (how == QLatin1String("escape")) {
        plot->canvas()->setFocus();
        QTest::keyClick(plot->canvas(), Qt::Key_Escape);
    } else {
        mouse(plot->canvas(), QEvent::MouseButtonDblClick, Qt::LeftButton,
              plot->canvas()->rect().center());
    }
}

SkTimezoneAction *timezoneAction(const SkMainWindow &window)
{
    for (QAction *entry : child<QMenu>(&window, "menuDisplay")->actions())
        if (auto *zone = qobject_cast<SkTimezoneAction *>(entry))
            return zone;
    qFatal("no time-zone action");
}

} // namespace

class TestMainWindowZoom : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void spectrogramZoomIsKeptAndFollowedByTheProfiles_data();
    void spectrogramZoomIsKeptAndFollowedByTheProfiles();
    void activityPlotZoomsItsFramesAlone_data();
    void activityPlotZoomsItsFramesAlone();
    void defaultLayoutGivesTheSpectrogramItsRoom_data();
    void defaultLayoutGivesTheSpectrogramItsRoom();
    void goToFindsFramesByNumberAndTime_data();
    void goToFindsFramesByNumberAndTime();

private:
    // The window on the recording, shown at 1600 x 1000 with frame `shown` drawn.
    void openWindow(const QStringList &options = {}, int shown = 100);

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<SkMainWindow> m_window;
};

void TestMainWindowZoom::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
    m_path = writeRecording(m_dir, QStringLiteral("avalanche.rrd0.gz"),
                            scene(RuScenario::Avalanche, Frames));
}

// Each test starts from an empty program store, as a first start does.
void TestMainWindowZoom::init()
{
    QSettings().clear();
}

void TestMainWindowZoom::cleanup()
{
    m_window.reset();
}

void TestMainWindowZoom::openWindow(const QStringList &options, int shown)
{
    m_window = std::make_unique<SkMainWindow>(options + QStringList{m_path});
    m_window->resize(1600, 1000);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // The slider reaches as far as the window has heard from the store.
    const auto *slider = child<QwtSlider>(m_window.get(), "progressSlider");
    QTRY_VERIFY_WITH_TIMEOUT(slider->lowerBound() <= shown && slider->upperBound() > shown, Long);
    m_window->showFrame(shown);
    QVERIFY2(drawnAt(*m_window, shown),
             qPrintable(QStringLiteral("shown %1, drawn %2, settled %3, held %4 to %5")
                            .arg(m_window->shownFrame()).arg(m_window->drawnFrame())
                            .arg(m_window->isPlotSettled()).arg(m_window->store()->startFrame())
                            .arg(m_window->store()->endFrame())));
}

void TestMainWindowZoom::spectrogramZoomIsKeptAndFollowedByTheProfiles_data()
{
    QTest::addColumn<QString>("zoom");
    QTest::addColumn<QString>("reset");
    QTest::newRow("ctrl+wheel, double click") << "wheel" << "double click";
    QTest::newRow("rubber band, escape") << "band" << "escape";
}

void TestMainWindowZoom::spectrogramZoomIsKeptAndFollowedByTheProfiles()
{
    QFETCH(QString, zoom);
    QFETCH(QString, reset);
    openWindow();
    auto *plot = child<SkPlotSpectrogram>(m_window.get(), "plotCenter");
    const QRectF whole = shownRect(*plot);
    COMPARE_RECT(profileSpans(*m_window), whole);

    zoomBy(plot, zoom, 300, 12, 500, 4);
    QVERIFY(plot->zoomer()->isZoomed());
    const QRectF zoomed = shownRect(*plot);
    QVERIFY2(zoomed.width() < whole.width() / 1.5 && zoomed.height() < whole.height() / 1.5,
             qPrintable(text(zoomed)));
    COMPARE_RECT(profileSpans(*m_window), zoomed);

    // Dragging the picture 40 channels right and a row up shows what lay left and below.
    panBy(plot, zoomed.center(), zoomed.center() + QPointF(40, 1));
    const QRectF panned = shownRect(*plot);
    QVERIFY2(qAbs(panned.left() - (zoomed.left() - 40)) < 1.0
                 && qAbs(panned.top() - (zoomed.top() - 1)) < 0.1,
             qPrintable(text(panned)));
    COMPARE_RECT(profileSpans(*m_window), panned);
    QVERIFY(!action(m_window.get(), "playAction")->isChecked());

    // A frame step and another matrix keep what is shown.
    action(m_window.get(), "nextFrameAction")->trigger();
    QVERIFY(drawnAt(*m_window, 101));
    m_window->setShowWhat(int(SkPacketTypeEnum::AvalancheNormalized));
    QVERIFY(waitSettled(*m_window));
    COMPARE_RECT(shownRect(*plot), panned);
    COMPARE_RECT(profileSpans(*m_window), panned);

    resetBy(plot, reset);
    QVERIFY(!plot->zoomer()->isZoomed());
    COMPARE_RECT(shownRect(*plot), whole);
    COMPARE_RECT(profileSpans(*m_window), whole);

    // Another view gives the axes other meanings: it starts from its whole picture.
    zoomBy(plot, zoom, 300, 12, 500, 4);
    m_window->setShowHow(int(SkViewController::ShowHow::Rangegates));
    QVERIFY(waitSettled(*m_window));
    QVERIFY(!plot->zoomer()->isZoomed());
    COMPARE_RECT(profileSpans(*m_window), shownRect(*plot));
}

void TestMainWindowZoom::activityPlotZoomsItsFramesAlone_data()
{
    QTest::addColumn<QString>("zoom");
    QTest::addColumn<QString>("reset");
    QTest::newRow("ctrl+wheel, double click") << "wheel" << "double click";
    QTest::newRow("rubber band, escape") << "band" << "escape";
}

void TestMainWindowZoom::activityPlotZoomsItsFramesAlone()
{
    QFETCH(QString, zoom);
    QFETCH(QString, reset);
    openWindow();
    QSignalSpy complete(m_window->session(), &SkLiveSession::analysisComplete);
    QVERIFY(m_window->session()->state() == SkLiveSession::Complete || complete.wait(Long));
    m_window->showFrame(100);
    QVERIFY(drawnAt(*m_window, 100));
    auto *plot = child<SkPlotActivities>(m_window.get(), "plotActivity");
    plot->replot();
    const QwtInterval frames = interval(plot, QwtPlot::xBottom);
    const QwtInterval left = interval(plot, QwtPlot::yLeft);
    const QwtInterval right = interval(plot, QwtPlot::yRight);
    QCOMPARE(frames, QwtInterval(0, Frames));
    QTRY_VERIFY_WITH_TIMEOUT(sliderLinesUp(*m_window), Long);

    const double y = (left.minValue() + left.maxValue()) / 2;
    zoomBy(plot, zoom, 120, y, 180, left.minValue());
    const QwtInterval zoomed = interval(plot, QwtPlot::xBottom);
    QVERIFY2(zoomed.width() < Frames * 0.6 && zoomed.contains(130),
             qPrintable(QStringLiteral("%1 ... %2").arg(zoomed.minValue()).arg(zoomed.maxValue())));
    QCOMPARE(interval(plot, QwtPlot::yLeft), left);
    QCOMPARE(interval(plot, QwtPlot::yRight), right);
    // The slider keeps its place under the whole view.
    QTRY_VERIFY_WITH_TIMEOUT(sliderLinesUp(*m_window), Long);

    // A click names the frame under it on the zoomed axis; the zoom stays.
    const int clicked = qRound(zoomed.minValue() + zoomed.width() / 4);
    QTest::mouseClick(plot->canvas(), Qt::LeftButton, Qt::NoModifier,
                      pixelOf(*plot, clicked, y));
    QCOMPARE(m_window->shownFrame(), clicked);
    QVERIFY(drawnAt(*m_window, clicked));
    m_window->setShowWhat(int(SkPacketTypeEnum::OriginalFiltered));
    QVERIFY(waitSettled(*m_window));
    QCOMPARE(interval(plot, QwtPlot::xBottom), zoomed);

    // Frames shown beyond the zoom bring it along, its width kept.
    m_window->showFrame(250);
    const QwtInterval followed = interval(plot, QwtPlot::xBottom);
    QVERIFY(followed.contains(250));
    QVERIFY(qAbs(followed.width() - zoomed.width()) < 1e-6);

    resetBy(plot, reset);
    QCOMPARE(interval(plot, QwtPlot::xBottom), frames);
    QTRY_VERIFY_WITH_TIMEOUT(sliderLinesUp(*m_window), Long);
}

void TestMainWindowZoom::defaultLayoutGivesTheSpectrogramItsRoom_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("first start") << "nothing";
    QTest::newRow("layout stored by this version") << "this version";
    QTest::newRow("layout stored by an earlier version") << "earlier version";
}

// 1024 channels in at least 500 px of a 1600 x 1000 window, and every dock still shown.
void TestMainWindowZoom::defaultLayoutGivesTheSpectrogramItsRoom()
{
    QFETCH(QString, stored);
    if (stored == QLatin1String("this version")) {
        openWindow();
        m_window->close();
    } else if (stored == QLatin1String("earlier version")) {
        // The parameters in a column of their own on the left, stored as layout version 0.
        SkMainWindow earlier({});
        earlier.addDockWidget(Qt::LeftDockWidgetArea, child<QDockWidget>(&earlier, "dockParams"));
        earlier.resize(1600, 1000);
        earlier.show();
        QVERIFY(QTest::qWaitForWindowExposed(&earlier));
        QSettings().setValue(QStringLiteral("geometry"), earlier.saveGeometry());
        QSettings().setValue(QStringLiteral("windowState"), earlier.saveState(0));
    }
    openWindow();
    const auto *plot = child<SkPlotSpectrogram>(m_window.get(), "plotCenter");
    const double pixels =
        plot->canvasMap(QwtPlot::xBottom).pDist() * 1024 / interval(plot, QwtPlot::xBottom).width();
    QVERIFY2(pixels >= 500, qPrintable(QStringLiteral("%1 px").arg(pixels)));
    for (const QDockWidget *dock : m_window->findChildren<QDockWidget *>())
        QVERIFY2(dock->toggleViewAction()->isChecked(), qPrintable(dock->objectName()));
}

void TestMainWindowZoom::goToFindsFramesByNumberAndTime_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("frame"); // -1: the dialog stays open
    QTest::addColumn<QString>("message");
    const QString held = QStringLiteral("it holds frames 50 to 149");
    const QString times = QStringLiteral(", 2024-02-01 06:00:50.000 UTC to 2024-02-01 06:02:29.000 UTC");
    QTest::newRow("held number") << 0 << "120" << 120 << "";
    QTest::newRow("released number") << 0 << "10" << -1
                                     << "Frame 10 is no longer in memory (" + held + ").";
    QTest::newRow("number not loaded yet") << 0 << " 400 " << -1
                                           << "Frame 400 is not in memory yet (" + held + ").";
    QTest::newRow("date and time") << 0 << "2024-02-01 06:01:40" << 100
        << "Frame 100 (2024-02-01 06:01:40.000 UTC) is the nearest held frame to "
           "2024-02-01 06:01:40.000 UTC";
    QTest::newRow("between two frames, with T") << 0 << "2024-02-01T06:01:40.6" << 101
        << "Frame 101 (2024-02-01 06:01:41.000 UTC) is the nearest held frame to "
           "2024-02-01 06:01:40.600 UTC";
    QTest::newRow("time alone, on the day shown") << 0 << "06:02" << 120
        << "Frame 120 (2024-02-01 06:02:00.000 UTC) is the nearest held frame to "
           "2024-02-01 06:02:00.000 UTC";
    QTest::newRow("in the window's zone") << 2 << "2024-02-01 08:01:40" << 100
        << "Frame 100 (2024-02-01 08:01:40.000 UTC 2) is the nearest held frame to "
           "2024-02-01 08:01:40.000 UTC 2";
    QTest::newRow("before the frames held") << 0 << "2024-02-01 06:00:10" << -1
        << "2024-02-01 06:00:10.000 UTC is before the frames in memory (" + held + times + ").";
    QTest::newRow("after the frames held") << 0 << "2024-02-02 06:00" << -1
        << "2024-02-02 06:00:00.000 UTC is after the frames in memory (" + held + times + ").";
    QTest::newRow("neither") << 0 << "yesterday" << -1
        << "\"yesterday\" is neither a frame number nor a date and time such as "
           "2024-02-01 06:05:30.";
}

// Ctrl+G on a window that holds frames 50 to 149 of the recording (one batch released).
void TestMainWindowZoom::goToFindsFramesByNumberAndTime()
{
    QFETCH(int, offset);
    QFETCH(QString, typed);
    QFETCH(int, frame);
    QFETCH(QString, message);
    openWindow({QStringLiteral("--n"), QStringLiteral("100"), QStringLiteral("--batch"),
                QStringLiteral("50")},
               60);
    QAction *nextBatch = action(m_window.get(), "nextBatchAction");
    QTRY_VERIFY_WITH_TIMEOUT(nextBatch->isEnabled(), Long);
    nextBatch->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->store()->startFrame() == 50
                                 && m_window->store()->endFrame() == 150,
                             Long);
    timezoneAction(*m_window)->setValue(offset);
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));

    QString said;
    bool stayedOpen = false;
    whenModal<QDialog>([&](QDialog *dialog) {
        child<QLineEdit>(dialog, "targetLineEdit")->setText(typed);
        child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
        stayedOpen = dialog->isVisible();
        said = child<QLabel>(dialog, "messageLabel")->text();
        if (stayedOpen)
            dialog->reject();
    });
    QTest::keyClick(m_window.get(), Qt::Key_G, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), Long);

    QCOMPARE(stayedOpen, frame < 0);
    if (frame < 0) {
        QCOMPARE(said, message);
        QCOMPARE(m_window->shownFrame(), 60);
        return;
    }
    QCOMPARE(m_window->shownFrame(), frame);
    QVERIFY(drawnAt(*m_window, frame));
    QCOMPARE(m_window->statusBar()->currentMessage(), message);
}

QTEST_MAIN(TestMainWindowZoom)
#include "tst_mainwindow_zoom.moc"
