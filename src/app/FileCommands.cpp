#include "app/FileCommands.h"

#include "acquisition/CTamsorDoc.h"

#include <algorithm>
#include <array>

namespace vexar {

namespace {
constexpr std::array<int, 13> kFileCommands = {
    kCmdRealTime,      kCmdPlayback,        kCmdRecordR96,    kCmdRecordB96,         kCmdRecordP96,
    kCmdStopRecording, kCmdConvertXyz,      kCmdAutoFileName, kCmdAutoSizeEnable,    kCmdAutoSize500M,
    kCmdAutoSize500M + 1, kCmdAutoSize500M + 2, kCmdAutoSize500M + 3,
};

bool IsFileCommand(int id) {
    return id == kCmdAutoSize4G || std::find(kFileCommands.begin(), kFileCommands.end(), id) != kFileCommands.end();
}
} // namespace

bool ExecuteFileCommand(CTamsorDoc& doc, int id) {
    switch (id) {
    case kCmdRealTime:
        doc.OnRealTime();
        return true;
    default:
        return false;
    }
}

std::optional<CommandState> QueryFileCommand(const CTamsorDoc& doc, int id) {
    (void)doc;
    if (!IsFileCommand(id)) {
        return std::nullopt;
    }
    CommandState state;
    state.enabled = id == kCmdRealTime;
    return state;
}

bool SeekPlayback(CTamsorDoc& doc, std::uint64_t offset) {
    (void)doc;
    (void)offset;
    return false;
}

} // namespace vexar
