#pragma once
// A small tmpfs mounted for the life of the object (needs the right to mount), to meet a
// full disk in the middle of a write.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

struct SmallDisk
{
    QString path;
    bool mounted = false;
    QString why;

    SmallDisk(const QString &at, const QString &size) : path(at)
    {
        QDir().mkpath(path);
        QProcess mount;
        mount.start(QStringLiteral("mount"),
                    {"-t", "tmpfs", "-o", "size=" + size, "tmpfs", path});
        mounted = mount.waitForFinished(60000) && mount.exitStatus() == QProcess::NormalExit
                  && mount.exitCode() == 0;
        why = QString::fromLocal8Bit(mount.readAllStandardError()).trimmed();
    }
    ~SmallDisk()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {path});
    }
    // Fills the disk with one file; false when it did not fill up.
    bool fill(const QString &filler)
    {
        QFile file(filler);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(4096, 'x');
        while (file.write(block) == block.size() && file.flush()) {
        }
        return true;
    }
};
