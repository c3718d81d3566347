#pragma once
// Range texts shared by the view, the control bar, the settings dialog and diagnostics.

#include <string>

namespace vexar {

/// Distances of the readouts, the range marks and the grid ("Unit" of the settings: 0 or 1).
enum class DistanceUnit : int { Metric = 0, Imperial = 1 };

/// "%.2f m" below 1.5 m, "%.1f m" strictly between 1.5 and 5 m, else "%d m" of the truncated
/// range; Imperial prints metres x 3 with "ft" on the same thresholds.
std::string RangeText(float rangeM, DistanceUnit unit);

} // namespace vexar
