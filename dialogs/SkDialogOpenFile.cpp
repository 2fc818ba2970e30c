#include "SkDialogOpenFile.h"
#include "ui_SkDialogOpenFile.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QListWidgetItem>

SkDialogOpenFile::SkDialogOpenFile(int maxRecent, QWidget *parent)
    : QDialog(parent), ui(new Ui::SkDialogOpenFile), m_fileDialog(this), m_maxRecent(maxRecent)
{
    ui->setupUi(this);
    m_fileDialog.setOption(QFileDialog::DontUseNativeDialog);
    m_fileDialog.setViewMode(QFileDialog::Detail);
    m_fileDialog.setFileMode(QFileDialog::ExistingFiles);
    m_fileDialog.setNameFilter(tr("Radar Data Files (*.rrd *.rrd0 *.rrd.gz *.rrd0.gz *.zip *.raw)"));
}

SkDialogOpenFile::~SkDialogOpenFile() = default;

QStringList SkDialogOpenFile::fileNames() const
{
    QStringList names;
    for (int i = 0; i < ui->fileNamesList->count(); ++i)
        names << ui->fileNamesList->item(i)->text();
    return names;
}

bool SkDialogOpenFile::execFileDialog()
{
    return runFileDialog();
}

QFileDialog *SkDialogOpenFile::fileDialog()
{
    return &m_fileDialog;
}

QUrl SkDialogOpenFile::directoryUrl() const
{
    return m_fileDialog.directoryUrl();
}

void SkDialogOpenFile::setDirectoryUrl(const QUrl &url)
{
    m_fileDialog.setDirectoryUrl(url);
}

QStringList SkDialogOpenFile::recentFiles() const
{
    return m_recentFiles;
}

void SkDialogOpenFile::setRecentFiles(const QStringList &files)
{
    m_recentFiles.clear();
    addRecentFiles(files);
}

int SkDialogOpenFile::maxSize() const
{
    return ui->maxSizeSpinBox->value();
}

void SkDialogOpenFile::setMaxSize(int frames)
{
    ui->maxSizeSpinBox->setValue(frames);
}

int SkDialogOpenFile::batchSize() const
{
    return ui->batchSizeSpinBox->value();
}

void SkDialogOpenFile::setBatchSize(int frames)
{
    ui->batchSizeSpinBox->setValue(frames);
}

void SkDialogOpenFile::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        m_fileDialog.setNameFilter(
            tr("Radar Data Files (*.rrd *.rrd0 *.rrd.gz *.rrd0.gz *.zip *.raw)"));
    }
    QDialog::changeEvent(event);
}

// Runs the file dialog; on acceptance keeps its folder as the next starting folder and puts
// the chosen files into the recent list.
bool SkDialogOpenFile::runFileDialog()
{
    if (m_fileDialog.exec() != QDialog::Accepted)
        return false;
    m_fileDialog.setDirectoryUrl(m_fileDialog.directoryUrl());
    addRecentFiles(m_fileDialog.selectedFiles());
    return true;
}

// A path already in the list moves to the newest end; each file's folder joins the file
// dialog's history once. Both lists keep their newest `m_maxRecent` entries.
void SkDialogOpenFile::addRecentFiles(const QStringList &files)
{
    QStringList history = m_fileDialog.history();
    for (const QString &path : files) {
        m_recentFiles.removeAll(path);
        m_recentFiles.append(path);
        // A file that is gone has no canonical folder; an empty entry would only clutter
        // the history.
        const QString folder = QFileInfo(path).canonicalPath();
        if (folder.isEmpty())
            continue;
        const QString native = QDir::toNativeSeparators(folder);
        if (!history.contains(native))
            history.append(native);
    }
    while (m_recentFiles.size() > m_maxRecent)
        m_recentFiles.removeFirst();
    while (history.size() > m_maxRecent)
        history.removeFirst();
    m_fileDialog.setHistory(history);
    emit recentFilesChanged();
}

void SkDialogOpenFile::on_addFilesPushButton_clicked()
{
    if (runFileDialog())
        ui->fileNamesList->addItems(m_fileDialog.selectedFiles());
}

void SkDialogOpenFile::on_removeFilesPushButton_clicked()
{
    for (int i = ui->fileNamesList->count() - 1; i >= 0; --i) {
        if (ui->fileNamesList->item(i)->isSelected())
            delete ui->fileNamesList->takeItem(i);
    }
}

void SkDialogOpenFile::on_removeAllPushButton_clicked()
{
    ui->fileNamesList->clear();
}

void SkDialogOpenFile::on_moveUpPushButton_clicked()
{
    moveSelected(-1);
}

void SkDialogOpenFile::on_moveDownPushButton_clicked()
{
    moveSelected(+1);
}

void SkDialogOpenFile::on_sortPushButton_clicked()
{
    ui->fileNamesList->sortItems(Qt::AscendingOrder);
}

// Moves every selected item one place up (step -1) or down (+1). The items are visited from
// the end they move towards, so a selected block moves as a block; a block that touches that
// end stays where it is, and with it every other selected item.
void SkDialogOpenFile::moveSelected(int step)
{
    QListWidget *list = ui->fileNamesList;
    const int count = list->count();
    if (count == 0)
        return;
    const int edge = step < 0 ? 0 : count - 1;
    if (list->item(edge)->isSelected())
        return;
    for (int k = 1; k < count; ++k) {
        const int i = step < 0 ? k : count - 1 - k;
        if (!list->item(i)->isSelected())
            continue;
        QListWidgetItem *item = list->takeItem(i);
        list->insertItem(i + step, item);
        item->setSelected(true);
    }
}
