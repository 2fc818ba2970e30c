#include "CsvMatrixSink.h"

#include <charconv>

namespace {

QByteArray headerLine()
{
    QByteArray line = "frame,time_us,rangegate";
    for (int c = 0; c < RuMatrix::ColsAtCompileTime; ++c)
        line += ",c" + QByteArray::number(c);
    return line + '\n';
}

// Appends `value` at `end`, which must leave room for the longest float text (15 bytes).
template <typename T>
char *put(char *end, T value)
{
    return std::to_chars(end, end + 24, value).ptr;
}

} // namespace

CsvMatrixSink::CsvMatrixSink(const QString &path) : m_out(path) {}

bool CsvMatrixSink::write(const QByteArray &bytes)
{
    return m_out.write(bytes.constData(), bytes.size()) || fail(m_out.errorString());
}

bool CsvMatrixSink::open()
{
    return (m_out.open() || fail(m_out.errorString())) && write(headerLine());
}

bool CsvMatrixSink::add(qint64 frame, qint64 timeMicros, const RuMatrix &matrix)
{
    // Three 20-digit integers and 1024 floats of at most 15 characters, with separators.
    m_line.resize(3 * 21 + RuMatrix::ColsAtCompileTime * 24 + 1);
    for (Eigen::Index r = 0; r < matrix.rows(); ++r) {
        char *end = m_line.data();
        end = put(end, frame);
        *end++ = ',';
        end = put(end, timeMicros);
        *end++ = ',';
        end = put(end, qint64(r));
        for (float value : matrix.row(r)) {
            *end++ = ',';
            end = put(end, value);
        }
        *end++ = '\n';
        if (!write(QByteArray::fromRawData(m_line.constData(), int(end - m_line.constData()))))
            return false;
    }
    return true;
}

bool CsvMatrixSink::commit()
{
    return m_out.commit() || fail(m_out.errorString());
}
