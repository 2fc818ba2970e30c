#include "SkAlarmLogModel.h"

#include "RuAlarmLogCsv.h"
#include "RuAlarmStatus.h"

#include <QColor>
#include <QDateTime>

namespace {

// Light enough for black text, and apart from the usual selection blues.
const QColor AlarmOnNowBackground(255, 150, 150);
const QColor AlarmEndedBackground(255, 220, 220);

} // namespace

SkAlarmLogModel::SkAlarmLogModel(QObject *parent) : QAbstractTableModel(parent) {}

void SkAlarmLogModel::append(Entry entry)
{
    const int row = m_entries.size();
    const int endedRow = entry.status == RuStatusAlarmOff
                             ? m_active.since(entry.source, entry.detector).row
                             : -1;
    const QString time = entry.time == Time::Stamped ? timeText(entry) : QString();
    const bool changed =
        m_active.follow(entry.source, entry.detector, entry.status, row, entry.frame, time);
    entry.alarmRow = m_active.since(entry.source, entry.detector).row;
    beginInsertRows(QModelIndex(), row, row);
    m_entries.append(entry);
    endInsertRows();
    // The rows of the alarm that went off turn to the lighter colour.
    if (endedRow >= 0)
        emit dataChanged(index(endedRow, 0), index(row - 1, ColumnCount - 1),
                         {Qt::BackgroundRole, AlarmStateRole});
    if (changed)
        emit activeAlarmsChanged(m_active);
}

SkAlarmLogModel::AlarmState SkAlarmLogModel::alarmState(const Entry &entry) const
{
    if (entry.alarmRow < 0)
        return NoAlarm;
    return m_active.since(entry.source, entry.detector).row == entry.alarmRow ? AlarmOnNow
                                                                              : AlarmEnded;
}

void SkAlarmLogModel::clear()
{
    const bool hadAlarms = !m_active.isEmpty();
    m_active.clear();
    if (!m_entries.isEmpty()) {
        beginResetModel();
        m_entries.clear();
        endResetModel();
    }
    if (hadAlarms)
        emit activeAlarmsChanged(m_active);
}

QByteArray SkAlarmLogModel::csvRow(int row) const
{
    const Entry &e = m_entries.at(row);
    const QByteArray time =
        e.time == Time::Stamped ? ruAlarmLogCsvTime(e.timeMicros) : QByteArray();
    return ruAlarmLogCsvRow(e.frame, &time, e.tag, e.detail);
}

QString SkAlarmLogModel::timeText(const Entry &entry)
{
    if (entry.time == Time::NotCarried)
        return tr("no time");
    if (entry.time == Time::Unknown)
        return QString();
    const qint64 micros = entry.timeMicros;
    const qint64 ms = micros >= 0 ? micros / 1000 : -((-micros + 999) / 1000);
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

int SkAlarmLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_entries.size();
}

int SkAlarmLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SkAlarmLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return QVariant();
    const Entry &e = m_entries.at(index.row());
    switch (role) {
    case FrameRole: return e.frame;
    case SourceRole: return int(e.source);
    case DetectorRole: return e.detector;
    case StatusRole: return e.status;
    case AlarmStateRole: return alarmState(e);
    case Qt::BackgroundRole:
        switch (alarmState(e)) {
        case AlarmOnNow: return AlarmOnNowBackground;
        case AlarmEnded: return AlarmEndedBackground;
        case NoAlarm: return QVariant();
        }
        return QVariant();
    case Qt::ForegroundRole: return e.alarmRow >= 0 ? QVariant(QColor(Qt::black)) : QVariant();
    default: break;
    }
    if (role == Qt::ToolTipRole)
        return index.column() == DetailsColumn ? QVariant(e.detail) : QVariant();
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case FrameColumn: return QString::number(e.frame);
    case TimeColumn: return timeText(e);
    case EventColumn: return e.tag;
    case DetailsColumn: return e.detail;
    default: return QVariant();
    }
}

QVariant SkAlarmLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case FrameColumn: return tr("No");
    case TimeColumn: return tr("Time (UTC)");
    case EventColumn: return tr("Event");
    case DetailsColumn: return tr("Details");
    default: return QVariant();
    }
}

void SkAlarmLogModel::retranslate()
{
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!m_entries.isEmpty())
        emit dataChanged(index(0, TimeColumn), index(m_entries.size() - 1, TimeColumn));
}
