// The document's commands, declared once: menu text, prompt, action and menu state.

#include "acquisition/DocumentCommands.h"

#include "config/SettingsRules.h"
#include "config/SettingsTable.h"
#include "display/CPictureModel.h"
#include "display/ColorTables.h"
#include "display/PictureOrientation.h"

#include <algorithm>
#include <array>
#include <type_traits>

namespace vexar {

namespace {

CommandState Enabled(bool enabled, bool checked = false) {
    return CommandState{enabled, checked};
}

/// A command of a group that sets one member of the settings to its row's value, and the check
/// mark of the row whose value the member holds.
template <auto Group, auto Member> void Choose(CTamsorDoc& doc, int value) {
    doc.EditSettings([value](Settings& s) {
        auto& member = (s.*Group).*Member;
        member = static_cast<std::remove_cvref_t<decltype(member)>>(value);
    });
}

template <auto Group, auto Member> CommandState Chosen(const CTamsorDoc& doc, int value) {
    return Enabled(true, static_cast<int>((doc.GetSettings().*Group).*Member) == value);
}

// ---- File ----

/// North Up turns a level head's picture only: a vertical fan's is a cross-section.
bool IsLevel(const CTamsorDoc& doc) {
    return doc.GetSettings().mounting.plane == HeadPlane::Level;
}

bool IsNorthUp(const CTamsorDoc& doc) {
    return IsLevel(doc) && doc.GetSettings().view.orientation == ViewOrientation::NorthUp;
}

// "Convert .R96 File to .xyz...": the open command, then the XYZ export of the played file.
void ConvertToXyz(CTamsorDoc& doc, int) {
    doc.OnOpenPlayback();
    if (doc.IsPlayback() && doc.Playback().Player().IsOpen()) {
        doc.Conversion().Start();
    }
}

void Record(CTamsorDoc& doc, int kind) {
    doc.Recording().OnRecord(static_cast<RecordKind>(kind));
}

CommandState RecordState(const CTamsorDoc& doc, int kind) {
    return Enabled(!doc.Recording().Recorder().AnyRecording(),
                   doc.Recording().Recorder().IsRecording(static_cast<RecordKind>(kind)));
}

void AutoFileSize(CTamsorDoc& doc, int size) {
    doc.EditSettings([size](Settings& s) { s.system.autoFileSize = size; });
}

CommandState AutoFileSizeState(const CTamsorDoc& doc, int size) {
    const int chosen = doc.GetSettings().system.autoFileSize;
    return Enabled(!doc.IsPlayback() && chosen != 0, chosen == size);
}

// ---- View ----

void SetZoom(CTamsorDoc& doc, int index) {
    if (index != doc.GetSettings().view.zoomIndex) {
        doc.EditSettings([index](Settings& s) { s.view.zoomIndex = index; });
    }
}

void SetDisplayMode(CTamsorDoc& doc, int mode) {
    const bool polar = mode == kDisplayModePolar;
    doc.EditSettings([polar](Settings& s) {
        s.sonar.displayMode = polar ? kDisplayModePolar : kDisplayModeBeamTest;
        if (s.view.grid != GridStyle::None) {
            s.view.grid = polar ? GridStyle::Polar : GridStyle::Line;
        }
    });
    doc.ClearImage();
}

CommandState GridState(const CTamsorDoc& doc, int value) {
    const auto style = static_cast<GridStyle>(value);
    CommandState state{true, doc.GetSettings().view.grid == style};
    const int mode = doc.GetSettings().sonar.displayMode;
    if (mode == kDisplayModePolar) {
        state.enabled = style != GridStyle::Line;
    } else if (mode == kDisplayModeBeamTest) {
        state.enabled = style != GridStyle::Polar && style != GridStyle::Rectangular;
    }
    return state;
}

// ---- Sonar and processing ----

void SetSamples(CTamsorDoc& doc, int samples) {
    if (doc.IsPlayback()) {
        return;
    }
    // The multiplier a shorter beam allows is left to the next command packet.
    doc.EditSettings([samples](Settings& s) { SelectSamples(s.sonar, samples); });
}

CommandState SamplesState(const CTamsorDoc& doc, int samples) {
    return Enabled(!doc.IsPlayback(), doc.GetSettings().sonar.samples == samples);
}

void SetBeams(CTamsorDoc& doc, int index) {
    doc.EditSettings([index](Settings& s) { SelectBeams(s.sonar, index); });
}

void ToggleTransducerUp(CTamsorDoc& doc, int) {
    doc.EditSettings([](Settings& s) { s.sonar.transducerUp = s.sonar.transducerUp != 0 ? 0 : 1; });
    doc.PingRoutine().ClearHistory();
}

// ---- Profile points ----

void ToggleProfilePoints(CTamsorDoc& doc, int) {
    doc.EditSettings(
        [](Settings& s) { s.sonar.detectProfilePoints = s.sonar.detectProfilePoints != 0 ? 0 : 1; });
}

CommandState ProfileDisplayState(const CTamsorDoc& doc, int display) {
    return Enabled(doc.GetSettings().sonar.detectProfilePoints != 0,
                   doc.GetSettings().view.profileDisplay == display);
}

// ---- Playback controls ----

CommandState PlaybackControlState(const CTamsorDoc& doc, int) {
    return Enabled(doc.IsPlayback());
}

constexpr auto SetUnit = Choose<&Settings::view, &ViewSettings::unit>;
constexpr auto UnitState = Chosen<&Settings::view, &ViewSettings::unit>;
constexpr auto ZoomState = Chosen<&Settings::view, &ViewSettings::zoomIndex>;
constexpr auto SetGrid = Choose<&Settings::view, &ViewSettings::grid>;
constexpr auto SetOrientation = Choose<&Settings::view, &ViewSettings::orientation>;
constexpr auto DisplayModeState = Chosen<&Settings::sonar, &PingSettings::displayMode>;
constexpr auto BeamsState = Chosen<&Settings::sonar, &PingSettings::beamsIndex>;
constexpr auto SetBeamWidth = Choose<&Settings::sonar, &PingSettings::beamWidth>;
constexpr auto BeamWidthState = Chosen<&Settings::sonar, &PingSettings::beamWidth>;
constexpr auto SetProfileDisplay = Choose<&Settings::view, &ViewSettings::profileDisplay>;
constexpr auto SetFilter = Choose<&Settings::sonar, &PingSettings::profileFilterType>;
constexpr auto FilterState = Chosen<&Settings::sonar, &PingSettings::profileFilterType>;
// The pings averaged: 1 ("OFF"), 3, 5, 7 or 9.
constexpr auto SetAveraging = Choose<&Settings::sonar, &PingSettings::average>;
constexpr auto AveragingState = Chosen<&Settings::sonar, &PingSettings::average>;
constexpr auto SetColorTable = Choose<&Settings::view, &ViewSettings::colorTable>;
constexpr auto ColorTableState = Chosen<&Settings::view, &ViewSettings::colorTable>;

constexpr int Raw = static_cast<int>(RecordKind::Raw);
constexpr int Beam = static_cast<int>(RecordKind::Beam);
constexpr int Point = static_cast<int>(RecordKind::Point);
constexpr int Metric = static_cast<int>(DistanceUnit::Metric);
constexpr int Imperial = static_cast<int>(DistanceUnit::Imperial);
constexpr int HeadUp = static_cast<int>(ViewOrientation::HeadUp);
constexpr int NorthUp = static_cast<int>(ViewOrientation::NorthUp);
constexpr int Grid(GridStyle style) {
    return static_cast<int>(style);
}

// clang-format off
const std::array kCommands = {
    // File
    DocumentCommand{kCmdRealTime, "Real &Time", "Real Time Data Acquisition", false,
        [](CTamsorDoc& d, int) { d.OnRealTime(); }},
    DocumentCommand{kCmdPlayback, "&Playback...", "Playback a Sonar Data File", false,
        [](CTamsorDoc& d, int) { d.OnOpenPlayback(); }},
    DocumentCommand{kCmdRecordR96, "&Record ( .R96 Format)", "Record Sonar Data File .R96", true, Record, RecordState, Raw},
    DocumentCommand{kCmdRecordB96, "Record ( .B96 Format)", "", true, Record, RecordState, Beam},
    DocumentCommand{kCmdRecordP96, "Record ( .P96 Format)", "", true, Record, RecordState, Point},
    DocumentCommand{kCmdStopRecording, "&Stop Recording...", "Stop Recording Process", false,
        [](CTamsorDoc& d, int) { d.Recording().Stop(); },
        [](const CTamsorDoc& d, int) { return Enabled(d.Recording().Recorder().AnyRecording()); }},
    DocumentCommand{kCmdConvertXyz, "Convert .R96 File to .xyz...", "", false,
        ConvertToXyz},
    DocumentCommand{kCmdAutoFileName, "&Auto File Name", "Automaticly Select File name", true,
        [](CTamsorDoc& d, int) { d.EditSettings([](Settings& s) { s.system.autoFileName = s.system.autoFileName != 0 ? 0 : 1; }); },
        [](const CTamsorDoc& d, int) { return Enabled(true, d.GetSettings().system.autoFileName != 0); }},
    DocumentCommand{kCmdAutoSizeEnable, "Enable", "", true,
        [](CTamsorDoc& d, int) { d.EditSettings([](Settings& s) { s.system.autoFileSize = s.system.autoFileSize == 0 ? 1 : 0; }); },
        [](const CTamsorDoc& d, int) { return Enabled(true, d.GetSettings().system.autoFileSize > 0); }},
    // "Auto File Size": 1 is 500 MBytes, 2 to 5 are 1 to 4 GBytes.
    DocumentCommand{kCmdAutoSize500M, "500 MBytes", "", true, AutoFileSize, AutoFileSizeState, 1},
    DocumentCommand{kCmdAutoSize1G, "1 GBytes", "", true, AutoFileSize, AutoFileSizeState, 2},
    DocumentCommand{kCmdAutoSize2G, "2 GBytes", "", true, AutoFileSize, AutoFileSizeState, 3},
    DocumentCommand{kCmdAutoSize3G, "3 GBytes", "", true, AutoFileSize, AutoFileSizeState, 4},
    DocumentCommand{kCmdAutoSize4G, "4 GBytes", "", true, AutoFileSize, AutoFileSizeState, 5},

    // View
    DocumentCommand{kCmdZoom100, "100 %", "", true, SetZoom, ZoomState, 0},
    DocumentCommand{kCmdZoom50, "50 %", "", true, SetZoom, ZoomState, 1},
    DocumentCommand{kCmdZoomFill, "Fill Screen", "", true, SetZoom, ZoomState, 2},
    DocumentCommand{kCmdClearImage, "Clear Image", "Clear Image", false, [](CTamsorDoc& d, int) { d.ClearImage(); }},
    DocumentCommand{kCmdUnitsMetric, "Metric", "", true, SetUnit, UnitState, Metric},
    DocumentCommand{kCmdUnitsImperial, "Imperial", "", true, SetUnit, UnitState, Imperial},
    DocumentCommand{kCmdGridNone, "None", "", true, SetGrid, GridState, Grid(GridStyle::None)},
    DocumentCommand{kCmdGridPolar, "Polar", "", true, SetGrid, GridState, Grid(GridStyle::Polar)},
    DocumentCommand{kCmdGridRectangular, "Rectangular", "", true, SetGrid, GridState, Grid(GridStyle::Rectangular)},
    DocumentCommand{kCmdGridLine, "Line", "", true, SetGrid, GridState, Grid(GridStyle::Line)},
    DocumentCommand{kCmdRangeMark, "Display Range Mark", "", true,
        [](CTamsorDoc& d, int) { d.EditSettings([](Settings& s) { s.view.rangeMark = s.view.rangeMark != 0 ? 0 : 1; }); },
        [](const CTamsorDoc& d, int) { return Enabled(true, d.GetSettings().view.rangeMark != 0); }},
    DocumentCommand{kCmdHold, "&Hold", "", true, [](CTamsorDoc& d, int) { d.OnHold(); },
        [](const CTamsorDoc& d, int) { return Enabled(true, d.IsHeld()); }},
    DocumentCommand{kCmdHeadUp, "Head Up", "Draw the picture with the bow at the top", true, SetOrientation,
        [](const CTamsorDoc& d, int) { return Enabled(true, !IsNorthUp(d)); }, HeadUp},
    DocumentCommand{kCmdNorthUp, "North Up",
        "Turn the picture by the heading, north at the top (a level head only: a vertical head's picture is a "
        "cross-section)", true, SetOrientation,
        [](const CTamsorDoc& d, int) { return Enabled(IsLevel(d), IsNorthUp(d)); }, NorthUp},

    // Data points, beams, mode, beam width, averaging
    DocumentCommand{kCmdPoints500, "500", "Select 500 data points per channel", true, SetSamples, SamplesState, 500},
    DocumentCommand{kCmdPoints1000, "1000", "Select 1000 data points per channel", true, SetSamples, SamplesState, 1000},
    DocumentCommand{kCmdBeams1440, "1440", "", true, SetBeams, BeamsState, 0},
    DocumentCommand{kCmdBeams720, "720", "", true, SetBeams, BeamsState, 1},
    DocumentCommand{kCmdBeams360, "360", "", true, SetBeams, BeamsState, 2},
    DocumentCommand{kCmdModePolar, "Polar", "Display Image", true, SetDisplayMode, DisplayModeState, kDisplayModePolar},
    DocumentCommand{kCmdModeBeamTest, "Beam Test", "Display Raw Beams Data", true, SetDisplayMode, DisplayModeState,
        kDisplayModeBeamTest},
    DocumentCommand{kCmdWidthWide, "Wide", "", true, SetBeamWidth, BeamWidthState, 0},
    DocumentCommand{kCmdWidthNormal, "Normal", "", true, SetBeamWidth, BeamWidthState, 1},
    DocumentCommand{kCmdWidthNarrow, "Narrow", "", true, SetBeamWidth, BeamWidthState, 2},
    DocumentCommand{kCmdAverageOff, "OFF", "", true, SetAveraging, AveragingState, 1},
    DocumentCommand{kCmdAverage3, "3 shots", "", true, SetAveraging, AveragingState, 3},
    DocumentCommand{kCmdAverage5, "5 shots", "", true, SetAveraging, AveragingState, 5},
    DocumentCommand{kCmdAverage7, "7 shots", "", true, SetAveraging, AveragingState, 7},
    DocumentCommand{kCmdAverage9, "9 shots", "", true, SetAveraging, AveragingState, 9},

    // Colour tables
    DocumentCommand{kCmdColorTable0, ColorTableMenuText(0), "", true, SetColorTable, ColorTableState, 0},
    DocumentCommand{kCmdColorTable1, ColorTableMenuText(1), "", true, SetColorTable, ColorTableState, 1},
    DocumentCommand{kCmdColorTable2, ColorTableMenuText(2), "", true, SetColorTable, ColorTableState, 2},
    DocumentCommand{kCmdColorTable3, ColorTableMenuText(3), "", true, SetColorTable, ColorTableState, 3},
    DocumentCommand{kCmdColorTable4, ColorTableMenuText(4), "", true, SetColorTable, ColorTableState, 4},
    DocumentCommand{kCmdColorTable5, ColorTableMenuText(5), "", true, SetColorTable, ColorTableState, 5},
    DocumentCommand{kCmdColorTable6, ColorTableMenuText(6), "", true, SetColorTable, ColorTableState, 6},
    DocumentCommand{kCmdColorTable7, ColorTableMenuText(7), "", true, SetColorTable, ColorTableState, 7},
    DocumentCommand{kCmdColorTable8, ColorTableMenuText(8), "", true, SetColorTable, ColorTableState, 8},

    // Profile
    DocumentCommand{kCmdProfileOff, "OFF", "Do not display and detect PP Points", true, ToggleProfilePoints,
        [](const CTamsorDoc& d, int) { return Enabled(true, d.GetSettings().sonar.detectProfilePoints == 0); }},
    DocumentCommand{kCmdMixHigh, "High MIx", "Display PP Points with hign signal levels", true, SetProfileDisplay, ProfileDisplayState, 0},
    DocumentCommand{kCmdMixMedium, "Medium Mix", "Display PP Points with medium signal levels", true, SetProfileDisplay, ProfileDisplayState, 1},
    DocumentCommand{kCmdMixLow, "Lo Mix", "Display PP Points with low signal levels", true, SetProfileDisplay, ProfileDisplayState, 2},
    DocumentCommand{kCmdPointsOnly, "Points  Only", "Only display PP Points without signals.", true, SetProfileDisplay, ProfileDisplayState, 3},
    DocumentCommand{kCmdFilterFirst, "First Return", "Profile Points filter type --first return", true, SetFilter, FilterState, 0},
    DocumentCommand{kCmdFilterMax, "Maximum return", "Profile Points filter type --max return", true, SetFilter, FilterState, 1},
    DocumentCommand{kCmdFilterBottom, "Bottom Following", "Profile Points filter type --bottom following", true, SetFilter, FilterState, 2},

    // Options
    DocumentCommand{kCmdTransducerUp, "&Transducer Up", "", true, ToggleTransducerUp,
        [](const CTamsorDoc& d, int) { return Enabled(true, d.GetSettings().sonar.transducerUp != 0); }},

    // Playback controls of the playback bar and their keys
    DocumentCommand{kCmdRecordedPace, "1\u00d7", "", true,
        [](CTamsorDoc& d, int) { d.Playback().SetRecordedPace(!d.Playback().Player().RecordedPace()); },
        [](const CTamsorDoc& d, int) { return Enabled(d.IsPlayback(), d.Playback().Player().RecordedPace()); }},
    DocumentCommand{kCmdStepBack, "Back", "", false, [](CTamsorDoc& d, int) { d.Playback().StepBack(); }, PlaybackControlState},
    DocumentCommand{kCmdStepForward, "Forward", "", false, [](CTamsorDoc& d, int) { d.Playback().StepForward(); }, PlaybackControlState},
    DocumentCommand{kCmdJumpToStart, "Start", "", false, [](CTamsorDoc& d, int) { d.Playback().JumpToStart(); }, PlaybackControlState},
    DocumentCommand{kCmdJumpToEnd, "End", "", false, [](CTamsorDoc& d, int) { d.Playback().JumpToEnd(); }, PlaybackControlState},
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
        const int next = (doc.GetSettings().view.zoomIndex + 1) % 3;
        doc.EditSettings([next](Settings& s) { s.view.zoomIndex = next; });
        return true;
    }
    return false;
}

bool StepRange(CTamsorDoc& doc, int step) {
    if (doc.IsPlayback()) {
        return false;
    }
    const int index = SettingOf("Operating Range").limits.Clamp(doc.GetSettings().sonar.rangeIndex + step);
    if (index == doc.GetSettings().sonar.rangeIndex) {
        return false;
    }
    doc.EditSettings([index](Settings& s) { SelectRange(s.sonar, index); });
    return true;
}

bool StepStartGain(CTamsorDoc& doc, int step) {
    const int gain = SettingOf("Start Gain").limits.Clamp(doc.GetSettings().sonar.startGainDb + step);
    if (gain == doc.GetSettings().sonar.startGainDb) {
        return false;
    }
    doc.EditSettings([gain](Settings& s) { s.sonar.startGainDb = gain; });
    return true;
}

bool StepDisplayGain(CTamsorDoc& doc, int step) {
    const int gain = SettingOf("Display Gain").limits.Clamp(doc.GetSettings().sonar.displayGain + step);
    if (gain == doc.GetSettings().sonar.displayGain) {
        return false;
    }
    doc.EditSettings([gain](Settings& s) { s.sonar.displayGain = gain; });
    return true;
}

bool StepSpeed(CTamsorDoc& doc, int step) {
    const int old = doc.GetSettings().system.sleepTimeMs;
    const int sleep = std::clamp(old - step * 50, 0, 1000);
    doc.EditSettings([sleep](Settings& s) { s.system.sleepTimeMs = sleep; });
    // A click sets the speed by "Sleep Time" again.
    doc.Playback().SetRecordedPace(false);
    return sleep != old;
}

int SpeedBarPosition(const CTamsorDoc& doc) {
    return (1000 - std::clamp(doc.GetSettings().system.sleepTimeMs, 0, 1000)) / 50;
}

} // namespace vexar
