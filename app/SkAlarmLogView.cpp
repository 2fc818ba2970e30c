#include "SkAlarmLogView.h"

#include "SkAlarmLogModel.h"

#include <QScrollBar>

// Whether the reader keeps to the end is decided by where they leave the scroll bar, not
// sampled when rows arrive: the bar's range grows later than the rows (the layout is
// delayed), and a sample taken in between would end the keeping for good.
SkAlarmLogView::SkAlarmLogView(QWidget *parent) : QTableView(parent)
{
    connect(this, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        const QVariant frame = index.data(SkAlarmLogModel::FrameRole);
        if (frame.isValid())
            emit frameActivated(frame.toInt());
    });
    QScrollBar *bar = verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this] { m_keepAtEnd = isAtEnd(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar] {
        if (m_keepAtEnd)
            bar->setValue(bar->maximum());
    });
}

bool SkAlarmLogView::isAtEnd() const
{
    const QScrollBar *bar = verticalScrollBar();
    return bar->value() >= bar->maximum();
}
