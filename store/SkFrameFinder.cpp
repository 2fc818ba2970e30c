#include "SkFrameFinder.h"

#include "SkFrameStore.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>

#include <cstdlib>
#include <limits>

namespace {

constexpr qint64 MicrosPerSecond = 1000000;

// Microseconds since 1970 of `microsOfDay` on `day`, both read `offsetHours` east of UTC.
qint64 microsOf(const QDate &day, qint64 microsOfDay, int offsetHours)
{
    const QDateTime midnight(day, QTime(0, 0), QTimeZone(offsetHours * 3600));
    return midnight.toMSecsSinceEpoch() * 1000 + microsOfDay;
}

// "hh:mm[:ss[.ffffff]]" in microseconds since midnight, or -1.
qint64 microsOfDay(const QRegularExpressionMatch &match)
{
    const QTime time(match.captured(QStringLiteral("h")).toInt(),
                     match.captured(QStringLiteral("m")).toInt(),
                     match.captured(QStringLiteral("s")).toInt());
    if (!time.isValid())
        return -1;
    // The decimals as microseconds: "25" is 250000.
    const QString fraction = match.captured(QStringLiteral("f")).leftJustified(6, QLatin1Char('0'));
    return time.msecsSinceStartOfDay() * qint64(1000) + fraction.toLongLong();
}

SkFrameFinder::Target timeTarget(qint64 micros)
{
    SkFrameFinder::Target target;
    target.kind = SkFrameFinder::Target::Time;
    target.micros = micros;
    return target;
}

// The held frame whose time lies nearest to `micros`; the answer's times span the frames.
void findTime(const QVector<SkPacket> &packets, qint64 micros, SkFrameFinder::Answer &answer)
{
    qint64 best = std::numeric_limits<qint64>::max();
    for (const SkPacket &packet : packets) {
        if (!packet.frame().hasStamp())
            continue;
        const qint64 t = packet.frame().timeMicros();
        if (!answer.timed || t < answer.firstMicros)
            answer.firstMicros = t;
        if (!answer.timed || t > answer.lastMicros)
            answer.lastMicros = t;
        answer.timed = true;
        const qint64 distance = std::llabs(t - micros);
        if (distance < best) {
            best = distance;
            answer.frame = packet.frameNumber();
            answer.frameMicros = t;
        }
    }
    if (!answer.timed) {
        answer.outcome = SkFrameFinder::Outcome::NoTimes;
        return;
    }
    // A time just beyond the first or last frame still names it: up to one frame's interval.
    const int intervals = answer.last - answer.first;
    const qint64 slack = intervals > 0 ? (answer.lastMicros - answer.firstMicros) / intervals
                                       : MicrosPerSecond;
    if (micros < answer.firstMicros - slack)
        answer.outcome = SkFrameFinder::Outcome::NoLonger;
    else if (micros > answer.lastMicros + slack)
        answer.outcome = SkFrameFinder::Outcome::NotYet;
    else
        answer.outcome = SkFrameFinder::Outcome::Found;
    if (answer.outcome != SkFrameFinder::Outcome::Found)
        answer.frame = -1;
}

} // namespace

SkFrameFinder::Target SkFrameFinder::parse(const QString &text, int offsetHours, const QDate &day)
{
    static const QRegularExpression number(QStringLiteral("^\\d{1,9}$"));
    static const QRegularExpression dateTime(QStringLiteral(
        "^(?:(?<year>\\d{4})-(?<month>\\d{1,2})-(?<day>\\d{1,2})[ T]+)?"
        "(?<h>\\d{1,2}):(?<m>\\d{2})(?::(?<s>\\d{2})(?:[.,](?<f>\\d{1,6}))?)?$"));
    const QString typed = text.trimmed();
    Target target;
    if (number.match(typed).hasMatch()) {
        target.kind = Target::Number;
        target.frame = typed.toInt();
        return target;
    }
    const QRegularExpressionMatch match = dateTime.match(typed);
    if (!match.hasMatch())
        return target;
    const qint64 inDay = microsOfDay(match);
    QDate date = day;
    if (match.capturedLength(QStringLiteral("year")) > 0)
        date = QDate(match.captured(QStringLiteral("year")).toInt(),
                     match.captured(QStringLiteral("month")).toInt(),
                     match.captured(QStringLiteral("day")).toInt());
    if (inDay < 0 || !date.isValid())
        return target;
    return timeTarget(microsOf(date, inDay, offsetHours));
}

QDate SkFrameFinder::dayOf(qint64 micros, int offsetHours)
{
    // Whole milliseconds rounded down: a time just before midnight stays on its day.
    const qint64 ms = micros / 1000 - (micros % 1000 < 0 ? 1 : 0);
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone(offsetHours * 3600)).date();
}

SkFrameFinder::Answer SkFrameFinder::find(const SkFrameStore &store, const Target &target)
{
    Answer answer;
    // One copy under one lock: a stream that moves on meanwhile cannot tear the answer.
    const QVector<SkPacket> packets = store.heldPackets();
    if (packets.isEmpty() || target.kind == Target::Invalid)
        return answer;
    answer.first = packets.first().frameNumber();
    answer.last = packets.last().frameNumber();
    if (target.kind == Target::Time) {
        findTime(packets, target.micros, answer);
        return answer;
    }
    if (target.frame < answer.first) {
        answer.outcome = Outcome::NoLonger;
    } else if (target.frame > answer.last) {
        answer.outcome = Outcome::NotYet;
    } else {
        answer.outcome = Outcome::Found;
        answer.frame = target.frame;
    }
    return answer;
}
