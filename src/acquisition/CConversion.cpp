#include "acquisition/CConversion.h"

namespace vexar {

CConversion::CConversion(IConversionHost& host, const CPlayback& playback, CShownPing& shown,
                         const Settings& settings, IOperatorPort* op, ITimerPort* timers)
    : m_host(host), m_playback(playback), m_shown(shown), m_settings(settings), m_timers(timers), m_xyz(op) {}

bool CConversion::Start(const std::string& outputPath) {
    const CPlayer& player = m_playback.Player();
    const std::string played = player.IsOpen() ? player.Path() : std::string();
    const std::string path = outputPath.empty() ? CompanionXyzPath(played) : outputPath;
    const bool started = m_xyz.StartToFile(path, played, m_shown.Navigation());
    if (!m_host.Playing()) {
        return started;
    }
    // A conversion plays its file to the end: a held playback goes on.
    const bool wasHeld = m_host.Held();
    m_host.EnterConversion(true);
    if (wasHeld && m_timers != nullptr && !m_timers->IsArmed(kPlaybackTimer)) {
        m_timers->Arm(kPlaybackTimer, m_settings.system.sleepTimeMs);
    }
    return started;
}

void CConversion::StartToSink(IMapPointSink& sink) {
    m_xyz.StartToSink(sink, m_shown.Navigation());
    if (m_host.Playing()) {
        m_host.EnterConversion(false);
    }
}

void CConversion::WritePing(const float* profile) {
    if (!m_xyz.IsActive() || !m_xyz.IsWriting()) {
        return;
    }
    const ClockTexts& clock = m_shown.Clock();
    m_xyz.WritePing(m_shown.Navigation(),
                    XyzPing{&m_shown.Settings(), profile, clock.date, clock.time, clock.millisecond,
                            clock.timeStamp, m_settings.mounting, m_settings.system.maxFixAgeMs});
}

std::optional<StepResult> CConversion::PassEnded() {
    if (!IsActive() || m_playback.Player().PassPlayedNothing()) {
        return std::nullopt;
    }
    Finish();
    return StepResult::AtEnd;
}

XyzExportResult CConversion::Finish() {
    // An export to a sink ends with its owner, which closes the output and tells the result.
    const bool holds = !m_xyz.HasSink() && (m_xyz.IsActive() || m_xyz.IsWriting());
    const XyzExportResult result = m_xyz.Finish(m_shown.Navigation());
    if (!holds) {
        return result;
    }
    if (m_timers != nullptr) {
        m_timers->Stop(kPlaybackTimer);
    }
    // The timer handler re-arms after every step unless playback holds: stay on the last ping
    // instead of replaying the file without writing. "Real Time" releases this Hold.
    if (m_host.Playing()) {
        m_host.HoldAfterConversion(m_playback.Player().IsLooping());
    }
    return result;
}

} // namespace vexar
