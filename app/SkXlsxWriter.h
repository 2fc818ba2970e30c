#pragma once
// A one-sheet workbook written with libxlsxwriter, row by row. The sheet is streamed to a
// temporary file as it is written (a row of 1026 cells for each of thousands of frames would
// otherwise stay in memory until the end), so rows must be written in ascending order.
//
// The file itself is only created by close(): its result tells whether the workbook exists.

#include <QDateTime>
#include <QString>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

class SkXlsxWriter
{
public:
    explicit SkXlsxWriter(const QString &path);
    // Closes the workbook if close() has not been called (its result is lost then).
    ~SkXlsxWriter();
    SkXlsxWriter(const SkXlsxWriter &) = delete;
    SkXlsxWriter &operator=(const SkXlsxWriter &) = delete;

    void writeNumber(int row, int column, double value);
    void writeString(int row, int column, const QString &text);
    // The time as a spreadsheet date with milliseconds, "dd/mm/yyyy hh:mm:ss.000", in UTC.
    void writeDateTime(int row, int column, const QDateTime &time);

    // Writes the file; false with errorString() when it could not be written.
    bool close();
    QString errorString() const { return m_error; }

    // "dd.MM.yyyy hh.mm.ss.zzz" in UTC, the same in every locale.
    static QString dateText(const QDateTime &time);

private:
    QString m_path;
    lxw_workbook *m_workbook = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_dateFormat = nullptr;
    QString m_error;
};
