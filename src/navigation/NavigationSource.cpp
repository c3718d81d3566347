#include "navigation/NavigationSource.h"

#include "common/TextParse.h"

#include <algorithm>
#include <array>

namespace vexar {

namespace {

constexpr std::array<int, 11> kBaudRates = {1200,  2400,   4800,   9600,   19200, 38400,
                                            57600, 115200, 230400, 460800, 921600};

/// Nothing, with "'quoted' rest" in `error`.
std::optional<NavSourceChoice> Fail(std::string* error, std::string_view quoted, std::string_view rest) {
    if (error != nullptr) {
        error->assign(1, '\'');
        error->append(quoted);
        error->append("' ");
        error->append(rest);
    }
    return std::nullopt;
}

std::optional<NavSourceChoice> ParseSerial(std::string_view rest, std::string* error) {
    NavSourceChoice choice;
    choice.kind = NavSourceKind::Serial;
    const auto comma = rest.rfind(',');
    choice.device = std::string(rest.substr(0, comma));
    if (comma != std::string_view::npos) {
        const std::string_view baud = rest.substr(comma + 1);
        const bool digits = !baud.empty() && baud.size() < 8 &&
                            baud.find_first_not_of("0123456789") == std::string_view::npos;
        choice.baud = digits ? ParseInt(baud) : 0;
        if (std::find(kBaudRates.begin(), kBaudRates.end(), choice.baud) == kBaudRates.end()) {
            return Fail(error, baud, "is not a baud rate of a serial line");
        }
    }
    if (choice.device.empty()) {
        return Fail(error, "serial:", "needs the device, as in serial:/dev/ttyUSB0");
    }
    return choice;
}

} // namespace

std::optional<NavSourceChoice> ParseNavSource(std::string_view text, std::string* error) {
    if (text == "none") {
        return NavSourceChoice{};
    }
    if (text.starts_with("serial:")) {
        return ParseSerial(text.substr(7), error);
    }
    if (text == "gpsd" || text.starts_with("gpsd:")) {
        NavSourceChoice choice;
        choice.kind = NavSourceKind::Gpsd;
        if (text.size() > 4 && !ParseHostAndPort(text.substr(5), choice.host, choice.port)) {
            return Fail(error, text.substr(5), "is not HOST or HOST:PORT of gpsd");
        }
        return choice;
    }
    return Fail(error, text, "is not serial:PATH[,BAUD], gpsd, gpsd:HOST:PORT or none");
}

} // namespace vexar
