#pragma once
// The alarm log's table. New rows scroll into view while the reader is at the end of the
// log; once they have scrolled up to read, the view stays where they are until they scroll
// back down. Activating a row (double-click, Enter) names its frame.

#include <QTableView>

class SkAlarmLogView : public QTableView
{
    Q_OBJECT

public:
    explicit SkAlarmLogView(QWidget *parent = nullptr);

    // The newest row is in view, or there is nothing to scroll.
    bool isAtEnd() const;

signals:
    // The model gives each row's frame under SkAlarmLogModel::FrameRole.
    void frameActivated(int frame);

private:
    bool m_keepAtEnd = true;
};
