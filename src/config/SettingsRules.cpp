#include "config/SettingsRules.h"

#include "config/SettingsFile.h"
#include "config/SettingsTable.h"

#include <algorithm>

namespace vexar {

namespace {
// The shortest range 1000 samples a beam are taken over.
constexpr float kShortestRangeOf1000M = 2.5f;
} // namespace

void ApplyPulseLength(PingSettings& sonar) {
    sonar.pulseLength = PulseLengthFor(sonar.rangeM, sonar.pulseLengthMultiplier);
}

void SelectRange(PingSettings& sonar, int index) {
    sonar.rangeIndex = SettingOf("Operating Range").limits.Clamp(index);
    sonar.rangeM = kRangeTable[static_cast<std::size_t>(sonar.rangeIndex)];
    ApplyPulseLength(sonar);
}

void SelectSamples(PingSettings& sonar, int samples) {
    sonar.samples = samples;
    if (samples == 1000) {
        sonar.rangeM = std::max(sonar.rangeM, kShortestRangeOf1000M);
        sonar.rangeIndex = RangeIndexFromMetres(sonar.rangeM);
    }
    ApplyPulseLength(sonar);
}

bool SelectBeams(PingSettings& sonar, int index) {
    if (index < 0 || index >= static_cast<int>(kBeamsOfIndex.size())) {
        return false;
    }
    SetBeams(sonar, kBeamsOfIndex[static_cast<std::size_t>(index)]);
    return true;
}

void NormaliseSettings(const Settings& before, Settings& after) {
    ClampChangedSettings(before, after);
    PingSettings& sonar = after.sonar;
    const PingSettings& was = before.sonar;
    if (sonar.rangeIndex != was.rangeIndex && sonar.rangeM == was.rangeM) {
        SelectRange(sonar, sonar.rangeIndex);
    }
    if (sonar.beamsIndex != was.beamsIndex && sonar.beams == was.beams) {
        SelectBeams(sonar, sonar.beamsIndex);
    } else if (sonar.beams != was.beams) {
        SetBeams(sonar, sonar.beams);
    }
    if (sonar.samples != was.samples) {
        SelectSamples(sonar, sonar.samples);
    }
    if ((sonar.rangeM != was.rangeM || sonar.pulseLengthMultiplier != was.pulseLengthMultiplier) &&
        sonar.pulseLength == was.pulseLength) {
        ApplyPulseLength(sonar);
    }
}

} // namespace vexar
