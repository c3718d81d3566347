#include "gis/TileStore.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace vexar::gis {

namespace {
// Fewer tiles than a ping can touch would thrash the spill file.
constexpr std::size_t kFewestTiles = 16;

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}
} // namespace

TileStore::TileStore(std::size_t cellBytes, std::size_t budgetBytes, std::string spillFolder)
    : m_cellBytes(cellBytes), m_budgetTiles(std::max(kFewestTiles, budgetBytes / (cellBytes * kTileCells))),
      m_spillFolder(std::move(spillFolder)) {}

TileStore::~TileStore() {
    if (m_spillFd >= 0) {
        ::close(m_spillFd);
    }
}

std::byte* TileStore::Fetch(TileKey key) {
    auto found = m_tiles.find(key);
    if (found == m_tiles.end()) {
        MakeRoom();
        found = m_tiles.emplace(key, Entry{}).first;
        // Value-initialised: every cell empty.
        found->second.cells = std::make_unique<std::byte[]>(TileBytes());
        m_peakResident = std::max(m_peakResident, ++m_resident);
    }
    Entry& entry = Load(found->second);
    entry.lastUse = ++m_clock;
    entry.group = m_group;
    return entry.cells.get();
}

const std::byte* TileStore::Find(TileKey key) {
    const auto found = m_tiles.find(key);
    if (found == m_tiles.end()) {
        return nullptr;
    }
    Entry& entry = Load(found->second);
    entry.lastUse = ++m_clock;
    entry.group = m_group;
    return entry.cells.get();
}

std::vector<TileKey> TileStore::Keys() const {
    std::vector<TileKey> keys;
    keys.reserve(m_tiles.size());
    for (const auto& [key, entry] : m_tiles) {
        keys.push_back(key);
    }
    return keys;
}

TileStore::Entry& TileStore::Load(Entry& entry) {
    if (entry.cells) {
        return entry;
    }
    MakeRoom();
    auto cells = std::make_unique_for_overwrite<std::byte[]>(TileBytes());
    const std::size_t bytes = TileBytes();
    const off_t at = static_cast<off_t>(entry.slot) * static_cast<off_t>(bytes);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t got =
            ::pread(m_spillFd, cells.get() + done, bytes - done, at + static_cast<off_t>(done));
        if (got <= 0) {
            if (got < 0 && errno == EINTR) {
                continue;
            }
            throw std::runtime_error(SystemError("cannot read back the spill file in " + m_spillFolder));
        }
        done += static_cast<std::size_t>(got);
    }
    entry.cells = std::move(cells);
    m_peakResident = std::max(m_peakResident, ++m_resident);
    return entry;
}

void TileStore::MakeRoom() {
    while (m_resident >= m_budgetTiles) {
        Entry* oldest = nullptr;
        for (auto& [key, entry] : m_tiles) {
            // Tiles of the current group are in use: the budget gives way rather than them.
            if (entry.cells && entry.group != m_group &&
                (oldest == nullptr || entry.lastUse < oldest->lastUse)) {
                oldest = &entry;
            }
        }
        if (oldest == nullptr) {
            return;
        }
        Spill(*oldest);
    }
}

void TileStore::Spill(Entry& entry) {
    if (m_spillFd < 0) {
        OpenSpillFile();
    }
    if (entry.slot < 0) {
        entry.slot = m_spillSlots++;
    }
    const std::size_t bytes = TileBytes();
    const off_t at = static_cast<off_t>(entry.slot) * static_cast<off_t>(bytes);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t put =
            ::pwrite(m_spillFd, entry.cells.get() + done, bytes - done, at + static_cast<off_t>(done));
        if (put <= 0) {
            if (put < 0 && errno == EINTR) {
                continue;
            }
            throw std::runtime_error(SystemError("cannot write the spill file in " + m_spillFolder));
        }
        done += static_cast<std::size_t>(put);
    }
    entry.cells.reset();
    --m_resident;
}

void TileStore::OpenSpillFile() {
    std::string name = (m_spillFolder.empty() ? std::string(".") : m_spillFolder) + "/.vexar-tiles-XXXXXX";
    m_spillFd = ::mkstemp(name.data());
    if (m_spillFd < 0) {
        throw std::runtime_error(SystemError("cannot create a spill file in " + m_spillFolder));
    }
    // Unlinked at once: the space comes back when the store ends, however the program ends.
    ::unlink(name.c_str());
}

} // namespace vexar::gis
