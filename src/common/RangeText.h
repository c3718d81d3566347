#pragma once
// Range texts shared by the view, the control bar, the settings dialog and diagnostics.

#include <string>

namespace vexar {

/// "%.2f m" below 1.5 m, "%.1f m" strictly between 1.5 and 5 m, else "%d m" of the truncated
/// range; Imperial (unit 1) prints metres x 3 with "ft" on the same thresholds.
std::string RangeText(float rangeM, int unit);

} // namespace vexar
