// Getting data out of the window: the snapshot of the spectrogram, the spreadsheet of one
// range gate over the frames in memory ("Export row") and of one activity curve (the activity
// plot's context menu).
//
// The frames are copied out of the store under its lock and written after it is released:
// loading and the alarm work go on meanwhile, and a frame that leaves the store during the
// export is still written from its copy.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "SkActivityCurveData.h"
#include "SkFrameStore.h"
#include "SkPlotActivities.h"
#include "SkXlsxWriter.h"

#include <QCursor>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>

#include <vector>

namespace {

const QString ExportDirKey = QStringLiteral("exportPlotDir");

QDateTime frameTime(const SkPacket &packet)
{
    return QDateTime::fromMSecsSinceEpoch(packet.frame().timeMicros() / 1000, Qt::UTC);
}

} // namespace

// ---- Shared by the exports and "Save frames" ------------------------------------------------

QVector<SkPacket> SkMainWindow::copyHeldPackets() const
{
    return store()->heldPackets();
}

// Shows the status bar's progress bar and keeps a second save or export from starting while
// this one lets the event loop run.
void SkMainWindow::beginOperation(int steps)
{
    m_operationRunning = true;
    ui->actionSave_frames->setEnabled(false);
    ui->exportRowAction->setEnabled(false);
    m_saveProgress->setRange(0, steps);
    m_saveProgress->setValue(0);
    m_saveProgress->show();
}

void SkMainWindow::endOperation()
{
    m_saveProgress->hide();
    ui->actionSave_frames->setEnabled(true);
    ui->exportRowAction->setEnabled(true);
    m_operationRunning = false;
}

// ---- Spreadsheets ---------------------------------------------------------------------------

// "<first source's base name>-", without the characters file names cannot hold.
QString SkMainWindow::exportPrefix() const
{
    if (m_sources.isEmpty())
        return QString();
    QString base = QFileInfo(m_sources.first()).baseName();
    base.remove(QRegularExpression(QStringLiteral("[\\]\\[<>{}\\(\\)\\/:\"'\\*\\?]")));
    return base + QLatin1Char('-');
}

// The remembered folder is the one the last export went to, not that file.
QString SkMainWindow::chooseExportFile(const QString &caption, const QString &defaultName)
{
    QSettings settings;
    const QDir dir(settings.value(ExportDirKey).toString());
    const QString path = QFileDialog::getSaveFileName(this, caption, dir.filePath(defaultName),
                                                      tr("xlsx (*.xlsx)"));
    if (path.isEmpty())
        return QString();
    settings.setValue(ExportDirKey, QFileInfo(path).absolutePath());
    return path;
}

void SkMainWindow::reportExport(SkXlsxWriter &book, const QString &path)
{
    if (book.close())
        statusBar()->showMessage(tr("Exported to %1").arg(path), 4000);
    else
        statusBar()->showMessage(tr("Export to %1 failed: %2").arg(path, book.errorString()));
}

void SkMainWindow::on_exportRowAction_triggered()
{
    if (m_operationRunning)
        return;
    const int row = ui->extractRowSpinBox->value();
    const QString path = chooseExportFile(
        tr("Export row to"), QStringLiteral("%1%2.xlsx").arg(exportPrefix()).arg(row));
    if (path.isEmpty())
        return;
    const SkPacketTypeEnum type = m_packetType;
    const QVector<SkPacket> packets = copyHeldPackets();
    SkXlsxWriter book(path);
    std::vector<float> values(RuMatrix::ColsAtCompileTime, 0.0f);
    beginOperation(packets.size());
    for (int r = 0; r < packets.size(); ++r) {
        QCoreApplication::processEvents();
        const SkPacket &packet = packets.at(r);
        book.writeNumber(r, 0, packet.frameNumber());
        m_saveProgress->setValue(r);
        // A frame with fewer range gates than the row asked for has nothing to give.
        if (!packet.hasMatrix(type) || row >= packet.matrixRows(type))
            continue;
        book.writeDateTime(r, 1, frameTime(packet));
        packet.matrixRow(type, row, values.data());
        for (int c = 0; c < int(values.size()); ++c)
            book.writeNumber(r, c + 2, double(values[c]));
    }
    endOperation();
    reportExport(book, path);
}

void SkMainWindow::on_plotActivity_customContextMenuRequested(const QPoint &pos)
{
    Q_UNUSED(pos)
    QMenu menu(tr("Export menu"), this);
    menu.setObjectName(QStringLiteral("exportMenu"));
    menu.addAction(m_showLegendAction);
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id) {
        QAction *action = menu.addAction(tr("Export plot %1 ..").arg(SkPlotActivities::curveName(id)));
        connect(action, &QAction::triggered, this, [this, id] { exportPlot(id); });
    }
    menu.exec(QCursor::pos());
}

void SkMainWindow::exportPlot(int source)
{
    if (source < 0 || source >= SkPlotActivities::CurveCount) {
        qWarning() << "mnw: No data for exporting found!";
        return;
    }
    if (ui->plotActivity->series(SkActivityPlotId(source)).isEmpty()) {
        qWarning() << "mnw: No data for exporting available!";
        return;
    }
    QString name = SkPlotActivities::curveName(source);
    name.remove(QRegularExpression(QStringLiteral("[\\s]")));
    const QString path = chooseExportFile(tr("Save file to"),
                                          QStringLiteral("%1%2.xlsx").arg(exportPrefix(), name));
    if (path.isEmpty())
        return;
    // The points as they are now: results went on arriving while the dialog was open.
    QVector<QVector<QPointF>> series;
    for (const SkActivityCurveData *data : ui->plotActivity->series(SkActivityPlotId(source)))
        series.append(data->points());
    if (series.isEmpty())
        return;
    const QVector<QPointF> &first = series.first();
    // Times of the frames the store still holds; the others stay empty.
    QVector<QDateTime> times(first.size());
    {
        const QVector<SkPacket> held = store()->heldPackets();
        const int firstHeld = held.isEmpty() ? 0 : held.first().frameNumber();
        for (int p = 0; p < first.size(); ++p) {
            const SkPacket packet = held.value(int(first.at(p).x()) - firstHeld);
            if (packet.hasFrame())
                times[p] = frameTime(packet);
        }
    }
    SkXlsxWriter book(path);
    const int k = series.size();
    int row = 0;
    if (QSettings().value(QStringLiteral("writeXLSHeader"), true).toBool()) {
        book.writeString(0, 0, SkPlotActivities::curveName(source));
        book.writeString(1, 0, SkPlotActivities::curveUnit(source));
        book.writeString(2, 0, tr("Date"));
        for (int s = 1; s <= k; ++s)
            book.writeString(2, s, tr("Rangegate"));
        book.writeString(2, k + 1, tr("Date (text)"));
        for (int s = 1; s <= k; ++s)
            book.writeNumber(3, s, s - 1);
        row = 4;
    }
    for (int p = 0; p < first.size(); ++p, ++row) {
        if (times.at(p).isValid())
            book.writeDateTime(row, 0, times.at(p));
        for (int s = 0; s < k; ++s) {
            if (p < series.at(s).size())
                book.writeNumber(row, s + 1, series.at(s).at(p).y());
        }
        if (times.at(p).isValid())
            book.writeString(row, k + 1, SkXlsxWriter::dateText(times.at(p)));
    }
    reportExport(book, path);
}

// ---- Snapshot -------------------------------------------------------------------------------

void SkMainWindow::on_snapShotAction_triggered()
{
    const QPixmap pixmap = ui->plotCenter->grab();
    if (pixmap.isNull()) {
        statusBar()->showMessage(tr("Screen capture failed!"), 2000);
        return;
    }
    SkPacket packet;
    {
        QMutexLocker locker(&m_currentPacketMutex);
        packet = m_currentPacket;
    }
    if (!packet.hasFrame())
        return;
    const QString stamp = QLocale::c().toString(frameTime(packet).toLocalTime(),
                                                QStringLiteral("yyyy-MM-dd-hhmmsszzz"));
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("snap-%1.png").arg(stamp));
    QImageWriter writer(path);
    if (writer.write(pixmap.toImage()))
        statusBar()->showMessage(tr("Screen capture saved as %1").arg(path), 2000);
    else
        statusBar()->showMessage(
            tr("Screen capture failed! (%1)").arg(path + QStringLiteral(": ") + writer.errorString()),
            2000);
}
