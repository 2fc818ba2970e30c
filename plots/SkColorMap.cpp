#include "SkColorMap.h"

namespace {

constexpr int TableStops = 17; // at 0, 1/16 ... 1

// Sampled at every 16th of the published 256-entry tables.
constexpr QRgb Viridis[TableStops] = {
    0x440154, 0x48186a, 0x472d7b, 0x424086, 0x3b528b, 0x33638d, 0x2c728e, 0x26828e, 0x21918c,
    0x1f9f88, 0x27ad81, 0x3dbc74, 0x5cc863, 0x81d34d, 0xaadc32, 0xd5e21a, 0xfde725};
constexpr QRgb Cividis[TableStops] = {
    0x00224e, 0x002e6a, 0x1a386f, 0x32436d, 0x434e6c, 0x535a6d, 0x61656f, 0x6f7073, 0x7d7c78,
    0x8b8778, 0x9a9376, 0xaaa073, 0xbbad6d, 0xccba64, 0xddc858, 0xefd748, 0xfee838};

const QRgb *tableOf(SkColorScheme::Id scheme)
{
    switch (scheme) {
    case SkColorScheme::Viridis: return Viridis;
    case SkColorScheme::Cividis: return Cividis;
    default: return nullptr;
    }
}

QColor firstColor(SkColorScheme::Id scheme)
{
    if (const QRgb *table = tableOf(scheme))
        return QColor(table[0]);
    return scheme == SkColorScheme::Greyscale ? QColor(Qt::black) : QColor(Qt::darkBlue);
}

QColor lastColor(SkColorScheme::Id scheme)
{
    if (const QRgb *table = tableOf(scheme))
        return QColor(table[TableStops - 1]);
    return scheme == SkColorScheme::Greyscale ? QColor(Qt::white) : QColor(Qt::red);
}

} // namespace

SkColorMap::SkColorMap(QwtLinearColorMap::Mode mode, SkColorScheme::Id scheme)
    : QwtLinearColorMap(firstColor(scheme), lastColor(scheme), QwtColorMap::RGB),
      m_scheme(scheme)
{
    if (const QRgb *table = tableOf(scheme)) {
        for (int i = 1; i + 1 < TableStops; ++i)
            addColorStop(double(i) / (TableStops - 1), QColor(table[i]));
    } else if (scheme == SkColorScheme::Ramp) {
        addColorStop(0.2, Qt::darkBlue);
        addColorStop(0.3, Qt::cyan);
        addColorStop(0.6, Qt::green);
    }
    setMode(mode);
}
