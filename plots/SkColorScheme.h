#pragma once
// The colour maps the spectrogram offers: the ramp it always had (dark blue noise floor, then
// cyan, green and red), and perceptually uniform maps that read the same to every eye:
// viridis, cividis (for red-green colour blindness) and greyscale. Names for a chooser, keys
// for the settings.

#include <QCoreApplication>
#include <QList>
#include <QString>

class SkColorScheme
{
    Q_DECLARE_TR_FUNCTIONS(SkColorScheme)

public:
    enum Id { Ramp, Viridis, Cividis, Greyscale };

    static QList<Id> all() { return {Ramp, Viridis, Cividis, Greyscale}; }
    // The translated name, as a chooser shows it.
    static QString name(Id id);
    // The settings value ("ramp", "viridis", "cividis", "greyscale").
    static QString key(Id id);
    // The scheme of a settings value; `fallback` for anything unknown.
    static Id fromKey(const QString &key, Id fallback = Ramp);
};
