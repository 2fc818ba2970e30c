#pragma once
// Which matrix of a packet a view wants. Values 2, 3 and 4 are not used.

#include <QMetaType>
#include <QString>
#include <QVector>

enum class SkPacketTypeEnum : int {
    Original = 0,            // the frame as read
    OriginalFiltered = 1,    // time- and spectrum-averaged frame
    AvalancheBackground = 5, // background in force
    AvalancheNormalized = 6, // frame normalised by its background
    LiveHalfSym = 7          // half-symmetry differences
};

// Label of the view selector.
inline QString skPacketTypeName(SkPacketTypeEnum type)
{
    switch (type) {
    case SkPacketTypeEnum::Original: return QStringLiteral("Original");
    case SkPacketTypeEnum::OriginalFiltered: return QStringLiteral("Original Filtered");
    case SkPacketTypeEnum::AvalancheBackground: return QStringLiteral("Avalanche Background");
    case SkPacketTypeEnum::AvalancheNormalized: return QStringLiteral("Avalanche Normalized");
    case SkPacketTypeEnum::LiveHalfSym: return QStringLiteral("Live Half Sym");
    }
    return QString();
}

// The order in which the view selector lists the types.
inline QVector<SkPacketTypeEnum> skPacketTypesInSelectorOrder()
{
    return {SkPacketTypeEnum::Original, SkPacketTypeEnum::OriginalFiltered,
            SkPacketTypeEnum::AvalancheNormalized, SkPacketTypeEnum::AvalancheBackground,
            SkPacketTypeEnum::LiveHalfSym};
}

Q_DECLARE_METATYPE(SkPacketTypeEnum)
