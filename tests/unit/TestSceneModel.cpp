// The simulated head's scene model: the element samples it synthesises must be imaged by the
// console's demodulator and sub-array beamformer at the reflector's true bearing and range.

#include "acquisition/COndrel.h"
#include "acquisition/ReplyData.h"
#include "sim/Scene.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace vexar::sim {
namespace {

constexpr float kPi = 3.1415927f;

// The console's chain up to the split-aperture product, in single precision: element loading
// (with the reversal of an inverted head), signed log compression at unit gain, the damped
// 8-point sliding DFT with bins 1..3 and the quad weights, and Hamming-weighted phase steering of
// the two 8-element sub-arrays. Returns the in-phase cross product P[beam][sample].
class ReferenceBeamformer {
public:
    ReferenceBeamformer(const PingGeometry& g, int beams) : m_g(g), m_beams(beams) {}

    float BeamAngleDeg(int b) const {
        const float step = 2.0f * (60.0f * kPi / 180.0f) / static_cast<float>(m_beams);
        return (static_cast<float>(b) * step + (step * 0.5f - 60.0f * kPi / 180.0f)) * 180.0f / kPi;
    }

    std::vector<std::vector<float>> Form(std::span<const std::uint16_t> raw) const {
        const int n = m_g.samples;
        std::array<std::vector<float>, 16> iRows, qRows;
        for (int k = 0; k < 16; ++k) {
            const int ch = m_g.transducerUp != 0 ? 15 - k : k;
            std::vector<float> x(static_cast<std::size_t>(n) + 4, 0.0f);
            for (int i = 0; i < n; ++i) {
                float v = (static_cast<float>(raw[static_cast<std::size_t>(ch * 1000 + i)]) - 32768.0f) / 32768.0f;
                v = v <= 0.0f ? v - 1.0f : v + 1.0f;
                x[static_cast<std::size_t>(i)] = v >= 0.0f ? std::log10(v) : -std::log10(-v);
            }
            Demodulate(k, x, iRows[static_cast<std::size_t>(k)], qRows[static_cast<std::size_t>(k)]);
        }
        std::vector<std::vector<float>> p(static_cast<std::size_t>(m_beams), std::vector<float>(static_cast<std::size_t>(n), 0.0f));
        const float omega = 2.0f * kPi * m_g.frequencyKHz * 1000.0f;
        for (int b = 0; b < m_beams; ++b) {
            const float s = std::sin(BeamAngleDeg(b) * kPi / 180.0f) * kElementPitchM / m_g.soundVelocity;
            for (int j = 0; j < n; ++j) {
                float are = 0, aim = 0, bre = 0, bim = 0;
                for (int k = 0; k < 16; ++k) {
                    const float w = 0.54f - 0.46f * std::cos(static_cast<float>(k) * 6.2831855f * 0.0625f);
                    const float phi = (static_cast<float>(k) - 7.5f) * s * omega;
                    const float c = std::cos(phi) * w, sn = std::sin(phi) * w;
                    const float ik = iRows[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)];
                    const float qk = qRows[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)];
                    (k < 8 ? are : bre) += ik * c - qk * sn;
                    (k < 8 ? aim : bim) += qk * c + ik * sn;
                }
                p[static_cast<std::size_t>(b)][static_cast<std::size_t>(j)] = are * bre + aim * bim;
            }
        }
        return p;
    }

private:
    void Demodulate(int k, const std::vector<float>& x, std::vector<float>& iOut, std::vector<float>& qOut) const {
        const int n = m_g.samples;
        const float f = n == 500 ? m_g.rangeM * 0.8f : m_g.rangeM * 0.4f;
        const float g = 2.34f / (0.5f * f);
        const float angle = (static_cast<float>(k / 4) * g + 45.0f) * 3.1415927f / 180.0f;
        const float wr = -std::cos(angle), wi = -std::sin(angle);
        const float r = 0.99995f;
        const float r8 = r * r * r * r * r * r * r * r;
        std::array<float, 8> line{};
        std::array<float, 4> sr{}, si{};
        std::vector<float> o1(static_cast<std::size_t>(n) + 4), o2(static_cast<std::size_t>(n) + 4);
        for (int t = 0; t < n + 4; ++t) {
            const float xi = t < n ? x[static_cast<std::size_t>(t)] : 0.0f;
            const float x8 = line[static_cast<std::size_t>(t % 8)];
            line[static_cast<std::size_t>(t % 8)] = xi;
            const float d = r8 * x8 - xi;
            for (int m = 1; m <= 3; ++m) {
                const float tr = r * std::cos(static_cast<float>(m) * 0.7853982f);
                const float ti = r * std::sin(static_cast<float>(m) * 0.7853982f);
                const float re = d + tr * sr[static_cast<std::size_t>(m)] - ti * si[static_cast<std::size_t>(m)];
                const float im = tr * si[static_cast<std::size_t>(m)] + ti * sr[static_cast<std::size_t>(m)];
                sr[static_cast<std::size_t>(m)] = re;
                si[static_cast<std::size_t>(m)] = im;
            }
            o1[static_cast<std::size_t>(t)] = wr * (sr[1] - sr[2] + sr[3]);
            o2[static_cast<std::size_t>(t)] = wi * (si[1] - si[2] + si[3]);
        }
        iOut.assign(static_cast<std::size_t>(n) + 4, 0.0f);
        qOut.assign(static_cast<std::size_t>(n) + 4, 0.0f);
        for (int l = 0; l < n; ++l) {
            iOut[static_cast<std::size_t>(l)] = 0.5f * o1[static_cast<std::size_t>(l + 4)];
            qOut[static_cast<std::size_t>(l)] = 0.5f * o2[static_cast<std::size_t>(l + 4)];
        }
    }

    PingGeometry m_g;
    int m_beams;
};

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
    SynthesiseHead(OneTarget(c.bearingDeg, c.rangeM), g, c.expectedHead, 0, HeadSamples(raw.data(), raw.size()));

    const Peak peak = FindPeak(former.Form(raw));
    const HeadBearing seen = SeenFromHead(c.bearingDeg, c.rangeM, c.expectedHead, c.transducerUp);
    ASSERT_GE(peak.beam, 0);
    // The beam drawn at clockwise angle a from the head's axis is the beam steered to -a.
    EXPECT_NEAR(former.BeamAngleDeg(peak.beam), -seen.angleDeg, 0.5f);
    EXPECT_NEAR(static_cast<float>(peak.sample), seen.rangeM * static_cast<float>(c.samples) / c.rangeScaleM, 2.0f);
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
            outside = std::max(outside, p[static_cast<std::size_t>(b)][static_cast<std::size_t>(peak.sample)]);
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
    Scene scene = DefaultScene();
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

TEST(Scene, PingsDifferOnlyWhereTheSceneMovesOrTheNoiseChanges) {
    Scene scene = OneTarget(45.0f, 4.0f);
    PingGeometry g;
    std::vector<std::uint16_t> a(16 * 1000), b(16 * 1000);
    SynthesiseHead(scene, g, 0, 1, HeadSamples(a.data(), a.size()));
    SynthesiseHead(scene, g, 0, 2, HeadSamples(b.data(), b.size()));
    EXPECT_EQ(a, b);
    scene.noise = 0.001f;
    SynthesiseHead(scene, g, 0, 1, HeadSamples(a.data(), a.size()));
    SynthesiseHead(scene, g, 0, 2, HeadSamples(b.data(), b.size()));
    EXPECT_NE(a, b);
    std::vector<std::uint16_t> again(16 * 1000);
    SynthesiseHead(scene, g, 0, 1, HeadSamples(again.data(), again.size()));
    EXPECT_EQ(a, again);
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
            head.m_rangeM = kRangeTable[static_cast<std::size_t>(index)];
            head.m_samples = samples;
            head.ResetCommandPacket();
            head.BuildCommandPacket();
            const PingGeometry g = GeometryFromPacket(head.m_commandPacket, 1500.0f, 1);
            EXPECT_FLOAT_EQ(g.rangeM, head.m_rangeM);
            EXPECT_EQ(g.samples, samples);
            EXPECT_FLOAT_EQ(g.frequencyKHz, 675.0f);
            EXPECT_EQ(g.pulseLength, std::max(head.m_pulseLength & 0xFF, 1));
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
