// rrdcli report, run as users run it, and the page it writes opened in a real browser
// (headless Chromium): the alarm table the browser reads equals `rrdcli analyze --log`, and
// the pictures are there and not blank.

#include "RrdcliTestSupport.h"
#include "RuSimulator.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace rrdclitest;

namespace {

struct LogRow
{
    QString frame;
    QString event;
    QString details;
    bool operator==(const LogRow &o) const
    {
        return frame == o.frame && event == o.event && details == o.details;
    }
};

QVector<LogRow> csvLog(const QByteArray &csv)
{
    QVector<LogRow> rows;
    const QList<QByteArray> lines = csv.trimmed().split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]);
        const int a = line.indexOf(QLatin1Char(','));
        const int b = line.indexOf(QLatin1Char(','), a + 1);
        rows.append({line.left(a), line.mid(a + 1, b - a - 1), line.mid(b + 1)});
    }
    return rows;
}

QString unescaped(QString text)
{
    return text.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
}

// The rows of the log table as the browser's document holds them: frame, event, details.
QVector<LogRow> domLog(const QString &dom)
{
    const int start = dom.indexOf(QLatin1String("<table class=\"log\">"));
    const QString table = dom.mid(start, dom.indexOf(QLatin1String("</table>"), start) - start);
    static const QRegularExpression row(QStringLiteral("<tr[^>]*>((?:<td[^>]*>[^<]*</td>\\s*)+)</tr>"));
    static const QRegularExpression cell(QStringLiteral("<td[^>]*>([^<]*)</td>"));
    QVector<LogRow> rows;
    auto r = row.globalMatch(table);
    while (r.hasNext()) {
        QStringList cells;
        auto c = cell.globalMatch(r.next().captured(1));
        while (c.hasNext())
            cells << unescaped(c.next().captured(1));
        if (cells.size() == 7)
            rows.append({cells[0], cells[2], cells[6]});
    }
    return rows;
}

QVector<QImage> embeddedPictures(const QByteArray &html)
{
    QVector<QImage> pictures;
    static const QRegularExpression uri(QStringLiteral("src=\"data:image/png;base64,([A-Za-z0-9+/=]+)\""));
    auto m = uri.globalMatch(QString::fromLatin1(html));
    while (m.hasNext())
        pictures << QImage::fromData(QByteArray::fromBase64(m.next().captured(1).toLatin1()), "PNG");
    return pictures;
}

int colours(const QImage &image)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            seen.insert(image.pixel(x, y));
    return seen.size();
}

// Pixels of strong colour: the spectrograms' blue to red and the event symbols, never the
// text and lines of a page.
int colourfulPixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (QColor(image.pixel(x, y)).hsvSaturation() > 150)
                ++n;
    return n;
}

Run chromium(const QString &browser, const QTemporaryDir &dir, const QStringList &task,
             const QString &page)
{
    const QStringList flags{QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                            QStringLiteral("--disable-gpu"),
                            QStringLiteral("--disable-background-networking"),
                            QStringLiteral("--disable-component-update"),
                            QStringLiteral("--disable-sync"), QStringLiteral("--no-first-run"),
                            QStringLiteral("--user-data-dir=") + dir.filePath(QStringLiteral("profile-") + task.first().mid(2, 4))};
    return runProgram(browser, flags + task + QStringList{QUrl::fromLocalFile(page).toString()});
}

} // namespace

class TstReport : public QObject
{
    Q_OBJECT

private slots:
    void pageShowsTheAlarmsInABrowser();
    void framesWithoutTimeOrParameterBlock_data();
    void framesWithoutTimeOrParameterBlock();
    void refusesWithoutOneKindOfSettings_data();
    void refusesWithoutOneKindOfSettings();
};

void TstReport::pageShowsTheAlarmsInABrowser()
{
    const QString browser = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (browser.isEmpty())
        QSKIP("chromium is not installed (make test installs it)");
    QTemporaryDir dir;
    RuSimulatorOptions options;
    options.scenario = RuScenario::Mixed;
    options.frames = 600;
    options.processParams = true;
    const QString data = dir.filePath(QStringLiteral("mixed.rrd0.gz"));
    QVERIFY(RuSimulator(options).writeRecording(data));
    const QString page = dir.filePath(QStringLiteral("report.html"));
    const Run report = runRrdcli({QStringLiteral("report"), QStringLiteral("--process-params"),
                                  data, QStringLiteral("-o"), page});
    QCOMPARE(report.exitCode, 0);
    const Run analyze = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--log"),
                                   QStringLiteral("--process-params"), data});
    QCOMPARE(analyze.exitCode, 0);
    const QVector<LogRow> log = csvLog(analyze.out);
    const int alarmsOn = analyze.out.count(" ALARM ON,");
    QVERIFY(alarmsOn >= 3);

    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray html = file.readAll();
    QVERIFY(!html.contains("<script"));
    QVERIFY(!html.contains("http://") && !html.contains("https://"));
    const QVector<QImage> pictures = embeddedPictures(html);
    QCOMPARE(pictures.size(), 1 + 2 * alarmsOn);
    for (const QImage &picture : pictures)
        QVERIFY2(!picture.isNull() && colours(picture) >= 16, "a picture is missing or blank");

    const Run dom = chromium(browser, dir, {QStringLiteral("--dump-dom")}, page);
    QCOMPARE(dom.exitCode, 0);
    QCOMPARE(domLog(dom.outText()), log);

    const QString shot = dir.filePath(QStringLiteral("report.png"));
    const Run screenshot = chromium(browser, dir, {QStringLiteral("--screenshot=") + shot,
                                                   QStringLiteral("--window-size=1200,5200")}, page);
    QCOMPARE(screenshot.exitCode, 0);
    const QImage printed(shot);
    QVERIFY(!printed.isNull());
    QVERIFY2(colourfulPixels(printed) > 20000, "the browser shows no pictures");
    const QString keep = qEnvironmentVariable("SK_REPORT_PNG_DIR");
    if (!keep.isEmpty())
        QVERIFY(printed.save(QDir(keep).filePath(QStringLiteral("report.png"))));
}

void TstReport::framesWithoutTimeOrParameterBlock_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("output");
    QTest::newRow("raw, to standard output") << int(RRD_FORMAT_RAW) << "-";
    QTest::newRow("stamped, to a file") << int(RRD_FORMAT_STAMPED) << "report.html";
}

// Without a time there is no time span and no UTC column, without a parameter block no
// distances; the alarms are reported all the same.
void TstReport::framesWithoutTimeOrParameterBlock()
{
    QFETCH(int, format);
    QFETCH(QString, output);
    QTemporaryDir dir;
    RuSimulatorOptions options;
    options.scenario = RuScenario::Avalanche;
    options.frames = 400;
    options.processParams = true;
    const QString withBlock = dir.filePath(QStringLiteral("a.rrd0"));
    QVERIFY(RuSimulator(options).writeRecording(withBlock));
    const QString ini = dir.filePath(QStringLiteral("a.ini"));
    QCOMPARE(runRrdcli({QStringLiteral("params"), QStringLiteral("--process-params"), withBlock, QStringLiteral("-o"), ini}).exitCode, 0);
    options.format = format;
    options.processParams = false;
    const QString data = dir.filePath(QStringLiteral("a.frames"));
    QVERIFY(RuSimulator(options).writeRecording(data));

    RunOptions in;
    in.workingDirectory = dir.path();
    const Run report = runRrdcli({QStringLiteral("report"), QStringLiteral("--params"), ini, data,
                                  QStringLiteral("-o"), output}, in);
    QCOMPARE(report.exitCode, 0);
    QByteArray html = report.out;
    if (output != QLatin1String("-")) {
        QFile file(dir.filePath(output));
        QVERIFY(file.open(QIODevice::ReadOnly));
        html = file.readAll();
    }
    const Run analyze = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--log"), QStringLiteral("--params"), ini, data});
    QCOMPARE(domLog(QString::fromUtf8(html)), csvLog(analyze.out));
    QVERIFY(analyze.out.contains(" ALARM ON,"));
    QCOMPARE(html.contains("<th>Time span</th>"), format != RRD_FORMAT_RAW);
    QVERIFY2(!html.contains(" m</td>"), "no distance without the range-gate width");
    const QVector<QImage> pictures = embeddedPictures(html);
    QCOMPARE(pictures.size(), 1 + 2 * analyze.out.count(" ALARM ON,"));
    for (const QImage &picture : pictures)
        QVERIFY2(!picture.isNull() && colours(picture) >= 16, "a picture is missing or blank");
}

void TstReport::refusesWithoutOneKindOfSettings_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message");
    const QString settings = QStringLiteral("give the settings with --params FILE.ini or --process-params");
    QTest::newRow("none") << QStringList{"-o", "r.html"} << settings;
    QTest::newRow("both") << QStringList{"--params", "x.ini", "--process-params", "-o", "r.html"} << settings;
    QTest::newRow("no page") << QStringList{"--process-params"} << "give the page to write with -o";
}

void TstReport::refusesWithoutOneKindOfSettings()
{
    QFETCH(QStringList, options);
    QFETCH(QString, message);
    QTemporaryDir dir;
    RunOptions in;
    in.workingDirectory = dir.path();
    const Run run = runRrdcli(QStringList{QStringLiteral("report"), QStringLiteral("a.rrd0")} + options, in);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errText().contains(message), qPrintable(run.errText()));
    QVERIFY(QDir(dir.path()).isEmpty());
}

QTEST_GUILESS_MAIN(TstReport)
#include "tst_report.moc"
