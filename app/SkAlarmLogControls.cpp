#include "SkAlarmLogControls.h"

#include "RuAlarmLogCsv.h"
#include "SkAlarmLogModel.h"
#include "SkAlarmLogView.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QSaveFile>
#include <QSettings>
#include <QToolButton>

#include <utility>

namespace {

const QString HiddenDetectorsKey = QStringLiteral("alarmLog/hiddenDetectors");
const QString HiddenKindsKey = QStringLiteral("alarmLog/hiddenKinds");
const QString ExportDirKey = QStringLiteral("alarmLog/exportDir");

} // namespace

SkAlarmLogControls::SkAlarmLogControls(SkAlarmLogModel *log, const Widgets &widgets,
                                       std::function<QString()> namePrefix,
                                       QWidget *dialogParent)
    : QObject(dialogParent), m_log(log), m_widgets(widgets), m_namePrefix(std::move(namePrefix)),
      m_dialogParent(dialogParent)
{
    m_filter.setSourceModel(log);
    widgets.view->setModel(&m_filter);
    buildMenus();
    readSettings();
    retranslate();
    connect(&m_filter, &QAbstractItemModel::rowsInserted, this, &SkAlarmLogControls::showRowCount);
    connect(&m_filter, &QAbstractItemModel::rowsRemoved, this, &SkAlarmLogControls::showRowCount);
    connect(&m_filter, &QAbstractItemModel::modelReset, this, &SkAlarmLogControls::showRowCount);
    connect(&m_filter, &QAbstractItemModel::layoutChanged, this, &SkAlarmLogControls::showRowCount);
    connect(log, &QAbstractItemModel::rowsInserted, this, &SkAlarmLogControls::showRowCount);
    widgets.detectors->installEventFilter(this);
    showRowCount();
}

void SkAlarmLogControls::buildMenus()
{
    auto *detectors = new QMenu(m_widgets.detectors);
    detectors->setObjectName(QStringLiteral("logDetectorsMenu"));
    for (int d = 0; d < SkAlarmLogFilter::DetectorCount; ++d) {
        const auto detector = SkAlarmLogFilter::Detector(d);
        m_detectorActions[d] = addChoice(detectors, SkAlarmLogFilter::detectorKey(detector),
                                         [this, detector](bool on) {
                                             m_filter.setDetectorShown(detector, on);
                                         });
    }
    m_widgets.detectors->setMenu(detectors);
    m_widgets.detectors->setPopupMode(QToolButton::InstantPopup);

    auto *kinds = new QMenu(m_widgets.kinds);
    kinds->setObjectName(QStringLiteral("logKindsMenu"));
    for (int k = 0; k < SkAlarmLogFilter::KindCount; ++k) {
        const auto kind = SkAlarmLogFilter::Kind(k);
        m_kindActions[k] = addChoice(kinds, SkAlarmLogFilter::kindKey(kind),
                                     [this, kind](bool on) { m_filter.setKindShown(kind, on); });
    }
    m_widgets.kinds->setMenu(kinds);
    m_widgets.kinds->setPopupMode(QToolButton::InstantPopup);

    auto *exports = new QMenu(m_widgets.exportLog);
    exports->setObjectName(QStringLiteral("logExportMenu"));
    m_exportAll = exports->addAction(QString());
    m_exportAll->setObjectName(QStringLiteral("logExportAllAction"));
    m_exportShown = exports->addAction(QString());
    m_exportShown->setObjectName(QStringLiteral("logExportShownAction"));
    connect(m_exportAll, &QAction::triggered, this, [this] { exportLog(false); });
    connect(m_exportShown, &QAction::triggered, this, [this] { exportLog(true); });
    m_widgets.exportLog->setMenu(exports);
    m_widgets.exportLog->setPopupMode(QToolButton::MenuButtonPopup);
    connect(m_widgets.exportLog, &QToolButton::clicked, this, [this] { exportLog(false); });
}

// A checkable entry named `key` (its object name); toggling it filters and is remembered.
QAction *SkAlarmLogControls::addChoice(QMenu *menu, const QString &key,
                                       std::function<void(bool)> apply)
{
    QAction *action = menu->addAction(QString());
    action->setObjectName(QStringLiteral("logShow_") + key);
    action->setCheckable(true);
    action->setChecked(true);
    connect(action, &QAction::toggled, this, [this, apply](bool on) {
        apply(on);
        writeSettings();
        showRowCount();
    });
    return action;
}

// Unknown names in the settings (written by another version) are passed over.
void SkAlarmLogControls::readSettings()
{
    const QSettings settings;
    const QStringList hiddenDetectors = settings.value(HiddenDetectorsKey).toStringList();
    const QStringList hiddenKinds = settings.value(HiddenKindsKey).toStringList();
    for (int d = 0; d < SkAlarmLogFilter::DetectorCount; ++d)
        m_detectorActions[d]->setChecked(
            !hiddenDetectors.contains(SkAlarmLogFilter::detectorKey(SkAlarmLogFilter::Detector(d))));
    for (int k = 0; k < SkAlarmLogFilter::KindCount; ++k)
        m_kindActions[k]->setChecked(
            !hiddenKinds.contains(SkAlarmLogFilter::kindKey(SkAlarmLogFilter::Kind(k))));
}

void SkAlarmLogControls::writeSettings() const
{
    QStringList hiddenDetectors;
    QStringList hiddenKinds;
    for (int d = 0; d < SkAlarmLogFilter::DetectorCount; ++d)
        if (!m_detectorActions[d]->isChecked())
            hiddenDetectors << SkAlarmLogFilter::detectorKey(SkAlarmLogFilter::Detector(d));
    for (int k = 0; k < SkAlarmLogFilter::KindCount; ++k)
        if (!m_kindActions[k]->isChecked())
            hiddenKinds << SkAlarmLogFilter::kindKey(SkAlarmLogFilter::Kind(k));
    // Nothing hidden leaves no key (an empty list reads badly in the INI file).
    QSettings settings;
    for (const auto &key : {std::make_pair(HiddenDetectorsKey, hiddenDetectors),
                            std::make_pair(HiddenKindsKey, hiddenKinds)}) {
        if (key.second.isEmpty())
            settings.remove(key.first);
        else
            settings.setValue(key.first, key.second);
    }
}

bool SkAlarmLogControls::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    return QObject::eventFilter(watched, event);
}

void SkAlarmLogControls::retranslate()
{
    const QString detectors[SkAlarmLogFilter::DetectorCount] = {
        tr("Avalanche 0"), tr("Avalanche 1"), tr("Avalanche 2"), tr("Water level"), tr("Rain")};
    const QString kinds[SkAlarmLogFilter::KindCount] = {
        tr("Pre-alarms"), tr("Alarms on"), tr("Alarms off"), tr("Incidents"),
        tr("Warnings and errors")};
    for (int d = 0; d < SkAlarmLogFilter::DetectorCount; ++d)
        m_detectorActions[d]->setText(detectors[d]);
    for (int k = 0; k < SkAlarmLogFilter::KindCount; ++k)
        m_kindActions[k]->setText(kinds[k]);
    m_exportAll->setText(tr("Export log..."));
    m_exportShown->setText(tr("Export shown rows..."));
    showRowCount();
}

// The count says so when the filter hides rows, so an empty table is not taken for a quiet log.
void SkAlarmLogControls::showRowCount()
{
    const int shown = m_filter.rowCount();
    const int all = m_log->rowCount();
    const QString count = shown == all ? tr("%1 rows").arg(all)
                                       : tr("%1 of %2 rows shown").arg(shown).arg(all);
    // The label gives way first in a narrow dock; the whole count stays in its tool tip.
    m_widgets.rows->setText(count);
    m_widgets.rows->setToolTip(count);
}

void SkAlarmLogControls::exportLog(bool shownOnly)
{
    QSettings settings;
    const QDir dir(settings.value(ExportDirKey).toString());
    const QString proposed = dir.filePath(m_namePrefix() + QStringLiteral("log.csv"));
    const QString path = QFileDialog::getSaveFileName(
        m_dialogParent, shownOnly ? tr("Export shown log rows to") : tr("Export log to"),
        proposed, tr("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    settings.setValue(ExportDirKey, QFileInfo(path).absolutePath());
    writeCsv(path, shownOnly);
}

bool SkAlarmLogControls::writeCsv(const QString &path, bool shownOnly)
{
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    written = written && file.write(ruAlarmLogCsvHeader(true)) >= 0;
    const int rows = shownOnly ? m_filter.rowCount() : m_log->rowCount();
    for (int r = 0; r < rows && written; ++r) {
        const int row = shownOnly ? m_filter.mapToSource(m_filter.index(r, 0)).row() : r;
        written = file.write(m_log->csvRow(row)) >= 0;
    }
    if (!written || !file.commit()) {
        emit failure(tr("Export to %1 failed: %2").arg(path, file.errorString()));
        return false;
    }
    emit message(tr("%1 log rows exported to %2").arg(rows).arg(path), 4000);
    return true;
}
