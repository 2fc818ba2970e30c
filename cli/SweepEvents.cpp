#include "SweepEvents.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace cli {

namespace {

// A list of known events runs to a few hundred lines; anything far larger is another file.
constexpr qint64 LargestFile = 4 << 20;

bool isText(const QByteArray &bytes)
{
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r')
            return false;
    }
    return true;
}

// Microseconds since 1970 of an ISO 8601 time; false when `text` is none.
bool parseTime(QString text, qint64 *micros)
{
    static const QRegularExpression form(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\d[T ]\\d\\d:\\d\\d(:\\d\\d(\\.\\d{1,3})?)?(Z| UTC|[+-]\\d\\d:\\d\\d)?$"));
    if (!form.match(text).hasMatch())
        return false;
    if (text.endsWith(QLatin1String(" UTC")))
        text.chop(4);
    text[10] = QLatin1Char('T');
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        return false;
    if (time.timeSpec() == Qt::LocalTime)
        time.setTimeSpec(Qt::UTC);
    *micros = time.toMSecsSinceEpoch() * 1000;
    return true;
}

bool parseFrame(const QString &text, qint64 *frame)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,15}$"));
    if (!digits.match(text).hasMatch())
        return false;
    *frame = text.toLongLong();
    return true;
}

// One line's event; else why not.
QString parseLine(const QStringList &fields, SweepEvent *event)
{
    if (fields.size() < 2 || fields.size() > 3)
        return QStringLiteral("give start,end or start,end,detector");
    const QString start = fields[0].trimmed();
    const QString end = fields[1].trimmed();
    if (parseFrame(start, &event->start) && parseFrame(end, &event->end)) {
        event->byFrame = true;
    } else if (parseTime(start, &event->start) && parseTime(end, &event->end)) {
        event->byFrame = false;
    } else {
        return QStringLiteral("start and end must both be frame numbers or both UTC times "
                              "such as 2024-02-01T06:03:45Z");
    }
    if (event->start > event->end)
        return QStringLiteral("the event ends before it starts");
    const QString detector = fields.size() == 3 ? fields[2].trimmed().toLower() : QString();
    event->detector = detector.isEmpty() ? -1 : SweepTally::detectorIndex(detector);
    if (!detector.isEmpty() && event->detector < 0)
        return QStringLiteral("unknown detector '%1' (av00, av01, av02, rain0, waterlevel0, "
                              "or none for any)")
            .arg(fields[2].trimmed());
    return QString();
}

bool isHeader(const QStringList &fields)
{
    return fields.size() >= 2 && fields[0].trimmed().compare(QLatin1String("start"), Qt::CaseInsensitive) == 0
           && fields[1].trimmed().compare(QLatin1String("end"), Qt::CaseInsensitive) == 0;
}

constexpr qint64 Never = std::numeric_limits<qint64>::max();

// Where one event lies: in times when the frames carry them, else in frame numbers.
struct Window
{
    qint64 from = Never; // first time (or frame) an alarm may have, Never: none may
    qint64 to = 0;
    qint64 start = 0;    // the event's own start, for the delay
    int detector = -1;
};

Window windowOf(const SweepEvent &e, const QVector<qint64> &times, bool timed, qint64 tolerance)
{
    Window w;
    w.detector = e.detector;
    const qint64 frames = times.size();
    if (!timed) {
        // Events given as times cannot lie among frames that carry none.
        if (e.byFrame) {
            w.from = e.start;
            w.to = e.end;
        }
        return w;
    }
    if (e.byFrame) {
        if (e.start >= frames)
            return w;
        w.start = times[int(e.start)];
        w.from = w.start - tolerance;
        w.to = times[int(std::min(e.end, frames - 1))] + tolerance;
    } else {
        w.start = e.start;
        w.from = e.start - tolerance;
        w.to = e.end + tolerance;
    }
    return w;
}

bool within(const SweepAlarm &alarm, const Window &w, bool timed)
{
    const qint64 at = timed ? alarm.timeMicros : alarm.frame;
    return (w.detector < 0 || w.detector == alarm.detector) && at >= w.from && at <= w.to;
}

bool anyTime(const QVector<qint64> &times)
{
    return std::any_of(times.begin(), times.end(), [](qint64 t) { return t != 0; });
}

} // namespace

bool SweepEvents::read(const QString &path, SweepEvents *events, QString *error)
{
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read events file %1: %2")
                     .arg(path, info.exists() ? (info.isDir() ? QStringLiteral("it is a folder")
                                                              : file.errorString())
                                              : QStringLiteral("it does not exist"));
        return false;
    }
    const QByteArray bytes = file.read(LargestFile + 1);
    if (bytes.size() > LargestFile || !isText(bytes)) {
        *error = QStringLiteral("%1 is not an events file: it is no short CSV text").arg(path);
        return false;
    }
    events->m_events.clear();
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    bool first = true;
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char(','));
        if (first && isHeader(fields)) {
            first = false;
            continue;
        }
        first = false;
        SweepEvent event;
        event.line = n + 1;
        const QString problem = parseLine(fields, &event);
        if (!problem.isEmpty()) {
            *error = QStringLiteral("%1: line %2: %3").arg(path).arg(n + 1).arg(problem);
            return false;
        }
        events->m_events.append(event);
    }
    if (events->m_events.isEmpty()) {
        *error = QStringLiteral("%1 holds no event").arg(path);
        return false;
    }
    return true;
}

SweepScore SweepEvents::score(const SweepTally &tally, const QVector<qint64> &frameTimes,
                              double toleranceSeconds) const
{
    const bool timed = anyTime(frameTimes);
    const qint64 tolerance = qint64(toleranceSeconds * 1e6);
    QVector<Window> windows;
    for (const SweepEvent &e : m_events)
        windows << windowOf(e, frameTimes, timed, tolerance);

    SweepScore s;
    double delays = 0.0;
    for (const Window &w : qAsConst(windows)) {
        const auto first = std::find_if(tally.alarmsOn.begin(), tally.alarmsOn.end(),
                                        [&](const SweepAlarm &a) { return within(a, w, timed); });
        if (first == tally.alarmsOn.end()) {
            ++s.missed;
            continue;
        }
        ++s.caught;
        delays += double(first->timeMicros - w.start) / 1e6;
    }
    for (const SweepAlarm &a : tally.alarmsOn) {
        if (std::none_of(windows.begin(), windows.end(),
                         [&](const Window &w) { return within(a, w, timed); }))
            ++s.falseAlarms;
    }
    s.hasDelay = timed && s.caught > 0;
    s.meanDelaySeconds = s.hasDelay ? delays / s.caught : 0.0;
    const int weight = 2 * s.caught + s.missed + s.falseAlarms;
    s.score = weight > 0 ? 2.0 * s.caught / weight : 0.0;
    return s;
}

QStringList SweepEvents::unreachable(const QVector<qint64> &frameTimes) const
{
    const bool timed = anyTime(frameTimes);
    QStringList problems;
    for (const SweepEvent &e : m_events) {
        if (e.byFrame && e.start >= frameTimes.size())
            problems << QStringLiteral("line %1: the event starts after the last frame (%2)")
                            .arg(e.line)
                            .arg(frameTimes.size() - 1);
        else if (!e.byFrame && !timed)
            problems << QStringLiteral("line %1: the frames carry no time (RAW): give the "
                                       "event as frame numbers")
                            .arg(e.line);
    }
    return problems;
}

bool SweepScore::better(const SweepScore &a, const SweepScore &b)
{
    if (a.score != b.score)
        return a.score > b.score;
    if (a.falseAlarms != b.falseAlarms)
        return a.falseAlarms < b.falseAlarms;
    return a.hasDelay && b.hasDelay && a.meanDelaySeconds < b.meanDelaySeconds;
}

} // namespace cli
