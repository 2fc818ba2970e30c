#include "SkTimezoneAction.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

SkTimezoneAction::SkTimezoneAction(QObject *parent) : QWidgetAction(parent)
{
    auto *widget = new QWidget;
    auto *layout = new QHBoxLayout(widget);
    layout->setContentsMargins(24, 2, 6, 2);
    auto *label = new QLabel(tr("Timezone"), widget);
    m_spinBox = new QSpinBox(widget);
    m_spinBox->setObjectName(QStringLiteral("timezoneSpinBox"));
    m_spinBox->setRange(-12, 12);
    m_spinBox->setSuffix(tr(" h"));
    m_spinBox->setToolTip(tr("Hours added to the frame times (UTC) in the information line and on the time axes"));
    label->setBuddy(m_spinBox);
    layout->addWidget(label);
    layout->addWidget(m_spinBox);
    setDefaultWidget(widget);
    connect(m_spinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &SkTimezoneAction::valueChanged);
}

int SkTimezoneAction::value() const
{
    return m_spinBox->value();
}

void SkTimezoneAction::setValue(int hours)
{
    m_spinBox->setValue(hours);
}
