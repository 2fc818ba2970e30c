#include "SkAlarmLogModel.h"

#include <QDateTime>

SkAlarmLogModel::SkAlarmLogModel(QObject *parent) : QAbstractTableModel(parent) {}

void SkAlarmLogModel::append(const Entry &entry)
{
    const int row = m_entries.size();
    beginInsertRows(QModelIndex(), row, row);
    m_entries.append(entry);
    endInsertRows();
}

void SkAlarmLogModel::clear()
{
    if (m_entries.isEmpty())
        return;
    beginResetModel();
    m_entries.clear();
    endResetModel();
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
    if (role == FrameRole)
        return e.frame;
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
