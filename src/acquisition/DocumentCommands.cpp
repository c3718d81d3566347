// The document's commands, declared once: menu text, prompt, action and menu state.

#include "acquisition/DocumentCommands.h"

#include "config/SettingsRules.h"
#include "config/SettingsTable.h"
#include "display/CPictureModel.h"
#include "display/ColorTables.h"
#include "display/PictureOrientation.h"

#include <algorithm>
#include <array>

namespace vexar {

namespace {

CommandState Enabled(bool enabled, bool checked = false) {
    return CommandState{enabled, checked};
}

// ---- File ----

/// North Up turns a level head's picture only: a vertical fan's is a cross-section.
bool IsLevel(const CTamsorDoc& doc) {
    return doc.GetSettings().mounting.plane == HeadPlane::Level;
}

bool IsNorthUp(const CTamsorDoc& doc) {
    return IsLevel(doc) && doc.View().orientation == kOrientationNorthUp;
}

void RecordKindOf(CTamsorDoc& doc, int id) {
    doc.OnRecord(id == kCmdRecordR96 ? RecordKind::Raw
                                     : (id == kCmdRecordB96 ? RecordKind::Beam : RecordKind::Point));
}

CommandState RecordState(const CTamsorDoc& doc, int id) {
    const RecordKind kind =
        id == kCmdRecordR96 ? RecordKind::Raw : (id == kCmdRecordB96 ? RecordKind::Beam : RecordKind::Point);
    return Enabled(!doc.Recorder().AnyRecording(), doc.Recorder().IsRecording(kind));
}

void AutoFileSize(CTamsorDoc& doc, int id) {
    doc.EditSettings([id](Settings& s) { s.system.autoFileSize = id - kCmdAutoSize500M + 1; });
}

CommandState AutoFileSizeState(const CTamsorDoc& doc, int id) {
    const int size = doc.System().autoFileSize;
    return Enabled(!doc.IsPlayback() && size != 0, size == id - kCmdAutoSize500M + 1);
}

// ---- View ----

void SetZoom(CTamsorDoc& doc, int index) {
    if (index != doc.View().zoomIndex) {
        doc.EditSettings([index](Settings& s) { s.view.zoomIndex = index; });
    }
}

void SetDisplayMode(CTamsorDoc& doc, int id) {
    const bool polar = id == kCmdModePolar;
    doc.EditSettings([polar](Settings& s) {
        s.sonar.displayMode = polar ? kDisplayModePolar : kDisplayModeBeamTest;
        if (s.view.grid != 0) {
            s.view.grid = polar ? 1 : 3;
        }
    });
    doc.ClearImage();
}

CommandState GridState(const CTamsorDoc& doc, int id) {
    CommandState state{true, doc.View().grid == id - kCmdGridNone};
    const int mode = doc.Sonar().displayMode;
    if (mode == kDisplayModePolar) {
        state.enabled = id != kCmdGridLine;
    } else if (mode == kDisplayModeBeamTest) {
        state.enabled = id != kCmdGridPolar && id != kCmdGridRectangular;
    }
    return state;
}

// ---- Sonar and processing ----

void SetSamples(CTamsorDoc& doc, int id) {
    if (doc.IsPlayback()) {
        return;
    }
    // The multiplier a shorter beam allows is left to the next command packet.
    const int samples = id == kCmdPoints1000 ? 1000 : 500;
    doc.EditSettings([samples](Settings& s) { SelectSamples(s.sonar, samples); });
}

void ToggleTransducerUp(CTamsorDoc& doc, int) {
    doc.EditSettings([](Settings& s) { s.sonar.transducerUp = s.sonar.transducerUp != 0 ? 0 : 1; });
    doc.ClearProcessingHistory();
}

// ---- Profile points ----

void ToggleProfilePoints(CTamsorDoc& doc, int) {
    doc.EditSettings(
        [](Settings& s) { s.sonar.detectProfilePoints = s.sonar.detectProfilePoints != 0 ? 0 : 1; });
}

void SetProfileDisplay(CTamsorDoc& doc, int id) {
    doc.EditSettings([id](Settings& s) { s.view.profileDisplay = id - kCmdMixHigh; });
}

CommandState ProfileDisplayState(const CTamsorDoc& doc, int id) {
    return Enabled(doc.Sonar().detectProfilePoints != 0, doc.View().profileDisplay == id - kCmdMixHigh);
}

void SetFilter(CTamsorDoc& doc, int id) {
    doc.EditSettings([id](Settings& s) { s.sonar.profileFilterType = id - kCmdFilterFirst; });
}

CommandState FilterState(const CTamsorDoc& doc, int id) {
    return Enabled(true, doc.Sonar().profileFilterType == id - kCmdFilterFirst);
}

// Averaging ids step by two: "OFF" is 1 ping, "3 shots" 3, ...
void SetAveraging(CTamsorDoc& doc, int id) {
    doc.EditSettings([id](Settings& s) { s.sonar.average = id - (kCmdAverageOff - 1); });
}

CommandState AveragingState(const CTamsorDoc& doc, int id) {
    return Enabled(true, doc.Sonar().average == id - (kCmdAverageOff - 1));
}

void SetColorTable(CTamsorDoc& doc, int id) {
    doc.EditSettings([id](Settings& s) { s.view.colorTable = id - kCmdColorFirst; });
}

CommandState ColorTableState(const CTamsorDoc& doc, int id) {
    return Enabled(true, doc.View().colorTable == id - kCmdColorFirst);
}

// ---- Playback controls ----

CommandState PlaybackControlState(const CTamsorDoc& doc, int) {
    return Enabled(doc.IsPlayback());
}

// clang-format off
const std::array kCommands = {
    // File
    DocumentCommand{kCmdRealTime, "Real &Time", "Real Time Data Acquisition", false,
        [](CTamsorDoc& d, int) { d.OnRealTime(); }},
    DocumentCommand{kCmdPlayback, "&Playback...", "Playback a Sonar Data File", false,
        [](CTamsorDoc& d, int) { d.OnOpenPlayback(); }},
    DocumentCommand{kCmdRecordR96, "&Record ( .R96 Format)", "Record Sonar Data File .R96", true, RecordKindOf, RecordState},
    DocumentCommand{kCmdRecordB96, "Record ( .B96 Format)", "", true, RecordKindOf, RecordState},
    DocumentCommand{kCmdRecordP96, "Record ( .P96 Format)", "", true, RecordKindOf, RecordState},
    DocumentCommand{kCmdStopRecording, "&Stop Recording...", "Stop Recording Process", false,
        [](CTamsorDoc& d, int) { d.StopRecording(); },
        [](const CTamsorDoc& d, int) { return Enabled(d.Recorder().AnyRecording()); }},
    DocumentCommand{kCmdConvertXyz, "Convert .R96 File to .xyz...", "", false,
        [](CTamsorDoc& d, int) { d.OnConvertToXyz(); }},
    DocumentCommand{kCmdAutoFileName, "&Auto File Name", "Automaticly Select File name", true,
        [](CTamsorDoc& d, int) { d.EditSettings([](Settings& s) { s.system.autoFileName = s.system.autoFileName != 0 ? 0 : 1; }); },
        [](const CTamsorDoc& d, int) { return Enabled(true, d.System().autoFileName != 0); }},
    DocumentCommand{kCmdAutoSizeEnable, "Enable", "", true,
        [](CTamsorDoc& d, int) { d.EditSettings([](Settings& s) { s.system.autoFileSize = s.system.autoFileSize == 0 ? 1 : 0; }); },
        [](const CTamsorDoc& d, int) { return Enabled(true, d.System().autoFileSize > 0); }},
    DocumentCommand{kCmdAutoSize500M, "500 MBytes", "", true, AutoFileSize, AutoFileSizeState},
    DocumentCommand{kCmdAutoSize500M + 1, "1 GBytes", "", true, AutoFileSize, AutoFileSizeState},
    DocumentCommand{kCmdAutoSize500M + 2, "2 GBytes", "", true, AutoFileSize, AutoFileSizeState},
    DocumentCommand{kCmdAutoSize500M + 3, "3 GBytes", "", true, AutoFileSize, AutoFileSizeState},
    DocumentCommand{kCmdAutoSize4G, "4 GBytes", "", true, AutoFileSize, AutoFileSizeState},

    // View
    DocumentCommand{kCmdZoom100, "100 %", "", true, [](CTamsorDoc& d, int id) { SetZoom(d, id - kCmdZoom100); },
        [](const CTamsorDoc& d, int id) { return Enabled(true, d.View().zoomIndex == id - kCmdZoom100); }},
    DocumentCommand{kCmdZoom50, "50 %", "", true, [](CTamsorDoc& d, int id) { SetZoom(d, id - kCmdZoom100); },
        [](const CTamsorDoc& d, int id) { return Enabled(true, d.View().zoomIndex == id - kCmdZoom100); }},
    DocumentCommand{kCmdZoomFill, "Fill Screen", "", true, [](CTamsorDoc& d, int id) { SetZoom(d, id - kCmdZoom100); },
        [](const CTamsorDoc& d, int id) { return Enabled(true, d.View().zoomIndex == id - kCmdZoom100); }},
    DocumentCommand{kCmdClearImage, "Clear Image", "Clear Image", false, [](CTamsorDoc& d, int) { d.ClearImage(); }},
    DocumentCommand{kCmdUnitsMetric, "Metric", "", true,
        [](CTamsorDoc& d, int) { d.EditSettings([](Settings& s) { s.view.unit = 0; }); },
        [](const CTamsorDoc& d, int) { return Enabled(true, d.View().unit == 0); }},
    DocumentCommand{kCmdUnitsImperial, "Imperial", "", true,
        [](CTamsorDoc& d, int) { d.EditSettings([](Settings& s) { s.view.unit = 1; }); },
        [](const CTamsorDoc& d, int) { return Enabled(true, d.View().unit == 1); }},
    DocumentCommand{kCmdGridNone, "None", "", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { s.view.grid = id - kCmdGridNone; }); }, GridState},
    DocumentCommand{kCmdGridPolar, "Polar", "", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { s.view.grid = id - kCmdGridNone; }); }, GridState},
    DocumentCommand{kCmdGridRectangular, "Rectangular", "", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { s.view.grid = id - kCmdGridNone; }); }, GridState},
    DocumentCommand{kCmdGridLine, "Line", "", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { s.view.grid = id - kCmdGridNone; }); }, GridState},
    DocumentCommand{kCmdRangeMark, "Display Range Mark", "", true,
        [](CTamsorDoc& d, int) { d.EditSettings([](Settings& s) { s.view.rangeMark = s.view.rangeMark != 0 ? 0 : 1; }); },
        [](const CTamsorDoc& d, int) { return Enabled(true, d.View().rangeMark != 0); }},
    DocumentCommand{kCmdHold, "&Hold", "", true, [](CTamsorDoc& d, int) { d.OnHold(); },
        [](const CTamsorDoc& d, int) { return Enabled(true, d.IsHeld()); }},
    DocumentCommand{kCmdHeadUp, "Head Up", "Draw the picture with the bow at the top", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { s.view.orientation = id - kCmdHeadUp; }); },
        [](const CTamsorDoc& d, int) { return Enabled(true, !IsNorthUp(d)); }},
    DocumentCommand{kCmdNorthUp, "North Up",
        "Turn the picture by the heading, north at the top (a level head only: a vertical head's picture is a "
        "cross-section)", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { s.view.orientation = id - kCmdHeadUp; }); },
        [](const CTamsorDoc& d, int) { return Enabled(IsLevel(d), IsNorthUp(d)); }},

    // Data points, beams, mode, beam width, averaging
    DocumentCommand{kCmdPoints500, "500", "Select 500 data points per channel", true, SetSamples,
        [](const CTamsorDoc& d, int) { return Enabled(!d.IsPlayback(), d.Sonar().samples == 500); }},
    DocumentCommand{kCmdPoints1000, "1000", "Select 1000 data points per channel", true, SetSamples,
        [](const CTamsorDoc& d, int) { return Enabled(!d.IsPlayback(), d.Sonar().samples == 1000); }},
    DocumentCommand{kCmdBeams1440, "1440", "", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { SelectBeams(s.sonar, id - kCmdBeams1440); }); },
        [](const CTamsorDoc& d, int id) { return Enabled(true, d.Sonar().beamsIndex == id - kCmdBeams1440); }},
    DocumentCommand{kCmdBeams720, "720", "", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { SelectBeams(s.sonar, id - kCmdBeams1440); }); },
        [](const CTamsorDoc& d, int id) { return Enabled(true, d.Sonar().beamsIndex == id - kCmdBeams1440); }},
    DocumentCommand{kCmdBeams360, "360", "", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { SelectBeams(s.sonar, id - kCmdBeams1440); }); },
        [](const CTamsorDoc& d, int id) { return Enabled(true, d.Sonar().beamsIndex == id - kCmdBeams1440); }},
    DocumentCommand{kCmdModePolar, "Polar", "Display Image", true, SetDisplayMode,
        [](const CTamsorDoc& d, int) { return Enabled(true, d.Sonar().displayMode == kDisplayModePolar); }},
    DocumentCommand{kCmdModeBeamTest, "Beam Test", "Display Raw Beams Data", true, SetDisplayMode,
        [](const CTamsorDoc& d, int) { return Enabled(true, d.Sonar().displayMode == kDisplayModeBeamTest); }},
    DocumentCommand{kCmdWidthWide, "Wide", "", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { s.sonar.beamWidth = id - kCmdWidthWide; }); },
        [](const CTamsorDoc& d, int id) { return Enabled(true, d.Sonar().beamWidth == id - kCmdWidthWide); }},
    DocumentCommand{kCmdWidthNormal, "Normal", "", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { s.sonar.beamWidth = id - kCmdWidthWide; }); },
        [](const CTamsorDoc& d, int id) { return Enabled(true, d.Sonar().beamWidth == id - kCmdWidthWide); }},
    DocumentCommand{kCmdWidthNarrow, "Narrow", "", true,
        [](CTamsorDoc& d, int id) { d.EditSettings([id](Settings& s) { s.sonar.beamWidth = id - kCmdWidthWide; }); },
        [](const CTamsorDoc& d, int id) { return Enabled(true, d.Sonar().beamWidth == id - kCmdWidthWide); }},
    DocumentCommand{kCmdAverageOff, "OFF", "", true, SetAveraging, AveragingState},
    DocumentCommand{kCmdAverage3, "3 shots", "", true, SetAveraging, AveragingState},
    DocumentCommand{kCmdAverage5, "5 shots", "", true, SetAveraging, AveragingState},
    DocumentCommand{kCmdAverage7, "7 shots", "", true, SetAveraging, AveragingState},
    DocumentCommand{kCmdAverage9, "9 shots", "", true, SetAveraging, AveragingState},

    // Colour tables
    DocumentCommand{kCmdColorFirst + 0, ColorTableMenuText(0), "", true, SetColorTable, ColorTableState},
    DocumentCommand{kCmdColorFirst + 1, ColorTableMenuText(1), "", true, SetColorTable, ColorTableState},
    DocumentCommand{kCmdColorFirst + 2, ColorTableMenuText(2), "", true, SetColorTable, ColorTableState},
    DocumentCommand{kCmdColorFirst + 3, ColorTableMenuText(3), "", true, SetColorTable, ColorTableState},
    DocumentCommand{kCmdColorFirst + 4, ColorTableMenuText(4), "", true, SetColorTable, ColorTableState},
    DocumentCommand{kCmdColorFirst + 5, ColorTableMenuText(5), "", true, SetColorTable, ColorTableState},
    DocumentCommand{kCmdColorFirst + 6, ColorTableMenuText(6), "", true, SetColorTable, ColorTableState},
    DocumentCommand{kCmdColorFirst + 7, ColorTableMenuText(7), "", true, SetColorTable, ColorTableState},
    DocumentCommand{kCmdColorLast, ColorTableMenuText(8), "", true, SetColorTable, ColorTableState},

    // Profile
    DocumentCommand{kCmdProfileOff, "OFF", "Do not display and detect PP Points", true, ToggleProfilePoints,
        [](const CTamsorDoc& d, int) { return Enabled(true, d.Sonar().detectProfilePoints == 0); }},
    DocumentCommand{kCmdMixHigh, "High MIx", "Display PP Points with hign signal levels", true, SetProfileDisplay, ProfileDisplayState},
    DocumentCommand{kCmdMixMedium, "Medium Mix", "Display PP Points with medium signal levels", true, SetProfileDisplay, ProfileDisplayState},
    DocumentCommand{kCmdMixLow, "Lo Mix", "Display PP Points with low signal levels", true, SetProfileDisplay, ProfileDisplayState},
    DocumentCommand{kCmdPointsOnly, "Points  Only", "Only display PP Points without signals.", true, SetProfileDisplay, ProfileDisplayState},
    DocumentCommand{kCmdFilterFirst, "First Return", "Profile Points filter type --first return", true, SetFilter, FilterState},
    DocumentCommand{kCmdFilterMax, "Maximum return", "Profile Points filter type --max return", true, SetFilter, FilterState},
    DocumentCommand{kCmdFilterBottom, "Bottom Following", "Profile Points filter type --bottom following", true, SetFilter, FilterState},

    // Options
    DocumentCommand{kCmdMeasure, "&Measure", "", true,
        // The command ends measuring as well as starting it.
        [](CTamsorDoc& d, int) { d.SetMeasuring(!d.ViewValues().measuring); },
        [](const CTamsorDoc& d, int) { return Enabled(true, d.ViewValues().measuring); }},
    DocumentCommand{kCmdTransducerUp, "&Transducer Up", "", true, ToggleTransducerUp,
        [](const CTamsorDoc& d, int) { return Enabled(true, d.Sonar().transducerUp != 0); }},

    // Playback controls of the playback bar and their keys
    DocumentCommand{kCmdRecordedPace, "1\u00d7", "", true,
        [](CTamsorDoc& d, int) { d.SetRecordedPace(!d.Player().RecordedPace()); },
        [](const CTamsorDoc& d, int) { return Enabled(d.IsPlayback(), d.Player().RecordedPace()); }},
    DocumentCommand{kCmdStepBack, "Back", "", false, [](CTamsorDoc& d, int) { d.StepBack(); }, PlaybackControlState},
    DocumentCommand{kCmdStepForward, "Forward", "", false, [](CTamsorDoc& d, int) { d.StepForward(); }, PlaybackControlState},
    DocumentCommand{kCmdJumpToStart, "Start", "", false, [](CTamsorDoc& d, int) { d.JumpToStart(); }, PlaybackControlState},
    DocumentCommand{kCmdJumpToEnd, "End", "", false, [](CTamsorDoc& d, int) { d.JumpToEnd(); }, PlaybackControlState},
};
// clang-format on

} // namespace

std::span<const DocumentCommand> DocumentCommands() {
    return kCommands;
}

bool HandleViewKey(CTamsorDoc& doc, char key) {
    if (key == 'h' || key == 'H') {
        doc.OnHold();
        return true;
    }
    if (key == 'z' || key == 'Z') {
        const int next = (doc.View().zoomIndex + 1) % 3;
        doc.EditSettings([next](Settings& s) { s.view.zoomIndex = next; });
        return true;
    }
    return false;
}

bool StepRange(CTamsorDoc& doc, int step) {
    if (doc.IsPlayback()) {
        return false;
    }
    const int index = SettingOf("Operating Range").limits.Clamp(doc.Sonar().rangeIndex + step);
    if (index == doc.Sonar().rangeIndex) {
        return false;
    }
    doc.EditSettings([index](Settings& s) { SelectRange(s.sonar, index); });
    return true;
}

bool StepStartGain(CTamsorDoc& doc, int step) {
    const int gain = SettingOf("Start Gain").limits.Clamp(doc.Sonar().startGainDb + step);
    if (gain == doc.Sonar().startGainDb) {
        return false;
    }
    doc.EditSettings([gain](Settings& s) { s.sonar.startGainDb = gain; });
    return true;
}

bool StepDisplayGain(CTamsorDoc& doc, int step) {
    const int gain = SettingOf("Display Gain").limits.Clamp(doc.Sonar().displayGain + step);
    if (gain == doc.Sonar().displayGain) {
        return false;
    }
    doc.EditSettings([gain](Settings& s) { s.sonar.displayGain = gain; });
    return true;
}

bool StepSpeed(CTamsorDoc& doc, int step) {
    const int old = doc.System().sleepTimeMs;
    const int sleep = std::clamp(old - step * 50, 0, 1000);
    doc.SetSleepTime(sleep);
    return sleep != old;
}

int SpeedBarPosition(const CTamsorDoc& doc) {
    return (1000 - std::clamp(doc.System().sleepTimeMs, 0, 1000)) / 50;
}

} // namespace vexar
