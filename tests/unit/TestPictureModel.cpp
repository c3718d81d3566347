#include "display/CMeasureState.h"
#include "display/CPictureModel.h"
#include "display/PictureKernels.h"

#include <gtest/gtest.h>

#include <limits>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace vexar {
namespace {

// The picture of a ping as the document hands it over: its settings, the view settings, the
// combined image and profile and the heads.
class PictureModelTest : public ::testing::Test {
protected:
    PictureModelTest() { settings.transducerUp = 1; }

    // Polar mode, no profile points, given beams per head, data points and zoom.
    void Configure(int beams, int samples, int zoomIndex, int width = 1200, int height = 1100) {
        settings.beams = beams;
        settings.samples = samples;
        settings.displayMode = kDisplayModePolar;
        settings.rangeM = 10.0f;
        settings.soundVelocity = 1500.0f;
        view.zoomIndex = zoomIndex;
        model->InitialUpdate(Input());
        model->Resize(Input(), width, height);
    }

    PictureInput Input() const {
        PictureInput input;
        input.settings = &settings;
        input.view = &view;
        input.combinedImage = image.data();
        input.combinedProfile = profile.data();
        input.heads = heads.get();
        input.displayedPingPeriodMs = pingPeriodMs;
        input.geometryVersion = geometryVersion;
        input.clearVersion = clearVersion;
        input.topBearingDeg = heading;
        return input;
    }

    // Screen bearing (degrees clockwise from up) of the centroid of the bright pixels.
    double TargetBearing() const {
        double sx = 0.0;
        double sy = 0.0;
        int count = 0;
        const int n = model->Side();
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                if (model->PictureAt(x, y) >= 125) {
                    sx += x + 0.5 - static_cast<double>(model->CentreX());
                    sy += y + 0.5 - static_cast<double>(model->CentreY());
                    ++count;
                }
            }
        }
        if (count == 0) {
            return -1.0;
        }
        const double bearing = std::atan2(sx / count, -sy / count) * 180.0 / 3.14159265358979;
        return bearing < 0.0 ? bearing + 360.0 : bearing;
    }

    // Every beam the picture can read (with the wrap margin) at one intensity.
    void FillCombined(float value) { std::fill(image.begin(), image.end(), value); }
    float& ImageAt(int beam, int sample) {
        return image[static_cast<std::size_t>(beam) * kMaxSamples + static_cast<std::size_t>(sample)];
    }
    COndrel& Head(int k) { return (*heads)[static_cast<std::size_t>(k)]; }

    void Ping() {
        Head(0).m_newData = 1;
        model->Update(Input());
    }

    // Picture value at a screen bearing (degrees clockwise from up) and radius.
    int ValueAt(float bearingDeg, float radius) const {
        const double a = static_cast<double>(bearingDeg) * 3.14159265358979 / 180.0;
        const double r = static_cast<double>(radius);
        const int x = static_cast<int>(std::lround(static_cast<double>(model->CentreX()) + r * std::sin(a)));
        const int y = static_cast<int>(std::lround(static_cast<double>(model->CentreY()) - r * std::cos(a)));
        return model->PictureAt(x, y);
    }

    PingSettings settings;
    ViewSettings view;
    std::vector<float> image = std::vector<float>(static_cast<std::size_t>(kCombinedBeams) * kMaxSamples);
    std::vector<float> profile = std::vector<float>(kCombinedBeams);
    std::unique_ptr<std::array<COndrel, kHeadCount>> heads =
        std::make_unique<std::array<COndrel, kHeadCount>>();
    float pingPeriodMs = 250.0f;
    std::uint64_t geometryVersion = 1;
    std::uint64_t clearVersion = 0;
    std::optional<float> heading;
    WorkerPool serial{0};
    std::unique_ptr<CPictureModel> model = std::make_unique<CPictureModel>(serial);
};

TEST(PictureGeometry, SweepStepsAndSubSteps) {
    struct Case {
        int beams, total, sub;
    };
    for (const Case c : {Case{480, 1444, 4}, Case{240, 722, 8}, Case{120, 361, 16}}) {
        const SweepPlan plan = CPictureModel::PlanSweep(c.beams);
        EXPECT_EQ(plan.totalBeams, c.total) << c.beams;
        EXPECT_EQ(plan.subSteps, c.sub) << c.beams;
        EXPECT_EQ(plan.steps, 5776) << c.beams;
    }
    EXPECT_EQ(CPictureModel::QuarterBeams(480), 360);
    EXPECT_EQ(CPictureModel::QuarterBeams(240), 180);
    EXPECT_EQ(CPictureModel::QuarterBeams(120), 90);
}

TEST(PictureGeometry, WeightTable) {
    const WeightTriple first = CPictureModel::Weight(0);
    EXPECT_EQ(first.previous, 121);
    EXPECT_EQ(first.same, 134);
    EXPECT_EQ(first.next, 0);
    const WeightTriple third = CPictureModel::Weight(3);
    EXPECT_EQ(third.previous, 102);
    EXPECT_EQ(third.next, 19);
    const WeightTriple last = CPictureModel::Weight(19);
    EXPECT_EQ(last.previous, 0);
    EXPECT_EQ(last.next, 121);
    // Truncation leaves some triples one short of 255.
    for (int i = 0; i < 20; ++i) {
        const WeightTriple w = CPictureModel::Weight(i);
        EXPECT_EQ(w.previous + w.same + w.next, i % 5 == 2 ? 254 : 255) << i;
    }
}

TEST(PictureGeometry, PictureSideFromDataPointsAndZoom) {
    EXPECT_EQ(CPictureModel::PictureSide(1000, 1.0f), 2000);
    EXPECT_EQ(CPictureModel::PictureSide(500, 0.5f), 500);
    EXPECT_EQ(CPictureModel::PictureSide(1000, 0.5f), 1000);
    EXPECT_EQ(CPictureModel::PictureSide(500, 1.0f), 1000);
    EXPECT_EQ(CPictureModel::PictureSide(1000, 0.4005f), 804); // rounded up to a multiple of 4
    EXPECT_EQ(CPictureModel::PictureSide(1000, 3.0f), kMaxPictureSide);
}

TEST_F(PictureModelTest, ZoomSetsPictureSideAndCentre) {
    Configure(480, 1000, kZoomFull);
    EXPECT_EQ(model->Side(), 2000);
    EXPECT_FLOAT_EQ(model->Radius(), 1000.0f);
    EXPECT_FLOAT_EQ(model->CentreX(), 1000.0f);
    EXPECT_FLOAT_EQ(model->ZoomFactor(), 1.0f);

    Configure(240, 500, kZoomHalf);
    EXPECT_EQ(model->Side(), 500);
    EXPECT_FLOAT_EQ(model->ZoomFactor(), 0.5f);
}

TEST_F(PictureModelTest, FillScreenFitsTheSmallerSide) {
    Configure(480, 1000, kZoomFillScreen, 1201, 801);
    EXPECT_EQ(model->ClientWidth(), 1204);
    EXPECT_EQ(model->Side(), 804);
}

TEST_F(PictureModelTest, FillScreenOnAHugeWindowStaysWithinCapacity) {
    Configure(480, 1000, kZoomFillScreen, 3000, 2600);
    EXPECT_EQ(model->Side(), kMaxPictureSide);
    // The zoom factor describes the picture actually drawn.
    EXPECT_FLOAT_EQ(model->ZoomFactor(), 1.0f);
    FillCombined(100.0f);
    Ping();
    EXPECT_EQ(ValueAt(45.0f, 700.0f), 99);
}

TEST_F(PictureModelTest, UnreachedPixelsAndBeamZeroStayBlackZeroValuesBecomeOne) {
    Configure(480, 1000, kZoomFull);
    FillCombined(0.0f);
    Ping();
    const int n = model->Side();
    int beamZeroPixels = 0;
    int drawn = 0;
    for (int y = 0; y < n; ++y) {
        const RowSpan span = model->RowSpanAt(y);
        for (int x = 0; x < n; ++x) {
            const int shown = model->PictureAt(n - 1 - x, y);
            const PixelMapEntry e = model->PixelMapAt(x, y);
            const bool reached = e.w1 != 0;
            if (x < span.first || x > span.last || !reached || e.beam == 0) {
                ASSERT_EQ(shown, 0) << x << "," << y;
                beamZeroPixels += reached && e.beam == 0 ? 1 : 0;
            } else {
                ASSERT_EQ(shown, 1) << x << "," << y;
                ++drawn;
            }
        }
    }
    EXPECT_GT(beamZeroPixels, 500); // the wedge of beam 0 straight up
    EXPECT_GT(drawn, 2900000);      // nearly the whole disc of radius 1000
    // The corners lie outside the disc and no sweep step reaches them.
    EXPECT_EQ(model->PixelMapAt(0, n - 1).w1, 0);
    EXPECT_EQ(model->PixelMapAt(n - 1, n - 1).beam, 0);
    // Straight up, just inside beam 0's wedge, stays 0; a few degrees on it is drawn.
    EXPECT_EQ(ValueAt(0.1f, 800.0f), 0);
    EXPECT_EQ(ValueAt(3.0f, 800.0f), 1);
}

TEST_F(PictureModelTest, PixelMapCarriesBeamSampleAndWeights) {
    Configure(120, 1000, kZoomHalf);
    const int n = model->Side();
    ASSERT_EQ(n, 1000);
    // Straight down (map built counter-clockwise, so half way round) at radius 250.
    const PixelMapEntry e = model->PixelMapAt(n / 2, n / 2 + 250);
    EXPECT_EQ(e.sample, 500);
    EXPECT_NEAR(e.beam, 180, 1);
    EXPECT_EQ(e.w1, 134);
    EXPECT_EQ(e.w0 + e.w1 + e.w2, 255);
}

TEST_F(PictureModelTest, TargetAppearsAtItsBearingClockwiseFromTheTop) {
    Configure(120, 1000, kZoomHalf); // 360 beams, N = 1000, R = 500
    const SweepPlan plan = CPictureModel::PlanSweep(120);
    for (const int beam : {10, 90, 200, 300}) {
        FillCombined(0.0f);
        for (int s = 590; s <= 610; ++s) {
            ImageAt(beam, s) = 255.0f;
        }
        Ping();
        // Centroid of the pixels that belong to the target's own beam (weight 134 of 255).
        double sx = 0.0;
        double sy = 0.0;
        int count = 0;
        const int n = model->Side();
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                if (model->PictureAt(x, y) >= 125) {
                    sx += x + 0.5 - static_cast<double>(model->CentreX());
                    sy += y + 0.5 - static_cast<double>(model->CentreY());
                    ++count;
                }
            }
        }
        ASSERT_GT(count, 0) << beam;
        sx /= count;
        sy /= count;
        double bearing = std::atan2(sx, -sy) * 180.0 / 3.14159265358979;
        if (bearing < 0.0) {
            bearing += 360.0;
        }
        const double expectedBearing = (beam + 0.5) * 360.0 / plan.totalBeams;
        EXPECT_NEAR(bearing, expectedBearing, 0.5) << beam;
        EXPECT_NEAR(std::hypot(sx, sy), 300.0, 2.0) << beam; // sample 600 of 1000 at R = 500
    }
}

// North Up turns the picture by the heading: an echo is drawn at its true bearing, within half a
// beam of the sweep, wherever the turn takes it but onto the one beam straight up, which is never
// drawn (in Head Up neither); the profile points turn with it. Head Up, and North Up without a
// heading, draw the same bytes as ever.
TEST_F(PictureModelTest, NorthUpDrawsATargetAtItsTrueBearing) {
    struct Case {
        int beamsPerHead, beam;
        float headingDeg;
    };
    for (const Case c :
         {Case{120, 10, 345.4f}, Case{120, 300, 45.2f}, Case{480, 1000, 123.4f}, Case{240, 700, -30.0f}}) {
        Configure(c.beamsPerHead, 1000, kZoomHalf);
        FillCombined(0.0f);
        for (int s = 590; s <= 610; ++s) {
            ImageAt(c.beam, s) = 255.0f;
        }
        view.orientation = ViewOrientation::HeadUp;
        heading = c.headingDeg;
        Ping();
        const std::vector<std::uint8_t> headUp(model->Picture().begin(), model->Picture().end());
        view.orientation = ViewOrientation::NorthUp;
        heading.reset();
        Ping();
        EXPECT_TRUE(std::equal(headUp.begin(), headUp.end(), model->Picture().begin())) << "no heading";
        EXPECT_FALSE(model->Turn().northUp);

        heading = c.headingDeg;
        Ping();
        const int sweep = CPictureModel::PlanSweep(c.beamsPerHead).totalBeams;
        const double perBeam = 360.0 / sweep;
        const double trueHeading = static_cast<double>(c.headingDeg);
        const double expected = std::fmod((c.beam + 0.5) * perBeam + trueHeading + 720.0, 360.0);
        const double drawn = TargetBearing();
        EXPECT_NEAR(std::remainder(drawn - expected, 360.0), 0.0, perBeam / 2.0 + 0.1)
            << c.beam << " at " << c.headingDeg;
        EXPECT_TRUE(model->Turn().northUp);
        EXPECT_NEAR(std::remainder(static_cast<double>(model->Turn().degrees) - trueHeading, 360.0), 0.0,
                    perBeam / 2.0);
    }
    // A profile point a quarter turn to the right of the bow, heading east: drawn below the centre.
    Configure(480, 1000, kZoomFull);
    settings.detectProfilePoints = 1;
    view.profileDisplay = kProfileDisplayPointsOnly;
    std::fill(profile.begin(), profile.end(), 0.0f);
    profile[360] = 250.0f;
    heading = 90.0f;
    Ping();
    EXPECT_EQ(model->PictureAt(1001, 1250), kProfilePointValue);
}

TEST_F(PictureModelTest, WeightsBlendNeighbouringBeams) {
    Configure(480, 1000, kZoomFull);
    FillCombined(0.0f);
    for (int b = 0; b < kCombinedBeams; b += 2) {
        for (int s = 0; s < 1000; ++s) {
            ImageAt(b, s) = 200.0f;
        }
    }
    Ping();
    // Even beams show their own weight (134 x 200 >> 8 = 104) plus nothing from their odd
    // neighbours; odd beams show the weighted neighbours only, never more than 255.
    const int n = model->Side();
    for (int y = 100; y < n; y += 97) {
        const RowSpan span = model->RowSpanAt(y);
        for (int x = span.first; x <= span.last; x += 13) {
            const PixelMapEntry e = model->PixelMapAt(x, y);
            if (e.beam == 0 || e.w1 == 0) {
                continue;
            }
            const int expected = e.beam % 2 == 0 ? (134 * 200) >> 8 : ((e.w0 + e.w2) * 200) >> 8;
            ASSERT_EQ(model->PictureAt(n - 1 - x, y), expected) << x << "," << y;
        }
    }
}

TEST_F(PictureModelTest, ValuesAboveTheScaleAreClampedAndBadValuesAreZero) {
    Configure(120, 500, kZoomHalf);
    FillCombined(1.0e9f);
    Ping();
    EXPECT_EQ(ValueAt(90.0f, 100.0f), 254); // 255 x 255 >> 8
    FillCombined(std::nanf(""));
    Ping();
    EXPECT_EQ(ValueAt(90.0f, 100.0f), 1);
    FillCombined(-40.0f);
    Ping();
    EXPECT_EQ(ValueAt(90.0f, 100.0f), 1);
}

TEST(PictureGeometry, PersistenceDecay) {
    EXPECT_FLOAT_EQ(CPictureModel::PersistenceDecay(100.0f, 2).value_or(-1.0f), 4.0f);
    EXPECT_FLOAT_EQ(CPictureModel::PersistenceDecay(0.0f, 2).value_or(-1.0f), 10.0f); // 250 ms assumed
    EXPECT_FALSE(CPictureModel::PersistenceDecay(2000.0f, 2).has_value());
    EXPECT_FALSE(CPictureModel::PersistenceDecay(2500.0f, 2).has_value());
    EXPECT_TRUE(CPictureModel::PersistenceDecay(1999.5f, 2).has_value());
    EXPECT_FALSE(CPictureModel::PersistenceDecay(100.0f, 0).has_value());
    EXPECT_FALSE(CPictureModel::PersistenceDecay(100.0f, -5).has_value());
}

TEST_F(PictureModelTest, PersistenceFadesFourLevelsPerPingAtTwoSecondsAnd100Ms) {
    Configure(120, 500, kZoomHalf);
    settings.persistence = 2;
    pingPeriodMs = 100.0f;
    FillCombined(100.0f);
    Ping();
    EXPECT_EQ(ValueAt(120.0f, 150.0f), 99);
    FillCombined(0.0f);
    for (int ping = 1; ping <= 5; ++ping) {
        Ping();
        EXPECT_EQ(ValueAt(120.0f, 150.0f), 99 - 4 * ping) << ping;
    }
    // Beam 0 is never drawn, so persistence keeps it black too.
    EXPECT_EQ(ValueAt(0.1f, 150.0f), 0);
}

TEST_F(PictureModelTest, PersistenceHasNoEffectAtLongPingIntervals) {
    Configure(120, 500, kZoomHalf);
    settings.persistence = 2;
    pingPeriodMs = 2000.0f;
    FillCombined(200.0f);
    Ping();
    FillCombined(0.0f);
    Ping();
    EXPECT_EQ(ValueAt(120.0f, 150.0f), 1);
}

TEST_F(PictureModelTest, ClearRequestGivesIndexOneEverywhere) {
    Configure(120, 500, kZoomHalf);
    FillCombined(200.0f);
    ++clearVersion;
    Ping();
    for (const std::uint8_t v : model->Picture()) {
        ASSERT_EQ(v, 1);
    }
    // The hold values are cleared too: the next ping shows only fresh data.
    settings.persistence = 5;
    pingPeriodMs = 100.0f;
    FillCombined(0.0f);
    Ping();
    EXPECT_EQ(ValueAt(200.0f, 150.0f), 1);
}

TEST_F(PictureModelTest, NoNewDataLeavesThePictureAlone) {
    Configure(120, 500, kZoomHalf);
    FillCombined(200.0f);
    Head(0).m_newData = 0;
    model->Update(Input());
    EXPECT_EQ(ValueAt(120.0f, 150.0f), 1); // as cleared by the rebuild
}

TEST_F(PictureModelTest, GeometryChangeOrResetRebuilds) {
    Configure(120, 500, kZoomHalf);
    view.zoomIndex = kZoomFull;
    ++geometryVersion;
    Ping();
    EXPECT_EQ(model->Side(), 1000);
    settings.samples = 1000;
    Ping();
    EXPECT_EQ(model->Side(), 2000);
    settings.beams = 480;
    Ping();
    EXPECT_EQ(model->BeamsPerHead(), 480);
    EXPECT_EQ(model->QuarterBeams(), 360);
}

TEST_F(PictureModelTest, ProfilePointsAreWrittenWithValue235) {
    Configure(480, 1000, kZoomFull); // f = 0.25 degree per beam
    settings.detectProfilePoints = 1;
    view.profileDisplay = kProfileDisplayPointsOnly;
    FillCombined(200.0f);
    std::fill(profile.begin(), profile.end(), 0.0f);
    profile[0] = 500.0f;   // straight up, half a beam to the left
    profile[360] = 250.0f; // a quarter turn clockwise: to the right
    profile[720] = 999.0f; // the last sample is not drawn
    Ping();
    EXPECT_EQ(model->PictureAt(999, 500), kProfilePointValue);
    EXPECT_EQ(model->PictureAt(1250, 999), kProfilePointValue);
    int points = 0;
    for (const std::uint8_t v : model->Picture()) {
        points += v == kProfilePointValue ? 1 : 0;
        ASSERT_TRUE(v == 0 || v == kProfilePointValue);
    }
    EXPECT_EQ(points, 2);
}

TEST_F(PictureModelTest, ProfileDisplayLevelsDimTheEchoes) {
    Configure(120, 500, kZoomHalf);
    settings.detectProfilePoints = 1;
    std::fill(profile.begin(), profile.end(), 0.0f);
    FillCombined(100.0f);
    const int expected[] = {99, 49, 24};
    for (int level = 0; level < 3; ++level) {
        view.profileDisplay = level;
        Ping();
        EXPECT_EQ(ValueAt(120.0f, 150.0f), expected[level]) << level;
    }
    // Without profile points the level does not dim.
    settings.detectProfilePoints = 0;
    view.profileDisplay = 2;
    Ping();
    EXPECT_EQ(ValueAt(120.0f, 150.0f), 99);
}

TEST_F(PictureModelTest, TwoThreadsBuildTheSamePictureAsOne) {
    Configure(480, 1000, kZoomFull);
    WorkerPool oneWorker(1);
    auto twoCores = std::make_unique<CPictureModel>(oneWorker);
    twoCores->InitialUpdate(Input());
    twoCores->Resize(Input(), 1200, 1100);
    settings.persistence = 3;
    settings.detectProfilePoints = 1;
    view.profileDisplay = 1;
    pingPeriodMs = 120.0f;
    for (int ping = 0; ping < 3; ++ping) {
        for (int b = 0; b < kCombinedBeams; ++b) {
            for (int s = 0; s < 1000; s += 1) {
                ImageAt(b, s) = static_cast<float>((b * 31 + s * 17 + ping * 101) % 300);
            }
            profile[static_cast<std::size_t>(b)] = static_cast<float>((b * 7 + ping) % 990);
        }
        Head(0).m_newData = 1;
        model->Update(Input());
        twoCores->Update(Input());
        const auto one = model->Picture();
        const auto two = twoCores->Picture();
        ASSERT_TRUE(std::equal(one.begin(), one.end(), two.begin(), two.end())) << ping;
    }
}

TEST_F(PictureModelTest, BeamTestStripsOnlyForHeadsWithData) {
    Configure(120, 1000, kZoomFull, 800, 600);
    settings.displayMode = kDisplayModeBeamTest;
    EXPECT_EQ(model->BeamTestTop(), (800 / 4 - 8) / 16 * 3 - 2);
    const int top = model->BeamTestTop();
    for (int k = 0; k < kHeadCount; ++k) {
        Head(k).m_rawSamples.fill(32767); // silence: 0
        Head(k).m_newData = 0;
    }
    // Head 1: only element 15 loud. Type 1 with Transducer Up reverses the channel order, so
    // it shows at the strip's left edge.
    for (int s = 0; s < 1000; ++s) {
        Head(1).m_rawSamples[static_cast<std::size_t>(15 * 1000 + s)] = 0;
    }
    Head(0).m_transducerType = 1;
    settings.transducerUp = 1;
    Head(1).m_newData = 1;
    Head(2).m_rawSamples.fill(0); // loud, but no new data
    Ping();
    const auto buffer = model->BeamTestBuffer();
    auto at = [&](int x, int y) { return buffer[static_cast<std::size_t>(y * model->ClientWidth() + x)]; };
    const int q = 800 / 4;
    const int row = top + 100;
    EXPECT_EQ(at(q + 4, row), 255);
    EXPECT_EQ(at(2 * q - 5, row), 0);
    for (int x = 2 * q; x < 3 * q; ++x) {
        ASSERT_EQ(at(x, row), 0) << x; // head 2 without data: black
    }
    EXPECT_EQ(at(q + 4, top + 19), 0); // above the strip area

    // Transducer Up off: normal order, element 15 at the right edge.
    settings.transducerUp = 0;
    Ping();
    EXPECT_EQ(at(2 * q - 5, row), 255);
    EXPECT_EQ(at(q + 4, row), 0);
}

} // namespace
} // namespace vexar

namespace vexar {
namespace {

TEST(PictureKernels, VectorAndPlainBlendGiveTheSameBytes) {
    // Sixteen sub-steps (360 beams): slots 1..16 hold triples 2..17.
    BlendWeights weights;
    weights.slotCount = 16;
    for (std::size_t t = 1; t <= 16; ++t) {
        const WeightTriple w = CPictureModel::Weight(static_cast<int>(t) + 1);
        weights.outer[t] = w.previous | (w.next << 16);
        weights.inner[t] = w.same | (1 << 16);
    }
    std::vector<std::uint8_t> image(5000);
    std::vector<std::uint32_t> map(1001);
    std::uint32_t state = 12345u;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (auto& b : image) {
        b = static_cast<std::uint8_t>(next());
    }
    for (auto& code : map) {
        code = (next() % 4990u) | ((next() % 17u) << 21);
    }
    map[3] = 0; // nothing drawn
    image[10] = image[11] = image[12] = 0;
    map[4] = 10u | (5u << 21); // all zero: drawn as 1
    for (int shift = 0; shift <= 2; ++shift) {
        std::vector<std::uint8_t> plain(map.size());
        std::vector<std::uint8_t> simd(map.size());
        BlendRow(map.data(), image.data(), plain.data(), static_cast<int>(map.size()), weights, shift, false);
        BlendRow(map.data(), image.data(), simd.data(), static_cast<int>(map.size()), weights, shift, true);
        EXPECT_EQ(plain, simd) << shift;
        EXPECT_EQ(plain[3], 0);
        EXPECT_EQ(plain[4], 1 >> shift);
        const std::size_t t = 7;
        const WeightTriple w = CPictureModel::Weight(8);
        const int expected =
            std::max((w.previous * image[100] + w.same * image[101] + w.next * image[102]) >> 8, 1);
        map[0] = 100u | (static_cast<std::uint32_t>(t) << 21);
        BlendRow(map.data(), image.data(), plain.data(), 1, weights, shift, false);
        EXPECT_EQ(plain[0], expected >> shift);
    }

    // With persistence the vector version must hold and decay exactly as the plain one, over
    // several pings and with a fractional decay.
    std::vector<float> holdPlain(map.size());
    std::vector<float> holdSimd(map.size());
    for (std::size_t i = 0; i < map.size(); ++i) {
        holdPlain[i] = holdSimd[i] = static_cast<float>(next() % 300u) * 0.9f;
    }
    for (int ping = 0; ping < 5; ++ping) {
        std::vector<std::uint8_t> plain(map.size());
        std::vector<std::uint8_t> simd(map.size());
        const float decay = 2.7f + static_cast<float>(ping);
        BlendRow(map.data(), image.data(), plain.data(), static_cast<int>(map.size()), weights, 0,
                 HoldRow{holdPlain.data(), decay}, false);
        BlendRow(map.data(), image.data(), simd.data(), static_cast<int>(map.size()), weights, 0,
                 HoldRow{holdSimd.data(), decay}, true);
        ASSERT_EQ(plain, simd) << "ping " << ping;
        ASSERT_EQ(holdPlain, holdSimd) << "ping " << ping;
        for (std::size_t i = 0; i < map.size(); ++i) {
            ASSERT_GE(holdPlain[i], 0.0f);
        }
        map[5 + static_cast<std::size_t>(ping)] = 0; // nothing drawn: the hold alone shows
    }
}

TEST(PictureKernels, TransposedConversionClampsAndMatchesThePlainLoop) {
    // Row and sample counts that are not multiples of the 16 x 16 blocks.
    constexpr int kRows = 37;
    constexpr int kSamples = 53;
    constexpr std::size_t kSourceStride = 60;
    constexpr std::size_t kTargetStride = 41;
    std::vector<float> source(kRows * kSourceStride);
    std::uint32_t state = 99u;
    for (auto& v : source) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int>(state >> 20) - 1024) * 0.37f; // about -380..380
    }
    source[0] = std::numeric_limits<float>::quiet_NaN();
    source[1] = std::numeric_limits<float>::infinity();
    source[2] = 254.99f;
    source[kSourceStride + 5] = -std::numeric_limits<float>::infinity();
    std::vector<std::uint8_t> plain(kSamples * kTargetStride, 7);
    std::vector<std::uint8_t> simd(kSamples * kTargetStride, 7);
    ConvertTransposed(source.data(), kSourceStride, kRows, kSamples, plain.data(), kTargetStride, false);
    ConvertTransposed(source.data(), kSourceStride, kRows, kSamples, simd.data(), kTargetStride, true);
    EXPECT_EQ(plain, simd);
    const auto at = [&](int sample, int row) {
        return plain[static_cast<std::size_t>(sample) * kTargetStride + static_cast<std::size_t>(row)];
    };
    EXPECT_EQ(at(0, 0), 0);   // NaN
    EXPECT_EQ(at(1, 0), 255); // +inf
    EXPECT_EQ(at(2, 0), 254);
    EXPECT_EQ(at(5, 1), 0); // -inf
    for (int r = 0; r < kRows; ++r) {
        for (int s = 3; s < kSamples; ++s) {
            const float v = source[static_cast<std::size_t>(r) * kSourceStride + static_cast<std::size_t>(s)];
            if (r == 1 && s == 5) {
                continue;
            }
            ASSERT_EQ(at(s, r), v <= 0.0f ? 0 : v >= 255.0f ? 255 : static_cast<int>(v)) << r << " " << s;
        }
    }
    // Bytes past the rows are not touched.
    EXPECT_EQ(plain[static_cast<std::size_t>(kRows)], 7);
}

} // namespace
} // namespace vexar
