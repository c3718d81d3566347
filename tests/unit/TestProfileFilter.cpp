// Profile-point filters on hand-made beam images, and the document's parallel processing.

#include "acquisition/CTamsorDoc.h"
#include "processing/CMOndrelMBP.h"
#include "support/FakePorts.h"
#include "support/ProcessingFixtures.h"
#include "support/TestPing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vexar {
namespace {

struct FilterRig {
    explicit FilterRig(int filter, int beams = 120, int samples = 1000)
        : settings(test::ProcessingSettings(beams, samples)) {
        settings.profileFilterType = filter;
        processor = std::make_unique<CMOndrelMBP>();
        processor->InitialiseProcessor(settings);
        for (int b = 0; b < beams; ++b) {
            std::fill_n(processor->BeamImageRow(b), samples, 0.0f);
        }
    }
    void Echo(int beam, int from, int to, float value) {
        std::fill(processor->BeamImageRow(beam) + from, processor->BeamImageRow(beam) + to, value);
    }
    // A flat bottom at `sample` on every beam.
    void Bottom(int from, int to) {
        for (int b = 0; b < processor->Beams(); ++b) {
            Echo(b, from, to, 200.0f);
        }
    }
    void Run() { processor->RunProfileFilter(settings); }
    float At(int beam) const { return processor->ProfilePosition(beam); }
    PingSettings settings;
    std::unique_ptr<CMOndrelMBP> processor;
};

TEST(ProfileFilter, NothingAboveThresholdGivesNoPoints) {
    for (int filter = 0; filter <= 2; ++filter) {
        FilterRig rig(filter);
        for (int b = 0; b < 120; ++b) {
            rig.Echo(b, 100, 200, 63.0f); // just below 63.75
        }
        rig.Run();
        for (int b = 0; b < 120; ++b) {
            EXPECT_EQ(rig.At(b), 0.0f) << filter;
        }
    }
}

TEST(ProfileFilter, IsolatedOutlierRemovedByFirstAndMaximumKeptByBottomFollowing) {
    for (int filter = 0; filter <= 2; ++filter) {
        FilterRig rig(filter);
        rig.Bottom(300, 311);
        std::fill_n(rig.processor->BeamImageRow(60), 1000, 0.0f);
        rig.Echo(60, 200, 211, 200.0f);
        rig.Run();
        // Filters 0 and 1 compare positions before rejection: the outlier's neighbours go too.
        EXPECT_EQ(rig.At(58), 305.0f) << filter;
        EXPECT_EQ(rig.At(59), filter == 2 ? 305.0f : 0.0f) << filter;
        EXPECT_EQ(rig.At(60), filter == 2 ? 205.0f : 0.0f) << filter;
        EXPECT_EQ(rig.At(61), filter == 2 ? 305.0f : 0.0f) << filter;
        // First and last beam rules.
        EXPECT_EQ(rig.At(0), 0.0f) << filter;
        EXPECT_EQ(rig.At(119), filter == 2 ? 305.0f : 0.0f) << filter;
    }
}

TEST(ProfileFilter, FirstReturnEchoToTheLastSampleHasEndZero) {
    FilterRig rig(0);
    rig.Bottom(600, 1000);
    rig.Run();
    EXPECT_EQ(rig.At(50), 300.0f); // half its start
}

TEST(ProfileFilter, MaximumReturnTakesTheLargerSum) {
    FilterRig rig(1);
    // Sums of 500 and 800 (the first sample below the threshold adds 0).
    for (int b = 0; b < 120; ++b) {
        rig.Echo(b, 200, 205, 100.0f);
        rig.Echo(b, 400, 405, 160.0f);
    }
    rig.Run();
    EXPECT_EQ(rig.At(60), 402.0f);
    EXPECT_EQ(rig.processor->ProfileIntensity(60), 160);
}

TEST(ProfileFilter, BottomFollowingLimitAt1000Samples) {
    FilterRig rig(2);
    rig.Bottom(700, 711);
    rig.Run();
    for (int b = 1; b < 120; ++b) {
        const float depth = 705.0f * std::cos(rig.processor->BeamAngleRad(b));
        EXPECT_EQ(rig.At(b), depth <= 550.0f ? 705.0f : 0.0f) << b;
    }
    EXPECT_GT(rig.At(1), 0.0f); // outer beams see the bottom within the limit
    EXPECT_EQ(rig.At(60), 0.0f);
}

TEST(ProfileFilter, HeadKeepsTheLastPointsWhenDetectionIsOff) {
    PingSettings settings = test::ProcessingSettings(120, 1000);
    settings.profileFilterType = 2;
    settings.startGainDb = 6;
    COndrel first;
    auto processor = std::make_unique<CMOndrelMBP>();
    processor->InitialiseProcessor(settings);
    test::PointTarget target;
    target.rangeM = 4.0f;
    target.amplitude = 20000.0f;
    test::SynthesiseHead(first, {target}, test::SynthSettings{});
    processor->ProcessHeadPing(settings, test::kElementDataType, first);
    const auto detected = first.m_beamProfile;
    EXPECT_GT(std::count_if(detected.begin(), detected.begin() + 120, [](float p) { return p > 0.0f; }), 0);
    settings.detectProfilePoints = 0;
    first.m_rawSamples.fill(32768);
    first.m_beamProfile.fill(-1.0f);
    processor->ProcessHeadPing(settings, test::kElementDataType, first);
    for (int i = 0; i < 120; ++i) {
        EXPECT_EQ(first.m_beamProfile[static_cast<std::size_t>(i)], detected[static_cast<std::size_t>(i)]);
        EXPECT_EQ(detected[static_cast<std::size_t>(i)], processor->ProfilePosition(119 - i));
    }
}

// The document's processors on worker threads give what four processors give one after another.
TEST(DocumentProcessing, ParallelHeadsMatchSequential) {
    test::FakeWorld world;
    auto doc = std::make_unique<CTamsorDoc>(world.Ports());
    PingSettings settings = test::ProcessingSettings(240, 1000);
    settings.average = 3;
    settings.displayMode = kDisplayModePolar;
    test::TestPing ping;
    for (int k = 0; k < kHeadCount; ++k) {
        settings.heads[static_cast<std::size_t>(k)].quadrantGainDb = 2 * k;
        const auto source = std::make_unique<COndrel>();
        test::RandomScene(*source, test::SynthSettings{}, static_cast<std::uint32_t>(k + 1));
        ping.SetRawSamples(k, source->m_rawSamples);
    }
    WorkerPool serial(0);
    auto sequential = std::make_unique<HeadProcessors>(serial);
    auto heads = std::make_unique<std::array<COndrel, kHeadCount>>();
    for (int round = 0; round < 2; ++round) {
        if (round == 0) {
            ping.EnterInto(*doc, settings);
            // The heads as the ping left them, before their processing.
            for (int k = 0; k < kHeadCount; ++k) {
                COndrel& head = (*heads)[static_cast<std::size_t>(k)];
                head = doc->PingRoutine().Head(k);
                head.m_headImage.fill(0.0f);
                head.m_beamProfile.fill(0.0f);
                head.m_elementStatus.fill(0);
            }
            sequential->PrepareTables(doc->Shown().Settings());
        } else {
            doc->ProcessPing();
        }
        struct : IProcessedHeads {
            void HeadProcessed(int) override {}
        } ignored;
        sequential->ProcessHeads(*heads, {true, true, true, true}, doc->Shown().Settings(), ignored);
        for (int k = 0; k < kHeadCount; ++k) {
            ASSERT_TRUE(doc->PingRoutine().Head(k).m_headImage ==
                        (*heads)[static_cast<std::size_t>(k)].m_headImage)
                << k;
            ASSERT_TRUE(doc->PingRoutine().Head(k).m_beamProfile ==
                        (*heads)[static_cast<std::size_t>(k)].m_beamProfile)
                << k;
            ASSERT_TRUE(doc->PingRoutine().Head(k).m_elementStatus ==
                        (*heads)[static_cast<std::size_t>(k)].m_elementStatus)
                << k;
        }
    }
}

TEST(DocumentProcessing, SoundVelocityChangeRebuildsTheSteering) {
    test::FakeWorld world;
    auto doc = std::make_unique<CTamsorDoc>(world.Ports());
    PingSettings settings = test::ProcessingSettings(120, 1000);
    settings.displayMode = kDisplayModePolar;
    // The operator shows the polar picture: a change of the velocity leaves the rest as it is.
    doc->EditSettings([&](Settings& s) { s.sonar = settings; });
    test::TestPing().EnterInto(*doc, settings);
    const float before = doc->PingRoutine().Processors().Processor(0).SteeringPhase(5, 0);
    doc->EditSettings([](Settings& s) { s.sonar.soundVelocity = 1500.0f; });
    doc->ProcessPing();
    EXPECT_NEAR(doc->PingRoutine().Processors().Processor(0).SteeringPhase(5, 0), before * 1480.0f / 1500.0f,
                1e-5f);
}

} // namespace
} // namespace vexar
