#pragma once
// CProductWriter: hands the point and beam records of processed pings on to the recording file,
// the product sink and the UDP output. With its thread on, that happens beside the document
// while the next ping is processed: the document builds each record into one of a few buffers
// and goes on; the writer takes them in the order they were built, whole records only.
//
// Threads: everything but the writer's own loop runs on the document's thread. The file, the
// sink and the datagram sender given at construction are used by the writer while records are in
// flight; the document touches the file only after Settle.

#include "files/CDataFile.h"
#include "files/RecordHeader.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace vexar {

class IDatagramSender;

/// A further taker of the products, besides the recording file and the UDP output (headless
/// conversion writes both products in one pass). With the writer's thread on, Take runs there.
class IProductSink {
public:
    virtual ~IProductSink() = default;
    /// Whether records of the kind are wanted (asked on the document's thread).
    virtual bool Wants(RecordKind kind) const = 0;
    /// A whole record of the kind.
    virtual void Take(RecordKind kind, std::span<const std::uint8_t> record) = 0;
};

/// Largest product record: a beam record of 1440 x 1000 samples with the longest sentence.
inline constexpr std::size_t kMaxProductRecord =
    static_cast<std::size_t>(kRecordDataOffset) + 1440u * 1000u + kMaxSentenceLength;

/// Product records go to their files in system calls of at most this many bytes: a beam record
/// in one call held a core for a millisecond and more here, stalling the processing threads.
inline constexpr std::size_t kProductWritePiece = 256 * 1024;

/// Where one record goes, fixed when it is built.
struct ProductRoute {
    bool file = false; ///< the recording file
    bool sink = false; ///< the product sink
    bool udp = false;  ///< the UDP output, to host:port as they were when the record was built
    std::string host;
    std::uint16_t port = 0;
};

/// A write error of the recording file: the file has been cut back to the start of the record
/// that failed, and takes no more records until the failure is taken.
struct ProductWriteFailure {
    std::string path;
    std::string error;
};

class CProductWriter {
public:
    /// Records in flight at most: the point and beam records of one ping and the next ping's
    /// point record.
    static constexpr int kBuffers = 3;

    /// `file` is the recording file; `sender` the UDP output (may be null).
    CProductWriter(CDataFile& file, IDatagramSender* sender);
    ~CProductWriter();
    CProductWriter(const CProductWriter&) = delete;
    CProductWriter& operator=(const CProductWriter&) = delete;

    /// On: records are written by a thread of its own. Off (the default): at Submit.
    void SetThreaded(bool threaded);
    /// The further taker of records; records already built still go to the one they were built for.
    void SetSink(IProductSink* sink);
    IProductSink* Sink() const { return m_sink; }

    /// A buffer of kMaxProductRecord bytes for the next record; waits while every buffer is still
    /// being written (the writer is a whole ping behind).
    std::span<std::uint8_t> Acquire();
    /// Hands on the first `length` bytes of the buffer last acquired.
    void Submit(RecordKind kind, std::size_t length, const ProductRoute& route);
    /// Returns when every record submitted has been handed on.
    void Settle();
    /// The first write error since the last call, once every record before it is settled.
    std::optional<ProductWriteFailure> TakeFailure();
    /// True when a write error waits to be taken (cheap: no settling).
    bool HasFailed() const;

    /// Sends one datagram of a record to the route's address; the result is ignored.
    void SendRecordChunk(const ProductRoute& route, std::span<const std::uint8_t> bytes);

private:
    struct Job {
        std::vector<std::uint8_t> bytes;
        std::size_t length = 0;
        RecordKind kind = RecordKind::Point;
        ProductRoute route;
        IProductSink* sink = nullptr;
    };

    void Run();
    void Write(Job& job);
    void StopThread();

    CDataFile& m_file;
    IDatagramSender* m_sender;
    IProductSink* m_sink = nullptr;
    std::array<Job, kBuffers> m_jobs;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    // Jobs are used round-robin: [m_first, m_first + m_queued) are submitted and not yet all
    // written; the next one is the document's to build in.
    int m_first = 0;
    int m_queued = 0;
    bool m_stop = false;
    bool m_failedFile = false;
    std::optional<ProductWriteFailure> m_failure;
};

} // namespace vexar
