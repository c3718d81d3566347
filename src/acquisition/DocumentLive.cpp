// The document's side of the real-time ping cycle: starting and stopping acquisition, what the
// link requests, the pings it hands over and what Hold and the timers mean. The link, its
// watchdog and the pace of the pings are CLiveAcquisition's; the exchanges themselves run in
// CSonarLink, beside the document.

#include "acquisition/CTamsorDoc.h"

namespace vexar {

void CTamsorDoc::StartAcquisition() {
    CloseSockets();
    m_shown.SetClock(ClockNow());
    m_recording.OpenOutput();
    m_live.Start();
}

void CTamsorDoc::CloseSockets() {
    m_live.Stop();
    m_recording.CloseOutput();
}

// ---------------------------------------------------------------------------------------------
// What the live cycle asks

LinkRequest CTamsorDoc::NextLinkRequest() {
    ApplyPacketRules(m_settings.sonar);
    m_ping.BuildCommandPackets(m_settings.sonar);
    return m_live.RequestFor(m_settings, m_ping.Heads()[0].m_commandPacket, m_shown.Clock().timeStamp,
                             m_shown.Timings().displayedPingPeriodMs);
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

void CTamsorDoc::RefreshWithoutPing() {
    m_shown.SetClock(ClockNow());
    m_ping.ForgetNewPing();
    ProcessPing();
}

// ---------------------------------------------------------------------------------------------
// Timers and Hold

void CTamsorDoc::OnTimer(int timerId) {
    if (!m_live.OnTimer(timerId) && !m_playback.OnTimer(timerId) && m_ports.timers != nullptr) {
        m_ports.timers->Stop(timerId);
    }
}

void CTamsorDoc::OnHold() {
    m_hold = !m_hold;
    m_holdAfterConversion = false;
    m_events.Notify(&IDocumentListener::OnModeChanged, m_mode, m_hold);
    if (!m_hold && IsPlayback()) {
        m_playback.Player().RestartPace();
        m_playback.Resume();
    }
    m_live.FollowHold(m_hold);
}

} // namespace vexar
