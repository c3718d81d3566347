#include "gis/GeoTiffWriter.h"
#include "gis/MosaicRaster.h"
#include "support/RecordingFixture.h"

#include <gdal.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexar::gis {
namespace {

struct Dataset {
    explicit Dataset(const std::string& path) : handle(GDALOpen(path.c_str(), GA_ReadOnly)) {}
    ~Dataset() {
        if (handle != nullptr) {
            GDALClose(handle);
        }
    }
    Dataset(const Dataset&) = delete;
    Dataset& operator=(const Dataset&) = delete;
    GDALDatasetH handle;
};

// A mosaic over two tiles of one row and one of the next, far apart: GIS reads it in its zone
// on the cell grid, tiled and compressed, with nodata where no ping passed and overviews, and
// every cell as the raster holds it.
TEST(GeoTiff, WritesTheRasterAsGisReadsIt) {
    test::RecordingFolder folder;
    MosaicRaster raster(0.25, MosaicStat::Max, 1 << 24, folder.Folder());
    PlacedPing ping;
    ping.beams = 1;
    ping.samples = 1000;
    ping.metresPerSample = 0.1;
    ping.dEast = {0.6};
    ping.dNorth = {0.8};
    ping.dDepth = {0.0};
    std::vector<std::uint8_t> samples(1000);
    for (std::size_t s = 0; s < samples.size(); ++s) {
        samples[s] = static_cast<std::uint8_t>(s % 200 + 20);
    }
    ping.east = 500010.0;
    ping.north = 6100020.0;
    raster.AddPing(ping, samples);
    ping.east = 500300.0;
    raster.AddPing(ping, samples);
    const std::string path = folder / "m.tif";
    WriteGeoTiff(raster, path, MapProjection{33, true}, {});

    const Dataset tif(path);
    ASSERT_NE(tif.handle, nullptr);
    const CellBounds& bounds = raster.Bounds();
    double transform[6] = {};
    GDALGetGeoTransform(tif.handle, transform);
    EXPECT_DOUBLE_EQ(transform[0], static_cast<double>(bounds.firstCol) * 0.25);
    EXPECT_DOUBLE_EQ(transform[3], static_cast<double>(bounds.lastRow + 1) * 0.25);
    EXPECT_EQ(transform[1], 0.25);
    EXPECT_EQ(transform[5], -0.25);
    EXPECT_NE(std::string(GDALGetProjectionRef(tif.handle)).find("UTM zone 33S"), std::string::npos);
    GDALRasterBandH band = GDALGetRasterBand(tif.handle, 1);
    int hasNoData = 0;
    EXPECT_EQ(GDALGetRasterNoDataValue(band, &hasNoData), 0.0);
    EXPECT_TRUE(hasNoData);
    int blockX = 0;
    int blockY = 0;
    GDALGetBlockSize(band, &blockX, &blockY);
    EXPECT_EQ(blockX, 512);
    EXPECT_EQ(blockY, 512);
    EXPECT_STREQ(GDALGetMetadataItem(tif.handle, "COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
    EXPECT_GE(GDALGetOverviewCount(band), 1);

    const int width = GDALGetRasterXSize(tif.handle);
    const int height = GDALGetRasterYSize(tif.handle);
    ASSERT_EQ(width, bounds.Width());
    ASSERT_EQ(height, bounds.Height());
    std::vector<std::uint8_t> read(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    ASSERT_EQ(GDALRasterIO(band, GF_Read, 0, 0, width, height, read.data(), width, height, GDT_Byte, 0, 0),
              CE_None);
    std::vector<std::uint8_t> held(read.size());
    raster.FillWindow(bounds.firstCol, bounds.lastRow, width, height,
                      reinterpret_cast<std::byte*>(held.data()));
    EXPECT_EQ(read, held);
    EXPECT_EQ(read[static_cast<std::size_t>(width) * 10 + 1000], 0); // between the two pings
}

// A picture placed on the map: RGB with an alpha band, where the geotransform puts it.
TEST(GeoTiff, WritesAPictureWithAlpha) {
    test::RecordingFolder folder;
    const std::string path = folder / "p.tif";
    std::vector<std::uint8_t> rgba(4 * 3 * 2, 200);
    rgba[3] = 0; // the first pixel lies outside the picture
    WriteGeoImage(path, rgba, 3, 2, {1000.0, 0.5, 0.0, 2000.0, 0.0, -0.5}, 32614);
    const Dataset tif(path);
    ASSERT_NE(tif.handle, nullptr);
    ASSERT_EQ(GDALGetRasterCount(tif.handle), 4);
    EXPECT_EQ(GDALGetRasterColorInterpretation(GDALGetRasterBand(tif.handle, 4)), GCI_AlphaBand);
    double transform[6] = {};
    GDALGetGeoTransform(tif.handle, transform);
    EXPECT_EQ(transform[0], 1000.0);
    EXPECT_EQ(transform[5], -0.5);
    std::uint8_t alpha[2] = {};
    ASSERT_EQ(
        GDALRasterIO(GDALGetRasterBand(tif.handle, 4), GF_Read, 0, 0, 2, 1, alpha, 2, 1, GDT_Byte, 0, 0),
        CE_None);
    EXPECT_EQ(alpha[0], 0);
    EXPECT_EQ(alpha[1], 200);
}

} // namespace
} // namespace vexar::gis
