#include "SkDialogAbout.h"
#include "ui_SkDialogAbout.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFile>

namespace {

QString resourceText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

// The texts live in the library's resources; a static library's resources are only linked in
// when something asks for them.
static void initDialogResources()
{
    Q_INIT_RESOURCE(dialogs);
}

SkDialogAbout::SkDialogAbout(QWidget *parent) : QDialog(parent), ui(new Ui::SkDialogAbout)
{
    initDialogResources();
    ui->setupUi(this);
    setTexts();
}

SkDialogAbout::~SkDialogAbout() = default;

QString SkDialogAbout::version()
{
    return QStringLiteral(SK_VERSION);
}

void SkDialogAbout::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        setTexts();
    }
    QDialog::changeEvent(event);
}

void SkDialogAbout::setTexts()
{
    setWindowTitle(tr("About (v%1)").arg(version()));
    ui->textEdit_2->setHtml(resourceText(QStringLiteral(":/dialogs/license.html")));
    ui->textEdit->setHtml(resourceText(QStringLiteral(":/dialogs/terms.html")));
}

void SkDialogAbout::on_buttonBox_clicked(QAbstractButton *)
{
    close();
}
