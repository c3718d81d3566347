#pragma once
// A byte-stream file with 64-bit positions: the playback, recording and XYZ files. A file opened
// for reading is read through a buffer of its own at positions it keeps itself: a seek is a
// number until the next read, and a read within what the buffer holds costs no system call. Once
// a read has found the end of such a file, the reads after it find it too, without asking the
// system, until a seek or Flush (bytes the file gains while it is open are read after either).

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
    bool IsOpen() const { return m_file != nullptr || m_readFd >= 0; }
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
    /// Writes what is pending; a file opened for reading reads anew after it.
    bool Flush();
    /// Cuts the file back to `length` bytes and moves to its new end.
    bool Truncate(std::uint64_t length);

private:
    /// Drops what the read buffer holds and where the file was found to end: the next read asks
    /// the system.
    void ForgetReadBuffer() {
        m_bufferStart = m_bufferEnd = 0;
        m_endKnown = false;
    }
    /// Reads at `offset` until `to` is full or the file ends; the count read. A count short of
    /// `to` notes where the file ends.
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> to);

    std::FILE* m_file = nullptr; ///< a file opened for writing
    int m_readFd = -1;           ///< a file opened for reading
    std::string m_path;
    std::string m_lastError;
    // Reading: the position, and the bytes of the file from m_bufferStart to m_bufferEnd. The
    // buffer is kept from one file opened for reading to the next (a player opens many); it goes
    // with the file when the file is moved.
    std::uint64_t m_readPosition = 0;
    std::uint64_t m_bufferStart = 0;
    std::uint64_t m_bufferEnd = 0;
    bool m_endKnown = false; ///< a read found the file's end, at m_knownEnd
    std::uint64_t m_knownEnd = 0;
    std::unique_ptr<std::uint8_t[]> m_readBuffer;
};

} // namespace vexar
