#include "SkDialogConfigure.h"
#include "ui_SkDialogConfigure.h"

#include "SkRecordFolder.h"

#include <QComboBox>
#include <QDataStream>
#include <QEvent>
#include <QFileDialog>
#include <QIODevice>
#include <QSignalBlocker>

namespace {

constexpr qint32 StateMagic = 52942;
constexpr qint32 StateVersion = 1;
// Fixed so that a blob written by one Qt version reads in another.
constexpr QDataStream::Version StreamVersion = QDataStream::Qt_5_15;

const char *const ErrorStyle = "background-color: rgb(239, 41, 41);";

// The fields of the blob after magic and version, in stream order.
struct ConfigureState
{
    qint32 colorMode = 0;
    qint32 parameterFileList = 0;
    qint32 languageIndex = 0;
    QString recordPath;
    bool recordImport = false;
    bool recordSubfolder = false;
    qint32 recordMaxFiles = 0;
    qint8 recordPreserveDiskSpace = 0;
    QString alarmScript;
};

bool inRange(qint64 value, qint64 min, qint64 max)
{
    return value >= min && value <= max;
}

} // namespace

SkDialogConfigure::SkDialogConfigure(QWidget *parent)
    : QDialog(parent), ui(new Ui::SkDialogConfigure)
{
    ui->setupUi(this);
    {
        const QSignalBlocker blocker(ui->comboBoxLanguage);
        ui->comboBoxLanguage->addItems(languages());
    }
    ui->colorMapMode->setCurrentIndex(m_colorMode);
    fillColorSchemes();
    connect(ui->colorSchemeComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { emit colorSchemeChanged(colorScheme()); });
    // The dialog knows its window only as a QWidget (dialogs sit below the window).
    if (parent
        && parent->metaObject()->indexOfSlot("onRunAlarmScriptRequested()") >= 0) {
        connect(ui->pushButtonTestAlarmScript, SIGNAL(clicked()), parent,
                SLOT(onRunAlarmScriptRequested()));
    }
}

SkDialogConfigure::~SkDialogConfigure() = default;

QStringList SkDialogConfigure::languages()
{
    return {QStringLiteral("English"), QStringLiteral("Deutsch")};
}

QString SkDialogConfigure::language() const
{
    return ui->comboBoxLanguage->currentText();
}

void SkDialogConfigure::setLanguage(const QString &language)
{
    const int index = languages().indexOf(language);
    if (index >= 0)
        ui->comboBoxLanguage->setCurrentIndex(index);
}

QwtLinearColorMap::Mode SkDialogConfigure::colorMode() const
{
    return m_colorMode;
}

SkColorScheme::Id SkDialogConfigure::colorScheme() const
{
    return SkColorScheme::Id(ui->colorSchemeComboBox->currentData().toInt());
}

void SkDialogConfigure::setColorScheme(SkColorScheme::Id scheme)
{
    const int index = ui->colorSchemeComboBox->findData(int(scheme));
    if (index >= 0)
        ui->colorSchemeComboBox->setCurrentIndex(index);
}

// The names follow the language; the choice stays.
void SkDialogConfigure::fillColorSchemes()
{
    const QSignalBlocker blocker(ui->colorSchemeComboBox);
    const int chosen = ui->colorSchemeComboBox->currentIndex();
    ui->colorSchemeComboBox->clear();
    for (SkColorScheme::Id id : SkColorScheme::all())
        ui->colorSchemeComboBox->addItem(SkColorScheme::name(id), int(id));
    ui->colorSchemeComboBox->setCurrentIndex(qMax(0, chosen));
}

int SkDialogConfigure::parameterFileListSize() const
{
    return ui->spinBoxGpFileList->value();
}

QString SkDialogConfigure::alarmScriptPath() const
{
    return ui->lineEditTriggerAlarm->text();
}

QString SkDialogConfigure::recordPath() const
{
    return ui->lineEditRecPath->text();
}

void SkDialogConfigure::setRecordPath(const QString &path)
{
    ui->lineEditRecPath->setText(path);
    checkRecordPath();
}

bool SkDialogConfigure::recordImportOldFiles() const
{
    return ui->checkBoxRecImport->isChecked();
}

bool SkDialogConfigure::recordSubfolder() const
{
    return ui->checkBoxRecSubfolder->isChecked();
}

int SkDialogConfigure::recordMaxFiles() const
{
    return ui->spinBoxRecMaxFiles->value();
}

int SkDialogConfigure::recordPreserveDiskSpacePercent() const
{
    return ui->spinBoxRecPreserveDiskSpace->value();
}

QByteArray SkDialogConfigure::saveState() const
{
    QByteArray state;
    QDataStream out(&state, QIODevice::WriteOnly);
    out.setVersion(StreamVersion);
    out << StateMagic << StateVersion << qint32(m_colorMode)
        << qint32(ui->spinBoxGpFileList->value()) << qint32(ui->comboBoxLanguage->currentIndex())
        << ui->lineEditRecPath->text() << ui->checkBoxRecImport->isChecked()
        << ui->checkBoxRecSubfolder->isChecked() << qint32(ui->spinBoxRecMaxFiles->value())
        << qint8(ui->spinBoxRecPreserveDiskSpace->value()) << ui->lineEditTriggerAlarm->text();
    return state;
}

bool SkDialogConfigure::restoreState(const QByteArray &state)
{
    QDataStream in(state);
    in.setVersion(StreamVersion);
    qint32 magic = 0;
    qint32 version = 0;
    ConfigureState s;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != StateMagic || version != StateVersion)
        return false;
    in >> s.colorMode >> s.parameterFileList >> s.languageIndex >> s.recordPath
        >> s.recordImport >> s.recordSubfolder >> s.recordMaxFiles >> s.recordPreserveDiskSpace
        >> s.alarmScript;
    // Read everything before touching a widget, so that a damaged blob leaves no half state.
    if (in.status() != QDataStream::Ok || !inRange(s.colorMode, 0, 1)
        || !inRange(s.parameterFileList, 0, ui->spinBoxGpFileList->maximum())
        || !inRange(s.languageIndex, 0, ui->comboBoxLanguage->count() - 1)
        || !inRange(s.recordMaxFiles, 0, ui->spinBoxRecMaxFiles->maximum())
        || !inRange(s.recordPreserveDiskSpace, ui->spinBoxRecPreserveDiskSpace->minimum(),
                    ui->spinBoxRecPreserveDiskSpace->maximum()))
        return false;

    setColorMode(QwtLinearColorMap::Mode(s.colorMode));
    if (s.parameterFileList != 0)
        ui->spinBoxGpFileList->setValue(s.parameterFileList);
    ui->comboBoxLanguage->setCurrentIndex(s.languageIndex);
    ui->lineEditRecPath->setText(s.recordPath);
    checkRecordPath();
    ui->checkBoxRecImport->setChecked(s.recordImport);
    ui->checkBoxRecSubfolder->setChecked(s.recordSubfolder);
    ui->spinBoxRecMaxFiles->setValue(s.recordMaxFiles);
    ui->spinBoxRecPreserveDiskSpace->setValue(s.recordPreserveDiskSpace);
    ui->lineEditTriggerAlarm->setText(s.alarmScript);
    return true;
}

// An empty path is not an error: recording then uses its default folder.
bool SkDialogConfigure::checkRecordPath()
{
    const SkRecordFolder folder(ui->lineEditRecPath->text());
    const SkRecordFolder::Status status = folder.status();
    if (status == SkRecordFolder::NotSet) {
        ui->lineEditRecPath->setStyleSheet(QString());
        return false;
    }
    if (status != SkRecordFolder::Usable) {
        ui->lineEditRecPath->setStyleSheet(QLatin1String(ErrorStyle));
        ui->label_usednow->clear();
        return false;
    }
    ui->lineEditRecPath->setStyleSheet(QString());
    const SkRecordFolder::FreeSpace space = folder.freeSpace();
    if (space.isKnown()) {
        ui->label_usednow->setText(tr("Currently available: %1% of %2TiB")
                                       .arg(space.percent, 0, 'f', 1)
                                       .arg(space.totalTiB, 0, 'f', 2));
    }
    return true;
}

void SkDialogConfigure::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        fillColorSchemes();
        checkRecordPath();
    }
    QDialog::changeEvent(event);
}

void SkDialogConfigure::on_comboBoxLanguage_currentTextChanged(const QString &language)
{
    emit languageChanged(language);
}

void SkDialogConfigure::on_colorMapMode_currentIndexChanged(int index)
{
    if (index == 0)
        m_colorMode = QwtLinearColorMap::FixedColors;
    else if (index == 1)
        m_colorMode = QwtLinearColorMap::ScaledColors;
    emit updateColorMode(m_colorMode);
}

void SkDialogConfigure::on_lineEditRecPath_textEdited(const QString &)
{
    checkRecordPath();
}

void SkDialogConfigure::on_toolButtonPathRec_clicked()
{
    const QString path = QFileDialog::getExistingDirectory(
        this, tr("recording data path"), ui->lineEditRecPath->text(),
        QFileDialog::ShowDirsOnly);
    if (!path.isEmpty())
        setRecordPath(path);
}

// Shows `mode` in the colour box and hands it out once, whether or not the box moved.
void SkDialogConfigure::setColorMode(QwtLinearColorMap::Mode mode)
{
    m_colorMode = mode;
    {
        const QSignalBlocker blocker(ui->colorMapMode);
        ui->colorMapMode->setCurrentIndex(mode);
    }
    emit updateColorMode(mode);
}
