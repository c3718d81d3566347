#pragma once
// CSonarLink: the TCP link to the sonar head. It runs beside the document (on a thread of its own
// in the programs): it connects and reconnects with a back-off, requests pings at the document's
// pace and retries those given up, and hands complete pings, each with the settings it was
// requested with and its fix, to the document through a small hand-off that always holds the
// newest one. The exchanges of a ping are CPingExchange's, its raw record CLinkRecorder's.
//
// Threads: Step(), the socket and the raw recording file belong to the thread that runs the
// steps. Everything marked "document's thread" may be called while a step runs; those calls
// only exchange values under the link's lock and never wait on the socket or the disk.

#include "acquisition/CLinkRecorder.h"
#include "acquisition/CPingExchange.h"
#include "acquisition/LinkPing.h"
#include "files/CDataFile.h"
#include "files/RawRecording.h"
#include "head/ReplyData.h"
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
    using PingResult = CPingExchange::Result;
    /// Takes a new request of the document's; true when there was one.
    bool TakeRequest();
    /// Exchanges one ping and follows its result; returns as Step.
    int PingOnce();
    void FollowPingResult(PingResult result, const LinkPing& ping, std::uint64_t end);

    int Connect(std::uint64_t now);
    void Disconnect();
    void LookUpFix(LinkPing& ping) const;
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
    CPingExchange m_exchange;

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
