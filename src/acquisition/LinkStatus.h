#pragma once
// The link to the head and the recording as the status bar shows them. The diagnostics window
// takes its connection and ping-rate rows from the same values, so the two never disagree.

#include "ports/Ports.h"

#include <string>

namespace vexar {

class CTamsorDoc;

/// What the link indicator says.
enum class LinkIndicator {
    Pinging,      ///< connected, and pings come
    NoPings,      ///< connected, but no ping came since the connection or for a while
    NotConnected, ///< no connection (being made, refused or lost)
    Held,         ///< connected, pings stopped by Hold
    Playback,     ///< the link is closed while a file plays
};

struct LinkStatusView {
    LinkIndicator indicator = LinkIndicator::NotConnected;
    std::string text; ///< e.g. "Sonar: 12.5 pings/s"
};

LinkStatusView DescribeLink(const CTamsorDoc& doc);

/// The live ping rate, 0 whenever pings do not come.
float ShownPingRate(const CTamsorDoc& doc);

/// The message pane while no command prompt is shown: "Ready", unless the link is down or
/// brings no pings.
std::string IdleMessage(const CTamsorDoc& doc);

/// "Recording: NAME  12.3 MB", or "Not recording".
std::string RecordingText(const RecordingStatus& recording);

} // namespace vexar
