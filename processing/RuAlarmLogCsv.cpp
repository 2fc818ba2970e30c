#include "RuAlarmLogCsv.h"

#include <QDateTime>

QByteArray ruCsvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n')
        && !bytes.contains('\r'))
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

QByteArray ruAlarmLogCsvHeader(bool withTime)
{
    return withTime ? QByteArrayLiteral("frame,time,event,details\n")
                    : QByteArrayLiteral("frame,event,details\n");
}

// Rounded down, also before 1970, as the viewer's time column shows it.
QByteArray ruAlarmLogCsvTime(qint64 timeMicros)
{
    const qint64 ms = timeMicros >= 0 ? timeMicros / 1000 : -((-timeMicros + 999) / 1000);
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1();
}

QByteArray ruAlarmLogCsvRow(qint64 frame, const QByteArray *time, const QString &tag,
                            const QString &detail)
{
    QByteArray row = QByteArray::number(frame) + ',';
    if (time)
        row += *time + ',';
    return row + ruCsvField(tag) + ',' + ruCsvField(detail) + '\n';
}
