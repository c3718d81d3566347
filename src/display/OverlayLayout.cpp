#include "display/OverlayLayout.h"

#include "common/Numeric.h"
#include "common/TextFormat.h"

#include <cmath>

namespace vexar {

float SoundVelocityScale(float soundVelocity, float rangeCoefficient) {
    if (!(soundVelocity > 0.0f) || !(rangeCoefficient > 0.0f) || !std::isfinite(soundVelocity) ||
        !std::isfinite(rangeCoefficient)) {
        return 1.0f;
    }
    return 1500.0f / soundVelocity / rangeCoefficient;
}

float GridSpacingPx(float radius, int unit, float scale) {
    if (unit == kUnitImperial) {
        return static_cast<float>(static_cast<double>(radius) * 3.0 * 0.3048 / 5.0 *
                                  static_cast<double>(scale));
    }
    return radius / 5.0f * scale;
}

int GridMarkPx(int i, float spacing) {
    return static_cast<int>(std::floor(static_cast<float>(i) * spacing));
}

std::string RangeMarkLabel(int i, float rangeM, int unit) {
    const double r = static_cast<double>(rangeM);
    const bool imperial = unit == kUnitImperial;
    const double value = imperial ? 3.0 * i * r / 5.0 : i * r / 5.0;
    if (r >= 5.0) {
        return FormatText(imperial ? "%d ft" : "%d m", TruncToInt(value));
    }
    if (r >= 2.5) {
        return FormatText(imperial ? "%.1f ft" : "%.1f m", value);
    }
    return FormatText(imperial ? "%.2f ft" : "%.2f m", value);
}

std::string ScaleText(float rangeM, int unit) {
    const double r = static_cast<double>(rangeM);
    if (unit == kUnitImperial) {
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

int CentredTextLeft(int clientWidth, int length) {
    return clientWidth / 2 - 4 * length + 10;
}

std::string MeasureText(float distanceM) {
    return FormatText("%.2f M", static_cast<double>(distanceM));
}

} // namespace vexar
