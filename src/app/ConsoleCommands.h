#pragma once
// The console's own commands (its dialogs, the screen capture, exit, about and the pointer keys),
// declared once as a table like the document's: menu text, prompt, action and menu state.

#include "common/Commands.h"

#include <span>

namespace vexar {

class CMainFrame;

/// The application's own command ids.
inline constexpr int kCmdAppAbout = 57664;
inline constexpr int kCmdAppExit = 57665;
/// The contacts' commands.
inline constexpr int kCmdMarkContact = 33100;
inline constexpr int kCmdContactsWindow = 33101;
inline constexpr int kCmdExportContacts = 33102;
/// "Export Video..." of the played recording.
inline constexpr int kCmdExportVideo = 33200;
/// "Mounting...": where and how the head sits on the vehicle.
inline constexpr int kCmdMounting = 33210;

using ConsoleCommand = CommandEntry<CMainFrame>;

/// Every command the main frame runs itself.
std::span<const ConsoleCommand> ConsoleCommands();

} // namespace vexar
