#pragma once
// The alarm log: one row per detector event, in the order the analysis reported them, with
// the frame, its time (UTC), the event's tag and its detail. Rows are kept as plain values,
// so that views can filter them and exports can write them as they are. The log keeps every
// row of an analysis, also of frames the store has let go; a restarted analysis clears it.

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

class SkAlarmLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { FrameColumn, TimeColumn, EventColumn, DetailsColumn, ColumnCount };
    // Each row's frame number, in every column.
    static constexpr int FrameRole = Qt::UserRole;

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
    };

    explicit SkAlarmLogModel(QObject *parent = nullptr);

    void append(const Entry &entry);
    void clear();
    const Entry &entry(int row) const { return m_entries.at(row); }

    // The time column's text: UTC to the millisecond, that the frame has none, or nothing.
    static QString timeText(const Entry &entry);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The headers and the "no time" texts are shown again in the language now in force.
    void retranslate();

private:
    QVector<Entry> m_entries;
};
