#pragma once
// The File menu's acquisition, recording, playback and export commands. Every File command of
// the menus, the toolbar and the accelerators passes through these two functions.

#include "display/DisplayCommands.h"

#include <cstdint>
#include <optional>

namespace vexar {

class CTamsorDoc;

/// Runs a File command; false when the id is not one that the document can run.
bool ExecuteFileCommand(CTamsorDoc& doc, int id);
/// Menu state of a File command; nothing when the id is not a File command.
std::optional<CommandState> QueryFileCommand(CTamsorDoc& doc, int id);
/// The file-position slider: held, and released at a position of 0..100 (the right end plays
/// the file again from its start).
void SliderPressed(CTamsorDoc& doc);
void SliderReleased(CTamsorDoc& doc, int position);

} // namespace vexar
