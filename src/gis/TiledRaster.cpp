#include "gis/TiledRaster.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace vexar::gis {

namespace {
constexpr std::array<char, 8> kPartialMagic = {'V', 'X', 'T', 'I', 'L', 'E', 'S', '1'};

struct PartialHeader {
    std::array<char, 8> magic = kPartialMagic;
    std::uint64_t cellBytes = 0;
    double cellM = 0.0;
    std::int64_t bounds[4] = {0, -1, 0, -1};
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenFile(const std::string& path, const char* mode) {
    File file(std::fopen(path.c_str(), mode));
    if (!file) {
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    }
    return file;
}

void Put(std::FILE* file, const void* bytes, std::size_t count, const std::string& path) {
    if (std::fwrite(bytes, 1, count, file) != count) {
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    }
}
} // namespace

void CellBounds::Add(std::int64_t col0, std::int64_t col1, std::int64_t row0, std::int64_t row1) {
    const bool empty = Empty();
    firstCol = empty ? std::min(col0, col1) : std::min({firstCol, col0, col1});
    lastCol = empty ? std::max(col0, col1) : std::max({lastCol, col0, col1});
    firstRow = empty ? std::min(row0, row1) : std::min({firstRow, row0, row1});
    lastRow = empty ? std::max(row0, row1) : std::max({lastRow, row0, row1});
}

void CellBounds::Add(const CellBounds& other) {
    if (!other.Empty()) {
        Add(other.firstCol, other.lastCol, other.firstRow, other.lastRow);
    }
}

TiledRaster::TiledRaster(double cellM, std::size_t cellBytes, std::size_t memoryBudgetBytes,
                         std::string spillFolder)
    : m_cellM(cellM), m_tiles(cellBytes, memoryBudgetBytes, std::move(spillFolder)) {}

void TiledRaster::SavePartial(const std::string& path) {
    const File file = OpenFile(path, "wb");
    PartialHeader header;
    header.cellBytes = m_tiles.CellBytes();
    header.cellM = m_cellM;
    const std::int64_t bounds[4] = {m_bounds.firstCol, m_bounds.lastCol, m_bounds.firstRow, m_bounds.lastRow};
    std::copy(std::begin(bounds), std::end(bounds), std::begin(header.bounds));
    Put(file.get(), &header, sizeof header, path);
    for (const TileKey key : m_tiles.Keys()) {
        m_tiles.NewGroup();
        Put(file.get(), &key, sizeof key, path);
        Put(file.get(), m_tiles.Find(key), m_tiles.TileBytes(), path);
    }
    if (std::fflush(file.get()) != 0) {
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    }
}

void TiledRaster::MergePartial(const std::string& path) {
    const File file = OpenFile(path, "rb");
    PartialHeader header;
    if (std::fread(&header, sizeof header, 1, file.get()) != 1 || header.magic != kPartialMagic ||
        header.cellBytes != m_tiles.CellBytes() || header.cellM != m_cellM) {
        throw std::runtime_error(path + " is not a partial raster of this kind");
    }
    std::vector<std::byte> tile(m_tiles.TileBytes());
    TileKey key;
    while (std::fread(&key, sizeof key, 1, file.get()) == 1) {
        if (std::fread(tile.data(), 1, tile.size(), file.get()) != tile.size()) {
            throw std::runtime_error(path + " ends inside a tile");
        }
        m_tiles.NewGroup();
        MergeTile(m_tiles.Fetch(key), tile.data());
    }
    if (std::ferror(file.get()) != 0) {
        throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    }
    m_bounds.Add(CellBounds{header.bounds[0], header.bounds[1], header.bounds[2], header.bounds[3]});
}

bool TiledRaster::HasTiles(std::int64_t firstCol, std::int64_t topRow, int width, int height) const {
    const TileKey first = TileOf(firstCol, topRow - height + 1);
    const TileKey last = TileOf(firstCol + width - 1, topRow);
    for (std::int32_t row = first.row; row <= last.row; ++row) {
        for (std::int32_t col = first.col; col <= last.col; ++col) {
            if (m_tiles.Contains(TileKey{col, row})) {
                return true;
            }
        }
    }
    return false;
}

void TiledRaster::FillWindow(std::int64_t firstCol, std::int64_t topRow, int width, int height,
                             std::byte* out) {
    const std::size_t valueBytes = OutputBytes();
    const std::size_t cellBytes = m_tiles.CellBytes();
    m_tiles.NewGroup();
    for (int y = 0; y < height; ++y) {
        const std::int64_t row = topRow - y;
        std::byte* line = out + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * valueBytes;
        std::int64_t col = firstCol;
        const std::int64_t end = firstCol + width;
        while (col < end) {
            // One run of cells inside one tile.
            const std::int64_t tileEnd = ((col >> kTileShift) + 1) << kTileShift;
            const std::size_t count = static_cast<std::size_t>(std::min(end, tileEnd) - col);
            std::byte* to = line + static_cast<std::size_t>(col - firstCol) * valueBytes;
            if (const std::byte* cells = m_tiles.Find(TileOf(col, row)); cells != nullptr) {
                ConvertCells(cells + CellInTile(col, row) * cellBytes, count, to);
            } else {
                FillNoData(count, to);
            }
            col += static_cast<std::int64_t>(count);
        }
    }
}

} // namespace vexar::gis
