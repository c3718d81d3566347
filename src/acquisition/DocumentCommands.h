#pragma once
// The document's commands as a table (file, view, display, processing and playback commands,
// with their menu texts, prompts, actions and menu states), and the control bars' up-downs and
// the view's typed keys, each of which changes the document through its intention methods.

#include "acquisition/CTamsorDoc.h"
#include "common/Commands.h"

#include <span>

namespace vexar {

using DocumentCommand = CommandEntry<CTamsorDoc>;

/// Every command the document runs itself.
std::span<const DocumentCommand> DocumentCommands();

/// The view's typed keys: h/H holds, z/Z cycles the zoom. True when handled.
bool HandleViewKey(CTamsorDoc& doc, char key);

// Control-bar up-downs; each applies a step of +1 or -1 and returns true when the value changed.
bool StepRange(CTamsorDoc& doc, int step);
bool StepStartGain(CTamsorDoc& doc, int step);
bool StepDisplayGain(CTamsorDoc& doc, int step);
/// Playback speed: "Sleep Time" -= 50 ms per step, 0..1000, and restarts the playback timer unless
/// playback is held; the recorded pace ("1x") is left.
bool StepSpeed(CTamsorDoc& doc, int step);
/// Position of the speed bar, 0..20.
int SpeedBarPosition(const CTamsorDoc& doc);

} // namespace vexar
