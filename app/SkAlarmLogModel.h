#pragma once
// The alarm log: one row per detector event, in the order the analysis reported them, with
// the frame, its time (UTC), the event's tag and its detail. Rows are kept as plain values,
// so that views can filter them and exports can write them as they are. The log keeps every
// row of an analysis, also of frames the store has let go; a restarted analysis clears it.
//
// The log also follows which detectors are in alarm: the rows of a detector from its "alarm
// on" row up to (not including) its "off" row are marked, drawn on red while that alarm is
// still on and on a lighter red once it has gone off, both with black text, readable under
// any palette.

#include "RuAlarmEvent.h"
#include "SkActiveAlarms.h"

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

class SkAlarmLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { FrameColumn, TimeColumn, EventColumn, DetailsColumn, ColumnCount };
    // Each row's frame number, in every column; the others give the event's detector
    // (RuAlarmEvent::Source and its index), its RuAlarmStatus, and the row's AlarmState.
    enum Role {
        FrameRole = Qt::UserRole,
        SourceRole,
        DetectorRole,
        StatusRole,
        AlarmStateRole
    };
    // Whether the row lies between an "alarm on" row of its detector and the "off" row.
    enum AlarmState { NoAlarm, AlarmEnded, AlarmOnNow };

    // Frames of the RAW format carry no time; a frame the store let go before its events
    // were logged (a batch as large as the window) has one that is no longer known.
    enum class Time { Stamped, NotCarried, Unknown };

    struct Entry
    {
        int frame = -1;
        Time time = Time::Unknown;
        qint64 timeMicros = 0;  // since 1970-01-01 UTC, when Stamped
        QString tag;            // e.g. "AV0-1 ALARM ON"
        QString detail;
        RuAlarmEvent::Source source = RuAlarmEvent::Avalanche;
        int detector = 0;
        int status = 0;
        int alarmRow = -1; // set by append: the "alarm on" row the row belongs to
    };

    explicit SkAlarmLogModel(QObject *parent = nullptr);

    void append(Entry entry);
    void clear();
    const Entry &entry(int row) const { return m_entries.at(row); }
    const SkActiveAlarms &activeAlarms() const { return m_active; }

    // The row as `rrdcli analyze --log --log-time` writes it (RuAlarmLogCsv).
    QByteArray csvRow(int row) const;

    // The time column's text: UTC to the millisecond, that the frame has none, or nothing.
    static QString timeText(const Entry &entry);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The headers and the "no time" texts are shown again in the language now in force.
    void retranslate();

signals:
    // An alarm went on or off, or the log was cleared with alarms on.
    void activeAlarmsChanged(const SkActiveAlarms &alarms);

private:
    AlarmState alarmState(const Entry &entry) const;

    QVector<Entry> m_entries;
    SkActiveAlarms m_active;
};
