#pragma once
// How the polar picture is turned on the screen. Head Up draws the bow at the top; North Up turns
// the picture by the ping's heading so that north is at the top. The turn is made in whole beams
// of the picture's sweep (a quarter of a degree at 480 beams a head, about a degree at 120), so
// that the picture is drawn from the same pixel map in both orientations: an echo moves by at
// most half a beam from its true bearing, within the picture's own angular resolution. As in
// Head Up, the one beam of the sweep straight up is not drawn.

#include "config/SettingChoices.h"

#include <optional>

namespace vexar {

/// The turn of the polar picture. A bearing relative to the head (degrees clockwise from the bow)
/// is drawn at the screen bearing (degrees clockwise from the top) `relative + degrees`; markers
/// drawn over the picture use the same.
struct PictureTurn {
    int beams = 0;        ///< sweep beams the picture is turned clockwise by, 0 .. beams - 1
    float degrees = 0.0f; ///< the same in degrees, 0 <= degrees < 360
    bool northUp = false; ///< north is at the top (North Up with a heading)
};

/// The turn for an orientation, the beams per head of the picture and the ping's heading: none in
/// Head Up, and none in North Up while the ping has no heading (the picture then stays head up
/// and no north mark is drawn).
PictureTurn TurnOfPicture(ViewOrientation orientation, int beamsPerHead, std::optional<float> headingDeg);

} // namespace vexar
