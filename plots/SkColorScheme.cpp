#include "SkColorScheme.h"

QString SkColorScheme::name(Id id)
{
    switch (id) {
    case Viridis: return tr("Viridis");
    case Cividis: return tr("Cividis (colour-blind safe)");
    case Greyscale: return tr("Greyscale");
    case Ramp: break;
    }
    return tr("Blue-green-red ramp");
}

QString SkColorScheme::key(Id id)
{
    switch (id) {
    case Viridis: return QStringLiteral("viridis");
    case Cividis: return QStringLiteral("cividis");
    case Greyscale: return QStringLiteral("greyscale");
    case Ramp: break;
    }
    return QStringLiteral("ramp");
}

SkColorScheme::Id SkColorScheme::fromKey(const QString &key, Id fallback)
{
    for (Id id : all())
        if (SkColorScheme::key(id) == key)
            return id;
    return fallback;
}
