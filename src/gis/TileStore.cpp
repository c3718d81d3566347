#include "gis/TileStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
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

void TileStore::FreeCells::operator()(std::byte* cells) const {
    std::free(cells);
}

TileStore::Cells TileStore::AllocateCells(std::size_t bytes, bool zeroed) {
    void* cells = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
    if (cells == nullptr) {
        throw std::bad_alloc();
    }
    return Cells(static_cast<std::byte*>(cells));
}

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
        // Every cell empty.
        found->second.cells = AllocateCells(TileBytes(), true);
        NoteResident(found->second);
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
    Cells cells = AllocateCells(TileBytes(), false);
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
    NoteResident(entry);
    return entry;
}

void TileStore::NoteResident(Entry& entry) {
    m_resident.push_back(&entry);
    m_peakResident = std::max(m_peakResident, m_resident.size());
}

void TileStore::MakeRoom() {
    while (m_resident.size() >= m_budgetTiles) {
        std::size_t oldest = m_resident.size();
        for (std::size_t i = 0; i < m_resident.size(); ++i) {
            // Tiles of the current group are in use: the budget gives way rather than them.
            const Entry& entry = *m_resident[i];
            if (entry.group != m_group &&
                (oldest == m_resident.size() || entry.lastUse < m_resident[oldest]->lastUse)) {
                oldest = i;
            }
        }
        if (oldest == m_resident.size()) {
            return;
        }
        Spill(*m_resident[oldest]);
        m_resident[oldest] = m_resident.back();
        m_resident.pop_back();
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
