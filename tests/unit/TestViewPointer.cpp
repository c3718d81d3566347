#include "acquisition/CTamsorDoc.h"
#include "display/ViewPointer.h"
#include "support/FakePorts.h"

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
    EXPECT_EQ(CursorRangeText(3.048f, 0), "3.05 m");
    EXPECT_EQ(CursorRangeText(3.048f, 1), "10.00 ft");
    EXPECT_EQ(CursorBearingText(271.25f), "271.2 deg.");
}

class PointerTest : public ::testing::Test {
protected:
    PointerTest() : doc(CTamsorDoc::Create(world.Ports())) {
        doc->Head(0).m_displayMode = 0;
        doc->Head(0).m_rangeM = 10.0f;
        doc->Head(0).m_samples = 1000;
        doc->m_soundVelocity = 1500.0f;
        SetZoom(1.0f);
    }
    void SetZoom(float zoom) {
        doc->m_zoomFactor = zoom;
        const float radius = 1000.0f * zoom;
        view = ViewGeometry{800, 600, radius / 10.0f * zoom}; // k = R / r x zoom x s, s = 1
    }

    test::FakeWorld world;
    std::unique_ptr<CTamsorDoc> doc;
    ViewGeometry view;
    CViewPointer pointer;
};

TEST_F(PointerTest, ThreeClicksMeasureAndEnd) {
    doc->m_measuring = 1;
    pointer.LeftDown(*doc, view, 400, 300);
    EXPECT_TRUE(pointer.Measure().m_active);
    EXPECT_FALSE(pointer.Panning());
    pointer.Move(*doc, view, 700, 300);
    EXPECT_NEAR(pointer.DistanceM(*doc), 3.0f, 1e-4f);
    pointer.LeftDown(*doc, view, 400, 700); // outside the view height: still the second click
    pointer.Move(*doc, view, 500, 300);     // B no longer follows
    EXPECT_NEAR(pointer.DistanceM(*doc), 4.0f, 1e-4f);
    const PointerResult third = pointer.LeftDown(*doc, view, 10, 10);
    EXPECT_TRUE(third.repaint);
    EXPECT_EQ(doc->m_measuring, 0);
    EXPECT_FALSE(pointer.Measure().m_a.IsSet());
}

TEST_F(PointerTest, DistanceAndPointsFollowZoomAndPan) {
    doc->m_measuring = 1;
    pointer.LeftDown(*doc, view, 300, 300);
    pointer.Move(*doc, view, 600, 700); // beyond the client height: B stays at A
    pointer.Move(*doc, view, 600, 300);
    EXPECT_NEAR(pointer.DistanceM(*doc), 3.0f, 1e-4f);

    SetZoom(0.5f);
    pointer.Reproject(*doc, view);
    EXPECT_NEAR(pointer.DistanceM(*doc), 3.0f, 1e-4f);
    EXPECT_EQ(pointer.Measure().m_a.x, 350); // half as far left of the centre
    EXPECT_EQ(pointer.EndX(*doc, view), 500);

    doc->m_panX = 40;
    pointer.Reproject(*doc, view);
    EXPECT_EQ(pointer.Measure().m_a.x, 310);
    EXPECT_NEAR(pointer.DistanceM(*doc), 3.0f, 1e-4f);

    doc->m_measuring = 0; // cleared elsewhere: the next paint forgets the points
    pointer.SyncWithDocument(*doc);
    EXPECT_FALSE(pointer.Measure().m_active);
}

TEST_F(PointerTest, BeamTestNeitherPansNorReads) {
    doc->Head(0).m_displayMode = 2;
    pointer.LeftDown(*doc, view, 100, 100);
    EXPECT_FALSE(pointer.Panning());
    doc->m_cursorBearingDeg = 12.0f;
    EXPECT_FALSE(pointer.Move(*doc, view, 150, 100).readout);
    EXPECT_FLOAT_EQ(doc->m_cursorBearingDeg, 12.0f);
}

} // namespace
} // namespace vexar
