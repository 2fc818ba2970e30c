#include "SkDialogOpenStream.h"
#include "ui_SkDialogOpenStream.h"

#include <QRegularExpression>

SkDialogOpenStream::SkDialogOpenStream(int maxSize, int batchSize, QWidget *parent)
    : QDialog(parent), ui(new Ui::SkDialogOpenStream)
{
    ui->setupUi(this);
    ui->maxSizeSpinBox->setValue(maxSize);
    ui->batchSizeSpinBox->setValue(batchSize);
}

SkDialogOpenStream::~SkDialogOpenStream() = default;

void SkDialogOpenStream::setStreamAddress(const QString &address)
{
    const int colon = address.indexOf(QLatin1Char(':'));
    ui->streamAddressComboBox->insertItem(0, address.left(colon));
    ui->streamAddressComboBox->setCurrentIndex(0);
    if (colon < 0)
        return;
    ui->portComboBox->insertItem(0, address.mid(colon + 1));
    ui->portComboBox->setCurrentIndex(0);
}

QString SkDialogOpenStream::streamAddress() const
{
    static const QRegularExpression dottedQuad(
        QStringLiteral("(\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})"));
    const QString text = ui->streamAddressComboBox->currentText().trimmed();
    const QRegularExpressionMatch match = dottedQuad.match(text);
    const QString host = match.hasMatch() ? match.captured(1) : text;
    return QStringLiteral("%1:%2").arg(host, ui->portComboBox->currentText().trimmed());
}

int SkDialogOpenStream::maxSize() const
{
    return ui->maxSizeSpinBox->value();
}

int SkDialogOpenStream::batchSize() const
{
    return ui->batchSizeSpinBox->value();
}
