#pragma once
// What the detectors computed for one frame, as the lines of the viewer's "Computed" dock
// (shown in a monospace font). Also printed by `rrdcli dump`.

#include "RuAlarmResult.h"

#include <QStringList>

class SkPacket;

// No lines for a packet without alarm result.
QStringList ruAlarmDetails(const SkPacket &packet);
QStringList ruAlarmDetails(const RuAlarmResult &result);
