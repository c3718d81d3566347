#pragma once
// The live navigation source a NavSpec names, built on the adapters of this platform.

#include "navigation/NavigationSource.h"
#include "platform/Ports.h"

#include <memory>

namespace vexar {

/// Starts `store` over for the source `spec` names and makes that source (not started yet):
/// the serial line at spec.baud, or at `defaultBaud` when the spec names none, or gpsd. Nothing
/// for NavSourceKind::None. `store` and `clock` outlive the source.
std::unique_ptr<INavigationSource> MakeNavigationSource(const NavSpec& spec, int defaultBaud,
                                                        CFixStore& store, IClockPort& clock);

} // namespace vexar
