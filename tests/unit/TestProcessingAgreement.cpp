// The production processor against the step-by-step reference on random pings, for every
// combination of beams, samples, width, averaging, transducer up and filter.

#include "processing/CMOndrelMBP.h"
#include "support/ProcessingFixtures.h"
#include "support/ReferenceProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <tuple>

namespace vexar {
namespace {

using test::ProcessingSettings;
using test::RandomScene;
using test::ReferenceProcessor;

// The production beamformer sums each sub-array's products by their cosine and sine parts and
// shares those sums between a beam and its mirror image, and evaluates the coherence polynomials
// by Horner's rule, where the reference accumulates every element's complex product for each
// beam and sums the polynomial term by term. The rounding differs (measured worst: 0.029 on the
// 0..255 scale, after the coherence weight has amplified it), so images agree within 0.05, the
// truncated peak intensities of profile points within 1, and profile positions exactly.
constexpr float kImageTolerance = 0.05f;

class ProcessingAgreement : public ::testing::TestWithParam<std::tuple<int, int, int, bool>> {};

TEST_P(ProcessingAgreement, MatchesReferenceForEveryAveragingAndFilter) {
    const auto [beams, samples, width, up] = GetParam();
    PingSettings settings = ProcessingSettings(beams, samples, 10.0f);
    settings.beamWidth = width;
    settings.transducerUp = up ? 1 : 0;
    settings.soundVelocity = 1480.0f;
    settings.startGainDb = 6;
    COndrel prodHead;
    COndrel refHead;
    auto production = std::make_unique<CMOndrelMBP>();
    auto reference = std::make_unique<ReferenceProcessor>();
    production->InitialiseProcessor(settings);
    reference->InitialiseProcessor(settings);

    test::SynthSettings synth;
    synth.samples = samples;
    synth.rangeM = settings.rangeM;
    synth.transducerUp = up;
    std::uint32_t seed = static_cast<std::uint32_t>(beams * 7 + samples * 3 + width * 11 + (up ? 1 : 0));
    for (int filter = 0; filter <= 2; ++filter) {
        for (int average = 1; average <= 9; ++average) {
            settings.profileFilterType = filter;
            settings.average = average;
            // The history arithmetic does not depend on the filter: it is followed over several
            // pings (the ring wraps at 3) with one filter, the others see the first ping only.
            const int pings = filter != 1 ? 1 : average == 3 ? 4 : average == 1 ? 1 : 2;
            for (int ping = 0; ping < pings; ++ping) {
                RandomScene(prodHead, synth, ++seed);
                refHead.m_rawSamples = prodHead.m_rawSamples;
                prodHead.m_headImage.fill(0.0f);
                refHead.m_headImage.fill(0.0f);
                production->ProcessHeadPing(settings, test::kElementDataType, prodHead);
                reference->ProcessHeadPing(settings, test::kElementDataType, refHead);
                SCOPED_TRACE(::testing::Message()
                             << "filter " << filter << " average " << average << " ping " << ping);
                float worst = 0.0f;
                int worstBeam = 0, worstSample = 0;
                for (int b = 0; b < beams; ++b) {
                    for (int s = 0; s < samples; ++s) {
                        const float p = production->BeamImage(b, s);
                        const float r = reference->BeamImage(b, s);
                        const float diff = std::fabs(p - r);
                        if (!(diff <= worst)) {
                            worst = diff;
                            worstBeam = b;
                            worstSample = s;
                        }
                    }
                }
                ASSERT_LE(worst, kImageTolerance) << "beam " << worstBeam << " sample " << worstSample;
                for (std::size_t i = 0; i < prodHead.m_headImage.size(); ++i) {
                    ASSERT_NEAR(prodHead.m_headImage[i], refHead.m_headImage[i], kImageTolerance)
                        << "head image " << i;
                }
                for (int b = 0; b < beams; ++b) {
                    ASSERT_EQ(production->ProfilePosition(b), reference->ProfilePosition(b)) << "beam " << b;
                    ASSERT_LE(std::abs(production->ProfileIntensity(b) - reference->ProfileIntensity(b)), 1)
                        << "beam " << b;
                    ASSERT_EQ(prodHead.m_beamProfile[static_cast<std::size_t>(b)],
                              refHead.m_beamProfile[static_cast<std::size_t>(b)]);
                }
                for (int k = 0; k < kElementCount; ++k) {
                    ASSERT_EQ(production->ElementStatus(k), reference->ElementStatus(k));
                    ASSERT_NEAR(production->ElementLevel(k), reference->ElementLevel(k), 1e-6f);
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllGeometries, ProcessingAgreement,
                         ::testing::Combine(::testing::Values(120, 240, 480), ::testing::Values(500, 1000),
                                            ::testing::Values(0, 1, 2), ::testing::Bool()));

} // namespace
} // namespace vexar
