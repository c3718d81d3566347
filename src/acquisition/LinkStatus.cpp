#include "acquisition/LinkStatus.h"

#include "acquisition/CTamsorDoc.h"
#include "common/TextFormat.h"
#include "files/CRecorder.h"

namespace vexar {

namespace {
LinkIndicator IndicatorOf(const CTamsorDoc& doc) {
    if (doc.IsPlayback()) {
        return LinkIndicator::Playback;
    }
    if (!doc.Live().Link().connected) {
        return LinkIndicator::NotConnected;
    }
    if (doc.IsHeld()) {
        return LinkIndicator::Held;
    }
    return doc.Live().Link().pingedSinceConnect && doc.Live().Link().staleSeconds == 0
               ? LinkIndicator::Pinging
               : LinkIndicator::NoPings;
}
} // namespace

LinkStatusView DescribeLink(const CTamsorDoc& doc) {
    LinkStatusView view;
    view.indicator = IndicatorOf(doc);
    switch (view.indicator) {
    case LinkIndicator::Pinging:
        view.text = FormatText("Sonar: %.1f pings/s", static_cast<double>(ShownPingRate(doc)));
        break;
    case LinkIndicator::NoPings:
        view.text = "Sonar: connected, no pings";
        break;
    case LinkIndicator::NotConnected:
        view.text = "Sonar: not connected";
        break;
    case LinkIndicator::Held:
        view.text = "Sonar: connected, held";
        break;
    case LinkIndicator::Playback:
        view.text = "Sonar: off (playback)";
        break;
    }
    return view;
}

float ShownPingRate(const CTamsorDoc& doc) {
    // The link measures the rate when a ping completes; when pings stop, its last value stays.
    return IndicatorOf(doc) == LinkIndicator::Pinging ? doc.Live().Link().stats.pingsPerSecond : 0.0f;
}

std::string IdleMessage(const CTamsorDoc& doc) {
    switch (IndicatorOf(doc)) {
    case LinkIndicator::NotConnected:
        return "No sonar link";
    case LinkIndicator::NoPings:
        return "No pings from sonar";
    default:
        return "Ready";
    }
}

std::string RecordingText(const RecordingStatus& recording) {
    if (!recording.active) {
        return "Not recording";
    }
    return "Recording: " + NameOf(recording.path) +
           FormatText("  %.1f MB", static_cast<double>(recording.bytes) / 1048576.0);
}

} // namespace vexar
