// Construction and destruction of the main window, its menus, status bar and dialogs, opening
// sources, the messages about tasks and the status bar's texts.

#include "SkMainWindow.h"
#include "ui_SkMainWindow.h"

#include "SkDialogAbout.h"
#include "SkDialogConfigure.h"
#include "SkDialogContrl.h"
#include "SkDialogOpenFile.h"
#include "SkDialogOpenStream.h"
#include "SkExportService.h"
#include "SkFrameStore.h"
#include "SkFrameTaskRecord.h"
#include "SkLiveSession.h"
#include "SkParameterWidgets.h"
#include "SkPlotActivities.h"
#include "SkPlotSpectrogram.h"
#include "SkPlotZoomer.h"
#include "SkRecordingController.h"
#include "SkStreamHealthIndicator.h"
#include "SkTimezoneAction.h"
#include "SkUpdateThrottle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTabBar>
#include <QTranslator>

namespace {

constexpr int RecentFileCount = 10;
// Results of a fast file load arrive by the thousand; the activity plot is redrawn at most
// this often instead of once per result.
constexpr int ActivityReplotIntervalMs = 100;

} // namespace

SkMainWindow::SkMainWindow(QWidget *parent) : SkMainWindow(qApp->arguments().mid(1), parent) {}

SkMainWindow::SkMainWindow(const QStringList &args, QWidget *parent) : QMainWindow(parent)
{
    construct(args);
}

void SkMainWindow::construct(const QStringList &args)
{
    // 1. What the window keeps besides its form.
    m_openFileDialog = new SkDialogOpenFile(RecentFileCount, this);
    m_configureDialog = new SkDialogConfigure(this);
    m_console = new SkDialogContrl(this);
    m_aboutDialog = new SkDialogAbout(this);
    m_session = std::make_unique<SkLiveSession>();
    m_view = new SkViewController(m_session->store(), this);
    m_recording = std::make_unique<SkRecordingController>(m_session.get(), m_configureDialog, this);
    m_exports = std::make_unique<SkExportService>(this);
    m_activityReplot = new SkUpdateThrottle(ActivityReplotIntervalMs, this);
    m_timezoneAction = new SkTimezoneAction;
    m_showLegendAction = new QAction(tr("Show Legend"), this);
    m_showLegendAction->setObjectName(QStringLiteral("showLegendAction"));
    m_showLegendAction->setCheckable(true);
    m_translator = nullptr;

    // 2. The form.
    Q_INIT_RESOURCE(skarnel);
    ui = std::make_unique<Ui::SkMainWindow>();
    ui->setupUi(this);
    m_params = std::make_unique<SkParameterWidgets>(this);
    setupActivityPlot();

    // 3. to 7.
    checkLabelToolTips();
    setDockTitles();
    setupStatusBar();
    setupDisplayMenu();
    setupRecentFiles();
    setupSliders();
    setupComboBoxes();
    setupPlots();
    connectSignals();
    setupOperations();
    setupLog();
    setupGoTo();

    // 8. and 9.: the command line overrides what was stored.
    readSettings();
    m_commandLine = SkCommandLine::parse(args);
    applyCommandLine();
}

SkMainWindow::~SkMainWindow()
{
    // QWidget's destructor hides the docks after this window's members are gone; what they
    // report then must not reach it.
    for (QDockWidget *dock : findChildren<QDockWidget *>())
        disconnect(dock, nullptr, this, nullptr);
    if (m_translator)
        QCoreApplication::removeTranslator(m_translator);
    // Jobs first: they read the store the session owns. Then the session aborts its tasks,
    // wakes the store and waits for them.
    m_view->shutdown();
    m_recording.reset();
    m_session.reset();
    delete m_timezoneAction;
}

SkFrameStore *SkMainWindow::store() const
{
    return m_session->store();
}

// ---- Construction steps ---------------------------------------------------------------------

void SkMainWindow::checkLabelToolTips()
{
    const auto labels = findChildren<QLabel *>();
    for (QLabel *label : labels) {
        QWidget *buddy = label->buddy();
        if (!buddy || label->window() != this)
            continue;
        const bool labelHas = !label->toolTip().isEmpty();
        const bool buddyHas = !buddy->toolTip().isEmpty();
        if (!labelHas && !buddyHas)
            qDebug() << "mnw: no tooltip for Label" << label->objectName() << "and buddy"
                     << buddy->objectName();
        else if (labelHas && buddyHas)
            qDebug() << "mnw: tooltip for Label" << label->objectName() << "and buddy"
                     << buddy->objectName();
        else if (labelHas)
            buddy->setToolTip(label->toolTip());
        else
            label->setToolTip(buddy->toolTip());
    }
}

// The titles carry a mnemonic for the tab bars of tabified docks; a title bar would show the
// "&" itself.
void SkMainWindow::setDockTitles()
{
    const auto docks = findChildren<QDockWidget *>();
    for (QDockWidget *dock : docks) {
        QString title = dock->windowTitle();
        title.remove(QRegularExpression(QStringLiteral("&(?!&)")));
        dock->setWindowTitle(title);
    }
}

void SkMainWindow::setupStatusBar()
{
    auto *holder = new QWidget(this);
    holder->setObjectName(QStringLiteral("statusWidgets"));
    auto *layout = new QHBoxLayout(holder);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);

    m_saveProgress = new QProgressBar(holder);
    m_saveProgress->setObjectName(QStringLiteral("saveProgressBar"));
    m_saveProgress->setFixedWidth(150);
    m_saveProgress->setFormat(tr("Saving: %p%"));
    m_saveProgress->hide();

    m_cursorLabel = new QLabel(holder);
    m_cursorLabel->setObjectName(QStringLiteral("cursorLabel"));
    m_cursorLabel->setMinimumWidth(
        m_cursorLabel->fontMetrics().horizontalAdvance(QStringLiteral("x:9999 y:9999 z:99999.99")));

    m_alarmProgress = new QProgressBar(holder);
    m_alarmProgress->setObjectName(QStringLiteral("alarmProgressBar"));
    m_alarmProgress->setFixedWidth(150);
    m_alarmProgress->setRange(0, 100);
    m_alarmProgress->setValue(0);
    m_alarmProgress->setToolTip(tr("Frames in memory whose alarms have been computed"));

    layout->addWidget(m_saveProgress);
    layout->addWidget(m_cursorLabel);
    layout->addWidget(m_alarmProgress);
    statusBar()->addPermanentWidget(holder);
    statusBar()->setStyleSheet(QStringLiteral("QStatusBar::item { border: none; padding: 0; margin: 0;}"));
    // A message longer than the bar is cut off: the whole text is its tool tip.
    connect(statusBar(), &QStatusBar::messageChanged, statusBar(), &QWidget::setToolTip);
    statusBar()->addPermanentWidget(new SkStreamHealthIndicator(m_session.get(), this));
}

void SkMainWindow::showMessage(const QString &text, int timeoutMs)
{
    statusBar()->showMessage(text, timeoutMs);
}

void SkMainWindow::showFailure(const QString &text)
{
    statusBar()->showMessage(text);
    if (!m_failureBox) {
        m_failureBox = new QMessageBox(QMessageBox::Warning, tr("Skarnel"), QString(),
                                       QMessageBox::Ok, this);
        m_failureBox->setObjectName(QStringLiteral("failureBox"));
        m_failureBox->setWindowModality(Qt::NonModal);
    }
    // One box, showing the newest failure: a failure that repeats does not pile up windows.
    m_failureBox->setText(text);
    m_failureBox->show();
    m_failureBox->raise();
}

void SkMainWindow::setupDisplayMenu()
{
    QMenu *menu = menuBar()->findChild<QMenu *>(QStringLiteral("menuDisplay"));
    if (!menu)
        return;
    menu->addAction(m_showLegendAction);
    const QList<QPair<QDockWidget *, QString>> docks = {
        {ui->dockDetails, tr("Show Details")},
        {ui->dockWidgetLive, tr("Show Live")},
        {ui->dockWidgetRgSum, tr("Show Sum of Rangegates")},
        {ui->dockWidgetLog, tr("Show Log")},
        {ui->dockParams, tr("Show Alarm Parameters")},
        {ui->dockComputed, tr("Show Computed Parameters")}};
    for (const auto &dock : docks) {
        QAction *toggle = dock.first->toggleViewAction();
        toggle->setText(dock.second);
        menu->addAction(toggle);
    }
    menu->addAction(m_timezoneAction);
}

void SkMainWindow::setupRecentFiles()
{
    auto *recent = new QMenu(tr("Open Recent ..."), this);
    recent->setObjectName(QStringLiteral("menuRecentFiles"));
    for (int i = 0; i < RecentFileCount; ++i) {
        auto *action = new QAction(recent);
        action->setObjectName(QStringLiteral("recentFileAction"));
        action->setVisible(false);
        connect(action, &QAction::triggered, this, &SkMainWindow::onRecentFileActionTriggered);
        recent->addAction(action);
        m_recentFileActions.append(action);
    }
    ui->menuFile->insertMenu(ui->reopenAction, recent);
}

void SkMainWindow::connectSignals()
{
    connect(m_configureDialog, &SkDialogConfigure::updateColorMode, ui->plotCenter,
            &SkPlotSpectrogram::setColorMode);
    connect(m_configureDialog, &SkDialogConfigure::languageChanged, this,
            &SkMainWindow::onLanguageChanged);
    connect(m_openFileDialog, &SkDialogOpenFile::recentFilesChanged, this,
            &SkMainWindow::onRecentFilesChanged);
    const auto liveBoxes = {ui->liveChannel0CheckBox, ui->liveActivityCheckBox,
                            ui->liveMainVelocityCheckBox, ui->liveMaxVelocityCheckBox,
                            ui->liveMedianVelocityCheckBox};
    for (QCheckBox *box : liveBoxes)
        connect(box, &QCheckBox::toggled, this, &SkMainWindow::onLiveParamChanged);
    connect(ui->progressSlider, &QwtSlider::valueChanged, ui->plotActivity,
            &SkPlotActivities::setMarkerPos);
    connect(m_timezoneAction, &SkTimezoneAction::valueChanged, this,
            &SkMainWindow::onTimezoneOffsetChanged);
    connect(m_showLegendAction, &QAction::toggled, this, &SkMainWindow::onShowLegendToggled);
    connect(ui->rgSumChBeginSlider, &QSlider::valueChanged, ui->rgSumChBeginSpinBox,
            &QSpinBox::setValue);
    connect(ui->rgSumChBeginSpinBox, QOverload<int>::of(&QSpinBox::valueChanged),
            ui->rgSumChBeginSlider, &QSlider::setValue);
    connect(ui->rgSumChLastSlider, &QSlider::valueChanged, ui->rgSumChLastSpinBox,
            &QSpinBox::setValue);
    connect(ui->rgSumChLastSpinBox, QOverload<int>::of(&QSpinBox::valueChanged),
            ui->rgSumChLastSlider, &QSlider::setValue);

    connect(m_activityReplot, &SkUpdateThrottle::due, ui->plotActivity, &QwtPlot::replot);
    connect(ui->plotCenter->zoomer(), &SkPlotZoomer::zoomChanged, this,
            &SkMainWindow::showProfileSpans);
    // Another view gives the axes other meanings (frames instead of range gates): its zoom
    // starts from the whole picture.
    connect(m_view, &SkViewController::showHowChanged, ui->plotCenter->zoomer(),
            &SkPlotZoomer::resetZoom);
    connectView();

    SkFrameStore *s = store();
    connect(s, &SkFrameStore::dataRangeChanged, this, &SkMainWindow::onDataRangeChanged);
    connect(s, &SkFrameStore::alarmRangeChanged, this, &SkMainWindow::onAlarmRangeChanged);

    SkLiveSession *session = m_session.get();
    connect(session, &SkLiveSession::alarmCalculated, this, &SkMainWindow::onAlarmCalculated);
    connect(session, &SkLiveSession::alarmRestarting, this, &SkMainWindow::onAlarmRestarting);
    connect(session, &SkLiveSession::alarmStatusChanged, this,
            &SkMainWindow::alarmStatusChanged);
    connect(session, &SkLiveSession::nextBatchAvailable, this,
            &SkMainWindow::onNextBatchAvailable);
    connect(session, &SkLiveSession::taskFinished, this, &SkMainWindow::onTaskFinished);
    connect(session, &SkLiveSession::framesDropped, this, &SkMainWindow::onFramesDropped);
    connect(session, &SkLiveSession::processParametersMissing, this,
            &SkMainWindow::onProcessParametersMissing);
    connect(session, &SkLiveSession::processParametersTaken, this,
            &SkMainWindow::onProcessParametersTaken);
    connect(session, &SkLiveSession::analysisComplete, this, [this] {
        m_loadProgress.setComplete(true);
        showAlarmProgress(store()->endFrame());
    });
    connect(session, &SkLiveSession::streamLost, this,
            [this](const QString &reason) { showMessage(tr("Stream lost: %1").arg(reason), 0); });
    connect(session, &SkLiveSession::streamBack, this,
            [this] { showMessage(tr("Stream back"), 4000); });
}

void SkMainWindow::applyCommandLine()
{
    for (const QString &error : qAsConst(m_commandLine.errors))
        qWarning().noquote() << "mnw:" << error;
    if (m_commandLine.batchSize > 0) {
        m_batchSizeFiles = m_commandLine.batchSize;
        m_batchSizeStream = m_commandLine.batchSize;
    }
    if (m_commandLine.maxFrames > 0)
        m_maxFrames = m_commandLine.maxFrames;
    ui->progressSlider->setScale(0, m_maxFrames);
    ui->plotActivity->setFrameRange(0, m_maxFrames);
    m_session->setProcessParameters(m_commandLine.processParams);
    if (!m_commandLine.language.isEmpty())
        m_configureDialog->setLanguage(m_commandLine.language);
    if (m_commandLine.sources.isEmpty())
        return;
    m_sources = m_commandLine.sources;
    m_streamMode = m_commandLine.streamMode;
    ui->playAction->setChecked(m_streamMode);
    on_reopenAction_triggered();
}

// ---- Opening --------------------------------------------------------------------------------

void SkMainWindow::openSources(const QStringList &sources, bool stream)
{
    m_sources = sources;
    m_streamMode = stream;
    ui->playAction->setChecked(stream);
    on_reopenAction_triggered();
}

void SkMainWindow::setPlaying(bool playing)
{
    ui->playAction->setChecked(playing);
    on_playAction_triggered(playing);
}

void SkMainWindow::on_openFileAction_triggered()
{
    if (!m_openFileDialog->execFileDialog())
        return;
    const QStringList files = m_openFileDialog->fileDialog()->selectedFiles();
    if (!files.isEmpty())
        openSources(files, false);
}

void SkMainWindow::on_openFilesAction_triggered()
{
    m_openFileDialog->setMaxSize(m_maxFrames);
    m_openFileDialog->setBatchSize(m_batchSizeFiles);
    if (m_openFileDialog->exec() != QDialog::Accepted)
        return;
    m_batchSizeFiles = m_openFileDialog->batchSize();
    m_maxFrames = m_openFileDialog->maxSize();
    openSources(m_openFileDialog->fileNames(), false);
}

void SkMainWindow::on_openStreamAction_triggered()
{
    SkDialogOpenStream dialog(m_maxFrames, m_batchSizeStream, this);
    QSettings settings;
    if (settings.contains(QStringLiteral("streamAddress")))
        dialog.setStreamAddress(settings.value(QStringLiteral("streamAddress")).toString());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString address = dialog.streamAddress();
    settings.setValue(QStringLiteral("streamAddress"), address);
    m_batchSizeStream = dialog.batchSize();
    m_maxFrames = dialog.maxSize();
    openSources({address}, true);
}

void SkMainWindow::onRecentFileActionTriggered()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (action && !action->data().toString().isEmpty())
        openSources({action->data().toString()}, false);
}

void SkMainWindow::onRecentFilesChanged()
{
    const QStringList files = m_openFileDialog->recentFiles();
    for (int i = 0; i < m_recentFileActions.size(); ++i) {
        QAction *action = m_recentFileActions.at(i);
        const bool used = i < files.size();
        action->setText(used ? files.at(i) : QString());
        action->setData(used ? files.at(i) : QString());
        action->setVisible(used);
    }
}

void SkMainWindow::on_reopenAction_triggered()
{
    if (m_sources.isEmpty()) {
        showMessage(tr("Nothing to reopen: open files or a stream first"), 4000);
        return;
    }
    m_liveMaxima.clear();
    prepareViewsForOpen();
    m_loadProgress.start(m_sources, m_streamMode);
    ui->nextBatchAction->setEnabled(false);
    RuAlarmCalculator calculator;
    m_params->parameterSet().applyTo(calculator);
    // With the radar's settings the computation starts once, when the first frame brings them.
    m_session->setCalculator(m_session->isTakingProcessParameters() ? processParameterBase()
                                                                    : calculator);
    m_session->setPlaying(ui->playAction->isChecked());
    m_session->open(m_sources, m_maxFrames, m_streamMode ? m_batchSizeStream : m_batchSizeFiles);
}

// ---- Menus, dialogs, tasks ------------------------------------------------------------------

void SkMainWindow::on_quitAction_triggered()
{
    close();
}

void SkMainWindow::on_actionAbout_Skarnel_triggered()
{
    m_aboutDialog->show();
    m_aboutDialog->raise();
}

void SkMainWindow::on_actionOptions_triggered()
{
    m_configureDialog->show();
    m_configureDialog->raise();
}

void SkMainWindow::on_actionOpen_CMD_Port_triggered()
{
    m_console->show();
    m_console->raise();
}

void SkMainWindow::on_preferencesAction_triggered()
{
    on_actionOptions_triggered();
}

// The recording controller words the end of a recording.
void SkMainWindow::onTaskFinished(const SkFrameTask *task, int status, const QString &message)
{
    if (qobject_cast<const SkFrameTaskRecord *>(task))
        return;
    if (status == SkTaskFailed)
        showFailure(message);
    else
        showMessage(message, 4000);
}

void SkMainWindow::onFramesDropped(int nFrames)
{
    showMessage(tr("%1 Frames dropped!").arg(nFrames), 500);
}

void SkMainWindow::onShowLegendToggled(bool value)
{
    ui->plotActivity->setLegendShown(value);
}

void SkMainWindow::onLanguageChanged(const QString &lang)
{
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator);
        delete m_translator;
        m_translator = nullptr;
    }
    if (lang != QLatin1String("Deutsch"))
        return;
    m_translator = new QTranslator(this);
    if (m_translator->load(QStringLiteral(":/i18n/de_De.qm"))
        && !QCoreApplication::installTranslator(m_translator))
        qDebug() << "mwn: installation of translator failed!";
}

void SkMainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && ui) {
        ui->retranslateUi(this);
        setDockTitles();
        retranslateCodeTexts();
        retranslateViews();
    }
    QMainWindow::changeEvent(event);
}

void SkMainWindow::closeEvent(QCloseEvent *event)
{
    // Stop reading and analysing at once, so that the window is gone within a second even
    // while a load sleeps on a full store or a stream read blocks.
    m_view->shutdown();
    m_session->abort();
    writeSettings();
    event->accept();
}
