#pragma once
// The console's own commands (its dialogs, the screen capture, exit, about and the pointer keys),
// declared once as a table like the document's: menu text, prompt, action and menu state.

#include "common/Commands.h"

#include <span>

namespace vexar {

class CMainFrame;

using ConsoleCommand = CommandEntry<CMainFrame>;

/// Every command the main frame runs itself.
std::span<const ConsoleCommand> ConsoleCommands();

} // namespace vexar
