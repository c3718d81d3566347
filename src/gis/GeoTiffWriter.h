#pragma once
// Writing rasters as GeoTIFF through GDAL, as GIS tools open them: a tiled raster accumulated
// on a UTM zone's grid, and a single georeferenced picture.

#include "gis/TiledRaster.h"
#include "navigation/XyzExport.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace vexar::gis {

/// Progress of a long write: the phase ("writing", "overviews") and its fraction done.
using WriteProgress = std::function<void(const char* phase, double fraction)>;

/// Writes the cells of `raster` within its bounds to `path` in WGS 84 / UTM `projection`:
/// 512 x 512 tiles, deflate-compressed, blocks without a cell left out (they read as nodata),
/// the nodata value declared, and overviews down to a few hundred cells for fast viewing.
/// GDAL keeps at most `cacheBytes` of blocks; `threads` compress. Throws std::runtime_error;
/// a file that could not be completed is removed.
void WriteGeoTiff(TiledRaster& raster, const std::string& path, const MapProjection& projection,
                  const WriteProgress& progress, int threads = 1);

/// Writes `width` x `height` RGBA pixels (row-major, top row first, 4 bytes a pixel, alpha 0
/// outside the picture) to `path` as a GeoTIFF with an alpha band in EPSG `epsg`.
/// `geoTransform` maps pixel edges to map coordinates as GDAL's does. Throws std::runtime_error;
/// a file that could not be completed is removed.
void WriteGeoImage(const std::string& path, std::span<const std::uint8_t> rgba, int width, int height,
                   const std::array<double, 6>& geoTransform, int epsg);

} // namespace vexar::gis
