#include "config/NavigationSettings.h"

#include "common/TextParse.h"

namespace vexar {

NavSourceChoice NavSourceFromSettings(const SystemSettings& system) {
    NavSourceChoice choice;
    if (system.navSource != NavSourceKind::Serial && system.navSource != NavSourceKind::Gpsd) {
        return choice;
    }
    choice.kind = system.navSource;
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
    system.navSource = choice.kind;
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
