#pragma once
// What the document asks of the link to the head, and the complete pings the link hands back:
// the request of the pings, the ping with the settings it was requested with, and the limits of
// the exchanges' retries.

#include "files/RawRecording.h"
#include "head/PingSettings.h"
#include "head/ReplyData.h"
#include "navigation/CFixStore.h"
#include "ports/Ports.h"

#include <array>
#include <cstdint>
#include <string>

namespace vexar {

inline constexpr int kWatchdogMs = 5000;
inline constexpr int kConnectPingDelayMs = 500;
/// Pings given up and requested again before recovery is left to the watchdog.
inline constexpr int kPingRetries = 3;
/// Times a block is requested again after a reply that fails its checks (wrong block, wrong
/// length, garbage, or none within the wait) before its ping is given up.
inline constexpr int kBlockRetries = 5;
/// Blocks a ping may request again in all before it is given up: half of them, so that a head
/// that garbles a fifth of its replies still completes its pings, and one that garbles most of
/// them is left to the ping retries and the watchdog.
constexpr int BlockRetriesPerPing(int blocksPerPing) {
    return blocksPerPing / 2 > kBlockRetries ? blocksPerPing / 2 : kBlockRetries;
}
/// Waits on the socket are cut into slices this long, so that a stopping runner is not held up.
inline constexpr int kLinkWaitSliceMs = 50;
/// First wait between connection attempts; it doubles up to the watchdog's period.
inline constexpr int kReconnectBackoffMs = 1000;
/// How long the link waits for the document to take a ping before it requests the next anyway.
inline constexpr std::uint64_t kTakeGraceMs = 1000;

/// What the document wants of the link; takes effect at the next step.
struct LinkRequest {
    bool run = false;    ///< connect and ping; false closes the link
    bool paused = false; ///< connected, but no pings requested (Hold)
    std::string host;
    std::uint16_t port = 4040;
    std::array<std::uint8_t, kCommandPacketSize> packet{}; ///< head 0's packet; byte 13 is set per block
    int blocksPerPing = 128;
    /// The settings the packet was built from: each ping requested with it carries them, and its
    /// raw record is written with `record`, whatever the operator chooses meanwhile.
    PingSettings settings;
    RawRecordTemplate record;
    int pingDelayMs = 0;
    /// The live fixes a ping looks up its own in (not owned; null: pings carry no fix), and the
    /// greatest age a ping's fix may have at its request.
    const CFixStore* fixes = nullptr;
    std::uint64_t maxFixAgeMs = 2000;
};

/// A complete ping, as handed to the document.
struct LinkPing {
    PingBuffer payloads{};
    ReplyBlock lastReply{}; ///< its header is the ping's reply header
    int blocksPerPing = 0;
    PingSettings settings;           ///< what it was requested with
    LocalTime startTime{};           ///< local time when the ping was requested
    std::uint64_t requestTickMs = 0; ///< the clock's tick when the ping was requested
    /// The newest live fix no older than the request's maximum fix age at the request, looked up
    /// once the ping is complete; its raw record carries its sentence.
    bool hasFix = false;
    NavigationSample fix;
    float sonarTimeMs = 0.0f;       ///< from the request to the first reply
    float acquisitionTimeMs = 0.0f; ///< from the request to the last reply
    std::uint64_t number = 0;       ///< counts complete pings from 1
};

} // namespace vexar
