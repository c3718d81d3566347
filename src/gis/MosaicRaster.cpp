#include "gis/MosaicRaster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace vexar::gis {

namespace {
constexpr std::uint32_t kMostCount = 1u << 24;
// Positions and reaches far beyond any UTM zone, and windows of more tiles than this, are damage.
constexpr double kFarthestM = 1e8;
constexpr std::int64_t kMostWindowTiles = std::int64_t{1} << 20;

std::size_t CellBytesOf(MosaicStat stat) {
    return stat == MosaicStat::Max ? sizeof(std::uint8_t) : 2 * sizeof(std::uint32_t);
}

std::int64_t FloorToInt64(double value) {
    return static_cast<std::int64_t>(std::floor(value));
}

bool InsideTheGrid(const PlacedPing& ping) {
    const auto near = [](double value) { return std::fabs(value) <= kFarthestM; };
    const double reach = ping.metresPerSample * ping.samples;
    return near(ping.east) && near(ping.north) && near(reach) &&
           std::all_of(ping.dEast.begin(), ping.dEast.begin() + ping.beams,
                       [](double d) { return std::fabs(d) <= 2.0; }) &&
           std::all_of(ping.dNorth.begin(), ping.dNorth.begin() + ping.beams,
                       [](double d) { return std::fabs(d) <= 2.0; });
}
} // namespace

MosaicRaster::MosaicRaster(double cellM, MosaicStat stat, std::size_t memoryBudgetBytes,
                           std::string spillFolder)
    : TiledRaster(cellM, CellBytesOf(stat), memoryBudgetBytes, std::move(spillFolder)), m_stat(stat) {}

MosaicRaster::Window MosaicRaster::PlanWindow(const PlacedPing& ping) {
    const double perMetre = 1.0 / CellM();
    const double col0 = ping.east * perMetre;
    const double row0 = ping.north * perMetre;
    const double last = static_cast<double>(ping.samples - 1);
    double minCol = col0;
    double maxCol = col0;
    double minRow = row0;
    double maxRow = row0;
    m_lines.resize(static_cast<std::size_t>(ping.beams));
    for (std::size_t b = 0; b < m_lines.size(); ++b) {
        BeamLine& line = m_lines[b];
        line.colStep = ping.metresPerSample * ping.dEast[b] * perMetre;
        line.rowStep = ping.metresPerSample * ping.dNorth[b] * perMetre;
        minCol = std::min(minCol, col0 + last * line.colStep);
        maxCol = std::max(maxCol, col0 + last * line.colStep);
        minRow = std::min(minRow, row0 + last * line.rowStep);
        maxRow = std::max(maxRow, row0 + last * line.rowStep);
    }
    // A cell of margin on every side: rounding never takes a sample out of the window.
    Window window;
    window.firstCol = ((FloorToInt64(minCol) - 1) >> kTileShift) << kTileShift;
    window.firstRow = ((FloorToInt64(minRow) - 1) >> kTileShift) << kTileShift;
    window.tileCols = static_cast<int>(((FloorToInt64(maxCol) + 1 - window.firstCol) >> kTileShift) + 1);
    window.tileRows = static_cast<int>(((FloorToInt64(maxRow) + 1 - window.firstRow) >> kTileShift) + 1);
    for (BeamLine& line : m_lines) {
        line.col = col0 - static_cast<double>(window.firstCol);
        line.row = row0 - static_cast<double>(window.firstRow);
    }
    return window;
}

void MosaicRaster::AddExtent(const PlacedPing& ping) {
    // Cells along a beam move one way only: its first and last samples bound them, computed
    // as the samples themselves are.
    const double last = static_cast<double>(ping.samples - 1);
    CellBounds cells;
    for (const BeamLine& line : m_lines) {
        cells.Add(CellCol(line.col), CellCol(line.col + last * line.colStep), CellRow(line.row),
                  CellRow(line.row + last * line.rowStep));
    }
    MutableBounds().Add(cells.firstCol + m_window.firstCol, cells.lastCol + m_window.firstCol,
                        cells.firstRow + m_window.firstRow, cells.lastRow + m_window.firstRow);
}

int MosaicRaster::CellCol(double col) const {
    return static_cast<int>(std::clamp(col, 0.0, static_cast<double>(m_window.tileCols * kTileSide) - 1e-9));
}

int MosaicRaster::CellRow(double row) const {
    return static_cast<int>(std::clamp(row, 0.0, static_cast<double>(m_window.tileRows * kTileSide) - 1e-9));
}

std::byte* MosaicRaster::TileAt(int tileIndex) {
    std::byte*& tile = m_windowTiles[static_cast<std::size_t>(tileIndex)];
    if (tile == nullptr) {
        const int tileCol = tileIndex % m_window.tileCols;
        const int tileRow = tileIndex / m_window.tileCols;
        tile = Tiles().Fetch(TileOf(m_window.firstCol + (static_cast<std::int64_t>(tileCol) << kTileShift),
                                    m_window.firstRow + (static_cast<std::int64_t>(tileRow) << kTileShift)));
    }
    return tile;
}

template <typename Cell, typename Update>
void MosaicRaster::AddSamples(const PlacedPing& ping, std::span<const std::uint8_t> samples, Update update) {
    const int samplesPerBeam = ping.samples;
    // Samples one after the other mostly fall in the same tile: it is looked up when it changes.
    int tileIndex = -1;
    Cell* tile = nullptr;
    for (std::size_t b = 0; b < m_lines.size(); ++b) {
        const BeamLine line = m_lines[b];
        const std::uint8_t* values = samples.data() + b * static_cast<std::size_t>(samplesPerBeam);
        // A beam's samples move one way only and its ends lie a cell inside the window: every
        // sample is inside it, so truncation is the floor.
        for (int s = 0; s < samplesPerBeam; ++s) {
            const auto c = static_cast<int>(line.col + s * line.colStep);
            const auto r = static_cast<int>(line.row + s * line.rowStep);
            const int index = (r >> kTileShift) * m_window.tileCols + (c >> kTileShift);
            if (index != tileIndex) {
                tileIndex = index;
                tile = reinterpret_cast<Cell*>(TileAt(index));
            }
            update(tile[CellInTile(c, r)], values[s]);
        }
    }
}

void MosaicRaster::AddPing(const PlacedPing& ping, std::span<const std::uint8_t> samples) {
    const auto beams = static_cast<std::size_t>(std::max(ping.beams, 0));
    const std::size_t expected = beams * static_cast<std::size_t>(std::max(ping.samples, 0));
    if (expected == 0 || samples.size() != expected || ping.dEast.size() < beams ||
        ping.dNorth.size() < beams) {
        throw std::invalid_argument("a ping's samples do not match its beams");
    }
    if (!InsideTheGrid(ping)) {
        throw std::invalid_argument("a ping lies outside any map");
    }
    m_window = PlanWindow(ping);
    if (static_cast<std::int64_t>(m_window.tileCols) * m_window.tileRows > kMostWindowTiles) {
        throw std::invalid_argument("a ping spans more cells than a map holds");
    }
    AddExtent(ping);
    Tiles().NewGroup();
    m_windowTiles.assign(
        static_cast<std::size_t>(m_window.tileCols) * static_cast<std::size_t>(m_window.tileRows), nullptr);
    if (m_stat == MosaicStat::Max) {
        AddSamples<std::uint8_t>(ping, samples, [](std::uint8_t& cell, std::uint8_t value) {
            cell = std::max(cell, std::max(value, std::uint8_t{1}));
        });
    } else {
        AddSamples<MeanCell>(ping, samples, [](MeanCell& cell, std::uint8_t value) {
            if (cell.count < kMostCount) {
                cell.sum += value;
                ++cell.count;
            }
        });
    }
}

void MosaicRaster::ConvertCells(const std::byte* cells, std::size_t count, std::byte* out) const {
    if (m_stat == MosaicStat::Max) {
        std::memcpy(out, cells, count);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        MeanCell cell;
        std::memcpy(&cell, cells + i * sizeof cell, sizeof cell);
        std::uint8_t value = kMosaicNoData;
        if (cell.count > 0) {
            const std::uint32_t mean = (cell.sum + cell.count / 2) / cell.count;
            value = static_cast<std::uint8_t>(std::clamp<std::uint32_t>(mean, 1, 255));
        }
        out[i] = static_cast<std::byte>(value);
    }
}

void MosaicRaster::FillNoData(std::size_t count, std::byte* out) const {
    std::memset(out, kMosaicNoData, count);
}

void MosaicRaster::MergeTile(std::byte* into, const std::byte* from) const {
    if (m_stat == MosaicStat::Max) {
        for (std::size_t i = 0; i < kTileCells; ++i) {
            into[i] = std::max(into[i], from[i]);
        }
        return;
    }
    auto* cells = reinterpret_cast<MeanCell*>(into);
    const auto* others = reinterpret_cast<const MeanCell*>(from);
    for (std::size_t i = 0; i < kTileCells; ++i) {
        const std::uint32_t room = kMostCount - std::min(kMostCount, cells[i].count);
        const std::uint32_t taken = std::min(room, others[i].count);
        if (taken == others[i].count) {
            cells[i].sum += others[i].sum;
        } else if (taken > 0) {
            // Only part of the other cell fits: take its mean for the part.
            cells[i].sum += static_cast<std::uint32_t>(static_cast<std::uint64_t>(others[i].sum) * taken /
                                                       others[i].count);
        }
        cells[i].count += taken;
    }
}

} // namespace vexar::gis
