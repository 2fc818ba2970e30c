#pragma once
// A picture of a dialog for the documentation: a dialog with tabs is drawn once per tab, the
// tabs one below the other, so that one picture shows every page.

#include <QPixmap>

class QDialog;

class SkDialogPicture
{
public:
    static QPixmap grabTabs(QDialog *dialog);
};
