#pragma once
// The 16 x 16 pictures of the toolbar buttons, drawn at start-up.

#include <QIcon>

namespace vexar {

enum class ToolIcon { RealTime, Playback, Record, Stop, Hold, Measure };

QIcon DrawToolIcon(ToolIcon icon);

} // namespace vexar
