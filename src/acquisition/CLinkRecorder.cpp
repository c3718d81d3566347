#include "acquisition/CLinkRecorder.h"

#include "files/CRecorder.h"

#include <algorithm>

namespace vexar {

namespace {
constexpr std::size_t kRecordCapacity =
    static_cast<std::size_t>(kRecordDataOffset) + kMaxPacketPairs * kPacketPairSize + kMaxSentenceLength;
} // namespace

CLinkRecorder::CLinkRecorder(RecordChain& chain, std::atomic<bool>& news)
    : m_chain(chain), m_news(news), m_record(kRecordCapacity, 0) {}

// ---------------------------------------------------------------------------------------------
// Document's thread

void CLinkRecorder::Start(CDataFile&& file, const RawRecordingRequest& request) {
    auto handed = std::make_unique<CDataFile>(std::move(file));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_incomingFile = std::move(handed);
    m_incoming = request;
    m_stop = false;
    m_state = RawRecordingState{};
    m_state.active = true;
    m_state.path = request.path;
}

void CLinkRecorder::Stop() {
    std::unique_ptr<CDataFile> unused;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_incomingFile) {
        unused = std::move(m_incomingFile); // never started: nothing of it is written
    } else {
        m_stop = true;
    }
    m_state.active = false;
}

RawRecordingState CLinkRecorder::State() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

std::uint64_t CLinkRecorder::RecordsWritten() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_recordsWritten;
}

// ---------------------------------------------------------------------------------------------
// Link's thread

void CLinkRecorder::FollowRequests() {
    std::unique_ptr<CDataFile> incoming;
    bool stop = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        stop = m_stop;
        m_stop = false;
        incoming = std::move(m_incomingFile);
        if (incoming) {
            m_request = m_incoming;
        }
    }
    if (stop || incoming) {
        m_file.reset();
    }
    if (incoming) {
        m_file = std::move(incoming);
        m_file->WriteThrough();
        m_recordsThisRecording = 0;
        const std::uint64_t bytes = m_file->Length();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_state.bytes = bytes;
    }
}

void CLinkRecorder::AppendPair(int block, const std::array<std::uint8_t, kCommandPacketSize>& packet,
                               const ReplyBlock& reply) {
    const std::size_t at =
        static_cast<std::size_t>(kRecordDataOffset) + static_cast<std::size_t>(block) * kPacketPairSize;
    const auto to = m_record.begin() + static_cast<std::ptrdiff_t>(at);
    std::copy(packet.begin(), packet.end(), to);
    to[kPacketBlockByte] = static_cast<std::uint8_t>(block);
    std::copy(reply.begin(), reply.end(), to + kCommandPacketSize);
}

// Past the size limit the recording goes on in a new file, named after the ping's clock reading.
bool CLinkRecorder::RollOverIfFull(const LocalTime& startTime) {
    const std::uint64_t limit = m_request.sizeLimitBytes;
    if (limit == 0 || m_file->Length() <= limit) {
        return true;
    }
    m_file.reset();
    const std::string path = UnusedName(m_request.folder, FormatAutoName(startTime), ".R96");
    auto next = std::make_unique<CDataFile>();
    if (!next->Open(path, CDataFile::Mode::CreateWrite)) {
        End(kRollOverOpenFailed);
        return false;
    }
    next->WriteThrough();
    m_file = std::move(next);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.path = path;
    m_state.bytes = 0;
    m_news.store(true);
    return true;
}

void CLinkRecorder::WriteRecord(const RecordHeaderFields& request, int blocks, const LocalTime& startTime,
                                std::span<const std::uint8_t> sentence) {
    if (!m_file || !RollOverIfFull(startTime)) {
        return;
    }
    const std::size_t pairs = static_cast<std::size_t>(blocks) * kPacketPairSize;
    const std::size_t length = static_cast<std::size_t>(kRecordDataOffset) + pairs + sentence.size();

    RecordHeaderFields fields = request;
    fields.signature = RecordSignature(RecordKind::Raw);
    fields.dataLength = static_cast<std::uint32_t>(pairs);
    fields.extensionLength = 0;
    fields.sentenceLength = static_cast<std::uint32_t>(sentence.size());
    fields.timeStamp = FormatTimeStamp(startTime);
    const RecordChain::Link link = m_chain.Claim(static_cast<std::uint32_t>(length));
    fields.recordCounter = static_cast<std::uint32_t>(link.counter & 0xFFFFFFFFu);
    fields.previousLength = link.previousLength;
    RecordHeaderBytes header{};
    WriteRecordHeader(fields, header);
    std::copy(header.begin(), header.end(), m_record.begin());
    std::fill(m_record.begin() + kRecordHeaderSize, m_record.begin() + kRecordDataOffset, std::uint8_t{0});
    std::copy(sentence.begin(), sentence.end(),
              m_record.begin() + static_cast<std::ptrdiff_t>(kRecordDataOffset + pairs));

    // The whole record goes out in one write (one system call: the file writes through), so
    // that even a kill of the program leaves whole records; a failed write is cut back.
    const std::uint64_t start = m_file->Position();
    if (!m_file->Write(std::span<const std::uint8_t>(m_record.data(), length)) || !m_file->Flush()) {
        const std::string error = "A write error occurred on " + m_file->Path() + ": " + m_file->LastError();
        m_file->Truncate(start);
        End(error);
        return;
    }
    ++m_recordsThisRecording;
    bool limitReached = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_recordsWritten;
        ++m_state.records;
        m_state.bytes = start + length;
        limitReached = m_request.maxRecords != 0 && m_recordsThisRecording >= m_request.maxRecords;
    }
    if (limitReached) {
        End({});
    }
}

void CLinkRecorder::End(const std::string& error) {
    m_file.reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.active = false;
    m_state.ended = true;
    m_state.error = error;
    m_news.store(true);
}

void CLinkRecorder::Close() {
    if (m_file) {
        m_file.reset();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_state.active = false;
    }
}

} // namespace vexar
