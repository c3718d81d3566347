// vexar-cli mosaic FILE|FOLDER... --out M.tif --cell METRES [--stat max|mean] [--jobs N]: the beam
// images of every ping, as the beam records hold them, placed on the map by the ping's fix,
// heading and attitude and accumulated cell by cell into one GeoTIFF.

#include "RasterCommand.h"
#include "gis/MosaicRaster.h"

namespace vexar::cli {
namespace {

constexpr std::size_t kTileMemoryBytes = std::size_t{128} * 1024 * 1024;

RasterRecipe MosaicRecipe() {
    RasterRecipe recipe;
    recipe.command = "mosaic";
    recipe.product = RecordKind::Beam;
    recipe.productName = "beam (.B96)";
    recipe.make = [](const RasterOptions& options, const std::string& spillFolder) {
        const gis::MosaicStat stat = options.stat == "mean" ? gis::MosaicStat::Mean : gis::MosaicStat::Max;
        return std::make_unique<gis::MosaicRaster>(options.cellM, stat, kTileMemoryBytes, spillFolder);
    };
    recipe.add = [](gis::TiledRaster& raster, const PlacedPing& ping, std::span<const std::uint8_t> data) {
        static_cast<gis::MosaicRaster&>(raster).AddPing(ping, data);
        return static_cast<std::uint64_t>(data.size());
    };
    return recipe;
}

const bool kRegistered = RegisterCommand(
    "mosaic",
    "Place the beam images of raw recordings (or of their .B96 files) on the map and accumulate them into "
    "one "
    "georeferenced GeoTIFF in the UTM zone of the first position fix",
    [](CLI::App& command, const CommonOptions& common) -> std::function<int()> {
        auto options = std::make_shared<RasterOptions>();
        AddRasterOptions(command, *options, {"max", "mean"},
                         "what a cell shows of the samples in it: the brightest (max) or their mean");
        return [options, &common] { return RunRaster(MosaicRecipe(), *options, common); };
    });

} // namespace
} // namespace vexar::cli
