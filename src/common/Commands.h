#pragma once
// The operator's commands as the core knows them: their identifiers (shared by the menus, the
// toolbar and the accelerators) and the state a menu item shows for one.

namespace vexar {

/// Command identifiers of the menus, toolbar and accelerators.
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
    kCmdColorFirst = 32789,
    kCmdColorLast = 32797,
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
    kCmdAutoSize4G = 32909,
    kCmdPingDelay = 32920,
    // Playback controls of the playback bar and their keys.
    kCmdRecordedPace = 33001, ///< "1x": play at the pace of the records' time stamps
    kCmdStepBack = 33002,
    kCmdStepForward = 33003,
    kCmdJumpToStart = 33004,
    kCmdJumpToEnd = 33005,
    kCmdExportVideo = 33010, ///< "Export Video..." of the played recording
};

/// Check mark and enabled state of a menu item.
struct CommandState {
    bool enabled = true;
    bool checked = false;
};

} // namespace vexar
