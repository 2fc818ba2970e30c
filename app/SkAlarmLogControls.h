#pragma once
// The alarm log dock's controls: which detectors and kinds of event the table shows (menus of
// the form's tool buttons, remembered in the settings), how many rows that leaves, and the
// export of the log as CSV.
//
// The export writes the rows exactly as `rrdcli analyze --log --log-time` prints them for the
// same source and settings: "Export log..." writes every row, whatever the filter hides, so the
// file can be compared with the command line's; "Export shown rows..." (the button's menu)
// writes only the rows the filter shows. The file takes its name only once it is complete.

#include "SkAlarmLogFilter.h"

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QToolButton;
class SkAlarmLogModel;
class SkAlarmLogView;

class SkAlarmLogControls : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        SkAlarmLogView *view;
        QToolButton *detectors;
        QToolButton *kinds;
        QToolButton *exportLog;
        QLabel *rows;
    };

    // Puts the filter between `log` and the view; `namePrefix` gives the start of the name
    // proposed for an export (the source's name). Questions open over `dialogParent`.
    SkAlarmLogControls(SkAlarmLogModel *log, const Widgets &widgets,
                       std::function<QString()> namePrefix, QWidget *dialogParent);

    SkAlarmLogFilter *filter() { return &m_filter; }

    // Writes the rows into `path` (all, or the shown ones); false, with failure() emitted, when
    // the file cannot be written.
    bool writeCsv(const QString &path, bool shownOnly);

signals:
    void message(const QString &text, int timeoutMs);
    void failure(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    QAction *addChoice(QMenu *menu, const QString &key, std::function<void(bool)> apply);
    void readSettings();
    void writeSettings() const;
    void retranslate();
    void showRowCount();
    void exportLog(bool shownOnly);

    SkAlarmLogModel *m_log; // the window's
    Widgets m_widgets;      // the form's
    SkAlarmLogFilter m_filter;
    std::function<QString()> m_namePrefix;
    QWidget *m_dialogParent;
    QAction *m_detectorActions[SkAlarmLogFilter::DetectorCount] = {};
    QAction *m_kindActions[SkAlarmLogFilter::KindCount] = {};
    QAction *m_exportAll = nullptr;
    QAction *m_exportShown = nullptr;
};
