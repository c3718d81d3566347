#include "contacts/ContactMarking.h"

#include "navigation/NavigationMath.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace vexar {

namespace {
constexpr double kDegToRad = std::numbers::pi / 180.0;

std::optional<ContactPosition> PositionOf(const CNavigation& nav, const PingSettings& settings,
                                          const MarkingInput& input) {
    if (!HasUsableFix(nav)) {
        return std::nullopt;
    }
    const std::optional<RotatedPoint> offset =
        PictureOffset(nav, settings, input.pictureBearingDeg, input.rangeM);
    if (!offset) {
        return std::nullopt;
    }
    const UtmPoint fix = LatLonToUtm(nav.m_latitude, nav.m_longitude);
    const bool south = nav.m_latitude < 0.0;
    ContactPosition position;
    position.easting = fix.easting + offset->x;
    position.northing = fix.northing + offset->y;
    position.epsg = (south ? 32700 : 32600) + fix.zone;
    position.depthM = static_cast<double>(nav.m_depth) + offset->z;
    const auto latLon =
        UtmToLatLon(position.easting, position.northing, fix.zone, south, nav.m_latitude, nav.m_longitude);
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

bool HasUsableFix(const CNavigation& nav) {
    if (nav.m_latitudeText.empty() || nav.m_longitudeText.empty()) {
        return false;
    }
    const UtmPoint fix = LatLonToUtm(nav.m_latitude, nav.m_longitude);
    return fix.easting != 0.0 && fix.northing != 0.0;
}

Contact MakeContact(const CNavigation& nav, const PingSettings& settings, const MarkingInput& input) {
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
        contact.bearingFromNorth = true;
        contact.bearingDeg = static_cast<float>(std::fmod(static_cast<double>(input.pictureBearingDeg) +
                                                              static_cast<double>(nav.m_heading) + 720.0,
                                                          360.0));
    }
    if (!nav.m_depthText.empty()) {
        contact.vehicleDepthM = nav.m_depth;
    }
    contact.position = PositionOf(nav, settings, input);
    return contact;
}

PicturePoint ContactPicturePoint(const Contact& contact, const CNavigation& nav,
                                 const PingSettings& settings) {
    const PicturePoint marked{contact.pictureBearingDeg, contact.rangeM, 0.0};
    if (!contact.position || !HasUsableFix(nav)) {
        return marked;
    }
    const UtmPoint fix = LatLonToUtm(nav.m_latitude, nav.m_longitude);
    // The contact in the zone of the fix shown, whatever zone it was marked in.
    UtmPoint at = LatLonToUtmInZone(contact.position->latitudeDeg, contact.position->longitudeDeg, fix.zone);
    const bool fixSouth = nav.m_latitude < 0.0;
    if ((contact.position->latitudeDeg < 0.0) != fixSouth) {
        at.northing += fixSouth ? 10000000.0 : -10000000.0;
    }
    const RotatedPoint offset{at.easting - fix.easting, at.northing - fix.northing,
                              contact.position->depthM - static_cast<double>(nav.m_depth)};
    return PicturePointOfOffset(nav, settings, offset).value_or(marked);
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
