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

} // namespace vexar
