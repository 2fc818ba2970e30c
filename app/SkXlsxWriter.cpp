#include "SkXlsxWriter.h"

#include <QLocale>
#include <QObject>

#include <xlsxwriter.h>

SkXlsxWriter::SkXlsxWriter(const QString &path) : m_path(path)
{
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    const QByteArray name = path.toUtf8();
    m_workbook = workbook_new_opt(name.constData(), &options);
    if (!m_workbook) {
        m_error = QObject::tr("cannot create the workbook");
        return;
    }
    m_sheet = workbook_add_worksheet(m_workbook, nullptr);
    m_dateFormat = workbook_add_format(m_workbook);
    format_set_num_format(m_dateFormat, "dd/mm/yyyy hh:mm:ss.000");
}

SkXlsxWriter::~SkXlsxWriter()
{
    close();
}

void SkXlsxWriter::writeNumber(int row, int column, double value)
{
    if (m_sheet)
        worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(column), value, nullptr);
}

void SkXlsxWriter::writeString(int row, int column, const QString &text)
{
    if (m_sheet)
        worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(column), text.toUtf8().constData(),
                               nullptr);
}

void SkXlsxWriter::writeDateTime(int row, int column, const QDateTime &time)
{
    if (!m_sheet)
        return;
    const QDateTime utc = time.toUTC();
    const QDate date = utc.date();
    const QTime clock = utc.time();
    lxw_datetime value = {date.year(), date.month(), date.day(), clock.hour(), clock.minute(),
                          clock.second() + clock.msec() / 1000.0};
    worksheet_write_datetime(m_sheet, lxw_row_t(row), lxw_col_t(column), &value, m_dateFormat);
}

bool SkXlsxWriter::close()
{
    if (!m_workbook)
        return m_error.isEmpty();
    const lxw_error result = workbook_close(m_workbook);
    m_workbook = nullptr;
    m_sheet = nullptr;
    if (result != LXW_NO_ERROR)
        m_error = QString::fromUtf8(lxw_strerror(result));
    return m_error.isEmpty();
}

QString SkXlsxWriter::dateText(const QDateTime &time)
{
    return QLocale::c().toString(time.toUTC(), QStringLiteral("dd.MM.yyyy hh.mm.ss.zzz"));
}
