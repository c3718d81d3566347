#include "config/SettingsPanel.h"

#include "acquisition/CTamsorDoc.h"
#include "common/RangeText.h"
#include "common/TextParse.h"
#include "config/SettingsTable.h"

#include "common/TextFormat.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace vexar {

namespace {
// The pulse follows range and multiplier at once, so the dialog, the diagnostics and the next
// records show the pulse that the next command packet carries.
void ApplyPulseLength(CTamsorDoc& doc) {
    COndrel& first = doc.Head(0);
    first.m_pulseLength = COndrel::PulseLengthFor(first.m_rangeM, first.m_pulseLengthMultiplier);
    for (int k = 1; k < kHeadCount; ++k) {
        doc.Head(k).m_pulseLengthMultiplier = first.m_pulseLengthMultiplier;
    }
}

// Moves the integer `member` of every head to head 0's value plus `delta`, kept within `limits`.
// False, with nothing stored, when the value stays where it is.
bool SpinEveryHead(CTamsorDoc& doc, int COndrel::*member, int delta, const SettingLimits& limits) {
    const int value = limits.Clamp(doc.Head(0).*member + delta);
    if (value == doc.Head(0).*member) {
        return false;
    }
    for (int k = 0; k < kHeadCount; ++k) {
        doc.Head(k).*member = value;
    }
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

SettingsPanelView CSettingsPanel::Refresh(const CTamsorDoc& doc) {
    const COndrel& h = doc.Head(0);
    const bool live = doc.m_playback == 0;
    SettingsPanelView v;
    v.rangeSpinEnabled = live;
    v.frequencyEnabled = live;
    v.multiplierEnabled = live;
    v.pointsEnabled = live;
    v.frequency = FormatText("%.1f", h.m_baseFrequencyKHz + 0.5 * h.m_frequencyStep);
    for (int k = 0; k < kHeadCount; ++k) {
        v.quadrantGains[static_cast<std::size_t>(k)] = FormatText("%d", doc.Head(k).m_quadrantGain);
    }
    v.range = RangeText(h.m_rangeM, doc.m_unit);
    v.startGain = FormatText("%d dB", doc.m_startGain);
    v.dataGain = FormatText("%d %%", h.m_displayGain);
    v.persistence = FormatText("%d s", h.m_persistence);
    v.multiplier = FormatText("%.1f", static_cast<double>(h.m_pulseLengthMultiplier));
    // Shown as it will be sent: a pulse taken from a played record or typed into the (disabled)
    // spin is not what the range and multiplier give.
    v.pulseLength = FormatText("%d us", COndrel::PulseLengthFor(h.m_rangeM, h.m_pulseLengthMultiplier) * 10);
    v.beamWidthSelection = h.m_beamWidth;
    v.beamsSelection = h.m_beamsIndex;
    v.averagingSelection = (h.m_average - 1) / 2;
    v.pointsSelection = (h.m_samples - 500) / 500;
    if (!live) {
        v.fileDataGain = FormatText(" (%d %%)", doc.m_fileDisplayGain);
        v.fileStartGain = FormatText(" (%d dB)", doc.m_fileStartGain);
        for (int k = 0; k < kHeadCount; ++k) {
            v.fileQuadrantGains[static_cast<std::size_t>(k)] =
                FormatText(" (%d dB)", doc.m_fileQuadrantGains[static_cast<std::size_t>(k)]);
        }
    }
    return v;
}

bool CSettingsPanel::TakesTypedValues(SettingsSpin spin) {
    return spin == SettingsSpin::Range || spin == SettingsSpin::Frequency || spin == SettingsSpin::DataGain ||
           spin == SettingsSpin::StartGain || spin == SettingsSpin::Multiplier;
}

bool CSettingsPanel::ApplyTyped(CTamsorDoc& doc, SettingsSpin spin, const std::string& text, int head) {
    const std::optional<double> typed = LeadingNumber(text);
    if (!typed || !TakesTypedValues(spin)) {
        return false;
    }
    const COndrel& first = doc.Head(0);
    int delta = 0;
    switch (spin) {
    case SettingsSpin::Range: {
        const double metres = doc.m_unit == 1 ? *typed / 3.0 : *typed;
        delta = NearestRangeIndex(metres) - first.m_rangeIndex;
        break;
    }
    case SettingsSpin::Frequency:
        // Shown as base + step / 2 kHz.
        delta = Rounded((*typed - first.m_baseFrequencyKHz) * 2.0) - first.m_frequencyStep;
        break;
    case SettingsSpin::DataGain:
        delta = Rounded(*typed) - first.m_displayGain;
        break;
    case SettingsSpin::StartGain:
        delta = Rounded(*typed) - doc.m_startGain;
        break;
    case SettingsSpin::Multiplier:
        delta = Rounded(*typed * 10.0) - Rounded(static_cast<double>(first.m_pulseLengthMultiplier) * 10.0);
        break;
    default:
        return false;
    }
    if (delta != 0) {
        Spin(doc, spin, delta, head);
    }
    return true;
}

bool CSettingsPanel::RefreshesControlBar(const CTamsorDoc& doc, SettingsSpin spin) {
    return doc.m_playback == 0 && (spin == SettingsSpin::Range || spin == SettingsSpin::DataGain ||
                                   spin == SettingsSpin::StartGain || spin == SettingsSpin::QuadrantGain ||
                                   spin == SettingsSpin::Persistence);
}

bool CSettingsPanel::Spin(CTamsorDoc& doc, SettingsSpin spin, int delta, int head) {
    COndrel& first = doc.Head(0);
    const bool live = doc.m_playback == 0;
    const auto forAll = [&doc](auto apply) {
        for (int k = 0; k < kHeadCount; ++k) {
            apply(doc.Head(k));
        }
    };
    switch (spin) {
    case SettingsSpin::Range:
        if (!live ||
            !SpinEveryHead(doc, &COndrel::m_rangeIndex, delta, SettingOf("Operating Range").limits)) {
            return false;
        }
        forAll([](COndrel& h) { h.m_rangeM = kRangeTable[static_cast<std::size_t>(h.m_rangeIndex)]; });
        ApplyPulseLength(doc);
        return true;
    case SettingsSpin::Frequency:
        return live &&
               SpinEveryHead(doc, &COndrel::m_frequencyStep, delta, SettingOf("Operating Frequency").limits);
    case SettingsSpin::DataGain:
        return SpinEveryHead(doc, &COndrel::m_displayGain, delta, SettingOf("Display Gain").limits);
    case SettingsSpin::StartGain: {
        const int gain = SettingOf("Start Gain").limits.Clamp(doc.m_startGain + delta);
        if (gain == doc.m_startGain) {
            return false;
        }
        doc.m_startGain = gain;
        return true;
    }
    case SettingsSpin::QuadrantGain: {
        if (head < 0 || head >= kHeadCount) {
            return false;
        }
        COndrel& target = doc.Head(head);
        const int gain = std::clamp(target.m_quadrantGain + delta, 0, 20);
        if (gain == target.m_quadrantGain) {
            return false;
        }
        target.m_quadrantGain = gain;
        return true;
    }
    case SettingsSpin::Persistence:
        return SpinEveryHead(doc, &COndrel::m_persistence, delta, SettingOf("Persistence").limits);
    case SettingsSpin::PulseLength:
        if (!SpinEveryHead(doc, &COndrel::m_pulseLength, delta, kSpunPulseLimits)) {
            return false;
        }
        // The pulse is derived from range and multiplier: a spun value does not last.
        ApplyPulseLength(doc);
        return true;
    case SettingsSpin::Multiplier: {
        // Tenths are counted as integers so that repeated clicks land on exact tenths.
        const int tenths = static_cast<int>(std::lround(first.m_pulseLengthMultiplier * 10.0f));
        const SettingLimits& limits = SettingOf("Pulse Length Multiplier").limits;
        const int lowest = first.m_samples == 500 ? 10 : static_cast<int>(std::lround(limits.lowest * 10.0));
        const int highest = static_cast<int>(std::lround(limits.highest * 10.0));
        const int next = std::clamp(tenths + delta, lowest, highest);
        if (!live || next == tenths) {
            return false;
        }
        const float multiplier = static_cast<float>(next) / 10.0f;
        forAll([multiplier](COndrel& h) { h.m_pulseLengthMultiplier = multiplier; });
        ApplyPulseLength(doc);
        return true;
    }
    }
    return false;
}

void CSettingsPanel::SelectPoints(CTamsorDoc& doc, int index) {
    if (index < 0 || index > 1 || doc.m_playback != 0) {
        return;
    }
    COndrel& first = doc.Head(0);
    first.m_samples = 500 * index + 500;
    if (first.m_samples == 1000) {
        if (first.m_rangeM < 2.5f) {
            first.m_rangeM = 2.5f;
        }
        first.m_rangeIndex = RangeIndexFromMetres(first.m_rangeM);
    } else if (!(first.m_pulseLengthMultiplier > 1.0f)) {
        first.m_pulseLengthMultiplier = 1.0f;
    }
    doc.CopyHeadSettings();
    ApplyPulseLength(doc);
}

void CSettingsPanel::SelectBeams(CTamsorDoc& doc, int index) {
    static constexpr int kBeams[] = {480, 240, 120};
    if (index < 0 || index > 2) {
        return;
    }
    doc.Head(0).m_beamsIndex = index;
    doc.Head(0).m_beams = kBeams[index];
    doc.CopyHeadSettings();
}

void CSettingsPanel::SelectAveraging(CTamsorDoc& doc, int index) {
    if (index < 0 || index > 4) {
        return;
    }
    for (int k = 0; k < kHeadCount; ++k) {
        doc.Head(k).m_average = 2 * index + 1;
    }
}

void CSettingsPanel::SelectBeamWidth(CTamsorDoc& doc, int index) {
    if (index < 0 || index > 2) {
        return;
    }
    doc.Head(0).m_beamWidth = index;
    doc.CopyHeadSettings();
}

float SpinSoundVelocity(float velocity, int delta) {
    return SettingOf("Sound Velocity").limits.Clamp(velocity + static_cast<float>(delta) / 10.0f);
}

float AcceptSoundVelocity(const std::string& text) {
    return SettingOf("Sound Velocity").limits.Clamp(static_cast<float>(ParseDouble(text)));
}

void ApplySoundVelocity(CTamsorDoc& doc, float velocity, bool useFileVelocity) {
    doc.m_useFileSlc = useFileVelocity ? 1 : 0;
    if (doc.m_playback == 0 || !useFileVelocity) {
        doc.m_soundVelocity = velocity;
    }
    doc.m_soundVelocityChanged = 1;
    doc.ProcessPing();
}

int SpinPingDelay(int delayMs, int delta) {
    return SettingOf("Ping Delay").limits.Clamp(delayMs + delta);
}

int AcceptPingDelay(const std::string& text) {
    return SettingOf("Ping Delay").limits.Clamp(ParseInt(text));
}

} // namespace vexar
