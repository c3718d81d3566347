#pragma once
// DepthGrid: the profile points of many pings binned into cells of depth on the map: the mean,
// the least or the greatest depth of the points in a cell, or their count. Output values are
// float32 with a nodata value for cells without a point.

#include "gis/TiledRaster.h"
#include "navigation/PingPlacer.h"

#include <cstdint>
#include <span>

namespace vexar::gis {

enum class GridStat { Mean, Min, Max, Count };

/// Output value of a cell without points.
inline constexpr float kGridNoData = -9999.0f;

class DepthGrid final : public TiledRaster {
public:
    DepthGrid(double cellM, GridStat stat, std::size_t memoryBudgetBytes, std::string spillFolder);

    /// Adds the profile points of one placed ping: one slant range per beam in metres, 0 (or
    /// less) where the beam has none. Returns the number of points added. Throws
    /// std::invalid_argument when the sizes disagree.
    std::size_t AddPing(const PlacedPing& ping, std::span<const float> rangesM);

    std::size_t OutputBytes() const override { return sizeof(float); }
    double NoDataValue() const override { return static_cast<double>(kGridNoData); }

private:
    /// Sum, least or greatest depth as the statistic asks, and the number of points.
    struct Cell {
        double value = 0.0;
        std::uint32_t count = 0;
        std::uint32_t unused = 0;
    };
    void Add(Cell& cell, double depth) const;
    double Output(const Cell& cell) const;

    void ConvertCells(const std::byte* cells, std::size_t count, std::byte* out) const override;
    void FillNoData(std::size_t count, std::byte* out) const override;
    void MergeTile(std::byte* into, const std::byte* from) const override;

    GridStat m_stat;
};

/// The slant ranges of a profile-point record's data block (8 bytes a beam, the range first).
void PointRanges(std::span<const std::uint8_t> data, std::span<float> rangesM);

} // namespace vexar::gis
