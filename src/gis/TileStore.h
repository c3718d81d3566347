#pragma once
// TileStore: the cells of a raster of any extent, in square tiles of 512 x 512 cells on a grid
// fixed by the cell size alone (tile column = cell column >> 9), created as cells are first
// touched. At most a memory budget of tiles stays in memory; the least recently used ones beyond
// it go to a spill file (unlinked at once, so nothing is left behind) and come back when touched
// again. Memory therefore stays bounded whatever the area a survey covers.
//
// A cell is a fixed number of bytes; all zero means empty. Not thread-safe: one owner.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace vexar::gis {

inline constexpr int kTileShift = 9;
inline constexpr int kTileSide = 1 << kTileShift;
inline constexpr std::size_t kTileCells = static_cast<std::size_t>(kTileSide) * kTileSide;

/// A tile by its column (east) and row (north) on the global tile grid.
struct TileKey {
    std::int32_t col = 0;
    std::int32_t row = 0;
    bool operator==(const TileKey&) const = default;
};

/// The tile of a cell (cell column and row count east and north from 0, 0 in the zone).
inline TileKey TileOf(std::int64_t col, std::int64_t row) {
    return TileKey{static_cast<std::int32_t>(col >> kTileShift),
                   static_cast<std::int32_t>(row >> kTileShift)};
}
/// The index of a cell inside its tile: rows of 512 cells, southernmost row first.
inline std::size_t CellInTile(std::int64_t col, std::int64_t row) {
    return static_cast<std::size_t>(((row & (kTileSide - 1)) << kTileShift) | (col & (kTileSide - 1)));
}

class TileStore {
public:
    /// `cellBytes`: bytes of one cell. `budgetBytes`: tiles kept in memory (at least a few);
    /// `spillFolder`: where the spill file goes when the budget is exceeded.
    TileStore(std::size_t cellBytes, std::size_t budgetBytes, std::string spillFolder);
    ~TileStore();
    TileStore(const TileStore&) = delete;
    TileStore& operator=(const TileStore&) = delete;

    /// Starts a group of fetches whose tiles must stay in memory together (one ping): a tile
    /// fetched in the current group is never evicted, even when the group exceeds the budget.
    void NewGroup() { ++m_group; }
    /// The tile's cells in memory, zero-filled when the tile is new. The pointer stays valid for
    /// the rest of the group. Throws std::runtime_error when the spill file fails.
    std::byte* Fetch(TileKey key);
    /// The tile's cells, or null when the tile was never created (nothing is created); valid
    /// as Fetch's.
    const std::byte* Find(TileKey key);

    /// True when the tile was ever created.
    bool Contains(TileKey key) const { return m_tiles.contains(key); }
    /// Every tile's key, in no particular order.
    std::vector<TileKey> Keys() const;
    std::size_t CellBytes() const { return m_cellBytes; }
    std::size_t TileBytes() const { return m_cellBytes * kTileCells; }
    /// The most tiles that were in memory at once.
    std::size_t PeakResident() const { return m_peakResident; }

private:
    // Tiles come from calloc: a large block is fresh zero pages, and the cells a map never
    // touches cost no memory and no clearing.
    struct FreeCells {
        void operator()(std::byte* cells) const;
    };
    using Cells = std::unique_ptr<std::byte[], FreeCells>;
    static Cells AllocateCells(std::size_t bytes, bool zeroed);

    struct Entry {
        Cells cells;            ///< null while spilled
        std::int64_t slot = -1; ///< place in the spill file, -1 when never spilled
        std::uint64_t lastUse = 0;
        std::uint64_t group = 0;
    };
    struct KeyHash {
        std::size_t operator()(const TileKey& key) const {
            return std::hash<std::uint64_t>{}(
                (static_cast<std::uint64_t>(static_cast<std::uint32_t>(key.col)) << 32) |
                static_cast<std::uint32_t>(key.row));
        }
    };

    Entry& Load(Entry& entry);
    void NoteResident(Entry& entry);
    /// Spills the least recently used tiles outside the current group until one more fits.
    void MakeRoom();
    void Spill(Entry& entry);
    void OpenSpillFile();

    std::size_t m_cellBytes;
    std::size_t m_budgetTiles;
    std::string m_spillFolder;
    std::unordered_map<TileKey, Entry, KeyHash> m_tiles;
    std::vector<Entry*> m_resident; ///< the tiles in memory (the map's entries never move)
    std::size_t m_peakResident = 0;
    std::uint64_t m_clock = 0;
    std::uint64_t m_group = 1;
    int m_spillFd = -1;
    std::int64_t m_spillSlots = 0;
};

} // namespace vexar::gis
