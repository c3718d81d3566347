#pragma once
// The settings that follow from others, each rule written once. Whoever changes the settings (a
// menu, a dialog, the control bar) states what it wants through these, and the document makes any
// change whole with NormaliseSettings: the range in metres is the range table's at its index, the
// beams are those of their index, 1000 samples need a range of at least 2.5 m, the pulse follows
// range and multiplier, and every value stays within its key's limits.

#include "config/SettingsValues.h"

#include <array>

namespace vexar {

/// The beams a beams index names: 0 480, 1 240, 2 120 (a head's beams; three times as many in the
/// picture).
inline constexpr std::array<int, 3> kBeamsOfIndex = {480, 240, 120};

/// The range of index `index`, kept within "Operating Range"'s limits, in metres from the range
/// table; the pulse follows.
void SelectRange(PingSettings& sonar, int index);
/// 500 or 1000 samples a beam; 1000 take a range of at least 2.5 m. The pulse follows.
void SelectSamples(PingSettings& sonar, int samples);
/// The beams of index `index` (kBeamsOfIndex); false, with nothing changed, for another index.
bool SelectBeams(PingSettings& sonar, int index);
/// The pulse length range and multiplier give, as the next command packet carries it.
void ApplyPulseLength(PingSettings& sonar);

/// Makes `after`, a change of `before`, whole: every value that changed within its key's limits,
/// and the values that follow from a changed range index, beams index, sample count, range or
/// multiplier derived from it.
void NormaliseSettings(const Settings& before, Settings& after);

} // namespace vexar
