#include "acquisition/CLiveAcquisition.h"

#include "files/CRecorder.h"

#include <algorithm>

namespace vexar {

CLiveAcquisition::CLiveAcquisition(ILiveHost& host, const DocumentPorts& ports, RecordChain& chain,
                                   const CDocumentEvents& events)
    : m_host(host), m_events(events), m_timers(ports.timers), m_clock(ports.clock),
      m_runner(ports.linkRunner) {
    if (ports.link != nullptr && ports.clock != nullptr && ports.linkRunner != nullptr) {
        m_link = std::make_unique<CSonarLink>(*ports.link, *ports.clock, chain);
    }
}

CLiveAcquisition::~CLiveAcquisition() {
    // The link's thread must not outlive the link.
    if (m_link && m_runner->IsRunning()) {
        m_link->Abort();
        m_runner->Stop();
    }
}

void CLiveAcquisition::StopTimer(int id) {
    if (m_timers != nullptr) {
        m_timers->Stop(id);
    }
}

void CLiveAcquisition::ArmTimer(int id, int delayMs) {
    if (m_timers != nullptr) {
        m_timers->Arm(id, delayMs);
    }
}

// ---------------------------------------------------------------------------------------------
// Starting and stopping

void CLiveAcquisition::Start() {
    StopTimer(kWatchdogTimer);
    Stop();
    if (m_link) {
        UpdateRequest();
        CSonarLink& link = *m_link;
        m_runner->Start(
            [&link] {
                return LinkStepResult{link.Step(), link.TakeNews()};
            },
            [this] { OnLinkNews(); }, [&link] { link.Shutdown(); });
    }
    m_view.state = LinkState::Connecting;
    m_view.pingedSinceConnect = false;
    m_events.Notify(&IDocumentListener::OnLinkStateChanged, LinkState::Connecting);
    ArmTimer(kWatchdogTimer, kWatchdogMs);
    RestartStaleCount(!m_host.Held());
}

void CLiveAcquisition::Stop() {
    FinishTurns();
    StopTimer(kTakePingTimer);
    if (m_link && m_runner->IsRunning()) {
        m_link->Abort();
        m_runner->Stop();
    }
    m_view.connected = false;
    m_view.state = LinkState::Disconnected;
    RestartStaleCount(false); // without a link no new picture is expected
}

LinkRequest CLiveAcquisition::RequestFor(const Settings& settings,
                                         const std::array<std::uint8_t, kCommandPacketSize>& packet,
                                         const std::string& timeStamp, float pingPeriodMs) const {
    LinkRequest request;
    request.run = !m_host.Playing();
    request.paused = m_host.Held();
    request.host = SonarHost(settings.system);
    request.port = SonarPort(settings.system);
    request.packet = packet;
    request.packet[kPacketBlockByte] = 0;
    request.blocksPerPing = BlocksPerPingFor(settings.sonar.samples);
    request.pingDelayMs = settings.system.pingDelayMs;
    request.maxFixAgeMs = static_cast<std::uint64_t>(std::max(settings.system.maxFixAgeMs, 0));
    // The pings of this request carry these settings, and their raw records say so.
    request.settings = settings.sonar;
    request.record = CRecorder::RawTemplate(RecordContext{&request.settings, timeStamp, pingPeriodMs, {}});
    return request;
}

void CLiveAcquisition::Pause() {
    StopTimer(kWatchdogTimer);
    StopTimer(kPingTimer);
}

void CLiveAcquisition::Resume(int pingDelayMs) {
    if (m_host.Held()) {
        return;
    }
    if (m_view.connected) {
        ArmTimer(kPingTimer, pingDelayMs);
    }
    // A head that falls silent after the dialog is noticed as it would have been before it.
    ArmTimer(kWatchdogTimer, kWatchdogMs);
}

void CLiveAcquisition::UpdateRequest() {
    if (!m_link) {
        return;
    }
    LinkRequest request = m_host.NextLinkRequest();
    request.fixes = m_fixes;
    m_link->SetRequest(request);
}

void CLiveAcquisition::SetFixes(const CFixStore* fixes) {
    m_fixes = fixes;
    // A running link takes it with its next ping; one not started yet with its first request.
    if (m_runner != nullptr && m_runner->IsRunning()) {
        UpdateRequest();
    }
}

void CLiveAcquisition::SetAddressOverride(const std::string& host, std::uint16_t port) {
    m_hostOverride = host;
    m_portOverride = port;
}

std::string CLiveAcquisition::SonarHost(const SystemSettings& system) const {
    return m_hostOverride.empty() ? system.sonarAddress : m_hostOverride;
}

std::uint16_t CLiveAcquisition::SonarPort(const SystemSettings& system) const {
    if (m_portOverride != 0) {
        return m_portOverride;
    }
    const int port = system.sonarPort;
    return port >= 1 && port <= 65535 ? static_cast<std::uint16_t>(port) : kSonarTcpPort;
}

void CLiveAcquisition::FollowHold(bool held) {
    StopTimer(kWatchdogTimer);
    const bool live = !m_host.Playing() && m_link;
    if (live) {
        // A held picture is frozen on purpose; the count starts afresh when it is released.
        RestartStaleCount(!held);
    }
    if (!held && !m_host.Playing()) {
        ArmTimer(kWatchdogTimer, kWatchdogMs);
    }
    if (live) {
        UpdateRequest();
        if (m_runner->IsRunning()) {
            m_runner->Poke(); // a held link waits for nothing else
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Pings

void CLiveAcquisition::OnLinkNews() {
    // A ping in its turns comes first; its last turn looks for news again.
    if (!m_link || m_host.Playing() || m_pingInTurns) {
        return;
    }
    m_view.stats = m_link->Stats();
    const LinkState state = m_link->State();
    if (state != m_view.state) {
        m_view.state = state;
        m_view.connected = state == LinkState::Connected;
        m_view.pingedSinceConnect = false;
        if (!m_view.connected) {
            m_host.LinkDataLost();
        }
        m_events.Notify(&IDocumentListener::OnLinkStateChanged, state);
    }
    m_host.FollowLinkRecording(m_link->Recording());
    // The document rests as long as its last ping took before it takes the next, so that the
    // operator's input is never queued behind a run of pings; the link keeps the newest meanwhile.
    const std::uint64_t now = m_clock->TickMs();
    if (now < m_nextTakeTick) {
        ArmTimer(kTakePingTimer, static_cast<int>(m_nextTakeTick - now));
        return;
    }
    if (const LinkPing* ping = m_link->TakePing()) {
        m_runner->Poke(); // the link may request the next ping now
        TakePing(*ping);
        const std::uint64_t done = m_clock->TickMs();
        if (m_pingInTurns) {
            m_turnWorkMs = done - now;
            return;
        }
        m_nextTakeTick =
            done + static_cast<std::uint64_t>(static_cast<double>(done - now) * m_options.restShare);
    }
}

void CLiveAcquisition::TakePing(const LinkPing& ping) {
    StopTimer(kWatchdogTimer);
    // Counted before the ping is drawn, so that its picture is not shown as stale.
    m_view.pingedSinceConnect = true;
    RestartStaleCount(!m_host.Held());
    PingInput input;
    input.payloads = &ping.payloads;
    input.lastReply = &ping.lastReply;
    input.blocksPerPing = ping.blocksPerPing;
    input.settings = ping.settings;
    input.requestTime = ping.startTime;
    input.sonarTimeMs = ping.sonarTimeMs;
    input.acquisitionTimeMs = ping.acquisitionTimeMs;
    // The fix the link looked up for this ping and wrote into its raw record.
    if (ping.hasFix) {
        input.sentence = ping.fix.sentence.View();
    }
    const bool inTurns = m_options.livePingInTurns && m_timers != nullptr;
    m_host.EnterLivePing(input, inTurns);
    if (inTurns) {
        m_pingInTurns = true;
        m_turnWorkMs = 0;
        ArmTimer(kFinishPingTimer, 0);
        return;
    }
    AfterPing();
}

void CLiveAcquisition::AfterPing() {
    UpdateRequest();
    if (!m_host.Held()) {
        ArmTimer(kWatchdogTimer, kWatchdogMs);
    }
}

void CLiveAcquisition::FinishTurns() {
    while (m_pingInTurns) {
        NextTurn();
    }
}

void CLiveAcquisition::DropTurns() {
    m_pingInTurns = false;
    StopTimer(kFinishPingTimer);
}

void CLiveAcquisition::NextTurn() {
    if (!m_pingInTurns) {
        return;
    }
    StopTimer(kFinishPingTimer);
    const std::uint64_t start = m_clock != nullptr ? m_clock->TickMs() : 0;
    if (m_host.ProcessNextHead()) {
        // One head a turn: the input and the timers are served before the next.
        m_turnWorkMs += (m_clock != nullptr ? m_clock->TickMs() : 0) - start;
        ArmTimer(kFinishPingTimer, 0);
        return;
    }
    m_pingInTurns = false;
    m_host.EndTurnedPing();
    AfterPing();
    // The rest counts the work of every turn, not the input served between them.
    if (m_clock != nullptr) {
        const std::uint64_t done = m_clock->TickMs();
        const std::uint64_t work = m_turnWorkMs + (done - start);
        m_nextTakeTick = done + static_cast<std::uint64_t>(static_cast<double>(work) * m_options.restShare);
        ArmTimer(kTakePingTimer, static_cast<int>(m_nextTakeTick - done));
    }
}

// ---------------------------------------------------------------------------------------------
// The watchdog and the stale picture

void CLiveAcquisition::Watchdog() {
    StopTimer(kWatchdogTimer);
    if (m_host.Playing() || m_host.Held()) {
        return;
    }
    m_host.RefreshWithoutPing();
    ArmTimer(kWatchdogTimer, kWatchdogMs);
}

void CLiveAcquisition::RestartStaleCount(bool counting) {
    StopTimer(kStaleTimer);
    if (m_view.staleSeconds != 0) {
        m_view.staleSeconds = 0;
        m_events.Notify(&IDocumentListener::OnPictureStale, 0);
    }
    if (counting && m_clock != nullptr) {
        m_lastPingTick = m_clock->TickMs();
        ArmTimer(kStaleTimer, kStaleAfterMs);
    }
}

void CLiveAcquisition::CheckPictureStale() {
    StopTimer(kStaleTimer);
    if (m_host.Playing() || m_host.Held() || m_clock == nullptr) {
        return;
    }
    const std::uint64_t now = m_clock->TickMs();
    const std::uint64_t since = now > m_lastPingTick ? now - m_lastPingTick : 0;
    if (since < static_cast<std::uint64_t>(kStaleAfterMs)) {
        ArmTimer(kStaleTimer, static_cast<int>(kStaleAfterMs - since));
        return;
    }
    const int seconds = static_cast<int>(since / 1000);
    if (seconds != m_view.staleSeconds) {
        m_view.staleSeconds = seconds;
        m_events.Notify(&IDocumentListener::OnPictureStale, seconds);
    }
    // Again when the count reaches the next whole second.
    ArmTimer(kStaleTimer, static_cast<int>(1000 - since % 1000));
}

bool CLiveAcquisition::OnTimer(int timerId) {
    switch (timerId) {
    case kWatchdogTimer:
        Watchdog();
        return true;
    case kStaleTimer:
        CheckPictureStale();
        return true;
    case kFinishPingTimer:
        NextTurn();
        return true;
    case kTakePingTimer:
        StopTimer(timerId);
        OnLinkNews();
        return true;
    default:
        return false;
    }
}

} // namespace vexar
