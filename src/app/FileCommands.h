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
/// Menu state of a File command; nothing when the id is not a File command. Commands the
/// document cannot run are shown disabled.
std::optional<CommandState> QueryFileCommand(const CTamsorDoc& doc, int id);
/// The file-position slider: playback continues at the next record at or after the byte offset.
/// False when the document cannot do it.
bool SeekPlayback(CTamsorDoc& doc, std::uint64_t offset);

} // namespace vexar
