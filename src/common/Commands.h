#pragma once
// The operator's commands as the core knows them: their identifiers (shared by the menus, the
// toolbar and the accelerators) and the state a menu item shows for one.

#include <span>
#include <string_view>

namespace vexar {

/// Command identifiers of the menus, toolbar and accelerators, the console's own among them. Each
/// item of a menu has its own: what a command of a group chooses is its entry's `value`, never a
/// difference of identifiers.
enum CommandId : int {
    kCmdRealTime = 32771,
    kCmdPlayback = 32772,
    kCmdRecordR96 = 32773,
    kCmdStopRecording = 32774,
    kCmdAutoFileName = 32777,
    kCmdUnitsMetric = 32779,
    kCmdUnitsImperial = 32780,
    kCmdGridNone = 32781,
    kCmdGridPolar = 32782,
    kCmdGridRectangular = 32783,
    kCmdGridLine = 32784,
    kCmdModePolar = 32785,
    kCmdModeBeamTest = 32786,
    kCmdHold = 32787,
    kCmdSettings = 32788,
    kCmdColorTable0 = 32789,
    kCmdColorTable1 = 32790,
    kCmdColorTable2 = 32791,
    kCmdColorTable3 = 32792,
    kCmdColorTable4 = 32793,
    kCmdColorTable5 = 32794,
    kCmdColorTable6 = 32795,
    kCmdColorTable7 = 32796,
    kCmdColorTable8 = 32797,
    kCmdDiagnostics = 32799,
    kCmdMeasure = 32802,
    kCmdPoints1000 = 32807,
    kCmdPoints500 = 32808,
    kCmdBeams1440 = 32811,
    kCmdBeams720 = 32812,
    kCmdBeams360 = 32813,
    kCmdWidthWide = 32814,
    kCmdWidthNormal = 32815,
    kCmdWidthNarrow = 32816,
    kCmdAverageOff = 32820,
    kCmdAverage3 = 32822,
    kCmdAverage5 = 32824,
    kCmdAverage7 = 32826,
    kCmdAverage9 = 32828,
    kCmdTransducerUp = 32836,
    kCmdRangeMark = 32839,
    kCmdClearImage = 32853,
    kCmdZoom100 = 32857,
    kCmdZoom50 = 32858,
    kCmdZoomFill = 32859,
    kCmdSoundVelocity = 32861,
    kCmdComPort = 32864,
    kCmdFilterFirst = 32871,
    kCmdFilterMax = 32872,
    kCmdFilterBottom = 32873,
    kCmdProfileOff = 32875,
    kCmdMixHigh = 32876,
    kCmdMixMedium = 32877,
    kCmdMixLow = 32878,
    kCmdPointsOnly = 32879,
    kCmdPointerDown = 32881,
    kCmdPointerLeft = 32882,
    kCmdPointerRight = 32883,
    kCmdPointerUp = 32884,
    kCmdDataOutput = 32897,
    kCmdRecordP96 = 32898,
    kCmdRecordB96 = 32899,
    kCmdSaveScreen = 32901,
    kCmdConvertXyz = 32903,
    kCmdAutoSizeEnable = 32904,
    kCmdAutoSize500M = 32905,
    kCmdAutoSize1G = 32906,
    kCmdAutoSize2G = 32907,
    kCmdAutoSize3G = 32908,
    kCmdAutoSize4G = 32909,
    kCmdPingDelay = 32920,
    // Playback controls of the playback bar and their keys.
    kCmdRecordedPace = 33001, ///< "1x": play at the pace of the records' time stamps
    kCmdStepBack = 33002,
    kCmdStepForward = 33003,
    kCmdJumpToStart = 33004,
    kCmdJumpToEnd = 33005,
    kCmdSaveGeoPicture = 33010, ///< "Save Picture as GeoTIFF..."
    kCmdHeadUp = 33020,         ///< the picture with the bow at the top
    kCmdNorthUp = 33021,        ///< the picture turned by the heading, north at the top
    // The console's own.
    kCmdMarkContact = 33100,
    kCmdContactsWindow = 33101,
    kCmdExportContacts = 33102,
    kCmdExportVideo = 33200, ///< "Export Video..." of the played recording
    kCmdMounting = 33210,    ///< "Mounting...": where and how the head sits on the vehicle
    kCmdAppAbout = 57664,
    kCmdAppExit = 57665,
};

/// Check mark and enabled state of a menu item.
struct CommandState {
    bool enabled = true;
    bool checked = false;
};

/// One command of the menus, the toolbar and the keys, declared once by the area it belongs to:
/// what it is called, what it does to its target, and what its menu item shows.
template <typename Target> struct CommandEntry {
    CommandId id{};
    std::string_view text;   ///< menu text; "&" marks the access key
    std::string_view prompt; ///< status-bar prompt, empty when none
    bool checkable = false;
    /// Runs the command with its entry's `value`.
    void (*action)(Target& target, int value) = nullptr;
    /// Null: always enabled, never checked.
    CommandState (*state)(const Target& target, int value) = nullptr;
    /// What the command chooses among its group (a setting's value, a kind of record); 0 when alone.
    int value = 0;
};

/// The entry of `id` in a command table, or null.
template <typename Target>
const CommandEntry<Target>* FindCommand(std::span<const CommandEntry<Target>> table, int id) {
    for (const CommandEntry<Target>& entry : table) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace vexar
