// The simulated head's scene model: the element samples it synthesises must be imaged by the
// console's demodulator and sub-array beamformer at the reflector's true bearing and range.

#include "acquisition/CTamsorDoc.h"
#include "head/COndrel.h"
#include "head/ReplyData.h"
#include "sim/Scene.h"
#include "support/FakePorts.h"
#include "support/ReferenceBeamformer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace vexar::sim {
namespace {

using test::ReferenceBeamformer;

struct Peak {
    int beam = -1;
    int sample = -1;
    float value = 0.0f;
};

Peak FindPeak(const std::vector<std::vector<float>>& p) {
    Peak best;
    for (std::size_t b = 0; b < p.size(); ++b) {
        for (std::size_t j = 0; j < p[b].size(); ++j) {
            if (p[b][j] > best.value) {
                best = {static_cast<int>(b), static_cast<int>(j), p[b][j]};
            }
        }
    }
    return best;
}

Scene OneTarget(float bearingDeg, float rangeM) {
    Scene scene;
    scene.noise = 0.0f;
    scene.points = {{bearingDeg, rangeM, 1.0f}};
    return scene;
}

struct BeamCase {
    float bearingDeg;
    float rangeM;
    int transducerUp;
    int samples;
    float rangeScaleM;
    int expectedHead;
};

class BeamPattern : public ::testing::TestWithParam<BeamCase> {};

TEST_P(BeamPattern, PeakLiesAtTheTargetsAngleAndRangeAsSeenFromTheHead) {
    const BeamCase c = GetParam();
    PingGeometry g;
    g.rangeM = c.rangeScaleM;
    g.samples = c.samples;
    g.transducerUp = c.transducerUp;
    constexpr int kBeams = 240; // 0.5 degree steps
    ReferenceBeamformer former(g, kBeams);
    std::vector<std::uint16_t> raw(16 * 1000);
    SynthesiseHead(OneTarget(c.bearingDeg, c.rangeM), g, c.expectedHead, 0,
                   HeadSamples(raw.data(), raw.size()));

    const Peak peak = FindPeak(former.Form(raw));
    const HeadBearing seen = SeenFromHead(c.bearingDeg, c.rangeM, c.expectedHead, c.transducerUp);
    ASSERT_GE(peak.beam, 0);
    // The beam drawn at clockwise angle a from the head's axis is the beam steered to -a.
    EXPECT_NEAR(former.BeamAngleDeg(peak.beam), -seen.angleDeg, 0.5f);
    EXPECT_NEAR(static_cast<float>(peak.sample), seen.rangeM * static_cast<float>(c.samples) / c.rangeScaleM,
                2.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, BeamPattern,
    ::testing::Values(BeamCase{0.0f, 5.0f, 0, 1000, 10.0f, 0}, BeamCase{20.0f, 5.0f, 0, 1000, 10.0f, 0},
                      BeamCase{-35.0f, 7.0f, 0, 1000, 10.0f, 0}, BeamCase{110.0f, 3.0f, 0, 1000, 10.0f, 1},
                      BeamCase{80.0f, 12.0f, 0, 500, 20.0f, 1}, BeamCase{190.0f, 1.5f, 0, 1000, 2.5f, 2},
                      BeamCase{250.0f, 4.0f, 0, 500, 5.0f, 3},
                      // Inverted heads: head 3 looks to 90 degrees, head 1 to 270 degrees.
                      BeamCase{110.0f, 3.0f, 1, 1000, 10.0f, 3}, BeamCase{250.0f, 4.0f, 1, 1000, 5.0f, 1},
                      BeamCase{-25.0f, 6.0f, 1, 1000, 10.0f, 0}));

TEST(BeamPattern, MainLobeStandsWellAboveTheRestOfTheFan) {
    PingGeometry g;
    ReferenceBeamformer former(g, 120);
    std::vector<std::uint16_t> raw(16 * 1000);
    SynthesiseHead(OneTarget(30.0f, 5.0f), g, 0, 0, HeadSamples(raw.data(), raw.size()));
    const auto p = former.Form(raw);
    const Peak peak = FindPeak(p);
    float outside = 0.0f;
    for (int b = 0; b < 120; ++b) {
        if (std::abs(b - peak.beam) > 12) {
            outside =
                std::max(outside, p[static_cast<std::size_t>(b)][static_cast<std::size_t>(peak.sample)]);
        }
    }
    EXPECT_LT(outside, 0.05f * peak.value);
}

TEST(Scene, NothingIsHeardFromBehindAHead) {
    PingGeometry g;
    g.samples = 1000;
    std::vector<std::uint16_t> raw(16 * 1000);
    SynthesiseHead(OneTarget(180.0f, 5.0f), g, 0, 0, HeadSamples(raw.data(), raw.size()));
    for (std::uint16_t v : raw) {
        ASSERT_EQ(v, kNoSignal);
    }
}

TEST(Scene, PingBufferIsTheConsolesLayoutOfEachHeadsSamples) {
    Scene scene = PlainScene();
    for (int samples : {500, 1000}) {
        PingGeometry g;
        g.samples = samples;
        auto buffer = std::make_unique<PingBuffer>();
        SynthesisePing(scene, g, 7, *buffer);
        auto heads = std::make_unique<std::array<COndrel, kHeadCount>>();
        DeinterleavePing(*buffer, samples, *heads);
        std::vector<std::uint16_t> expected(16 * 1000);
        for (int h = 0; h < kHeadCount; ++h) {
            SynthesiseHead(scene, g, h, 7, HeadSamples(expected.data(), expected.size()));
            for (int c = 0; c < 16; ++c) {
                for (int j = 0; j < samples; ++j) {
                    const auto at = static_cast<std::size_t>(c * 1000 + j);
                    ASSERT_EQ((*heads)[static_cast<std::size_t>(h)].m_rawSamples[at], expected[at]);
                }
            }
        }
        // Past the last sample of a short ping the buffer carries no signal.
        const auto end = static_cast<std::size_t>(samples) * 128;
        for (std::size_t i = end; i < buffer->size(); i += 2) {
            ASSERT_EQ((*buffer)[i], 0x80);
            ASSERT_EQ((*buffer)[i + 1], 0x00);
        }
    }
}

// Head 0's samples of pings 1 and 2 of a scene.
void TwoPings(const Scene& scene, std::vector<std::uint16_t>& a, std::vector<std::uint16_t>& b) {
    a.assign(16 * 1000, 0);
    b.assign(16 * 1000, 0);
    SynthesiseHead(scene, PingGeometry{}, 0, 1, HeadSamples(a.data(), a.size()));
    SynthesiseHead(scene, PingGeometry{}, 0, 2, HeadSamples(b.data(), b.size()));
}

TEST(Scene, PingsDifferOnlyWhereTheSceneMovesOrTheNoiseChanges) {
    Scene scene = OneTarget(45.0f, 4.0f);
    PingGeometry g;
    std::vector<std::uint16_t> a, b;
    TwoPings(scene, a, b);
    EXPECT_EQ(a, b);
    scene.noise = 0.001f;
    TwoPings(scene, a, b);
    EXPECT_NE(a, b);
    std::vector<std::uint16_t> again(16 * 1000);
    SynthesiseHead(scene, g, 0, 1, HeadSamples(again.data(), again.size()));
    EXPECT_EQ(a, again);
}

// A thin ring's scatterers lie at one range, so a head hears it for one burst; a ring with a
// thickness answers from its whole band, with scatterers the scene's seed places.
TEST(Scene, RingWithAThicknessAnswersFromItsWholeBand) {
    PingGeometry g; // 10 m in 1000 samples: 100 samples a metre, bursts of 16 samples
    std::vector<std::uint16_t> raw(16 * 1000);
    // Samples at which head 0 hears anything.
    const auto heard = [&](const Scene& scene) {
        SynthesiseHead(scene, g, 0, 0, HeadSamples(raw.data(), raw.size()));
        std::vector<int> samples;
        for (int j = 0; j < 1000; ++j) {
            for (int c = 0; c < 16; ++c) {
                if (raw[static_cast<std::size_t>(c * 1000 + j)] != kNoSignal) {
                    samples.push_back(j);
                    break;
                }
            }
        }
        return samples;
    };
    Scene scene;
    scene.noise = 0.0f;
    scene.rings = {{5.0f, 0.5f}};
    // Head 0 sees the ring 4.93 m away on its axis and 5.00 m abeam.
    const std::vector<int> thin = heard(scene);
    ASSERT_FALSE(thin.empty());
    EXPECT_GE(thin.front(), 493 - 8);
    EXPECT_LE(thin.back(), 500 + 8);

    // A band from 4.8 to 5.2 m: 473 to 520 samples from head 0, each scatterer's burst 8 samples
    // either side; heard without a gap.
    scene.rings = {{5.0f, 0.5f, 0.4f}};
    const std::vector<int> band = heard(scene);
    ASSERT_FALSE(band.empty());
    EXPECT_GE(band.front(), 473 - 8);
    EXPECT_LE(band.front(), 480 - 8);
    EXPECT_LE(band.back(), 520 + 8);
    EXPECT_GE(band.back(), 520);
    EXPECT_EQ(band.back() - band.front() + 1, static_cast<int>(band.size()));

    const std::vector<std::uint16_t> first = raw;
    heard(scene);
    EXPECT_EQ(raw, first);
    scene.seed = 2;
    heard(scene);
    EXPECT_NE(raw, first);
}

// Without sway a still scene gives the same samples at every ping; with a few millimetres of
// sway the speckle changes from ping to ping while the echo stays where it was, and all heads of
// a ping see the assembly in the same place.
TEST(Scene, SwayRenewsTheSpeckleButKeepsTheRange) {
    PingGeometry g;
    Scene scene;
    scene.noise = 0.0f;
    scene.rings = {{5.0f, 0.5f, 0.2f}};
    std::vector<std::uint16_t> a, b;
    TwoPings(scene, a, b);
    EXPECT_EQ(a, b);

    scene.swayM = 0.003f;
    TwoPings(scene, a, b);
    EXPECT_NE(a, b);
    const auto extent = [](const std::vector<std::uint16_t>& raw) {
        int first = 1000, last = -1;
        for (int j = 0; j < 1000; ++j) {
            for (int c = 0; c < 16; ++c) {
                if (raw[static_cast<std::size_t>(c * 1000 + j)] != kNoSignal) {
                    first = std::min(first, j);
                    last = std::max(last, j);
                }
            }
        }
        return std::pair{first, last};
    };
    EXPECT_NEAR(extent(a).first, extent(b).first, 2);
    EXPECT_NEAR(extent(a).second, extent(b).second, 2);

    // A point target straight ahead of head 0 and one straight ahead of head 2: the assembly's
    // displacement brings one nearer by what it takes from the other.
    Scene points;
    points.noise = 0.0f;
    points.swayM = 0.05f; // large, to see it in whole samples
    points.points = {{0.0f, 5.0f, 1.0f}, {180.0f, 5.0f, 1.0f}};
    int shifted = 0;
    for (std::uint64_t ping = 0; ping < 8; ++ping) {
        SynthesiseHead(points, g, 0, ping, HeadSamples(a.data(), a.size()));
        SynthesiseHead(points, g, 2, ping, HeadSamples(b.data(), b.size()));
        const auto [a0, a1] = extent(a);
        const auto [b0, b1] = extent(b);
        EXPECT_NEAR((a0 + a1) / 2 + (b0 + b1) / 2, 2 * 493, 3) << "ping " << ping;
        shifted += std::abs((a0 + a1) / 2 - 493) > 1 ? 1 : 0;
    }
    EXPECT_GT(shifted, 0);
}

// Reflectors with infinite or NaN positions give no echo and no undefined conversion.
TEST(Scene, NonFiniteReflectorsAreSilent) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Scene scene;
    scene.noise = 0.0f;
    scene.walls = {
        {inf, 5.0f, 10.0f, 5.0f, 1.0f}, {0.0f, nan, 10.0f, 5.0f, 1.0f}, {0.0f, 1e30f, 10.0f, -1e30f, 1.0f}};
    scene.rings = {{inf, 1.0f, 0.2f}, {5.0f, 1.0f, nan}};
    scene.points = {{nan, 3.0f, 1.0f}, {10.0f, inf, 1.0f}};
    scene.swayM = inf;
    std::vector<std::uint16_t> raw(16 * 1000, 0);
    for (int head = 0; head < 4; ++head) {
        SynthesiseHead(scene, PingGeometry{}, head, 0, HeadSamples(raw.data(), raw.size()));
        // Only the ring at 5 m (a NaN thickness counts as none) is heard.
        for (int j = 0; j < 1000; ++j) {
            if (j < 470 || j > 510) {
                ASSERT_EQ(raw[static_cast<std::size_t>(j)], kNoSignal) << "head " << head << " sample " << j;
            }
        }
    }
}

TEST(Scene, MovingTargetAdvancesAndTurnsBackAtTheRangeLimits) {
    const MovingTarget mover{350.0f, 9.0f, 1.0f, 4.0f, 0.5f};
    EXPECT_FLOAT_EQ(MoverAt(mover, 0, 10.0f).rangeM, 9.0f);
    EXPECT_NEAR(MoverAt(mover, 1, 10.0f).rangeM, 9.5f, 1e-4f);
    EXPECT_NEAR(MoverAt(mover, 3, 10.0f).rangeM, 9.5f, 1e-4f); // 10.5 folds back from 10
    EXPECT_NEAR(MoverAt(mover, 5, 10.0f).bearingDeg, 10.0f, 1e-3f);
    for (std::uint64_t p = 0; p < 200; ++p) {
        const float r = MoverAt(mover, p, 10.0f).rangeM;
        ASSERT_GE(r, 0.3f - 1e-4f);
        ASSERT_LE(r, 10.0f + 1e-4f);
    }
}

TEST(Scene, GeometryFollowsTheConsolesPacket) {
    for (int index = 0; index < 17; ++index) {
        for (int samples : {500, 1000}) {
            COndrel head;
            PingSettings settings;
            settings.rangeM = kRangeTable[static_cast<std::size_t>(index)];
            settings.samples = samples;
            ResetPulseLength(settings);
            head.ResetCommandPacket(settings);
            ApplyPacketRules(settings);
            head.BuildCommandPacket(settings);
            const PingGeometry g = GeometryFromPacket(head.m_commandPacket, 1500.0f, 1);
            EXPECT_FLOAT_EQ(g.rangeM, settings.rangeM);
            EXPECT_EQ(g.samples, samples);
            EXPECT_FLOAT_EQ(g.frequencyKHz, 675.0f);
            EXPECT_EQ(g.pulseLength, std::max(settings.pulseLength & 0xFF, 1));
            EXPECT_FLOAT_EQ(g.soundVelocity, 1500.0f);
            EXPECT_EQ(g.transducerUp, 1);
        }
    }
}

TEST(Scene, ReplyCarriesHeaderEchoAndBlock) {
    auto buffer = std::make_unique<PingBuffer>();
    for (std::size_t i = 0; i < buffer->size(); ++i) {
        (*buffer)[i] = static_cast<std::uint8_t>(i / 1000);
    }
    ReplyBlock reply{};
    BuildReply(*buffer, 12, 12, ReplyHeaderFields{}, reply);
    EXPECT_EQ(reply[0], 'S');
    EXPECT_EQ(reply[1], 'I');
    EXPECT_EQ(reply[2], 'M');
    EXPECT_EQ(reply[3], 0x10);
    EXPECT_EQ(reply[kReplyEchoByte], 12);
    EXPECT_EQ(reply[8], 4);
    EXPECT_EQ(reply[kReplyPayloadOffset], 12);
    EXPECT_EQ(reply[kReplyPayloadOffset + 999], 12);
    BuildReply(*buffer, 200, 200, ReplyHeaderFields{}, reply);
    EXPECT_EQ(reply[kReplyPayloadOffset], 0x80);
    EXPECT_EQ(reply[kReplyPayloadOffset + 1], 0x00);
}

} // namespace
} // namespace vexar::sim

namespace vexar {
namespace {

/// Runs the reference front end on each fresh head and leaves its beams in the head image in
/// mirrored order, as the console's processor does (without re-projection).
class ReferenceProcessing : public IHeadProcessing {
public:
    void InitialiseProcessors(const PingSettings&) override {}
    void ClearHistory() override {}
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      const PingSettings& settings, IProcessedHeads& done) override {
        for (int h = 0; h < kHeadCount; ++h) {
            if (!flagged[static_cast<std::size_t>(h)]) {
                continue;
            }
            COndrel& head = heads[static_cast<std::size_t>(h)];
            head.m_headImage.fill(0.0f);
            sim::PingGeometry g;
            g.rangeM = settings.rangeM;
            g.samples = settings.samples;
            g.transducerUp = settings.transducerUp;
            const test::ReferenceBeamformer former(g, settings.beams);
            const auto p = former.Form(head.m_rawSamples);
            for (int b = 0; b < settings.beams; ++b) {
                const auto row = static_cast<std::size_t>(settings.beams - 1 - b) * kMaxSamples;
                for (int j = 0; j < g.samples; ++j) {
                    head.m_headImage[row + static_cast<std::size_t>(j)] =
                        std::max(0.0f, p[static_cast<std::size_t>(b)][static_cast<std::size_t>(j)]);
                }
            }
            done.HeadProcessed(h);
        }
    }
};

struct PictureCase {
    float bearingDeg;
    float rangeM;
    int transducerUp;
};

class SceneInCombinedImage : public ::testing::TestWithParam<PictureCase> {};

// The whole road of a simulated ping through the console: the ping buffer of the head, the
// document's de-interleaving, a reference beamformer per head and the document's assembly of the
// full circle. The brightest row must sit at the target's bearing (rows run clockwise from the
// top, 360 / 4T degrees each).
TEST_P(SceneInCombinedImage, TargetShowsAtItsBearing) {
    const PictureCase c = GetParam();
    test::FakeWorld world;
    auto doc = std::make_unique<CTamsorDoc>(world.Ports());
    ReferenceProcessing processing;
    doc->PingRoutine().SetHeadProcessing(processing);
    PingInput ping;
    ping.settings = doc->Shown().Settings();
    SetBeams(ping.settings, 120);
    ping.settings.samples = 1000;
    ping.settings.rangeM = 10.0f;
    ping.settings.displayMode = kDisplayModePolar;
    ping.settings.transducerUp = c.transducerUp;

    sim::Scene scene;
    scene.noise = 0.0f;
    scene.points = {{c.bearingDeg, c.rangeM, 1.0f}};
    sim::PingGeometry g;
    g.transducerUp = c.transducerUp;
    auto payloads = std::make_unique<PingBuffer>();
    auto reply = std::make_unique<ReplyBlock>();
    sim::SynthesisePing(scene, g, 0, *payloads);
    sim::BuildReply(*payloads, 127, 127, sim::ReplyHeaderFields{}, *reply);
    ping.payloads = payloads.get();
    ping.lastReply = reply.get();
    doc->EnterPing(ping);

    const int rows = doc->PingRoutine().CombinedBeamCount();
    ASSERT_EQ(rows, 360);
    int bestRow = -1;
    int bestSample = -1;
    float best = 0.0f;
    for (int r = 0; r < rows; ++r) {
        for (int s = 0; s < 1000; ++s) {
            if (doc->PingRoutine().Combined().At(r, s) > best) {
                best = doc->PingRoutine().Combined().At(r, s);
                bestRow = r;
                bestSample = s;
            }
        }
    }
    ASSERT_GE(bestRow, 0);
    const float rowDeg = 360.0f / static_cast<float>(rows);
    float error = static_cast<float>(bestRow) * rowDeg - c.bearingDeg;
    error = std::remainder(error, 360.0f);
    EXPECT_LE(std::abs(error), 1.5f * rowDeg) << "row " << bestRow;
    // Without re-projection the echo sits at its range from the head's centre.
    EXPECT_NEAR(static_cast<float>(bestSample), c.rangeM * 100.0f, 10.0f);
}

INSTANTIATE_TEST_SUITE_P(AroundTheCircle, SceneInCombinedImage,
                         ::testing::Values(PictureCase{10.0f, 5.0f, 0}, PictureCase{75.0f, 4.0f, 0},
                                           PictureCase{100.0f, 6.0f, 0}, PictureCase{200.0f, 3.0f, 0},
                                           PictureCase{300.0f, 7.0f, 0}, PictureCase{350.0f, 5.0f, 0},
                                           PictureCase{100.0f, 6.0f, 1}, PictureCase{260.0f, 4.0f, 1},
                                           PictureCase{30.0f, 5.0f, 1}));

} // namespace
} // namespace vexar
