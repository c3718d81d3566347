#pragma once
// The texts a video frame carries beside the sonar picture: when the ping was taken, which ping
// of which recording, and, when the recording has a fix, where the vessel was and its heading.

#include <QImage>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexar {

struct VideoCaption {
    std::string date;       ///< "DD-MM-YYYY", the record's
    std::string time;       ///< "HH:MM:SS.mmm", the record's
    std::uint64_t ping = 0; ///< counted from 0 in its recording, as `vexar-cli render --ping` counts
    std::string recording;  ///< file name without folder
    /// Latitude and longitude in degrees (south and west negative), when the ping has a fix.
    std::optional<std::pair<double, double>> position;
    std::optional<float> headingDeg;
};

/// The caption's lines, top to bottom.
std::vector<std::string> CaptionLines(const VideoCaption& caption);

/// Draws the caption right-aligned in the top right corner of the `width` pixels on the left of
/// `image` (RGB32), under the picture's activity spinner, in the status texts' font and colour
/// on black.
void DrawVideoCaption(QImage& image, int width, const VideoCaption& caption);

} // namespace vexar
