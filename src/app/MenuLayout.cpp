// The console's menus, toolbar, playback buttons and keys, placed by command id.

#include "app/MenuLayout.h"

#include "app/ConsoleCommands.h"
#include "app/ControlBars.h"
#include "common/Commands.h"
#include "display/ColorTables.h"

#include <array>

namespace vexar {

namespace {

// clang-format off
constexpr std::array kAutoFileSize = {
    MenuCommand(kCmdAutoSizeEnable), MenuCommand(kCmdAutoSize500M), MenuCommand(kCmdAutoSize1G),
    MenuCommand(kCmdAutoSize2G), MenuCommand(kCmdAutoSize3G), MenuCommand(kCmdAutoSize4G),
};
constexpr std::array kFile = {
    MenuCommand(kCmdRealTime), MenuCommand(kCmdPlayback), MenuSeparator(),
    MenuCommand(kCmdRecordR96), MenuCommand(kCmdRecordB96), MenuCommand(kCmdRecordP96),
    MenuCommand(kCmdStopRecording), MenuSeparator(),
    MenuCommand(kCmdConvertXyz), MenuCommand(kCmdExportVideo), MenuSeparator(),
    MenuCommand(kCmdAutoFileName), SubMenu("Auto File Size", kAutoFileSize), MenuSeparator(),
    MenuCommand(kCmdSaveScreen), MenuCommand(kCmdSaveGeoPicture), MenuSeparator(),
    MenuCommand(kCmdAppExit),
};
constexpr std::array kZoom = {MenuCommand(kCmdZoom100), MenuCommand(kCmdZoom50), MenuCommand(kCmdZoomFill)};
constexpr std::array kUnits = {MenuCommand(kCmdUnitsMetric), MenuCommand(kCmdUnitsImperial)};
constexpr std::array kGrid = {
    MenuCommand(kCmdGridNone), MenuCommand(kCmdGridPolar), MenuCommand(kCmdGridRectangular),
    MenuCommand(kCmdGridLine),
};
constexpr std::array kView = {
    SubMenu("Zoom", kZoom), MenuCommand(kCmdClearImage), SubMenu("Units", kUnits), SubMenu("Grid", kGrid),
    MenuCommand(kCmdRangeMark), MenuCommand(kCmdHold), MenuSeparator(), MenuCommand(kCmdHeadUp),
    MenuCommand(kCmdNorthUp),
};
constexpr std::array kColorTable = {
    MenuCommand(kCmdColorTable0), MenuCommand(kCmdColorTable1), MenuCommand(kCmdColorTable2),
    MenuCommand(kCmdColorTable3), MenuCommand(kCmdColorTable4), MenuCommand(kCmdColorTable5),
    MenuCommand(kCmdColorTable6), MenuCommand(kCmdColorTable7), MenuCommand(kCmdColorTable8),
};
static_assert(static_cast<int>(kColorTable.size()) == kColorTableCount);
constexpr std::array kDataPoints = {MenuCommand(kCmdPoints500), MenuCommand(kCmdPoints1000)};
constexpr std::array kBeams = {MenuCommand(kCmdBeams1440), MenuCommand(kCmdBeams720), MenuCommand(kCmdBeams360)};
constexpr std::array kMode = {MenuCommand(kCmdModePolar), MenuCommand(kCmdModeBeamTest)};
constexpr std::array kProcessing = {
    MenuCommand(kCmdWidthWide), MenuCommand(kCmdWidthNormal), MenuCommand(kCmdWidthNarrow),
};
constexpr std::array kAveraging = {
    MenuCommand(kCmdAverageOff), MenuCommand(kCmdAverage3), MenuCommand(kCmdAverage5),
    MenuCommand(kCmdAverage7), MenuCommand(kCmdAverage9),
};
constexpr std::array kProfileMode = {
    MenuCommand(kCmdProfileOff), MenuCommand(kCmdMixHigh), MenuCommand(kCmdMixMedium),
    MenuCommand(kCmdMixLow), MenuCommand(kCmdPointsOnly),
};
constexpr std::array kProfileFilter = {
    MenuCommand(kCmdFilterFirst), MenuCommand(kCmdFilterMax), MenuCommand(kCmdFilterBottom),
};
constexpr std::array kProfile = {
    SubMenu("Profile Mode", kProfileMode), SubMenu("Profile Point Filter", kProfileFilter),
};
constexpr std::array kOptions = {
    MenuCommand(kCmdSettings), MenuCommand(kCmdDiagnostics), MenuCommand(kCmdMeasure),
    MenuCommand(kCmdTransducerUp), MenuCommand(kCmdSoundVelocity), MenuCommand(kCmdPingDelay),
    MenuCommand(kCmdComPort), MenuCommand(kCmdMounting),
};
constexpr std::array kContacts = {
    MenuCommand(kCmdMarkContact), MenuCommand(kCmdContactsWindow), MenuSeparator(), MenuCommand(kCmdExportContacts),
};
constexpr std::array kHelp = {MenuCommand(kCmdAppAbout)};

constexpr std::array kMenuBar = {
    SubMenu(kFileMenuTitle, kFile),
    SubMenu("&View", kView),
    SubMenu("&Color Table", kColorTable),
    SubMenu("&Data Points", kDataPoints),
    SubMenu("&Beams", kBeams),
    SubMenu("&Mode", kMode),
    SubMenu("&Processing", kProcessing),
    SubMenu("&Averaging", kAveraging),
    SubMenu("P&rofile", kProfile),
    SubMenu("&Options", kOptions),
    SubMenu("Co&ntacts", kContacts),
    MenuCommand(kCmdDataOutput),
    SubMenu("&Help", kHelp),
};

constexpr std::array kToolBar = {
    ToolButtonSpec{kCmdRealTime, ToolIcon::RealTime},
    ToolButtonSpec{kCmdPlayback, ToolIcon::Playback},
    ToolButtonSpec{kCmdRecordR96, ToolIcon::Record},
    ToolButtonSpec{kCmdStopRecording, ToolIcon::Stop},
    ToolButtonSpec{},
    ToolButtonSpec{kCmdHold, ToolIcon::Hold},
    ToolButtonSpec{kCmdMeasure, ToolIcon::Measure},
};

const std::array kPlaybackButtons = {
    PlaybackButtonSpec{&CPlaybackBar::m_jumpToStart, kCmdJumpToStart,
        "Jump to the start of the file (Ctrl+Home)", QStyle::SP_MediaSkipBackward},
    PlaybackButtonSpec{&CPlaybackBar::m_stepBack, kCmdStepBack,
        "One ping back, held (Ctrl+Left)", QStyle::SP_MediaSeekBackward},
    PlaybackButtonSpec{&CPlaybackBar::m_stepForward, kCmdStepForward,
        "One ping forward, held (Ctrl+Right)", QStyle::SP_MediaSeekForward},
    PlaybackButtonSpec{&CPlaybackBar::m_jumpToEnd, kCmdJumpToEnd,
        "Jump to the last ping of the file (Ctrl+End)", QStyle::SP_MediaSkipForward},
    PlaybackButtonSpec{&CPlaybackBar::m_recordedPace, kCmdRecordedPace,
        "1\u00d7: play at the pace the pings were recorded", QStyle::SP_CustomBase},
};

const std::array kAccelerators = {
    AcceleratorSpec{kCmdPlayback, Qt::CTRL | Qt::Key_O},
    AcceleratorSpec{kCmdRecordR96, Qt::CTRL | Qt::Key_S},
    AcceleratorSpec{kCmdStopRecording, Qt::CTRL | Qt::Key_E},
    AcceleratorSpec{kCmdClearImage, QKeyCombination(Qt::Key_C)},
    AcceleratorSpec{kCmdHold, QKeyCombination(Qt::Key_H)},
    AcceleratorSpec{kCmdMarkContact, QKeyCombination(Qt::Key_M)},
    AcceleratorSpec{kCmdJumpToStart, Qt::CTRL | Qt::Key_Home},
    AcceleratorSpec{kCmdStepBack, Qt::CTRL | Qt::Key_Left},
    AcceleratorSpec{kCmdStepForward, Qt::CTRL | Qt::Key_Right},
    AcceleratorSpec{kCmdJumpToEnd, Qt::CTRL | Qt::Key_End},
    AcceleratorSpec{kCmdPointerDown, QKeyCombination(Qt::Key_Down)},
    AcceleratorSpec{kCmdPointerLeft, QKeyCombination(Qt::Key_Left)},
    AcceleratorSpec{kCmdPointerRight, QKeyCombination(Qt::Key_Right)},
    AcceleratorSpec{kCmdPointerUp, QKeyCombination(Qt::Key_Up)},
};
// clang-format on

} // namespace

std::span<const MenuNode> MenuBarLayout() {
    return kMenuBar;
}

std::span<const ToolButtonSpec> ToolBarLayout() {
    return kToolBar;
}

std::span<const PlaybackButtonSpec> PlaybackButtons() {
    return kPlaybackButtons;
}

std::span<const AcceleratorSpec> Accelerators() {
    return kAccelerators;
}

} // namespace vexar
