#include "files/CRecorder.h"

#include "acquisition/CTamsorDoc.h"
#include "common/Numeric.h"
#include "files/SampleBytes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vexar {

namespace {

// A record file is named after the signature its records start with.
std::string ExtensionOf(RecordKind kind) {
    return std::string(".") + RecordSignature(kind);
}

FileDialogRequest SaveRequest(RecordKind kind, const std::string& folder, const std::string& name) {
    FileDialogRequest request;
    request.title = "Save Sonar Data File:";
    request.folder = folder;
    request.proposedName = name;
    switch (kind) {
    case RecordKind::Raw:
        request.filterText = "Sonar Raw Data File: (*.R96)";
        request.filterPattern = "*.R96";
        break;
    case RecordKind::Beam:
        request.filterText = "Sonar Beam Data File: (*.B96)";
        request.filterPattern = "*.B96";
        break;
    case RecordKind::Point:
        request.filterText = "Sonar Profile Points Data File: (*.P96)";
        request.filterPattern = "*.P96";
        break;
    }
    return request;
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

} // namespace

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

CRecorder::CRecorder(CTamsorDoc& doc) : m_doc(doc), m_writer(doc.m_recordFile, doc.Ports().datagrams) {}

int& CRecorder::SwitchOf(RecordKind kind) const {
    switch (kind) {
    case RecordKind::Beam:
        return m_doc.m_recordBeam;
    case RecordKind::Point:
        return m_doc.m_recordPoint;
    case RecordKind::Raw:
        break;
    }
    return m_doc.m_recordRaw;
}

bool CRecorder::IsRecording(RecordKind kind) const {
    return SwitchOf(kind) != 0;
}

bool CRecorder::AnyRecording() const {
    return m_doc.m_recordRaw != 0 || m_doc.m_recordBeam != 0 || m_doc.m_recordPoint != 0;
}

bool CRecorder::IsCopying() const {
    return m_doc.m_playback != 0 && m_doc.m_recordRaw != 0 && m_doc.m_recordFile.IsOpen();
}

// ---------------------------------------------------------------------------------------------
// Header

std::span<const std::uint8_t> CRecorder::SentenceFor(RecordKind kind) const {
    const std::string& sentence = m_doc.m_navigationSentence;
    if (kind == RecordKind::Raw && sentence.size() <= kMinRawSentenceLength) {
        return {};
    }
    const std::size_t length = std::min(sentence.size(), static_cast<std::size_t>(kMaxSentenceLength));
    return {reinterpret_cast<const std::uint8_t*>(sentence.data()), length};
}

RecordHeaderFields CRecorder::HeaderFields(RecordKind kind, std::uint32_t dataLength) const {
    const COndrel& head = m_doc.Head(0);
    RecordHeaderFields f;
    f.signature = RecordSignature(kind);
    f.dataLength = dataLength;
    f.sentenceLength = static_cast<std::uint32_t>(SentenceFor(kind).size());
    f.timeStamp = m_doc.m_timeStamp;
    f.transducerUp = head.m_transducerUp != 0 ? 0x80 : 0;
    f.systemGainDb = LowByte(m_doc.m_startGain);
    for (int k = 0; k < kHeadCount; ++k) {
        f.quadrantGainsDb[static_cast<std::size_t>(k)] = LowByte(m_doc.Head(k).m_quadrantGain);
    }
    f.field329 = 20.0f / 100.0f;
    f.average = LowByte(head.m_average);
    f.pulseLengthUs = head.m_pulseLength * 10;
    f.soundVelocity = m_doc.m_soundVelocity;
    f.frequencyHz = static_cast<float>(head.m_baseFrequencyKHz) * 1000.0f;
    f.pingPeriodS = m_doc.m_displayedPingPeriodMs / 1000.0f;
    f.displayGain = LowByte(head.m_displayGain);
    f.beamCount = static_cast<std::uint16_t>(head.m_beams * 3);
    f.samples = head.m_samples;
    f.beamSpacingDeg = head.m_beams != 0 ? head.m_sectorWidthDeg / static_cast<float>(head.m_beams) : 0.0f;
    f.rangeM = head.m_rangeM;
    f.metresPerSample = head.m_samples != 0 ? head.m_rangeM / static_cast<float>(head.m_samples) : 0.0f;
    f.pulseLengthMultiplier = head.m_pulseLengthMultiplier;
    return f;
}

const RecordHeaderBytes& CRecorder::BuildRecordHeader(RecordKind kind, std::uint32_t dataLength) {
    RecordHeaderFields f = HeaderFields(kind, dataLength);
    const std::uint32_t total = kRecordDataOffset + f.dataLength + f.extensionLength + f.sentenceLength;
    const RecordChain::Link link = m_chain.Claim(total);
    f.recordCounter = static_cast<std::uint32_t>(link.counter & 0xFFFFFFFFu);
    f.previousLength = link.previousLength;
    WriteRecordHeader(f, m_header);
    return m_header;
}

RawRecordTemplate CRecorder::RawTemplate() const {
    RawRecordTemplate record;
    record.fields = HeaderFields(RecordKind::Raw, 0);
    const auto sentence = SentenceFor(RecordKind::Raw);
    record.sentence.assign(sentence.begin(), sentence.end());
    return record;
}

// ---------------------------------------------------------------------------------------------
// Writing

bool CRecorder::OpenRecordFile(const std::string& path) {
    if (m_doc.m_recordFile.Open(path, CDataFile::Mode::CreateWrite)) {
        m_recordStart = 0;
        m_productFileBytes = 0;
        return true;
    }
    if (IOperatorPort* op = m_doc.Ports().operatorPort; op != nullptr) {
        op->ShowMessage("Failed to open document.\n" + path + ": " + m_doc.m_recordFile.LastError(),
                        MessageIcon::Error);
        op->ShowMessage("Error Opening File!", MessageIcon::Error);
    }
    return false;
}

bool CRecorder::WriteRecordBytes(std::span<const std::uint8_t> bytes) {
    if (m_doc.m_recordFile.Write(bytes)) {
        return true;
    }
    FailWrite();
    return false;
}

bool CRecorder::EndRecord() {
    if (m_doc.m_recordFile.Flush()) {
        return true;
    }
    FailWrite();
    return false;
}

void CRecorder::FailWrite() {
    CDataFile& file = m_doc.m_recordFile;
    const std::string path = file.Path();
    const std::string error = file.LastError();
    // Cut the unfinished record back so that every record left in the file is whole.
    file.Truncate(m_recordStart);
    StopAll();
    if (IOperatorPort* op = m_doc.Ports().operatorPort; op != nullptr) {
        op->ShowMessage("A write error occurred on " + path + ": " + error, MessageIcon::Error);
        op->ShowMessage("Error Writing File!", MessageIcon::Error);
    }
}

void CRecorder::StopAll() {
    m_writer.Settle();
    if (AnyRecording() || m_doc.m_recordFile.IsOpen()) {
        m_doc.m_recordFile.Close();
    }
    ClearRecordingSwitches();
}

void CRecorder::ClearRecordingSwitches() {
    if (LinkRecords()) {
        m_doc.Link()->StopRecording();
    }
    const bool wasRecording = AnyRecording();
    m_doc.m_recordRaw = 0;
    m_doc.m_recordBeam = 0;
    m_doc.m_recordPoint = 0;
    if (m_doc.m_playback == 0) {
        m_doc.SetTitle("Real Time");
    }
    if (wasRecording) {
        m_doc.NotifyRecordingChanged();
    }
}

bool CRecorder::LinkRecords() const {
    return m_doc.m_recordRaw != 0 && m_doc.m_playback == 0 && m_doc.Link() != nullptr;
}

void CRecorder::FollowLinkRecording(const RawRecordingState& state) {
    if (!LinkRecords() || state.active || !state.ended) {
        return;
    }
    ClearRecordingSwitches();
    IOperatorPort* op = m_doc.Ports().operatorPort;
    if (op == nullptr || state.error.empty()) {
        return; // the record limit of a headless recording
    }
    if (state.error == kRollOverOpenFailed) {
        op->ShowMessage(kRollOverOpenFailed, MessageIcon::Error);
        return;
    }
    op->ShowMessage(state.error, MessageIcon::Error);
    op->ShowMessage("Error Writing File!", MessageIcon::Error);
}

void CRecorder::BeginCopiedRecord() {
    m_recordStart = m_doc.m_recordFile.Position();
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

int CRecorder::ProductBeams() const {
    return std::clamp(TruncToInt(0.75 * m_doc.Head(0).m_beams) * 4, 0, kCombinedBeams);
}

int CRecorder::ProductSamples() const {
    return std::clamp(m_doc.Head(0).m_samples, 0, kMaxSamples);
}

bool CRecorder::RecordsProducts() const {
    return (m_doc.m_recordBeam != 0 || m_doc.m_recordPoint != 0) && m_doc.m_recordFile.IsOpen();
}

std::uint64_t CRecorder::RecordFileBytes() const {
    return RecordsProducts() ? m_productFileBytes : m_doc.m_recordFile.Length();
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
    if (IOperatorPort* op = m_doc.Ports().operatorPort; op != nullptr) {
        op->ShowMessage("A write error occurred on " + failure->path + ": " + failure->error,
                        MessageIcon::Error);
        op->ShowMessage("Error Writing File!", MessageIcon::Error);
    }
}

void CRecorder::BuildProducts() {
    FollowProductWrites();
    if (WantsRecord(RecordKind::Point)) {
        BuildPointRecord();
    }
    if (WantsRecord(RecordKind::Beam)) {
        BuildBeamRecord();
    }
}

bool CRecorder::WantsRecord(RecordKind kind) const {
    const IProductSink* sink = m_writer.Sink();
    const int udp = kind == RecordKind::Beam ? m_doc.m_udpOutputBeam : m_doc.m_udpOutputPoint;
    return udp != 0 || SwitchOf(kind) != 0 || (sink != nullptr && sink->Wants(kind));
}

ProductRoute CRecorder::RouteOf(RecordKind kind) const {
    ProductRoute route;
    IProductSink* sink = m_writer.Sink();
    route.sink = sink != nullptr && sink->Wants(kind);
    const IDatagramSender* sender = m_doc.Ports().datagrams;
    const bool udp = kind == RecordKind::Beam ? m_doc.m_udpOutputBeam != 0 : m_doc.m_udpOutputPoint != 0;
    if (udp && sender != nullptr && sender->IsOpen() && m_doc.m_outputPort > 0 &&
        m_doc.m_outputPort <= 65535) {
        route.udp = true;
        route.host = m_doc.m_outputAddress;
        route.port = static_cast<std::uint16_t>(m_doc.m_outputPort);
    }
    route.file = SwitchOf(kind) != 0 && m_doc.m_recordFile.IsOpen();
    return route;
}

std::span<std::uint8_t> CRecorder::StartProduct(RecordKind kind, std::uint32_t dataLength) {
    if (SwitchOf(kind) != 0) {
        CheckFileSizeLimit();
    }
    BuildRecordHeader(kind, dataLength);
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

void CRecorder::BuildPointRecord() {
    const int beams = ProductBeams();
    const int samples = ProductSamples();
    const std::uint32_t dataLength = static_cast<std::uint32_t>(beams) * 8;
    const std::span<std::uint8_t> buffer = StartProduct(RecordKind::Point, dataLength);
    const ProductRoute route = RouteOf(RecordKind::Point);
    const float rangeM = m_doc.Head(0).m_rangeM;
    std::size_t at = kRecordDataOffset;
    for (int b = 0; b < beams; ++b) {
        const float p = m_doc.m_combinedProfile[static_cast<std::size_t>(b)];
        const bool point = p > 0.0f && p < static_cast<float>(samples - 1);
        PutF32(buffer, at, point ? p * rangeM / static_cast<float>(samples) : 0.0f);
        PutF32(buffer, at + 4, 0.0f);
        at += 8;
    }
    const auto sentence = SentenceFor(RecordKind::Point);
    std::copy(sentence.begin(), sentence.end(), buffer.begin() + static_cast<std::ptrdiff_t>(at));
    at += sentence.size();
    SubmitProduct(RecordKind::Point, at, route);
}

void CRecorder::BuildBeamRecord() {
    const int beams = ProductBeams();
    const int samples = ProductSamples();
    const std::span<std::uint8_t> buffer = StartProduct(
        RecordKind::Beam, static_cast<std::uint32_t>(beams) * static_cast<std::uint32_t>(samples));
    const ProductRoute route = RouteOf(RecordKind::Beam);
    const std::size_t count = static_cast<std::size_t>(samples);
    const float* image = m_doc.m_combinedImage.data();
    std::uint8_t* data = buffer.data() + kRecordDataOffset;
    // Beam-major, samples from the transducer outwards; rows the ping's processing converted
    // already are copied.
    for (int b = 0; b < beams; ++b) {
        std::uint8_t* const out = data + static_cast<std::size_t>(b) * count;
        if (const std::uint8_t* converted = m_doc.CombinedRowBytes(b, samples); converted != nullptr) {
            std::memcpy(out, converted, count);
        } else {
            SampleBytes(image + static_cast<std::size_t>(b) * kMaxSamples, out, count);
        }
    }
    std::size_t at = kRecordDataOffset + static_cast<std::size_t>(beams) * count;
    const auto sentence = SentenceFor(RecordKind::Beam);
    std::copy(sentence.begin(), sentence.end(), buffer.begin() + static_cast<std::ptrdiff_t>(at));
    at += sentence.size();
    SubmitProduct(RecordKind::Beam, at, route);
}

// ---------------------------------------------------------------------------------------------
// Size limit

void CRecorder::CheckFileSizeLimit() {
    const std::uint64_t limit = SizeLimitBytes(m_doc.m_autoFileSize);
    CDataFile& file = m_doc.m_recordFile;
    if (limit == 0 || !file.IsOpen() || RecordFileBytes() <= limit) {
        return;
    }
    m_writer.Settle();
    file.Close();
    // In real time the automatic name is that of the current ping's clock reading; playback
    // keeps the played record's time in the clock strings, so the name is read afresh.
    std::string stem = m_doc.m_autoName;
    if (m_doc.m_playback != 0 && m_doc.Ports().clock != nullptr) {
        stem = FormatAutoName(m_doc.Ports().clock->Now());
    }
    RecordKind active = RecordKind::Point;
    if (m_doc.m_recordRaw != 0) {
        active = RecordKind::Raw;
    } else if (m_doc.m_recordBeam != 0) {
        active = RecordKind::Beam;
    }
    const std::string path = UnusedName(m_doc.m_writeFolder, stem, ExtensionOf(active));
    if (!file.Open(path, CDataFile::Mode::CreateWrite)) {
        if (IOperatorPort* op = m_doc.Ports().operatorPort; op != nullptr) {
            op->ShowMessage("Error Opening File!", MessageIcon::Error);
        }
        SwitchOf(active) = 0;
        m_doc.NotifyRecordingChanged();
        return;
    }
    m_recordStart = 0;
    m_productFileBytes = 0;
    m_doc.NotifyRecordingChanged();
}

// ---------------------------------------------------------------------------------------------
// Commands

std::string CRecorder::ProposedName(RecordKind kind) const {
    // With "&Auto File Name" off the operator names every file.
    if (m_doc.m_autoFileName == 0) {
        return {};
    }
    if (kind == RecordKind::Raw && m_doc.m_playback != 0) {
        return "Copy of " + m_doc.m_playbackFile.FileName();
    }
    return m_doc.m_autoName + ExtensionOf(kind);
}

void CRecorder::OnRecord(RecordKind kind) {
    if (SwitchOf(kind) != 0) {
        if (kind == RecordKind::Raw && LinkRecords()) {
            m_doc.Link()->StopRecording();
        }
        m_writer.Settle();
        m_doc.m_recordFile.Close();
        SwitchOf(kind) = 0;
        if (m_doc.m_playback == 0) {
            m_doc.SetTitle("Real Time");
        }
        m_doc.NotifyRecordingChanged();
        return;
    }
    if (m_doc.m_playback == 0) {
        m_doc.RefreshClockStrings();
    } else if (m_doc.Ports().clock != nullptr) {
        // The played record's time stays in the clock strings; only the name is refreshed.
        m_doc.m_autoName = FormatAutoName(m_doc.Ports().clock->Now());
    }
    IOperatorPort* op = m_doc.Ports().operatorPort;
    if (op == nullptr) {
        return;
    }
    const auto chosen = op->AskSaveFile(SaveRequest(kind, m_doc.m_writeFolder, ProposedName(kind)));
    if (!chosen || chosen->empty()) {
        return;
    }
    StartRecording(kind, *chosen);
}

bool CRecorder::StartRecording(RecordKind kind, const std::string& path, std::uint64_t maxRecords) {
    IOperatorPort* op = m_doc.Ports().operatorPort;
    if (AnyRecording()) {
        if (op != nullptr) {
            op->ShowMessage("Data is already being saved to file.   ", MessageIcon::Warning);
        }
        return false;
    }
    if (m_doc.m_playback != 0 && NameOf(path) == m_doc.m_playbackFile.FileName()) {
        if (op != nullptr) {
            op->ShowMessage("Can't write in this file ...\nThis file is used as playback!   ",
                            MessageIcon::Warning);
        }
        return false;
    }
    const std::string previousTitle = m_doc.m_title;
    if (m_doc.m_playback == 0) {
        m_doc.SetTitle("Real Time -- Recording to File: " + path);
    } else if (kind == RecordKind::Raw) {
        m_doc.SetTitle("Playback -- Copying to File: " + path);
    } else {
        m_doc.SetTitle("Playback -- Converting to File: " + path);
    }
    if (const std::string folder = FolderOf(path); !folder.empty()) {
        m_doc.m_writeFolder = folder;
    }
    if (!m_doc.m_recordFile.IsOpen() && !OpenRecordFile(path)) {
        m_doc.SetTitle(previousTitle);
        return false;
    }
    SwitchOf(kind) = 1;
    if (LinkRecords()) {
        // Live pings are recorded where they are exchanged: the link takes the open file and
        // writes each whole ping from the next one on.
        RawRecordingRequest request;
        request.path = path;
        request.folder = m_doc.m_writeFolder;
        request.sizeLimitBytes = SizeLimitBytes(m_doc.m_autoFileSize);
        request.maxRecords = maxRecords;
        m_doc.Link()->StartRecording(std::move(m_doc.m_recordFile), request, RawTemplate());
    }
    m_doc.NotifyRecordingChanged();
    return true;
}

void CRecorder::OnStopRecording() {
    m_writer.Settle();
    FollowProductWrites();
    if (AnyRecording()) {
        m_doc.m_recordFile.Close();
    }
    ClearRecordingSwitches();
}

void CRecorder::OnAutoFileName() {
    m_doc.m_autoFileName = m_doc.m_autoFileName != 0 ? 0 : 1;
}

void CRecorder::OnAutoFileSizeEnable() {
    m_doc.m_autoFileSize = m_doc.m_autoFileSize == 0 ? 1 : 0;
}

void CRecorder::OnAutoFileSize(int value) {
    if (value >= 1 && value <= 5) {
        m_doc.m_autoFileSize = value;
    }
}

bool CRecorder::OnCommand(int id) {
    switch (id) {
    case kCmdRecordR96:
        OnRecord(RecordKind::Raw);
        return true;
    case kCmdRecordB96:
        OnRecord(RecordKind::Beam);
        return true;
    case kCmdRecordP96:
        OnRecord(RecordKind::Point);
        return true;
    case kCmdStopRecording:
        OnStopRecording();
        return true;
    case kCmdAutoFileName:
        OnAutoFileName();
        return true;
    case kCmdAutoSizeEnable:
        OnAutoFileSizeEnable();
        return true;
    default:
        break;
    }
    if (id >= kCmdAutoSize500M && id <= kCmdAutoSize4G) {
        OnAutoFileSize(id - kCmdAutoSize500M + 1);
        return true;
    }
    return false;
}

std::optional<CommandState> CRecorder::StateOf(int id) const {
    const bool idle = !AnyRecording();
    switch (id) {
    case kCmdRecordR96:
        return CommandState{idle, m_doc.m_recordRaw != 0};
    case kCmdRecordB96:
        return CommandState{idle, m_doc.m_recordBeam != 0};
    case kCmdRecordP96:
        return CommandState{idle, m_doc.m_recordPoint != 0};
    case kCmdStopRecording:
        return CommandState{!idle, false};
    case kCmdAutoFileName:
        return CommandState{true, m_doc.m_autoFileName != 0};
    case kCmdAutoSizeEnable:
        return CommandState{true, m_doc.m_autoFileSize > 0};
    default:
        break;
    }
    if (id >= kCmdAutoSize500M && id <= kCmdAutoSize4G) {
        const int value = id - kCmdAutoSize500M + 1;
        return CommandState{m_doc.m_playback == 0 && m_doc.m_autoFileSize != 0,
                            m_doc.m_autoFileSize == value};
    }
    return std::nullopt;
}

} // namespace vexar
