#include "NpzMatrixSink.h"

#include "NpzWriter.h"

#include <QDir>

namespace {

QByteArray bytesOf(const QVector<qint64> &values)
{
    return QByteArray(reinterpret_cast<const char *>(values.constData()),
                      int(values.size() * sizeof(qint64)));
}

} // namespace

NpzMatrixSink::NpzMatrixSink(const QString &path) : m_out(path) {}

bool NpzMatrixSink::open()
{
    if (!m_out.open())
        return fail(m_out.errorString());
    // Beside a file output, not in /tmp: same disk, and /tmp may be small or in memory.
    m_spool.setFileTemplate(QDir(m_out.temporaryFolder()).filePath(QStringLiteral(".rrdcli-export-XXXXXX")));
    // Unbuffered, so that a write that fails half-way names its cause.
    if (!static_cast<QFile &>(m_spool).open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return fail(QStringLiteral("cannot make a temporary file in %1: %2")
                        .arg(m_out.temporaryFolder(), m_spool.errorString()));
    return true;
}

bool NpzMatrixSink::add(qint64 frame, qint64 timeMicros, const RuMatrix &matrix)
{
    if (m_rows < 0)
        m_rows = matrix.rows();
    if (matrix.rows() != m_rows)
        return fail(QStringLiteral("frame %1 has %2 range gates where the frames before it have "
                                   "%3; an .npz array holds one shape (export the parts "
                                   "separately with --frames, or use --format csv)")
                        .arg(frame)
                        .arg(matrix.rows())
                        .arg(m_rows));
    const qint64 bytes = qint64(matrix.size()) * qint64(sizeof(float));
    if (!OutputDevice::writeFully(&m_spool, reinterpret_cast<const char *>(matrix.data()), bytes))
        return fail(QStringLiteral("cannot write the temporary file %1: %2")
                        .arg(m_spool.fileName(), m_spool.errorString()));
    m_frames.append(frame);
    m_times.append(timeMicros);
    return true;
}

bool NpzMatrixSink::commit()
{
    const qint64 frames = m_frames.size();
    if (!m_spool.flush() || !m_spool.seek(0))
        return fail(QStringLiteral("cannot read back the temporary file %1: %2")
                        .arg(m_spool.fileName(), m_spool.errorString()));
    NpzWriter npz(m_out.device());
    const bool written =
        npz.addArray(QStringLiteral("data"), NpzWriter::float32Descr(),
                     {frames, qMax<qint64>(m_rows, 0), 1024}, &m_spool)
        && npz.addArray(QStringLiteral("frame"), NpzWriter::int64Descr(), {frames}, bytesOf(m_frames))
        && npz.addArray(QStringLiteral("time_us"), NpzWriter::int64Descr(), {frames}, bytesOf(m_times))
        && npz.close();
    if (!written)
        return fail(QStringLiteral("cannot write %1: %2").arg(m_out.name(), npz.errorString()));
    return m_out.commit() || fail(m_out.errorString());
}
