#include "output/CPacedSender.h"

#include "files/RecordHeader.h"

#include <algorithm>

namespace vexar {

namespace {
// The arrival rate is measured over windows at least this long.
constexpr auto kRateWindow = std::chrono::milliseconds(500);
} // namespace

CPacedSender::CPacedSender(IDatagramSender& socket, std::size_t cells)
    : m_socket(socket), m_cellCount(std::max<std::size_t>(cells, 1)), m_bytes(m_cellCount * kCellBytes),
      m_cells(m_cellCount) {
    m_thread = std::thread([this] { Run(); });
}

CPacedSender::~CPacedSender() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool CPacedSender::Open(std::uint16_t localPort) {
    std::lock_guard<std::mutex> lock(m_socketMutex);
    return m_socket.Open(localPort);
}

bool CPacedSender::IsOpen() const {
    std::lock_guard<std::mutex> lock(m_socketMutex);
    return m_socket.IsOpen();
}

void CPacedSender::Close() {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // A receiver joins a record's datagrams: the one leaving goes out whole, and the rest of
        // one still being queued is not sent after its start was dropped.
        m_queued = CellsLeaving();
        m_dropping = m_reserved > 0;
        m_reserved = 0;
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::milliseconds(kCloseWaitMs), [this] { return m_queued == 0; });
        // The datagram being sent keeps its cell until it has left.
        m_queued = m_sending ? 1 : 0;
    }
    m_changed.notify_all();
    std::lock_guard<std::mutex> lock(m_socketMutex);
    m_socket.Close();
}

std::size_t CPacedSender::CellsLeaving() const {
    if (m_queued == 0 || (!m_sending && m_cells[m_first].recordStart)) {
        return 0;
    }
    std::size_t cells = 1;
    while (cells < m_queued && !m_cells[(m_first + cells) % m_cellCount].recordStart) {
        ++cells;
    }
    return cells;
}

std::size_t CPacedSender::CellsOf(std::uint32_t totalLength) {
    const std::size_t chunk = kRecordChunkSize;
    return std::max<std::size_t>(1, (static_cast<std::size_t>(totalLength) + chunk - 1) / chunk);
}

int CPacedSender::SendTo(const std::string& host, std::uint16_t port, std::span<const std::uint8_t> bytes) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::size_t free = m_cellCount - m_queued;
    const bool recordStart = IsPlausibleHeader(bytes, false);
    if (recordStart) {
        // A record begins: it is queued only when all of its datagrams will fit.
        m_reserved = CellsOf(GetU32(bytes, 4));
        m_dropping = m_reserved > free;
        if (m_dropping) {
            m_reserved = 0;
            ++m_stats.droppedRecords;
        }
    } else if (!m_dropping && free == 0) {
        m_dropping = true; // a datagram that belongs to no record we know of
    }
    if (m_dropping || bytes.size() > kCellBytes) {
        ++m_stats.droppedDatagrams;
        return -1;
    }
    const std::size_t index = (m_first + m_queued) % m_cellCount;
    Cell& cell = m_cells[index];
    cell.host = host;
    cell.port = port;
    cell.length = bytes.size();
    cell.recordStart = recordStart;
    std::copy(bytes.begin(), bytes.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(index * kCellBytes));
    ++m_queued;
    m_reserved -= m_reserved > 0 ? 1 : 0;

    const Clock::time_point now = Clock::now();
    if (m_windowBytes == 0) {
        m_windowStart = now;
    }
    m_windowBytes += bytes.size();
    const auto elapsed = now - m_windowStart;
    if (elapsed >= kRateWindow) {
        m_arrivalRate = static_cast<double>(m_windowBytes) / std::chrono::duration<double>(elapsed).count();
        m_windowBytes = 0;
    }
    lock.unlock();
    m_changed.notify_all();
    return static_cast<int>(bytes.size());
}

bool CPacedSender::Flush(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_queued == 0; });
}

CPacedSender::Stats CPacedSender::GetStats() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats;
}

void CPacedSender::Run() {
    std::string host;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_queued > 0; });
        if (m_stop) {
            return;
        }
        const std::size_t index = m_first;
        const Cell& cell = m_cells[index];
        host = cell.host;
        const std::uint16_t port = cell.port;
        const std::size_t length = cell.length;
        const double backlog = static_cast<double>(m_queued) * static_cast<double>(kRecordChunkSize);
        const double rate = std::max({kMinimumRate, kHeadroom * m_arrivalRate, backlog / kCatchUpS});
        m_sending = true;
        lock.unlock();
        {
            std::lock_guard<std::mutex> socketLock(m_socketMutex);
            if (m_socket.IsOpen()) {
                (void)m_socket.SendTo(
                    host, port, std::span<const std::uint8_t>(m_bytes.data() + index * kCellBytes, length));
            }
        }
        const Clock::time_point due =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(static_cast<double>(length) / rate));
        lock.lock();
        m_sending = false;
        if (m_queued > 0) {
            m_first = (m_first + 1) % m_cellCount;
            --m_queued;
        }
        ++m_stats.datagrams;
        m_changed.notify_all();
        // The next datagram leaves when this one's share of the pace has passed.
        m_changed.wait_until(lock, due, [this] { return m_stop; });
    }
}

} // namespace vexar
