#include "RcMainWindow.h"
#include "ui_RcMainWindow.h"

#include "RcWorker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QListWidgetItem>

RcMainWindow::RcMainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::RcMainWindow)
{
    ui->setupUi(this);
    setUpFileView();
}

RcMainWindow::~RcMainWindow()
{
    // Closing the window during a conversion: the worker must not outlive its thread.
    stopWorker();
}

void RcMainWindow::setUpFileView()
{
    m_fileModel = new QFileSystemModel(this);
    m_fileModel->setRootPath(QString());
    m_fileModel->setNameFilters({QStringLiteral("*.rrd0"), QStringLiteral("*.rrd0.gz"),
                                 QStringLiteral("*.rrd0.zip"), QStringLiteral("*.rrd"),
                                 QStringLiteral("*.rrd.gz")});
    // Files that cannot be converted are hidden rather than shown greyed out.
    m_fileModel->setNameFilterDisables(false);
    ui->fileView->setModel(m_fileModel);
    ui->fileView->setColumnWidth(0, 300);
    ui->fileView->sortByColumn(0, Qt::AscendingOrder);
    showCurrentDirectory();
    // The model reads and sorts its folders in the background, so the rows above the current
    // directory move after it has been centred: centre it again once each of its ancestors
    // has been read and once more after the sort that follows.
    connect(m_fileModel, &QFileSystemModel::directoryLoaded, this, [this](const QString &path) {
        const QString current = QDir::currentPath();
        const QString folder = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        if (path != current && !current.startsWith(folder))
            return;
        m_centrePending = true;
        showCurrentDirectory();
    });
    connect(m_fileModel, &QAbstractItemModel::layoutChanged, this, [this] {
        if (!m_centrePending)
            return;
        m_centrePending = false;
        showCurrentDirectory();
    });
}

void RcMainWindow::showCurrentDirectory()
{
    const QModelIndex current = m_fileModel->index(QDir::currentPath());
    ui->fileView->setCurrentIndex(current);
    ui->fileView->scrollTo(current, QAbstractItemView::PositionAtCenter);
}

void RcMainWindow::on_convertBt_clicked()
{
    if (m_worker)
        return;
    ui->cancelBt->setEnabled(true);
    ui->convertBt->setEnabled(false);
    QStringList inputs;
    for (int i = 0; i < ui->listWidget->count(); ++i)
        inputs << ui->listWidget->item(i)->text();

    m_worker = new RcWorker(0, ui->outputFilenameCB->currentText(), inputs,
                            ui->rangeAvgSB->value(), ui->framesDropCountSB->value());
    connect(m_worker, &RcWorker::progressMaximumChanged, ui->progressBar, &QProgressBar::setMaximum);
    connect(m_worker, &RcWorker::progressChanged, ui->progressBar, &QProgressBar::setValue);
    connect(m_worker, &RcWorker::finished, this, &RcMainWindow::on_converter_finished,
            Qt::QueuedConnection);
    m_thread = std::thread(&RcWorker::run, m_worker);
    ui->statusBar->clearMessage();
}

void RcMainWindow::on_converter_finished(int, bool failed, const QString &message)
{
    ui->cancelBt->setEnabled(false);
    ui->convertBt->setEnabled(true);
    stopWorker();
    ui->statusBar->showMessage(tr("%1! %2").arg(failed ? tr("Failed") : tr("Finished"), message));
}

void RcMainWindow::on_cancelBt_clicked()
{
    ui->cancelBt->setEnabled(false);
    ui->convertBt->setEnabled(true);
    if (!m_worker)
        return;
    m_worker->abort();
    stopWorker();
    // The worker's last signals are queued for this window; take them now, so that the
    // finished message shows and no stale result reaches a later conversion.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    QCoreApplication::sendPostedEvents(ui->progressBar, QEvent::MetaCall);
}

void RcMainWindow::stopWorker()
{
    if (!m_worker)
        return;
    m_worker->abort();
    m_thread.join();
    delete m_worker;
    m_worker = nullptr;
}

void RcMainWindow::on_filesAddBt_clicked()
{
    const QModelIndexList selected = ui->fileView->selectionModel()->selectedIndexes();
    for (const QModelIndex &index : selected) {
        if (index.column() == 0)
            ui->listWidget->addItem(m_fileModel->filePath(index));
    }
}

void RcMainWindow::on_fileView_doubleClicked(const QModelIndex &index)
{
    if (index.column() == 0 && !m_fileModel->isDir(index))
        ui->listWidget->addItem(m_fileModel->filePath(index));
}

void RcMainWindow::on_filesRemoveBt_clicked()
{
    for (int i = ui->listWidget->count() - 1; i >= 0; --i) {
        if (ui->listWidget->item(i)->isSelected())
            delete ui->listWidget->takeItem(i);
    }
}

void RcMainWindow::on_listWidget_itemDoubleClicked(QListWidgetItem *item)
{
    delete ui->listWidget->takeItem(ui->listWidget->row(item));
}

void RcMainWindow::on_filesSortBt_clicked()
{
    ui->listWidget->sortItems(Qt::AscendingOrder);
}

void RcMainWindow::on_filesUpBt_clicked()
{
    moveSelectedEntries(-1);
}

void RcMainWindow::on_filesDownBt_clicked()
{
    moveSelectedEntries(+1);
}

// Moves every selected entry one place up (step -1) or down (+1). Entries are taken in the
// direction of the move, so a block of selected entries moves as a block; a selection that
// touches the end it moves towards does not move at all.
void RcMainWindow::moveSelectedEntries(int step)
{
    QListWidget *list = ui->listWidget;
    const int count = list->count();
    if (count == 0)
        return;
    const int edge = step < 0 ? 0 : count - 1;
    if (list->item(edge)->isSelected())
        return;
    const int first = step < 0 ? 1 : count - 2;
    for (int i = first; i >= 0 && i < count; i -= step) {
        if (!list->item(i)->isSelected())
            continue;
        QListWidgetItem *item = list->takeItem(i);
        list->insertItem(i + step, item);
        item->setSelected(true);
    }
}

void RcMainWindow::on_outputFilenameDlgBt_clicked()
{
    const QString name = QFileDialog::getSaveFileName(this, tr("Save as"), QDir::currentPath(),
                                                      QStringLiteral("*.rrd0"));
    if (name.isEmpty())
        return;
    ui->outputFilenameCB->insertItem(0, name);
    ui->outputFilenameCB->setCurrentIndex(0);
}
