#pragma once
// MosaicRaster: the beam images of many pings accumulated cell by cell on the map. Every sample
// of a placed ping falls into the cell under it; a cell keeps the brightest sample or the mean
// of its samples. Output values are bytes with 0 for "no data": a sample of 0 counts as 1, the
// darkest echo, so that coverage and no coverage never mix.

#include "gis/TiledRaster.h"
#include "navigation/PingPlacer.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vexar::gis {

enum class MosaicStat { Max, Mean };

/// Output value of a cell without samples.
inline constexpr std::uint8_t kMosaicNoData = 0;

class MosaicRaster final : public TiledRaster {
public:
    MosaicRaster(double cellM, MosaicStat stat, std::size_t memoryBudgetBytes, std::string spillFolder);

    /// Adds the samples of one placed ping: `samples` holds beams x samples bytes, beam-major,
    /// samples from the transducer outwards. Sample s of a beam lies at slant range
    /// s x metres-per-sample. Throws std::invalid_argument when the sizes disagree.
    void AddPing(const PlacedPing& ping, std::span<const std::uint8_t> samples);

    std::size_t OutputBytes() const override { return 1; }
    double NoDataValue() const override { return kMosaicNoData; }

private:
    /// Mean: sum and count of the samples; a count is not raised past 2^24, which keeps the
    /// sum of bytes inside 32 bits (the mean is settled long before).
    struct MeanCell {
        std::uint32_t sum = 0;
        std::uint32_t count = 0;
    };
    /// Where a beam's samples lie in the cells of the ping's window of tiles.
    struct BeamLine {
        double col = 0.0; ///< of sample 0, relative to the window's first column
        double row = 0.0;
        double colStep = 0.0; ///< per sample
        double rowStep = 0.0;
    };

    /// The tiles a ping may touch; fetched as samples first land in them.
    struct Window {
        std::int64_t firstCol = 0; ///< of the window's first tile
        std::int64_t firstRow = 0;
        int tileCols = 0;
        int tileRows = 0;
    };
    Window PlanWindow(const PlacedPing& ping);
    void AddExtent(const PlacedPing& ping);
    /// The window's cell of a column or row position; a hair outside the window stays inside.
    int CellCol(double col) const;
    int CellRow(double row) const;
    template <typename Cell, typename Update>
    void AddSamples(const PlacedPing& ping, std::span<const std::uint8_t> samples, Update update);
    std::byte* TileAt(int tileIndex);

    void ConvertCells(const std::byte* cells, std::size_t count, std::byte* out) const override;
    void FillNoData(std::size_t count, std::byte* out) const override;
    void MergeTile(std::byte* into, const std::byte* from) const override;

    MosaicStat m_stat;
    Window m_window;
    std::vector<BeamLine> m_lines;
    std::vector<std::byte*> m_windowTiles;
};

} // namespace vexar::gis
