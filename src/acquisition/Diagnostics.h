#pragma once
// The value texts of the diagnostics window: the last reply header, head 0's parameters, the
// measured timings and the connection state.

#include <array>
#include <string>

namespace vexar {

class CTamsorDoc;

inline constexpr int kDiagnosticsRows = 24;

struct DiagnosticsRow {
    int id;            ///< value control id
    const char* label; ///< fixed label on the left
};

/// The rows from top to bottom.
extern const std::array<DiagnosticsRow, kDiagnosticsRows> kDiagnosticsLayout;

/// Value texts before the first update: ":   n/a", and ":   No" for the connection.
std::array<std::string, kDiagnosticsRows> InitialDiagnosticsTexts();

/// Value texts of every row, in layout order.
std::array<std::string, kDiagnosticsRows> UpdateDiagnosticsTexts(const CTamsorDoc& doc);

} // namespace vexar
