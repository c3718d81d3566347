#include "contacts/ContactMarking.h"

#include "navigation/NavigationMath.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace vexar {

namespace {
constexpr double kDegToRad = std::numbers::pi / 180.0;

std::optional<ContactPosition> PositionOf(const HeadPose& pose, const PingSettings& settings,
                                          const MarkingInput& input) {
    if (settings.beams <= 0) {
        return std::nullopt;
    }
    const PlacedPoint point = pose.PlaceInPicture(input.pictureBearingDeg, input.rangeM, settings.beams,
                                                  static_cast<double>(settings.soundVelocity));
    const MapProjection& projection = pose.Projection();
    ContactPosition position;
    position.easting = point.east;
    position.northing = point.north;
    position.epsg = projection.Epsg();
    position.depthM = point.down;
    const LatLon guess = pose.LatLonOf(point);
    const auto latLon = UtmToLatLon(position.easting, position.northing, projection.zone, projection.south,
                                    guess.latitudeDeg, guess.longitudeDeg);
    if (!latLon) {
        return std::nullopt;
    }
    position.latitudeDeg = latLon->first;
    position.longitudeDeg = latLon->second;
    return position;
}

/// How far along the ray from the centre in direction (dx, dy) the client area (less the
/// margin) reaches; infinite without a client area.
double ReachInClient(const PictureFrame& frame, double dx, double dy) {
    if (frame.clientWidth <= 0 || frame.clientHeight <= 0) {
        return std::numeric_limits<double>::infinity();
    }
    const double left = kMarkerEdgeMarginPx;
    const double top = kMarkerEdgeMarginPx;
    const double right = frame.clientWidth - 1 - kMarkerEdgeMarginPx;
    const double bottom = frame.clientHeight - 1 - kMarkerEdgeMarginPx;
    double reach = std::numeric_limits<double>::infinity();
    if (dx > 0.0) {
        reach = std::min(reach, (right - frame.centreX) / dx);
    } else if (dx < 0.0) {
        reach = std::min(reach, (left - frame.centreX) / dx);
    }
    if (dy > 0.0) {
        reach = std::min(reach, (bottom - frame.centreY) / dy);
    } else if (dy < 0.0) {
        reach = std::min(reach, (top - frame.centreY) / dy);
    }
    return reach;
}
} // namespace

Contact MakeContact(const CNavigation& nav, const std::optional<HeadPose>& pose, const PingSettings& settings,
                    const MarkingInput& input) {
    Contact contact;
    contact.utcMs = input.utcMs;
    contact.recording = input.recording;
    contact.recordCounter = input.recordCounter;
    contact.recordOffset = input.recordOffset;
    contact.pictureBearingDeg = input.pictureBearingDeg;
    contact.rangeM = input.rangeM;
    contact.lengthM = input.lengthM;
    contact.bearingDeg = input.pictureBearingDeg;
    if (!nav.m_headingText.empty()) {
        // The picture's top lies at the heading plus the head's yaw on its mount.
        const double top = static_cast<double>(nav.m_heading) + input.mounting.yawDeg;
        contact.bearingFromNorth = true;
        contact.bearingDeg =
            static_cast<float>(std::fmod(static_cast<double>(input.pictureBearingDeg) + top + 720.0, 360.0));
    }
    if (!nav.m_depthText.empty()) {
        contact.vehicleDepthM = nav.m_depth;
    }
    if (pose) {
        contact.position = PositionOf(*pose, settings, input);
    }
    return contact;
}

PicturePoint ContactPicturePoint(const Contact& contact, const std::optional<HeadPose>& pose,
                                 const PingSettings& settings) {
    const PicturePoint marked{contact.pictureBearingDeg, contact.rangeM, 0.0};
    if (!contact.position || !pose || settings.beams <= 0) {
        return marked;
    }
    // The contact in the zone of the ping shown, whatever zone it was marked in.
    const UtmPoint at =
        ProjectInto(pose->Projection(), contact.position->latitudeDeg, contact.position->longitudeDeg);
    const FanPoint seen =
        pose->PictureOf({at.easting, at.northing, contact.position->depthM}, settings.beams);
    return PicturePoint{static_cast<float>(seen.bearingDeg), static_cast<float>(seen.slantM), seen.offFanM};
}

MarkerScreen MarkerScreenPlace(const PicturePoint& point, const PictureFrame& frame) {
    const double screenDeg = static_cast<double>(point.bearingDeg) + frame.rotationDeg;
    const double dx = std::sin(screenDeg * kDegToRad);
    const double dy = -std::cos(screenDeg * kDegToRad);
    const double distance = static_cast<double>(point.rangeM) * frame.pixelsPerMetre;
    const double limit = std::min(frame.radiusPx, ReachInClient(frame, dx, dy));
    MarkerScreen screen;
    screen.directionDeg = std::fmod(screenDeg + 720.0, 360.0);
    screen.inside = distance <= limit;
    const double along = screen.inside ? distance : std::max(limit, 0.0);
    screen.x = frame.centreX + along * dx;
    screen.y = frame.centreY + along * dy;
    if (!screen.inside && frame.clientWidth > 0 && frame.clientHeight > 0) {
        // A centre panned off the screen: the arrow stays on the screen's edge.
        screen.x = std::clamp(screen.x, kMarkerEdgeMarginPx, frame.clientWidth - 1 - kMarkerEdgeMarginPx);
        screen.y = std::clamp(screen.y, kMarkerEdgeMarginPx, frame.clientHeight - 1 - kMarkerEdgeMarginPx);
    }
    return screen;
}

} // namespace vexar
