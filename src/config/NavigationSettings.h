#pragma once
// The live navigation source the settings name: [System]'s source, serial device, baud rate and
// gpsd address as the NavSourceChoice a program starts its source from.

#include "config/SettingsValues.h"
#include "navigation/NavigationSource.h"

namespace vexar {

/// The source [System] names. A gpsd address that is not HOST or HOST:PORT gives gpsd's own,
/// 127.0.0.1:2947; a serial choice takes the settings' "Baud Rate".
NavSourceChoice NavSourceFromSettings(const SystemSettings& system);

/// Writes `choice` into the navigation keys of `system` (a serial rate the choice names becomes
/// "Baud Rate").
void StoreNavSource(const NavSourceChoice& choice, SystemSettings& system);

} // namespace vexar
