#pragma once
// The values the document shows its programs (the mode, the clock texts of a ping, its timings,
// the link, the view), the value a ping enters the document with, and the events the document
// tells its listeners.

#include "acquisition/CSonarLink.h"
#include "config/SettingsValues.h"
#include "head/ReplyData.h"
#include "ports/Ports.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexar {

/// Where the document's pings come from.
enum class DocMode {
    Live,       ///< the head, over the link
    Playback,   ///< a recording, played for the operator
    Conversion, ///< a recording, played once through for an export
};

/// How the document runs its pings; the programs choose.
struct DocumentOptions {
    /// How long the document rests after a live ping, as a share of the time it took: the
    /// operator's input is served between pings. Headless programs without input set 0.
    double restShare = 1.0;
    /// A live ping is processed in turns of the event loop, one head a turn, the rest of the
    /// per-ping routine in the last, so that the operator's input and the timers are served in
    /// between (the console). Off, a ping is processed at once.
    bool livePingInTurns = false;
};

/// The clock texts of the current ping: its request time live, its record's time stamp played.
struct ClockTexts {
    std::string date;        ///< "07-DEC-2026" live, "07-12-2026" played
    std::string time;        ///< "11:41:39"
    std::string millisecond; ///< "042"
    std::string autoName;    ///< "07DEC2026-114139"
    std::string timeStamp;   ///< "07122026114139042"
};

/// Timings of the current ping (ms).
struct PingTimings {
    float sonarTimeMs = 0.0f;       ///< from the request to the first reply
    float acquisitionTimeMs = 0.0f; ///< from the request to the last reply
    float processingTimeMs = 0.0f;  ///< the heads' processing
    float loopTimeMs = 0.0f;        ///< between the ends of two status refreshes
    float displayedPingPeriodMs = 250.0f;
};

/// The link to the head as the document last saw it.
struct LinkView {
    bool connected = false;
    LinkState state = LinkState::Disconnected;
    LinkStats stats;
    bool pingedSinceConnect = false; ///< a live ping was taken since the link last connected
    /// Whole seconds without a new live ping, from kStaleAfterMs on; 0 while pings come, and in
    /// Hold or playback.
    int staleSeconds = 0;
};

/// A ping as it enters the document: its buffers, the head parameters it was made with, its
/// sentence and its times. A live ping (with a request time) and a played one (with its record's
/// texts) bring the settings of how they were made; the rest is the operator's choice. A ping
/// with neither is taken with all the settings it brings.
struct PingInput {
    const PingBuffer* payloads = nullptr;
    const ReplyBlock* lastReply = nullptr; ///< its header is the ping's reply header
    int blocksPerPing = 0;                 ///< as requested; 0: as the settings give
    PingSettings settings;
    /// The navigation sentence; nothing: the ping has none.
    std::optional<std::string_view> sentence;
    /// Live: when the ping was requested. Played pings bring their record's texts instead.
    std::optional<LocalTime> requestTime;
    std::optional<ClockTexts> recordTexts;
    float sonarTimeMs = 0.0f;
    float acquisitionTimeMs = 0.0f;
};

/// What happens in the document that a program may show. Listeners subscribe to the document;
/// every handler defaults to nothing, so a listener implements only what it shows. Events are
/// delivered on the document's thread after the document's state has been updated.
class IDocumentListener {
public:
    virtual ~IDocumentListener() = default;
    /// A ping (live, played, or the current one again) went through the per-ping routine: the
    /// combined image, the profile, the timings and the status values are current.
    virtual void OnPingProcessed() {}
    virtual void OnLinkStateChanged(LinkState state) { (void)state; }
    /// The mode or Hold changed (each change told once).
    virtual void OnModeChanged(DocMode mode, bool held) {
        (void)mode;
        (void)held;
    }
    /// Real-time acquisition started: at start-up and whenever playback ends.
    virtual void OnRealTimeStarted() {}
    /// A file of `fileLength` bytes was opened for playback; playing starts at its beginning.
    virtual void OnPlaybackOpened(std::uint64_t fileLength) { (void)fileLength; }
    /// Playback moved to `percent` (0..100) of its file.
    virtual void OnPlaybackMoved(int percent) { (void)percent; }
    /// The settings were (re)loaded from the settings file.
    virtual void OnSettingsLoaded() {}
    /// A change of the settings; `change` says which groups it touched.
    virtual void OnSettingsChanged(const SettingsChange& change) { (void)change; }
    /// In real time, no new ping has come for `seconds` (2 or more) whole seconds; 0 when a new
    /// ping ends that, or when the picture is not expected to move (Hold, playback).
    virtual void OnPictureStale(int seconds) { (void)seconds; }
    /// A recording started or stopped (also by itself), or went on in a new file.
    virtual void OnRecordingChanged(const RecordingStatus& recording) { (void)recording; }
};

/// The document's listeners and the one way its events reach them. The document and its jobs
/// tell through it; listeners subscribe through the document.
class CDocumentEvents {
public:
    /// Adds a listener (not owned; it must unsubscribe before it goes). Added once.
    void Subscribe(IDocumentListener& listener) {
        if (std::find(m_listeners.begin(), m_listeners.end(), &listener) == m_listeners.end()) {
            m_listeners.push_back(&listener);
        }
    }
    void Unsubscribe(IDocumentListener& listener) { std::erase(m_listeners, &listener); }
    template <typename... Params, typename... Args>
    void Notify(void (IDocumentListener::*handler)(Params...), Args&&... args) const {
        for (IDocumentListener* listener : m_listeners) {
            (listener->*handler)(args...);
        }
    }

private:
    std::vector<IDocumentListener*> m_listeners;
};

} // namespace vexar
