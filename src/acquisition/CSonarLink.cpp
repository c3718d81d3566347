#include "acquisition/CSonarLink.h"

#include "files/CRecorder.h"

#include <algorithm>

namespace vexar {

namespace {
// Completions older than this do not count towards the ping rate.
constexpr std::uint64_t kRateWindowMs = 5000;
} // namespace

// ---------------------------------------------------------------------------------------------
// Document's thread

CSonarLink::CSonarLink(ITcpLink& socket, IClockPort& clock, RecordChain& chain)
    : m_socket(socket), m_clock(clock), m_recorder(chain, m_news),
      m_exchange(socket, clock, m_abort, m_recorder) {
    for (auto& slot : m_slots) {
        slot = std::make_unique<LinkPing>();
    }
}

CSonarLink::~CSonarLink() = default;

void CSonarLink::SetRequest(const LinkRequest& request) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending = request;
    ++m_requestGeneration;
}

std::uint64_t CSonarLink::UntakenSince() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_otherReady ? std::max<std::uint64_t>(m_publishedAt, 1) : 0;
}

const LinkPing* CSonarLink::TakePing() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_otherReady) {
        return nullptr;
    }
    std::swap(m_reading, m_other);
    m_otherReady = false;
    return m_slots[static_cast<std::size_t>(m_reading)].get();
}

LinkStats CSonarLink::Stats() const {
    LinkStats stats;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        stats = m_stats;
    }
    stats.rawRecords = m_recorder.RecordsWritten();
    return stats;
}

LinkState CSonarLink::State() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

// ---------------------------------------------------------------------------------------------
// Link's thread

bool CSonarLink::TakeRequest() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_requestGeneration == m_appliedGeneration) {
        return false;
    }
    m_appliedGeneration = m_requestGeneration;
    m_request = m_pending;
    return true;
}

int CSonarLink::Step() {
    const bool changed = TakeRequest();
    m_recorder.FollowRequests();
    if (!m_request.run) {
        if (m_connected.load()) {
            Disconnect();
        }
        return kIdle;
    }
    const std::uint64_t now = m_clock.TickMs();
    if (!m_connected.load()) {
        if (now < m_nextConnectAt) {
            return static_cast<int>(m_nextConnectAt - now);
        }
        return Connect(now);
    }
    if (m_request.paused) {
        m_wasPaused = true;
        return kIdle;
    }
    if (changed && m_wasPaused) {
        // Pinging resumes as after a connect.
        m_nextPingAt = now + kConnectPingDelayMs;
    }
    m_wasPaused = false;
    if (now < m_nextPingAt) {
        return static_cast<int>(m_nextPingAt - now);
    }
    // One ping ahead of the document at most: the next is requested once the document has taken
    // the last, so that acquisition overlaps processing and the ping rate is that of the slower
    // of the two. A document that does not take it within the grace period (a busy or stalled
    // window) does not stop the pings: the newer one then replaces it, and is counted as skipped.
    if (const std::uint64_t waiting = UntakenSince(); waiting != 0 && now - waiting < kTakeGraceMs) {
        return static_cast<int>(waiting + kTakeGraceMs - now);
    }
    return PingOnce();
}

int CSonarLink::PingOnce() {
    LinkPing& ping = *m_slots[static_cast<std::size_t>(m_filling)];
    const PingResult result = m_exchange.Exchange(m_request, ping);
    if (const int retries = m_exchange.BlockRetries(); retries > 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stats.blockRetries += static_cast<std::uint64_t>(retries);
    }
    if (m_abort.load()) {
        return kIdle; // the runner is stopping: the ping was cut short on purpose
    }
    if (result == PingResult::Complete) {
        LookUpFix(ping);
    }
    FollowPingResult(result, ping, m_clock.TickMs());
    if (m_request.paused) {
        return kIdle;
    }
    const std::uint64_t after = m_clock.TickMs();
    const std::uint64_t due = m_connected.load() ? m_nextPingAt : m_nextConnectAt;
    return due > after ? static_cast<int>(due - after) : 0;
}

void CSonarLink::FollowPingResult(PingResult result, const LinkPing& ping, std::uint64_t end) {
    switch (result) {
    case PingResult::Complete:
        m_failedPings = 0;
        m_backoffMs = kReconnectBackoffMs;
        WriteRawRecord(ping);
        Publish(end);
        m_nextPingAt = end + static_cast<std::uint64_t>(std::max(m_request.pingDelayMs, 0));
        break;
    case PingResult::Incomplete: {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_failedPings < kPingRetries) {
            ++m_failedPings;
            ++m_stats.retries;
            m_nextPingAt = end + static_cast<std::uint64_t>(std::max(m_request.pingDelayMs, 0));
        } else {
            // Left to the watchdog: the cycle starts again after its period.
            m_failedPings = 0;
            m_nextPingAt = end + kWatchdogMs;
        }
        break;
    }
    case PingResult::Lost:
        Disconnect();
        m_nextConnectAt = m_lastAttemptAt + static_cast<std::uint64_t>(m_backoffMs);
        m_backoffMs = std::min(2 * m_backoffMs, kWatchdogMs);
        break;
    }
}

void CSonarLink::Shutdown() {
    Disconnect();
    m_recorder.Close();
    m_abort.store(false);
}

int CSonarLink::Connect(std::uint64_t now) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_attempted) {
            ++m_stats.reconnects;
        }
    }
    m_attempted = true;
    m_lastAttemptAt = now;
    SetState(LinkState::Connecting);
    bool connected = false;
    if (m_socket.StartConnect(m_request.host, m_request.port)) {
        // Waited for in slices: an unreachable head takes the watchdog's period to give up.
        for (;;) {
            const std::uint64_t elapsed = m_clock.TickMs() - now;
            if (m_abort.load() || elapsed >= static_cast<std::uint64_t>(kWatchdogMs)) {
                break;
            }
            const int slice = std::min(kLinkWaitSliceMs, kWatchdogMs - static_cast<int>(elapsed));
            const ITcpLink::ConnectState state = m_socket.WaitConnected(slice);
            if (state != ITcpLink::ConnectState::Pending) {
                connected = state == ITcpLink::ConnectState::Connected;
                break;
            }
        }
    }
    const std::uint64_t after = m_clock.TickMs();
    if (connected) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_stats.connections;
        }
        m_connected.store(true);
        m_failedPings = 0;
        m_exchange.Connected();
        m_nextPingAt = after + kConnectPingDelayMs;
        SetState(LinkState::Connected);
        return kConnectPingDelayMs;
    }
    m_socket.Close();
    SetState(LinkState::Disconnected);
    m_nextConnectAt = now + static_cast<std::uint64_t>(m_backoffMs);
    m_backoffMs = std::min(2 * m_backoffMs, kWatchdogMs);
    return m_nextConnectAt > after ? static_cast<int>(m_nextConnectAt - after) : 0;
}

void CSonarLink::Disconnect() {
    m_socket.Close();
    if (m_connected.exchange(false)) {
        SetState(LinkState::Disconnected);
    }
}

void CSonarLink::SetState(LinkState state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state = state;
    m_news.store(true);
}

// Looked up after the exchange, at the request's tick: every fix that arrived by then is in the
// store, and the ping's raw record, products and picture all carry this one.
void CSonarLink::LookUpFix(LinkPing& ping) const {
    ping.hasFix = m_request.fixes != nullptr &&
                  m_request.fixes->Newest(ping.requestTickMs, m_request.maxFixAgeMs, ping.fix);
}

void CSonarLink::Publish(std::uint64_t now) {
    std::lock_guard<std::mutex> lock(m_mutex);
    LinkPing& ping = *m_slots[static_cast<std::size_t>(m_filling)];
    ping.number = ++m_stats.pings;
    if (m_otherReady) {
        ++m_stats.skipped; // the document had not taken the last one: it is replaced
    }
    std::swap(m_filling, m_other);
    m_otherReady = true;
    m_publishedAt = now;
    // The ping rate over the completions of the last few seconds.
    m_completions[m_completionCount % m_completions.size()] = now;
    ++m_completionCount;
    const std::size_t held = std::min(m_completionCount, m_completions.size());
    std::uint64_t first = now;
    std::size_t counted = 0;
    for (std::size_t i = 0; i < held; ++i) {
        const std::uint64_t at = m_completions[i];
        if (now - at <= kRateWindowMs) {
            first = std::min(first, at);
            ++counted;
        }
    }
    m_stats.pingsPerSecond = counted > 1 && now > first
                                 ? static_cast<float>(counted - 1) * 1000.0f / static_cast<float>(now - first)
                                 : 0.0f;
    m_news.store(true);
}

// ---------------------------------------------------------------------------------------------
// Raw recording (link's thread)

void CSonarLink::WriteRawRecord(const LinkPing& ping) {
    if (!m_recorder.IsRecording()) {
        return;
    }
    // The ping's own fix, never the one of the ping before.
    const std::span<const std::uint8_t> sentence =
        ping.hasFix ? CRecorder::SentenceFor(RecordKind::Raw, ping.fix.sentence.View())
                    : std::span<const std::uint8_t>{};
    m_recorder.WriteRecord(m_request.record.fields, ping.blocksPerPing, ping.startTime, sentence);
}

// ---------------------------------------------------------------------------------------------
// Thread runner

CLinkThread::CLinkThread(Post post) : m_post(std::move(post)) {}

CLinkThread::~CLinkThread() {
    Stop();
}

void CLinkThread::Start(LinkStepFn step, std::function<void()> news, std::function<void()> finish) {
    Stop();
    m_step = std::move(step);
    m_news = std::move(news);
    m_finish = std::move(finish);
    m_stop = false;
    m_poked = false;
    m_thread = std::thread([this] { Run(); });
}

void CLinkThread::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void CLinkThread::Poke() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_poked = true;
    }
    m_wake.notify_one();
}

void CLinkThread::Run() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop) {
                break;
            }
            m_poked = false;
        }
        const LinkStepResult result = m_step();
        if (result.news && !m_newsPending->exchange(true)) {
            // Several news before the document looks are one: it reads the link's state as it
            // is then. The flag outlives this runner, in case the post is delivered after it.
            m_post([pending = m_newsPending, news = m_news] {
                pending->store(false);
                news();
            });
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        const auto woken = [this] { return m_stop || m_poked; };
        if (result.dueMs < 0) {
            m_wake.wait(lock, woken);
        } else if (result.dueMs > 0) {
            m_wake.wait_for(lock, std::chrono::milliseconds(result.dueMs), woken);
        }
    }
    if (m_finish) {
        m_finish();
    }
}

} // namespace vexar
