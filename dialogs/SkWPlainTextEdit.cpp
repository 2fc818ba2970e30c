#include "SkWPlainTextEdit.h"

#include <QDebug>
#include <QKeyEvent>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(consoleKeys, "sk.console", QtWarningMsg)

} // namespace

SkWPlainTextEdit::SkWPlainTextEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    installEventFilter(this);
}

void SkWPlainTextEdit::sendAll()
{
    emit writeTo(toPlainText());
}

bool SkWPlainTextEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        qCDebug(consoleKeys) << "key " << static_cast<QKeyEvent *>(event)->key() << "from"
                             << watched;
    return QPlainTextEdit::eventFilter(watched, event);
}
