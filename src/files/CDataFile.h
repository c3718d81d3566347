#pragma once
// A byte-stream file with 64-bit positions: the playback, recording and XYZ files.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace vexar {

class CDataFile {
public:
    enum class Mode { Read, CreateWrite };

    CDataFile() = default;
    ~CDataFile() { Close(); }
    CDataFile(const CDataFile&) = delete;
    CDataFile& operator=(const CDataFile&) = delete;
    /// Takes over the other's open file; the other is left closed.
    CDataFile(CDataFile&& other) noexcept;
    CDataFile& operator=(CDataFile&& other) noexcept;

    /// Opens the file; CreateWrite creates or truncates it. On failure `LastError` says why.
    bool Open(const std::string& path, Mode mode);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }
    const std::string& Path() const { return m_path; }
    /// The name without its folder.
    std::string FileName() const;
    const std::string& LastError() const { return m_lastError; }

    /// Reads up to buffer.size() bytes; returns the count read.
    std::size_t Read(std::span<std::uint8_t> buffer);
    /// Writes all bytes; false on any failure (the error is kept in `LastError`).
    bool Write(std::span<const std::uint8_t> bytes);
    /// Write in calls of at most `piece` bytes. Where the kernel does not preempt system calls,
    /// one that copies a megabyte holds its core until it returns; between pieces the threads
    /// that share the core get their turn.
    bool WriteInPieces(std::span<const std::uint8_t> bytes, std::size_t piece);
    /// From now on every Write goes to the system at once, in one call unless the system takes
    /// less, instead of through a buffer in pieces: a program killed between two calls never
    /// leaves part of a Write in the file. Call it before the first read or write.
    bool WriteThrough();
    bool Seek(std::uint64_t offset);
    std::uint64_t Position() const;
    /// Current length in bytes (flushes pending writes first).
    std::uint64_t Length() const;
    bool Flush();
    /// Cuts the file back to `length` bytes and moves to its new end.
    bool Truncate(std::uint64_t length);

private:
    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_lastError;
    // The read buffer of the stream, kept from one file opened for reading to the next (a player
    // opens many): it goes with the stream when the file is moved.
    std::unique_ptr<char[]> m_readBuffer;
};

} // namespace vexar
