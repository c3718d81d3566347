#pragma once
// CSonarLink: the TCP link to the sonar head and the exchanges of each ping. It runs beside the
// document (on a thread of its own in the programs): it connects and reconnects with a back-off,
// requests pings, collects the 1034-byte replies, checks them and asks again for a block whose
// reply fails, times the exchange, writes raw records of whole pings, and hands complete pings,
// each with the settings it was requested with, to the document through a small hand-off that
// always holds the newest one. The raw records of whole pings are CLinkRecorder's.
//
// Threads: Step(), the socket and the raw recording file belong to the thread that runs the
// steps. Everything marked "document's thread" may be called while a step runs; those calls
// only exchange values under the link's lock and never wait on the socket or the disk.

#include "acquisition/CLinkRecorder.h"
#include "acquisition/ReplyWait.h"
#include "files/CDataFile.h"
#include "files/RawRecording.h"
#include "files/RecordHeader.h"
#include "head/PingSettings.h"
#include "head/ReplyData.h"
#include "navigation/CFixStore.h"
#include "ports/Ports.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

/// Counters of the link since it was created.
struct LinkStats {
    std::uint64_t pings = 0;        ///< complete pings
    std::uint64_t retries = 0;      ///< pings requested again after one was given up
    std::uint64_t blockRetries = 0; ///< blocks requested again after a reply that failed its checks
    std::uint64_t skipped = 0;      ///< complete pings replaced by a newer one before the document took them
    std::uint64_t reconnects = 0;   ///< connection attempts after the first
    std::uint64_t connections = 0;  ///< connections the head accepted
    float pingsPerSecond = 0.0f;    ///< over the last few seconds
    std::uint64_t rawRecords = 0;   ///< raw records written since the link was created
};

class CSonarLink {
public:
    /// Returned by Step when nothing is due until the request changes.
    static constexpr int kIdle = -1;

    CSonarLink(ITcpLink& socket, IClockPort& clock, RecordChain& chain);
    ~CSonarLink();
    CSonarLink(const CSonarLink&) = delete;
    CSonarLink& operator=(const CSonarLink&) = delete;

    // ---- Document's thread ----
    void SetRequest(const LinkRequest& request);
    /// Raw records of the pings from the next one on: the file is opened by the document and
    /// handed over; each record's header is that of its ping's request.
    void StartRecording(CDataFile&& file, const RawRecordingRequest& request) {
        m_recorder.Start(std::move(file), request);
    }
    /// Ends the recording between two pings; the file is closed by the step that follows.
    void StopRecording() { m_recorder.Stop(); }
    RawRecordingState Recording() const { return m_recorder.State(); }
    /// The newest complete ping, if one came since the last take; it stays valid until the
    /// next take. The link requests its next ping once this one is taken (poke the runner).
    const LinkPing* TakePing();
    bool IsConnected() const { return m_connected.load(); }
    LinkState State() const;
    LinkStats Stats() const;
    /// Makes a step that waits on the socket return soon (the runner is stopping).
    void Abort() { m_abort.store(true); }

    // ---- Link's thread ----
    /// Does what is due now (a connection attempt or one ping) and returns the milliseconds
    /// until the next step is due, or kIdle.
    int Step();
    /// Closes the socket and any recording (when the runner stops).
    void Shutdown();
    /// Set by Step when the document should look at the link (a ping, a state change, an
    /// ended recording); read and cleared by the runner.
    bool TakeNews() { return m_news.exchange(false); }

private:
    enum class PingResult { Complete, Incomplete, Lost };
    enum class BlockResult { Good, Failed, TimedOut, Lost };
    /// Takes a new request of the document's; true when there was one.
    bool TakeRequest();
    /// Exchanges one ping and follows its result; returns as Step.
    int PingOnce();
    void FollowPingResult(PingResult result, const LinkPing& ping, std::uint64_t end);

    int Connect(std::uint64_t now);
    void Disconnect();
    PingResult ExchangePing(LinkPing& ping);
    /// One request of a block and its reply, checked; `repeated`: the block was requested before.
    BlockResult ExchangeBlock(int block, bool repeated);
    /// The reply of an earlier block of this ping, to a request that was repeated: it came late
    /// and is passed over.
    bool IsLateReply(int block) const;
    /// Makes the first block's late reply the ping's first block (its payload, its header and
    /// its packet pair in the raw record).
    void TakeNewerFirst(PingBuffer& payloads);
    void CountBlockRetry();
    void LookUpFix(LinkPing& ping) const;
    static constexpr int kNotFromHead = -1;
    int ReceiveBlock(ReplyBlock& reply, int waitUs, const std::array<std::uint8_t, kReplyHeaderSize>* head);
    void DiscardPending();
    void Publish(std::uint64_t now);
    /// When the ping the document has not taken yet was published; 0 when there is none.
    std::uint64_t UntakenSince() const;
    void WriteRawRecord(const LinkPing& ping);
    void SetState(LinkState state);

    ITcpLink& m_socket;
    IClockPort& m_clock;
    std::atomic<bool> m_abort{false};
    std::atomic<bool> m_news{false};
    std::atomic<bool> m_connected{false};
    CLinkRecorder m_recorder;

    // Shared with the document's thread (m_mutex).
    mutable std::mutex m_mutex;
    LinkRequest m_pending;
    std::uint64_t m_requestGeneration = 0;
    LinkStats m_stats;
    LinkState m_state = LinkState::Disconnected;
    // Hand-off: the link fills m_slots[m_filling], the document reads m_slots[m_reading], and
    // m_slots[m_other] holds the newest complete ping when m_otherReady.
    std::array<std::unique_ptr<LinkPing>, 3> m_slots;
    int m_filling = 0;
    int m_other = 1;
    int m_reading = 2;
    bool m_otherReady = false;
    std::uint64_t m_publishedAt = 0;

    // The link's own (its thread).
    LinkRequest m_request;
    std::uint64_t m_appliedGeneration = 0;
    bool m_attempted = false;
    bool m_wasPaused = false;
    std::uint64_t m_lastAttemptAt = 0;
    std::uint64_t m_nextConnectAt = 0;
    std::uint64_t m_nextPingAt = 0;
    int m_backoffMs = kReconnectBackoffMs;
    int m_failedPings = 0;
    std::array<std::uint8_t, kCommandPacketSize> m_packet{};
    ReplyBlock m_reply{};
    CReplyWait m_replyWait;
    /// The header of the ping's first block: every other reply names the same head, and so do
    /// the replies of the next pings on this connection once one ping was whole (m_headKnown).
    std::array<std::uint8_t, kReplyHeaderSize> m_pingHeader{};
    bool m_headKnown = false;
    ReplyBlock m_newerFirst{}; ///< a later reply to the ping's first block, to be taken
    bool m_hasNewerFirst = false;
    std::array<std::uint64_t, 16> m_completions{};
    std::size_t m_completionCount = 0;
};

/// Runs a link's steps on a thread of its own. News goes to the document through `post`, which
/// must run its function on the document's thread later (several news may arrive as one).
class CLinkThread final : public ILinkRunner {
public:
    using Post = std::function<void(std::function<void()>)>;
    explicit CLinkThread(Post post);
    ~CLinkThread() override;
    CLinkThread(const CLinkThread&) = delete;
    CLinkThread& operator=(const CLinkThread&) = delete;

    void Start(LinkStepFn step, std::function<void()> news, std::function<void()> finish) override;
    void Stop() override;
    void Poke() override;
    bool IsRunning() const override { return m_thread.joinable(); }

private:
    void Run();

    Post m_post;
    LinkStepFn m_step;
    std::function<void()> m_news;
    std::function<void()> m_finish;
    std::shared_ptr<std::atomic<bool>> m_newsPending = std::make_shared<std::atomic<bool>>(false);
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_poked = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace vexar
