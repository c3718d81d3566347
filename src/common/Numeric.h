#pragma once
// Conversions of outside values (files, settings, replies) that must never be undefined.

#include <cmath>
#include <cstdint>
#include <limits>

namespace vexar {

/// Truncates toward zero like a C cast, but NaN gives 0 and out-of-range values saturate.
inline int TruncToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

/// Low 8 bits of a value, as a byte store of an int does.
inline std::uint8_t LowByte(int value) {
    return static_cast<std::uint8_t>(static_cast<unsigned>(value) & 0xFFu);
}

} // namespace vexar
