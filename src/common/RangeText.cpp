#include "common/RangeText.h"

#include "common/Numeric.h"

#include <cstdio>

namespace vexar {

std::string RangeText(float rangeM, DistanceUnit unit) {
    const bool imperial = unit == DistanceUnit::Imperial;
    const double value = imperial ? static_cast<double>(rangeM) * 3.0 : static_cast<double>(rangeM);
    const char* suffix = imperial ? "ft" : "m";
    char text[64];
    if (rangeM < 1.5f) {
        std::snprintf(text, sizeof text, "%.2f %s", value, suffix);
    } else if (rangeM > 1.5f && rangeM < 5.0f) {
        std::snprintf(text, sizeof text, "%.1f %s", value, suffix);
    } else {
        std::snprintf(text, sizeof text, "%d %s", TruncToInt(value), suffix);
    }
    return text;
}

} // namespace vexar
