#pragma once
// CLiveAcquisition: the real-time side of the ping cycle. It owns the link to the head (its
// thread runs beside the document), what it is asked to request, the watchdog that keeps the
// status current while no ping comes, the count of seconds the picture has gone stale, and the
// pace at which the document takes the link's pings: it rests as long as its last ping took, and
// a ping taken in turns is processed one head a turn. Each ping the link hands over enters the
// document as a PingInput with the settings it was requested with (ILiveHost).

#include "acquisition/CSonarLink.h"
#include "acquisition/DocumentTypes.h"
#include "config/SettingsValues.h"
#include "ports/Ports.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace vexar {

/// In real time, a picture without a new ping for this long is shown as stale.
inline constexpr int kStaleAfterMs = 2000;

/// What the live cycle asks of the document it feeds.
class ILiveHost {
public:
    virtual ~ILiveHost() = default;
    /// A file is played (playback or conversion), not the head.
    virtual bool Playing() const = 0;
    virtual bool Held() const = 0;
    /// What the link is to request next: the heads' packet, the address, the ping delay and the
    /// settings the pings carry (the fixes are the cycle's own).
    virtual LinkRequest NextLinkRequest() = 0;
    /// The link left the connected state: the heads' data of the last ping is not new any more.
    virtual void LinkDataLost() = 0;
    /// The raw recording the link writes may have ended by itself.
    virtual void FollowLinkRecording(const RawRecordingState& state) = 0;
    /// A ping of the link. `inTurns`: only its first fresh head is processed now; the others
    /// follow one a turn (ProcessNextHead) and the routine ends with EndTurnedPing.
    virtual void EnterLivePing(const PingInput& ping, bool inTurns) = 0;
    /// Processes the next head held back for a turn of its own; false when none is left.
    virtual bool ProcessNextHead() = 0;
    virtual void EndTurnedPing() = 0;
    /// The watchdog: no ping came for kWatchdogMs; the status is refreshed without new data.
    virtual void RefreshWithoutPing() = 0;
};

class CLiveAcquisition {
public:
    /// Without a link, a clock or a runner the console has no head: the cycle then runs only its
    /// watchdog. `chain` takes the raw records the link writes; `events` is told of the link's state
    /// and when the picture goes stale.
    CLiveAcquisition(ILiveHost& host, const DocumentPorts& ports, RecordChain& chain,
                     const CDocumentEvents& events);
    ~CLiveAcquisition();
    CLiveAcquisition(const CLiveAcquisition&) = delete;
    CLiveAcquisition& operator=(const CLiveAcquisition&) = delete;

    void SetOptions(const DocumentOptions& options) { m_options = options; }
    const LinkView& Link() const { return m_view; }
    /// The link to the head (absent without a TCP port).
    CSonarLink* SonarLink() { return m_link.get(); }
    const CSonarLink* SonarLink() const { return m_link.get(); }
    /// The live fixes each live ping takes the newest of, no older than "Nav Max Fix Age" at its
    /// request (not owned: the program owns the store and the source that feeds it, and keeps
    /// them until the document is gone). Null: live pings carry no sentence.
    void SetFixes(const CFixStore* fixes);
    /// "--sonar ADDR[:PORT]" of this run: used instead of the settings, never saved.
    void SetAddressOverride(const std::string& host, std::uint16_t port);
    /// The head's address and port in use: the settings', unless overridden for this run.
    std::string SonarHost(const SystemSettings& system) const;
    std::uint16_t SonarPort(const SystemSettings& system) const;

    /// (Re)starts the link and the watchdog.
    void Start();
    /// Stops the link (it closes its socket); a ping half processed is finished first.
    void Stop();
    /// Hands the link the next request (the settings may have changed).
    void UpdateRequest();
    /// The request of pings made with `settings` and head 0's `packet`: the address in use, the
    /// pace, the fix age, and the template their raw records are written with (`timeStamp` and
    /// `pingPeriodMs` of the ping shown). It pings unless a file is played, and not while held.
    LinkRequest RequestFor(const Settings& settings,
                           const std::array<std::uint8_t, kCommandPacketSize>& packet,
                           const std::string& timeStamp, float pingPeriodMs) const;
    /// No step of the cycle runs (a dialog is up); Resume goes on as before it. `pingDelayMs`:
    /// the pause before the link's next step.
    void Pause();
    void Resume(int pingDelayMs);
    /// Hold was set or released.
    void FollowHold(bool held);
    /// The link has news (a ping, a state change, an ended recording): runs on the document's thread.
    void OnLinkNews();
    /// The cycle's timers; false for an id that is not the cycle's.
    bool OnTimer(int timerId);

    /// Runs every turn left of a live ping processed in turns.
    void FinishTurns();
    /// Forgets a ping half processed without finishing it (the document is going).
    void DropTurns();

private:
    void StopTimer(int id);
    void ArmTimer(int id, int delayMs);
    void TakePing(const LinkPing& ping);
    void AfterPing();
    void NextTurn();
    void Watchdog();
    void RestartStaleCount(bool counting);
    void CheckPictureStale();

    ILiveHost& m_host;
    const CDocumentEvents& m_events;
    ITimerPort* m_timers;
    IClockPort* m_clock;
    ILinkRunner* m_runner;
    DocumentOptions m_options;
    std::unique_ptr<CSonarLink> m_link;
    const CFixStore* m_fixes = nullptr;
    std::string m_hostOverride;
    std::uint16_t m_portOverride = 0;
    LinkView m_view;

    std::uint64_t m_lastPingTick = 0; ///< the last live ping, or the start of acquisition
    std::uint64_t m_nextTakeTick = 0; ///< no live ping is taken before this tick
    bool m_pingInTurns = false;
    std::uint64_t m_turnWorkMs = 0; ///< the work of that ping's turns so far
};

} // namespace vexar
