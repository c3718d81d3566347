#include "config/NavigationSettings.h"

#include "common/TextParse.h"

namespace vexar {

NavSourceChoice NavSourceFromSettings(const SystemSettings& system) {
    NavSourceChoice choice;
    switch (system.navSource) {
    case 1:
        choice.kind = NavSourceKind::Serial;
        break;
    case 2:
        choice.kind = NavSourceKind::Gpsd;
        break;
    default:
        return choice;
    }
    choice.device = system.navDevice;
    choice.baud = system.baudRate;
    std::string host;
    std::uint16_t port = choice.port;
    if (ParseHostAndPort(system.gpsdAddress, host, port)) {
        choice.host = host;
        choice.port = port;
    }
    return choice;
}

void StoreNavSource(const NavSourceChoice& choice, SystemSettings& system) {
    system.navSource = static_cast<int>(choice.kind);
    if (choice.kind == NavSourceKind::Serial) {
        system.navDevice = choice.device;
        if (choice.baud != 0) {
            system.baudRate = choice.baud;
        }
    } else if (choice.kind == NavSourceKind::Gpsd) {
        system.gpsdAddress = choice.host + ":" + std::to_string(choice.port);
    }
}

} // namespace vexar
