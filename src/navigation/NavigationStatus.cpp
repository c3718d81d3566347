#include "navigation/NavigationStatus.h"

#include "common/TextFormat.h"

namespace vexar {

NavStatusText DescribeStatus(const NavigationStatus& status, std::uint64_t maxAgeMs) {
    if (status.kind == NavSourceKind::None) {
        return {};
    }
    if (!status.ageMs) {
        return {"Nav: no fix", NavStatusLevel::NoFix};
    }
    if (*status.ageMs > maxAgeMs) {
        return {FormatText("Nav: stale %llu s", static_cast<unsigned long long>(*status.ageMs / 1000)),
                NavStatusLevel::Stale};
    }
    const char* name = status.kind == NavSourceKind::Serial ? "serial" : "gpsd";
    // Whole hertz from 1 Hz on; a slow source shows a tenth.
    std::string text = status.rateHz >= 0.95 ? FormatText("Nav: %s %.0f Hz", name, status.rateHz)
                                             : FormatText("Nav: %s %.1f Hz", name, status.rateHz);
    if (status.headingFromCourse) {
        text += ", heading from course";
    }
    return {text, NavStatusLevel::Good};
}

} // namespace vexar
