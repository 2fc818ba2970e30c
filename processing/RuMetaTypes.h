#pragma once
// Registers the types that travel through queued signals ("RuFrame", "SkPacket",
// "SkPacketTypeEnum", "SkAlarmResultSharedPtr"). Programs call it once at start-up.

void ruRegisterMetaTypes();
