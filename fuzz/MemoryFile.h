#pragma once
// A file in memory with a path, for the readers that open files by name: each input replaces
// its contents. One per target and name; it lives as long as the process.

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
    /// holds are kept instead of freed and made again for every input.
    bool Write(const std::uint8_t* data, std::size_t size) {
        if (m_fd < 0) {
            return false;
        }
        std::size_t written = 0;
        while (written < size) {
            const ssize_t n = pwrite(m_fd, data + written, size - written, static_cast<off_t>(written));
            if (n <= 0) {
                return false;
            }
            written += static_cast<std::size_t>(n);
        }
        return ftruncate(m_fd, static_cast<off_t>(size)) == 0;
    }
    const std::string& Path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
};

} // namespace vexar::fuzz
