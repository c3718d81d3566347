#pragma once
// What the overlays of the sonar picture say and where they go: texts with their number rules,
// grid spacing and ring radii. Drawing them is the painter's job (platform/qt).

#include "common/RangeText.h"
#include "config/SettingChoices.h"

#include <span>
#include <string>

namespace vexar {

/// Correction of distances on screen for the sound velocity: 1500 / v / c. A velocity or range
/// coefficient that is not positive (damaged settings) gives no correction.
float SoundVelocityScale(float soundVelocity, float rangeCoefficient);

/// Pixels between grid marks for picture radius R: R/5 m per step (Metric) or 3R/5 ft
/// (Imperial, feet taken as metres x 3 and placed with 0.3048 m per foot).
float GridSpacingPx(float radius, DistanceUnit unit, float scale);

/// Radius in pixels of grid mark i (1..5) or offset of line i (-5..5): floor(i x spacing).
int GridMarkPx(int i, float spacing);

/// Label of range mark i (1..5) for range r metres.
std::string RangeMarkLabel(int i, float rangeM, DistanceUnit unit);

/// "(%.2f m / div)" of r/5, or "(%.2f ft / div)" of 3r/5.
std::string ScaleText(float rangeM, DistanceUnit unit);

/// "SysGain: %d dB", during playback with the recorded gain in brackets.
std::string SysGainText(int startGain, bool playback, int fileStartGain);

/// "Display Gain: %d %%", during playback with the recorded gain in brackets.
std::string DisplayGainText(int displayGain, bool playback, int fileDisplayGain);

/// The activity spinner character for a ping counter: \ | / -.
char SpinnerChar(int pingCounter);

inline constexpr const char* kWaitingText = "Waiting for data from Sonar ...";
inline constexpr const char* kConvertingText = "XYZ File converting.....  Please wait !";
inline constexpr const char* kHeldText = "Held...";

/// "No new data for N s": the picture has not changed for N whole seconds in real time.
std::string StaleText(int seconds);

/// A text's box on screen: top-left corner and size in pixels.
struct TextBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool Overlaps(const TextBox& other) const {
        return x < other.x + other.width && other.x < x + width && y < other.y + other.height &&
               other.y < y + height;
    }
};

/// Where a message box goes so that it covers none of `taken` (texts and lamps already drawn):
/// kept inside the client, and moved only up or down from where it was meant to be, to the
/// nearest place that is clear. When no place is clear it stays where it was meant to be.
TextBox PlaceClear(TextBox wanted, std::span<const TextBox> taken, int clientWidth, int clientHeight);

/// "%.2f M" of a measured distance in metres.
std::string MeasureText(float distanceM);

} // namespace vexar
