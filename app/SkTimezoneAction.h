#pragma once
// The Display menu's time-zone entry: "Timezone" and a spin box of whole hours (-12 ... 12)
// added to the frame times the information line shows.

#include <QWidgetAction>

class QSpinBox;

class SkTimezoneAction : public QWidgetAction
{
    Q_OBJECT

public:
    explicit SkTimezoneAction(QObject *parent = nullptr);

    int value() const;
    void setValue(int hours);
    // The spin box of the widget in the menu (created by the constructor).
    QSpinBox *spinBox() const { return m_spinBox; }

signals:
    void valueChanged(int hours);

private:
    QSpinBox *m_spinBox; // owned by the default widget, which the action owns
};
