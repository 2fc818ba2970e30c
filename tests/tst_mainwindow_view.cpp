// The view controller on its own, over a live session that has analysed a simulated
// recording: what it asks the store for in each view, how the marker names frames, range
// gates and channels, the colour scale of each kind, and that a quick series of requests ends
// on the last one.

#include "MainWindowTestSupport.h"

#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkViewController.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>
#include <QtConcurrent>

using namespace mwtest;

namespace {

using ShowHow = SkViewController::ShowHow;
using PeakShift = SkViewController::PeakShift;

// What one frameExtracted() handed over.
struct Extracted
{
    QVector<double> data;
    int width = 0;
    int frame = -1;
};

Extracted lastExtracted(const QSignalSpy &spy)
{
    const QList<QVariant> &args = spy.last();
    return {args.at(0).value<QVector<double>>(), args.at(1).toInt(),
            args.at(4).value<SkPacket>().frameNumber()};
}

} // namespace

class TestMainWindowView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void extractsTheViewItIsAskedFor_data();
    void extractsTheViewItIsAskedFor();
    void quickRequestsEndOnTheLastFrame();
    void aViewLeftMeanwhileIsNotDrawn();
    void markerNamesFramesAndPositions();
    void levelViewsShareTheirColourScale();

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<SkLiveSession> m_session;
};

void TestMainWindowView::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
    m_path = writeRecording(m_dir, QStringLiteral("view.rrd0.gz"), scene(RuScenario::Avalanche, 60));
    m_session = std::make_unique<SkLiveSession>();
    QSignalSpy complete(m_session.get(), &SkLiveSession::analysisComplete);
    m_session->open({m_path}, 1000, 500);
    QVERIFY(complete.wait(Long));
    QCOMPARE(m_session->store()->endFrame(), 60);
}

void TestMainWindowView::extractsTheViewItIsAskedFor_data()
{
    QTest::addColumn<ShowHow>("how");
    QTest::addColumn<PeakShift>("shift");
    QTest::newRow("frame") << ShowHow::Frame << PeakShift::None;
    QTest::newRow("frame, to right") << ShowHow::Frame << PeakShift::ToRight;
    QTest::newRow("rangegates, to middle") << ShowHow::Rangegates << PeakShift::ToMiddle;
    QTest::newRow("velocities, to middle") << ShowHow::Velocities << PeakShift::ToMiddle;
}

// The cell of the frame, range gate and displayed column holds the frame's value of the
// source channel the shift rotated there.
void TestMainWindowView::extractsTheViewItIsAskedFor()
{
    QFETCH(ShowHow, how);
    QFETCH(PeakShift, shift);
    const int frame = 7, rangegate = 3, column = 100;
    SkViewController view(m_session->store());
    view.setDataRange(0, 60);
    view.setShowHow(how);
    view.setPeakShift(shift);
    view.setRangegate(rangegate);
    view.setChannel(column);
    QSignalSpy extracted(&view, &SkViewController::frameExtracted);
    view.setFrame(frame);
    QVERIFY(QTest::qWaitFor([&] { view.flush(); return view.isSettled() && view.drawnFrame() == frame; }, Long));

    const Extracted e = lastExtracted(extracted);
    QCOMPARE(e.frame, frame);
    int cell = 0;
    if (how == ShowHow::Frame)
        cell = rangegate * e.width + column;
    else if (how == ShowHow::Rangegates)
        cell = frame * e.width + column;
    else
        cell = rangegate * e.width + frame;
    const RuMatrix m = RuSimulator(scene(RuScenario::Avalanche, 60)).frame(frame).toMatrix();
    const int source = ((column - int(shift)) % 1024 + 1024) % 1024;
    QCOMPARE(e.data.value(cell), double(m(rangegate, source)));
    QCOMPARE(view.displayedPacket().frameNumber(), frame);
}

void TestMainWindowView::quickRequestsEndOnTheLastFrame()
{
    SkViewController view(m_session->store());
    QSignalSpy extracted(&view, &SkViewController::frameExtracted);
    QSignalSpy settled(&view, &SkViewController::settled);
    for (int frame = 10; frame <= 15; ++frame)
        view.setFrame(frame);
    QVERIFY(settled.wait(Long) || view.isSettled());
    QVERIFY(QTest::qWaitFor([&] { return view.isSettled() && view.drawnFrame() == 15; }, Long));
    // The first is served at once, the other five make one trailing request.
    QVERIFY(extracted.count() <= 2);
    QCOMPARE(lastExtracted(extracted).frame, 15);
}

// The jobs of the frame view and of the range-gate view it was left for run one after the
// other on the one thread the pool has free: only the range-gate view is handed over.
void TestMainWindowView::aViewLeftMeanwhileIsNotDrawn()
{
    SkViewController view(m_session->store());
    QThreadPool *pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(pool->activeThreadCount() + 1);
    QSemaphore go;
    QFuture<void> blocker = QtConcurrent::run([&go] { go.acquire(); });
    QSignalSpy extracted(&view, &SkViewController::frameExtracted);
    view.setFrame(7);
    view.setShowHow(ShowHow::Rangegates);
    view.flush();
    go.release();
    blocker.waitForFinished();
    QVERIFY(QTest::qWaitFor([&] { return view.isSettled() && view.drawnFrame() == 7; }, Long));
    pool->setMaxThreadCount(threads);
    QVERIFY(!extracted.isEmpty());
    // A range-gate view is as high as the frames held, a frame view as its range gates.
    for (const QList<QVariant> &args : qAsConst(extracted))
        QCOMPARE(args.at(3).toInt(), 60);
}

void TestMainWindowView::markerNamesFramesAndPositions()
{
    SkViewController view(m_session->store());
    view.setDataRange(100, 50);
    QSignalSpy marker(&view, &SkViewController::markerMoved);
    QSignalSpy frames(&view, &SkViewController::frameChosen);
    QSignalSpy positions(&view, &SkViewController::positionChosen);

    view.placeMarker(QPointF(300.5, 5.2));
    QCOMPARE(positions.last(), (QList<QVariant>{5, 300}));
    QCOMPARE(view.rangegate(), 5);
    view.setRangegate(7);
    QCOMPARE(marker.last().at(0).toPointF(), QPointF(300.5, 7));

    // Over time the marker stands on the frame on display, counted from the first held.
    view.setShowHow(ShowHow::Rangegates);
    view.setFrame(120);
    QCOMPARE(marker.last().at(0).toPointF(), QPointF(300.5, 20));
    view.placeMarker(QPointF(40, 9.7));
    QCOMPARE(frames.last().at(0).toInt(), 109);
    view.setShowHow(ShowHow::Velocities);
    view.placeMarker(QPointF(12.3, 4));
    QCOMPARE(frames.last().at(0).toInt(), 112);
    QCOMPARE(positions.count(), 1);

    // Each view gets back the marker placed in it last.
    view.setShowHow(ShowHow::Frame);
    QCOMPARE(view.markerPosition(), QPointF(300.5, 7));
    view.setShowHow(ShowHow::Rangegates);
    QCOMPARE(view.markerPosition(), QPointF(40, 9.7));
    QVERIFY(QTest::qWaitFor([&] { view.flush(); return view.isSettled(); }, Long));
}

void TestMainWindowView::levelViewsShareTheirColourScale()
{
    SkViewController view(m_session->store());
    QSignalSpy top(&view, &SkViewController::colourTopChanged);
    view.setShowWhat(SkPacketTypeEnum::AvalancheNormalized);
    QCOMPARE(top.last().at(0).toDouble(), 4.0);
    view.setColourTop(2.6);
    view.setShowWhat(SkPacketTypeEnum::Original);
    QCOMPARE(top.last().at(0).toDouble(), 400.0);
    view.setColourTop(1000);
    view.setShowWhat(SkPacketTypeEnum::LiveHalfSym);
    QCOMPARE(top.last().at(0).toDouble(), 1000.0);
    view.setShowWhat(SkPacketTypeEnum::AvalancheNormalized);
    QCOMPARE(top.last().at(0).toDouble(), 3.0);
    QCOMPARE(view.colourTop(SkPacketTypeEnum::OriginalFiltered), 1000.0);
    QVERIFY(QTest::qWaitFor([&] { view.flush(); return view.isSettled(); }, Long));
}

QTEST_MAIN(TestMainWindowView)
#include "tst_mainwindow_view.moc"
