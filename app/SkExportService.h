#pragma once
// Getting data out of the viewer: the frames in memory into one data file ("Save frames"), one
// range gate of them into a spreadsheet ("Export row"), one activity curve into a spreadsheet
// ("Export plot"), and the spectrogram as a picture (the snapshot).
//
// The frames are copies taken under the store's lock and written after it is released:
// loading and the alarm work go on meanwhile, and a frame that leaves the store during the
// write is still written from its copy. A write lets the event loop run once per frame, so
// one operation runs at a time (isBusy). Outcomes are reported by message() and failure();
// a file that cannot be written is named with the reason, and nothing already on the disk is
// lost: a data file appears under its name only when complete, and never over an open source.

#include "SkPacket.h"
#include "SkPacketTypeEnum.h"

#include <QDateTime>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>

class QPixmap;
class QWidget;
class SkFrameStore;

class SkExportService : public QObject
{
    Q_OBJECT

public:
    // One activity curve as it is exported: a series per range gate (one for the detector
    // curves), and the time of each point's frame (invalid where the store no longer has it).
    struct Curve
    {
        QString name;
        QString unit;
        QVector<QVector<QPointF>> series;
        QVector<QDateTime> times;
    };

    // Questions and file dialogs open over `dialogParent`.
    explicit SkExportService(QWidget *dialogParent);

    bool isBusy() const { return m_busy; }

    // Copies of the packets the store holds, oldest first.
    static QVector<SkPacket> heldPackets(SkFrameStore *store);
    // The time of the frame each point of `points` names, where the store still holds it.
    static QVector<QDateTime> frameTimes(SkFrameStore *store, const QVector<QPointF> &points);
    // "<first source's base name>-", without the characters file names cannot hold.
    static QString namePrefix(const QStringList &sources);
    // "snap-<UTC frame time>-<frame number>.png"; frames without a time are "snap-notime-...".
    static QString snapshotName(const SkPacket &packet);

    // Writes `packets` into `path` (".gz" names compressed). Refused when `path` is one of
    // `sources` (also through a link): the frames in memory would replace the recording.
    bool saveFrames(const QString &path, const QVector<SkPacket> &packets,
                    const QStringList &sources);
    // Range gate `row` of the `type` matrix of every packet: its frame number, its UTC time
    // and the 1024 channels; a packet without that matrix or row gives its number only.
    bool exportRow(const QString &path, const QVector<SkPacket> &packets, SkPacketTypeEnum type,
                   int row);
    // The curve with the header rows (name, unit, column titles, range gates) or without.
    bool exportCurve(const QString &path, const Curve &curve, bool header);
    // Writes `picture` of `packet` into `folder`; an earlier snapshot of the same frame is
    // kept (the name gets a counter). The path written, or "" on failure.
    QString saveSnapshot(const QPixmap &picture, const SkPacket &packet, const QString &folder);

    // The file dialogs: "" when the user cancels.
    QString askFramesFile();
    // A spreadsheet name, proposed in the folder of the last export, which is remembered.
    QString askSpreadsheet(const QString &caption, const QString &defaultName);
    // The folder snapshots go to: the one chosen before, or asked for once (starting at the
    // export folder).
    QString snapshotFolder();

signals:
    // An operation started (true) or ended; the window shows a progress bar meanwhile.
    void busyChanged(bool busy);
    void progress(int done, int total);
    void message(const QString &text, int timeoutMs);
    void failure(const QString &text);

private:
    void begin(int total);
    void step(int done);
    void end();

    QWidget *m_dialogParent; // not owned
    bool m_busy = false;
    int m_total = 0;
};
