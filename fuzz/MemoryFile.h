#pragma once
// A file in memory with a path, for the readers that open files by name: each input replaces
// its contents. One per target and name; it lives as long as the process. What Write puts in it
// is changed by nothing else (Write keeps its length).

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexar::fuzz {

class MemoryFile {
public:
    explicit MemoryFile(const char* name) : m_fd(memfd_create(name, 0)) {
        if (m_fd >= 0) {
            m_path = "/proc/self/fd/" + std::to_string(m_fd);
        }
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    ~MemoryFile() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }

    /// Replaces the contents; false when the file could not be written. The new bytes are
    /// written over the old and the file cut to their length after, so that the pages the file
    /// holds are kept instead of freed and made again for every input. A file no longer than the
    /// new bytes needs no cut.
    bool Write(const std::uint8_t* data, std::size_t size) {
        if (m_fd < 0) {
            return false;
        }
        const std::size_t had = m_size;
        m_size = kUnknownSize; // until written whole
        std::size_t written = 0;
        while (written < size) {
            const ssize_t n = pwrite(m_fd, data + written, size - written, static_cast<off_t>(written));
            if (n <= 0) {
                return false;
            }
            written += static_cast<std::size_t>(n);
        }
        if (had > size && ftruncate(m_fd, static_cast<off_t>(size)) != 0) {
            return false;
        }
        m_size = size;
        return true;
    }
    const std::string& Path() const { return m_path; }

private:
    static constexpr std::size_t kUnknownSize = static_cast<std::size_t>(-1);

    int m_fd = -1;
    std::string m_path;
    std::size_t m_size = 0; ///< the file's length, kUnknownSize after a failed write
};

} // namespace vexar::fuzz
