#pragma once
// The live navigation source the settings name: [System]'s source, serial device, baud rate and
// gpsd address as the NavSpec a program starts its source from.

#include "config/SettingsValues.h"
#include "navigation/NavigationSource.h"

namespace vexar {

/// The source [System] names. A gpsd address that is not HOST or HOST:PORT gives gpsd's own,
/// 127.0.0.1:2947; a serial spec takes the settings' "Baud Rate".
NavSpec NavSpecFromSettings(const SystemSettings& system);

/// Writes `spec` into the navigation keys of `system` (a serial rate the spec names becomes
/// "Baud Rate").
void StoreNavSpec(const NavSpec& spec, SystemSettings& system);

} // namespace vexar
