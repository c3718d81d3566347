#include "acquisition/Diagnostics.h"

#include "acquisition/CTamsorDoc.h"
#include "acquisition/LinkStatus.h"
#include "common/Numeric.h"
#include "common/RangeText.h"

#include "common/TextFormat.h"

namespace vexar {

const std::array<DiagnosticsRow, kDiagnosticsRows> kDiagnosticsLayout = {{
    {1000, "Header"},
    {1001, "Head ID"},
    {1002, "Status"},
    {1017, "XdcrType"},
    {1003, "Range"},
    {1004, "Gain"},
    {1090, "Gain (From File)"},
    {1021, "Enable Xmit"},
    {1005, "Freq"},
    {1006, "Pulse Length"},
    {1018, "Data Points"},
    {1025, "Acqu Time"},
    {1024, "Sonar Time"},
    {1060, "Proc Time"},
    {1063, "Loop Time"},
    {1019, "Real Time PRF"},
    {1030, "Sound Velocity"},
    {1007, "IP Address"},
    {1023, "Connection"},
    // The link's own counters, after the rows above.
    {1101, "Pings/s"},
    {1102, "Retried Pings"},
    {1103, "Skipped Pings"},
    {1104, "Reconnects"},
}};

namespace {

int Rounded(float value) {
    return TruncToInt(static_cast<double>(value) + 0.5);
}
} // namespace

std::array<std::string, kDiagnosticsRows> InitialDiagnosticsTexts() {
    std::array<std::string, kDiagnosticsRows> texts;
    texts.fill(":   n/a");
    texts[18] = ":   No";
    return texts;
}

std::array<std::string, kDiagnosticsRows> UpdateDiagnosticsTexts(const CTamsorDoc& doc) {
    const COndrel& h = doc.Head(0);
    const bool playback = doc.m_playback != 0;
    std::array<std::string, kDiagnosticsRows> t;
    t[0] = ":   " + h.m_headerText;
    t[1] = FormatText(":   0x%02x", h.m_headId);
    t[2] = FormatText(":   0x%02x ", h.m_status);
    t[3] = FormatText(":   0x%02x ", h.m_transducerType);
    t[4] = ":   " + RangeText(h.m_rangeM, doc.m_unit);
    t[5] = FormatText(":   %d dB", doc.m_startGain);
    t[6] = playback ? FormatText(":   %d dB", doc.m_fileStartGain) : std::string(":   n/a");
    t[7] = FormatText(":   0x%02x", doc.m_transmitEnableMask);
    t[8] = FormatText(":   %.1f kHz", h.m_baseFrequencyKHz + h.m_frequencyStep * 0.5);
    t[9] = FormatText(":   %d us", h.m_pulseLength * 10);
    t[10] = FormatText(":   %d", h.m_samples);
    t[11] = FormatText(":   %d msec", Rounded(doc.m_acquisitionTimeMs));
    t[12] = FormatText(":   %d msec", Rounded(doc.m_sonarTimeMs));
    t[13] = FormatText(":   %d msec", TruncToInt(static_cast<double>(h.m_processingTimeMs)));
    t[14] = FormatText(":   %d msec", Rounded(doc.m_loopTimeMs));
    t[15] = FormatText(":   %.1f ms", static_cast<double>(doc.m_displayedPingPeriodMs));
    t[16] = playback ? FormatText(":   %.1f (%.1f) m/s", static_cast<double>(doc.m_soundVelocity),
                                  static_cast<double>(doc.m_fileSoundVelocity))
                     : FormatText(":   %.1f (n/a) m/s", static_cast<double>(doc.m_soundVelocity));
    t[17] = ":   " + doc.SonarHost();
    t[18] = doc.m_connected == 1 ? ":   Yes" : ":   No";
    const LinkStats& link = doc.m_linkStats;
    t[19] = FormatText(":   %.1f", static_cast<double>(ShownPingRate(doc)));
    t[20] = FormatText(":   %llu", static_cast<unsigned long long>(link.retries));
    t[21] = FormatText(":   %llu", static_cast<unsigned long long>(link.skipped));
    t[22] = FormatText(":   %llu", static_cast<unsigned long long>(link.reconnects));
    return t;
}

} // namespace vexar
