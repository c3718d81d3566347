#pragma once
// CShownPing: what is known of the ping shown besides its samples. The settings it was made with
// (CShownPingSettings), its navigation sentence and what was parsed from it, its clock texts and
// timings, the header values of its record, and the versions that tell the picture to rebuild its
// geometry or to clear itself. The document writes it as pings enter; its programs read it.

#include "acquisition/DocumentTypes.h"
#include "acquisition/ShownPingSettings.h"
#include "config/SettingsValues.h"
#include "files/CRecorder.h"
#include "navigation/CNavigation.h"
#include "ports/Ports.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexar {

class CShownPing {
public:
    /// The head parameters of the ping shown: those it was requested with (live) or its record's
    /// header over the operator's choice (played); what does not describe how the ping was made
    /// follows the choice.
    const PingSettings& Settings() const { return m_settings.Get(); }
    /// Values of the played record's header that differ from the settings, for display.
    const FileHeaderValues& FileValues() const { return m_fileValues; }
    /// The sentence of the ping; empty when it has none.
    const std::string& NavigationSentence() const { return m_sentence; }
    /// What the records of this ping carry besides its data.
    RecordContext Record() const {
        return RecordContext{&Settings(), m_clock.timeStamp, m_timings.displayedPingPeriodMs, m_sentence};
    }
    /// Position, attitude, display texts and XYZ track parsed from the sentences.
    const CNavigation& Navigation() const { return m_navigation; }
    CNavigation& Navigation() { return m_navigation; }
    const ClockTexts& Clock() const { return m_clock; }
    const PingTimings& Timings() const { return m_timings; }
    PingTimings& Timings() { return m_timings; }
    /// Changes whenever the picture must rebuild its geometry (tables rebuilt, zoom, mode, file).
    std::uint64_t GeometryVersion() const { return m_geometryVersion; }
    /// Changes whenever the picture is to be cleared.
    std::uint64_t ClearVersion() const { return m_clearVersion; }

    /// A ping enters: its settings over the operator's `chosen` ones (`fileVelocity`: a played
    /// ping's sound velocity is its file's), its clock texts and its times.
    void Enter(const PingInput& ping, bool fileVelocity, const PingSettings& chosen);
    /// The operator's choice changed: what is not the ping's own follows it.
    void Follow(const PingSettings& chosen) { m_settings.Follow(chosen); }
    /// No ping is shown any more: the settings are the choice and no sentence is known.
    void Forget(const PingSettings& chosen);
    /// The sentence of a played ping; nothing: its record has none. `exporting`: the track of an
    /// XYZ export takes its fix.
    void TakeSentence(const std::optional<std::string_view>& sentence, bool exporting);
    /// The header values and the ping period of a played record.
    void TakeRecordValues(const FileHeaderValues& values, std::optional<float> pingPeriodMs);
    /// Rebuilds the date, time, millisecond, automatic-name and time-stamp texts from `time`.
    void SetClock(const LocalTime& time);

    /// The automatic name of a file started now (live: the clock texts are read afresh; played:
    /// the played record's time stays in them and only the name is renewed).
    const std::string& FreshAutoName(bool playing, IClockPort* clock);
    /// The automatic name of a file a roll-over starts: the current ping's in real time; a played
    /// record's time says nothing of now, so the name is read afresh.
    std::string RollOverName(bool playing, IClockPort* clock) const;
    /// The time between two status refreshes, counted at each; in real time it is also the ping
    /// period shown.
    void CountLoop(IClockPort* clock, bool live);
    /// The settings changed from `before`: a zoom, mode, orientation, mounting or an inverted head
    /// draws another picture (an inverted head swaps its halves), and what is not the ping's own
    /// follows the choice.
    void FollowSettings(const vexar::Settings& before, const vexar::Settings& now);
    void ResetGeometry() { ++m_geometryVersion; }
    void ClearPicture() { ++m_clearVersion; }

private:
    /// A new automatic name from `time`; the ping's own texts stay.
    const std::string& RenewAutoName(const LocalTime& time);

    CShownPingSettings m_settings;
    FileHeaderValues m_fileValues;
    std::string m_sentence;
    CNavigation m_navigation;
    ClockTexts m_clock;
    PingTimings m_timings;
    std::uint64_t m_geometryVersion = 1;
    std::uint64_t m_clearVersion = 0;
    std::uint64_t m_lastRefreshTick = 0;
};

} // namespace vexar
