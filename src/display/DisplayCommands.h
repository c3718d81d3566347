#pragma once
// The operator's display and processing commands of the document menu, with the check mark and
// enabled state each menu item shows, and the up-downs of the control bars.

#include "common/Commands.h"

#include <optional>
#include <string>

namespace vexar {

class CTamsorDoc;

/// Runs a display or processing command; false when the id is not one of them.
bool ExecuteDisplayCommand(CTamsorDoc& doc, int id);
/// The menu state of a display or processing command; nothing when the id is not one of them.
std::optional<CommandState> QueryDisplayCommand(const CTamsorDoc& doc, int id);
/// The status-bar prompt of a command, empty when it has none.
std::string CommandPrompt(int id);

/// The view's typed keys: c/C clears at once, h/H holds, z/Z cycles the zoom. True when handled.
bool HandleViewKey(CTamsorDoc& doc, char key);

// Control-bar up-downs; each applies a step of +1 or -1 and returns true when the value changed.
bool StepRange(CTamsorDoc& doc, int step);
bool StepStartGain(CTamsorDoc& doc, int step);
bool StepDisplayGain(CTamsorDoc& doc, int step);
/// Playback speed: "Sleep Time" -= 50 ms per step, 0..1000, and restarts the playback timer; the
/// recorded pace ("1x") is left.
bool StepSpeed(CTamsorDoc& doc, int step);
/// Position of the speed bar, 0..20.
int SpeedBarPosition(const CTamsorDoc& doc);

} // namespace vexar
