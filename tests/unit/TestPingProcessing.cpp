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

using test::ProcessingSettings;
using test::SynthSettings;

constexpr float kRadToDeg = 57.29578f;

// One head's processor with its settings and its ping.
struct Rig {
    explicit Rig(int beams = 480, int samples = 1000, float rangeM = 10.0f)
        : settings(ProcessingSettings(beams, samples, rangeM)), processor(std::make_unique<CMOndrelMBP>()) {
        settings.startGainDb = 0;
        processor->InitialiseProcessor(settings);
    }
    void Ping(COndrel& current, int startGain = 0) {
        current.m_headImage.fill(0.0f);
        settings.startGainDb = startGain;
        processor->ProcessHeadPing(settings, transducerType, current);
    }
    void Ping() { Ping(head); }
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
    PingSettings settings;
    int transducerType = test::kElementDataType;
    COndrel head;
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
    rig.head.m_rawSamples.fill(32768);
    rig.settings.soundVelocity = 1500.0f;
    rig.Ping();
    EXPECT_NEAR(rig.processor->SteeringPhase(10, 0), before * 1480.0f / 1500.0f, 1e-5f);
}

TEST(BeamGeometry, TargetShowsOnItsBeamAndMirrorsWhenInverted) {
    for (int beams : {120, 480}) {
        Rig rig(beams, 1000);
        rig.settings.average = 1;
        rig.settings.displayGain = 1; // no saturated plateau around the peak
        SynthSettings synth;
        test::PointTarget target;
        target.bearingRad = 30.0f / kRadToDeg;
        target.rangeM = 6.0f;
        test::SynthesiseHead(rig.head, {target}, synth);
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
        rig.settings.transducerUp = 1;
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
    test::SynthesiseHead(rig.head, {target}, synth);
    rig.Ping();
    Rig clean(240, 500);
    synth.unusedSlotValue = 32768;
    test::SynthesiseHead(clean.head, {target}, synth);
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
    rig.head.m_rawSamples.fill(32768);
    rig.settings.detectProfilePoints = 1;
    rig.head.m_elementStatus.fill(9);
    rig.Ping();
    for (int b = 0; b < 480; ++b) {
        for (int s = 0; s < 1000; ++s) {
            ASSERT_EQ(rig.processor->BeamImage(b, s), 0.0f);
        }
        ASSERT_EQ(rig.head.m_beamProfile[static_cast<std::size_t>(b)], 0.0f);
    }
    for (float v : rig.head.m_headImage) {
        ASSERT_EQ(v, 0.0f);
    }
    for (int k = 0; k < kElementCount; ++k) {
        EXPECT_EQ(rig.head.m_elementStatus[static_cast<std::size_t>(k)], 0);
        EXPECT_EQ(rig.processor->ElementLevel(k), 0.0f);
    }
}

TEST(ImageFormation, FewerBeamsLeaveNothingOfTheWiderFanInTheHeadImage) {
    Rig rig(480, 1000);
    test::RandomScene(rig.head, SynthSettings{}, 7);
    rig.Ping();
    const auto rowsFrom120 = [&rig] {
        return std::any_of(rig.head.m_headImage.begin() + 120 * kMaxSamples, rig.head.m_headImage.end(),
                           [](float v) { return v != 0.0f; });
    };
    ASSERT_TRUE(rowsFrom120());
    // The next ping fans out 120 beams over the image the last one left.
    rig.settings.beams = 120;
    rig.processor->InitialiseProcessor(rig.settings);
    rig.processor->ProcessHeadPing(rig.settings, rig.transducerType, rig.head);
    EXPECT_FALSE(rowsFrom120());
}

TEST(ImageFormation, OtherTransducerTypesAreProcessedAsSilence) {
    Rig rig(120, 1000);
    test::SynthesiseHead(rig.head, {test::PointTarget{}}, SynthSettings{});
    rig.transducerType = 3;
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
    off.settings.average = 1;
    three.settings.average = 3;
    off.settings.displayGain = 5; // keeps most values below the clamp
    three.settings.displayGain = 5;
    test::PointTarget target;
    target.amplitude = 2000.0f;
    test::SynthesiseHead(off.head, {target}, SynthSettings{});
    three.head.m_rawSamples = off.head.m_rawSamples;
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
    rig.settings.displayGain = 100;
    test::PointTarget target;
    target.amplitude = 30000.0f;
    test::SynthesiseHead(rig.head, {target}, SynthSettings{});
    rig.settings.average = 1;
    rig.Ping();
    const auto [b, s] = rig.Brightest();
    EXPECT_EQ(rig.processor->BeamImage(b, s), 255.0f);
}

// After a change of "Average", of detection or of the filter type, the next ping is averaged
// from an empty history: the image is that of a fresh processor.
TEST(Averaging, ClearedWhenAverageDetectionOrFilterChange) {
    const auto change = [](PingSettings& settings, int which) {
        if (which == 0) {
            settings.average = 5;
        } else if (which == 1) {
            settings.detectProfilePoints = 0;
        } else {
            settings.profileFilterType = 2;
        }
    };
    for (int which = 0; which < 3; ++which) {
        Rig used(120, 500);
        used.settings.average = 3;
        test::SynthSettings synth;
        synth.samples = 500;
        test::RandomScene(used.head, synth, 7);
        used.Ping();
        used.Ping();
        change(used.settings, which);
        test::RandomScene(used.head, synth, 8);
        used.Ping();

        Rig fresh(120, 500);
        fresh.settings = used.settings;
        fresh.head.m_rawSamples = used.head.m_rawSamples;
        fresh.processor->InitialiseProcessor(fresh.settings);
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
    // Head 2's own quadrant gain applies to its ping.
    COndrel head2 = rig.head;
    head2.m_headIndex = 2;
    head2.m_rawSamples.fill(32768);
    rig.settings.heads[2].quadrantGainDb = 0;
    rig.settings.heads[0].quadrantGainDb = 3;
    rig.Ping(head2, 6);
    std::array<float, 1000> before{};
    for (int i = 0; i < 1000; ++i) {
        before[static_cast<std::size_t>(i)] = rig.processor->Gain(i);
    }
    rig.settings.heads[2].quadrantGainDb = 6;
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
    rig.settings.rangeM = 20.0f;
    rig.Ping(head2, 10);
    EXPECT_EQ(rig.processor->Gain(0), rig.processor->Gain(35)); // 0.7 m is now sample 35
    EXPECT_NE(rig.processor->Gain(36), rig.processor->Gain(35));
}

TEST(GainEqualisation, DeadElementIsWeak) {
    Rig rig(120, 1000);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> any(20000, 45000);
    for (auto& v : rig.head.m_rawSamples) {
        v = static_cast<std::uint16_t>(any(rng));
    }
    for (int n = 0; n < kMaxSamples; ++n) {
        rig.head.m_rawSamples[static_cast<std::size_t>(5 * kMaxSamples + n)] = 32768;
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
        EXPECT_EQ(rig.head.m_elementStatus[static_cast<std::size_t>(k)], k == 5 ? 2 : 1) << k;
    }
    // Inverted, the dead channel 5 is element 10.
    rig.settings.transducerUp = 1;
    rig.Ping();
    EXPECT_EQ(rig.head.m_elementStatus[10], 2);
    EXPECT_EQ(rig.head.m_elementStatus[5], 1);
}

// Whatever the samples and settings within their types, the image stays finite in 0..255 and
// every write stays inside its buffer (the sanitizer build checks the latter).
TEST(BadInput, AnySamplesAndSettingsGiveFiniteImages) {
    std::mt19937 rng(11);
    auto pick = [&](std::initializer_list<int> values) {
        return *(values.begin() + static_cast<std::ptrdiff_t>(rng() % values.size()));
    };
    auto processor = std::make_unique<CMOndrelMBP>();
    const auto head = std::make_unique<COndrel>();
    for (int round = 0; round < 24; ++round) {
        PingSettings settings = ProcessingSettings(pick({120, 240, 480, 1, 7, 479, -5, 100000}),
                                                   pick({500, 1000, 1, 4, 5, 999, 0}));
        settings.rangeM = static_cast<float>(pick({1, 5, 10, 20, 500}));
        if (round % 6 == 5) {
            settings.rangeM = 1.25f;
        }
        settings.average = pick({0, 1, 3, 9, 10, -3, 1000000});
        settings.displayGain = pick({1, 50, 100, 0, -20, 100000});
        settings.beamWidth = pick({0, 1, 2, 3, -1});
        settings.profileFilterType = pick({0, 1, 2, 7});
        settings.detectProfilePoints = static_cast<std::uint8_t>(pick({0, 1, 255}));
        settings.heads[0].quadrantGainDb = pick({0, 20, 7});
        settings.transducerUp = pick({0, 1, 2});
        settings.heads[0].azimuth = pick({0, 900, -1800, 3599});
        settings.beamsIndex = pick({0, 1, 2, 5});
        settings.startGainDb = pick({0, 6, 20, -100, 2147483647, -2147483647});
        COndrel& first = *head;
        test::RandomRawSamples(first, static_cast<std::uint32_t>(round));
        if (round % 4 == 0) {
            for (std::size_t i = 0; i < first.m_rawSamples.size(); ++i) {
                first.m_rawSamples[i] = (i & 1) != 0 ? 65535 : 0;
            }
        }
        processor->InitialiseProcessor(settings);
        for (int ping = 0; ping < 2; ++ping) {
            first.m_headImage.fill(0.0f);
            processor->ProcessHeadPing(settings, test::kElementDataType, first);
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
