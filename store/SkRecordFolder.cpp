#include "SkRecordFolder.h"

#include "rrd.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

SkRecordFolder::SkRecordFolder(const QString &path) : m_path(path) {}

QString SkRecordFolder::absolutePath() const
{
    return m_path.isEmpty() ? QString() : QFileInfo(m_path).absoluteFilePath();
}

SkRecordFolder::Status SkRecordFolder::status() const
{
    if (m_path.isEmpty())
        return NotSet;
    const QFileInfo info(m_path);
    if (!info.exists())
        return Missing;
    if (!info.isDir())
        return NotAFolder;
    return info.isWritable() ? Usable : NotWritable;
}

SkRecordFolder::FreeSpace SkRecordFolder::freeSpace() const
{
    FreeSpace space;
    if (m_path.isEmpty())
        return space;
    uint64_t total = 0, totalFree = 0, available = 0;
    const QByteArray name = QFile::encodeName(absolutePath());
    if (rrd_disk_space(name.constData(), &total, &totalFree, &available) != 0 || total == 0)
        return space;
    space.percent = double(available) / double(total) * 100.0;
    space.totalTiB = double(total) / double(uint64_t(1) << 40);
    return space;
}

SkFrameTaskRecord::FileList SkRecordFolder::oldMinuteFiles(const ScanProgress &goOn) const
{
    SkFrameTaskRecord::FileList files;
    if (m_path.isEmpty())
        return files;
    QDirIterator it(m_path, {QStringLiteral("*.rrd0.gz")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QDateTime born = info.birthTime();
        files.append({born.isValid() ? born : info.lastModified(), info.absoluteFilePath()});
        if (goOn && files.size() % ScanBatch == 0 && !goOn(files.size()))
            return {};
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    return files;
}
