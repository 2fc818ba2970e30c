#pragma once
// The converter's window: a file browser, the ordered list of input files, the output name,
// the drop and averaging options, and the progress of the conversion running in its thread.

#include <QMainWindow>
#include <QModelIndex>

#include <memory>
#include <thread>

class QFileSystemModel;
class QListWidgetItem;
class RcWorker;

namespace Ui {
class RcMainWindow;
}

class RcMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit RcMainWindow(QWidget *parent = nullptr);
    ~RcMainWindow() override;

private slots:
    void on_convertBt_clicked();
    void on_cancelBt_clicked();
    void on_filesAddBt_clicked();
    void on_filesDownBt_clicked();
    void on_filesRemoveBt_clicked();
    void on_filesSortBt_clicked();
    void on_filesUpBt_clicked();
    void on_fileView_doubleClicked(const QModelIndex &index);
    void on_listWidget_itemDoubleClicked(QListWidgetItem *item);
    void on_outputFilenameDlgBt_clicked();

private:
    // Connected by hand to the worker's finished signal: no child is called "converter", so
    // as a slot it would only make the automatic connection by name complain.
    void on_converter_finished(int id, bool failed, const QString &message);
    void setUpFileView();
    void showCurrentDirectory();
    void moveSelectedEntries(int step);
    void stopWorker();

    std::unique_ptr<Ui::RcMainWindow> ui;
    QFileSystemModel *m_fileModel = nullptr; // owned by this window (QObject parent)
    bool m_centrePending = false;
    // The conversion's thread: a thread of our own, whose start and join ThreadSanitizer
    // follows, so the worker handed to it and taken back is seen to be handed over.
    std::thread m_thread;
    // The worker of the conversion in progress, none when idle. It has no parent; the window
    // deletes it once the thread has finished with it. Its signals reach the window queued.
    RcWorker *m_worker = nullptr;
};
