#include "config/NavigationSettings.h"

#include "common/TextParse.h"

namespace vexar {

NavSpec NavSpecFromSettings(const SystemSettings& system) {
    NavSpec spec;
    switch (system.navSource) {
    case 1:
        spec.kind = NavSourceKind::Serial;
        break;
    case 2:
        spec.kind = NavSourceKind::Gpsd;
        break;
    default:
        return spec;
    }
    spec.device = system.navDevice;
    spec.baud = system.baudRate;
    std::string host;
    std::uint16_t port = spec.port;
    if (ParseHostAndPort(system.gpsdAddress, host, port)) {
        spec.host = host;
        spec.port = port;
    }
    return spec;
}

void StoreNavSpec(const NavSpec& spec, SystemSettings& system) {
    system.navSource = static_cast<int>(spec.kind);
    if (spec.kind == NavSourceKind::Serial) {
        system.navDevice = spec.device;
        if (spec.baud != 0) {
            system.baudRate = spec.baud;
        }
    } else if (spec.kind == NavSourceKind::Gpsd) {
        system.gpsdAddress = spec.host + ":" + std::to_string(spec.port);
    }
}

} // namespace vexar
