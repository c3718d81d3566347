#include "display/OverlayLayout.h"

#include "common/Numeric.h"
#include "common/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

namespace vexar {

float SoundVelocityScale(float soundVelocity, float rangeCoefficient) {
    if (!(soundVelocity > 0.0f) || !(rangeCoefficient > 0.0f) || !std::isfinite(soundVelocity) ||
        !std::isfinite(rangeCoefficient)) {
        return 1.0f;
    }
    return 1500.0f / soundVelocity / rangeCoefficient;
}

float GridSpacingPx(float radius, DistanceUnit unit, float scale) {
    if (unit == DistanceUnit::Imperial) {
        return static_cast<float>(static_cast<double>(radius) * 3.0 * 0.3048 / 5.0 *
                                  static_cast<double>(scale));
    }
    return radius / 5.0f * scale;
}

int GridMarkPx(int i, float spacing) {
    return static_cast<int>(std::floor(static_cast<float>(i) * spacing));
}

std::string RangeMarkLabel(int i, float rangeM, DistanceUnit unit) {
    const double r = static_cast<double>(rangeM);
    const bool imperial = unit == DistanceUnit::Imperial;
    const double value = imperial ? 3.0 * i * r / 5.0 : i * r / 5.0;
    if (r >= 5.0) {
        return FormatText(imperial ? "%d ft" : "%d m", TruncToInt(value));
    }
    if (r >= 2.5) {
        return FormatText(imperial ? "%.1f ft" : "%.1f m", value);
    }
    return FormatText(imperial ? "%.2f ft" : "%.2f m", value);
}

std::string ScaleText(float rangeM, DistanceUnit unit) {
    const double r = static_cast<double>(rangeM);
    if (unit == DistanceUnit::Imperial) {
        return FormatText("(%.2f ft / div)", 3.0 * r / 5.0);
    }
    return FormatText("(%.2f m / div)", r / 5.0);
}

std::string SysGainText(int startGain, bool playback, int fileStartGain) {
    return playback ? FormatText("SysGain: %d dB (%d dB)", startGain, fileStartGain)
                    : FormatText("SysGain: %d dB", startGain);
}

std::string DisplayGainText(int displayGain, bool playback, int fileDisplayGain) {
    return playback ? FormatText("Display Gain: %d %%  (%d %%)", displayGain, fileDisplayGain)
                    : FormatText("Display Gain: %d %%", displayGain);
}

char SpinnerChar(int pingCounter) {
    static constexpr char kSpinner[4] = {'\\', '|', '/', '-'};
    return kSpinner[((pingCounter % 4) + 4) % 4];
}

std::string StaleText(int seconds) {
    return FormatText("No new data for %d s", seconds);
}

TextBox PlaceClear(TextBox wanted, std::span<const TextBox> taken, int clientWidth, int clientHeight) {
    wanted.x = std::clamp(wanted.x, 0, std::max(clientWidth - wanted.width, 0));
    const int lowest = std::max(clientHeight - wanted.height, 0);
    const auto clearAt = [&](int y) {
        TextBox box = wanted;
        box.y = y;
        return std::none_of(taken.begin(), taken.end(), [&box](const TextBox& t) { return box.Overlaps(t); });
    };
    // The nearest clear place lies at the client's edges, where the box is meant to be, or right
    // above or below a taken box.
    std::vector<int> candidates = {std::clamp(wanted.y, 0, lowest), 0, lowest};
    for (const TextBox& t : taken) {
        candidates.push_back(t.y + t.height);
        candidates.push_back(t.y - wanted.height);
    }
    std::optional<int> best;
    for (const int y : candidates) {
        if (y < 0 || y > lowest || !clearAt(y)) {
            continue;
        }
        if (!best || std::abs(y - wanted.y) < std::abs(*best - wanted.y)) {
            best = y;
        }
    }
    wanted.y = best.value_or(wanted.y);
    return wanted;
}

std::string MeasureText(float distanceM) {
    return FormatText("%.2f M", static_cast<double>(distanceM));
}

} // namespace vexar
