#pragma once
// Parameter files (INI files with the sections params, av00 ... waterlevel0) and the
// "Last Used Parameters" menu that lists the ones used last.
//
// The list is a map from the time of last use (ms since the epoch, UTC) to the file's
// absolute path, stored as a QDataStream of the map under "recentPList". Each entry is one
// action of the menu carrying its time as data; the menu's own entries ("Delete All
// Entries..", the separator) carry none.

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QSettings;
class SkParameterWidgets;

class SkParameterFiles : public QObject
{
    Q_OBJECT

public:
    // `menu` belongs to the window and outlives this object.
    explicit SkParameterFiles(QMenu *menu, QObject *parent = nullptr);

    // Replaces the list by the one of a "recentPList" blob; a damaged blob gives an empty
    // list (and false).
    bool restore(const QByteArray &blob);
    QByteArray save() const;

    QMap<qint64, QString> entries() const { return m_entries; }
    QString path(qint64 key) const { return m_entries.value(key); }

    // Makes `path` the newest entry (an older entry of the same path goes), then drops the
    // oldest entries beyond `limit` files.
    void add(qint64 timeMs, const QString &path, int limit);
    void remove(qint64 key);
    void clear();

    // The menu text of a path: long paths keep their head and their file name.
    static QString menuText(const QString &path);

    // Writes the widgets' parameters into the INI file `path`. False with the reason in
    // `error` when the file could not be written.
    static bool write(const SkParameterWidgets &widgets, const QString &path, QString *error);
    // Reads the parameters the INI file `path` holds into the widgets, as every front end
    // reads a parameter file: a value it cannot use keeps the widget's and is named in
    // `warnings`. False with the reason, naming the file, when it is no parameter file or
    // cannot be read (nothing is changed then).
    static bool read(const SkParameterWidgets &widgets, const QString &path, QString *error,
                     QStringList *warnings);
    // Why `settings` failed, from its status and the file system ("" when it did not).
    static QString failure(const QSettings &settings);

private:
    QAction *actionOf(qint64 key) const;
    void addAction(qint64 key, const QString &path);

    QMenu *m_menu;
    QMap<qint64, QString> m_entries;
};
