#pragma once
// The live navigation source a NavSourceChoice names, built on the adapters of this platform.

#include "navigation/NavigationSource.h"
#include "ports/Ports.h"

#include <memory>

namespace vexar {

/// Starts `store` over for the source `choice` names and makes that source (not started yet):
/// the serial line at choice.baud, or at `defaultBaud` when the choice names none, or gpsd. Nothing
/// for NavSourceKind::None. `store` and `clock` outlive the source.
std::unique_ptr<INavigationSource> MakeNavigationSource(const NavSourceChoice& choice, int defaultBaud,
                                                        CFixStore& store, IClockPort& clock);

} // namespace vexar
