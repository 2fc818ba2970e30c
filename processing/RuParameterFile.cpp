#include "RuParameterFile.h"

#include "RuNearestWord.h"
#include "RuParameterTable.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>

namespace {

// A parameter file holds a few kilobytes; anything much larger is something else, and is not
// worth reading whole to find that out.
constexpr qint64 LargestFile = 1 << 20;

// Of many slips of one kind the first are named and the rest counted: a file of thousands
// would bury the first under pages of warnings, and each suggestion of a key costs time.
constexpr int MostNamed = 20;

struct KnownKeys
{
    QStringList keys;
    QStringList sections;
};

KnownKeys knownKeys()
{
    KnownKeys known;
    for (const RuParameterTable::Key &key : RuParameterTable::keys()) {
        known.keys << key.key;
        const QString section = key.key.section(QLatin1Char('/'), 0, 0);
        if (!known.sections.contains(section))
            known.sections << section;
    }
    return known;
}

QString sectionOf(const QString &key)
{
    return key.contains(QLatin1Char('/')) ? key.section(QLatin1Char('/'), 0, 0)
                                          : QStringLiteral("General");
}

// Control characters other than line ends and tabs never appear in INI text; data files and
// compressed files are full of them.
bool isBinary(const QByteArray &bytes)
{
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f')
            return true;
    }
    return false;
}

QString sectionList(const QStringList &sections)
{
    QStringList bracketed;
    for (const QString &section : sections)
        bracketed << QLatin1Char('[') + section + QLatin1Char(']');
    return bracketed.join(QStringLiteral(", "));
}

// The bytes of `path`; else why it cannot be read as a parameter file at all.
QString load(const QString &path, QByteArray *bytes)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("cannot read parameter file %1: it does not exist").arg(path);
    if (info.isDir())
        return QStringLiteral("cannot read parameter file %1: it is a folder").arg(path);
    if (!info.isFile())
        return QStringLiteral("cannot read parameter file %1: it is not a regular file").arg(path);
    if (info.size() > LargestFile)
        return QStringLiteral("%1 is not a parameter file: it holds %2 bytes, more than a "
                              "parameter file ever does")
            .arg(path)
            .arg(info.size());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read parameter file %1: %2").arg(path, file.errorString());
    *bytes = file.read(LargestFile);
    // An editor's "Unicode": QSettings reads INI files as UTF-8 only.
    if (bytes->startsWith("\xff\xfe") || bytes->startsWith("\xfe\xff"))
        return QStringLiteral("%1 is not a parameter file as it is: it is UTF-16 text, save it "
                              "as UTF-8")
            .arg(path);
    if (isBinary(*bytes))
        return QStringLiteral("%1 is not a parameter file: it holds binary data, not INI text")
            .arg(path);
    return QString();
}

// Lines that are neither blank, a comment, a section nor a key=value: QSettings passes over
// them without a word.
QStringList strayLines(const QString &path, const QByteArray &bytes)
{
    QStringList warnings;
    int more = 0;
    const QList<QByteArray> lines = bytes.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QByteArray line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('[') || line.contains('='))
            continue;
        if (warnings.size() == MostNamed) {
            ++more;
            continue;
        }
        warnings << QStringLiteral("%1: line %2 is ignored (neither a [section] nor a key=value): %3")
                        .arg(path)
                        .arg(n + 1)
                        .arg(RuParameterTable::shown(QString::fromUtf8(line)));
    }
    if (more > 0)
        warnings << QStringLiteral("%1: %2 more such lines are ignored").arg(path).arg(more);
    return warnings;
}

QString unknownSection(const QString &path, const QString &section, const KnownKeys &known)
{
    QString text = QStringLiteral("%1: unknown section [%2], its keys are ignored")
                       .arg(path, RuParameterTable::shown(section));
    const QString guess = ruNearestWord(section, known.sections);
    if (!guess.isEmpty())
        text += QStringLiteral(" (did you mean [%1]?)").arg(guess);
    return text;
}

QString unknownKey(const QString &path, const QString &key, const KnownKeys &known)
{
    QString text = QStringLiteral("%1: unknown key %2 is ignored").arg(path, RuParameterTable::shown(key));
    const QString guess = ruNearestWord(key, known.keys);
    if (!guess.isEmpty())
        text += QStringLiteral(" (did you mean %1?)").arg(guess);
    return text;
}

// Sections and keys the engine does not know: a typing slip that would silently keep a
// default. Each unknown section is named once.
QStringList unknownKeys(const QString &path, const QStringList &keys, const KnownKeys &known)
{
    QStringList warnings;
    QSet<QString> sectionsSeen;
    int more = 0;
    for (const QString &key : keys) {
        if (known.keys.contains(key))
            continue;
        const QString section = sectionOf(key);
        const bool inKnownSection = key.contains(QLatin1Char('/')) && known.sections.contains(section);
        if (!inKnownSection && sectionsSeen.contains(section))
            continue;
        if (!inKnownSection)
            sectionsSeen.insert(section);
        if (warnings.size() == MostNamed)
            ++more;
        else
            warnings << (inKnownSection ? unknownKey(path, key, known)
                                        : unknownSection(path, section, known));
    }
    if (more > 0)
        warnings << QStringLiteral("%1: %2 more unknown sections and keys are ignored").arg(path).arg(more);
    return warnings;
}

bool anyKnownSection(const QStringList &keys, const KnownKeys &known)
{
    for (const QString &key : keys) {
        if (key.contains(QLatin1Char('/')) && known.sections.contains(sectionOf(key)))
            return true;
    }
    return false;
}

} // namespace

RuParameterFile RuParameterFile::read(const QString &path, const RuParameterSet &base)
{
    RuParameterFile file;
    file.m_parameters = base;
    QByteArray bytes;
    file.m_error = load(path, &bytes);
    if (!file.isRead())
        return file;
    const QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        file.m_error = QStringLiteral("%1 is not an INI parameter file").arg(path);
        return file;
    }
    const KnownKeys known = knownKeys();
    const QStringList keys = settings.allKeys();
    const QStringList stray = strayLines(path, bytes);
    if (keys.isEmpty() && stray.isEmpty()) {
        file.m_warnings << QStringLiteral("%1: holds no parameters, nothing is changed").arg(path);
        return file;
    }
    if (!anyKnownSection(keys, known)) {
        file.m_error = QStringLiteral("%1 is not a parameter file: it has none of the sections %2")
                           .arg(path, sectionList(known.sections));
        return file;
    }
    for (const QString &problem : RuParameterTable::read(settings, file.m_parameters))
        file.m_warnings << path + QStringLiteral(": ") + problem;
    file.m_warnings << unknownKeys(path, keys, known) << stray;
    return file;
}
