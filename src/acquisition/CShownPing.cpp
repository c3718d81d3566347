#include "acquisition/CShownPing.h"

#include "files/CRecorder.h"

#include <array>
#include <cstdio>

namespace vexar {

void CShownPing::Enter(const PingInput& ping, bool fileVelocity, const PingSettings& chosen) {
    const PingSettings before = Settings();
    const PingOrigin origin = ping.requestTime   ? PingOrigin::Live
                              : ping.recordTexts ? PingOrigin::Played
                                                 : PingOrigin::Whole;
    m_settings.Enter(ping.settings, origin, fileVelocity, chosen);
    if (Settings().transducerUp != before.transducerUp || Settings().displayMode != before.displayMode) {
        ResetGeometry();
    }
    if (ping.requestTime) {
        SetClock(*ping.requestTime);
        m_timings.sonarTimeMs = ping.sonarTimeMs;
        m_timings.acquisitionTimeMs = ping.acquisitionTimeMs;
    } else if (ping.recordTexts) {
        m_clock.date = ping.recordTexts->date;
        m_clock.time = ping.recordTexts->time;
        m_clock.millisecond = ping.recordTexts->millisecond;
        m_clock.timeStamp = ping.recordTexts->timeStamp;
    }
}

void CShownPing::Forget(const PingSettings& chosen) {
    m_settings.Forget(chosen);
    m_sentence.clear();
    m_navigation.ClearNavigation();
}

void CShownPing::TakeSentence(const std::optional<std::string_view>& sentence, bool exporting) {
    if (sentence) {
        m_sentence.assign(sentence->data(), sentence->size());
    } else {
        m_sentence.clear();
        m_navigation.ClearNavigation();
    }
    // The attitude of the last parsed sentence stays in force through records without one.
    if (m_sentence.size() < 6) {
        m_sentence.clear();
        m_navigation.ClearNavigation();
    } else {
        m_navigation.ParseNavigationSentence(m_sentence, exporting);
    }
}

void CShownPing::TakeRecordValues(const FileHeaderValues& values, std::optional<float> pingPeriodMs) {
    m_fileValues = values;
    if (pingPeriodMs) {
        m_timings.displayedPingPeriodMs = *pingPeriodMs;
    }
}

void CShownPing::SetClock(const LocalTime& t) {
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

const std::string& CShownPing::RenewAutoName(const LocalTime& time) {
    m_clock.autoName = FormatAutoName(time);
    return m_clock.autoName;
}

const std::string& CShownPing::FreshAutoName(bool playing, IClockPort* clock) {
    if (!playing) {
        SetClock(clock != nullptr ? clock->Now() : LocalTime{});
    } else if (clock != nullptr) {
        RenewAutoName(clock->Now());
    }
    return m_clock.autoName;
}

std::string CShownPing::RollOverName(bool playing, IClockPort* clock) const {
    if (playing && clock != nullptr) {
        return FormatAutoName(clock->Now());
    }
    return m_clock.autoName;
}

void CShownPing::CountLoop(IClockPort* clock, bool live) {
    if (clock != nullptr) {
        const std::uint64_t now = clock->TickMs();
        if (m_lastRefreshTick != 0 && now > m_lastRefreshTick) {
            m_timings.loopTimeMs = static_cast<float>(now - m_lastRefreshTick);
        }
        m_lastRefreshTick = now;
    }
    if (live) {
        m_timings.displayedPingPeriodMs = m_timings.loopTimeMs;
    }
}

void CShownPing::FollowSettings(const vexar::Settings& before, const vexar::Settings& now) {
    const PingSettings& sonar = now.sonar;
    if (now.view.zoomIndex != before.view.zoomIndex || sonar.displayMode != before.sonar.displayMode ||
        sonar.transducerUp != before.sonar.transducerUp || now.view.orientation != before.view.orientation ||
        now.mounting != before.mounting) {
        ResetGeometry();
    }
    Follow(sonar);
}

} // namespace vexar
