// The document's side of the real-time ping cycle: starting and stopping the sonar link, what it
// requests, the pings it hands over, and the watchdog that keeps the status current while no
// ping comes. The exchanges themselves run in CSonarLink, beside the document.

#include "acquisition/CTamsorDoc.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"

namespace vexar {

namespace {
void StopTimer(ITimerPort* timers, int id) {
    if (timers != nullptr) {
        timers->Stop(id);
    }
}

void ArmTimer(ITimerPort* timers, int id, int delayMs) {
    if (timers != nullptr) {
        timers->Arm(id, delayMs);
    }
}
} // namespace

void CTamsorDoc::OpenOutputSocket() {
    if (m_ports.datagrams != nullptr && !m_ports.datagrams->IsOpen()) {
        m_ports.datagrams->Open(kOutputLocalPort);
    }
}

std::string CTamsorDoc::SonarHost() const {
    return m_sonarHostOverride.empty() ? m_sonarAddress : m_sonarHostOverride;
}

std::uint16_t CTamsorDoc::SonarPort() const {
    if (m_sonarPortOverride != 0) {
        return m_sonarPortOverride;
    }
    return m_sonarPort >= 1 && m_sonarPort <= 65535 ? static_cast<std::uint16_t>(m_sonarPort) : kSonarTcpPort;
}

void CTamsorDoc::StartAcquisition() {
    StopTimer(m_ports.timers, kWatchdogTimer);
    CloseSockets();
    RefreshClockStrings();
    OpenOutputSocket();
    if (m_link) {
        UpdateLinkRequest();
        CSonarLink& link = *m_link;
        m_ports.linkRunner->Start(
            [&link] {
                return LinkStepResult{link.Step(), link.TakeNews()};
            },
            [this] { OnLinkNews(); }, [&link] { link.Shutdown(); });
    }
    m_linkState = LinkState::Connecting;
    m_pingedSinceConnect = false;
    Notify(&IDocumentListener::OnLinkStateChanged, LinkState::Connecting);
    ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
    RestartStaleCount(m_hold == 0);
}

void CTamsorDoc::CloseSockets() {
    FinishHalfDonePing();
    StopTimer(m_ports.timers, kTakePingTimer);
    if (m_link && m_ports.linkRunner->IsRunning()) {
        m_link->Abort();
        m_ports.linkRunner->Stop();
    }
    m_connected = 0;
    m_linkState = LinkState::Disconnected;
    RestartStaleCount(false); // without a link no new picture is expected
    if (m_ports.datagrams != nullptr && m_ports.datagrams->IsOpen()) {
        m_ports.datagrams->Close();
    }
}

void CTamsorDoc::UpdateLinkRequest() {
    if (!m_link) {
        return;
    }
    for (COndrel& head : m_heads) {
        head.BuildCommandPacket();
    }
    LinkRequest request;
    request.run = m_playback == 0;
    request.paused = m_hold != 0;
    request.host = SonarHost();
    request.port = SonarPort();
    request.packet = Head(0).m_commandPacket;
    request.packet[kPacketBlockByte] = 0;
    request.blocksPerPing = BlocksPerPingFor(Head(0).m_samples);
    request.pingDelayMs = m_pingDelayMs;
    m_link->SetRequest(request);
    if (m_recordRaw != 0 && m_playback == 0) {
        m_link->SetRecordTemplate(m_recorder->RawTemplate());
    }
}

void CTamsorDoc::OnLinkNews() {
    // A ping in its two turns comes first; its second turn looks for news again.
    if (!m_link || m_playback != 0 || m_pingHalfDone) {
        return;
    }
    m_linkStats = m_link->Stats();
    const LinkState state = m_link->State();
    if (state != m_linkState) {
        m_linkState = state;
        m_connected = state == LinkState::Connected ? 1 : 0;
        m_pingedSinceConnect = false;
        if (m_connected == 0) {
            for (COndrel& head : m_heads) {
                head.m_newData = 0;
            }
        }
        Notify(&IDocumentListener::OnLinkStateChanged, state);
    }
    m_recorder->FollowLinkRecording(m_link->Recording());
    // The document rests as long as its last ping took before it takes the next, so that the
    // operator's input is never queued behind a run of pings; the link keeps the newest meanwhile.
    const std::uint64_t now = m_ports.clock->TickMs();
    if (now < m_nextTakeTick) {
        ArmTimer(m_ports.timers, kTakePingTimer, static_cast<int>(m_nextTakeTick - now));
        return;
    }
    if (const LinkPing* ping = m_link->TakePing()) {
        m_ports.linkRunner->Poke(); // the link may request the next ping now
        TakeLivePing(*ping);
        const std::uint64_t done = m_ports.clock->TickMs();
        if (m_pingHalfDone) {
            m_firstTurnMs = done - now;
            return;
        }
        m_nextTakeTick = done + static_cast<std::uint64_t>(static_cast<double>(done - now) * m_restShare);
    }
}

void CTamsorDoc::FinishHalfDonePing() {
    if (!m_pingHalfDone) {
        return;
    }
    m_pingHalfDone = false;
    StopTimer(m_ports.timers, kFinishPingTimer);
    const std::uint64_t start = m_ports.clock != nullptr ? m_ports.clock->TickMs() : 0;
    ProcessHeldBackHeads();
    EndPing();
    AfterLivePing();
    // The rest counts the work of both turns, not the input served between them.
    if (m_ports.clock != nullptr) {
        const std::uint64_t done = m_ports.clock->TickMs();
        const std::uint64_t work = m_firstTurnMs + (done - start);
        m_nextTakeTick = done + static_cast<std::uint64_t>(static_cast<double>(work) * m_restShare);
        ArmTimer(m_ports.timers, kTakePingTimer, static_cast<int>(m_nextTakeTick - done));
    }
}

void CTamsorDoc::TakeLivePing(const LinkPing& ping) {
    StopTimer(m_ports.timers, kWatchdogTimer);
    // Counted before the ping is drawn, so that its picture is not shown as stale.
    m_pingedSinceConnect = true;
    RestartStaleCount(m_hold == 0);
    RefreshClockStrings(ping.startTime);
    m_sonarTimeMs = ping.sonarTimeMs;
    m_acquisitionTimeMs = ping.acquisitionTimeMs;
    for (COndrel& head : m_heads) {
        head.m_newData = 0;
    }
    // The blocks per ping follow the sample count with the next request: a ping requested with
    // another count than head 0 now has would be laid out and drawn at the wrong range scale;
    // it is dropped, and the next ping carries the new count.
    if (ping.blocksPerPing == BlocksPerPingFor(Head(0).m_samples)) {
        CompletePing(ping.payloads, ping.lastReply);
    }
    if (m_livePingInTwoTurns && m_ports.timers != nullptr) {
        BeginPing(true);
        m_pingHalfDone = true;
        ArmTimer(m_ports.timers, kFinishPingTimer, 0);
        return;
    }
    ProcessPing();
    AfterLivePing();
}

void CTamsorDoc::AfterLivePing() {
    UpdateLinkRequest();
    if (m_hold == 0) {
        ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
    }
}

void CTamsorDoc::WatchdogTimerProc() {
    StopTimer(m_ports.timers, kWatchdogTimer);
    if (m_playback != 0 || m_hold != 0) {
        return;
    }
    RefreshClockStrings();
    for (COndrel& head : m_heads) {
        head.m_newData = 0;
    }
    ProcessPing();
    ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
}

void CTamsorDoc::RestartStaleCount(bool counting) {
    StopTimer(m_ports.timers, kStaleTimer);
    if (m_staleSeconds != 0) {
        m_staleSeconds = 0;
        Notify(&IDocumentListener::OnPictureStale, 0);
    }
    if (counting && m_ports.clock != nullptr) {
        m_lastLivePingTick = m_ports.clock->TickMs();
        ArmTimer(m_ports.timers, kStaleTimer, kStaleAfterMs);
    }
}

void CTamsorDoc::CheckPictureStale() {
    StopTimer(m_ports.timers, kStaleTimer);
    if (m_playback != 0 || m_hold != 0 || m_ports.clock == nullptr) {
        return;
    }
    const std::uint64_t now = m_ports.clock->TickMs();
    const std::uint64_t since = now > m_lastLivePingTick ? now - m_lastLivePingTick : 0;
    if (since < static_cast<std::uint64_t>(kStaleAfterMs)) {
        ArmTimer(m_ports.timers, kStaleTimer, static_cast<int>(kStaleAfterMs - since));
        return;
    }
    const int seconds = static_cast<int>(since / 1000);
    if (seconds != m_staleSeconds) {
        m_staleSeconds = seconds;
        Notify(&IDocumentListener::OnPictureStale, seconds);
    }
    // Again when the count reaches the next whole second.
    ArmTimer(m_ports.timers, kStaleTimer, static_cast<int>(1000 - since % 1000));
}

void CTamsorDoc::OnTimer(int timerId) {
    if (timerId == kWatchdogTimer) {
        WatchdogTimerProc();
        return;
    }
    if (timerId == kStaleTimer) {
        CheckPictureStale();
        return;
    }
    if (timerId == kFinishPingTimer) {
        FinishHalfDonePing();
        return;
    }
    if (timerId == kTakePingTimer) {
        StopTimer(m_ports.timers, timerId);
        OnLinkNews();
        return;
    }
    StopTimer(m_ports.timers, timerId);
    if (m_playback != 0) {
        m_player->PlaybackStep();
        // The step may have ended playback (a file without data).
        if (m_playback != 0 && m_hold == 0) {
            ArmTimer(m_ports.timers, kPlaybackTimer, m_player->NextStepDelayMs());
        }
    }
}

void CTamsorDoc::OnHold() {
    StopTimer(m_ports.timers, kWatchdogTimer);
    m_hold = m_hold != 0 ? 0 : 1;
    m_holdAfterConversion = 0;
    if (m_playback == 0 && m_link) {
        // A held picture is frozen on purpose; the count starts afresh when it is released.
        RestartStaleCount(m_hold == 0);
    }
    if (m_hold == 0) {
        if (m_playback != 0) {
            m_player->RestartPace();
            ArmTimer(m_ports.timers, kPlaybackTimer, m_player->NextStepDelayMs());
        } else {
            ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
        }
    }
    if (m_playback == 0 && m_link) {
        UpdateLinkRequest();
        if (m_ports.linkRunner->IsRunning()) {
            m_ports.linkRunner->Poke(); // a held link waits for nothing else
        }
    }
}

} // namespace vexar
