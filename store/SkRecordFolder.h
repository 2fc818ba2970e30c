#pragma once
// The folder a recording goes to, checked the one way the viewer, its options dialog, the
// record task and `rrdcli watch` all need: is a folder set, does it exist and may we write
// into it, how much of its disk is free, and which minute files of earlier recordings lie
// below it. Each question looks at the file system when it is asked.

#include "SkFrameTaskRecord.h"

#include <QString>

#include <functional>

class SkRecordFolder
{
public:
    enum Status {
        NotSet,      // the path is empty
        Missing,     // nothing exists there
        NotAFolder,  // a file, not a folder
        NotWritable, // a folder we may not write into
        Usable
    };

    // The share of the disk free to this user; percent is -1 when the system cannot say.
    struct FreeSpace
    {
        double percent = -1;
        double totalTiB = 0;

        bool isKnown() const { return percent >= 0; }
        // Known and below `minPercent`; an unknown share never counts as short.
        bool isBelow(int minPercent) const { return isKnown() && percent < minPercent; }
    };

    // Called after every ScanBatch minute files found, with the number so far; false stops
    // the scan and drops what it found (the user chose not to wait).
    using ScanProgress = std::function<bool(int found)>;
    static constexpr int ScanBatch = 1000;

    explicit SkRecordFolder(const QString &path);

    // The path as given, and absolute (empty while not set).
    QString path() const { return m_path; }
    QString absolutePath() const;

    Status status() const;
    bool isUsable() const { return status() == Usable; }
    FreeSpace freeSpace() const;
    // The "*.rrd0.gz" files in the folder and every folder below it, oldest first (by birth
    // time where the file system keeps one, else by the last change).
    SkFrameTaskRecord::FileList oldMinuteFiles(const ScanProgress &goOn = {}) const;

private:
    QString m_path;
};
