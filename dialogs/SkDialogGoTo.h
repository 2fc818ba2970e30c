#pragma once
// "Go To": the operator types a frame number or a date and time, and the dialog closes on the
// frame to show (the one named, or the held frame nearest to the time). A frame the store does
// not hold keeps the dialog open with a message naming the frames it holds instead.
//
// Times are read in the zone the window shows them in (UTC unless the window's time-zone
// offset is set), which the dialog names. The window creates one on the stack for each use, so
// it speaks the current language.

#include <QDate>
#include <QDialog>
#include <QString>

#include <memory>

class SkFrameStore;

namespace Ui {
class SkDialogGoTo;
}

class SkDialogGoTo : public QDialog
{
    Q_OBJECT

public:
    // `store` is read, not owned, and outlives the dialog. `shownDay` is the day, in the
    // window's zone, that a time of day typed alone falls on (that of the frame shown).
    SkDialogGoTo(const SkFrameStore &store, int offsetHours, const QDate &shownDay,
                 QWidget *parent = nullptr);
    ~SkDialogGoTo() override;

    void setText(const QString &text);
    QString text() const;

    // After acceptance: the frame to show, and for a time the sentence that says which frame
    // was taken as the nearest (empty for a frame number).
    int frame() const { return m_frame; }
    QString outcomeText() const { return m_outcome; }

public slots:
    // Looks the frame up; stays open with a message while it is not held.
    void accept() override;

private:
    QString zoneText() const;
    QString timeText(qint64 micros) const;
    QString heldText(int first, int last) const;

    std::unique_ptr<Ui::SkDialogGoTo> ui;
    const SkFrameStore &m_store;
    int m_offsetHours;
    QDate m_shownDay;
    int m_frame = -1;
    QString m_outcome;
};
