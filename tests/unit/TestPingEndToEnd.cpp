// Synthesised echoes through the document's per-ping routine: a point target must appear in the
// combined image where its head, bearing and range put it, upright or inverted.

#include "acquisition/CTamsorDoc.h"
#include "support/FakePorts.h"
#include "support/ProcessingFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vexar {
namespace {

constexpr float kRadToDeg = 57.29578f;

struct Found {
    int row = -1;
    int sample = -1;
    float centre = -1.0f; ///< centre of the samples within 20 % of the peak
};

Found Brightest(CTamsorDoc& doc, int rows, int samples) {
    Found found;
    float best = 0.0f;
    for (int r = 0; r < rows; ++r) {
        for (int s = 0; s < samples; ++s) {
            if (doc.CombinedImage(r, s) > best) {
                best = doc.CombinedImage(r, s);
                found = {r, s};
            }
        }
    }
    // Log compression flattens the top of the echo and the re-projection can split it between
    // neighbouring rows: locate it by the centre of the samples near the peak.
    float weight = 0.0f;
    float sum = 0.0f;
    for (int r = std::max(found.row - 2, 0); r <= std::min(found.row + 2, rows - 1) && found.row >= 0; ++r) {
        for (int s = 0; s < samples; ++s) {
            const float v = doc.CombinedImage(r, s);
            if (v >= 0.8f * best) {
                weight += v;
                sum += v * static_cast<float>(s);
            }
        }
    }
    found.centre = weight > 0.0f ? sum / weight : -1.0f;
    return found;
}

// Combined-image row of a bearing in a head's fan (as seen from the assembly centre).
float ExpectedRow(int head, bool up, int beams, float centreDeg) {
    const int j = static_cast<int>(beams * 0.75 * 0.5);
    const int t = 2 * j;
    const int f = (beams - t) / 2;
    const float step = 120.0f / static_cast<float>(beams);
    const float beam = (centreDeg + 60.0f) / step - 0.5f;
    const float headRow = static_cast<float>(beams - 1) - beam; // head images are mirrored
    int slot = head;
    if (up && (head == 1 || head == 3)) {
        slot = 4 - head; // inverted, heads 1 and 3 change places
    }
    float row = static_cast<float>(slot * t) + headRow - static_cast<float>(f) - static_cast<float>(j);
    if (row < 0.0f) {
        row += static_cast<float>(4 * t);
    }
    return row;
}

TEST(PingEndToEnd, PointTargetLandsOnItsCombinedBeamAndSample) {
    test::FakeWorld world;
    auto doc = CTamsorDoc::Create(world.Ports());
    for (int beams : {120, 480}) {
        for (bool up : {false, true}) {
            for (int head = 0; head < kHeadCount; ++head) {
                for (int k = 0; k < kHeadCount; ++k) {
                    COndrel& h = doc->Head(k);
                    h = test::ProcessingHead(beams, 1000);
                    h.m_headIndex = k;
                    h.m_displayMode = 0;
                    h.m_displayGain = 1;
                    h.m_newData = 1;
                    h.m_transducerUp = up ? 1 : 0;
                    h.m_rawSamples.fill(32768);
                }
                test::SynthSettings synth;
                synth.transducerUp = up;
                test::PointTarget target;
                target.bearingRad = (head % 2 == 0 ? 20.0f : -35.0f) / kRadToDeg;
                target.rangeM = 4.0f + static_cast<float>(head);
                test::SynthesiseHead(doc->Head(head), {target}, synth);
                doc->m_forceReconfigure = 1;
                doc->ProcessPing();

                const float x = target.rangeM * std::cos(target.bearingRad) + 0.07f;
                const float y = target.rangeM * std::sin(target.bearingRad);
                const Found found = Brightest(*doc, doc->CombinedBeamCount(), 1000);
                const float step = 120.0f / static_cast<float>(beams);
                SCOPED_TRACE(::testing::Message() << "beams " << beams << " up " << up << " head " << head);
                // The fan is about 7 degrees wide at 3 dB; the peak lies within a degree.
                EXPECT_NEAR(found.row, ExpectedRow(head, up, beams, std::atan2(y, x) * kRadToDeg),
                            std::max(1.0f, 1.0f / step));
                EXPECT_NEAR(found.centre, std::hypot(x, y) * 100.0f, 2.0f);
            }
        }
    }
}

} // namespace
} // namespace vexar
