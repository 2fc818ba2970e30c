#pragma once
// The viewer's single window. It chooses what to open and how, drives the live session that
// loads and analyses the frames (the same session `rrdcli watch` drives), and shows what the
// session and the frame store report: the spectrogram of the frame, range gate or channel
// chosen, the activity plot with its alarm markers, the alarm log, the live and range-gate
// sum docks and the frame's details.
//
// The window composes classes with one job each and wires them to its widgets: what is shown
// and how (SkViewController), recording the stream (SkRecordingController), getting data out
// (SkExportService). Its own code is split along its seams: construction, menus, tasks and
// the status bar (SkMainWindow.cpp), the view controls (SkMainWindowViews.cpp), drawing what
// the views extract (SkMainWindowDrawing.cpp), alarm results, the log and the parameter dock
// (SkMainWindowAlarms.cpp), settings and parameter files (SkMainWindowSettings.cpp), the
// recording and export actions (SkMainWindowOperations.cpp); the command line's grab lives in
// SkWindowGrabber.

#include "RuAlarmEvent.h"
#include "RuAlarmResult.h"
#include "SkActivityPlotId.h"
#include "SkCommandLine.h"
#include "SkFrameTimes.h"
#include "SkLoadProgress.h"
#include "SkPacket.h"
#include "SkPacketTypeEnum.h"
#include "SkViewController.h"

#include <QMainWindow>
#include <QDate>
#include <QMap>
#include <QPointF>
#include <QRectF>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>
#include <mutex>

class QLabel;
class QMessageBox;
class QProgressBar;
class QSettings;
class QTranslator;
class QwtPlotCurve;
class RuAlarmCalculator;
class SkActivityControls;
class SkAxisUnits;
class SkAlarmLogModel;
class SkDialogAbout;
class SkDialogConfigure;
class SkDialogContrl;
class SkXlsxWriter;
class SkDialogOpenFile;
class SkExportService;
class SkFrameStore;
class SkFrameTask;
class SkLiveSession;
class SkParameterFiles;
class SkParameterWidgets;
class SkRecordingController;
class SkTimeScaleDraw;
class SkTimezoneAction;
class SkUpdateThrottle;

namespace Ui {
class SkMainWindow;
}

class SkMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Evaluates the application's arguments (without the program name).
    explicit SkMainWindow(QWidget *parent = nullptr);
    // Evaluates `args` instead, as if given on the command line.
    explicit SkMainWindow(const QStringList &args, QWidget *parent = nullptr);
    ~SkMainWindow() override;

    const SkCommandLine &commandLine() const { return m_commandLine; }
    QStringList sources() const { return m_sources; }
    bool isStreamMode() const { return m_streamMode; }
    int batchSizeFiles() const { return m_batchSizeFiles; }
    int batchSizeStream() const { return m_batchSizeStream; }
    int maxFrames() const { return m_maxFrames; }
    SkLiveSession *session() const { return m_session.get(); }
    SkFrameStore *store() const;
    SkViewController *view() const { return m_view; }

    // The frame the slider names (what the window shows once its jobs have run).
    int shownFrame() const;
    // The frame drawn last (-1 before the first), and whether a drawing is still on its way.
    int drawnFrame() const { return m_view->drawnFrame(); }
    bool isPlotSettled() const;

    // For the command line's grab options and the screenshots; the numbers are those of the
    // command line (the item data of the view boxes).
    void showFrame(int frameno);
    void setShowHow(int showHow);
    void setShowWhat(int packetType);
    void setColourScaleTop(double zMax);
    void setPeakShift(int columns);
    void setMarkerRangegate(int rangegate);
    void setMarkerChannel(int channel);
    void raiseDock(const QString &name);
    // "Play/Pause" switched as the user switches it.
    void setPlaying(bool playing);
    // Serves a deferred plot update at once.
    void flushPlotUpdate();

public slots:
    void onLanguageChanged(const QString &lang);
    void logEvent(int frameno, const RuAlarmEvent &event);
    void onAlarmCalculated(int frameno, const SkAlarmResultSharedPtr &result,
                           const QVector<RuAlarmEvent> &events);

signals:
    void alarmStatusChanged(int framNo, bool state);
    // A view has been drawn for `frameno` (the spectrogram and both profiles).
    void frameDrawn(int frameno);
    // Every requested drawing has been done.
    void plotSettled();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private slots:
    // Opening
    void on_openFileAction_triggered();
    void on_openFilesAction_triggered();
    void on_openStreamAction_triggered();
    void onRecentFileActionTriggered();
    void onRecentFilesChanged();
    void on_reopenAction_triggered();
    void on_quitAction_triggered();
    void on_actionAbout_Skarnel_triggered();
    void on_actionOptions_triggered();
    void on_actionOpen_CMD_Port_triggered();
    void on_preferencesAction_triggered();
    void onTaskFinished(const SkFrameTask *task, int status, const QString &message);
    void onFramesDropped(int nFrames);
    void onShowLegendToggled(bool value);

    // Navigation and views
    void on_playAction_triggered(bool checked);
    void on_firstFrameAction_triggered(bool checked);
    void on_nextBatchAction_triggered();
    void onNextBatchAvailable();
    void on_nextFrameAction_triggered();
    void on_prevFrameAction_triggered();
    void on_nextFrame20Action_triggered();
    void on_prevFrame20Action_triggered();
    void on_progressSlider_sliderMoved(double);
    void on_progressSlider_valueChanged(double pos);
    void on_plotActivity_markerPosChanged(QPointF pos);
    void on_showWhatComboBox_currentIndexChanged(int index);
    void on_showHowComboBox_currentIndexChanged(int index);
    void on_peakShiftComboBox_currentIndexChanged(int index);
    void on_extractRowSpinBox_valueChanged(int v);
    void on_extractColumnSpinBox_valueChanged(int v);
    void on_plotCenter_markerPosChanged(QPointF pos);
    void on_plotCenter_currentPosChanged(QPoint pos, double value);
    void on_plotThresholdSlider_valueChanged(double v);
    void on_plotThresholdDoubleSpinBox_valueChanged(double v);
    void on_plotThresholdSliderPALeft_valueChanged(double v);
    void on_plotThresholdDoubleSpinBoxPALeft_valueChanged(double v);
    void on_plotThresholdSliderPARight_valueChanged(double v);
    void on_plotThresholdDoubleSpinBoxPARight_valueChanged(double v);
    void on_doubleSpinBoxPARightStart_valueChanged(double v);
    void on_rgSumChBeginSpinBox_valueChanged(int);
    void on_rgSumChLastSpinBox_valueChanged(int);
    void on_liveShowWhatComboBox_currentIndexChanged(int);
    void onTimezoneOffsetChanged();
    void onDataRangeChanged(int startframe, int len);
    void onAlarmRangeChanged(int startframe, int len);
    void onValueExtracted(const QVector<double> &plotData, int width, int plotWidth,
                          int plotHeight, const SkPacket &packet, const SkPacket &packetPrev);
    void onInfoExtracted(SkActivityPlotId plotid, const QVector<QPointF> &liveData);
    void onRgSumExtracted(const QVector<QPointF> &rgSumPoints);
    void scheduleUpdatePlot();

    // Alarm results and parameters
    void onAlarmRestarting(int firstFrame);
    void on_recalcPushButton_clicked();
    void on_readPPPushButton_clicked();
    void onLiveParamChanged();
    void onProcessParametersMissing(const QString &message);

private:
    void construct(const QStringList &args);
    void checkLabelToolTips();
    void setDockTitles();
    void setupStatusBar();
    void setupDisplayMenu();
    void setupRecentFiles();
    void setupSliders();
    void setupPlots();
    void setupComboBoxes();
    void connectSignals();
    void readSettings();
    void applyCommandLine();

    void openSources(const QStringList &sources, bool stream);
    void connectView();
    void updatePlot(const QVector<double> &plotData, int width, int plotWidth, int plotHeight,
                    const SkPacket &packet, const SkPacket &packetPrev);
    void drawProfiles(const QVector<double> &plotData, int width, int rows);
    void showProfileSpans(const QRectF &visible);
    void updateInfo(const SkPacket &packet, const SkPacket &packetPrev);
    void showAlarmProgress(int analysedEnd);
    void setSliderValue(double value);
    void stepFrames(int delta);
    void applyMarker(QPointF pos);
    void applyPosition(int rangegate, int channel);
    void applyShowHow(SkViewController::ShowHow how);
    void setLiveRangegate(int rangegate);

    // The status bar: a message for `timeoutMs` (0: until the next one); a failure also in a
    // box, so that a long text can be read whole.
    void showMessage(const QString &text, int timeoutMs);
    void showFailure(const QString &text);

    void restartAlarmComputation();
    // The radar's settings taken (--process-params, "PP"): the dock shows them.
    void onProcessParametersTaken(const RuAlarmCalculator &calculator);
    // The dock's settings with the live values on: the radar's are taken on top of them.
    RuAlarmCalculator processParameterBase() const;

    std::unique_ptr<Ui::SkMainWindow> ui;
    SkDialogOpenFile *m_openFileDialog = nullptr;   // child of the window
    SkDialogConfigure *m_configureDialog = nullptr; // child of the window
    SkDialogAbout *m_aboutDialog = nullptr;         // child of the window
    SkDialogContrl *m_console = nullptr;            // child of the window
    std::unique_ptr<SkLiveSession> m_session;       // owns the frame store and the tasks
    SkViewController *m_view = nullptr;             // child; its jobs end before the session
    std::unique_ptr<SkRecordingController> m_recording;
    std::unique_ptr<SkExportService> m_exports;
    SkUpdateThrottle *m_activityReplot = nullptr;   // child
    SkLoadProgress m_loadProgress;
    QMessageBox *m_failureBox = nullptr;            // child, made at the first failure
    std::unique_ptr<SkParameterWidgets> m_params;
    SkTimezoneAction *m_timezoneAction = nullptr;   // deleted in the destructor
    QAction *m_showLegendAction = nullptr;          // child
    QList<QAction *> m_recentFileActions;           // children of the "Open Recent" menu
    QProgressBar *m_saveProgress = nullptr;         // status bar widgets
    QLabel *m_cursorLabel = nullptr;
    QProgressBar *m_alarmProgress = nullptr;
    QwtPlotCurve *m_leftProfile = nullptr;          // attached to their plots, which own them
    QwtPlotCurve *m_bottomProfile = nullptr;
    QwtPlotCurve *m_liveCurve = nullptr;
    QwtPlotCurve *m_rgSumCurve = nullptr;
    QTranslator *m_translator = nullptr;            // child

    SkCommandLine m_commandLine;
    QStringList m_sources;
    bool m_streamMode = false;
    int m_batchSizeFiles = 500;
    int m_batchSizeStream = 1;
    int m_maxFrames = 1000;
    int m_dataStart = 0;
    int m_dataLength = 0;
    QMap<SkActivityPlotId, double> m_liveMaxima;

    std::mutex m_activityMutex;          // feeding and clearing the activity plot

    // ---- Settings, parameter files, options and language (SkMainWindowSettings.cpp) ----
public:
    SkDialogConfigure *configureDialog() const { return m_configureDialog; }
    // Whether plot exports write their header rows ("writeXLSHeader").
    bool writeXlsHeader() const { return m_writeXlsHeader; }
    // What the parameter actions do once a file has been chosen; failures are shown in the
    // status bar with the path and the reason.
    bool exportParameters(const QString &path);
    bool importParameters(const QString &path);
    // The INI text "Export Params to Clipboard" puts on the clipboard ("" on failure).
    QString parametersIniText();

private slots:
    void on_actionSave_Parameters_triggered();
    void on_actionLoad_Parameters_triggered();
    void on_menuLast_Parameters_triggered(QAction *action);
    void on_actionDelete_Parameters_entries_triggered();
    void on_actionExport_Parameters_to_Clipboard_triggered();

private:
    void firstStartLayout();
    void readWindowSettings(const QSettings &settings);
    void writeSettings();
    void addRecentParameterFile(qint64 timeMs, const QString &path);
    void showParameterWarnings(const QString &text, const QStringList &warnings);
    // Texts this window sets in code follow a language switch like the form's.
    void rememberCodeTexts();
    void retranslateCodeTexts();
    void rememberSpectrogramTitles();

    SkParameterFiles *m_parameterFiles = nullptr; // child; owns the recent entries' actions
    bool m_writeXlsHeader = true;
    QVector<std::function<void()>> m_retranslations;

    // ---- Operations: the alarm script, recording, saving frames, exports, the snapshot
    // (SkMainWindowOperations.cpp) ------------------------------------------------------------
public slots:
    // Also the options dialog's "Test" button.
    void onRunAlarmScriptRequested();
    // Exports activity curve `source` (an SkActivityPlotId) to a spreadsheet.
    void exportPlot(int source);

private slots:
    void on_actionRecordStart_triggered();
    void on_actionSave_frames_triggered();
    void on_exportRowAction_triggered();
    void on_snapShotAction_triggered();
    void on_plotActivity_customContextMenuRequested(const QPoint &pos);

private:
    void setupOperations();
    void onExportBusy(bool busy);

    // ---- The display: colour scales, channels, freezing, the readout and the alarm log
    // (SkMainWindowViews.cpp, SkMainWindowDrawing.cpp, SkMainWindowAlarms.cpp) ---------------
public:
    SkAlarmLogModel *alarmLog() const { return m_log; }
    // A paused stream: the session reads, analyses and records on, the display stands still.
    bool isDisplayFrozen() const;

private:
    void setupLog();
    void showLoggedFrame(int frameno);
    void applyColourScale(double top, bool automatic);
    void onColorLevelsChanged(double low, double high);
    void updateChannelAxes();
    void showCursorReading();
    // A new open: a stream is followed from its first frame on.
    void prepareViewsForOpen();
    // After a language switch, the texts made from data.
    void retranslateViews();

    SkAlarmLogModel *m_log = nullptr; // child
    // The spectrogram cell under the mouse (plot coordinates), for the readout of each frame
    // drawn; none before the mouse has been over the picture.
    QPoint m_cursorCell;
    bool m_hasCursorCell = false;

    // ---- Units of the axes and the colour map (SkMainWindowAxes.cpp) ------------------------
public:
    SkAxisUnits *axisUnits() const { return m_axisUnits; }

private:
    void setupAxisUnits();
    void readAxisSettings(const QSettings &settings);
    void writeAxisSettings(QSettings &settings) const;
    void applyAxisUnits();
    void showVelocityScaleOf(const SkPacket &packet);
    void updateProfileChannelAxis();
    void updateSpectrogramTitles();
    QString timeAxisTitle() const;
    SkTimeScaleDraw *frameScaleDraw(int firstFrame, const QVector<qint64> &times) const;
    void updateFrameAxis();
    void updateViewTimeAxes();
    void followFrameTimes(int startframe, int len);

    SkAxisUnits *m_axisUnits = nullptr; // child
    SkFrameTimes m_frameTimes;
    QStringList m_spectrogramTitles;    // as last set (x, y)
    bool m_frameAxisStale = false;      // the slider's labels lag the times held

    // ---- The activity plot: feeding it, its axis controls, the slider below it
    // (SkMainWindowActivity.cpp) -----------------------------------------------------------------
private:
    void setupActivityPlot();
    void feedActivityPlot(int frameno, const SkAlarmResultSharedPtr &result,
                          const QVector<RuAlarmEvent> &events);
    void clearActivityPlot();

    SkActivityControls *m_activityControls = nullptr; // child

    // ---- Go To: a frame by number or time (SkMainWindowGoTo.cpp) ---------------------------
private:
    void setupGoTo();
    void goToFrame();
    QDate shownDay(int offsetHours) const;

    QString m_goToText; // typed last, offered again
};
