#include "SkDialogPicture.h"

#include <QDialog>
#include <QPainter>
#include <QTabWidget>
#include <QVector>

namespace {

constexpr int Gap = 8;

} // namespace

QPixmap SkDialogPicture::grabTabs(QDialog *dialog)
{
    dialog->show();
    auto *tabs = dialog->findChild<QTabWidget *>();
    if (!tabs)
        return dialog->grab();
    const int current = tabs->currentIndex();
    QVector<QPixmap> pages;
    int height = 0;
    int width = 0;
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        pages << dialog->grab();
        height += pages.constLast().height() + (i > 0 ? Gap : 0);
        width = std::max(width, pages.constLast().width());
    }
    tabs->setCurrentIndex(current);
    const qreal ratio = pages.isEmpty() ? 1.0 : pages.constFirst().devicePixelRatio();
    QPixmap picture(width, height);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    int y = 0;
    for (const QPixmap &page : qAsConst(pages)) {
        painter.drawPixmap(0, int(y / ratio), page);
        y += page.height() + Gap;
    }
    return picture;
}
