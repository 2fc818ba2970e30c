#pragma once
// The open-files dialog: an ordered list of data files to load, the two window sizes for
// loading from files ("Max Size" frames held, "Batch Size" frames to advance), the list of
// recently opened files and the file dialog's folder history.
//
// The main window keeps one instance for its whole lifetime, so that the embedded file
// dialog keeps its folder, history and state between uses.

#include <QDialog>
#include <QFileDialog>
#include <QStringList>
#include <QUrl>

#include <memory>

namespace Ui {
class SkDialogOpenFile;
}

class SkDialogOpenFile : public QDialog
{
    Q_OBJECT
public:
    // `maxRecent` bounds the recent-file list and the folder history (the window passes 10).
    explicit SkDialogOpenFile(int maxRecent, QWidget *parent = nullptr);
    ~SkDialogOpenFile() override;

    // The files of the list, top to bottom.
    QStringList fileNames() const;

    // Runs only the file dialog (the window's single "open file" action). On acceptance the
    // chosen files go into the recent list (the file list stays as it is) and the result is
    // true; read them from fileDialog()->selectedFiles().
    bool execFileDialog();
    // The embedded file dialog, for its selected files and saveState()/restoreState().
    QFileDialog *fileDialog();

    QUrl directoryUrl() const;
    void setDirectoryUrl(const QUrl &url);

    // Recently opened files, oldest first. setRecentFiles() replaces the list, keeping the
    // order given and the bound.
    QStringList recentFiles() const;
    void setRecentFiles(const QStringList &files);

    int maxSize() const;
    void setMaxSize(int frames);
    int batchSize() const;
    void setBatchSize(int frames);

signals:
    void recentFilesChanged();

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_addFilesPushButton_clicked();
    void on_removeFilesPushButton_clicked();
    void on_removeAllPushButton_clicked();
    void on_moveUpPushButton_clicked();
    void on_moveDownPushButton_clicked();
    void on_sortPushButton_clicked();

private:
    bool runFileDialog();
    void addRecentFiles(const QStringList &files);
    void moveSelected(int step);

    std::unique_ptr<Ui::SkDialogOpenFile> ui;
    QFileDialog m_fileDialog;
    QStringList m_recentFiles;
    int m_maxRecent;
};
