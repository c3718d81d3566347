#include "files/CProductWriter.h"

#include "ports/Ports.h"

#include <algorithm>

namespace vexar {

CProductWriter::CProductWriter(CDataFile& file, IDatagramSender* sender) : m_file(file), m_sender(sender) {}

CProductWriter::~CProductWriter() {
    StopThread();
}

void CProductWriter::SetThreaded(bool threaded) {
    if (threaded == m_thread.joinable()) {
        return;
    }
    if (!threaded) {
        StopThread();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = false;
    }
    m_thread = std::thread([this] { Run(); });
}

void CProductWriter::StopThread() {
    if (!m_thread.joinable()) {
        return;
    }
    Settle();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CProductWriter::SetSink(IProductSink* sink) {
    Settle();
    m_sink = sink;
}

std::span<std::uint8_t> CProductWriter::Acquire() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queued < kBuffers; });
    Job& job = m_jobs[static_cast<std::size_t>((m_first + m_queued) % kBuffers)];
    // Sized once, at the first record: documents that never build a product do not pay for it.
    if (job.bytes.size() < kMaxProductRecord) {
        job.bytes.assign(kMaxProductRecord, 0);
    }
    return job.bytes;
}

void CProductWriter::Submit(RecordKind kind, std::size_t length, const ProductRoute& route) {
    std::unique_lock<std::mutex> lock(m_mutex);
    Job& job = m_jobs[static_cast<std::size_t>((m_first + m_queued) % kBuffers)];
    job.length = std::min(length, job.bytes.size());
    job.kind = kind;
    job.route = route;
    job.sink = m_sink;
    if (!m_thread.joinable()) {
        lock.unlock();
        Write(job);
        return;
    }
    ++m_queued;
    m_changed.notify_all();
}

void CProductWriter::Settle() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queued == 0; });
}

bool CProductWriter::HasFailed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failure.has_value();
}

std::optional<ProductWriteFailure> CProductWriter::TakeFailure() {
    Settle();
    std::lock_guard<std::mutex> lock(m_mutex);
    std::optional<ProductWriteFailure> failure = std::move(m_failure);
    m_failure.reset();
    m_failedFile = false;
    return failure;
}

void CProductWriter::SendRecordChunk(const ProductRoute& route, std::span<const std::uint8_t> bytes) {
    if (m_sender == nullptr || !m_sender->IsOpen() || route.port == 0) {
        return;
    }
    // A failed send is not retried and not reported: the next ping sends again.
    (void)m_sender->SendTo(route.host, route.port, bytes);
}

void CProductWriter::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_queued > 0; });
        if (m_queued == 0) {
            return; // stopping, and nothing left
        }
        Job& job = m_jobs[static_cast<std::size_t>(m_first)];
        lock.unlock();
        Write(job);
        lock.lock();
        m_first = (m_first + 1) % kBuffers;
        --m_queued;
        m_changed.notify_all();
    }
}

void CProductWriter::Write(Job& job) {
    const std::span<const std::uint8_t> record(job.bytes.data(), job.length);
    if (job.route.sink && job.sink != nullptr) {
        job.sink->Take(job.kind, record);
    }
    // The UDP output takes the record in the chunks of the beam record's datagrams.
    constexpr std::size_t kChunk = kRecordChunkSize;
    for (std::size_t at = 0; job.route.udp && at < record.size(); at += kChunk) {
        SendRecordChunk(job.route, record.subspan(at, std::min(kChunk, record.size() - at)));
    }
    if (!job.route.file) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_failedFile) {
            return; // the file ends with the last whole record before the failure
        }
    }
    if (!m_file.IsOpen()) {
        return;
    }
    const std::uint64_t start = m_file.Position();
    if (m_file.WriteInPieces(record, kProductWritePiece) && m_file.Flush()) {
        return;
    }
    ProductWriteFailure failure{m_file.Path(), m_file.LastError()};
    // Cut the unfinished record back so that every record left in the file is whole.
    m_file.Truncate(start);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failedFile = true;
    if (!m_failure) {
        m_failure = std::move(failure);
    }
}

} // namespace vexar
