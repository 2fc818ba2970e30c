// The spectrogram as an operator works it, offscreen with real input events: zooming by wheel
// (both axes, one alone, over an axis) and by rubber band, panning, returning to the whole
// view, the zoom kept through new data; the channel axis, tracker and readings in m/s for a
// simulated frame's parameter block; the colour maps; the time axis' labels.

#include "PlotInputTestSupport.h"
#include "RuSimulator.h"
#include "SkColorMap.h"
#include "SkColorScheme.h"
#include "SkPlotMetaTypes.h"
#include "SkPlotPicker.h"
#include "SkPlotSpectrogram.h"
#include "SkPlotZoomer.h"
#include "SkTimeScaleDraw.h"

#include <qwt_plot_canvas.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>

#include <QAction>
#include <QDir>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>

#include <cmath>

#if defined(__SANITIZE_ADDRESS__)
// Qt 5's offscreen platform never frees its screen objects (see tst_plots).
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n";
}
#endif

using namespace plotinput;

namespace {

constexpr double SpeedOfLight = 299792458.0;

RuSimulator &avalanche(int format = RRD_FORMAT_RRD0)
{
    static RuSimulator *made[4] = {};
    if (!made[format]) {
        RuSimulatorOptions options;
        options.scenario = RuScenario::Avalanche;
        options.format = format;
        made[format] = new RuSimulator(options); // lives as long as the test
    }
    return *made[format];
}

// A frame shown as the window shows it: each spectrum rotated by the plot's peak shift, as the
// store's extraction does.
void showFrame(SkPlotSpectrogram &plot, const RuFrame &frame)
{
    const RuMatrix m = frame.toMatrix();
    QVector<double> values(int(m.size()));
    for (int row = 0; row < int(m.rows()); ++row)
        for (int column = 0; column < 1024; ++column)
            values[row * 1024 + column] = m(row, plot.columnToChannel(column));
    plot.setZMax(4000);
    plot.setData(values, 1024, 1024, int(m.rows()));
    plot.setVelocityScale(SkVelocityScale::of(frame));
    plot.replot();
}

void showPlot(SkPlotSpectrogram &plot)
{
    plot.resize(800, 450);
    showFrame(plot, avalanche().frame(230));
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
}

// The window around the plot, which steps frames on the wheels the plot leaves to it.
class WheelCounter : public QWidget
{
public:
    int wheels = 0;

protected:
    void wheelEvent(QWheelEvent *event) override
    {
        ++wheels;
        event->accept();
    }
};

// Empty when `shown` is `expected` within `tolerance`, else what was shown.
QString apart(const QRectF &shown, const QRectF &expected, double tolerance)
{
    const bool near = qAbs(shown.left() - expected.left()) < tolerance
                      && qAbs(shown.right() - expected.right()) < tolerance
                      && qAbs(shown.top() - expected.top()) < tolerance
                      && qAbs(shown.bottom() - expected.bottom()) < tolerance;
    return near ? QString()
                : QStringLiteral("x %1 ... %2, y %3 ... %4").arg(shown.left()).arg(shown.right())
                      .arg(shown.top()).arg(shown.bottom());
}

#define COMPARE_RECT(shown, expected, tolerance) \
    QVERIFY2(apart(shown, expected, tolerance).isEmpty(), qPrintable(apart(shown, expected, tolerance)))

// One Doppler channel's velocity in m/s for the frame's block, as the radar defines it.
double channelSpeed(const RuFrameInfo &info)
{
    return info.prf * SpeedOfLight * 1000.0 / (2.0 * std::pow(2.0, info.integrate) * 10.425e9)
           / 1024.0;
}

QColor colourAt(const QwtColorMap &map, double value)
{
    return QColor::fromRgb(map.rgb(QwtInterval(0.0, 1.0), value));
}

bool sameColour(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) <= 1 && qAbs(a.green() - b.green()) <= 1
           && qAbs(a.blue() - b.blue()) <= 1;
}

} // namespace

class TstPlotsZoom : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { skRegisterPlotMetaTypes(); }

    void wheelZoomsAroundTheMouse_data();
    void wheelZoomsAroundTheMouse();
    void rubberBandZoomsAndClickStillPlacesTheCrossHair();
    void dragPansThenResetShowsTheWholeView_data();
    void dragPansThenResetShowsTheWholeView();
    void zoomSurvivesNewData();
    void spaceOnTheCanvasPansOrPlays();

    void velocityAxisFollowsTheFrameParameters_data();
    void velocityAxisFollowsTheFrameParameters();

    void colourMapsRunBetweenTheirEnds_data();
    void colourMapsRunBetweenTheirEnds();
    void timeAxisCountsFramesOrTellsTheTime_data();
    void timeAxisCountsFramesOrTellsTheTime();

    void pictureOfTheZoomedVelocitySpectrogram();
};

void TstPlotsZoom::wheelZoomsAroundTheMouse_data()
{
    QTest::addColumn<QString>("over");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("zoomsX");
    QTest::addColumn<bool>("zoomsY");
    QTest::newRow("ctrl: both axes") << "canvas" << int(Qt::ControlModifier) << true << true;
    QTest::newRow("ctrl+shift: channels alone")
        << "canvas" << int(Qt::ControlModifier | Qt::ShiftModifier) << true << false;
    QTest::newRow("ctrl+alt: range gates alone")
        << "canvas" << int(Qt::ControlModifier | Qt::AltModifier) << false << true;
    QTest::newRow("over the channel axis") << "xaxis" << int(Qt::NoModifier) << true << false;
    QTest::newRow("over the range-gate axis") << "yaxis" << int(Qt::NoModifier) << false << true;
    QTest::newRow("plain wheel scrolls, no zoom") << "canvas" << int(Qt::NoModifier) << false << false;
}

void TstPlotsZoom::wheelZoomsAroundTheMouse()
{
    QFETCH(QString, over);
    QFETCH(int, modifiers);
    QFETCH(bool, zoomsX);
    QFETCH(bool, zoomsY);
    WheelCounter window;
    SkPlotSpectrogram plot(&window);
    window.resize(800, 450);
    window.show();
    showPlot(plot);
    QSignalSpy changed(plot.zoomer(), &SkPlotZoomer::zoomChanged);
    const QRectF whole = shownRect(plot);
    const QPoint pixel = pixelOf(plot, 300, 12);
    const QPointF anchor = plotAt(plot, pixel);

    QWidget *target = plot.canvas();
    QPoint pos = pixel;
    if (over == QLatin1String("xaxis")) {
        target = plot.axisWidget(QwtPlot::xBottom);
        pos = target->mapFrom(&plot, plot.canvas()->mapTo(&plot, QPoint(pixel.x(), 0)));
        pos.setY(target->height() / 2);
    } else if (over == QLatin1String("yaxis")) {
        target = plot.axisWidget(QwtPlot::yLeft);
        pos = target->mapFrom(&plot, plot.canvas()->mapTo(&plot, QPoint(0, pixel.y())));
        pos.setX(target->width() / 2);
    }
    // Two notches in one turn: the axes' labels, and so the canvas, move after each zoom.
    wheel(target, pos, 240, Qt::KeyboardModifiers(modifiers));

    // Two steps in, and what was under the mouse still is (on the canvas).
    const double factor = 1.0 / (SkPlotZoomer::WheelFactor * SkPlotZoomer::WheelFactor);
    const QPointF still = plotAt(plot, pixel);
    const QRectF expected(zoomsX ? anchor.x() - (anchor.x() - whole.left()) * factor : whole.left(),
                          zoomsY ? anchor.y() - (anchor.y() - whole.top()) * factor : whole.top(),
                          whole.width() * (zoomsX ? factor : 1.0),
                          whole.height() * (zoomsY ? factor : 1.0));
    COMPARE_RECT(shownRect(plot), expected, 1e-6);
    if (target == plot.canvas())
        QVERIFY(qAbs(still.x() - anchor.x()) < 1.5 && qAbs(still.y() - anchor.y()) < 0.1);
    QCOMPARE(changed.count(), zoomsX || zoomsY ? 1 : 0);
    QCOMPARE(window.wheels, zoomsX || zoomsY ? 0 : 1); // a zoom does not step frames

    // Zooming out never goes beyond the whole view.
    for (int i = 0; i < 6; ++i)
        wheel(target, pos, -120, Qt::KeyboardModifiers(modifiers));
    COMPARE_RECT(shownRect(plot), whole, 1e-9);
    QVERIFY(!plot.zoomer()->isZoomed());
}

void TstPlotsZoom::rubberBandZoomsAndClickStillPlacesTheCrossHair()
{
    SkPlotSpectrogram plot;
    showPlot(plot);
    QSignalSpy marker(&plot, &SkPlotSpectrogram::markerPosChanged);
    QSignalSpy changed(plot.zoomer(), &SkPlotZoomer::zoomChanged);
    const QPoint from = pixelOf(plot, 200, 15);
    const QPoint to = pixelOf(plot, 400, 5);
    const QRectF band(plotAt(plot, from).x(), plotAt(plot, to).y(),
                      plotAt(plot, to).x() - plotAt(plot, from).x(),
                      plotAt(plot, from).y() - plotAt(plot, to).y());

    drag(plot.canvas(), Qt::LeftButton, from, to);
    COMPARE_RECT(shownRect(plot), band, 1e-6);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(marker.count(), 0); // a zoom does not move the cross-hair

    // A click (no drag) places the cross-hair where the zoomed axes say.
    const QPoint click = pixelOf(plot, 300, 10);
    QTest::mouseClick(plot.canvas(), Qt::LeftButton, Qt::NoModifier, click);
    QCOMPARE(marker.count(), 1);
    const QPointF at = marker.at(0).at(0).toPointF();
    QVERIFY2(qAbs(at.x() - 300) < 0.5 && qAbs(at.y() - 10) < 0.1,
             qPrintable(QStringLiteral("%1, %2").arg(at.x()).arg(at.y())));
    QCOMPARE(changed.count(), 1);
}

void TstPlotsZoom::dragPansThenResetShowsTheWholeView_data()
{
    QTest::addColumn<bool>("withSpace");
    QTest::newRow("middle button, double click") << false;
    QTest::newRow("space and left button, escape") << true;
}

void TstPlotsZoom::dragPansThenResetShowsTheWholeView()
{
    QFETCH(bool, withSpace);
    SkPlotSpectrogram plot;
    showPlot(plot);
    const QRectF whole = shownRect(plot);
    QSignalSpy marker(&plot, &SkPlotSpectrogram::markerPosChanged);
    plot.zoomer()->setZoomRect(QRectF(400, 5, 200, 10));
    const Qt::MouseButton button = withSpace ? Qt::LeftButton : Qt::MiddleButton;
    plot.canvas()->setFocus();
    if (withSpace)
        QTest::keyPress(plot.canvas(), Qt::Key_Space);
    // Dragging the content 100 channels right and 2 rows up shows what lay left and below.
    drag(plot.canvas(), button, pixelOf(plot, 500, 10), pixelOf(plot, 600, 12));
    COMPARE_RECT(shownRect(plot), QRectF(300, 3, 200, 10), 0.6);
    // Far beyond the edge the view stops at it, its size kept.
    for (int i = 0; i < 2; ++i)
        drag(plot.canvas(), button, pixelOf(plot, 310, 5), pixelOf(plot, 490, 10));
    QCOMPARE(shownRect(plot), QRectF(0, 0, 200, 10));
    if (withSpace)
        QTest::keyRelease(plot.canvas(), Qt::Key_Space);
    QCOMPARE(marker.count(), 0);

    QSignalSpy changed(plot.zoomer(), &SkPlotZoomer::zoomChanged);
    if (withSpace)
        QTest::keyClick(plot.canvas(), Qt::Key_Escape);
    else
        mouse(plot.canvas(), QEvent::MouseButtonDblClick, Qt::LeftButton, pixelOf(plot, 120, 3));
    QCOMPARE(shownRect(plot), whole);
    QCOMPARE(changed.count(), 1);
    QVERIFY(!plot.zoomer()->isZoomed());
}

// Space is also the window's play/pause shortcut: on a focused canvas a tap still plays, a
// Space held for a drag pans and does not.
void TstPlotsZoom::spaceOnTheCanvasPansOrPlays()
{
    QMainWindow window;
    auto *plot = new SkPlotSpectrogram;
    window.setCentralWidget(plot);
    window.resize(800, 450);
    QAction play(&window);
    play.setShortcut(Qt::Key_Space);
    window.addAction(&play);
    QSignalSpy played(&play, &QAction::triggered);
    connect(plot->zoomer(), &SkPlotZoomer::spaceTapped, &play, &QAction::trigger);
    showFrame(*plot, avalanche().frame(230));
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    plot->canvas()->setFocus();
    plot->zoomer()->setZoomRect(QRectF(400, 5, 200, 10));

    QTest::keyClick(plot->canvas(), Qt::Key_Space);
    QCOMPARE(played.count(), 1);

    QTest::keyPress(plot->canvas(), Qt::Key_Space);
    drag(plot->canvas(), Qt::LeftButton, pixelOf(*plot, 500, 10), pixelOf(*plot, 600, 10));
    QTest::keyRelease(plot->canvas(), Qt::Key_Space);
    QCOMPARE(played.count(), 1);
    COMPARE_RECT(shownRect(*plot), QRectF(300, 5, 200, 10), 0.6);

    QTest::keyClick(plot->canvas(), Qt::Key_Escape);
    QVERIFY(!plot->zoomer()->isZoomed());
}

void TstPlotsZoom::zoomSurvivesNewData()
{
    SkPlotSpectrogram plot;
    showPlot(plot);
    const QRectF zoom(500, 8, 100, 6);
    plot.zoomer()->setZoomRect(zoom);
    QSignalSpy changed(plot.zoomer(), &SkPlotZoomer::zoomChanged);

    showFrame(plot, avalanche().frame(231)); // stepping one frame on
    QCOMPARE(shownRect(plot), zoom);
    QCOMPARE(changed.count(), 0);

    // A view of fewer rows keeps the zoom's size inside it.
    plot.setData(QVector<double>(10 * 1024, 1.0), 1024, 1024, 10);
    plot.replot();
    QCOMPARE(shownRect(plot), QRectF(500, 4, 100, 6));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toRectF(), QRectF(500, 4, 100, 6));
    // Zooming in far stops at the narrowest zoom.
    plot.zoomer()->setZoomRect(QRectF(510, 5, 0.5, 0.1));
    QCOMPARE(shownRect(plot).width(), SkPlotSpectrogram::MinimumZoomChannels);
    QCOMPARE(shownRect(plot).height(), 1.0);
}

void TstPlotsZoom::velocityAxisFollowsTheFrameParameters_data()
{
    QTest::addColumn<int>("shift");
    QTest::newRow("no peak shift") << 0;
    QTest::newRow("peak shift to the middle") << 512;
    QTest::newRow("peak shift 100") << 100;
}

void TstPlotsZoom::velocityAxisFollowsTheFrameParameters()
{
    QFETCH(int, shift);
    SkPlotSpectrogram plot;
    plot.setAxisTitles(QStringLiteral("Doppler channel"), QStringLiteral("Range gate"));
    plot.setPeakShift(shift);
    plot.setChannelUnit(SkPlotSpectrogram::Velocity);
    showPlot(plot);
    const RuFrameInfo info = avalanche().frame(230).info();
    const double perChannel = channelSpeed(info);
    QVERIFY(perChannel > 0.05 && perChannel < 0.2); // the simulator's Prf 2000 kHz, Integrate 8
    QVERIFY(plot.showsVelocity());
    QCOMPARE(plot.axisTitle(QwtPlot::xBottom).text(), plot.tr("Radial velocity (m/s)"));

    // Every major tick stands at a round velocity, and its label is the velocity there.
    const QwtScaleDiv div = plot.axisScaleDiv(QwtPlot::xBottom);
    const QList<double> ticks = div.ticks(QwtScaleDiv::MajorTick);
    QVERIFY2(ticks.size() >= 5, qPrintable(QString::number(ticks.size())));
    const double step = 10.0; // about 112 m/s across 800 px
    bool zeroSeen = false;
    for (double position : ticks) {
        const double channel = std::fmod(position - shift + 2048.0, 1024.0);
        const double expected = (channel < 512 ? channel : channel - 1023) * perChannel;
        QVERIFY2(qAbs(expected - std::round(expected / step) * step) < 1e-6,
                 qPrintable(QStringLiteral("tick at %1 shows %2 m/s").arg(position).arg(expected)));
        const QString label = plot.axisScaleDraw(QwtPlot::xBottom)->label(position).text();
        QCOMPARE(label, QString::number(std::round(expected)));
        zeroSeen |= label == QLatin1String("0");
    }
    QVERIFY(zeroSeen);

    // The tracker and the readings: the cell of channel 100 and of its mirror 923 (922 stays
    // off the edge of the image under every shift tried).
    for (int channel : {100, 922}) {
        const double velocity = (channel < 512 ? channel : channel - 1023) * perChannel;
        const QString text = QStringLiteral("%1 m/s").arg(velocity, 0, 'f', 2);
        QCOMPARE(plot.readingText(channel), text);
        const int column = plot.channelToColumn(channel);
        const QString tracked = plot.picker()->trackerText(pixelOf(plot, column + 0.5, 3.5)).text();
        QVERIFY2(tracked.startsWith(text + QStringLiteral(", 3 = ")), qPrintable(tracked));
    }
    QCOMPARE(plot.readingText(923), QStringLiteral("%1 m/s").arg(-100 * perChannel, 0, 'f', 2));

    // A frame without a parameter block, or the unit switched back, counts channels again.
    const RuFrame raw = avalanche(RRD_FORMAT_RAW).frame(230);
    QVERIFY(!raw.hasInfo());
    showFrame(plot, raw);
    QVERIFY(!plot.showsVelocity());
    QCOMPARE(plot.axisTitle(QwtPlot::xBottom).text(), QStringLiteral("Doppler channel"));
    QCOMPARE(plot.readingText(923), QStringLiteral("923"));
    QCOMPARE(plot.axisScaleDraw(QwtPlot::xBottom)->label(plot.channelToColumn(200)).text(),
             QStringLiteral("200"));
    showFrame(plot, avalanche().frame(231));
    QVERIFY(plot.showsVelocity());
    plot.setChannelUnit(SkPlotSpectrogram::Channels);
    QCOMPARE(plot.readingText(100), QStringLiteral("100"));
}

void TstPlotsZoom::colourMapsRunBetweenTheirEnds_data()
{
    QTest::addColumn<int>("scheme");
    QTest::addColumn<QColor>("bottom");
    QTest::addColumn<QColor>("middle");
    QTest::addColumn<QColor>("top");
    QTest::newRow("ramp") << int(SkColorScheme::Ramp) << QColor(Qt::darkBlue)
                          << QColor(0, 255, 128) << QColor(Qt::red);
    QTest::newRow("viridis") << int(SkColorScheme::Viridis) << QColor(0x44, 0x01, 0x54)
                             << QColor(0x21, 0x91, 0x8c) << QColor(0xfd, 0xe7, 0x25);
    QTest::newRow("cividis") << int(SkColorScheme::Cividis) << QColor(0x00, 0x22, 0x4e)
                             << QColor(0x7d, 0x7c, 0x78) << QColor(0xfe, 0xe8, 0x38);
    QTest::newRow("greyscale") << int(SkColorScheme::Greyscale) << QColor(Qt::black)
                               << QColor(128, 128, 128) << QColor(Qt::white);
}

void TstPlotsZoom::colourMapsRunBetweenTheirEnds()
{
    QFETCH(int, scheme);
    QFETCH(QColor, bottom);
    QFETCH(QColor, top);
    QFETCH(QColor, middle);
    const auto id = SkColorScheme::Id(scheme);
    const SkColorMap map(QwtLinearColorMap::ScaledColors, id);
    const double middleValue = id == SkColorScheme::Ramp ? 0.45 : 0.5;
    QVERIFY2(sameColour(colourAt(map, 0.0), bottom), qPrintable(colourAt(map, 0.0).name()));
    QVERIFY2(sameColour(colourAt(map, middleValue), middle), qPrintable(colourAt(map, middleValue).name()));
    QVERIFY2(sameColour(colourAt(map, 1.0), top), qPrintable(colourAt(map, 1.0).name()));
    QVERIFY(!SkColorScheme::name(id).isEmpty());
    QCOMPARE(SkColorScheme::fromKey(SkColorScheme::key(id), SkColorScheme::Greyscale), id);
    QCOMPARE(SkColorScheme::fromKey(QStringLiteral("no such map")), SkColorScheme::Ramp);
}

void TstPlotsZoom::timeAxisCountsFramesOrTellsTheTime_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("offset");
    QTest::addColumn<double>("frame");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("title");
    const int utc = SkTimeScaleDraw::Utc;
    QTest::newRow("frames") << int(SkTimeScaleDraw::Frames) << 3600 << 150.0 << "150" << "Frame";
    QTest::newRow("utc at a held frame") << utc << 0 << 150.0 << "06:02:30" << "Time (UTC)";
    QTest::newRow("utc between frames") << utc << 0 << 150.5 << "06:02:30" << "Time (UTC)";
    QTest::newRow("utc before the first held") << utc << 0 << 40.0 << "06:00:40" << "Time (UTC)";
    QTest::newRow("utc after the last held") << utc << 0 << 700.0 << "06:11:40" << "Time (UTC)";
    QTest::newRow("local time east") << utc << 3600 << 150.0 << "07:02:30" << "Time (UTC+01:00)";
    QTest::newRow("local time west") << utc << -16200 << 150.0 << "01:32:30" << "Time (UTC-04:30)";
}

void TstPlotsZoom::timeAxisCountsFramesOrTellsTheTime()
{
    QFETCH(int, mode);
    QFETCH(int, offset);
    QFETCH(double, frame);
    QFETCH(QString, label);
    QFETCH(QString, title);
    // Frames 100 ... 599 of a recording started at 06:00:00, one a second.
    QVector<qint64> times;
    for (int n = 100; n < 600; ++n)
        times << avalanche().frame(n).timeMicros();
    SkTimeScaleDraw draw(SkTimeScaleDraw::Mode(mode), offset);
    draw.setFrameTimes(100, times);
    QCOMPARE(draw.label(frame).text(), label);
    QCOMPARE(draw.title(), title);

    SkTimeScaleDraw none(SkTimeScaleDraw::Utc);
    QCOMPARE(none.label(frame).text(), QString::number(frame)); // no times: frames
}

void TstPlotsZoom::pictureOfTheZoomedVelocitySpectrogram()
{
    SkPlotSpectrogram plot;
    plot.setAxisTitles(QStringLiteral("Doppler channel"), QStringLiteral("Range gate"));
    plot.setPeakShift(512);
    plot.setChannelUnit(SkPlotSpectrogram::Velocity);
    plot.setColorScheme(SkColorScheme::Viridis);
    plot.setAutoColorLevels(true);
    showPlot(plot);
    showFrame(plot, avalanche().frame(205)); // the avalanche moving at about 30 m/s
    const QString dir = qEnvironmentVariable("SK_PLOTS_PNG_DIR");
    if (!dir.isEmpty() && QDir().mkpath(dir))
        QVERIFY(plot.grab().save(dir + QStringLiteral("/spectrogram-velocity.png")));
    // The avalanche's one-sided energy, zoomed in with the wheel around it.
    const QPoint centre = pixelOf(plot, 512 + 270, 10);
    for (int i = 0; i < 4; ++i)
        wheel(plot.canvas(), centre, 120, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(plot.zoomer()->isZoomed());
    const QImage picture = plot.grab().toImage();
    if (!dir.isEmpty())
        QVERIFY(picture.save(dir + QStringLiteral("/spectrogram-zoomed-velocity.png")));
    // Image and colour bar show viridis: its dark violet at the noise floor.
    const QColor noise = picture.pixelColor(plot.canvas()->geometry().center());
    QVERIFY2(noise.blue() > noise.green() && noise.red() > noise.green(), qPrintable(noise.name()));
    const QwtColorMap *bar = plot.axisWidget(QwtPlot::yRight)->colorMap();
    QVERIFY(sameColour(QColor::fromRgb(bar->rgb(QwtInterval(0, 1), 1.0)), QColor(0xfde725)));
}

QTEST_MAIN(TstPlotsZoom)
#include "tst_plots_zoom.moc"
