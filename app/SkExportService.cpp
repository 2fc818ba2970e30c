#include "SkExportService.h"

#include "RcOutputFile.h"
#include "SkFrameStore.h"
#include "SkXlsxWriter.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QPixmap>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include <vector>

namespace {

const QString ExportDirKey = QStringLiteral("exportPlotDir");
const QString SnapshotDirKey = QStringLiteral("snapshotDir");

QDateTime frameTime(const SkPacket &packet)
{
    return QDateTime::fromMSecsSinceEpoch(packet.frame().timeMicros() / 1000, Qt::UTC);
}

} // namespace

SkExportService::SkExportService(QWidget *dialogParent)
    : QObject(nullptr), m_dialogParent(dialogParent)
{
}

// ---- What the window hands over -------------------------------------------------------------

QVector<SkPacket> SkExportService::heldPackets(SkFrameStore *store)
{
    return store->heldPackets();
}

QVector<QDateTime> SkExportService::frameTimes(SkFrameStore *store, const QVector<QPointF> &points)
{
    // Times of the frames the store still holds; the others stay empty.
    QVector<QDateTime> times(points.size());
    const QVector<SkPacket> held = store->heldPackets();
    const int firstHeld = held.isEmpty() ? 0 : held.first().frameNumber();
    for (int p = 0; p < points.size(); ++p) {
        const SkPacket packet = held.value(int(points.at(p).x()) - firstHeld);
        if (packet.hasFrame())
            times[p] = frameTime(packet);
    }
    return times;
}

QString SkExportService::namePrefix(const QStringList &sources)
{
    if (sources.isEmpty())
        return QString();
    QString base = QFileInfo(sources.first()).baseName();
    base.remove(QRegularExpression(QStringLiteral("[\\]\\[<>{}\\(\\)\\/:\"'\\*\\?]")));
    return base + QLatin1Char('-');
}

// UTC, like the minute files, and sorting in time order; the frame number tells frames of the
// same millisecond apart.
QString SkExportService::snapshotName(const SkPacket &packet)
{
    const QString number = QStringLiteral("%1").arg(packet.frameNumber(), 4, 10, QLatin1Char('0'));
    if (!packet.frame().hasStamp())
        return QStringLiteral("snap-notime-%1.png").arg(number);
    const QString time = frameTime(packet).toString(QStringLiteral("yyyyMMdd'T'hhmmsszzz'Z'"));
    return QStringLiteral("snap-%1-%2.png").arg(time, number);
}

// ---- Progress -------------------------------------------------------------------------------

void SkExportService::begin(int total)
{
    m_busy = true;
    m_total = total;
    emit busyChanged(true);
    emit progress(0, total);
}

// The window stays responsive while a long file is written.
void SkExportService::step(int done)
{
    QCoreApplication::processEvents();
    emit progress(done, m_total);
}

void SkExportService::end()
{
    m_busy = false;
    emit busyChanged(false);
}

// ---- Writing --------------------------------------------------------------------------------

bool SkExportService::saveFrames(const QString &path, const QVector<SkPacket> &packets,
                                 const QStringList &sources)
{
    if (m_busy)
        return false;
    if (packets.isEmpty()) {
        emit message(tr("No frames in memory to save"), 4000);
        return false;
    }
    for (const QString &source : sources) {
        if (RcOutputFile::sameFile(path, source)) {
            emit failure(tr("Not saved: %1 is being viewed; save the frames under another name")
                             .arg(path));
            return false;
        }
    }
    RcOutputFile output(path);
    QString error;
    if (!output.open(&error)) {
        emit failure(tr("Open failed! %1: %2").arg(path, error));
        return false;
    }
    begin(packets.size());
    for (int i = 0; i < packets.size() && error.isEmpty(); ++i) {
        step(i);
        if (output.file().writeFrame(packets.at(i).frame()) != 0) {
            error = output.file().errorString();
            qDebug().noquote() << "mnw: Write failed with error" << error;
        }
    }
    if (error.isEmpty())
        output.commit(&error);
    end();
    if (!error.isEmpty()) {
        emit failure(tr("Write failed! %1: %2").arg(path, error));
        return false;
    }
    emit message(tr("%1 frames saved to %2").arg(packets.size()).arg(path), 4000);
    return true;
}

bool SkExportService::exportRow(const QString &path, const QVector<SkPacket> &packets,
                                SkPacketTypeEnum type, int row)
{
    if (m_busy)
        return false;
    SkXlsxWriter book(path);
    std::vector<float> values(RuMatrix::ColsAtCompileTime, 0.0f);
    begin(packets.size());
    for (int r = 0; r < packets.size(); ++r) {
        step(r);
        const SkPacket &packet = packets.at(r);
        book.writeNumber(r, 0, packet.frameNumber());
        // A frame with fewer range gates than the row asked for has nothing to give.
        if (!packet.hasMatrix(type) || row >= packet.matrixRows(type))
            continue;
        book.writeDateTime(r, 1, frameTime(packet));
        packet.matrixRow(type, row, values.data());
        for (int c = 0; c < int(values.size()); ++c)
            book.writeNumber(r, c + 2, double(values[c]));
    }
    end();
    if (!book.close()) {
        emit failure(tr("Export to %1 failed: %2").arg(path, book.errorString()));
        return false;
    }
    emit message(tr("Exported to %1").arg(path), 4000);
    return true;
}

bool SkExportService::exportCurve(const QString &path, const Curve &curve, bool header)
{
    if (curve.series.isEmpty())
        return false;
    SkXlsxWriter book(path);
    const QVector<QPointF> &first = curve.series.first();
    const int k = curve.series.size();
    int row = 0;
    if (header) {
        book.writeString(0, 0, curve.name);
        book.writeString(1, 0, curve.unit);
        book.writeString(2, 0, tr("Date"));
        for (int s = 1; s <= k; ++s)
            book.writeString(2, s, tr("Rangegate"));
        book.writeString(2, k + 1, tr("Date (text)"));
        for (int s = 1; s <= k; ++s)
            book.writeNumber(3, s, s - 1);
        row = 4;
    }
    for (int p = 0; p < first.size(); ++p, ++row) {
        const QDateTime time = curve.times.value(p);
        if (time.isValid())
            book.writeDateTime(row, 0, time);
        for (int s = 0; s < k; ++s) {
            if (p < curve.series.at(s).size())
                book.writeNumber(row, s + 1, curve.series.at(s).at(p).y());
        }
        if (time.isValid())
            book.writeString(row, k + 1, SkXlsxWriter::dateText(time));
    }
    if (!book.close()) {
        emit failure(tr("Export to %1 failed: %2").arg(path, book.errorString()));
        return false;
    }
    emit message(tr("Exported to %1").arg(path), 4000);
    return true;
}

QString SkExportService::saveSnapshot(const QPixmap &picture, const SkPacket &packet,
                                      const QString &folder)
{
    const QDir dir(folder);
    const QString name = snapshotName(packet);
    QString path = dir.absoluteFilePath(name);
    for (int i = 2; QFileInfo::exists(path); ++i)
        path = dir.absoluteFilePath(name.chopped(4) + QStringLiteral("-%1.png").arg(i));
    QImageWriter writer(path);
    if (!writer.write(picture.toImage())) {
        emit failure(tr("Screen capture failed! (%1)")
                         .arg(path + QStringLiteral(": ") + writer.errorString()));
        return QString();
    }
    emit message(tr("Screen capture saved as %1").arg(path), 2000);
    return path;
}

// ---- Asking the user ------------------------------------------------------------------------

QString SkExportService::askFramesFile()
{
    const QString path = QFileDialog::getSaveFileName(m_dialogParent, tr("Save file to"),
                                                      QStringLiteral("*.rrd0.gz"),
                                                      tr("gz (*.rrd0.gz)"));
    // The proposed name is a pattern, not a file to write.
    if (QFileInfo(path).fileName().contains(QRegularExpression(QStringLiteral("[*?]"))))
        return QString();
    return path;
}

// The remembered folder is the one the last export went to, not that file.
QString SkExportService::askSpreadsheet(const QString &caption, const QString &defaultName)
{
    QSettings settings;
    const QDir dir(settings.value(ExportDirKey).toString());
    const QString path = QFileDialog::getSaveFileName(m_dialogParent, caption,
                                                      dir.filePath(defaultName),
                                                      tr("xlsx (*.xlsx)"));
    if (path.isEmpty())
        return QString();
    settings.setValue(ExportDirKey, QFileInfo(path).absolutePath());
    return path;
}

// A folder that has gone or cannot be written is asked for again.
QString SkExportService::snapshotFolder()
{
    QSettings settings;
    const QString remembered = settings.value(SnapshotDirKey).toString();
    const QFileInfo info(remembered);
    if (!remembered.isEmpty() && info.isDir() && info.isWritable())
        return remembered;
    QString start = settings.value(ExportDirKey).toString();
    if (start.isEmpty())
        start = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString chosen = QFileDialog::getExistingDirectory(
        m_dialogParent, tr("Folder for snapshots"), start);
    if (chosen.isEmpty())
        return QString();
    settings.setValue(SnapshotDirKey, QFileInfo(chosen).absoluteFilePath());
    return QFileInfo(chosen).absoluteFilePath();
}
