// The document's per-ping routine: the one entry every ping takes, the heads' processing and the
// assembly of the combined image (CPingRoutine), and what follows a processed ping (profile clean-up,
// products, XYZ export, status).

#include "acquisition/CTamsorDoc.h"

namespace vexar {

// ---------------------------------------------------------------------------------------------
// The entry

void CTamsorDoc::EnterPing(const PingInput& ping, bool inTurns) {
    // The ping's own settings, never the operator's choice: that stays as it is.
    m_shown.Enter(ping, m_settings.system.useFileSlc != 0, m_settings.sonar);
    m_ping.Take(ping, m_shown.Settings().samples);
    if (inTurns) {
        BeginPing(true);
        return;
    }
    ProcessPing();
}

// ---------------------------------------------------------------------------------------------
// The per-ping routine

void CTamsorDoc::ProcessPing() {
    m_live.FinishTurns();
    BeginPing(false);
    EndPing();
}

void CTamsorDoc::BeginPing(bool holdBack) {
    // The processors compare the velocity in use with the one their steering was built for at
    // every ping, so a change of it takes effect on the next ping without a rebuild here.
    if (m_ping.PrepareTables(m_shown.Settings())) {
        m_shown.ResetGeometry();
    }
    const bool recordBytes = m_ping.HasNewPing() && m_recording.WantsBeamRows();
    if (const std::optional<float> ms = m_ping.Begin(m_shown.Settings(), holdBack, recordBytes)) {
        m_shown.Timings().processingTimeMs = *ms;
    }
}

void CTamsorDoc::EndPing() {
    m_ping.Combined().CleanProfile(m_ping.CombinedBeamCount(), m_shown.Settings().samples);
    if (m_ping.HasNewPing()) {
        m_recording.WriteProducts(m_ping.Combined(), m_shown.Record());
    }
    m_ping.Combined().StopConverting();
    if (IsPlayback()) {
        m_conversion.WritePing(m_ping.Combined().Profile().data());
    }
    RefreshStatus();
}

void CTamsorDoc::RefreshStatus() {
    m_events.Notify(&IDocumentListener::OnPingProcessed);
    m_shown.CountLoop(m_ports.clock, !IsPlayback());
    // The title shows the file being recorded and its size.
    if (std::string title = m_recording.Title(); !title.empty()) {
        SetTitle(title);
    }
}

} // namespace vexar
