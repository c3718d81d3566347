#include "files/CDataFile.h"

#include <algorithm>
#include <utility>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vexar {

namespace {
// What the C library gives a stream on most file systems (a block of the file).
constexpr std::size_t kReadBufferBytes = 4096;
} // namespace

CDataFile::CDataFile(CDataFile&& other) noexcept
    : m_file(std::exchange(other.m_file, nullptr)), m_path(std::move(other.m_path)),
      m_lastError(std::move(other.m_lastError)), m_readBuffer(std::move(other.m_readBuffer)) {
    other.m_path.clear();
}

CDataFile& CDataFile::operator=(CDataFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_file = std::exchange(other.m_file, nullptr);
        m_readBuffer.swap(other.m_readBuffer);
        m_path = std::move(other.m_path);
        m_lastError = std::move(other.m_lastError);
        other.m_path.clear();
    }
    return *this;
}

bool CDataFile::Open(const std::string& path, Mode mode) {
    Close();
    m_lastError.clear();
    m_file = std::fopen(path.c_str(), mode == Mode::Read ? "rb" : "w+b");
    if (m_file == nullptr) {
        m_lastError = std::strerror(errno);
        return false;
    }
    if (mode == Mode::Read) {
        if (!m_readBuffer) {
            m_readBuffer = std::make_unique_for_overwrite<char[]>(kReadBufferBytes);
        }
        std::setvbuf(m_file, m_readBuffer.get(), _IOFBF, kReadBufferBytes);
    }
    m_path = path;
    return true;
}

void CDataFile::Close() {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

std::string CDataFile::FileName() const {
    const auto slash = m_path.find_last_of("/\\");
    return slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

std::size_t CDataFile::Read(std::span<std::uint8_t> buffer) {
    if (m_file == nullptr || buffer.empty()) {
        return 0;
    }
    return std::fread(buffer.data(), 1, buffer.size(), m_file);
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
    return m_file != nullptr && fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::uint64_t CDataFile::Position() const {
    if (m_file == nullptr) {
        return 0;
    }
    const off_t at = ftello(m_file);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

std::uint64_t CDataFile::Length() const {
    if (m_file == nullptr) {
        return 0;
    }
    std::fflush(m_file);
    struct stat info {};
    if (fstat(fileno(m_file), &info) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool CDataFile::Flush() {
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
