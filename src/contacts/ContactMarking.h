#pragma once
// Marking a contact on the ping shown, and finding it again on later pings: a contact with a
// position is placed from its position at every ping (so that its marker stays on its object as
// the vehicle moves and turns), one without at the bearing and range it was marked at. Where a
// marker lands on the screen is worked out by one function that also takes the picture's turn.

#include "contacts/Contact.h"
#include "head/PingSettings.h"
#include "navigation/CNavigation.h"
#include "navigation/HeadPlacement.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vexar {

/// A point of the picture: bearing clockwise from its top and range as the pointer readout gives
/// them, and how far a position lies off the fan that drew it (m; markers of positions more than
/// a metre off are drawn dashed).
struct PicturePoint {
    float bearingDeg = 0.0f;
    float rangeM = 0.0f;
    double outOfPlaneM = 0.0;
};

/// What a contact is marked with beside the ping's navigation and settings.
struct MarkingInput {
    float pictureBearingDeg = 0.0f; ///< clockwise from the top of the picture
    float rangeM = 0.0f;            ///< as the pointer readout gives it
    std::optional<float> lengthM;   ///< marked with the measure tool
    std::optional<std::int64_t> utcMs;
    std::string recording;
    std::optional<std::uint32_t> recordCounter;
    std::optional<std::uint64_t> recordOffset;
    HeadMounting mounting; ///< how the picture's top lies from the bow
};

/// The contact at a point of the ping shown: its position placed from the head's pose of the
/// ping (nothing without one: the ping had no usable fix), its bearing from north when the ping
/// has a heading. The number, note and chip are left to the list and the caller.
Contact MakeContact(const CNavigation& nav, const std::optional<HeadPose>& pose, const PingSettings& settings,
                    const MarkingInput& input);

/// Where a contact appears in the picture of the ping shown: from its position when it has one
/// and the ping has a pose, else at the bearing and range it was marked at.
PicturePoint ContactPicturePoint(const Contact& contact, const std::optional<HeadPose>& pose,
                                 const PingSettings& settings);

/// How the picture lies on the screen.
struct PictureFrame {
    double centreX = 0.0; ///< screen pixel of the vehicle
    double centreY = 0.0;
    double pixelsPerMetre = 0.0;
    double radiusPx = 0.0; ///< the picture's radius
    /// The picture turned clockwise by this (North Up turns it by the heading; 0 in Head Up).
    double rotationDeg = 0.0;
    int clientWidth = 0;
    int clientHeight = 0;
};

/// Where a marker goes on the screen: at its point when that lies on the visible picture, else an
/// arrow at the picture's edge (or the screen's) pointing the way to it.
struct MarkerScreen {
    bool inside = false;
    double x = 0.0;
    double y = 0.0;
    double directionDeg = 0.0; ///< clockwise from the top of the screen, centre to contact
};

/// Pixels kept between an edge arrow and the edge.
inline constexpr double kMarkerEdgeMarginPx = 12.0;

MarkerScreen MarkerScreenPlace(const PicturePoint& point, const PictureFrame& frame);

} // namespace vexar
