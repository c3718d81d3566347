#include "app/FileCommands.h"

#include "acquisition/CTamsorDoc.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"

namespace vexar {

bool ExecuteFileCommand(CTamsorDoc& doc, int id) {
    switch (id) {
    case kCmdRealTime:
        doc.OnRealTime();
        return true;
    case kCmdPlayback:
        doc.Player().OnOpenPlayback();
        return true;
    case kCmdConvertXyz:
        doc.Player().OnConvertToXyz();
        return true;
    default:
        return doc.Player().OnCommand(id) || doc.Recorder().OnCommand(id);
    }
}

std::optional<CommandState> QueryFileCommand(CTamsorDoc& doc, int id) {
    if (const auto state = doc.Recorder().StateOf(id)) {
        return state;
    }
    if (const auto state = doc.Player().StateOf(id)) {
        return state;
    }
    if (id == kCmdRealTime || id == kCmdPlayback || id == kCmdConvertXyz) {
        return CommandState{};
    }
    return std::nullopt;
}

void SliderPressed(CTamsorDoc& doc) {
    doc.Player().OnSliderDragStart();
}

void SliderReleased(CTamsorDoc& doc, int position) {
    doc.Player().OnSliderRelease(position);
}

} // namespace vexar
