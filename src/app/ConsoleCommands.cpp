// The console's own commands, declared once: menu text, prompt, action and menu state.

#include "app/ConsoleCommands.h"

#include "acquisition/CTamsorDoc.h"
#include "app/CContactsController.h"
#include "app/CMOndrelView.h"
#include "app/CMainFrame.h"
#include "app/CVideoExportDlg.h"
#include "app/ConsoleDialogs.h"
#include "app/GeoPictureExport.h"

#include <array>

namespace vexar {

namespace {

CommandState DiagnosticsState(const CMainFrame& frame, int) {
    return CommandState{true, frame.DiagnosticsShown()};
}

// clang-format off
const std::array kCommands = {
    ConsoleCommand{kCmdSaveScreen, "Save Screen", "", false, [](CMainFrame& f, int) { f.Dialogs().OnSaveScreen(); }},
    ConsoleCommand{kCmdSaveGeoPicture, "Save Picture as GeoTIFF...",
        "Save the picture on the map, at the ping's position fix", false,
        [](CMainFrame& f, int) { f.OnSaveGeoPicture(); },
        [](const CMainFrame& f, int) { return CommandState{CanPlacePicture(f.Document(), f.View()), false}; }},
    ConsoleCommand{kCmdExportVideo, "Export Video...", "Make a video of the played recording", false,
        [](CMainFrame& f, int) { CVideoExportDlg::OnExportVideo(f.Document(), &f); },
        [](const CMainFrame& f, int) { return CommandState{CVideoExportDlg::CanExport(f.Document()), false}; }},
    ConsoleCommand{kCmdAppExit, "E&xit", "", false, [](CMainFrame& f, int) { f.close(); }},
    ConsoleCommand{kCmdSettings, "&Settings...", "Show/Hide Settings Dialog Box", false,
        [](CMainFrame& f, int) { f.ToggleSettings(); }},
    ConsoleCommand{kCmdDiagnostics, "&Diagnostics...", "", true,
        [](CMainFrame& f, int) { f.ToggleDiagnostics(); }, DiagnosticsState},
    ConsoleCommand{kCmdMeasure, "&Measure", "", true, [](CMainFrame& f, int) { f.ToggleMeasuring(); },
        [](const CMainFrame& f, int) { return CommandState{true, f.View() != nullptr && f.View()->IsMeasuring()}; }},
    ConsoleCommand{kCmdSoundVelocity, "&Sound Velocity", "Show Sound Velocity Input Dialog Box", false,
        [](CMainFrame& f, int) { f.Dialogs().OnSoundVelocity(); }},
    ConsoleCommand{kCmdPingDelay, "Ping Delay...", "", false, [](CMainFrame& f, int) { f.Dialogs().OnPingDelay(); }},
    ConsoleCommand{kCmdComPort, "Com Port Settings...", "Choose where live position and attitude come from", false,
        [](CMainFrame& f, int) { f.Dialogs().OnNavigationInput(); }},
    ConsoleCommand{kCmdMounting, "Mounting...", "Set where and how the head sits on the vehicle", false,
        [](CMainFrame& f, int) { f.Dialogs().OnMounting(); }},
    ConsoleCommand{kCmdDataOutput, "Data Output", "Display Data Output Settings Dlg", false,
        [](CMainFrame& f, int) { f.Dialogs().OnDataOutput(); }},
    ConsoleCommand{kCmdAppAbout, "&About Vexar...", "", false, [](CMainFrame& f, int) { f.Dialogs().OnAbout(); }},
    ConsoleCommand{kCmdMarkContact, "&Mark Contact", "Mark the point under the pointer as a contact", false,
        [](CMainFrame& f, int) { f.Contacts().MarkAtPointer(); }},
    ConsoleCommand{kCmdContactsWindow, "&Contacts Window", "Show/Hide the list of contacts", true,
        [](CMainFrame& f, int) { f.ToggleContactsWindow(); },
        [](const CMainFrame& f, int) { return CommandState{true, f.ContactsWindowVisible()}; }},
    ConsoleCommand{kCmdExportContacts, "&Export Contacts...", "Export the contacts as KML, GeoJSON, CSV or a report",
        false, [](CMainFrame& f, int) { f.Contacts().Export(&f); }},
    // The pointer keys have no menu item: the pointer moves one pixel.
    ConsoleCommand{kCmdPointerDown, "", "", false, [](CMainFrame& f, int) { f.MovePointer(0, 1); }},
    ConsoleCommand{kCmdPointerLeft, "", "", false, [](CMainFrame& f, int) { f.MovePointer(-1, 0); }},
    ConsoleCommand{kCmdPointerRight, "", "", false, [](CMainFrame& f, int) { f.MovePointer(1, 0); }},
    ConsoleCommand{kCmdPointerUp, "", "", false, [](CMainFrame& f, int) { f.MovePointer(0, -1); }},
};
// clang-format on

} // namespace

std::span<const ConsoleCommand> ConsoleCommands() {
    return kCommands;
}

} // namespace vexar
