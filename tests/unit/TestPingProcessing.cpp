// Geometry, image formation, averaging, gain equalisation and robustness of the ping processor.

#include "processing/BeamKernels.h"
#include "processing/CMOndrelMBP.h"
#include "support/ProcessingFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <random>

namespace vexar {
namespace {

using test::ProcessingHead;
using test::SynthSettings;

constexpr float kVelocity = 1480.0f;
constexpr float kRadToDeg = 57.29578f;

struct Rig {
    explicit Rig(int beams = 480, int samples = 1000, float rangeM = 10.0f)
        : first(ProcessingHead(beams, samples, rangeM)), processor(std::make_unique<CMOndrelMBP>()) {
        processor->InitialiseProcessor(first, kVelocity);
    }
    void Ping(COndrel& current, int startGain = 0) {
        current.m_headImage.fill(0.0f);
        processor->ProcessHeadPing(first, current, startGain, kVelocity);
    }
    void Ping() { Ping(first); }
    // Beam and sample of the brightest pixel of the beam image.
    std::pair<int, int> Brightest() const {
        float best = -1.0f;
        std::pair<int, int> at{-1, -1};
        for (int b = 0; b < processor->Beams(); ++b) {
            for (int s = 0; s < processor->Samples(); ++s) {
                if (processor->BeamImage(b, s) > best) {
                    best = processor->BeamImage(b, s);
                    at = {b, s};
                }
            }
        }
        return at;
    }
    COndrel first;
    std::unique_ptr<CMOndrelMBP> processor;
};

TEST(BeamGeometry, OuterBeamsAndSteeringPhases) {
    Rig rig(480, 1000);
    EXPECT_NEAR(rig.processor->BeamAngleRad(0) * kRadToDeg, -59.875f, 1e-3f);
    EXPECT_NEAR(rig.processor->BeamAngleRad(479) * kRadToDeg, 59.875f, 1e-3f);
    EXPECT_NEAR(rig.processor->BeamStepRad() * kRadToDeg, 0.25f, 1e-5f);
    for (int b : {0, 17, 240, 479}) {
        for (int k = 0; k < kElementCount; ++k) {
            EXPECT_EQ(rig.processor->SteeringPhase(b, k), -rig.processor->SteeringPhase(b, 15 - k));
        }
    }
    // Hamming window of period 16 with the phase applied.
    const float phase = rig.processor->SteeringPhase(100, 0);
    EXPECT_NEAR(rig.processor->SteeringCos(100, 0), 0.08f * std::cos(phase), 1e-6f);
    EXPECT_NEAR(rig.processor->SteeringSin(100, 0), 0.08f * std::sin(phase), 1e-6f);
    EXPECT_NE(rig.processor->SteeringCos(100, 15) / std::cos(rig.processor->SteeringPhase(100, 15)), 0.08f);
}

TEST(BeamGeometry, SoundVelocityRebuildsTheSteering) {
    Rig rig(120, 1000);
    const float before = rig.processor->SteeringPhase(10, 0);
    rig.first.m_rawSamples.fill(32768);
    rig.processor->ProcessHeadPing(rig.first, rig.first, 0, 1500.0f);
    EXPECT_NEAR(rig.processor->SteeringPhase(10, 0), before * 1480.0f / 1500.0f, 1e-5f);
}

TEST(BeamGeometry, TargetShowsOnItsBeamAndMirrorsWhenInverted) {
    for (int beams : {120, 480}) {
        Rig rig(beams, 1000);
        rig.first.m_average = 1;
        rig.first.m_displayGain = 1; // no saturated plateau around the peak
        SynthSettings synth;
        test::PointTarget target;
        target.bearingRad = 30.0f / kRadToDeg;
        target.rangeM = 6.0f;
        test::SynthesiseHead(rig.first, {target}, synth);
        rig.Ping();
        const auto [beam, sample] = rig.Brightest();
        // Beam of 30 degrees as seen from the assembly centre, 0.07 m behind the head.
        const float x = 6.0f * std::cos(target.bearingRad) + 0.07f;
        const float y = 6.0f * std::sin(target.bearingRad);
        const float centreDeg = std::atan2(y, x) * kRadToDeg;
        const float step = 120.0f / static_cast<float>(beams);
        // The fan is some 7 degrees wide at the 3 dB points; the peak sits within a degree.
        EXPECT_NEAR(beam, (centreDeg + 60.0f) / step - 0.5f, std::max(1.0f, 1.0f / step)) << beams;
        EXPECT_LT(rig.processor->BeamImage(beam, sample), 255.0f);
        EXPECT_NEAR(sample, std::hypot(x, y) * 100.0f, 2.0f) << beams;

        // The same channels from an inverted head: element row 15 holds channel 0 and the
        // target moves to the mirrored beam.
        rig.first.m_transducerUp = 1;
        rig.Ping();
        EXPECT_NEAR(rig.Brightest().first, beams - 1 - beam, 1);
        EXPECT_NEAR(rig.Brightest().second, sample, 1);
    }
}

TEST(BeamGeometry, FiveHundredSamplesReadOnlyTheFirstSlots) {
    Rig rig(240, 500);
    SynthSettings synth;
    synth.samples = 500;
    test::PointTarget target;
    target.rangeM = 4.0f;
    synth.unusedSlotValue = 0; // full-scale garbage past the samples used
    test::SynthesiseHead(rig.first, {target}, synth);
    rig.Ping();
    Rig clean(240, 500);
    synth.unusedSlotValue = 32768;
    test::SynthesiseHead(clean.first, {target}, synth);
    clean.Ping();
    for (int b = 0; b < 240; b += 7) {
        for (int s = 0; s < 500; ++s) {
            ASSERT_EQ(rig.processor->BeamImage(b, s), clean.processor->BeamImage(b, s));
        }
    }
    EXPECT_NEAR(rig.Brightest().second, 4.0f * 50.0f, 2.0f);
}

TEST(ImageFormation, SilenceGivesAnEmptyImageAndNoSignalStatus) {
    Rig rig(480, 1000);
    rig.first.m_rawSamples.fill(32768);
    rig.first.m_detectProfilePoints = 1;
    rig.first.m_elementStatus.fill(9);
    rig.Ping();
    for (int b = 0; b < 480; ++b) {
        for (int s = 0; s < 1000; ++s) {
            ASSERT_EQ(rig.processor->BeamImage(b, s), 0.0f);
        }
        ASSERT_EQ(rig.first.m_beamProfile[static_cast<std::size_t>(b)], 0.0f);
    }
    for (float v : rig.first.m_headImage) {
        ASSERT_EQ(v, 0.0f);
    }
    for (int k = 0; k < kElementCount; ++k) {
        EXPECT_EQ(rig.first.m_elementStatus[static_cast<std::size_t>(k)], 0);
        EXPECT_EQ(rig.processor->ElementLevel(k), 0.0f);
    }
}

TEST(ImageFormation, FewerBeamsLeaveNothingOfTheWiderFanInTheHeadImage) {
    Rig rig(480, 1000);
    test::RandomScene(rig.first, SynthSettings{}, 7);
    rig.Ping();
    const auto rowsFrom120 = [&rig] {
        return std::any_of(rig.first.m_headImage.begin() + 120 * kMaxSamples, rig.first.m_headImage.end(),
                           [](float v) { return v != 0.0f; });
    };
    ASSERT_TRUE(rowsFrom120());
    // The next ping fans out 120 beams over the image the last one left.
    rig.first.m_beams = 120;
    rig.processor->InitialiseProcessor(rig.first, kVelocity);
    rig.processor->ProcessHeadPing(rig.first, rig.first, 0, kVelocity);
    EXPECT_FALSE(rowsFrom120());
}

TEST(ImageFormation, OtherTransducerTypesAreProcessedAsSilence) {
    Rig rig(120, 1000);
    test::SynthesiseHead(rig.first, {test::PointTarget{}}, SynthSettings{});
    rig.first.m_transducerType = 3;
    rig.Ping();
    EXPECT_EQ(rig.Brightest().first, 0);
    EXPECT_EQ(rig.processor->BeamImage(0, 0), 0.0f);
    float total = 0.0f;
    for (int b = 0; b < 120; ++b) {
        for (int s = 0; s < 1000; ++s) {
            total += rig.processor->BeamImage(b, s);
        }
    }
    EXPECT_EQ(total, 0.0f);
}

TEST(ImageFormation, CoherenceWeights) {
    // A perfectly coherent echo: Qx = 0 and a large P give x ~ 1.
    const float a = 100.0f;
    const float p = a * a;
    EXPECT_NEAR(CombineSample(a, 0, a, 0, 1, 1.0f) / p, 28.1912f, 1e-3f);
    EXPECT_NEAR(CombineSample(a, 0, a, 0, 2, 1.0f) / p, 8.2496f, 1e-3f);
    EXPECT_NEAR(CombineSample(a, 0, a, 0, 0, 1.0f) / p, 1.0f, 1e-6f);
    // Incoherent: P = 0 gives 0 in every width.
    for (int width = 0; width <= 2; ++width) {
        EXPECT_EQ(CombineSample(a, 0, 0, a, width, 1.0f), 0.0f);
    }
    // x -> 0: both polynomials start at 0.5034.
    const float small = 1e-3f;
    EXPECT_NEAR(CombineSample(small, 0, 1, 0, 1, 1.0f) / small, 0.5034f, 1e-4f);
    EXPECT_NEAR(CombineSample(small, 0, 1, 0, 2, 1.0f) / small, 0.5034f, 1e-4f);
    // The Narrow polynomial is not monotonic: P = 3, Qx = 0 gives x = 0.9.
    EXPECT_NEAR(CombineSample(3, 0, 1, 0, 2, 1.0f) / 3.0f, 0.36f, 0.01f);
    // Anti-phase sub-arrays give a negative P, which is clipped.
    EXPECT_EQ(CombineSample(a, 0, -a, 0, 2, 1.0f), 0.0f);
}

// Two processors on identical pings, one averaging over M pings and one not averaging.
TEST(Averaging, OffScalesByOnePointThreeAndThreeConverges) {
    Rig off(120, 1000);
    Rig three(120, 1000);
    off.first.m_average = 1;
    three.first.m_average = 3;
    off.first.m_displayGain = 5; // keeps most values below the clamp
    three.first.m_displayGain = 5;
    test::PointTarget target;
    target.amplitude = 2000.0f;
    test::SynthesiseHead(off.first, {target}, SynthSettings{});
    three.first.m_rawSamples = off.first.m_rawSamples;
    int checked = 0;
    for (int ping = 1; ping <= 4; ++ping) {
        off.Ping();
        three.Ping();
        const float share = static_cast<float>(std::min(ping, 3)) / 3.0f;
        for (int b = 0; b < 120; ++b) {
            for (int s = 0; s < 1000; ++s) {
                const float single = off.processor->BeamImage(b, s);
                if (single >= 255.0f) {
                    continue;
                }
                ASSERT_NEAR(three.processor->BeamImage(b, s), single * share, 1e-4f * single + 1e-6f);
                checked += single > 1.0f ? 1 : 0;
            }
        }
    }
    EXPECT_GT(checked, 20);
}

TEST(Averaging, SaturatesAt255) {
    Rig rig(120, 1000);
    rig.first.m_displayGain = 100;
    test::PointTarget target;
    target.amplitude = 30000.0f;
    test::SynthesiseHead(rig.first, {target}, SynthSettings{});
    rig.first.m_average = 1;
    rig.Ping();
    const auto [b, s] = rig.Brightest();
    EXPECT_EQ(rig.processor->BeamImage(b, s), 255.0f);
}

// After a change of "Average", of detection or of the filter type, the next ping is averaged
// from an empty history: the image is that of a fresh processor.
TEST(Averaging, ClearedWhenAverageDetectionOrFilterChange) {
    const auto change = [](COndrel& head, int which) {
        if (which == 0) {
            head.m_average = 5;
        } else if (which == 1) {
            head.m_detectProfilePoints = 0;
        } else {
            head.m_profileFilterType = 2;
        }
    };
    for (int which = 0; which < 3; ++which) {
        Rig used(120, 500);
        used.first.m_average = 3;
        test::SynthSettings synth;
        synth.samples = 500;
        test::RandomScene(used.first, synth, 7);
        used.Ping();
        used.Ping();
        change(used.first, which);
        test::RandomScene(used.first, synth, 8);
        used.Ping();

        Rig fresh(120, 500);
        fresh.first = used.first;
        fresh.processor->InitialiseProcessor(fresh.first, kVelocity);
        fresh.Ping();
        for (int b = 0; b < 120; ++b) {
            for (int s = 0; s < 500; ++s) {
                ASSERT_EQ(used.processor->BeamImage(b, s), fresh.processor->BeamImage(b, s)) << which;
            }
        }
    }
}

TEST(GainEqualisation, QuadrantGainScalesTheGainCurve) {
    Rig rig(120, 1000);
    COndrel head2 = rig.first;
    head2.m_rawSamples.fill(32768);
    head2.m_quadrantGain = 0;
    rig.Ping(head2, 6);
    std::array<float, 1000> before{};
    for (int i = 0; i < 1000; ++i) {
        before[static_cast<std::size_t>(i)] = rig.processor->Gain(i);
    }
    head2.m_quadrantGain = 6;
    rig.Ping(head2, 6);
    const float factor = std::pow(10.0f, 6.0f / 20.0f);
    for (int i = 20; i < 1000; ++i) {
        ASSERT_NEAR(rig.processor->Gain(i), before[static_cast<std::size_t>(i)] * factor,
                    2e-5f * before[static_cast<std::size_t>(i)] * factor);
    }
    // Near field: the level of the sample at 0.7 m from the first sample on.
    EXPECT_EQ(rig.processor->Gain(0), rig.processor->Gain(70));
    EXPECT_NE(rig.processor->Gain(71), rig.processor->Gain(70));

    // The table is kept between pings: a change of the start gain or the range must rebuild it.
    rig.Ping(head2, 10);
    const float moreFactor = std::pow(10.0f, 10.0f / 20.0f);
    EXPECT_NEAR(rig.processor->Gain(500), before[500] * moreFactor, 2e-5f * before[500] * moreFactor);
    rig.first.m_rangeM = 20.0f;
    rig.Ping(head2, 10);
    EXPECT_EQ(rig.processor->Gain(0), rig.processor->Gain(35)); // 0.7 m is now sample 35
    EXPECT_NE(rig.processor->Gain(36), rig.processor->Gain(35));
}

TEST(GainEqualisation, DeadElementIsWeak) {
    Rig rig(120, 1000);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> any(20000, 45000);
    for (auto& v : rig.first.m_rawSamples) {
        v = static_cast<std::uint16_t>(any(rng));
    }
    for (int n = 0; n < kMaxSamples; ++n) {
        rig.first.m_rawSamples[static_cast<std::size_t>(5 * kMaxSamples + n)] = 32768;
    }
    rig.Ping();
    float mean = 0.0f;
    for (int k = 0; k < kElementCount; ++k) {
        mean += rig.processor->ElementLevel(k);
    }
    mean *= 0.0625f;
    ASSERT_GT(mean, 0.5f);
    EXPECT_EQ(rig.processor->ElementLevel(5), 0.0f);
    for (int k = 0; k < kElementCount; ++k) {
        EXPECT_EQ(rig.first.m_elementStatus[static_cast<std::size_t>(k)], k == 5 ? 2 : 1) << k;
    }
    // Inverted, the dead channel 5 is element 10.
    rig.first.m_transducerUp = 1;
    rig.Ping();
    EXPECT_EQ(rig.first.m_elementStatus[10], 2);
    EXPECT_EQ(rig.first.m_elementStatus[5], 1);
}

// Whatever the samples and settings within their types, the image stays finite in 0..255 and
// every write stays inside its buffer (the sanitizer build checks the latter).
TEST(BadInput, AnySamplesAndSettingsGiveFiniteImages) {
    std::mt19937 rng(11);
    auto pick = [&](std::initializer_list<int> values) {
        return *(values.begin() + static_cast<std::ptrdiff_t>(rng() % values.size()));
    };
    auto processor = std::make_unique<CMOndrelMBP>();
    for (int round = 0; round < 24; ++round) {
        COndrel first =
            ProcessingHead(pick({120, 240, 480, 1, 7, 479, -5, 100000}), pick({500, 1000, 1, 4, 5, 999, 0}));
        first.m_rangeM = static_cast<float>(pick({1, 5, 10, 20, 500}));
        if (round % 6 == 5) {
            first.m_rangeM = 1.25f;
        }
        first.m_average = pick({0, 1, 3, 9, 10, -3, 1000000});
        first.m_displayGain = pick({1, 50, 100, 0, -20, 100000});
        first.m_beamWidth = pick({0, 1, 2, 3, -1});
        first.m_profileFilterType = pick({0, 1, 2, 7});
        first.m_detectProfilePoints = static_cast<std::uint8_t>(pick({0, 1, 255}));
        first.m_quadrantGain = pick({0, 20, 7});
        first.m_transducerUp = pick({0, 1, 2});
        first.m_azimuth = pick({0, 900, -1800, 3599});
        first.m_beamsIndex = pick({0, 1, 2, 5});
        const int startGain = pick({0, 6, 20, -100, 2147483647, -2147483647});
        test::RandomRawSamples(first, static_cast<std::uint32_t>(round));
        if (round % 4 == 0) {
            for (std::size_t i = 0; i < first.m_rawSamples.size(); ++i) {
                first.m_rawSamples[i] = (i & 1) != 0 ? 65535 : 0;
            }
        }
        processor->InitialiseProcessor(first, kVelocity);
        for (int ping = 0; ping < 2; ++ping) {
            first.m_headImage.fill(0.0f);
            processor->ProcessHeadPing(first, first, startGain, kVelocity);
            for (int b = 0; b < processor->Beams(); ++b) {
                for (int s = 0; s < processor->Samples(); ++s) {
                    const float v = processor->BeamImage(b, s);
                    ASSERT_TRUE(v >= 0.0f && v <= 255.0f) << v << " round " << round;
                }
                const float p = processor->ProfilePosition(b);
                ASSERT_TRUE(p >= 0.0f && p <= static_cast<float>(processor->Samples())) << p;
                ASSERT_GE(processor->ProfileIntensity(b), 0);
                ASSERT_LE(processor->ProfileIntensity(b), 255);
            }
            for (float v : first.m_headImage) {
                ASSERT_TRUE(v >= 0.0f && v <= 255.0f) << v;
            }
            for (std::uint8_t status : first.m_elementStatus) {
                ASSERT_LE(status, 2);
            }
        }
    }
}

} // namespace
} // namespace vexar
