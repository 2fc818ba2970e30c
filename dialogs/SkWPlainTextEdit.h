#pragma once
// The console's command pane: a plain text edit that hands its text out through writeTo()
// and traces key presses to the debug log (category "sk.console", off by default).

#include <QPlainTextEdit>

class SkWPlainTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit SkWPlainTextEdit(QWidget *parent = nullptr);

    // Emits writeTo() with the whole text; the pane keeps it.
    void sendAll();

signals:
    void writeTo(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
