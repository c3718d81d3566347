// The document's side of the real-time ping cycle: starting and stopping the sonar link, what it
// requests, the pings it hands over, and the watchdog that keeps the status current while no
// ping comes. The exchanges themselves run in CSonarLink, beside the document.

#include "acquisition/CTamsorDoc.h"

#include <algorithm>

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

void CTamsorDoc::StartAcquisition() {
    StopTimer(m_ports.timers, kWatchdogTimer);
    CloseSockets();
    RefreshClockStrings();
    OpenOutputSocket();
    if (m_sonarLink) {
        UpdateLinkRequest();
        CSonarLink& link = *m_sonarLink;
        m_ports.linkRunner->Start(
            [&link] {
                return LinkStepResult{link.Step(), link.TakeNews()};
            },
            [this] { OnLinkNews(); }, [&link] { link.Shutdown(); });
    }
    m_link.state = LinkState::Connecting;
    m_link.pingedSinceConnect = false;
    Notify(&IDocumentListener::OnLinkStateChanged, LinkState::Connecting);
    ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
    RestartStaleCount(!m_hold);
}

void CTamsorDoc::CloseSockets() {
    FinishHalfDonePing();
    StopTimer(m_ports.timers, kTakePingTimer);
    if (m_sonarLink && m_ports.linkRunner->IsRunning()) {
        m_sonarLink->Abort();
        m_ports.linkRunner->Stop();
    }
    m_link.connected = false;
    m_link.state = LinkState::Disconnected;
    RestartStaleCount(false); // without a link no new picture is expected
    if (m_ports.datagrams != nullptr && m_ports.datagrams->IsOpen()) {
        m_ports.datagrams->Close();
    }
}

void CTamsorDoc::UpdateLinkRequest() {
    if (!m_sonarLink) {
        return;
    }
    ApplyPacketRules(m_settings.sonar);
    for (COndrel& head : m_heads) {
        head.BuildCommandPacket(m_settings.sonar);
    }
    LinkRequest request;
    request.run = !IsPlayback();
    request.paused = m_hold;
    request.host = SonarHost();
    request.port = SonarPort();
    request.packet = m_heads[0].m_commandPacket;
    request.packet[kPacketBlockByte] = 0;
    request.blocksPerPing = BlocksPerPingFor(m_settings.sonar.samples);
    request.pingDelayMs = System().pingDelayMs;
    request.fixes = m_liveFixes;
    request.maxFixAgeMs = static_cast<std::uint64_t>(std::max(System().maxFixAgeMs, 0));
    // The pings of this request carry these settings, and their raw records say so.
    request.settings = m_settings.sonar;
    request.record = CRecorder::RawTemplate(
        RecordContext{&request.settings, m_clock.timeStamp, m_timings.displayedPingPeriodMs, {}});
    m_sonarLink->SetRequest(request);
}

void CTamsorDoc::SetLiveFixes(const CFixStore* fixes) {
    m_liveFixes = fixes;
    // A running link takes it with its next ping; one not started yet with its first request.
    if (m_ports.linkRunner != nullptr && m_ports.linkRunner->IsRunning()) {
        UpdateLinkRequest();
    }
}

void CTamsorDoc::OnLinkNews() {
    // A ping in its turns comes first; its last turn looks for news again.
    if (!m_sonarLink || IsPlayback() || m_pingInTurns) {
        return;
    }
    m_link.stats = m_sonarLink->Stats();
    const LinkState state = m_sonarLink->State();
    if (state != m_link.state) {
        m_link.state = state;
        m_link.connected = state == LinkState::Connected;
        m_link.pingedSinceConnect = false;
        if (!m_link.connected) {
            for (COndrel& head : m_heads) {
                head.m_newData = 0;
            }
        }
        Notify(&IDocumentListener::OnLinkStateChanged, state);
    }
    FollowLinkRecording(m_sonarLink->Recording());
    // The document rests as long as its last ping took before it takes the next, so that the
    // operator's input is never queued behind a run of pings; the link keeps the newest meanwhile.
    const std::uint64_t now = m_ports.clock->TickMs();
    if (now < m_nextTakeTick) {
        ArmTimer(m_ports.timers, kTakePingTimer, static_cast<int>(m_nextTakeTick - now));
        return;
    }
    if (const LinkPing* ping = m_sonarLink->TakePing()) {
        m_ports.linkRunner->Poke(); // the link may request the next ping now
        TakeLivePing(*ping);
        const std::uint64_t done = m_ports.clock->TickMs();
        if (m_pingInTurns) {
            m_turnWorkMs = done - now;
            return;
        }
        m_nextTakeTick =
            done + static_cast<std::uint64_t>(static_cast<double>(done - now) * m_options.restShare);
    }
}

void CTamsorDoc::FinishHalfDonePing() {
    while (m_pingInTurns) {
        NextPingTurn();
    }
}

void CTamsorDoc::NextPingTurn() {
    if (!m_pingInTurns) {
        return;
    }
    StopTimer(m_ports.timers, kFinishPingTimer);
    const std::uint64_t start = m_ports.clock != nullptr ? m_ports.clock->TickMs() : 0;
    if (ProcessHeldBackHead()) {
        // One head a turn: the input and the timers are served before the next.
        m_turnWorkMs += (m_ports.clock != nullptr ? m_ports.clock->TickMs() : 0) - start;
        ArmTimer(m_ports.timers, kFinishPingTimer, 0);
        return;
    }
    m_pingInTurns = false;
    EndPing();
    AfterLivePing();
    // The rest counts the work of every turn, not the input served between them.
    if (m_ports.clock != nullptr) {
        const std::uint64_t done = m_ports.clock->TickMs();
        const std::uint64_t work = m_turnWorkMs + (done - start);
        m_nextTakeTick = done + static_cast<std::uint64_t>(static_cast<double>(work) * m_options.restShare);
        ArmTimer(m_ports.timers, kTakePingTimer, static_cast<int>(m_nextTakeTick - done));
    }
}

void CTamsorDoc::TakeLivePing(const LinkPing& ping) {
    StopTimer(m_ports.timers, kWatchdogTimer);
    // Counted before the ping is drawn, so that its picture is not shown as stale.
    m_link.pingedSinceConnect = true;
    RestartStaleCount(!m_hold);
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
    TakeSentence(input.sentence);
    EnterPing(input);
    if (!m_pingInTurns) {
        AfterLivePing();
    }
}

void CTamsorDoc::AfterLivePing() {
    UpdateLinkRequest();
    if (!m_hold) {
        ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
    }
}

void CTamsorDoc::WatchdogTimerProc() {
    StopTimer(m_ports.timers, kWatchdogTimer);
    if (IsPlayback() || m_hold) {
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
    if (m_link.staleSeconds != 0) {
        m_link.staleSeconds = 0;
        Notify(&IDocumentListener::OnPictureStale, 0);
    }
    if (counting && m_ports.clock != nullptr) {
        m_lastLivePingTick = m_ports.clock->TickMs();
        ArmTimer(m_ports.timers, kStaleTimer, kStaleAfterMs);
    }
}

void CTamsorDoc::CheckPictureStale() {
    StopTimer(m_ports.timers, kStaleTimer);
    if (IsPlayback() || m_hold || m_ports.clock == nullptr) {
        return;
    }
    const std::uint64_t now = m_ports.clock->TickMs();
    const std::uint64_t since = now > m_lastLivePingTick ? now - m_lastLivePingTick : 0;
    if (since < static_cast<std::uint64_t>(kStaleAfterMs)) {
        ArmTimer(m_ports.timers, kStaleTimer, static_cast<int>(kStaleAfterMs - since));
        return;
    }
    const int seconds = static_cast<int>(since / 1000);
    if (seconds != m_link.staleSeconds) {
        m_link.staleSeconds = seconds;
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
        NextPingTurn();
        return;
    }
    if (timerId == kTakePingTimer) {
        StopTimer(m_ports.timers, timerId);
        OnLinkNews();
        return;
    }
    StopTimer(m_ports.timers, timerId);
    if (timerId == kPlaybackTimer) {
        OnPlaybackTimer();
    }
}

void CTamsorDoc::OnPlaybackTimer() {
    if (!IsPlayback()) {
        return;
    }
    m_playback.Step();
    // The step may have ended playback (a file without data).
    if (IsPlayback() && !m_hold) {
        ArmTimer(m_ports.timers, kPlaybackTimer, m_playback.NextStepDelayMs());
    }
}

void CTamsorDoc::OnHold() {
    StopTimer(m_ports.timers, kWatchdogTimer);
    m_hold = !m_hold;
    m_holdAfterConversion = false;
    Notify(&IDocumentListener::OnModeChanged, m_mode, m_hold);
    const bool live = !IsPlayback() && m_sonarLink;
    if (live) {
        // A held picture is frozen on purpose; the count starts afresh when it is released.
        RestartStaleCount(!m_hold);
    }
    if (!m_hold) {
        if (IsPlayback()) {
            m_playback.Player().RestartPace();
            ArmTimer(m_ports.timers, kPlaybackTimer, m_playback.NextStepDelayMs());
        } else {
            ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
        }
    }
    if (live) {
        UpdateLinkRequest();
        if (m_ports.linkRunner->IsRunning()) {
            m_ports.linkRunner->Poke(); // a held link waits for nothing else
        }
    }
}

} // namespace vexar
