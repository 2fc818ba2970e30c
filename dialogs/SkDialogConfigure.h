#pragma once
// The options dialog: language, size of the recent parameter-file list, colour mode and colour
// map of the spectrogram, the alarm script and the recording options. The main window keeps one for its
// whole lifetime, reads the values where it needs them and stores saveState() under
// "configureDialog" in its settings.
//
// Its "Test" button calls the parent's onRunAlarmScriptRequested() slot when the parent has
// one.

#include "SkColorScheme.h"

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>

#include <qwt_color_map.h>

#include <memory>

namespace Ui {
class SkDialogConfigure;
}

class SkDialogConfigure : public QDialog
{
    Q_OBJECT
public:
    explicit SkDialogConfigure(QWidget *parent = nullptr);
    ~SkDialogConfigure() override;

    // The blob of all options: magic, format version, then the fields in a fixed order.
    QByteArray saveState() const;
    // Applies a blob of saveState(). An empty, foreign, truncated or out-of-range blob
    // changes nothing and gives false.
    bool restoreState(const QByteArray &state);

    // The language names, in the order of the language box ("English", "Deutsch").
    static QStringList languages();
    QString language() const;
    // Selects one of languages(), which switches the program's language.
    void setLanguage(const QString &language);
    QwtLinearColorMap::Mode colorMode() const;
    // The spectrogram's colour map; the window keeps it in its settings.
    SkColorScheme::Id colorScheme() const;
    // Shows `scheme` and emits colorSchemeChanged when it differs from the one shown.
    void setColorScheme(SkColorScheme::Id scheme);
    int parameterFileListSize() const;
    QString alarmScriptPath() const;
    QString recordPath() const;
    // Recording fills in a default path when the field is empty.
    void setRecordPath(const QString &path);
    bool recordImportOldFiles() const;
    bool recordSubfolder() const;
    // 0 means unlimited.
    int recordMaxFiles() const;
    int recordPreserveDiskSpacePercent() const;

    // Colours the record path field by whether the folder is writable and shows its free
    // space; true when it is writable.
    bool checkRecordPath();

signals:
    void languageChanged(const QString &language);
    void updateColorMode(QwtLinearColorMap::Mode mode);
    void colorSchemeChanged(SkColorScheme::Id scheme);

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_comboBoxLanguage_currentTextChanged(const QString &language);
    void on_colorMapMode_currentIndexChanged(int index);
    void on_lineEditRecPath_textEdited(const QString &path);
    void on_toolButtonPathRec_clicked();

private:
    void setColorMode(QwtLinearColorMap::Mode mode);
    void fillColorSchemes();

    std::unique_ptr<Ui::SkDialogConfigure> ui;
    QwtLinearColorMap::Mode m_colorMode = QwtLinearColorMap::ScaledColors;
};
