#include "SweepSummary.h"

#include "RuAlarmLogCsv.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>

namespace cli {

namespace {

// "2024-02-01T06:03:21.000Z"; empty for a frame without a time (RAW).
QString utcText(qint64 micros)
{
    if (micros == 0)
        return QString();
    return QDateTime::fromMSecsSinceEpoch(micros / 1000, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzzZ"));
}

QString fixed(double value)
{
    return QString::number(value, 'f', 3);
}

// A value of the parameter file as JSON: a number when it is one, else its text.
QJsonValue jsonValue(const QString &text)
{
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok ? QJsonValue(number) : QJsonValue(text);
}

QJsonValue jsonOrNull(bool present, const QJsonValue &value)
{
    return present ? value : QJsonValue(QJsonValue::Null);
}

} // namespace

SweepSummary::SweepSummary(const SweepPlan &plan, bool scored) : m_plan(plan), m_scored(scored)
{
}

void SweepSummary::add(const SweepSet &set, const SweepTally &tally, const SweepScore &score)
{
    m_rows.append({&set, tally, score});
}

QVector<SweepSummary::Row> SweepSummary::sortedRows() const
{
    QVector<Row> rows = m_rows;
    if (m_scored)
        std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
            return SweepScore::better(a.score, b.score);
        });
    return rows;
}

QByteArray SweepSummary::csv() const
{
    QStringList header{QStringLiteral("set")};
    if (m_plan.fromFiles())
        header << QStringLiteral("file");
    header << m_plan.columns();
    for (const QString &key : SweepTally::detectorKeys())
        header << key + QStringLiteral("_alarms") << key + QStringLiteral("_prealarms");
    header << QStringLiteral("first_alarm_frame") << QStringLiteral("first_alarm_utc");
    if (m_scored)
        header << QStringLiteral("caught") << QStringLiteral("missed")
               << QStringLiteral("false_alarms") << QStringLiteral("mean_delay_s")
               << QStringLiteral("score");
    QByteArray text;
    for (const QString &name : qAsConst(header))
        text += (text.isEmpty() ? QByteArray() : QByteArray(",")) + ruCsvField(name);
    text += '\n';
    for (const Row &row : sortedRows())
        text += csvRow(row);
    return text;
}

QByteArray SweepSummary::csvRow(const Row &row) const
{
    QStringList fields{QString::number(row.set->number)};
    if (m_plan.fromFiles())
        fields << row.set->origin;
    fields << row.set->shownValues;
    for (int d = 0; d < SweepTally::Detectors; ++d)
        fields << QString::number(row.tally.alarms[size_t(d)])
               << QString::number(row.tally.preAlarms[size_t(d)]);
    const SweepAlarm *first = row.tally.firstAlarm();
    fields << (first ? QString::number(first->frame) : QString())
           << (first ? utcText(first->timeMicros) : QString());
    if (m_scored) {
        const SweepScore &s = row.score;
        fields << QString::number(s.caught) << QString::number(s.missed)
               << QString::number(s.falseAlarms)
               << (s.hasDelay ? fixed(s.meanDelaySeconds) : QString()) << fixed(s.score);
    }
    QByteArray line;
    for (int i = 0; i < fields.size(); ++i)
        line += (i ? QByteArray(",") : QByteArray()) + ruCsvField(fields[i]);
    return line + '\n';
}

QByteArray SweepSummary::jsonLines() const
{
    QByteArray text;
    for (const Row &row : sortedRows())
        text += jsonRow(row);
    return text;
}

QByteArray SweepSummary::jsonRow(const Row &row) const
{
    QJsonObject o;
    o.insert(QStringLiteral("set"), row.set->number);
    if (m_plan.fromFiles())
        o.insert(QStringLiteral("file"), row.set->origin);
    QJsonObject values;
    for (int i = 0; i < m_plan.columns().size(); ++i)
        values.insert(m_plan.columns()[i], jsonValue(row.set->shownValues.value(i)));
    o.insert(QStringLiteral("values"), values);
    QJsonObject alarms;
    QJsonObject preAlarms;
    for (int d = 0; d < SweepTally::Detectors; ++d) {
        alarms.insert(SweepTally::detectorKeys()[size_t(d)], row.tally.alarms[size_t(d)]);
        preAlarms.insert(SweepTally::detectorKeys()[size_t(d)], row.tally.preAlarms[size_t(d)]);
    }
    o.insert(QStringLiteral("alarms"), alarms);
    o.insert(QStringLiteral("prealarms"), preAlarms);
    const SweepAlarm *first = row.tally.firstAlarm();
    o.insert(QStringLiteral("first_alarm_frame"), jsonOrNull(first, first ? double(first->frame) : 0));
    const QString when = first ? utcText(first->timeMicros) : QString();
    o.insert(QStringLiteral("first_alarm_utc"), jsonOrNull(!when.isEmpty(), when));
    if (m_scored) {
        const SweepScore &s = row.score;
        o.insert(QStringLiteral("caught"), s.caught);
        o.insert(QStringLiteral("missed"), s.missed);
        o.insert(QStringLiteral("false_alarms"), s.falseAlarms);
        o.insert(QStringLiteral("mean_delay_s"), jsonOrNull(s.hasDelay, s.meanDelaySeconds));
        o.insert(QStringLiteral("score"), s.score);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace cli
