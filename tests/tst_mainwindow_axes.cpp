// The units of the window's axes as an operator reads them, on simulated recordings: the
// channel axes, the tracker and the readout in radial velocity from each frame's parameter
// block (channels where a frame has none), the frame slider and the time axes of the views
// over time in UTC with the window's time-zone offset, and the spectrogram's colour map; the
// choices kept for the next window.

#include "MainWindowTestSupport.h"

#include "SkAxisUnits.h"
#include "SkColorScheme.h"
#include "SkDialogConfigure.h"
#include "SkLiveSession.h"
#include "SkPlotPicker.h"
#include "SkPlotSpectrogram.h"
#include "SkPlotZoomer.h"

#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_slider.h>
#include <qwt_text.h>

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QSpinBox>
#include <QWheelEvent>

#include <cmath>

using namespace mwtest;

namespace {

constexpr int Frames = 60;

RuSimulatorOptions recording(int format = RRD_FORMAT_RRD0)
{
    RuSimulatorOptions options = scene(RuScenario::Avalanche, Frames);
    options.format = format;
    options.processParams = format == RRD_FORMAT_RRD0;
    return options;
}

// m/s of one Doppler channel at the radar's carrier, from the frame's Prf (kHz) and Integrate.
double metresPerSecondPerChannel(const RuFrameInfo &info)
{
    const double lightSpeed = 299792458.0;
    return info.prf * lightSpeed * 1000.0 / (2.0 * std::pow(2.0, info.integrate) * 10.425e9)
           / 1024.0;
}

// Channels 0 ... 511 approach, their mirrors 1023 ... 512 recede at the same speeds.
double velocityOf(int channel, double perChannel)
{
    return (channel < 512 ? channel : channel - 1023) * perChannel;
}

int channelOfColumn(int column, int shift)
{
    return ((column - shift) % 1024 + 1024) % 1024;
}

QString utc(qint64 micros, int offsetHours)
{
    return QDateTime::fromMSecsSinceEpoch(micros / 1000 + offsetHours * 3600000LL, Qt::UTC)
        .toString(QStringLiteral("hh:mm:ss"));
}

QString label(const QwtAbstractScaleDraw *draw, double value)
{
    return draw->label(value).text();
}

QList<double> majorTicks(const QwtPlot *plot, int axis)
{
    return plot->axisScaleDiv(axis).ticks(QwtScaleDiv::MajorTick);
}

void moveMouse(QWidget *canvas, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, canvas->mapToGlobal(pos), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &move);
}

void wheel(QWidget *canvas, const QPoint &pos, int delta, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent event(pos, canvas->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &event);
}

} // namespace

class TestMainWindowAxes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void channelAxesReadoutAndTrackerShowVelocity_data();
    void channelAxesReadoutAndTrackerShowVelocity();
    void zoomedChannelAxisKeepsVelocities();
    void framesWithoutParameterBlockCountChannels_data();
    void framesWithoutParameterBlockCountChannels();
    void timeAxesShowUtcWithTheOffset_data();
    void timeAxesShowUtcWithTheOffset();
    void choicesAreKeptForTheNextWindow_data();
    void choicesAreKeptForTheNextWindow();

private:
    QTemporaryDir m_dir;
    QString m_rrd0;
};

void TestMainWindowAxes::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
    m_rrd0 = writeRecording(m_dir, QStringLiteral("avalanche.rrd0.gz"), recording());
}

void TestMainWindowAxes::init()
{
    QSettings().clear();
}

void TestMainWindowAxes::channelAxesReadoutAndTrackerShowVelocity_data()
{
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("view");
    QTest::addColumn<double>("column"); // where the mouse rests
    QTest::newRow("frame, approaching") << 0 << 0 << 226.5;
    QTest::newRow("frame, receding") << 0 << 0 << 900.5;
    QTest::newRow("frame, to right") << 200 << 0 << 100.5;
    QTest::newRow("frame, to middle") << 512 << 0 << 300.5;
    QTest::newRow("rangegates, to middle") << 512 << 1 << 700.5;
}

// The channel axes are labelled with the velocity of the channel under each tick, and the
// readout and the tracker name the velocity of the channel under the mouse, by the formula
// applied to the Prf and Integrate the frames carry.
void TestMainWindowAxes::channelAxesReadoutAndTrackerShowVelocity()
{
    QFETCH(int, shift);
    QFETCH(int, view);
    QFETCH(double, column);
    const double perChannel = metresPerSecondPerChannel(RuSimulator(recording()).frameInfo(10));
    QVERIFY(perChannel > 0.05 && perChannel < 1.0);
    SkMainWindow window({m_rrd0});
    window.resize(1600, 1000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(analysed(window));
    action(&window, "velocityAxisAction")->trigger();
    window.setPeakShift(shift);
    window.setShowHow(view);
    window.showFrame(10);
    QVERIFY(drawnAt(window, 10));

    auto *plot = child<SkPlotSpectrogram>(&window, "plotCenter");
    QCOMPARE(plot->axisTitle(QwtPlot::xBottom).text(), QStringLiteral("Radial velocity (m/s)"));
    for (const QwtPlot *axisPlot : {static_cast<const QwtPlot *>(plot),
                                    child<const QwtPlot>(&window, "plotBottom")}) {
        const QList<double> ticks = majorTicks(axisPlot, QwtPlot::xBottom);
        QVERIFY(ticks.size() >= 3);
        for (double tick : ticks) {
            const int channel = channelOfColumn(int(std::floor(tick)), shift);
            const double shown = label(axisPlot->axisScaleDraw(QwtPlot::xBottom), tick).toDouble();
            QVERIFY2(std::abs(shown - velocityOf(channel, perChannel)) <= perChannel,
                     qPrintable(QStringLiteral("%1 at %2").arg(shown).arg(tick)));
        }
    }

    const QPoint pixel(qRound(plot->transform(QwtPlot::xBottom, column)),
                       qRound(plot->transform(QwtPlot::yLeft, 7.5)));
    moveMouse(plot->canvas(), pixel);
    const QPoint cell = plot->picker()->trackedCell();
    const QString velocity = QStringLiteral("%1 m/s").arg(
        velocityOf(channelOfColumn(cell.x(), shift), perChannel), 0, 'f', 2);
    const QString readout = child<QLabel>(&window, "cursorLabel")->text();
    QVERIFY2(readout.startsWith(QStringLiteral("x:%1 y:%2 z:").arg(velocity).arg(cell.y(), 4)),
             qPrintable(readout));
    QVERIFY(plot->picker()->trackerText(pixel).text().startsWith(velocity + QLatin1String(", ")));

    action(&window, "velocityAxisAction")->trigger();
    QCOMPARE(plot->axisTitle(QwtPlot::xBottom).text(), QStringLiteral("Doppler channel"));
    QCOMPARE(label(plot->axisScaleDraw(QwtPlot::xBottom), column),
             QString::number(channelOfColumn(int(column), shift)));
}

// Zoomed in on the channels around zero velocity (Ctrl+Shift+wheel), the axis divides the
// narrower range at finer, still true velocities. SK_AXES_PNG_DIR=DIR leaves the window's
// picture there.
void TestMainWindowAxes::zoomedChannelAxisKeepsVelocities()
{
    const double perChannel = metresPerSecondPerChannel(RuSimulator(recording()).frameInfo(45));
    SkMainWindow window({m_rrd0});
    window.resize(1600, 1000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(analysed(window));
    action(&window, "velocityAxisAction")->trigger();
    window.setPeakShift(512);
    window.setColourScaleTop(5000);
    window.showFrame(45);
    QVERIFY(drawnAt(window, 45));
    auto *plot = child<SkPlotSpectrogram>(&window, "plotCenter");
    const double wholeStep = majorTicks(plot, QwtPlot::xBottom).value(1)
                             - majorTicks(plot, QwtPlot::xBottom).value(0);

    const QPoint middle(qRound(plot->transform(QwtPlot::xBottom, 512.0)),
                        plot->canvas()->height() / 2);
    wheel(plot->canvas(), middle, 5 * 120, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(plot->zoomer()->isZoomed());
    window.showFrame(46);
    QVERIFY(drawnAt(window, 46));
    const QRectF visible = plot->zoomer()->visibleRect();
    QVERIFY(visible.width() < 400 && visible.contains(512.0, visible.center().y()));
    const QList<double> ticks = majorTicks(plot, QwtPlot::xBottom);
    QVERIFY(ticks.size() >= 3);
    QVERIFY(ticks.at(1) - ticks.at(0) < wholeStep);
    for (double tick : ticks) {
        QVERIFY(tick >= visible.left() && tick <= visible.right());
        const double shown = label(plot->axisScaleDraw(QwtPlot::xBottom), tick).toDouble();
        QVERIFY(std::abs(shown - velocityOf(channelOfColumn(int(tick), 512), perChannel))
                <= perChannel);
    }
    // The readout under the zoom names the cell under the mouse: the avalanche's channel 150.
    moveMouse(plot->canvas(), QPoint(qRound(plot->transform(QwtPlot::xBottom, 662.5)),
                                     qRound(plot->transform(QwtPlot::yLeft, 14.5))));
    QVERIFY(child<QLabel>(&window, "cursorLabel")
                ->text()
                .startsWith(QStringLiteral("x:%1 m/s y:  14 z:")
                                .arg(velocityOf(150, perChannel), 0, 'f', 2)));
    const QString pictures = qEnvironmentVariable("SK_AXES_PNG_DIR");
    if (!pictures.isEmpty())
        QVERIFY(window.grab().save(QDir(pictures).filePath(QStringLiteral("velocity-zoom.png"))));
}

void TestMainWindowAxes::framesWithoutParameterBlockCountChannels_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("raw") << int(RRD_FORMAT_RAW);
    QTest::newRow("stamped") << int(RRD_FORMAT_STAMPED);
}

// Without a parameter block there is no velocity: the axis counts channels and its title
// says why; RAW frames carry no time either, so the time axes count frames and say so.
void TestMainWindowAxes::framesWithoutParameterBlockCountChannels()
{
    QFETCH(int, format);
    const QString path = writeRecording(m_dir, QStringLiteral("plain%1.rrd").arg(format),
                                        recording(format));
    QSettings().setValue(QStringLiteral("display/channelUnit"), QStringLiteral("velocity"));
    QSettings().setValue(QStringLiteral("display/timeAxis"), QStringLiteral("utc"));
    SkMainWindow window({path});
    QVERIFY(analysed(window));
    window.setShowHow(1);
    window.showFrame(10);
    QVERIFY(drawnAt(window, 10));

    const auto *plot = child<SkPlotSpectrogram>(&window, "plotCenter");
    QVERIFY(action(&window, "velocityAxisAction")->isChecked());
    QCOMPARE(plot->axisTitle(QwtPlot::xBottom).text(),
             QStringLiteral("Doppler channel (no parameter block: no velocity)"));
    QCOMPARE(label(plot->axisScaleDraw(QwtPlot::xBottom), 300.5), QStringLiteral("300"));
    const bool timed = format != RRD_FORMAT_RAW;
    QCOMPARE(plot->axisTitle(QwtPlot::yLeft).text(),
             timed ? QStringLiteral("Time (UTC)")
                   : QStringLiteral("Frame (from the first held; the frames carry no time)"));
    const RuSimulator simulator(recording(format));
    QCOMPARE(label(plot->axisScaleDraw(QwtPlot::yLeft), 12),
             timed ? utc(simulator.frameTimeMicros(12), 0) : QStringLiteral("12"));
    QCOMPARE(label(child<const QwtSlider>(&window, "progressSlider")->scaleDraw(), 30),
             timed ? utc(simulator.frameTimeMicros(30), 0) : QStringLiteral("30"));
}

void TestMainWindowAxes::timeAxesShowUtcWithTheOffset_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<int>("hours");
    QTest::addColumn<QString>("title");
    QTest::newRow("rangegates, UTC") << 1 << 0 << QStringLiteral("Time (UTC)");
    QTest::newRow("rangegates, +1") << 1 << 1 << QStringLiteral("Time (UTC+01:00)");
    QTest::newRow("velocities, -3") << 2 << -3 << QStringLiteral("Time (UTC-03:00)");
    QTest::newRow("velocities, +12") << 2 << 12 << QStringLiteral("Time (UTC+12:00)");
}

// The frame slider under the activity plot and the time axis of a view over time (and of its
// profile) show each frame's UTC time shifted by the window's offset, the title names the
// offset, and switching back counts frames again.
void TestMainWindowAxes::timeAxesShowUtcWithTheOffset()
{
    QFETCH(int, view);
    QFETCH(int, hours);
    QFETCH(QString, title);
    const RuSimulator simulator(recording());
    SkMainWindow window({m_rrd0});
    QVERIFY(analysed(window));
    window.setShowHow(view);
    window.showFrame(20);
    QVERIFY(drawnAt(window, 20));
    action(&window, "utcTimeAxisAction")->trigger();
    child<QSpinBox>(&window, "timezoneSpinBox")->setValue(hours);
    window.showFrame(21);
    QVERIFY(drawnAt(window, 21));

    const auto *plot = child<SkPlotSpectrogram>(&window, "plotCenter");
    const int timeAxis = view == 1 ? QwtPlot::yLeft : QwtPlot::xBottom;
    const QwtPlot *profile = child<QwtPlot>(&window, view == 1 ? "plotLeft" : "plotBottom");
    const auto *slider = child<QwtSlider>(&window, "progressSlider");
    QCOMPARE(plot->axisTitle(timeAxis).text(), title);
    for (int frame : {0, 7, 21, Frames - 1}) {
        const QString time = utc(simulator.frameTimeMicros(frame), hours);
        QCOMPARE(label(slider->scaleDraw(), frame), time);
        QCOMPARE(label(plot->axisScaleDraw(timeAxis), frame), time);
        QCOMPARE(label(profile->axisScaleDraw(timeAxis), frame), time);
    }
    QVERIFY(slider->toolTip().contains(title));

    action(&window, "utcTimeAxisAction")->trigger();
    QCOMPARE(plot->axisTitle(timeAxis).text(), QStringLiteral("Frame (from the first held)"));
    QCOMPARE(label(slider->scaleDraw(), 21), QStringLiteral("21"));
    QCOMPARE(label(plot->axisScaleDraw(timeAxis), 21), QStringLiteral("21"));
}

void TestMainWindowAxes::choicesAreKeptForTheNextWindow_data()
{
    QTest::addColumn<QString>("scheme"); // the key stored
    QTest::addColumn<bool>("velocity");
    QTest::addColumn<bool>("utc");
    QTest::newRow("viridis, velocity") << QStringLiteral("viridis") << true << false;
    QTest::newRow("cividis, utc") << QStringLiteral("cividis") << false << true;
    QTest::newRow("greyscale, both") << QStringLiteral("greyscale") << true << true;
    QTest::newRow("ramp, neither") << QStringLiteral("ramp") << false << false;
}

// The colour map chosen in the options and both switches of the Display menu are in force at
// once and again in the next window; values the settings should not hold keep the defaults.
void TestMainWindowAxes::choicesAreKeptForTheNextWindow()
{
    QFETCH(QString, scheme);
    QFETCH(bool, velocity);
    QFETCH(bool, utc);
    const SkColorScheme::Id id = SkColorScheme::fromKey(scheme);
    auto window = std::make_unique<SkMainWindow>(QStringList{});
    auto *box = child<QComboBox>(window->configureDialog(), "colorSchemeComboBox");
    QCOMPARE(box->currentText(), SkColorScheme::name(SkColorScheme::Ramp));
    box->setCurrentIndex(box->findText(SkColorScheme::name(id)));
    QCOMPARE(child<SkPlotSpectrogram>(window.get(), "plotCenter")->colorScheme(), id);
    action(window.get(), "velocityAxisAction")->setChecked(velocity);
    action(window.get(), "utcTimeAxisAction")->setChecked(utc);
    QCOMPARE(child<SkPlotSpectrogram>(window.get(), "plotCenter")->channelUnit(),
             velocity ? SkPlotSpectrogram::Velocity : SkPlotSpectrogram::Channels);
    window->close();

    window = std::make_unique<SkMainWindow>(QStringList{});
    QCOMPARE(child<SkPlotSpectrogram>(window.get(), "plotCenter")->colorScheme(), id);
    QCOMPARE(child<QComboBox>(window->configureDialog(), "colorSchemeComboBox")->currentText(),
             SkColorScheme::name(id));
    QCOMPARE(action(window.get(), "velocityAxisAction")->isChecked(), velocity);
    QCOMPARE(action(window.get(), "utcTimeAxisAction")->isChecked(), utc);
    QCOMPARE(child<SkPlotSpectrogram>(window.get(), "plotCenter")->channelUnit(),
             velocity ? SkPlotSpectrogram::Velocity : SkPlotSpectrogram::Channels);
    window.reset();

    QSettings().setValue(QStringLiteral("colorScheme"), QStringLiteral("purple"));
    QSettings().setValue(QStringLiteral("display/channelUnit"), QStringLiteral("knots"));
    window = std::make_unique<SkMainWindow>(QStringList{});
    QCOMPARE(child<SkPlotSpectrogram>(window.get(), "plotCenter")->colorScheme(),
             SkColorScheme::Ramp);
    QVERIFY(!action(window.get(), "velocityAxisAction")->isChecked());
}

QTEST_MAIN(TestMainWindowAxes)
#include "tst_mainwindow_axes.moc"
