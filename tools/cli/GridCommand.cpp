// vexar-cli grid FILE|FOLDER... --out D.tif --cell METRES [--stat mean|min|max|count]: the profile
// points of every ping, in the XYZ export's map coordinates, binned into a float32 GeoTIFF of
// depth.

#include "RasterCommand.h"
#include "gis/DepthGrid.h"

#include <array>

namespace vexar::cli {
namespace {

constexpr std::size_t kTileMemoryBytes = std::size_t{128} * 1024 * 1024;

gis::GridStat StatOf(const std::string& name) {
    if (name == "min") {
        return gis::GridStat::Min;
    }
    if (name == "max") {
        return gis::GridStat::Max;
    }
    return name == "count" ? gis::GridStat::Count : gis::GridStat::Mean;
}

RasterRecipe GridRecipe() {
    RasterRecipe recipe;
    recipe.command = "grid";
    recipe.product = RecordKind::Point;
    recipe.productName = "profile-point (.P96)";
    recipe.make = [](const RasterOptions& options, const std::string& spillFolder) {
        return std::make_unique<gis::DepthGrid>(options.cellM, StatOf(options.stat), kTileMemoryBytes,
                                                spillFolder);
    };
    recipe.add = [](gis::TiledRaster& raster, const PlacedPing& ping, std::span<const std::uint8_t> data) {
        // A record holds at most 1920 beams; the placer refused more.
        std::array<float, 1920> ranges{};
        const std::span<float> beams(ranges.data(), static_cast<std::size_t>(ping.beams));
        gis::PointRanges(data, beams);
        return static_cast<std::uint64_t>(static_cast<gis::DepthGrid&>(raster).AddPing(ping, beams));
    };
    return recipe;
}

const bool kRegistered = RegisterCommand(
    "grid",
    "Bin the profile points of raw recordings (or of their .P96 files) into a float32 GeoTIFF of depth in "
    "the "
    "UTM zone of the first position fix",
    [](CLI::App& command, const CommonOptions& common) -> std::function<int()> {
        auto options = std::make_shared<RasterOptions>();
        AddRasterOptions(
            command, *options, {"mean", "min", "max", "count"},
            "what a cell holds of the points in it: their mean, least or greatest depth (m, down "
            "positive), or their count");
        return [options, &common] { return RunRaster(GridRecipe(), *options, common); };
    });

} // namespace
} // namespace vexar::cli
