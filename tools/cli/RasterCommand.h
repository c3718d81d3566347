#pragma once
// What `mosaic` and `grid` share: their options, the files they read (raw recordings through the
// console's processing, or the beam or profile-point files it wrote), the placing of each ping on
// the map, several recordings accumulated in one process or side by side in processes of their
// own, the GeoTIFF, the progress bar and the summary.

#include "CliCommand.h"
#include "files/RecordHeader.h"
#include "gis/TiledRaster.h"
#include "navigation/PingPlacer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vexar::cli {

struct RasterOptions {
    std::vector<std::string> inputs;
    std::string out;
    double cellM = 0.0;
    std::string stat;
    int jobs = 0;
    // For the processes of a parallel run: the zone chosen by the parent, and the partial raster
    // written to --out instead of a GeoTIFF, with progress and result lines.
    std::string zone;
    bool partial = false;
};

/// What a raster command makes of placed pings.
struct RasterRecipe {
    std::string command;     ///< "mosaic", "grid"
    RecordKind product;      ///< the records it places: Beam or Point
    std::string productName; ///< "beam (.B96)"
    /// A new, empty raster for the options; spills go to `spillFolder`.
    std::function<std::unique_ptr<gis::TiledRaster>(const RasterOptions& options,
                                                    const std::string& spillFolder)>
        make;
    /// Adds the data block of one placed ping's record; returns the samples or points added.
    std::function<std::uint64_t(gis::TiledRaster& raster, const PlacedPing& ping,
                                std::span<const std::uint8_t> data)>
        add;
};

/// Adds the options every raster command takes; `stats` are the choices of --stat, the first
/// the default.
void AddRasterOptions(CLI::App& command, RasterOptions& options, const std::vector<std::string>& stats,
                      const std::string& statHelp);

/// Runs a raster command; the exit status.
int RunRaster(const RasterRecipe& recipe, const RasterOptions& options, const CommonOptions& common);

} // namespace vexar::cli
