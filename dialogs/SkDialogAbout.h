#pragma once
// The about dialog: the program's version in the title and two texts, the licence and the
// general terms. The main window creates one and shows it (not modal) from the Help menu.

#include <QDialog>

#include <memory>

class QAbstractButton;

namespace Ui {
class SkDialogAbout;
}

class SkDialogAbout : public QDialog
{
    Q_OBJECT
public:
    explicit SkDialogAbout(QWidget *parent = nullptr);
    ~SkDialogAbout() override;

    // The version the program was built as ("major.minor[.patch]").
    static QString version();

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_buttonBox_clicked(QAbstractButton *button);

private:
    void setTexts();

    std::unique_ptr<Ui::SkDialogAbout> ui;
};
