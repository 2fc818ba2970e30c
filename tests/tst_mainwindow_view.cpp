// The view controller on its own, over a live session that has analysed a simulated
// recording: what it asks the store for in each view, how the marker stands on the frame,
// range gate and channel in every view, the colour scale of each kind, and that a quick series
// of requests ends on the last one.

#include "MainWindowTestSupport.h"

#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkViewController.h"

#include <QSettings>
#include <QSignalSpy>

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
    void markerStandsOnThePositionInEveryView();
    void colourScaleIsKeptPerKindAndAcrossRuns();

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

// The cell of the frame, range gate and channel holds the frame's value there, in the column
// the shift rotated the channel to.
void TestMainWindowView::extractsTheViewItIsAskedFor()
{
    QFETCH(ShowHow, how);
    QFETCH(PeakShift, shift);
    const int frame = 7, rangegate = 3, channel = 100;
    SkViewController view(m_session->store());
    view.setDataRange(0, 60);
    view.setShowHow(how);
    view.setPeakShift(shift);
    view.setRangegate(rangegate);
    view.setChannel(channel);
    QSignalSpy extracted(&view, &SkViewController::frameExtracted);
    view.setFrame(frame);
    QVERIFY(QTest::qWaitFor([&] { view.flush(); return view.isSettled() && view.drawnFrame() == frame; }, Long));

    const Extracted e = lastExtracted(extracted);
    QCOMPARE(e.frame, frame);
    const int column = (channel + int(shift)) % 1024;
    int cell = 0;
    if (how == ShowHow::Frame)
        cell = rangegate * e.width + column;
    else if (how == ShowHow::Rangegates)
        cell = frame * e.width + column;
    else
        cell = rangegate * e.width + frame;
    const RuMatrix m = RuSimulator(scene(RuScenario::Avalanche, 60)).frame(frame).toMatrix();
    QCOMPARE(e.data.value(cell), double(m(rangegate, channel)));
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

// The frame view's job runs at once; its result reaches this thread only after the view was
// left for the range-gate view: only the range-gate view is handed over.
void TestMainWindowView::aViewLeftMeanwhileIsNotDrawn()
{
    SkViewController view(m_session->store());
    QSignalSpy extracted(&view, &SkViewController::frameExtracted);
    view.setFrame(7);
    view.setShowHow(ShowHow::Rangegates);
    view.flush();
    QVERIFY(QTest::qWaitFor([&] { return view.isSettled() && view.drawnFrame() == 7; }, Long));
    QVERIFY(!extracted.isEmpty());
    // A range-gate view is as high as the frames held, a frame view as its range gates.
    for (const QList<QVariant> &args : qAsConst(extracted))
        QCOMPARE(args.at(3).toInt(), 60);
}

// The views share one frame, range gate and channel: the marker is that position as each
// view draws it (cell centres, frames counted from the first held), and a click into a view
// over time chooses the frame and what else that view draws.
void TestMainWindowView::markerStandsOnThePositionInEveryView()
{
    SkViewController view(m_session->store());
    view.setDataRange(100, 50);
    view.setFrame(120);
    view.setRangegate(7);
    view.setChannel(300);
    view.setPeakShift(PeakShift::ToMiddle);
    QCOMPARE(view.markerPosition(), QPointF(812.5, 7.5));
    view.setShowHow(ShowHow::Velocities);
    QCOMPARE(view.markerPosition(), QPointF(20.5, 7.5));

    QSignalSpy frames(&view, &SkViewController::frameChosen);
    QSignalSpy positions(&view, &SkViewController::positionChosen);
    view.placeMarker(QPointF(12.3, 4.6));
    QCOMPARE(frames.last().at(0).toInt(), 112);
    QCOMPARE(positions.last(), (QList<QVariant>{4, 300}));
    view.setFrame(112);
    view.setShowHow(ShowHow::Rangegates);
    QCOMPARE(view.markerPosition(), QPointF(812.5, 12.5));
    QVERIFY(QTest::qWaitFor([&] { view.flush(); return view.isSettled(); }, Long));
}

// Each kind keeps its own scale; stored values outside the slider's range keep the defaults,
// and a fixed scale ignores the levels automatic ones would choose.
void TestMainWindowView::colourScaleIsKeptPerKindAndAcrossRuns()
{
    using Type = SkPacketTypeEnum;
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("view.ini")), QSettings::IniFormat);
    settings.setValue(QStringLiteral("colourScale/original/top"), 1000);
    settings.setValue(QStringLiteral("colourScale/original/auto"), false);
    settings.setValue(QStringLiteral("colourScale/liveHalfSym/top"), 0);
    settings.setValue(QStringLiteral("colourScale/avalancheBackground/top"), QStringLiteral("high"));
    SkViewController view(m_session->store());
    QSignalSpy changed(&view, &SkViewController::colourScaleChanged);
    view.readSettings(settings);
    QCOMPARE(changed.last(), (QList<QVariant>{1000.0, false})); // the kind shown
    view.takeAutoTop(9);
    QCOMPARE(view.colourScale(Type::Original).top, 1000.0);
    QCOMPARE(view.colourScale(Type::LiveHalfSym).top, 400.0);
    QVERIFY(view.colourScale(Type::LiveHalfSym).automatic);
    QCOMPARE(view.colourScale(Type::AvalancheBackground).top, 400.0);
    QCOMPARE(view.colourScale(Type::AvalancheNormalized).top, 4.0);
}

QTEST_MAIN(TestMainWindowView)
#include "tst_mainwindow_view.moc"
