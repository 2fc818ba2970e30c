#include "SkLoadProgress.h"

#include "RuFile.h"
#include "RuFrame.h"
#include "rrd.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

// The size gzip keeps in its last four bytes (modulo 4 GiB), or -1.
qint64 gzipDataSize(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 18 || !file.seek(file.size() - 4))
        return -1;
    const QByteArray tail = file.read(4);
    if (tail.size() != 4)
        return -1;
    const auto byte = [&tail](int i) { return qint64(quint8(tail.at(i))); };
    const qint64 size = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
    // A size below the compressed one has wrapped: the file holds 4 GiB or more.
    return size >= file.size() ? size : -1;
}

bool isPlainGzip(const QString &path)
{
    return path.endsWith(QLatin1String(".gz")) && !path.endsWith(QLatin1String(".tar.gz"));
}

} // namespace

qint64 SkLoadProgress::framesIn(const QString &source)
{
    if (!QFileInfo(source).isFile())
        return -1;
    RuFile file;
    file.open(source, 'r');
    RuFrame first;
    if (!file.isOpen() || !file.readFrame(first))
        return -1;
    const qint32 counted = file.frameCount();
    if (counted > 0)
        return counted;
    const int frameSize = rrd_frame_size(uint32_t(file.format()), file.rangegates());
    if (!isPlainGzip(source) || frameSize <= 0)
        return -1;
    const qint64 bytes = gzipDataSize(source);
    return bytes < 0 ? -1 : bytes / frameSize;
}

void SkLoadProgress::start(const QStringList &sources, bool stream)
{
    m_stream = stream;
    m_complete = false;
    m_expected = stream ? -1 : 0;
    for (const QString &source : sources) {
        if (stream)
            break;
        const qint64 frames = framesIn(source);
        if (frames < 0) {
            m_expected = -1;
            break;
        }
        m_expected += frames;
    }
}

int SkLoadProgress::percent(int analysedEnd, int heldStart, int heldLength) const
{
    if (m_complete)
        return 100;
    int share = 0;
    if (m_expected > 0)
        share = int(qint64(analysedEnd) * 100 / m_expected);
    else if (heldLength > 0)
        share = int(std::lround((analysedEnd - heldStart) * 100.0 / heldLength));
    // More frames may come from files: they are not done yet.
    return std::clamp(share, 0, m_stream ? 100 : 99);
}
