#include "display/OverlayLayout.h"
#include "display/ViewPointer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vexar {
namespace {

TEST(CursorReadout, BearingIsClockwiseFromTheTop) {
    const struct {
        int x, y;
        float bearing;
    } cases[] = {{500, 400, 90.0f},  {500, 300, 0.0f},   {400, 400, 270.0f},
                 {600, 400, 90.0f},  {500, 500, 180.0f}, {600, 300, 45.0f},
                 {400, 300, 315.0f}, {400, 500, 225.0f}, {600, 500, 135.0f}};
    for (const auto& c : cases) {
        EXPECT_NEAR(CursorBearingDeg(c.x, c.y, 500, 400), c.bearing, 1e-4f) << c.x << "," << c.y;
    }
}

TEST(CursorReadout, RangeAndTexts) {
    // The picture radius of 1000 points at zoom 1 is 1000 pixels and covers the range.
    EXPECT_FLOAT_EQ(CursorRangeM(500.0f, 10.0f, 1.0f, 1000, 1.0f), 5.0f);
    EXPECT_FLOAT_EQ(CursorRangeM(500.0f, 10.0f, 0.5f, 1000, 1.0f), 10.0f);
    EXPECT_FLOAT_EQ(CursorRangeM(100.0f, 10.0f, 1.0f, 1000, 0.0f), 0.0f);
    EXPECT_EQ(CursorRangeText(3.048f, DistanceUnit::Metric), "3.05 m");
    EXPECT_EQ(CursorRangeText(3.048f, DistanceUnit::Imperial), "10.00 ft");
    EXPECT_EQ(CursorBearingText(271.25f), "271.2 deg.");
}

// The pointer on an 800 x 600 view of a polar picture of 1000 points at 10 m.
class PointerTest : public ::testing::Test {
protected:
    PointerTest() {
        view.clientWidth = 800;
        view.clientHeight = 600;
        view.rangeM = 10.0f;
        view.samples = 1000;
        view.soundScale = SoundVelocityScale(1500.0f, 1.0f);
        SetZoom(1.0f);
    }
    void SetZoom(float zoom) {
        view.zoomFactor = zoom;
        const float radius = 1000.0f * zoom;
        view.measureScale = radius / 10.0f * zoom; // k = R / r x zoom x s, s = 1
    }

    PointerContext view;
    CViewPointer pointer;
};

TEST_F(PointerTest, ThreeClicksMeasureAndEnd) {
    view.measuring = true;
    pointer.LeftDown(view, 400, 300);
    EXPECT_TRUE(pointer.Measure().m_active);
    EXPECT_FALSE(pointer.Panning());
    pointer.Move(view, 700, 300);
    EXPECT_NEAR(pointer.DistanceM(view.zoomFactor), 3.0f, 1e-4f);
    pointer.LeftDown(view, 400, 700); // outside the view height: still the second click
    pointer.Move(view, 500, 300);     // B no longer follows
    EXPECT_NEAR(pointer.DistanceM(view.zoomFactor), 4.0f, 1e-4f);
    const PointerResult third = pointer.LeftDown(view, 10, 10);
    EXPECT_TRUE(third.repaint);
    EXPECT_TRUE(third.measuringEnded);
    EXPECT_FALSE(pointer.Measure().m_a.IsSet());
}

TEST_F(PointerTest, DistanceAndPointsFollowZoomAndPan) {
    view.measuring = true;
    pointer.LeftDown(view, 300, 300);
    pointer.Move(view, 600, 700); // beyond the client height: B stays at A
    pointer.Move(view, 600, 300);
    EXPECT_NEAR(pointer.DistanceM(view.zoomFactor), 3.0f, 1e-4f);

    SetZoom(0.5f);
    pointer.Reproject(view);
    EXPECT_NEAR(pointer.DistanceM(view.zoomFactor), 3.0f, 1e-4f);
    EXPECT_EQ(pointer.Measure().m_a.x, 350); // half as far left of the centre
    EXPECT_EQ(pointer.EndX(view), 500);

    view.panX = 40;
    pointer.Reproject(view);
    EXPECT_EQ(pointer.Measure().m_a.x, 310);
    EXPECT_NEAR(pointer.DistanceM(view.zoomFactor), 3.0f, 1e-4f);

    // Cleared elsewhere: the next paint forgets the points.
    pointer.SyncWithView(false, view.zoomFactor);
    EXPECT_FALSE(pointer.Measure().m_active);
}

TEST_F(PointerTest, BeamTestNeitherPansNorReads) {
    view.polar = false;
    pointer.LeftDown(view, 100, 100);
    EXPECT_FALSE(pointer.Panning());
    EXPECT_FALSE(pointer.Move(view, 150, 100).readout);
}

} // namespace
} // namespace vexar
