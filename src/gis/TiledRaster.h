#pragma once
// TiledRaster: what the imagery mosaic and the depth grid share: cells of one size on the grid
// of a UTM zone (cell edges at multiples of the cell size, so that rasters made apart line up
// cell for cell), kept in a TileStore, the extent of the cells touched, partial rasters that
// another process accumulated, and the output values of any window of cells.

#include "gis/TileStore.h"

#include <cstdint>
#include <string>

namespace vexar::gis {

/// Cell columns and rows (east and north from the zone's origin), inclusive.
struct CellBounds {
    std::int64_t firstCol = 0;
    std::int64_t lastCol = -1;
    std::int64_t firstRow = 0;
    std::int64_t lastRow = -1;

    bool Empty() const { return lastCol < firstCol || lastRow < firstRow; }
    std::int64_t Width() const { return Empty() ? 0 : lastCol - firstCol + 1; }
    std::int64_t Height() const { return Empty() ? 0 : lastRow - firstRow + 1; }
    /// Grows to take in the cells between the two corners given.
    void Add(std::int64_t col0, std::int64_t col1, std::int64_t row0, std::int64_t row1);
    void Add(const CellBounds& other);
};

class TiledRaster {
public:
    /// `cellM` the cell size in metres; `cellBytes` of one accumulating cell (zero: empty).
    TiledRaster(double cellM, std::size_t cellBytes, std::size_t memoryBudgetBytes, std::string spillFolder);
    virtual ~TiledRaster() = default;
    TiledRaster(const TiledRaster&) = delete;
    TiledRaster& operator=(const TiledRaster&) = delete;

    double CellM() const { return m_cellM; }
    const CellBounds& Bounds() const { return m_bounds; }
    /// Bytes of one output value: 1 (unsigned bytes) or 4 (float32).
    virtual std::size_t OutputBytes() const = 0;
    /// The output value of a cell without data.
    virtual double NoDataValue() const = 0;

    /// Writes every tile to `path` for another process to merge; throws std::runtime_error.
    void SavePartial(const std::string& path);
    /// Adds the cells of a partial raster of the same kind and cell size; throws
    /// std::runtime_error when the file is not one.
    void MergePartial(const std::string& path);

    /// Fills `out` with the output values of `width` x `height` cells whose north-west cell is
    /// (`firstCol`, `topRow`), row by row from north to south; empty cells get the nodata value.
    void FillWindow(std::int64_t firstCol, std::int64_t topRow, int width, int height, std::byte* out);

    /// True when any cell of the window may hold data (a tile under it exists).
    bool HasTiles(std::int64_t firstCol, std::int64_t topRow, int width, int height) const;

    std::size_t PeakTilesInMemory() const { return m_tiles.PeakResident(); }

protected:
    /// Output values of `count` cells in a row of a tile.
    virtual void ConvertCells(const std::byte* cells, std::size_t count, std::byte* out) const = 0;
    /// `count` nodata output values.
    virtual void FillNoData(std::size_t count, std::byte* out) const = 0;
    /// Adds the cells of a whole tile of a partial raster to one of this raster.
    virtual void MergeTile(std::byte* into, const std::byte* from) const = 0;

    TileStore& Tiles() { return m_tiles; }
    CellBounds& MutableBounds() { return m_bounds; }

private:
    double m_cellM;
    TileStore m_tiles;
    CellBounds m_bounds;
};

} // namespace vexar::gis
