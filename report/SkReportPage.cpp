#include "SkReportPage.h"

#include "RuAlarmCalculator.h"
#include "RuParameterTable.h"
#include "SkReportCollector.h"
#include "SkReportPictures.h"

#include <QDateTime>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const QSize ActivitySize(1100, 340);
const QSize ViewSize(540, 420);
// What the alarm views show: the frames as the radar delivered them.
constexpr SkPacketTypeEnum ViewType = SkPacketTypeEnum::Original;

const char *const Style = R"(
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 14px; color: #1a1a1a;
       margin: 24px auto; max-width: 1120px; }
h1 { font-size: 24px; margin-bottom: 4px; }
h2 { font-size: 18px; border-bottom: 1px solid #999; margin-top: 28px; }
h3 { font-size: 15px; margin: 18px 0 6px; }
table { border-collapse: collapse; }
th, td { text-align: left; vertical-align: top; padding: 3px 10px 3px 0; }
table.log th, table.log td { border-bottom: 1px solid #ddd; padding-right: 14px; }
table.log td.number { text-align: right; }
tr.alarm td { background: #fde8e8; }
img { max-width: 100%; }
figure { display: inline-block; margin: 0 12px 12px 0; }
figcaption { font-size: 12px; color: #444; }
.settings { columns: 3 300px; }
.settings table { break-inside: avoid; margin-bottom: 12px; }
.lead { color: #444; margin-top: 0; }
)";

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString utc(qint64 micros)
{
    if (micros == 0)
        return QString();
    return QDateTime::fromMSecsSinceEpoch(micros / 1000, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

QString duration(qint64 micros)
{
    const qint64 ms = micros / 1000;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

QString image(const QImage &picture, const QString &alt)
{
    return QStringLiteral("<img alt=\"%1\" width=\"%2\" src=\"data:image/png;base64,%3\">")
        .arg(escaped(alt))
        .arg(picture.width())
        .arg(QString::fromLatin1(SkReportPictures::png(picture).toBase64()));
}

QString factRow(const QString &name, const QString &html)
{
    return QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(name, html);
}

double widthOf(const RuFrameInfo &info)
{
    return info.rangegateWidthMm > 0 ? info.rangegateWidthMm / 1000.0 : double(info.rangegateWidth);
}

// The keys of one section of the parameter file with their values, as the file holds them.
QVector<QPair<QString, QString>> sectionValues(const QSettings &settings, const QString &section)
{
    QVector<QPair<QString, QString>> values;
    for (const RuParameterTable::Key &key : RuParameterTable::keys()) {
        if (!key.key.startsWith(section + QLatin1Char('/')))
            continue;
        const QVariant v = settings.value(key.key);
        const QString text = v.userType() == QMetaType::QStringList
                                 ? v.toStringList().join(QLatin1Char(','))
                                 : v.toString();
        values.append({key.key.mid(section.size() + 1), text});
    }
    return values;
}

// The heights of the rain and water-level markers: the thresholds in force.
SkActivityMarkerLevels markerLevels(const RuParameterSet &parameters)
{
    RuAlarmCalculator calculator;
    parameters.applyTo(calculator);
    return SkActivityMarkerLevels::fromCalculator(calculator);
}

} // namespace

SkReportPage::SkReportPage(const SkReportCollector &data, const RuParameterSet &parameters,
                           const SkReportContext &context)
    : m_data(data), m_parameters(parameters), m_context(context),
      m_pictures(markerLevels(parameters))
{
}

QByteArray SkReportPage::html() const
{
    const QString page = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n") + head()
                         + QStringLiteral("<body>\n") + recording() + alarmLog() + activity()
                         + alarms() + settings() + QStringLiteral("</body>\n</html>\n");
    return page.toUtf8();
}

QString SkReportPage::head() const
{
    const QString station = m_data.firstInfo() ? m_data.firstInfo()->name : QString();
    QString title = QStringLiteral("Radar report");
    if (!station.isEmpty())
        title += QStringLiteral(": ") + station;
    if (m_data.firstTime() != 0)
        title += QStringLiteral(", ") + utc(m_data.firstTime()).left(16) + QStringLiteral(" UTC");
    return QStringLiteral("<head>\n<meta charset=\"utf-8\">\n<title>%1</title>\n<style>%2</style>\n</head>\n")
        .arg(escaped(title), QString::fromLatin1(Style));
}

QString SkReportPage::recording() const
{
    QString html = QStringLiteral("<h1>Radar report</h1>\n<p class=\"lead\">%1 alarms on, %2 log "
                                  "entries over %3 frames.</p>\n")
                       .arg(m_data.alarmsOn())
                       .arg(m_data.rows().size())
                       .arg(m_data.frames());
    html += QStringLiteral("<h2>Recording</h2>\n<table class=\"facts\">\n");
    QStringList sources;
    for (const QString &s : m_context.sources)
        sources << escaped(s);
    html += factRow(QStringLiteral("Sources"), sources.join(QStringLiteral("<br>")));
    if (m_data.firstTime() != 0)
        html += factRow(QStringLiteral("Time span"),
                        QStringLiteral("%1 to %2 UTC (%3)")
                            .arg(utc(m_data.firstTime()), utc(m_data.lastTime()),
                                 duration(m_data.lastTime() - m_data.firstTime())));
    html += factRow(QStringLiteral("Frames"), QString::number(m_data.frames()));
    QString gates = m_data.fewestRangegates() == m_data.mostRangegates()
                        ? QString::number(m_data.mostRangegates())
                        : QStringLiteral("%1 to %2").arg(m_data.fewestRangegates()).arg(m_data.mostRangegates());
    if (m_data.firstInfo() && widthOf(*m_data.firstInfo()) > 0) {
        const double width = widthOf(*m_data.firstInfo());
        gates += QStringLiteral(", %1 m each, up to %2 m from the radar")
                     .arg(width)
                     .arg(width * m_data.mostRangegates());
    }
    html += factRow(QStringLiteral("Range gates"), gates);
    if (const auto &info = m_data.firstInfo())
        html += factRow(QStringLiteral("Radar"),
                        escaped(QStringLiteral("%1, profile %2, antenna %3")
                                    .arg(info->name, info->profile, QChar(info->antenna ? info->antenna : '-'))));
    html += factRow(QStringLiteral("Settings"), escaped(m_context.settingsOrigin));
    html += factRow(QStringLiteral("Made"),
                    escaped(QStringLiteral("%1 UTC by %2")
                                .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd hh:mm")),
                                     m_context.program)));
    return html + QStringLiteral("</table>\n");
}

QString SkReportPage::alarmLog() const
{
    QString html = QStringLiteral("<h2>Alarm log</h2>\n");
    if (m_data.rows().isEmpty())
        return html + QStringLiteral("<p>The detectors logged nothing.</p>\n");
    html += QStringLiteral(
        "<table class=\"log\">\n<thead><tr><th>Frame</th><th>Time (UTC)</th><th>Event</th>"
        "<th>Detector</th><th>Range gates</th><th>Distance</th><th>Details</th></tr></thead>\n<tbody>\n");
    for (const SkReportRow &row : m_data.rows()) {
        html += QStringLiteral("<tr%1><td class=\"number\">%2</td><td>%3</td><td>%4</td><td>%5</td>"
                               "<td>%6</td><td>%7</td><td>%8</td></tr>\n")
                    .arg(row.event.status == RuStatusAlarmOn ? QStringLiteral(" class=\"alarm\"") : QString())
                    .arg(row.frame)
                    .arg(utc(row.timeMicros), escaped(row.event.tag), row.detectorName(),
                         row.rangegateText(), escaped(row.distanceText()), escaped(row.event.detail));
    }
    return html + QStringLiteral("</tbody>\n</table>\n");
}

QString SkReportPage::activity() const
{
    return QStringLiteral("<h2>Activity over the recording</h2>\n<figure>%1<figcaption>The "
                          "detectors' activity of every frame, with a symbol at each logged "
                          "event as the viewer marks it: triangles pointing up or right turn an "
                          "alarm or incident on, down or left off (red: avalanche, blue: rain, "
                          "yellow: water-level alarms, green: water-level incidents); green "
                          "squares and circles: avalanche pre-alarms.</figcaption></figure>\n")
        .arg(image(m_pictures.activity(m_data, ActivitySize), QStringLiteral("Activity over the recording")));
}

QString SkReportPage::alarms() const
{
    if (m_data.alarms().isEmpty())
        return QString();
    QString html = QStringLiteral("<h2>Alarms</h2>\n");
    if (m_data.alarmsOn() > m_data.alarms().size())
        html += QStringLiteral("<p>The first %1 of %2 alarms on are shown.</p>\n")
                    .arg(m_data.alarms().size())
                    .arg(m_data.alarmsOn());
    int n = 0;
    for (const SkReportAlarm &alarm : m_data.alarms()) {
        const SkReportRow &row = m_data.rows()[alarm.row];
        const qint64 first = alarm.window.first().frameNumber();
        const qint64 last = alarm.window.last().frameNumber();
        html += QStringLiteral("<section>\n<h3>%1. %2 at frame %3%4</h3>\n")
                    .arg(++n)
                    .arg(escaped(row.event.tag))
                    .arg(row.frame)
                    .arg(row.timeMicros ? QStringLiteral(", ") + utc(row.timeMicros) + QStringLiteral(" UTC") : QString());
        html += QStringLiteral("<figure>%1<figcaption>Range gate %2 over frames %3 to %4 (the "
                               "line: the alarm)</figcaption></figure>\n")
                    .arg(image(m_pictures.rangegateOverTime(alarm, ViewType, ViewSize),
                               QStringLiteral("Range gate %1 over time").arg(alarm.rangegate)))
                    .arg(alarm.rangegate)
                    .arg(first)
                    .arg(last);
        html += QStringLiteral("<figure>%1<figcaption>Frame %2, every range gate (the line: "
                               "range gate %3)</figcaption></figure>\n</section>\n")
                    .arg(image(m_pictures.frameAtAlarm(alarm, ViewType, ViewSize),
                               QStringLiteral("Frame %1").arg(alarm.frame)))
                    .arg(alarm.frame)
                    .arg(alarm.rangegate);
    }
    return html;
}

QString SkReportPage::settings() const
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    {
        QSettings written(path, QSettings::IniFormat);
        RuParameterTable::write(written, m_parameters);
    }
    const QSettings settings(path, QSettings::IniFormat);
    QString html = QStringLiteral("<h2>Settings</h2>\n<p>From %1. Detectors that are off are "
                                  "left out.</p>\n<div class=\"settings\">\n")
                       .arg(escaped(m_context.settingsOrigin));
    const QStringList sections{QStringLiteral("params"), QStringLiteral("av00"), QStringLiteral("av01"),
                               QStringLiteral("av02"), QStringLiteral("rain0"), QStringLiteral("waterlevel0")};
    for (const QString &section : sections) {
        const QVector<QPair<QString, QString>> values = sectionValues(settings, section);
        if (section != QLatin1String("params") && settings.value(section + QStringLiteral("/enable")).toString() != QLatin1String("true"))
            continue;
        html += QStringLiteral("<table><tr><th colspan=\"2\">[%1]</th></tr>\n").arg(section);
        for (const auto &v : values)
            html += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>\n").arg(escaped(v.first), escaped(v.second));
        html += QStringLiteral("</table>\n");
    }
    return html + QStringLiteral("</div>\n");
}
