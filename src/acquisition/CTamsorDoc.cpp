#include "acquisition/CTamsorDoc.h"

#include "common/Numeric.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"
#include "files/SampleBytes.h"
#include "navigation/XyzExport.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace vexar {

namespace {
// The first document that is initialised is the process-wide one until it goes. Another one
// (a video export's, on a thread of its own) plays beside it and never takes its place.
std::atomic<CTamsorDoc*> g_document{nullptr};

void Unpublish(CTamsorDoc* document) {
    g_document.compare_exchange_strong(document, nullptr);
}

// The beam counts a head can form; anything else (a damaged file) is kept inside the buffers.
int SafeBeamCount(int beams) {
    return std::clamp(beams, 0, kMaxBeams);
}

int SafeSampleCount(int samples) {
    return std::clamp(samples, 0, kMaxSamples);
}
} // namespace

CTamsorDoc* TheDocument() {
    return g_document.load();
}

std::unique_ptr<CTamsorDoc> CTamsorDoc::Create(const DocumentPorts& ports, int workers) {
    return std::make_unique<CTamsorDoc>(ports, workers);
}

CTamsorDoc::CTamsorDoc(const DocumentPorts& ports, int workers)
    : m_ports(ports),
      m_workers(workers < 0 ? WorkerPool::DefaultWorkers(kHeadCount - 1) : std::min(workers, kHeadCount - 1)),
      m_recorder(std::make_unique<CRecorder>(*this)), m_player(std::make_unique<CPlayer>(*this)) {
    if (ports.link != nullptr && ports.clock != nullptr && ports.linkRunner != nullptr) {
        m_link = std::make_unique<CSonarLink>(*ports.link, *ports.clock, m_recorder->Chain());
    }
    for (int k = 0; k < kHeadCount; ++k) {
        COndrel& head = Head(k);
        head.m_headIndex = k;
        head.m_commandPacket[2] = static_cast<std::uint8_t>(0x10 + k);
        head.m_rawSamples.fill(0);
        head.m_transducerUp = 1;
    }
    UpdateHeadAzimuths();
    m_cacheBeams = Head(0).m_beams;
    m_cacheSamples = Head(0).m_samples;
    m_cacheBaseFrequency = Head(0).m_baseFrequencyKHz;
    m_cacheFrequencyStep = Head(0).m_frequencyStep;
    m_cacheRange = Head(0).m_rangeM;
}

CTamsorDoc::~CTamsorDoc() {
    // A ping half processed is dropped here: its listeners may be gone.
    m_pingHalfDone = false;
    if (m_ports.timers != nullptr) {
        m_ports.timers->Stop(kFinishPingTimer);
    }
    // The link's thread must not outlive the link.
    CloseSockets();
    Unpublish(this);
}

void CTamsorDoc::SetTitle(const std::string& title) {
    m_title = title;
    if (m_ports.operatorPort != nullptr) {
        m_ports.operatorPort->SetTitle(title);
    }
}

void CTamsorDoc::Subscribe(IDocumentListener& listener) {
    if (std::find(m_listeners.begin(), m_listeners.end(), &listener) == m_listeners.end()) {
        m_listeners.push_back(&listener);
    }
}

void CTamsorDoc::Unsubscribe(IDocumentListener& listener) {
    std::erase(m_listeners, &listener);
}

bool CTamsorDoc::OnNewDocument(const std::string& programFolder, const std::string& settingsPath) {
    CTamsorDoc* none = nullptr;
    g_document.compare_exchange_strong(none, this);
    m_programFolder = programFolder;
    m_settingsPath = settingsPath.empty() ? programFolder + kSettingsFileName : settingsPath;
    m_readFolder = programFolder;
    m_writeFolder = programFolder;
    m_commPort = 2;
    m_baudRate = 57600;
    LoadSettings();
    m_useFileSlc = 0;
    m_processing->InitialiseProcessors(m_heads, m_soundVelocity);
    m_playbackRecordSizes = {1024, 1024};
    OnRealTime();
    ProcessPing();
    return true;
}

void CTamsorDoc::OnRealTime() {
    m_fileConversion = 0;
    if (m_ports.timers != nullptr) {
        m_ports.timers->Stop(kPlaybackTimer);
    }
    // The end of a conversion holds the played file on its last ping; that was never the
    // operator's Hold.
    if (m_holdAfterConversion != 0) {
        m_hold = 0;
        m_holdAfterConversion = 0;
    }
    if (m_playback != 0) {
        CloseAllFiles();
        m_playback = 0;
        ClearCombinedImage();
        m_clearImage = 1;
        // The position of the played file describes nothing live.
        ClearNavigation(*this);
        RefreshStatus();
    }
    LoadSettings();
    Notify(&IDocumentListener::OnRealTimeStarted);
    SetTitle("Real Time");
    for (COndrel& head : m_heads) {
        head.m_newData = 0;
        head.m_pingCounter = 0;
        head.ResetCommandPacket();
    }
    StartAcquisition();
}

void CTamsorDoc::CheckProcessingParameters() {
    const COndrel& first = Head(0);
    // The processors compare the velocity in use with the one their steering was built for at
    // every ping, so a change (m_soundVelocityChanged) takes effect on the next ping.
    const bool changed = first.m_beams != m_cacheBeams || first.m_samples != m_cacheSamples ||
                         first.m_baseFrequencyKHz != m_cacheBaseFrequency ||
                         first.m_frequencyStep != m_cacheFrequencyStep || first.m_rangeM != m_cacheRange;
    if (!changed && m_forceReconfigure == 0) {
        return;
    }
    m_cacheBeams = first.m_beams;
    m_cacheSamples = first.m_samples;
    m_cacheBaseFrequency = first.m_baseFrequencyKHz;
    m_cacheFrequencyStep = first.m_frequencyStep;
    m_cacheRange = first.m_rangeM;
    CopyHeadSettings();
    m_processing->InitialiseProcessors(m_heads, m_soundVelocity);
    m_imageReset = 1;
    m_forceReconfigure = 0;
}

void CTamsorDoc::PlanHeadRows(int head, int firstRow, int rowCount, int toRow) {
    for (int r = 0; r < rowCount; ++r) {
        const int from = firstRow + r;
        const int to = toRow + r;
        if (from < 0 || from >= kMaxBeams || to < 0 || to >= kCombinedBeams) {
            continue;
        }
        m_rowPlan[static_cast<std::size_t>(to)] = {static_cast<std::int16_t>(head),
                                                   static_cast<std::int16_t>(from)};
    }
}

// The full circle is assembled by copying each fresh head's central rows (with a margin of the
// next rows) side by side, swapping heads 1 and 3 for an inverted assembly, rotating everything
// up by half a head sector and appending head 0's first rows. The copies are worked out on row
// numbers first, so that every combined row is written once, straight from its source.
void CTamsorDoc::PlanCombinedRows(int perHead, int firstCentral, int quadrant,
                                  const std::array<bool, kHeadCount>& fresh) {
    const int t = perHead;
    const int f = firstCentral;
    const int j = quadrant;
    for (int r = 0; r < kCombinedBeams; ++r) {
        m_rowPlan[static_cast<std::size_t>(r)] = {-1, static_cast<std::int16_t>(r)};
    }
    for (int k = 0; k < kHeadCount; ++k) {
        if (fresh[static_cast<std::size_t>(k)]) {
            PlanHeadRows(k, f, t + kWrapMarginRows, k * t);
        }
    }
    if (Head(0).m_transducerUp != 0) {
        PlanHeadRows(3, f, t, t);
        PlanHeadRows(1, f, t + kWrapMarginRows, 3 * t);
    }
    // Rotate by half a head sector so that the circle starts at the centre of head 0.
    for (int r = 0; r <= 4 * t - j + 9; ++r) {
        const int from = r + j;
        if (from >= kCombinedBeams) {
            break;
        }
        m_rowPlan[static_cast<std::size_t>(r)] = m_rowPlan[static_cast<std::size_t>(from)];
    }
    PlanHeadRows(0, f, j + kWrapMarginRows, 4 * t - j);
}

void CTamsorDoc::MoveOldCombinedRows() {
    // Rows of heads without new data move down with the rotation. Sources lie above their
    // targets, so moving in ascending order reads every source before it is overwritten.
    const std::size_t samples = static_cast<std::size_t>(SafeSampleCount(m_cacheSamples));
    for (int r = 0; r < kCombinedBeams; ++r) {
        const CombinedRowSource source = m_rowPlan[static_cast<std::size_t>(r)];
        if (source.head >= 0 || source.row == r) {
            continue;
        }
        std::copy_n(m_combinedImage.begin() + static_cast<std::ptrdiff_t>(source.row) * kMaxSamples, samples,
                    m_combinedImage.begin() + static_cast<std::ptrdiff_t>(r) * kMaxSamples);
        m_combinedProfile[static_cast<std::size_t>(r)] =
            m_combinedProfile[static_cast<std::size_t>(source.row)];
    }
}

void CTamsorDoc::CopyPlannedRows(int head) {
    const std::size_t samples = static_cast<std::size_t>(SafeSampleCount(m_cacheSamples));
    const COndrel& source = Head(head);
    // Every head scans the whole plan: plain pointers keep the scan cheap in checked builds.
    const CombinedRowSource* const plan = m_rowPlan.data();
    const float* const headImage = source.m_headImage.data();
    float* const image = m_combinedImage.data();
    for (int r = 0; r < kCombinedBeams; ++r) {
        const CombinedRowSource from = plan[r];
        if (from.head != head) {
            continue;
        }
        const float* const row = headImage + static_cast<std::ptrdiff_t>(from.row) * kMaxSamples;
        std::memcpy(image + static_cast<std::ptrdiff_t>(r) * kMaxSamples, row, samples * sizeof(float));
        if (m_combinedBytesSamples > 0) {
            SampleBytes(row, m_combinedBytes.data() + static_cast<std::ptrdiff_t>(r) * kMaxSamples, samples);
        }
        m_combinedProfile[static_cast<std::size_t>(r)] =
            source.m_beamProfile[static_cast<std::size_t>(from.row)];
    }
}

void CTamsorDoc::CopyPlannedRowsOfHead(void* document, int head) {
    static_cast<CTamsorDoc*>(document)->CopyPlannedRows(head);
}

void CTamsorDoc::AssembleCombinedImage(int perHead, int firstCentral, int quadrant, bool holdBack) {
    IClockPort* clock = m_ports.clock;
    const std::uint64_t start = clock != nullptr ? clock->TickMs() : 0;

    std::array<bool, kHeadCount> fresh{};
    for (int k = 0; k < kHeadCount; ++k) {
        fresh[static_cast<std::size_t>(k)] = Head(k).m_newData != 0;
    }
    PlanCombinedRows(perHead, firstCentral, quadrant, fresh);
    MoveOldCombinedRows();
    // Heads without new data can be copied now; the others are copied by the thread that
    // processed them, as soon as they are done.
    for (int k = 0; k < kHeadCount; ++k) {
        if (!fresh[static_cast<std::size_t>(k)]) {
            CopyPlannedRows(k);
        }
    }
    if (holdBack) {
        for (std::size_t k = kHeadCount / 2; k < kHeadCount; ++k) {
            m_heldBackHeads[k] = fresh[k];
            fresh[k] = false;
        }
    }
    // The heads are independent: they are processed and copied side by side.
    m_processing->ProcessHeads(m_heads, fresh, m_startGain, m_soundVelocity,
                               &CTamsorDoc::CopyPlannedRowsOfHead, this);
    if (clock != nullptr) {
        Head(0).m_processingTimeMs = static_cast<float>(clock->TickMs() - start);
    }
}

void CTamsorDoc::ProcessHeldBackHeads() {
    IClockPort* clock = m_ports.clock;
    const std::uint64_t start = clock != nullptr ? clock->TickMs() : 0;
    // The row plan of the first turn still holds: the beams and samples it was made for change
    // only in BeginPing.
    m_processing->ProcessHeads(m_heads, m_heldBackHeads, m_startGain, m_soundVelocity,
                               &CTamsorDoc::CopyPlannedRowsOfHead, this);
    m_heldBackHeads = {};
    if (clock != nullptr) {
        Head(0).m_processingTimeMs += static_cast<float>(clock->TickMs() - start);
    }
}

void CTamsorDoc::ProcessPing() {
    FinishHalfDonePing();
    BeginPing(false);
    EndPing();
}

void CTamsorDoc::BeginPing(bool holdBack) {
    CheckProcessingParameters();

    const int beams = SafeBeamCount(m_cacheBeams);
    const int j = TruncToInt(beams * 0.75 * 0.5);
    const int t = 2 * j;
    const int f = (beams - t) / 2;
    m_beamsPerHeadShown = t;

    m_heldBackHeads = {};
    m_combinedBytesSamples = 0;
    if (Head(0).m_displayMode != 0) {
        return;
    }
    // Every row the plan takes from a head is converted as it is copied in, by the end of the ping.
    if (Head(0).m_newData != 0 && m_recorder->WantsRecord(RecordKind::Beam)) {
        m_combinedBytes.resize(m_combinedImage.size());
        m_combinedBytesSamples = SafeSampleCount(m_cacheSamples);
    }
    AssembleCombinedImage(t, f, j, holdBack);
}

const std::uint8_t* CTamsorDoc::CombinedRowBytes(int beam, int samples) const {
    if (samples <= 0 || samples != m_combinedBytesSamples || beam < 0 || beam >= kCombinedBeams ||
        m_rowPlan[static_cast<std::size_t>(beam)].head < 0) {
        return nullptr;
    }
    return m_combinedBytes.data() + static_cast<std::ptrdiff_t>(beam) * kMaxSamples;
}

void CTamsorDoc::EndPing() {
    const int t = m_beamsPerHeadShown;
    const float samples = static_cast<float>(m_cacheSamples);
    for (int i = 0; i < 4 * t; ++i) {
        float& p = m_combinedProfile[static_cast<std::size_t>(i)];
        if (!(p > 0.0f) || !(p < samples - 1.0f)) {
            p = 0.0f;
        }
    }

    if (Head(0).m_newData != 0) {
        m_recorder->BuildProducts();
    }
    m_combinedBytesSamples = 0;
    if (m_playback != 0 && m_xyzConversion != 0 && (m_xyzFile.IsOpen() || m_mapPointSink != nullptr)) {
        WriteXyzPing(*this);
    }
    RefreshStatus();
}

void CTamsorDoc::RefreshStatus() {
    Notify(&IDocumentListener::OnPingProcessed);
    if (m_ports.clock != nullptr) {
        const std::uint64_t now = m_ports.clock->TickMs();
        if (m_lastRefreshTick != 0 && now > m_lastRefreshTick) {
            m_loopTimeMs = static_cast<float>(now - m_lastRefreshTick);
        }
        m_lastRefreshTick = now;
    }
    if (m_playback == 0) {
        m_displayedPingPeriodMs = m_loopTimeMs;
    }
    // The title shows the file being recorded and its size.
    if (const RecordingStatus recording = CurrentRecording(); recording.active) {
        char size[64];
        std::snprintf(size, sizeof size, "%.1f M Bytes", static_cast<double>(recording.bytes) / 1048576.0);
        SetTitle(recording.path + "    ___" + size);
    }
}

RecordingStatus CTamsorDoc::CurrentRecording() const {
    RecordingStatus status;
    if ((m_recordRaw != 0 || m_recordBeam != 0 || m_recordPoint != 0) && m_recordFile.IsOpen()) {
        status.path = m_recordFile.Path();
        status.bytes = m_recorder->RecordFileBytes();
    } else if (m_recordRaw != 0 && m_playback == 0 && m_link) {
        // A live raw recording is the link's.
        const RawRecordingState recording = m_link->Recording();
        if (recording.active) {
            status.path = recording.path;
            status.bytes = recording.bytes;
        }
    }
    status.active = !status.path.empty();
    return status;
}

void CTamsorDoc::NotifyRecordingChanged() {
    Notify(&IDocumentListener::OnRecordingChanged, CurrentRecording());
}

void CTamsorDoc::ClearCombinedImage() {
    // Eight megabytes, shared among the workers: memset (0.0f is all zero bits), which stays one
    // call in instrumented builds too, where a fill loop is checked and counted element by element.
    float* image = m_combinedImage.data();
    m_workers.RunSplit(kCombinedBeams, [image](int first, int end) {
        std::memset(image + static_cast<std::size_t>(first) * kMaxSamples, 0,
                    static_cast<std::size_t>(end - first) * kMaxSamples * sizeof(float));
    });
    m_combinedProfile.fill(0.0f);
    m_combinedBytesSamples = 0;
}

void CTamsorDoc::CloseAllFiles() {
    const bool recording = m_recordRaw != 0 || m_recordBeam != 0 || m_recordPoint != 0;
    if (m_playbackFile.IsOpen()) {
        m_playbackFile.Close();
        m_playback = 0;
    }
    if (m_recordFile.IsOpen()) {
        m_recorder->FinishProducts();
        m_recordFile.Close();
    }
    if (m_recordRaw != 0 && m_link) {
        m_link->StopRecording();
    }
    m_recordRaw = 0;
    m_recordBeam = 0;
    m_recordPoint = 0;
    if (m_xyzFile.IsOpen()) {
        m_xyzFile.Close();
        m_xyzConversion = 0;
    }
    if (m_mapPointSink != nullptr) {
        m_mapPointSink = nullptr;
        m_xyzConversion = 0;
    }
    if (recording) {
        NotifyRecordingChanged();
    }
}

void CTamsorDoc::OnCloseDocument() {
    SaveHeadSettings();
    CloseAllFiles();
    CloseSockets();
    m_connected = 0;
    SaveOtherSettings();
    Unpublish(this);
}

void CTamsorDoc::CompletePing(const PingBuffer& payloads, const ReplyBlock& lastReply) {
    for (COndrel& head : m_heads) {
        ++head.m_pingCounter;
        head.m_newData = 1;
        std::copy_n(lastReply.begin(), kReplyHeaderSize, head.m_replyHeader.begin());
        head.ParseReturnHeader();
    }
    // A scrambled ping (mode byte 0x4_) would be descrambled here; the transform belongs to the
    // head and is not known, so its words are taken as they came.
    DeinterleavePing(payloads, Head(0).m_samples, m_heads);
}

void CTamsorDoc::CopyHeadSettings() {
    const COndrel& first = Head(0);
    for (int k = 1; k < kHeadCount; ++k) {
        COndrel& head = Head(k);
        head.m_rangeM = first.m_rangeM;
        head.m_rangeIndex = first.m_rangeIndex;
        head.m_baseFrequencyKHz = first.m_baseFrequencyKHz;
        head.m_frequencyStep = first.m_frequencyStep;
        head.m_beamsIndex = first.m_beamsIndex;
        head.m_beams = first.m_beams;
        head.m_samples = first.m_samples;
        head.m_beamWidth = first.m_beamWidth;
        head.m_displayMode = first.m_displayMode;
        head.m_transducerUp = first.m_transducerUp;
        head.m_pulseLength = first.m_pulseLength;
        head.m_pulseLengthMultiplier = first.m_pulseLengthMultiplier;
        head.m_externalTriggerEnable = first.m_externalTriggerEnable;
        head.m_externalTriggerLevel = first.m_externalTriggerLevel;
        head.m_externalTransmitDelay = first.m_externalTransmitDelay;
        head.m_detectProfilePoints = first.m_detectProfilePoints;
        head.m_profileFilterType = first.m_profileFilterType;
    }
}

void CTamsorDoc::UpdateHeadAzimuths() {
    const int b = -TruncToInt(static_cast<double>(m_azimuthOffsetDeg) * 10.0 + 0.5);
    Head(0).m_azimuth = b;
    Head(1).m_azimuth = b + (Head(1).m_transducerUp != 0 ? 900 : 2700);
    Head(2).m_azimuth = b + 1800;
    Head(3).m_azimuth = b + (Head(3).m_transducerUp != 0 ? 2700 : 900);
}

void CTamsorDoc::ClearProcessingHistory() {
    m_processing->ClearHistory();
}

void CTamsorDoc::RefreshClockStrings() {
    RefreshClockStrings(m_ports.clock != nullptr ? m_ports.clock->Now() : LocalTime{});
}

void CTamsorDoc::RefreshClockStrings(const LocalTime& t) {
    static constexpr std::array<const char*, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                            "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const char* month = (t.month >= 1 && t.month <= 12) ? kMonths[static_cast<std::size_t>(t.month - 1)] : "";
    char text[64];
    std::snprintf(text, sizeof text, "%02d-%s-%04d", t.day, month, t.year);
    m_dateText = text;
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    m_timeText = text;
    std::snprintf(text, sizeof text, "%03d", t.millisecond);
    m_millisecondText = text;
    m_autoName = FormatAutoName(t);
    m_timeStamp = FormatTimeStamp(t);
}

} // namespace vexar
