#include "files/CRecorder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vexar {

namespace {
bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}
} // namespace

std::string ExtensionOf(RecordKind kind) {
    return std::string(".") + RecordSignature(kind);
}

std::string FormatAutoName(const LocalTime& t) {
    static constexpr std::array<const char*, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                            "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const char* month = (t.month >= 1 && t.month <= 12) ? kMonths[static_cast<std::size_t>(t.month - 1)] : "";
    char text[64];
    std::snprintf(text, sizeof text, "%02d%s%04d-%02d%02d%02d", t.day, month, t.year, t.hour, t.minute,
                  t.second);
    return text;
}

std::string UnusedName(const std::string& folder, const std::string& stem, const std::string& extension) {
    std::string path = folder + stem + extension;
    for (long n = 2; Exists(path); ++n) {
        path = folder + stem + "-" + std::to_string(n) + extension;
    }
    return path;
}

std::string FormatTimeStamp(const LocalTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d%02d%04d%02d%02d%02d%03d", t.day, t.month, t.year, t.hour, t.minute,
                  t.second, t.millisecond);
    return text;
}

std::uint64_t SizeLimitBytes(int value) {
    if (value == 1) {
        return std::uint64_t{512} * 1024 * 1024;
    }
    if (value >= 2 && value <= 5) {
        return static_cast<std::uint64_t>(value - 1) * std::uint64_t{1073741824};
    }
    return 0;
}

std::string FolderOf(const std::string& path) {
    const auto at = path.find_last_of("/\\");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string NameOf(const std::string& path) {
    const auto at = path.find_last_of("/\\");
    return at == std::string::npos ? path : path.substr(at + 1);
}

CRecorder::CRecorder(IOperatorPort* op, IDatagramSender* datagrams, IRecorderEvents& events)
    : m_operator(op), m_datagrams(datagrams), m_events(events), m_writer(m_file, datagrams) {}

bool CRecorder::AnyRecording() const {
    return m_switches[0] || m_switches[1] || m_switches[2];
}

RecordKind CRecorder::ActiveKind() const {
    if (IsRecording(RecordKind::Raw)) {
        return RecordKind::Raw;
    }
    return IsRecording(RecordKind::Beam) ? RecordKind::Beam : RecordKind::Point;
}

// ---------------------------------------------------------------------------------------------
// Writing

bool CRecorder::OpenFile(const std::string& path) {
    if (m_file.Open(path, CDataFile::Mode::CreateWrite)) {
        m_recordStart = 0;
        m_productFileBytes = 0;
        return true;
    }
    if (m_operator != nullptr) {
        m_operator->ShowMessage("Failed to open document.\n" + path + ": " + m_file.LastError(),
                                MessageIcon::Error);
        m_operator->ShowMessage("Error Opening File!", MessageIcon::Error);
    }
    return false;
}

void CRecorder::SetSwitch(RecordKind kind, bool on) {
    m_switches[Slot(kind)] = on;
}

bool CRecorder::WriteRecordBytes(std::span<const std::uint8_t> bytes) {
    if (m_file.Write(bytes)) {
        return true;
    }
    FailWrite();
    return false;
}

bool CRecorder::EndRecord() {
    if (m_file.Flush()) {
        return true;
    }
    FailWrite();
    return false;
}

void CRecorder::ShowWriteError(const std::string& path, const std::string& error) const {
    if (m_operator != nullptr) {
        m_operator->ShowMessage("A write error occurred on " + path + ": " + error, MessageIcon::Error);
        m_operator->ShowMessage("Error Writing File!", MessageIcon::Error);
    }
}

void CRecorder::FailWrite() {
    const std::string path = m_file.Path();
    const std::string error = m_file.LastError();
    // Cut the unfinished record back so that every record left in the file is whole.
    m_file.Truncate(m_recordStart);
    StopAll();
    ShowWriteError(path, error);
}

void CRecorder::StopAll() {
    m_writer.Settle();
    if (AnyRecording() || m_file.IsOpen()) {
        m_file.Close();
    }
    ClearSwitches();
}

void CRecorder::Close() {
    m_writer.Settle();
    m_file.Close();
    m_switches = {};
}

void CRecorder::StopKind(RecordKind kind) {
    m_writer.Settle();
    m_file.Close();
    SetSwitch(kind, false);
}

void CRecorder::ClearSwitches() {
    const bool wasRecording = AnyRecording();
    m_switches = {};
    m_events.OnRecordingStopped();
    if (wasRecording) {
        m_events.OnRecordingChanged();
    }
}

void CRecorder::BeginCopiedRecord() {
    m_recordStart = m_file.Position();
}

bool CRecorder::WriteCopied(std::span<const std::uint8_t> bytes) {
    return IsCopying() && WriteRecordBytes(bytes);
}

void CRecorder::EndCopiedRecord(std::uint32_t totalLength) {
    if (IsCopying() && EndRecord()) {
        m_chain.SetPreviousLength(totalLength);
    }
}

// ---------------------------------------------------------------------------------------------
// Products

bool CRecorder::RecordsProducts() const {
    return (IsRecording(RecordKind::Beam) || IsRecording(RecordKind::Point)) && m_file.IsOpen();
}

std::uint64_t CRecorder::RecordFileBytes() const {
    return RecordsProducts() ? m_productFileBytes : m_file.Length();
}

void CRecorder::FinishProducts() {
    m_writer.Settle();
    FollowProductWrites();
}

void CRecorder::FollowProductWrites() {
    if (!m_writer.HasFailed()) {
        return;
    }
    const auto failure = m_writer.TakeFailure();
    if (!failure) {
        return;
    }
    StopAll();
    ShowWriteError(failure->path, failure->error);
}

void CRecorder::BuildProducts(const PingProducts& ping) {
    FollowProductWrites();
    if (WantsRecord(RecordKind::Point, ping.output)) {
        BuildRecord(RecordKind::Point, ping);
    }
    if (WantsRecord(RecordKind::Beam, ping.output)) {
        BuildRecord(RecordKind::Beam, ping);
    }
}

bool CRecorder::WantsRecord(RecordKind kind, const OutputTarget& output) const {
    const IProductSink* sink = m_writer.Sink();
    const bool udp = kind == RecordKind::Beam ? output.beam : output.point;
    return udp || IsRecording(kind) || (sink != nullptr && sink->Wants(kind));
}

ProductRoute CRecorder::RouteOf(RecordKind kind, const OutputTarget& output) const {
    ProductRoute route;
    IProductSink* sink = m_writer.Sink();
    route.sink = sink != nullptr && sink->Wants(kind);
    const bool udp = kind == RecordKind::Beam ? output.beam : output.point;
    if (udp && m_datagrams != nullptr && m_datagrams->IsOpen() && output.port > 0 && output.port <= 65535) {
        route.udp = true;
        route.host = output.host;
        route.port = static_cast<std::uint16_t>(output.port);
    }
    route.file = IsRecording(kind) && m_file.IsOpen();
    return route;
}

std::span<std::uint8_t> CRecorder::StartProduct(RecordKind kind, std::uint32_t dataLength,
                                                const RecordContext& ping) {
    if (IsRecording(kind)) {
        CheckFileSizeLimit();
    }
    RecordHeaderFields f = PingRecordLayout::HeaderFields(kind, dataLength, ping);
    const std::uint32_t total = kRecordDataOffset + f.dataLength + f.extensionLength + f.sentenceLength;
    const RecordChain::Link link = m_chain.Claim(total);
    f.recordCounter = static_cast<std::uint32_t>(link.counter & 0xFFFFFFFFu);
    f.previousLength = link.previousLength;
    WriteRecordHeader(f, m_header);
    const std::span<std::uint8_t> buffer = m_writer.Acquire();
    std::fill(buffer.begin(), buffer.begin() + kRecordDataOffset, std::uint8_t{0});
    std::copy(m_header.begin(), m_header.end(), buffer.begin());
    return buffer;
}

void CRecorder::SubmitProduct(RecordKind kind, std::size_t length, const ProductRoute& route) {
    if (route.file) {
        m_productFileBytes += length;
    }
    m_writer.Submit(kind, length, route);
    FollowProductWrites();
}

void CRecorder::BuildRecord(RecordKind kind, const PingProducts& ping) {
    const std::uint32_t dataLength = PingRecordLayout::ProductDataLength(kind, *ping.context.settings);
    const std::span<std::uint8_t> buffer = StartProduct(kind, dataLength, ping.context);
    const ProductRoute route = RouteOf(kind, ping.output);
    SubmitProduct(kind, PingRecordLayout::WriteProductData(kind, ping, buffer), route);
}

// ---------------------------------------------------------------------------------------------
// Size limit

void CRecorder::CheckFileSizeLimit() {
    const std::uint64_t limit = m_rollOver.limitBytes;
    if (limit == 0 || !m_file.IsOpen() || RecordFileBytes() <= limit) {
        return;
    }
    m_writer.Settle();
    m_file.Close();
    const RecordKind active = ActiveKind();
    const std::string stem = m_rollOver.stem ? m_rollOver.stem() : std::string();
    const std::string path = UnusedName(m_rollOver.folder, stem, ExtensionOf(active));
    if (!m_file.Open(path, CDataFile::Mode::CreateWrite)) {
        if (m_operator != nullptr) {
            m_operator->ShowMessage("Error Opening File!", MessageIcon::Error);
        }
        SetSwitch(active, false);
        m_events.OnRecordingChanged();
        return;
    }
    m_recordStart = 0;
    m_productFileBytes = 0;
    m_events.OnRecordingChanged();
}

} // namespace vexar
