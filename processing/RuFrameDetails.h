#pragma once
// The process parameters of a frame as the lines of the viewer's Details dock (one entry per
// line, label and value separated by a tab). Also printed by `rrdcli dump`.

#include <QStringList>

class RuFrame;

// Empty for a frame without an rrd_info block (raw and stamped frames, null frames).
QStringList ruFrameDetails(const RuFrame &frame);
