#include "files/CDataFile.h"

#include <algorithm>
#include <utility>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace vexar {

namespace {
// Bytes read at a time: a few records of a raw recording, and the whole of a small file at once.
// Reads of at least this much go to the caller's memory directly.
constexpr std::size_t kReadBufferBytes = 65536;
} // namespace

CDataFile::CDataFile(CDataFile&& other) noexcept
    : m_file(std::exchange(other.m_file, nullptr)), m_readFd(std::exchange(other.m_readFd, -1)),
      m_path(std::move(other.m_path)), m_lastError(std::move(other.m_lastError)),
      m_readPosition(other.m_readPosition), m_bufferStart(other.m_bufferStart),
      m_bufferEnd(other.m_bufferEnd), m_endKnown(other.m_endKnown), m_knownEnd(other.m_knownEnd),
      m_readBuffer(std::move(other.m_readBuffer)) {
    other.m_path.clear();
    other.ForgetReadBuffer();
}

CDataFile& CDataFile::operator=(CDataFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_file = std::exchange(other.m_file, nullptr);
        m_readFd = std::exchange(other.m_readFd, -1);
        m_readBuffer.swap(other.m_readBuffer);
        m_readPosition = other.m_readPosition;
        m_bufferStart = other.m_bufferStart;
        m_bufferEnd = other.m_bufferEnd;
        m_endKnown = other.m_endKnown;
        m_knownEnd = other.m_knownEnd;
        other.ForgetReadBuffer();
        m_path = std::move(other.m_path);
        m_lastError = std::move(other.m_lastError);
        other.m_path.clear();
    }
    return *this;
}

bool CDataFile::Open(const std::string& path, Mode mode) {
    Close();
    m_lastError.clear();
    if (mode == Mode::Read) {
        m_readFd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_readFd < 0) {
            m_lastError = std::strerror(errno);
            return false;
        }
        if (!m_readBuffer) {
            m_readBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(kReadBufferBytes);
        }
        m_readPosition = 0;
    } else {
        m_file = std::fopen(path.c_str(), "w+b");
        if (m_file == nullptr) {
            m_lastError = std::strerror(errno);
            return false;
        }
    }
    m_path = path;
    return true;
}

void CDataFile::Close() {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (m_readFd >= 0) {
        close(m_readFd);
        m_readFd = -1;
        ForgetReadBuffer();
    }
}

std::string CDataFile::FileName() const {
    const auto slash = m_path.find_last_of("/\\");
    return slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

std::size_t CDataFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> to) {
    std::size_t got = 0;
    while (got < to.size()) {
        const ssize_t n = pread(m_readFd, to.data() + got, to.size() - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
        if (n == 0 || got < to.size()) {
            // A regular file gives less than asked only at its end.
            m_endKnown = true;
            m_knownEnd = offset + got;
            break;
        }
    }
    return got;
}

std::size_t CDataFile::Read(std::span<std::uint8_t> buffer) {
    if (m_file != nullptr && !buffer.empty()) {
        return std::fread(buffer.data(), 1, buffer.size(), m_file);
    }
    if (m_readFd < 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < buffer.size()) {
        const auto rest = buffer.subspan(done);
        if (m_readPosition >= m_bufferStart && m_readPosition < m_bufferEnd) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(m_bufferEnd - m_readPosition, rest.size()));
            std::memcpy(rest.data(), m_readBuffer.get() + (m_readPosition - m_bufferStart), n);
            m_readPosition += n;
            done += n;
            continue;
        }
        if (m_endKnown && m_readPosition >= m_knownEnd) {
            break;
        }
        if (rest.size() >= kReadBufferBytes) {
            const std::size_t n = ReadAt(m_readPosition, rest);
            m_readPosition += n;
            done += n;
            break;
        }
        const std::size_t n = ReadAt(m_readPosition, std::span(m_readBuffer.get(), kReadBufferBytes));
        if (n == 0) {
            break;
        }
        m_bufferStart = m_readPosition;
        m_bufferEnd = m_readPosition + n;
    }
    return done;
}

bool CDataFile::Write(std::span<const std::uint8_t> bytes) {
    if (m_file == nullptr) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        m_lastError = std::strerror(errno);
        return false;
    }
    return true;
}

bool CDataFile::WriteInPieces(std::span<const std::uint8_t> bytes, std::size_t piece) {
    if (piece == 0) {
        return Write(bytes);
    }
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        if (!Write(bytes.subspan(at, std::min(piece, bytes.size() - at)))) {
            return false;
        }
    }
    return m_file != nullptr;
}

bool CDataFile::WriteThrough() {
    return m_file != nullptr && std::setvbuf(m_file, nullptr, _IONBF, 0) == 0;
}

bool CDataFile::Seek(std::uint64_t offset) {
    if (m_readFd >= 0) {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
            return false;
        }
        m_readPosition = offset;
        // As a stream's seek does: bytes the file gained since its end was found are read.
        m_endKnown = false;
        return true;
    }
    return m_file != nullptr && fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::uint64_t CDataFile::Position() const {
    if (m_readFd >= 0) {
        return m_readPosition;
    }
    if (m_file == nullptr) {
        return 0;
    }
    const off_t at = ftello(m_file);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

std::uint64_t CDataFile::Length() const {
    if (m_file == nullptr && m_readFd < 0) {
        return 0;
    }
    if (m_file != nullptr) {
        std::fflush(m_file);
    }
    struct stat info {};
    if (fstat(m_file != nullptr ? fileno(m_file) : m_readFd, &info) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool CDataFile::Flush() {
    if (m_readFd >= 0) {
        ForgetReadBuffer();
        return true;
    }
    if (m_file == nullptr) {
        return false;
    }
    if (std::fflush(m_file) != 0) {
        m_lastError = std::strerror(errno);
        return false;
    }
    return true;
}

bool CDataFile::Truncate(std::uint64_t length) {
    if (m_file == nullptr) {
        return false;
    }
    std::fflush(m_file);
    std::clearerr(m_file);
    return ftruncate(fileno(m_file), static_cast<off_t>(length)) == 0 && Seek(length);
}

} // namespace vexar
