#include "config/SettingsPanel.h"

#include "common/RangeText.h"
#include "common/TextParse.h"
#include "config/SettingsRules.h"
#include "config/SettingsTable.h"

#include "common/TextFormat.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace vexar {

namespace {
// Moves the integer `member` by `delta`, kept within `limits`. False, with nothing stored, when
// the value stays where it is.
bool SpinValue(PingSettings& sonar, int PingSettings::*member, int delta, const SettingLimits& limits) {
    const int value = limits.Clamp(sonar.*member + delta);
    if (value == sonar.*member) {
        return false;
    }
    sonar.*member = value;
    return true;
}

// The pulse spin's own bounds, in 10 us units: the settings file has no key for the pulse.
constexpr SettingLimits kSpunPulseLimits{.lowest = 3.0, .highest = 65535.0};

// The number a typed text starts with (blanks before it allowed), or nothing. Far-out values are
// held where the step arithmetic stays in range; the spin's limits apply afterwards.
std::optional<double> LeadingNumber(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) {
        return std::nullopt;
    }
    return std::clamp(value, -1.0e6, 1.0e6);
}

int Rounded(double value) {
    return static_cast<int>(std::lround(value));
}

// The range index 1..4 whose range lies nearest to `metres`; the larger one on a tie.
int NearestRangeIndex(double metres) {
    int best = 1;
    for (int i = 2; i <= 4; ++i) {
        const double d = std::fabs(static_cast<double>(kRangeTable[static_cast<std::size_t>(i)]) - metres);
        const double bestD =
            std::fabs(static_cast<double>(kRangeTable[static_cast<std::size_t>(best)]) - metres);
        if (d <= bestD) {
            best = i;
        }
    }
    return best;
}
} // namespace

SettingsPanelView CSettingsPanel::Refresh(const Settings& settings, bool live, const FileHeaderValues& file) {
    const PingSettings& h = settings.sonar;
    SettingsPanelView v;
    v.rangeSpinEnabled = live;
    v.frequencyEnabled = live;
    v.multiplierEnabled = live;
    v.pointsEnabled = live;
    v.frequency = FormatText("%.1f", h.baseFrequencyKHz + 0.5 * h.frequencyStep);
    for (int k = 0; k < kHeadCount; ++k) {
        v.quadrantGains[static_cast<std::size_t>(k)] = FormatText("%d", h.Head(k).quadrantGainDb);
    }
    v.range = RangeText(h.rangeM, settings.view.unit);
    v.startGain = FormatText("%d dB", h.startGainDb);
    v.dataGain = FormatText("%d %%", h.displayGain);
    v.persistence = FormatText("%d s", h.persistence);
    v.multiplier = FormatText("%.1f", static_cast<double>(h.pulseLengthMultiplier));
    // Shown as it will be sent: a pulse taken from a played record or typed into the (disabled)
    // spin is not what the range and multiplier give.
    v.pulseLength = FormatText("%d us", PulseLengthFor(h.rangeM, h.pulseLengthMultiplier) * 10);
    v.beamWidthSelection = h.beamWidth;
    v.beamsSelection = h.beamsIndex;
    v.averagingSelection = (h.average - 1) / 2;
    v.pointsSelection = (h.samples - 500) / 500;
    if (!live) {
        v.fileDataGain = FormatText(" (%d %%)", file.displayGain);
        v.fileStartGain = FormatText(" (%d dB)", file.startGainDb);
        for (int k = 0; k < kHeadCount; ++k) {
            v.fileQuadrantGains[static_cast<std::size_t>(k)] =
                FormatText(" (%d dB)", file.quadrantGainsDb[static_cast<std::size_t>(k)]);
        }
    }
    return v;
}

bool CSettingsPanel::TakesTypedValues(SettingsSpin spin) {
    return spin == SettingsSpin::Range || spin == SettingsSpin::Frequency || spin == SettingsSpin::DataGain ||
           spin == SettingsSpin::StartGain || spin == SettingsSpin::Multiplier;
}

bool CSettingsPanel::ApplyTyped(Settings& settings, bool live, SettingsSpin spin, const std::string& text,
                                int head) {
    const std::optional<double> typed = LeadingNumber(text);
    if (!typed || !TakesTypedValues(spin)) {
        return false;
    }
    const PingSettings& first = settings.sonar;
    int delta = 0;
    switch (spin) {
    case SettingsSpin::Range: {
        const double metres = settings.view.unit == DistanceUnit::Imperial ? *typed / 3.0 : *typed;
        delta = NearestRangeIndex(metres) - first.rangeIndex;
        break;
    }
    case SettingsSpin::Frequency:
        // Shown as base + step / 2 kHz.
        delta = Rounded((*typed - first.baseFrequencyKHz) * 2.0) - first.frequencyStep;
        break;
    case SettingsSpin::DataGain:
        delta = Rounded(*typed) - first.displayGain;
        break;
    case SettingsSpin::StartGain:
        delta = Rounded(*typed) - first.startGainDb;
        break;
    case SettingsSpin::Multiplier:
        delta = Rounded(*typed * 10.0) - Rounded(static_cast<double>(first.pulseLengthMultiplier) * 10.0);
        break;
    default:
        return false;
    }
    if (delta != 0) {
        Spin(settings, live, spin, delta, head);
    }
    return true;
}

bool CSettingsPanel::RefreshesControlBar(bool live, SettingsSpin spin) {
    return live && (spin == SettingsSpin::Range || spin == SettingsSpin::DataGain ||
                    spin == SettingsSpin::StartGain || spin == SettingsSpin::QuadrantGain ||
                    spin == SettingsSpin::Persistence);
}

bool CSettingsPanel::SpinMultiplier(PingSettings& sonar, bool live, int delta) {
    // Tenths are counted as integers so that repeated clicks land on exact tenths.
    const int tenths = static_cast<int>(std::lround(sonar.pulseLengthMultiplier * 10.0f));
    const SettingLimits& limits = SettingOf("Pulse Length Multiplier").limits;
    const int lowest = sonar.samples == 500 ? 10 : static_cast<int>(std::lround(limits.lowest * 10.0));
    const int highest = static_cast<int>(std::lround(limits.highest * 10.0));
    const int next = std::clamp(tenths + delta, lowest, highest);
    if (!live || next == tenths) {
        return false;
    }
    sonar.pulseLengthMultiplier = static_cast<float>(next) / 10.0f;
    ApplyPulseLength(sonar);
    return true;
}

bool CSettingsPanel::SpinQuadrantGain(PingSettings& sonar, int delta, int head) {
    if (head < 0 || head >= kHeadCount) {
        return false;
    }
    int& gain = sonar.heads[static_cast<std::size_t>(head)].quadrantGainDb;
    const int next = std::clamp(gain + delta, 0, 20);
    if (next == gain) {
        return false;
    }
    gain = next;
    return true;
}

bool CSettingsPanel::Spin(Settings& settings, bool live, SettingsSpin spin, int delta, int head) {
    PingSettings& sonar = settings.sonar;
    switch (spin) {
    case SettingsSpin::Range:
        if (!live ||
            !SpinValue(sonar, &PingSettings::rangeIndex, delta, SettingOf("Operating Range").limits)) {
            return false;
        }
        SelectRange(sonar, sonar.rangeIndex);
        return true;
    case SettingsSpin::Frequency:
        return live &&
               SpinValue(sonar, &PingSettings::frequencyStep, delta, SettingOf("Operating Frequency").limits);
    case SettingsSpin::DataGain:
        return SpinValue(sonar, &PingSettings::displayGain, delta, SettingOf("Display Gain").limits);
    case SettingsSpin::StartGain:
        return SpinValue(sonar, &PingSettings::startGainDb, delta, SettingOf("Start Gain").limits);
    case SettingsSpin::QuadrantGain:
        return SpinQuadrantGain(sonar, delta, head);
    case SettingsSpin::Persistence:
        return SpinValue(sonar, &PingSettings::persistence, delta, SettingOf("Persistence").limits);
    case SettingsSpin::PulseLength:
        if (!SpinValue(sonar, &PingSettings::pulseLength, delta, kSpunPulseLimits)) {
            return false;
        }
        // The pulse is derived from range and multiplier: a spun value does not last.
        ApplyPulseLength(sonar);
        return true;
    case SettingsSpin::Multiplier:
        return SpinMultiplier(sonar, live, delta);
    }
    return false;
}

void CSettingsPanel::SelectPoints(Settings& settings, bool live, int index) {
    if (index < 0 || index > 1 || !live) {
        return;
    }
    PingSettings& first = settings.sonar;
    // The dialog raises the multiplier of a shorter beam at once (the menu leaves it to the next
    // command packet).
    if (index == 0 && !(first.pulseLengthMultiplier > 1.0f)) {
        first.pulseLengthMultiplier = 1.0f;
    }
    SelectSamples(first, 500 * index + 500);
}

void CSettingsPanel::SelectBeams(Settings& settings, int index) {
    vexar::SelectBeams(settings.sonar, index);
}

void CSettingsPanel::SelectAveraging(Settings& settings, int index) {
    if (index < 0 || index > 4) {
        return;
    }
    settings.sonar.average = 2 * index + 1;
}

void CSettingsPanel::SelectBeamWidth(Settings& settings, int index) {
    if (index < 0 || index > 2) {
        return;
    }
    settings.sonar.beamWidth = index;
}

float SpinSoundVelocity(float velocity, int delta) {
    return SettingOf("Sound Velocity").limits.Clamp(velocity + static_cast<float>(delta) / 10.0f);
}

float AcceptSoundVelocity(const std::string& text) {
    return SettingOf("Sound Velocity").limits.Clamp(static_cast<float>(ParseDouble(text)));
}

void ApplySoundVelocity(Settings& settings, bool live, float velocity, bool useFileVelocity) {
    settings.system.useFileSlc = useFileVelocity ? 1 : 0;
    if (live || !useFileVelocity) {
        settings.sonar.soundVelocity = velocity;
    }
}

int SpinPingDelay(int delayMs, int delta) {
    return SettingOf("Ping Delay").limits.Clamp(delayMs + delta);
}

int AcceptPingDelay(const std::string& text) {
    return SettingOf("Ping Delay").limits.Clamp(ParseInt(text));
}

} // namespace vexar
