#pragma once
// The converter's output as a file that appears whole or not at all: frames go to a
// temporary file in the output's folder, which replaces the output only once it is complete.
// An existing output survives every failure. Standard output ("-") and outputs that are not
// regular files (devices, pipes) cannot be replaced and are written in place.

#include "RuFile.h"

#include <QString>

class RcOutputFile
{
public:
    explicit RcOutputFile(const QString &path);
    // Removes a temporary file that was not committed.
    ~RcOutputFile();
    RcOutputFile(const RcOutputFile &) = delete;
    RcOutputFile &operator=(const RcOutputFile &) = delete;

    // Creates the temporary file and opens it for frames; false with the cause in `error`.
    bool open(QString *error);
    RuFile &file() { return m_file; }
    // Completes the frames written (the end of a gzip stream, the data on the disk) and puts
    // the file under the output's name; false with the cause in `error`, the output then
    // being left as it was.
    bool commit(QString *error);

    // True when both paths name the same file, whatever links lead there.
    static bool sameFile(const QString &a, const QString &b);

private:
    void discard();

    const QString m_path;
    QString m_target;    // where the output really is (a symbolic link's target)
    QString m_temporary; // empty when written in place
    RuFile m_file;
    bool m_committed = false;
};
