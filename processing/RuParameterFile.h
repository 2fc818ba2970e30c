#pragma once
// Reading a parameter file (the INI file the viewer exports and rrdcli writes, sections
// params, av00, av01, av02, rain0, waterlevel0) for every front end that takes one: rrdcli's
// --params and the viewer's import. Nothing is dropped without a word: every key, section and
// value that cannot be used is named in a warning with what is used instead, and a file that
// is no parameter file at all (a data file, a binary, any other text) is not read.

#include "RuParameterSet.h"

#include <QString>
#include <QStringList>

class RuParameterFile
{
public:
    // Reads `path` over `base`: keys the file lacks and values it holds that cannot be used
    // keep the values of `base`.
    static RuParameterFile read(const QString &path, const RuParameterSet &base);

    // False when the file was not read at all; error() then says why, naming the file.
    bool isRead() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }
    // "PATH: ..." for every value that cannot be used (in the order of the key table), then
    // for every unknown section and key and every line that is no INI line; the file was
    // read all the same.
    const QStringList &warnings() const { return m_warnings; }
    // `base` with the file's usable values; `base` itself when the file was not read.
    const RuParameterSet &parameters() const { return m_parameters; }

private:
    RuParameterFile() = default;

    QString m_error;
    QStringList m_warnings;
    RuParameterSet m_parameters;
};
