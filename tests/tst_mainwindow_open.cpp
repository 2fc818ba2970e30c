// Opening a recording in the window: every frame loaded reaches the slider, the activity plot
// and the view shown, in order, however the frames and results arrive; and a view of one frame
// is drawn when its frame arrives and when its result does, not again for every frame loaded.

#include "MainWindowTestSupport.h"

#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkPlotActivities.h"
#include "SkViewController.h"

#include <qwt_plot_curve.h>
#include <qwt_slider.h>

#include <QSignalSpy>

using namespace mwtest;

namespace {

constexpr int Frames = 1500;

} // namespace

class TestMainWindowOpen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyFrameLoadedIsShownOnce_data();
    void everyFrameLoadedIsShownOnce();
    void batchesMoveTheShownFrameOn();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

void TestMainWindowOpen::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
    m_path = writeRecording(m_dir, QStringLiteral("open.rrd0.gz"),
                            scene(RuScenario::Avalanche, Frames));
}

void TestMainWindowOpen::everyFrameLoadedIsShownOnce_data()
{
    QTest::addColumn<SkViewController::ShowHow>("how");
    QTest::newRow("frame") << SkViewController::ShowHow::Frame;
    QTest::newRow("rangegates over time") << SkViewController::ShowHow::Rangegates;
    QTest::newRow("velocities over time") << SkViewController::ShowHow::Velocities;
}

// The views over time grow with the frames; the view of one frame does not change while
// later frames load.
void TestMainWindowOpen::everyFrameLoadedIsShownOnce()
{
    QFETCH(SkViewController::ShowHow, how);
    SkMainWindow window({QStringLiteral("--process-params"), QStringLiteral("--n"),
                         QString::number(Frames), m_path});
    window.setShowHow(int(how));
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QSignalSpy extracted(window.view(), &SkViewController::frameExtracted);
    const auto *slider = child<QwtSlider>(&window, "progressSlider");
    QSignalSpy moved(slider, &QwtSlider::valueChanged);
    window.show();
    QVERIFY(complete.wait(Long));
    QVERIFY(waitSettled(window));

    QCOMPARE(slider->minimum(), 0.0);
    QCOMPARE(slider->maximum(), double(Frames));
    QCOMPARE(window.shownFrame(), 0);
    QCOMPARE(window.drawnFrame(), 0);
    const auto *activity = child<SkPlotActivities>(&window, "plotActivity");
    const QwtPlotCurve *avalanche = activity->curve(SkActivityAvalanche0);
    QCOMPARE(int(avalanche->dataSize()), Frames);
    QCOMPARE(avalanche->sample(Frames - 1).x(), double(Frames - 1));

    QVERIFY(!extracted.isEmpty());
    const int height = extracted.last().at(3).toInt();
    if (how == SkViewController::ShowHow::Rangegates) {
        QCOMPARE(height, Frames);
    } else if (how == SkViewController::ShowHow::Frame) {
        // The frame shown never moved: nothing chose it again for each frame loaded. It is
        // drawn on its arrival and on its result (and maybe once more when the radar's
        // settings are taken), not once per frame loaded.
        QCOMPARE(moved.count(), 0);
        QVERIFY2(extracted.size() <= 3, qPrintable(QString::number(extracted.size())));
    }
}

// Released batches move the frame shown along with the window's start.
void TestMainWindowOpen::batchesMoveTheShownFrameOn()
{
    SkMainWindow window({QStringLiteral("--process-params"), QStringLiteral("--n"),
                         QStringLiteral("500"), QStringLiteral("--batch"), QStringLiteral("250"),
                         m_path});
    window.setPlaying(true);
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    window.show();
    QVERIFY(complete.wait(Long));
    QVERIFY(waitSettled(window));
    const int start = window.store()->startFrame();
    QVERIFY(start > 0);
    QCOMPARE(window.shownFrame(), start);
    QCOMPARE(window.drawnFrame(), start);
}

QTEST_MAIN(TestMainWindowOpen)
#include "tst_mainwindow_open.moc"
