#include "head/SampleBytes.h"
#include "processing/CCombinedImage.h"

#include <gtest/gtest.h>

#include <memory>

namespace vexar {
namespace {

// Head k's row i starts with 1000 (k + 1) + i + ping, its profile point is i + 1.
void FillHeads(std::array<COndrel, kHeadCount>& heads, int ping) {
    for (int k = 0; k < kHeadCount; ++k) {
        COndrel& head = heads[static_cast<std::size_t>(k)];
        for (int i = 0; i < kMaxBeams; ++i) {
            head.m_headImage[static_cast<std::size_t>(i) * kMaxSamples] =
                static_cast<float>(1000 * (k + 1) + i + ping);
            head.m_beamProfile[static_cast<std::size_t>(i)] = static_cast<float>(i + 1);
        }
    }
}

// 480 beams a head: 360 central rows from row 60 of each head, the circle turned by 180 rows so
// that it starts at the centre of head 0, whose first rows close it. A head without a new ping
// keeps the rows of the last ping, moved with the turn, but for the margin its fresh neighbour runs
// on into; only rows taken from a head are converted.
TEST(CombinedImage, LaysHeadsRoundTheCircleAndKeepsTheRowsOfAHeadWithoutAPing) {
    auto heads = std::make_unique<std::array<COndrel, kHeadCount>>();
    auto image = std::make_unique<CCombinedImage>(*heads);
    const CombinedLayout layout{
        .perHead = 360, .firstCentral = 60, .quadrant = 180, .samples = 4, .recordBytes = true};
    const int rows = 4 * layout.perHead;
    const auto expected = [&](int r, int ping) {
        const int q = r + layout.quadrant;
        const int head = q < rows ? q / layout.perHead : 0;
        const int row = layout.firstCentral + (q < rows ? q % layout.perHead : q - rows);
        return static_cast<float>(1000 * (head + 1) + row + ping);
    };

    FillHeads(*heads, 0);
    image->BeginPing(layout, {true, true, true, true});
    for (int k = 0; k < kHeadCount; ++k) {
        image->HeadProcessed(k);
    }
    for (int r = 0; r < rows; ++r) {
        ASSERT_EQ(image->At(r, 0), expected(r, 0)) << r;
    }
    std::vector<float> last(image->Image().begin(), image->Image().end());

    FillHeads(*heads, 1);
    image->BeginPing(layout, {true, true, false, true});
    for (const int k : {0, 1, 3}) {
        image->HeadProcessed(k);
    }
    const std::span<const std::uint8_t* const> converted = image->ConvertedRows();
    for (int r = 0; r < rows; ++r) {
        // Head 1's margin rows run on over the first rows of head 2's sector.
        const int q = r + layout.quadrant;
        const bool sector2 = q < rows && q / layout.perHead == 2;
        const bool stale = sector2 && q % layout.perHead >= kWrapMarginRows;
        const float margin = static_cast<float>(2000 + layout.firstCentral + q - layout.perHead + 1);
        const float want =
            stale ? last[static_cast<std::size_t>(q) * kMaxSamples] : (sector2 ? margin : expected(r, 1));
        ASSERT_EQ(image->At(r, 0), want) << r;
        ASSERT_EQ(converted[static_cast<std::size_t>(r)] == nullptr, stale) << r;
        if (!stale) {
            ASSERT_EQ(converted[static_cast<std::size_t>(r)][0], SampleByte(want)) << r;
        }
    }
    image->StopConverting();
    EXPECT_EQ(image->ConvertedSamples(), 0);
}

} // namespace
} // namespace vexar
