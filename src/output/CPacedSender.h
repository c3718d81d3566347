#pragma once
// CPacedSender: the UDP output's datagrams leave from a thread of its own, spaced out so that a
// receiver with an ordinary receive buffer takes whole records: a beam record is some two dozen
// datagrams of 64 000 bytes, more than such a buffer holds when they come in one burst.
//
// It stands in for the datagram socket: SendTo queues a copy of the datagram and returns at
// once; the thread sends the queue in order, each datagram a little after the last, at a byte
// rate a quarter above the rate the records come in, or faster while a backlog drains. A record that does not
// fit in the queue is dropped whole, never in part; so are the records still queued at Close,
// which lets the record already leaving go out whole first.
//
// Threads: every public call may come from any thread; the wrapped socket is used by one thread
// at a time, under the sender's socket lock.

#include "ports/Ports.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vexar {

class CPacedSender final : public IDatagramSender {
public:
    /// Room for one datagram in the queue: the largest the UDP output sends.
    static constexpr std::size_t kCellBytes = 65536;
    /// Queue cells by default: five beam records.
    static constexpr std::size_t kDefaultCells = 128;
    /// The slowest pace, bytes per second: a lone beam record leaves within 100 ms.
    static constexpr double kMinimumRate = 16.0e6;
    /// The pace is this many times the rate the datagrams come in: a beam record is spread over
    /// most of the time until the next one.
    static constexpr double kHeadroom = 1.25;
    /// A queue that has grown (the sender was held up) is sent within about this many seconds.
    static constexpr double kCatchUpS = 0.25;
    /// Close waits at most this long for the record leaving: a beam record takes under 100 ms.
    static constexpr int kCloseWaitMs = 250;

    /// Counters since the sender was made.
    struct Stats {
        std::uint64_t datagrams = 0;      ///< sent
        std::uint64_t droppedRecords = 0; ///< records that did not fit in the queue
        std::uint64_t droppedDatagrams = 0;
    };

    explicit CPacedSender(IDatagramSender& socket, std::size_t cells = kDefaultCells);
    ~CPacedSender() override;
    CPacedSender(const CPacedSender&) = delete;
    CPacedSender& operator=(const CPacedSender&) = delete;

    bool Open(std::uint16_t localPort) override;
    bool IsOpen() const override;
    /// Queues the datagram; returns its length, or -1 when it was dropped.
    int SendTo(const std::string& host, std::uint16_t port, std::span<const std::uint8_t> bytes) override;
    /// Drops the records queued that have not begun to leave, waits (briefly) for the one leaving
    /// to go out whole, and closes the socket. The rest of a record being queued is dropped.
    void Close() override;

    /// Waits until the queue is empty or `timeoutMs` passed; true when empty.
    bool Flush(int timeoutMs);
    Stats GetStats() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Cell {
        std::string host;
        std::uint16_t port = 0;
        std::size_t length = 0;
        bool recordStart = false; ///< the first datagram of a record
    };

    void Run();
    /// Datagrams a record of `totalLength` bytes takes (its first datagram is the one given).
    static std::size_t CellsOf(std::uint32_t totalLength);
    /// Queued cells of the record that has begun to leave (0 when none has). Needs m_mutex.
    std::size_t CellsLeaving() const;
    /// The rate the datagrams come in, bytes per second (0 while unknown).
    double ArrivalRate() const;

    IDatagramSender& m_socket;
    const std::size_t m_cellCount;
    std::vector<std::uint8_t> m_bytes; ///< m_cellCount cells of kCellBytes
    std::vector<Cell> m_cells;

    mutable std::mutex m_socketMutex; ///< held while the socket is used
    mutable std::mutex m_mutex;       ///< the queue and the counters
    std::condition_variable m_changed;
    std::size_t m_first = 0;    ///< oldest queued cell
    std::size_t m_queued = 0;   ///< cells queued, the one being sent included
    std::size_t m_reserved = 0; ///< cells still to come of the record being queued
    bool m_dropping = false;    ///< the datagrams of the current record are dropped
    bool m_sending = false;     ///< the oldest cell is being sent
    bool m_stop = false;
    Stats m_stats;
    // Arrival rate: bytes queued since the window started.
    Clock::time_point m_windowStart{};
    std::uint64_t m_windowBytes = 0;
    double m_arrivalRate = 0.0;
    std::thread m_thread;
};

} // namespace vexar
