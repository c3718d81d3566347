// The document's side of the real-time ping cycle: starting and stopping acquisition, what the
// link requests, the pings it hands over and what Hold and the timers mean. The link, its
// watchdog and the pace of the pings are CLiveAcquisition's; the exchanges themselves run in
// CSonarLink, beside the document.

#include "acquisition/CTamsorDoc.h"

#include <algorithm>

namespace vexar {

void CTamsorDoc::OpenOutputSocket() {
    if (m_ports.datagrams != nullptr && !m_ports.datagrams->IsOpen()) {
        m_ports.datagrams->Open(kOutputLocalPort);
    }
}

void CTamsorDoc::StartAcquisition() {
    CloseSockets();
    m_shown.SetClock(ClockNow());
    OpenOutputSocket();
    m_live.Start();
}

void CTamsorDoc::CloseSockets() {
    m_live.Stop();
    if (m_ports.datagrams != nullptr && m_ports.datagrams->IsOpen()) {
        m_ports.datagrams->Close();
    }
}

// ---------------------------------------------------------------------------------------------
// What the live cycle asks

LinkRequest CTamsorDoc::NextLinkRequest() {
    ApplyPacketRules(m_settings.sonar);
    m_ping.BuildCommandPackets(m_settings.sonar);
    LinkRequest request;
    request.run = !IsPlayback();
    request.paused = m_hold;
    request.host = m_live.SonarHost(m_settings.system);
    request.port = m_live.SonarPort(m_settings.system);
    request.packet = m_ping.Heads()[0].m_commandPacket;
    request.packet[kPacketBlockByte] = 0;
    request.blocksPerPing = BlocksPerPingFor(m_settings.sonar.samples);
    request.pingDelayMs = m_settings.system.pingDelayMs;
    request.maxFixAgeMs = static_cast<std::uint64_t>(std::max(m_settings.system.maxFixAgeMs, 0));
    // The pings of this request carry these settings, and their raw records say so.
    request.settings = m_settings.sonar;
    request.record = CRecorder::RawTemplate(RecordContext{
        &request.settings, m_shown.Clock().timeStamp, m_shown.Timings().displayedPingPeriodMs, {}});
    return request;
}

void CTamsorDoc::LinkStateChanged(LinkState state, bool dataLost) {
    if (dataLost) {
        m_ping.ForgetNewPing();
    }
    Notify(&IDocumentListener::OnLinkStateChanged, state);
}

void CTamsorDoc::FollowLinkRecording(const RawRecordingState& state) {
    m_recording.FollowLinkRecording(state);
}

void CTamsorDoc::EnterLivePing(const PingInput& ping, bool inTurns) {
    m_shown.TakeSentence(ping.sentence, m_conversion.IsActive());
    EnterPing(ping, inTurns);
}

bool CTamsorDoc::ProcessNextHead() {
    // Without a clock the turn's time is 0.
    const std::optional<float> ms = m_ping.ProcessNextHead(m_shown.Settings());
    m_shown.Timings().processingTimeMs += ms.value_or(0.0f);
    return ms.has_value();
}

void CTamsorDoc::EndTurnedPing() {
    EndPing();
}

void CTamsorDoc::RefreshWithoutPing() {
    m_shown.SetClock(ClockNow());
    m_ping.ForgetNewPing();
    ProcessPing();
}

void CTamsorDoc::PictureStale(int seconds) {
    Notify(&IDocumentListener::OnPictureStale, seconds);
}

// ---------------------------------------------------------------------------------------------
// Timers and Hold

void CTamsorDoc::OnTimer(int timerId) {
    if (m_live.OnTimer(timerId)) {
        return;
    }
    if (m_ports.timers != nullptr) {
        m_ports.timers->Stop(timerId);
    }
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
    if (IsPlayback() && !m_hold && m_ports.timers != nullptr) {
        m_ports.timers->Arm(kPlaybackTimer, m_playback.NextStepDelayMs());
    }
}

void CTamsorDoc::OnHold() {
    m_hold = !m_hold;
    m_holdAfterConversion = false;
    Notify(&IDocumentListener::OnModeChanged, m_mode, m_hold);
    if (!m_hold && IsPlayback()) {
        m_playback.Player().RestartPace();
        if (m_ports.timers != nullptr) {
            m_ports.timers->Arm(kPlaybackTimer, m_playback.NextStepDelayMs());
        }
    }
    m_live.FollowHold(m_hold);
}

} // namespace vexar
