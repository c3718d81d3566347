// Contacts: where a marked point lies on the map, where its marker goes on later pings as the
// vehicle moves and turns, a contact without a fix, the list's numbers and undo.

#include "contacts/CContactList.h"
#include "contacts/ContactMarking.h"
#include "navigation/HeadPlacement.h"
#include "navigation/NavigationMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace vexar {
namespace {

struct Pose {
    double eastM = 0.0; ///< from the first fix
    double northM = 0.0;
    float headingDeg = 0.0f;
    float depthM = 10.0f;
    float pitchDeg = 0.0f;
    float rollDeg = 0.0f;
};

constexpr double kLat = -33.9;
constexpr double kLon = 18.4;

/// The navigation of a ping whose sentence gave the pose (near 33.9 S 18.4 E).
CNavigation NavAt(const Pose& pose) {
    const UtmPoint origin = LatLonToUtm(kLat, kLon);
    const auto latLon = UtmToLatLon(origin.easting + pose.eastM, origin.northing + pose.northM, origin.zone,
                                    true, kLat, kLon);
    CNavigation nav;
    nav.m_latitude = latLon->first;
    nav.m_longitude = latLon->second;
    nav.m_latitudeText = "lat";
    nav.m_longitudeText = "lon";
    nav.m_heading = pose.headingDeg;
    nav.m_headingText = "heading";
    nav.m_depth = pose.depthM;
    nav.m_depthText = "depth";
    nav.m_pitch = pose.pitchDeg;
    nav.m_roll = pose.rollDeg;
    return nav;
}

PingSettings Settings() {
    PingSettings settings;
    settings.beams = 120;
    settings.soundVelocity = 1500.0f;
    return settings;
}

std::optional<HeadPose> PoseOf(const CNavigation& nav, const HeadMounting& mounting = {}) {
    return PoseOfPing(nav, "", mounting, 2000);
}

PlacedPoint PlacedAt(const std::optional<HeadPose>& pose, const PingSettings& settings,
                     const PicturePoint& point) {
    return pose->PlaceInPicture(point.bearingDeg, point.rangeM, settings.beams,
                                static_cast<double>(settings.soundVelocity));
}

// A contact marked on one ping is found on later pings where the same place of the seabed shows:
// the picture point found for the new pose is placed back on the contact's position. A vertical
// fan sees it only where its slice crosses it (the rest lies ahead or behind); a level one, tilted,
// turned on its mount and off the position reference, finds it on its cone.
TEST(ContactMarker, FollowsItsObjectAsTheVehicleMovesAndTurns) {
    const PingSettings settings = Settings();
    HeadMounting level;
    level.plane = HeadPlane::Level;
    level.tiltDeg = 30.0;
    level.yawDeg = 180.0;
    level.forwardM = 2.0;
    level.starboardM = -1.0;
    level.downM = 0.5;
    for (const HeadMounting& mounting : {HeadMounting{}, level}) {
        SCOPED_TRACE(mounting.plane == HeadPlane::Level ? "level" : "vertical");
        const bool vertical = mounting.plane == HeadPlane::Vertical;
        const Pose marked{0.0, 0.0, 30.0f, 10.0f, vertical ? 2.0f : 0.0f, vertical ? -3.0f : 0.0f};
        MarkingInput input;
        input.pictureBearingDeg = 60.0f;
        input.rangeM = 8.0f;
        input.mounting = mounting;
        const std::optional<HeadPose> markedPose = PoseOf(NavAt(marked), mounting);
        const Contact contact = MakeContact(NavAt(marked), markedPose, settings, input);
        ASSERT_TRUE(contact.position.has_value());
        const PlacedPoint onMap = PlacedAt(markedPose, settings, {60.0f, 8.0f, 0.0});
        EXPECT_NEAR(contact.position->easting, onMap.east, 1e-6);
        EXPECT_NEAR(contact.position->northing, onMap.north, 1e-6);
        EXPECT_EQ(contact.position->epsg, 32734);
        const UtmPoint back = LatLonToUtm(contact.position->latitudeDeg, contact.position->longitudeDeg);
        EXPECT_NEAR(back.easting, contact.position->easting, 1e-3);
        EXPECT_NEAR(back.northing - 10000000.0, contact.position->northing - 10000000.0, 1e-3);

        const struct {
            const char* what;
            Pose pose;
        } cases[] = {
            {"the same ping", marked},
            {"moved along its heading", {1.5, 2.6, 30.0f, 10.0f, marked.pitchDeg, marked.rollDeg}},
            {"moved across and up", {2.0, -1.0, 30.0f, 8.5f, 0.0f, 0.0f}},
            {"turned about", {0.0, 0.0, 210.0f, 10.0f, 0.0f, 0.0f}},
            {"turned a quarter and pitched",
             {-1.0, 0.5, 120.0f, 11.0f, vertical ? 5.0f : 0.0f, vertical ? 4.0f : 0.0f}},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            const std::optional<HeadPose> pose = PoseOf(NavAt(c.pose), mounting);
            const PicturePoint point = ContactPicturePoint(contact, pose, settings);
            const PlacedPoint placed = PlacedAt(pose, settings, point);
            // The vertical slice misses the contact by the distance out of its plane, straight
            // ahead or behind.
            const double h = static_cast<double>(c.pose.headingDeg) * std::numbers::pi / 180.0;
            const double flat = std::cos(static_cast<double>(c.pose.pitchDeg) * std::numbers::pi / 180.0);
            const double ahead = vertical ? point.outOfPlaneM * flat : 0.0;
            EXPECT_NEAR(placed.east + ahead * std::sin(h), contact.position->easting, 2e-3);
            EXPECT_NEAR(placed.north + ahead * std::cos(h), contact.position->northing, 2e-3);
        }
    }
    // Turned about on the spot, the point to starboard and below shows to port, as far away.
    const Pose marked{0.0, 0.0, 30.0f, 10.0f, 2.0f, -3.0f};
    MarkingInput input;
    input.pictureBearingDeg = 60.0f;
    input.rangeM = 8.0f;
    const Contact contact = MakeContact(NavAt(marked), PoseOf(NavAt(marked)), settings, input);
    const PicturePoint turned =
        ContactPicturePoint(contact, PoseOf(NavAt({0.0, 0.0, 210.0f, 10.0f, 0.0f, 0.0f})), settings);
    EXPECT_NEAR(turned.rangeM, 8.0f, 0.5f);
    EXPECT_GT(turned.bearingDeg, 180.0f);
}

// Without a fix a contact has no position, its bearing is the picture's, and its marker stays
// where it was marked.
TEST(ContactMarker, WithoutAFixKeepsItsBearingAndRange) {
    CNavigation nav;
    MarkingInput input;
    input.pictureBearingDeg = 135.0f;
    input.rangeM = 4.0f;
    input.lengthM = 1.25f;
    const Contact contact = MakeContact(nav, PoseOf(nav), Settings(), input);
    EXPECT_FALSE(contact.position.has_value());
    EXPECT_FALSE(contact.bearingFromNorth);
    EXPECT_FLOAT_EQ(contact.bearingDeg, 135.0f);
    EXPECT_EQ(contact.lengthM, 1.25f);
    const PicturePoint point = ContactPicturePoint(contact, PoseOf(NavAt({})), Settings());
    EXPECT_FLOAT_EQ(point.bearingDeg, 135.0f);
    EXPECT_FLOAT_EQ(point.rangeM, 4.0f);
    // With a heading the bearing is from north, and a head turned on its mount adds its yaw.
    const CNavigation heading = NavAt({0.0, 0.0, 300.0f});
    const Contact north = MakeContact(heading, PoseOf(heading), Settings(), input);
    EXPECT_TRUE(north.bearingFromNorth);
    EXPECT_NEAR(north.bearingDeg, 75.0f, 1e-4f);
    input.mounting.yawDeg = 180.0;
    EXPECT_NEAR(MakeContact(heading, PoseOf(heading), Settings(), input).bearingDeg, 255.0f, 1e-4f);
}

// Markers on the picture, and arrows at its edge for contacts beyond it, turned with the picture.
TEST(ContactMarker, ScreenPlaces) {
    const PictureFrame frame{500.0, 400.0, 20.0, 300.0, 0.0, 1000, 800};
    PictureFrame turned = frame;
    turned.rotationDeg = 90.0;
    PictureFrame panned = frame;
    panned.centreX = 960.0;
    const struct {
        const char* what;
        PictureFrame frame;
        PicturePoint point;
        bool inside;
        double x, y;
    } cases[] = {
        {"ahead", frame, {0.0f, 10.0f, 0.0}, true, 500.0, 200.0},
        {"to starboard", frame, {90.0f, 5.0f, 0.0}, true, 600.0, 400.0},
        {"beyond the picture astern", frame, {180.0f, 40.0f, 0.0}, false, 500.0, 700.0},
        {"turned with the picture", turned, {0.0f, 10.0f, 0.0}, true, 700.0, 400.0},
        {"beyond the screen's edge",
         panned,
         {90.0f, 5.0f, 0.0},
         false,
         1000.0 - 1.0 - kMarkerEdgeMarginPx,
         400.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const MarkerScreen screen = MarkerScreenPlace(c.point, c.frame);
        EXPECT_EQ(screen.inside, c.inside);
        EXPECT_NEAR(screen.x, c.x, 1e-6);
        EXPECT_NEAR(screen.y, c.y, 1e-6);
    }
}

// Numbers are never given twice, not even after a deletion; undo brings a contact back as it was.
TEST(ContactList, NumbersAndUndo) {
    CContactList list;
    Contact contact;
    contact.note = "tyre";
    EXPECT_EQ(list.Add(contact), 1);
    EXPECT_EQ(list.Add(contact), 2);
    ASSERT_TRUE(list.SetStatus(2, ContactStatus::Confirmed));
    ASSERT_TRUE(list.Delete(2));
    EXPECT_EQ(list.Add(contact), 3);
    EXPECT_EQ(list.UndoDelete(), 2);
    ASSERT_NE(list.Find(2), nullptr);
    EXPECT_EQ(list.Find(2)->status, ContactStatus::Confirmed);
    EXPECT_EQ(list.All()[1].number, 2);
    EXPECT_FALSE(list.UndoDelete().has_value());
    EXPECT_FALSE(list.Delete(7));
}

} // namespace
} // namespace vexar
