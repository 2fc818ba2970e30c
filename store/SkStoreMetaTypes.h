#pragma once
// Registers the types of this layer that travel through queued signals ("SkFrameTask*",
// "QVector<double>", "QVector<QPointF>", "SkFrameTaskStatus", "SkActivityPlotId"), and those
// of the layers below. Programs call it once at start-up, before any task starts.

void skRegisterStoreMetaTypes();
