// "Go To" (Ctrl+G): showing a frame the operator names by its number or its time.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "SkDialogGoTo.h"
#include "SkFrameFinder.h"
#include "SkFrameStore.h"
#include "SkTimezoneAction.h"

void SkMainWindow::setupGoTo()
{
    connect(ui->goToAction, &QAction::triggered, this, &SkMainWindow::goToFrame);
}

void SkMainWindow::goToFrame()
{
    const int offset = m_timezoneAction->value();
    SkDialogGoTo dialog(*store(), offset, shownDay(offset), this);
    dialog.setText(m_goToText);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    m_goToText = dialog.text();
    if (!accepted)
        return;
    showFrame(dialog.frame());
    if (!dialog.outcomeText().isEmpty())
        showMessage(dialog.outcomeText(), 4000);
}

// A time typed alone falls on the day of the frame on display (or, before one is drawn, of
// the newest frame held), in the zone the window shows.
QDate SkMainWindow::shownDay(int offsetHours) const
{
    SkPacket packet = m_view->displayedPacket();
    if (!packet.hasFrame())
        packet = store()->frameAt(store()->endFrame() - 1);
    if (!packet.hasFrame() || !packet.frame().hasStamp())
        return QDate();
    return SkFrameFinder::dayOf(packet.frame().timeMicros(), offsetHours);
}
