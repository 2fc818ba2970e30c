// What the window keeps between runs: the program settings read once at start and written
// once at close, the alarm parameters in the program store and in parameter files, the
// "Last Used Parameters" menu, and the options dialog's state.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "SkActivityControls.h"
#include "SkDialogConfigure.h"
#include "SkDialogOpenFile.h"
#include "SkFrameStore.h"
#include "SkParameterFiles.h"
#include "SkParameterWidgets.h"
#include "SkPlotActivities.h"
#include "SkTimezoneAction.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QDockWidget>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryFile>

#include <memory>

#include <qwt_plot_curve.h>
#include <qwt_text.h>

// Texts of Qt's own standard buttons in the viewer's dialogs and message boxes, which the
// catalogue translates as well (under Qt's contexts: the generic and the GNOME theme).
[[maybe_unused]] static const char *const StandardButtonTexts[] = {
    QT_TRANSLATE_NOOP("QPlatformTheme", "OK"),     QT_TRANSLATE_NOOP("QPlatformTheme", "Cancel"),
    QT_TRANSLATE_NOOP("QPlatformTheme", "Close"),  QT_TRANSLATE_NOOP("QGnomeTheme", "&OK"),
    QT_TRANSLATE_NOOP("QGnomeTheme", "&Cancel"),   QT_TRANSLATE_NOOP("QGnomeTheme", "&Close")};

// The German catalogue is compiled into the window's library.
static void initTranslations()
{
    Q_INIT_RESOURCE(i18n);
}

namespace {

const QString ParameterFilter = QStringLiteral("*.ini");

// The version of the docks' layout kept as "windowState". Layouts of version 0 left the
// spectrogram a quarter of the window: they give way to the first start's layout.
constexpr int LayoutVersion = 1;
// The column of docks at the first start: narrow, so that a window 1600 pixels wide shows the
// 1024 channels in more than 500 pixels; the docks' own minimum widths win where larger.
constexpr int RightDockWidth = 260;

// A stored count that is no positive number keeps `fallback`.
int positiveInt(const QSettings &settings, const QString &key, int fallback)
{
    bool ok = false;
    const int value = settings.value(key).toInt(&ok);
    return ok && value > 0 ? value : fallback;
}

// Applies a stored integer to `apply` only when the key is present and holds a number.
template <typename Apply>
void storedInt(const QSettings &settings, const QString &key, Apply apply)
{
    if (!settings.contains(key))
        return;
    bool ok = false;
    const int value = settings.value(key).toInt(&ok);
    if (ok)
        apply(value);
}

void setComboIndex(QComboBox *box, int index)
{
    if (index >= 0 && index < box->count())
        box->setCurrentIndex(index);
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

// ---- Program settings -----------------------------------------------------------------------

// The order matters: the options dialog's language is in force before the texts that follow,
// and the parameters come last so that their widgets' handlers see the rest in place.
void SkMainWindow::readSettings()
{
    rememberCodeTexts();
    const QSettings settings;
    m_parameterFiles = new SkParameterFiles(ui->menuLast_Parameters, this);
    ui->dockParamsContents->setMinimumWidth(265);
    ui->dockWidgetLogContents->setMinimumWidth(330);

    readWindowSettings(settings);
    if (settings.contains(QStringLiteral("fileDialog")))
        m_openFileDialog->fileDialog()->restoreState(
            settings.value(QStringLiteral("fileDialog")).toByteArray());
    if (settings.contains(QStringLiteral("fileDialogHistory")))
        m_openFileDialog->setRecentFiles(
            settings.value(QStringLiteral("fileDialogHistory")).toStringList());
    if (settings.contains(QStringLiteral("fileDialogDirectoryUrl")))
        m_openFileDialog->setDirectoryUrl(
            settings.value(QStringLiteral("fileDialogDirectoryUrl")).toUrl());
    if (settings.contains(QStringLiteral("configureDialog"))
        && !m_configureDialog->restoreState(
            settings.value(QStringLiteral("configureDialog")).toByteArray()))
        qDebug() << "mnw: stored options are damaged; the options keep their defaults";

    const bool legend = settings.value(QStringLiteral("showActivityLegend"), true).toBool();
    m_showLegendAction->setChecked(legend);
    onShowLegendToggled(legend);
    m_activityControls->restore(settings);
    m_writeXlsHeader = settings.value(QStringLiteral("writeXLSHeader"), true).toBool();
    if (settings.contains(QStringLiteral("infoSplitterState")))
        ui->infoSplitter->restoreState(settings.value(QStringLiteral("infoSplitterState")).toByteArray());

    m_batchSizeStream = positiveInt(settings, QStringLiteral("framesBatchSizeStream"), 1);
    m_batchSizeFiles = positiveInt(settings, QStringLiteral("framesBatchSizeFiles"), 500);
    m_maxFrames = positiveInt(settings, QStringLiteral("framesMaxSize"), 1000);
    setComboIndex(ui->peakShiftComboBox, settings.value(QStringLiteral("peakShift"), 0).toInt());
    storedInt(settings, QStringLiteral("utcOffset"), [this](int v) { m_timezoneAction->setValue(v); });
    storedInt(settings, QStringLiteral("rgsum/chBegin"),
              [this](int v) { ui->rgSumChBeginSpinBox->setValue(v); });
    storedInt(settings, QStringLiteral("rgsum/chLast"),
              [this](int v) { ui->rgSumChLastSpinBox->setValue(v); });
    if (settings.contains(QStringLiteral("recentPList"))
        && !m_parameterFiles->restore(settings.value(QStringLiteral("recentPList")).toByteArray()))
        qDebug() << "mnw: stored list of parameter files is damaged; the list starts empty";
    storedInt(settings, QStringLiteral("liveShowWhatComboBox"),
              [this](int v) { setComboIndex(ui->liveShowWhatComboBox, v); });
    m_view->readSettings(settings);
    readAxisSettings(settings);
    m_params->readParameters(settings);
}

void SkMainWindow::readWindowSettings(const QSettings &settings)
{
    if (!settings.contains(QStringLiteral("geometry"))) {
        firstStartLayout();
        return;
    }
    restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    if (!restoreState(settings.value(QStringLiteral("windowState")).toByteArray(), LayoutVersion))
        firstStartLayout();
}

// The docks share one column on the right, as tabs (the alarm parameters among them: they are
// set up once, not watched), so that the central area gets most of the window.
void SkMainWindow::firstStartLayout()
{
    tabifyDockWidget(ui->dockDetails, ui->dockWidgetLog);
    tabifyDockWidget(ui->dockWidgetLog, ui->dockWidgetLive);
    tabifyDockWidget(ui->dockWidgetLive, ui->dockWidgetRgSum);
    tabifyDockWidget(ui->dockWidgetRgSum, ui->dockParams);
    const auto tabBars = findChildren<QTabBar *>();
    for (QTabBar *bar : tabBars)
        bar->setCurrentIndex(0);
    resizeDocks({ui->dockDetails, ui->dockComputed}, {RightDockWidth, RightDockWidth},
                Qt::Horizontal);
}

// The window is closing: a store that cannot be written can only go to the log.
void SkMainWindow::writeSettings()
{
    QSettings settings;
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.setValue(QStringLiteral("windowState"), saveState(LayoutVersion));
    settings.setValue(QStringLiteral("infoSplitterState"), ui->infoSplitter->saveState());
    settings.setValue(QStringLiteral("fileDialog"), m_openFileDialog->fileDialog()->saveState());
    settings.setValue(QStringLiteral("fileDialogHistory"), m_openFileDialog->recentFiles());
    settings.setValue(QStringLiteral("fileDialogDirectoryUrl"), m_openFileDialog->directoryUrl());
    settings.setValue(QStringLiteral("configureDialog"), m_configureDialog->saveState());
    settings.setValue(QStringLiteral("showActivityLegend"), m_showLegendAction->isChecked());
    m_activityControls->save(settings);
    settings.setValue(QStringLiteral("writeXLSHeader"), m_writeXlsHeader);
    settings.setValue(QStringLiteral("framesBatchSizeStream"), m_batchSizeStream);
    settings.setValue(QStringLiteral("framesBatchSizeFiles"), m_batchSizeFiles);
    settings.setValue(QStringLiteral("framesMaxSize"), m_maxFrames);
    settings.setValue(QStringLiteral("peakShift"), ui->peakShiftComboBox->currentIndex());
    settings.setValue(QStringLiteral("utcOffset"), m_timezoneAction->value());
    settings.setValue(QStringLiteral("rgsum/chBegin"), ui->rgSumChBeginSpinBox->value());
    settings.setValue(QStringLiteral("rgsum/chLast"), ui->rgSumChLastSpinBox->value());
    settings.setValue(QStringLiteral("recentPList"), m_parameterFiles->save());
    settings.setValue(QStringLiteral("liveShowWhatComboBox"), ui->liveShowWhatComboBox->currentIndex());
    m_view->writeSettings(settings);
    writeAxisSettings(settings);
    m_params->writeParameters(settings);
    settings.sync();
    const QString failure = SkParameterFiles::failure(settings);
    if (!failure.isEmpty())
        qWarning().noquote() << "mnw: settings not written to" << settings.fileName() << ":"
                             << failure;
}

// ---- Parameter files ------------------------------------------------------------------------

void SkMainWindow::on_actionSave_Parameters_triggered()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save parameters"), ParameterFilter,
                                                      tr("ini (*.ini)"));
    if (!path.isEmpty())
        exportParameters(path);
}

void SkMainWindow::on_actionLoad_Parameters_triggered()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Load parameters"), ParameterFilter,
                                                      tr("ini (*.ini)"));
    if (!path.isEmpty())
        importParameters(path);
}

bool SkMainWindow::exportParameters(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QString error;
    if (!SkParameterFiles::write(*m_params, absolute, &error)) {
        showFailure(tr("Parameters not written to %1: %2")
                        .arg(QDir::toNativeSeparators(absolute), error));
        return false;
    }
    addRecentParameterFile(nowMs(), absolute);
    showMessage(tr("Parameters written to %1").arg(QDir::toNativeSeparators(absolute)), 4000);
    return true;
}

bool SkMainWindow::importParameters(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QString error;
    QStringList warnings;
    if (!SkParameterFiles::read(*m_params, absolute, &error, &warnings)) {
        showFailure(tr("Parameters not read: %1").arg(error));
        return false;
    }
    addRecentParameterFile(nowMs(), absolute);
    const QString shown = QDir::toNativeSeparators(absolute);
    QString read = tr("Parameters read from %1").arg(shown);
    if (!warnings.isEmpty()) {
        read = tr("Parameters read from %1 with %n warning(s)", nullptr, warnings.size()).arg(shown);
        showParameterWarnings(read, warnings);
    }
    // The detectors take new settings only when they start again: until then the log and the
    // activity plot show the old ones.
    if (store()->endFrame() > store()->startFrame())
        showMessage(tr("%1: press \"Recalculate\" to analyse the frames in memory with them")
                        .arg(read), 0);
    else
        showMessage(read, warnings.isEmpty() ? 4000 : 0);
    return true;
}

// Each value the file could not give is named: the first in the box, all in its details.
void SkMainWindow::showParameterWarnings(const QString &text, const QStringList &warnings)
{
    for (const QString &warning : warnings)
        qWarning().noquote() << "mnw:" << warning;
    QMessageBox box(QMessageBox::Warning, tr("Import Parameters"), text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("parameterWarnings"));
    box.setInformativeText(warnings.first());
    box.setDetailedText(warnings.join(QLatin1Char('\n')));
    box.exec();
}

void SkMainWindow::addRecentParameterFile(qint64 timeMs, const QString &path)
{
    m_parameterFiles->add(timeMs, path, m_configureDialog->parameterFileListSize());
}

void SkMainWindow::on_menuLast_Parameters_triggered(QAction *action)
{
    if (!action || !action->data().isValid())
        return;
    const qint64 key = action->data().toLongLong();
    const QString path = m_parameterFiles->path(key);
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path)) {
        importParameters(path);
        return;
    }
    QMessageBox box(QMessageBox::Question, tr("Remove path entry?"), tr("Remove path entry?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setInformativeText(tr("The filename") + QStringLiteral(" \"") + path
                           + QStringLiteral("\"\n") + tr("does not exist anymore!")
                           + QStringLiteral("\n\n") + tr("Shall I remove this entry?"));
    box.setDefaultButton(QMessageBox::Cancel);
    if (box.exec() != QMessageBox::Cancel)
        m_parameterFiles->remove(key);
}

void SkMainWindow::on_actionDelete_Parameters_entries_triggered()
{
    QMessageBox box(QMessageBox::Question, tr("Delete all entries!"), tr("Delete all entries!"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setInformativeText(tr("Do You really want to delete all entries?"));
    box.setDefaultButton(QMessageBox::Cancel);
    if (box.exec() != QMessageBox::Cancel)
        m_parameterFiles->clear();
}

QString SkMainWindow::parametersIniText()
{
    QTemporaryFile file;
    QString error;
    if (!file.open()) {
        showFailure(tr("Parameters not copied: no temporary file (%1)")
                        .arg(file.errorString()));
        return QString();
    }
    const QString name = file.fileName();
    file.close();
    if (!SkParameterFiles::write(*m_params, name, &error)) {
        showFailure(tr("Parameters not written to %1: %2")
                        .arg(QDir::toNativeSeparators(name), error));
        return QString();
    }
    QFile written(name);
    if (!written.open(QIODevice::ReadOnly | QIODevice::Text)) {
        showFailure(tr("Parameters not read from %1: %2")
                        .arg(QDir::toNativeSeparators(name), written.errorString()));
        return QString();
    }
    return QString::fromUtf8(written.readAll());
}

void SkMainWindow::on_actionExport_Parameters_to_Clipboard_triggered()
{
    const QString text = parametersIniText();
    if (text.isEmpty())
        return;
    QApplication::clipboard()->setText(text, QClipboard::Clipboard);
    showMessage(tr("Parameters copied to the clipboard"), 4000);
}

// ---- Language -------------------------------------------------------------------------------

namespace {

// A text set in code is looked up under the context of the class that set it; texts of the
// window's own code fall back to its context.
QString translated(const char *context, const QString &source)
{
    const QByteArray key = source.toUtf8();
    QString text = QCoreApplication::translate(context, key.constData());
    if (text == source)
        text = QCoreApplication::translate("SkMainWindow", key.constData());
    return text;
}

} // namespace

// Called before the stored language is installed, so that the texts kept are the source
// texts the catalogue is keyed by.
void SkMainWindow::rememberCodeTexts()
{
    initTranslations();
    const auto rememberAction = [this](QAction *action) {
        const QString source = action->text();
        QPointer<QAction> guard(action);
        m_retranslations << [guard, source] {
            if (guard)
                guard->setText(translated("SkMainWindow", source));
        };
    };
    rememberAction(m_showLegendAction);
    for (QDockWidget *dock : findChildren<QDockWidget *>())
        rememberAction(dock->toggleViewAction());
    if (QMenu *recent = findChild<QMenu *>(QStringLiteral("menuRecentFiles")))
        rememberAction(recent->menuAction());

    for (QComboBox *box : {ui->showWhatComboBox, ui->showHowComboBox, ui->peakShiftComboBox,
                           ui->liveShowWhatComboBox, ui->liveVelocitySourceComboBox}) {
        QStringList sources;
        for (int i = 0; i < box->count(); ++i)
            sources << box->itemText(i);
        m_retranslations << [box, sources] {
            for (int i = 0; i < sources.size() && i < box->count(); ++i)
                box->setItemText(i, translated("SkMainWindow", sources.at(i)));
        };
    }

    const QString format = m_saveProgress->format();
    const QString tip = m_alarmProgress->toolTip();
    m_retranslations << [this, format, tip] {
        m_saveProgress->setFormat(translated("SkMainWindow", format));
        m_alarmProgress->setToolTip(translated("SkMainWindow", tip));
    };

    // Axis titles of the plots whose titles do not change with the view.
    for (QwtPlot *plot : {static_cast<QwtPlot *>(ui->plotActivity), ui->plotLeft, ui->plotBottom,
                          ui->plotLive, ui->plotRgSum}) {
        const QByteArray context = plot->metaObject()->className();
        for (int axis = 0; axis < QwtPlot::axisCnt; ++axis) {
            const QString source = plot->axisTitle(axis).text();
            if (source.isEmpty())
                continue;
            m_retranslations << [plot, axis, source, context] {
                QwtText title = plot->axisTitle(axis);
                title.setText(translated(context.constData(), source));
                plot->setAxisTitle(axis, title);
            };
        }
    }
    // The activity plot's legend.
    m_retranslations << [this] {
        for (int id = 0; id < SkPlotActivities::CurveCount; ++id)
            if (QwtPlotCurve *curve = ui->plotActivity->curve(SkActivityPlotId(id)))
                curve->setTitle(SkPlotActivities::curveTitle(id));
    };
    rememberSpectrogramTitles();
}

// The spectrogram's axis titles change with the view, so they are known by what they show:
// every text they may show, in every language switched to so far, leads back to its source.
void SkMainWindow::rememberSpectrogramTitles()
{
    using Source = QPair<const char *, const char *>;
    static const Source sources[] = {
        {"SkMainWindow", "Doppler channel"}, {"SkMainWindow", "Frame (from the first held)"},
        {"SkMainWindow", "Range gate"},      {"SkPlotSpectrogram", "Channel"},
        {"SkPlotSpectrogram", "Range gate"}, {"SkPlotSpectrogram", "Level (a.u.)"}};
    auto shown = std::make_shared<QHash<QString, Source>>();
    for (const Source &source : sources)
        shown->insert(QString::fromUtf8(source.second), source);
    m_retranslations << [this, shown] {
        for (int axis : {QwtPlot::xBottom, QwtPlot::yLeft, QwtPlot::yRight}) {
            QwtText title = ui->plotCenter->axisTitle(axis);
            const auto it = shown->constFind(title.text());
            if (it == shown->constEnd())
                continue;
            title.setText(QCoreApplication::translate(it->first, it->second));
            ui->plotCenter->setAxisTitle(axis, title);
        }
        for (const Source &source : sources)
            shown->insert(QCoreApplication::translate(source.first, source.second), source);
    };
}

void SkMainWindow::retranslateCodeTexts()
{
    for (const auto &retranslate : qAsConst(m_retranslations))
        retranslate();
    // The live plot's axis names the live value chosen.
    QwtText live = ui->plotLive->axisTitle(QwtPlot::xBottom);
    live.setText(ui->liveShowWhatComboBox->currentText());
    ui->plotLive->setAxisTitle(QwtPlot::xBottom, live);
    ui->plotActivity->replot();
}
