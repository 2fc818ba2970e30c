#include "SkParameterFiles.h"

#include "RuParameterFile.h"
#include "SkParameterWidgets.h"

#include <QAction>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QMenu>
#include <QSettings>

namespace {

// Paths longer than this are shown by their head and tail.
constexpr int LongPath = 100;
constexpr int HeadLength = 48;
constexpr int TailLength = 49;

} // namespace

SkParameterFiles::SkParameterFiles(QMenu *menu, QObject *parent) : QObject(parent), m_menu(menu)
{
}

bool SkParameterFiles::restore(const QByteArray &blob)
{
    clear();
    QMap<qint64, QString> entries;
    QDataStream in(blob);
    in >> entries;
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return false;
    m_entries = entries;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        addAction(it.key(), it.value());
    return true;
}

// The stream version is the default one: a map of qint64 and QString is laid out alike in
// every version since Qt 4.
QByteArray SkParameterFiles::save() const
{
    QByteArray blob;
    QDataStream out(&blob, QIODevice::WriteOnly);
    out << m_entries;
    return blob;
}

void SkParameterFiles::add(qint64 timeMs, const QString &path, int limit)
{
    const QList<qint64> keys = m_entries.keys();
    for (qint64 key : keys)
        if (m_entries.value(key) == path)
            remove(key);
    // Two uses within one millisecond must not overwrite each other's entry.
    if (!m_entries.isEmpty())
        timeMs = std::max(timeMs, m_entries.lastKey() + 1);
    m_entries.insert(timeMs, path);
    addAction(timeMs, path);
    while (m_entries.size() > std::max(limit, 0))
        remove(m_entries.firstKey());
}

// The action may be the one whose triggered signal is being served: it leaves the menu at
// once and is deleted later.
void SkParameterFiles::remove(qint64 key)
{
    if (QAction *action = actionOf(key)) {
        m_menu->removeAction(action);
        action->deleteLater();
    }
    m_entries.remove(key);
}

void SkParameterFiles::clear()
{
    const QList<QAction *> actions = m_menu->actions();
    for (QAction *action : actions) {
        if (action->data().isValid()) {
            m_menu->removeAction(action);
            action->deleteLater();
        }
    }
    m_entries.clear();
}

QString SkParameterFiles::menuText(const QString &path)
{
    if (path.size() <= LongPath)
        return path;
    return path.left(HeadLength) + QStringLiteral("...") + path.right(TailLength);
}

QAction *SkParameterFiles::actionOf(qint64 key) const
{
    const QList<QAction *> actions = m_menu->actions();
    for (QAction *action : actions)
        if (action->data().isValid() && action->data().toLongLong() == key)
            return action;
    return nullptr;
}

void SkParameterFiles::addAction(qint64 key, const QString &path)
{
    auto *action = new QAction(menuText(path), m_menu);
    action->setData(key);
    action->setToolTip(path);
    m_menu->addAction(action);
}

bool SkParameterFiles::write(const SkParameterWidgets &widgets, const QString &path,
                             QString *error)
{
    QSettings settings(path, QSettings::IniFormat);
    widgets.writeParameters(settings);
    settings.sync();
    *error = failure(settings);
    return error->isEmpty();
}

bool SkParameterFiles::read(const SkParameterWidgets &widgets, const QString &path,
                            QString *error, QStringList *warnings)
{
    const RuParameterFile file = RuParameterFile::read(path, widgets.parameterSet());
    *error = file.error();
    if (!file.isRead())
        return false;
    widgets.setParameterSet(file.parameters());
    *warnings = file.warnings();
    return true;
}

QString SkParameterFiles::failure(const QSettings &settings)
{
    switch (settings.status()) {
    case QSettings::NoError:
        return QString();
    case QSettings::FormatError:
        return tr("the file is not in INI format");
    case QSettings::AccessError:
        break;
    }
    const QFileInfo file(settings.fileName());
    const QFileInfo folder(file.absolutePath());
    // QSettings makes missing folders itself; it fails where a file stands in the way.
    if (folder.exists() && !folder.isDir())
        return tr("%1 is a file, not a folder").arg(QDir::toNativeSeparators(folder.filePath()));
    if (!folder.isDir())
        return tr("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder.filePath()));
    if (file.isDir())
        return tr("the path is a folder");
    if (file.exists() && !file.isWritable())
        return tr("the file is write-protected");
    if (!folder.isWritable())
        return tr("the folder %1 is write-protected").arg(QDir::toNativeSeparators(folder.filePath()));
    return tr("access denied");
}
