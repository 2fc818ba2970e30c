#include "RuMetaTypes.h"

#include "RuAlarmResult.h"
#include "RuFrame.h"
#include "SkPacket.h"
#include "SkPacketTypeEnum.h"

#include <QMetaType>

void ruRegisterMetaTypes()
{
    qRegisterMetaType<RuFrame>("RuFrame");
    qRegisterMetaType<SkPacket>("SkPacket");
    qRegisterMetaType<SkPacketTypeEnum>("SkPacketTypeEnum");
    qRegisterMetaType<SkAlarmResultSharedPtr>("SkAlarmResultSharedPtr");
    // Also under the spelled-out template name, for signatures written that way.
    qRegisterMetaType<SkAlarmResultSharedPtr>("QSharedPointer<const RuAlarmResult>");
}
