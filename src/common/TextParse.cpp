#include "common/TextParse.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

namespace vexar {

int ParseInt(std::string_view text) {
    std::string copy(text.substr(0, 64));
    errno = 0;
    const long value = std::strtol(copy.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

double ParseDouble(std::string_view text) {
    std::string copy(text.substr(0, 256));
    return std::strtod(copy.c_str(), nullptr);
}

bool ParseHostAndPort(std::string_view text, std::string& host, std::uint16_t& port) {
    std::string_view address = text;
    std::uint16_t number = port;
    if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
        address = text.substr(0, colon);
        const std::string_view digits = text.substr(colon + 1);
        long value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9' || value > 65535) {
                return false;
            }
            value = value * 10 + (c - '0');
        }
        if (digits.empty() || value < 1 || value > 65535) {
            return false;
        }
        number = static_cast<std::uint16_t>(value);
    }
    if (address.empty()) {
        return false;
    }
    host = std::string(address);
    port = number;
    return true;
}

} // namespace vexar
