#include "gis/GeoTiffWriter.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace vexar::gis {

namespace {
constexpr int kBlockSide = 512;
// Overviews stop once the raster's longer side is this small.
constexpr std::int64_t kSmallestOverview = 256;
// Blocks GDAL may keep while writing and building overviews.
constexpr GIntBig kGdalCacheBytes = 64LL * 1024 * 1024;

/// GDAL errors are kept for our own messages rather than printed; the handler is restored and
/// an unfinished file removed when the scope ends.
class GdalScope {
public:
    explicit GdalScope(std::string path) : m_path(std::move(path)) {
        GDALAllRegister();
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~GdalScope() {
        if (m_dataset != nullptr) {
            GDALClose(m_dataset);
        }
        CPLPopErrorHandler();
        if (!m_done) {
            std::error_code ignored;
            std::filesystem::remove(m_path, ignored);
        }
    }
    GdalScope(const GdalScope&) = delete;
    GdalScope& operator=(const GdalScope&) = delete;

    [[noreturn]] void Fail(const std::string& what) const {
        const std::string detail = CPLGetLastErrorMsg();
        throw std::runtime_error(what + " " + m_path + (detail.empty() ? std::string() : ": " + detail));
    }
    void Create(int width, int height, int bands, GDALDataType type, CSLConstList options) {
        GDALDriverH driver = GDALGetDriverByName("GTiff");
        if (driver == nullptr) {
            throw std::runtime_error("GDAL has no GeoTIFF driver");
        }
        m_dataset =
            GDALCreate(driver, m_path.c_str(), width, height, bands, type, const_cast<char**>(options));
        if (m_dataset == nullptr) {
            Fail("cannot create");
        }
    }
    void Georeference(const std::array<double, 6>& geoTransform, int epsg) {
        OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
        char* wkt = nullptr;
        const bool ok = OSRImportFromEPSG(srs, epsg) == OGRERR_NONE &&
                        OSRExportToWkt(srs, &wkt) == OGRERR_NONE &&
                        GDALSetProjection(m_dataset, wkt) == CE_None &&
                        GDALSetGeoTransform(m_dataset, const_cast<double*>(geoTransform.data())) == CE_None;
        CPLFree(wkt);
        OSRRelease(srs);
        if (!ok) {
            Fail("cannot georeference");
        }
    }
    /// Closes the file; throws when the last blocks did not reach it.
    void Close() {
        CPLErrorReset();
        GDALClose(m_dataset);
        m_dataset = nullptr;
        if (CPLGetLastErrorType() == CE_Failure || CPLGetLastErrorType() == CE_Fatal) {
            Fail("cannot complete");
        }
        m_done = true;
    }
    GDALDatasetH Dataset() const { return m_dataset; }

private:
    std::string m_path;
    GDALDatasetH m_dataset = nullptr;
    bool m_done = false;
};

struct ProgressData {
    const WriteProgress* progress = nullptr;
};

int CPL_STDCALL OverviewProgress(double fraction, const char*, void* data) {
    const auto* progress = static_cast<ProgressData*>(data)->progress;
    if (progress != nullptr && *progress) {
        (*progress)("overviews", fraction);
    }
    return TRUE;
}

void WriteBlocks(TiledRaster& raster, GdalScope& scope, const WriteProgress& progress) {
    const CellBounds& bounds = raster.Bounds();
    const auto width = static_cast<int>(bounds.Width());
    const auto height = static_cast<int>(bounds.Height());
    const GDALDataType type = raster.OutputBytes() == 1 ? GDT_Byte : GDT_Float32;
    std::vector<std::byte> block(static_cast<std::size_t>(kBlockSide) * kBlockSide * raster.OutputBytes());
    GDALRasterBandH band = GDALGetRasterBand(scope.Dataset(), 1);
    const int blockRows = (height + kBlockSide - 1) / kBlockSide;
    for (int by = 0; by < blockRows; ++by) {
        for (int x = 0; x < width; x += kBlockSide) {
            const int y = by * kBlockSide;
            const int w = std::min(kBlockSide, width - x);
            const int h = std::min(kBlockSide, height - y);
            const std::int64_t firstCol = bounds.firstCol + x;
            const std::int64_t topRow = bounds.lastRow - y;
            if (!raster.HasTiles(firstCol, topRow, w, h)) {
                continue; // left out of the file: reads as nodata
            }
            raster.FillWindow(firstCol, topRow, w, h, block.data());
            if (GDALRasterIO(band, GF_Write, x, y, w, h, block.data(), w, h, type, 0, 0) != CE_None) {
                scope.Fail("cannot write");
            }
        }
        if (progress) {
            progress("writing", static_cast<double>(by + 1) / blockRows);
        }
    }
}

std::vector<int> OverviewLevels(std::int64_t width, std::int64_t height) {
    std::vector<int> levels;
    for (int factor = 2; std::max(width, height) / (factor / 2) > kSmallestOverview && factor <= 65536;
         factor *= 2) {
        levels.push_back(factor);
    }
    return levels;
}
} // namespace

void WriteGeoTiff(TiledRaster& raster, const std::string& path, const MapProjection& projection,
                  const WriteProgress& progress, int threads) {
    const CellBounds& bounds = raster.Bounds();
    if (bounds.Empty() || bounds.Width() > INT32_MAX || bounds.Height() > INT32_MAX) {
        throw std::runtime_error("no raster to write to " + path);
    }
    GDALSetCacheMax64(kGdalCacheBytes);
    GdalScope scope(path);
    const bool bytes = raster.OutputBytes() == 1;
    const std::string threadCount = std::to_string(std::max(1, threads));
    const char* options[] = {"TILED=YES",
                             "BLOCKXSIZE=512",
                             "BLOCKYSIZE=512",
                             "COMPRESS=DEFLATE",
                             bytes ? "PREDICTOR=2" : "PREDICTOR=3",
                             "SPARSE_OK=TRUE",
                             "BIGTIFF=IF_SAFER",
                             nullptr,
                             nullptr};
    const std::string threadOption = "NUM_THREADS=" + threadCount;
    options[7] = threadOption.c_str();
    scope.Create(static_cast<int>(bounds.Width()), static_cast<int>(bounds.Height()), 1,
                 bytes ? GDT_Byte : GDT_Float32, options);
    const double cell = raster.CellM();
    scope.Georeference({static_cast<double>(bounds.firstCol) * cell, cell, 0.0,
                        static_cast<double>(bounds.lastRow + 1) * cell, 0.0, -cell},
                       projection.Epsg());
    if (GDALSetRasterNoDataValue(GDALGetRasterBand(scope.Dataset(), 1), raster.NoDataValue()) != CE_None) {
        scope.Fail("cannot set the nodata value of");
    }
    WriteBlocks(raster, scope, progress);
    std::vector<int> levels = OverviewLevels(bounds.Width(), bounds.Height());
    if (!levels.empty()) {
        ProgressData data{&progress};
        CPLSetThreadLocalConfigOption("COMPRESS_OVERVIEW", "DEFLATE");
        CPLSetThreadLocalConfigOption("GDAL_NUM_THREADS", threadCount.c_str());
        const CPLErr built = GDALBuildOverviews(scope.Dataset(), "AVERAGE", static_cast<int>(levels.size()),
                                                levels.data(), 0, nullptr, OverviewProgress, &data);
        CPLSetThreadLocalConfigOption("COMPRESS_OVERVIEW", nullptr);
        CPLSetThreadLocalConfigOption("GDAL_NUM_THREADS", nullptr);
        if (built != CE_None) {
            scope.Fail("cannot build the overviews of");
        }
    }
    scope.Close();
}

void WriteGeoImage(const std::string& path, std::span<const std::uint8_t> rgba, int width, int height,
                   const std::array<double, 6>& geoTransform, int epsg) {
    if (width <= 0 || height <= 0 ||
        rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
        throw std::runtime_error("no picture to write to " + path);
    }
    GdalScope scope(path);
    const char* options[] = {"COMPRESS=DEFLATE", "PHOTOMETRIC=RGB", "ALPHA=YES", "TILED=YES", nullptr};
    scope.Create(width, height, 4, GDT_Byte, options);
    scope.Georeference(geoTransform, epsg);
    if (GDALDatasetRasterIO(scope.Dataset(), GF_Write, 0, 0, width, height,
                            const_cast<std::uint8_t*>(rgba.data()), width, height, GDT_Byte, 4, nullptr, 4,
                            width * 4, 1) != CE_None) {
        scope.Fail("cannot write");
    }
    scope.Close();
}

} // namespace vexar::gis
