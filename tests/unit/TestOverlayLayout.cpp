#include "display/CMeasureState.h"
#include "display/OverlayLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexar {
namespace {

std::vector<std::string> Labels(float rangeM, DistanceUnit unit) {
    std::vector<std::string> labels;
    for (int i = 1; i <= 5; ++i) {
        labels.push_back(RangeMarkLabel(i, rangeM, unit));
    }
    return labels;
}

TEST(OverlayLayout, RangeMarkLabels) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Labels(10.0f, DistanceUnit::Metric), (V{"2 m", "4 m", "6 m", "8 m", "10 m"}));
    EXPECT_EQ(Labels(2.5f, DistanceUnit::Metric), (V{"0.5 m", "1.0 m", "1.5 m", "2.0 m", "2.5 m"}));
    EXPECT_EQ(Labels(1.25f, DistanceUnit::Metric), (V{"0.25 m", "0.50 m", "0.75 m", "1.00 m", "1.25 m"}));
    EXPECT_EQ(Labels(10.0f, DistanceUnit::Imperial), (V{"6 ft", "12 ft", "18 ft", "24 ft", "30 ft"}));
    EXPECT_EQ(Labels(5.0f, DistanceUnit::Metric), (V{"1 m", "2 m", "3 m", "4 m", "5 m"}));
    EXPECT_EQ(Labels(2.5f, DistanceUnit::Imperial), (V{"1.5 ft", "3.0 ft", "4.5 ft", "6.0 ft", "7.5 ft"}));
}

TEST(OverlayLayout, ScaleTexts) {
    EXPECT_EQ(ScaleText(10.0f, DistanceUnit::Metric), "(2.00 m / div)");
    EXPECT_EQ(ScaleText(10.0f, DistanceUnit::Imperial), "(6.00 ft / div)");
    EXPECT_EQ(ScaleText(1.25f, DistanceUnit::Metric), "(0.25 m / div)");
}

TEST(OverlayLayout, GainTexts) {
    EXPECT_EQ(SysGainText(6, false, 9), "SysGain: 6 dB");
    EXPECT_EQ(SysGainText(6, true, 9), "SysGain: 6 dB (9 dB)");
    EXPECT_EQ(DisplayGainText(50, false, 40), "Display Gain: 50 %");
    EXPECT_EQ(DisplayGainText(50, true, 40), "Display Gain: 50 %  (40 %)");
}

TEST(OverlayLayout, SpinnerCyclesThroughFourCharacters) {
    EXPECT_EQ(SpinnerChar(0), '\\');
    EXPECT_EQ(SpinnerChar(1), '|');
    EXPECT_EQ(SpinnerChar(2), '/');
    EXPECT_EQ(SpinnerChar(3), '-');
    EXPECT_EQ(SpinnerChar(4), '\\');
    EXPECT_EQ(SpinnerChar(-1), '-');
}

TEST(OverlayLayout, FifthRingOnThePictureEdgeAt1500MetresPerSecond) {
    for (const float radius : {1000.0f, 500.0f, 250.0f}) {
        const float d = GridSpacingPx(radius, DistanceUnit::Metric, SoundVelocityScale(1500.0f, 1.0f));
        EXPECT_EQ(GridMarkPx(5, d), static_cast<int>(radius));
    }
    const float slower = GridSpacingPx(1000.0f, DistanceUnit::Metric, SoundVelocityScale(1400.0f, 1.0f));
    EXPECT_GT(GridMarkPx(5, slower), 1000);
    // Imperial at 10 m: 6 ft steps drawn at 1.83 m.
    const float feet = GridSpacingPx(1000.0f, DistanceUnit::Imperial, 1.0f);
    EXPECT_EQ(GridMarkPx(1, feet), 182);
    EXPECT_EQ(GridMarkPx(-2, 200.0f), -400);
}

TEST(OverlayLayout, DamagedSoundVelocityGivesNoCorrection) {
    EXPECT_FLOAT_EQ(SoundVelocityScale(0.0f, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(SoundVelocityScale(1500.0f, 0.0f), 1.0f);
    EXPECT_FLOAT_EQ(SoundVelocityScale(1480.0f, 1.0f), 1500.0f / 1480.0f);
}

TEST(OverlayLayout, MeasureDistanceFollowsStoredOffsets) {
    // k = R / r x zoom x s; at 50 % zoom with R = 250 and 10 m: k = 12.5 pixels per unit.
    const float k = 250.0f / 10.0f * 0.5f;
    CMeasureState m;
    m.m_a.Set(300, 300, 300, 300, k);
    m.m_b.Set(300 + 50, 300, 300, 300, k); // 50 pixels = 2 m at 25 pixels per metre
    EXPECT_FLOAT_EQ(m.DistanceM(0.5f), 2.0f);
    EXPECT_EQ(MeasureText(m.DistanceM(0.5f)), "2.00 M");
    EXPECT_EQ(MeasurePoint::ScreenFromOffset(-2.5f, 1.0f, 10), 7); // half away from zero
    EXPECT_EQ(MeasurePoint::ScreenFromOffset(2.5f, 1.0f, 10), 13);
}

TEST(OverlayLayout, MessagesMoveToTheNearestClearPlace) {
    // A message meant for the centre row of labels moves just below them; with the space below
    // taken too, just above; a message meant off the client comes back inside.
    const std::vector<TextBox> labels = {{380, 292, 40, 16}, {100, 292, 40, 16}};
    EXPECT_EQ(PlaceClear({350, 300, 100, 17}, labels, 800, 600).y, 308);
    std::vector<TextBox> crowded = labels;
    crowded.push_back({300, 308, 200, 60});
    EXPECT_EQ(PlaceClear({350, 300, 100, 17}, crowded, 800, 600).y, 292 - 17);
    const TextBox outside = PlaceClear({790, 595, 40, 17}, {}, 800, 600);
    EXPECT_EQ(outside.x, 760);
    EXPECT_EQ(outside.y, 583);
    // Nowhere clear: it stays.
    EXPECT_EQ(PlaceClear({0, 10, 50, 17}, std::vector<TextBox>{{0, 0, 800, 600}}, 800, 600).y, 10);
}

TEST(OverlayLayout, MeasurePointsFollowZoomAndPan) {
    CMeasureState m;
    m.m_a.Set(140, 80, 100, 100, 4.0f); // offset (10, -5)
    m.m_c = MeasurePoint{};
    m.Reproject(300, 200, 8.0f); // twice the scale around a moved centre
    EXPECT_EQ(m.m_a.x, 380);
    EXPECT_EQ(m.m_a.y, 160);
    EXPECT_FALSE(m.m_c.IsSet()); // unset points stay unset
}

} // namespace
} // namespace vexar
