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
    {1105, "Retried Blocks"},
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
    const COndrel& h = doc.PingRoutine().Head(0);
    const PingSettings& sonar = doc.Shown().Settings();
    const PingTimings& timings = doc.Shown().Timings();
    const bool playback = doc.IsPlayback();
    std::array<std::string, kDiagnosticsRows> t;
    t[0] = ":   " + h.m_headerText;
    t[1] = FormatText(":   0x%02x", h.m_headId);
    t[2] = FormatText(":   0x%02x ", h.m_status);
    t[3] = FormatText(":   0x%02x ", h.m_transducerType);
    t[4] = ":   " + RangeText(sonar.rangeM, doc.GetSettings().view.unit);
    t[5] = FormatText(":   %d dB", sonar.startGainDb);
    t[6] = playback ? FormatText(":   %d dB", doc.Shown().FileValues().startGainDb) : std::string(":   n/a");
    // The console never restricts which heads transmit: every mask bit it could show is clear.
    t[7] = FormatText(":   0x%02x", 0);
    t[8] = FormatText(":   %.1f kHz", sonar.baseFrequencyKHz + sonar.frequencyStep * 0.5);
    t[9] = FormatText(":   %d us", sonar.pulseLength * 10);
    t[10] = FormatText(":   %d", sonar.samples);
    t[11] = FormatText(":   %d msec", Rounded(timings.acquisitionTimeMs));
    t[12] = FormatText(":   %d msec", Rounded(timings.sonarTimeMs));
    t[13] = FormatText(":   %d msec", TruncToInt(static_cast<double>(timings.processingTimeMs)));
    t[14] = FormatText(":   %d msec", Rounded(timings.loopTimeMs));
    t[15] = FormatText(":   %.1f ms", static_cast<double>(timings.displayedPingPeriodMs));
    t[16] = playback ? FormatText(":   %.1f (%.1f) m/s", static_cast<double>(sonar.soundVelocity),
                                  static_cast<double>(doc.Shown().FileValues().soundVelocity))
                     : FormatText(":   %.1f (n/a) m/s", static_cast<double>(sonar.soundVelocity));
    t[17] = ":   " + doc.Live().SonarHost(doc.GetSettings().system);
    t[18] = doc.Live().Link().connected ? ":   Yes" : ":   No";
    const LinkStats& link = doc.Live().Link().stats;
    t[19] = FormatText(":   %.1f", static_cast<double>(ShownPingRate(doc)));
    t[20] = FormatText(":   %llu", static_cast<unsigned long long>(link.retries));
    t[21] = FormatText(":   %llu", static_cast<unsigned long long>(link.blockRetries));
    t[22] = FormatText(":   %llu", static_cast<unsigned long long>(link.skipped));
    t[23] = FormatText(":   %llu", static_cast<unsigned long long>(link.reconnects));
    return t;
}

} // namespace vexar
