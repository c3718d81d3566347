// The document's per-ping routine: the one entry every ping takes, the heads' processing and the
// assembly of the combined image (CPingRoutine), and what follows a processed ping (profile clean-up,
// products, XYZ export, status).

#include "acquisition/CTamsorDoc.h"

#include <cstdio>

namespace vexar {

namespace {
OutputTarget OutputOf(const SystemSettings& system) {
    return OutputTarget{system.udpOutputPoint != 0, system.udpOutputBeam != 0, system.outputAddress,
                        system.outputPort};
}
} // namespace

// ---------------------------------------------------------------------------------------------
// The entry

void CTamsorDoc::EnterPing(const PingInput& ping) {
    EnterPing(ping, false);
}

void CTamsorDoc::EnterPing(const PingInput& ping, bool inTurns) {
    // The ping's own settings, never the operator's choice: that stays as it is.
    const PingSettings before = Sonar();
    const PingOrigin origin = ping.requestTime   ? PingOrigin::Live
                              : ping.recordTexts ? PingOrigin::Played
                                                 : PingOrigin::Whole;
    m_shown.Enter(ping.settings, origin, System().useFileSlc != 0, m_settings.sonar);
    if (Sonar().transducerUp != before.transducerUp || Sonar().displayMode != before.displayMode) {
        ResetPictureGeometry();
    }
    if (ping.requestTime) {
        RefreshClockStrings(*ping.requestTime);
        m_timings.sonarTimeMs = ping.sonarTimeMs;
        m_timings.acquisitionTimeMs = ping.acquisitionTimeMs;
        for (COndrel& head : m_ping.Heads()) {
            head.m_newData = 0;
        }
    } else if (ping.recordTexts) {
        m_clock.date = ping.recordTexts->date;
        m_clock.time = ping.recordTexts->time;
        m_clock.millisecond = ping.recordTexts->millisecond;
        m_clock.timeStamp = ping.recordTexts->timeStamp;
    }
    // A ping laid out for another sample count than its settings say would be drawn at the wrong
    // range scale; it is dropped.
    const bool whole = ping.blocksPerPing == 0 || ping.blocksPerPing == BlocksPerPingFor(Sonar().samples);
    if (ping.payloads != nullptr && ping.lastReply != nullptr && whole) {
        CompletePing(*ping.payloads, *ping.lastReply);
    }
    if (inTurns) {
        BeginPing(true);
        return;
    }
    ProcessPing();
}

void CTamsorDoc::CompletePing(const PingBuffer& payloads, const ReplyBlock& lastReply) {
    m_ping.Complete(payloads, lastReply, Sonar().samples);
}

// ---------------------------------------------------------------------------------------------
// The per-ping routine

void CTamsorDoc::ProcessPing() {
    m_live.FinishTurns();
    BeginPing(false);
    EndPing();
}

void CTamsorDoc::CheckProcessingTables() {
    // The processors compare the velocity in use with the one their steering was built for at
    // every ping, so a change of it takes effect on the next ping without a rebuild here.
    if (m_ping.PrepareTables(Sonar())) {
        ResetPictureGeometry();
    }
}

void CTamsorDoc::BeginPing(bool holdBack) {
    CheckProcessingTables();
    const bool recordBytes = m_ping.Heads()[0].m_newData != 0 &&
                             m_recording.Recorder().WantsRecord(RecordKind::Beam, OutputOf(System()));
    if (const std::optional<float> ms = m_ping.Begin(Sonar(), holdBack, recordBytes)) {
        m_timings.processingTimeMs = *ms;
    }
}

void CTamsorDoc::EndPing() {
    m_ping.Combined().CleanProfile(m_ping.CombinedBeamCount(), Sonar().samples);
    if (m_ping.Heads()[0].m_newData != 0) {
        WriteProducts();
    }
    m_ping.Combined().StopConverting();
    if (IsPlayback() && m_xyz.IsActive() && m_xyz.IsWriting()) {
        m_xyz.WritePing(m_navigation, XyzPing{&Sonar(), m_ping.Combined().Profile().data(), m_clock.date,
                                              m_clock.time, m_clock.millisecond, m_clock.timeStamp,
                                              m_settings.mounting, m_settings.system.maxFixAgeMs});
    }
    RefreshStatus();
}

RecordContext CTamsorDoc::PingRecordContext() const {
    return RecordContext{&Sonar(), m_clock.timeStamp, m_timings.displayedPingPeriodMs, m_navigationSentence};
}

void CTamsorDoc::WriteProducts() {
    PingProducts products;
    products.context = PingRecordContext();
    products.combinedImage = m_ping.Combined().Image().data();
    products.combinedProfile = m_ping.Combined().Profile().data();
    products.convertedSamples = m_ping.Combined().ConvertedSamples();
    if (products.convertedSamples > 0) {
        products.convertedRows = m_ping.Combined().ConvertedRows();
    }
    products.output = OutputOf(System());
    m_recording.Recorder().BuildProducts(products);
}

void CTamsorDoc::RefreshStatus() {
    Notify(&IDocumentListener::OnPingProcessed);
    if (m_ports.clock != nullptr) {
        const std::uint64_t now = m_ports.clock->TickMs();
        if (m_lastRefreshTick != 0 && now > m_lastRefreshTick) {
            m_timings.loopTimeMs = static_cast<float>(now - m_lastRefreshTick);
        }
        m_lastRefreshTick = now;
    }
    if (!IsPlayback()) {
        m_timings.displayedPingPeriodMs = m_timings.loopTimeMs;
    }
    // The title shows the file being recorded and its size.
    if (const RecordingStatus recording = m_recording.Current(); recording.active) {
        char size[64];
        std::snprintf(size, sizeof size, "%.1f M Bytes", static_cast<double>(recording.bytes) / 1048576.0);
        SetTitle(recording.path + "    ___" + size);
    }
}

// ---------------------------------------------------------------------------------------------
// Clock strings

void CTamsorDoc::RefreshClockStrings() {
    RefreshClockStrings(m_ports.clock != nullptr ? m_ports.clock->Now() : LocalTime{});
}

void CTamsorDoc::RefreshClockStrings(const LocalTime& t) {
    static constexpr std::array<const char*, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                            "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const char* month = (t.month >= 1 && t.month <= 12) ? kMonths[static_cast<std::size_t>(t.month - 1)] : "";
    char text[64];
    std::snprintf(text, sizeof text, "%02d-%s-%04d", t.day, month, t.year);
    m_clock.date = text;
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    m_clock.time = text;
    std::snprintf(text, sizeof text, "%03d", t.millisecond);
    m_clock.millisecond = text;
    m_clock.autoName = FormatAutoName(t);
    m_clock.timeStamp = FormatTimeStamp(t);
}

} // namespace vexar
