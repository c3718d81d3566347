#include "gis/DepthGrid.h"

#include "files/RecordHeader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace vexar::gis {

namespace {
constexpr double kLongestRangeM = 1000.0;
} // namespace

DepthGrid::DepthGrid(double cellM, GridStat stat, std::size_t memoryBudgetBytes, std::string spillFolder)
    : TiledRaster(cellM, sizeof(Cell), memoryBudgetBytes, std::move(spillFolder)), m_stat(stat) {}

void DepthGrid::Add(Cell& cell, double depth) const {
    if (cell.count == 0) {
        cell.value = m_stat == GridStat::Count ? 0.0 : depth;
    } else if (m_stat == GridStat::Mean) {
        cell.value += depth;
    } else if (m_stat == GridStat::Min) {
        cell.value = std::min(cell.value, depth);
    } else if (m_stat == GridStat::Max) {
        cell.value = std::max(cell.value, depth);
    }
    if (cell.count < UINT32_MAX) {
        ++cell.count;
    }
}

double DepthGrid::Output(const Cell& cell) const {
    switch (m_stat) {
    case GridStat::Mean:
        return cell.value / cell.count;
    case GridStat::Count:
        return cell.count;
    case GridStat::Min:
    case GridStat::Max:
        break;
    }
    return cell.value;
}

std::size_t DepthGrid::AddPing(const PlacedPing& ping, std::span<const float> rangesM) {
    const auto beams = static_cast<std::size_t>(ping.beams);
    if (rangesM.size() != beams || ping.dEast.size() < beams || ping.dNorth.size() < beams ||
        ping.dDepth.size() < beams) {
        throw std::invalid_argument("a ping's profile points do not match its beams");
    }
    const double perMetre = 1.0 / CellM();
    std::size_t added = 0;
    Tiles().NewGroup();
    for (std::size_t b = 0; b < beams; ++b) {
        const double r = static_cast<double>(rangesM[b]);
        // No point, or a range no ping reaches: damage in the record.
        if (!(r > 0.0 && r <= kLongestRangeM)) {
            continue;
        }
        const auto col = static_cast<std::int64_t>(std::floor((ping.east + r * ping.dEast[b]) * perMetre));
        const auto row = static_cast<std::int64_t>(std::floor((ping.north + r * ping.dNorth[b]) * perMetre));
        auto* cells = reinterpret_cast<Cell*>(Tiles().Fetch(TileOf(col, row)));
        Add(cells[CellInTile(col, row)], ping.depth + r * ping.dDepth[b]);
        MutableBounds().Add(col, col, row, row);
        ++added;
    }
    return added;
}

void DepthGrid::ConvertCells(const std::byte* cells, std::size_t count, std::byte* out) const {
    for (std::size_t i = 0; i < count; ++i) {
        Cell cell;
        std::memcpy(&cell, cells + i * sizeof cell, sizeof cell);
        const float value = cell.count > 0 ? static_cast<float>(Output(cell)) : kGridNoData;
        std::memcpy(out + i * sizeof value, &value, sizeof value);
    }
}

void DepthGrid::FillNoData(std::size_t count, std::byte* out) const {
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(out + i * sizeof kGridNoData, &kGridNoData, sizeof kGridNoData);
    }
}

void DepthGrid::MergeTile(std::byte* into, const std::byte* from) const {
    auto* cells = reinterpret_cast<Cell*>(into);
    const auto* others = reinterpret_cast<const Cell*>(from);
    for (std::size_t i = 0; i < kTileCells; ++i) {
        const Cell& other = others[i];
        Cell& cell = cells[i];
        if (other.count == 0) {
            continue;
        }
        if (cell.count == 0 || m_stat == GridStat::Count) {
            cell.value = other.value;
        } else if (m_stat == GridStat::Mean) {
            cell.value += other.value;
        } else if (m_stat == GridStat::Min) {
            cell.value = std::min(cell.value, other.value);
        } else {
            cell.value = std::max(cell.value, other.value);
        }
        cell.count = other.count > UINT32_MAX - cell.count ? UINT32_MAX : cell.count + other.count;
    }
}

void PointRanges(std::span<const std::uint8_t> data, std::span<float> rangesM) {
    for (std::size_t b = 0; b < rangesM.size(); ++b) {
        rangesM[b] = (b + 1) * 8 <= data.size() ? GetF32(data, b * 8) : 0.0f;
    }
}

} // namespace vexar::gis
