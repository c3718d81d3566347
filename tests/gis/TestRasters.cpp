#include "gis/DepthGrid.h"
#include "gis/MosaicRaster.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vexar::gis {
namespace {

/// A ping whose beams all point east: sample s of every beam lies s x `step` metres east of
/// (`east`, `north`).
PlacedPing EastPing(double east, double north, int beams, int samples, double step) {
    PlacedPing ping;
    ping.east = east;
    ping.north = north;
    ping.beams = beams;
    ping.samples = samples;
    ping.metresPerSample = step;
    ping.dEast.assign(static_cast<std::size_t>(beams), 1.0);
    ping.dNorth.assign(static_cast<std::size_t>(beams), 0.0);
    ping.dDepth.assign(static_cast<std::size_t>(beams), 0.0);
    return ping;
}

std::vector<std::uint8_t> Row(MosaicRaster& raster, std::int64_t firstCol, std::int64_t row, int width) {
    std::vector<std::uint8_t> values(static_cast<std::size_t>(width));
    raster.FillWindow(firstCol, row, width, 1, reinterpret_cast<std::byte*>(values.data()));
    return values;
}

// Two beams of samples 0.5 cells apart: each cell takes two samples of each beam. Max keeps the
// brightest, mean rounds the average; a sample of 0 is the darkest echo, never nodata.
TEST(MosaicRaster, KeepsTheBrightestOrTheMeanSample) {
    const std::vector<std::uint8_t> samples = {0, 0, 10, 20, 200, 100, 7, 7, //
                                               0, 0, 30, 40, 100, 250, 7, 7};
    struct Case {
        MosaicStat stat;
        std::vector<std::uint8_t> row;
    } const cases[] = {
        {MosaicStat::Max, {0, 1, 40, 250, 7, 0}},
        {MosaicStat::Mean, {0, 1, 25, 163, 7, 0}},
    };
    test::RecordingFolder folder;
    for (const Case& c : cases) {
        MosaicRaster raster(1.0, c.stat, 1 << 20, folder.Folder());
        // From the middle of cell 1000 eastwards; cell 999 and 1004 stay empty.
        raster.AddPing(EastPing(1000.25, 500.5, 2, 8, 0.5), samples);
        EXPECT_EQ(Row(raster, 999, 500, 6), c.row);
        EXPECT_EQ(raster.Bounds().firstCol, 1000);
        EXPECT_EQ(raster.Bounds().lastCol, 1003);
    }
}

// More tiles than the budget holds go to the spill file and come back intact; a partial raster
// merged into another gives the raster the pings would have made in it.
TEST(MosaicRaster, SpillsAndMergesWithoutLosingCells) {
    test::RecordingFolder folder;
    MosaicRaster whole(0.5, MosaicStat::Mean, 0, folder.Folder());
    MosaicRaster first(0.5, MosaicStat::Mean, 0, folder.Folder());
    MosaicRaster second(0.5, MosaicStat::Mean, 0, folder.Folder());
    std::vector<std::uint8_t> samples(600);
    for (int ping = 0; ping < 20; ++ping) {
        for (std::size_t s = 0; s < samples.size(); ++s) {
            samples[s] = static_cast<std::uint8_t>((s * 7 + static_cast<std::size_t>(ping)) % 250 + 1);
        }
        // Each ping a line over 2 tiles on a row of tiles of its own: 40 tiles in all.
        const PlacedPing ping1 = EastPing(0.0, 256.0 * ping, 1, 600, 0.5);
        whole.AddPing(ping1, samples);
        (ping % 2 == 0 ? first : second).AddPing(ping1, samples);
    }
    EXPECT_LE(whole.PeakTilesInMemory(), 16u + 2u);
    second.SavePartial(folder / "second.tiles");
    first.MergePartial(folder / "second.tiles");
    ASSERT_EQ(first.Bounds().lastRow, whole.Bounds().lastRow);
    for (std::int64_t row = 0; row <= whole.Bounds().lastRow; row += 256) {
        EXPECT_EQ(Row(first, 0, row, 600), Row(whole, 0, row, 600)) << "row " << row;
    }
}

// The depth of a cell: the mean, least or greatest of its points, or their count; nodata where
// no point fell.
TEST(DepthGrid, BinsThePointsOfACell) {
    // Three beams down at 45 degrees to the east: their points lie east and below the vehicle.
    PlacedPing ping = EastPing(100.0, 200.0, 3, 1, 1.0);
    ping.depth = 1.0;
    ping.dEast.assign(3, 0.5);
    ping.dDepth.assign(3, 0.5);
    const std::vector<float> ranges = {2.0f, 2.4f, 3.0f}; // east 101, 101.2, 101.5: one cell
    const std::vector<float> none = {0.0f, -1.0f, 0.0f};
    struct Case {
        GridStat stat;
        float value;
    } const cases[] = {{GridStat::Mean, 1.0f + (2.0f + 2.4f + 3.0f) / 6.0f},
                       {GridStat::Min, 2.0f},
                       {GridStat::Max, 2.5f},
                       {GridStat::Count, 3.0f}};
    test::RecordingFolder folder;
    for (const Case& c : cases) {
        DepthGrid grid(1.0, c.stat, 1 << 20, folder.Folder());
        EXPECT_EQ(grid.AddPing(ping, ranges), 3u);
        EXPECT_EQ(grid.AddPing(ping, none), 0u);
        float values[2] = {};
        grid.FillWindow(100, 200, 2, 1, reinterpret_cast<std::byte*>(values));
        EXPECT_EQ(values[0], kGridNoData);
        EXPECT_NEAR(values[1], c.value, 1e-6f);
    }
}

} // namespace
} // namespace vexar::gis
