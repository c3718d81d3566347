// The document's per-ping routine: the one entry every ping takes, the heads' processing, the
// assembly of the combined image, and what follows a processed ping (profile clean-up, products,
// XYZ export, status).

#include "acquisition/CTamsorDoc.h"

#include "common/Numeric.h"
#include "files/SampleBytes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vexar {

namespace {
// The beam counts a head can form; anything else (a damaged file) is kept inside the buffers.
int SafeBeamCount(int beams) {
    return std::clamp(beams, 0, kMaxBeams);
}

int SafeSampleCount(int samples) {
    return std::clamp(samples, 0, kMaxSamples);
}

OutputTarget OutputOf(const SystemSettings& system) {
    return OutputTarget{system.udpOutputPoint != 0, system.udpOutputBeam != 0, system.outputAddress,
                        system.outputPort};
}
} // namespace

// ---------------------------------------------------------------------------------------------
// The entry

void CTamsorDoc::EnterPing(const PingInput& ping) {
    if (ping.settings != m_settings.sonar) {
        Settings settings = m_settings;
        settings.sonar = ping.settings;
        StoreSettings(settings);
    }
    if (ping.requestTime) {
        RefreshClockStrings(*ping.requestTime);
        m_timings.sonarTimeMs = ping.sonarTimeMs;
        m_timings.acquisitionTimeMs = ping.acquisitionTimeMs;
        for (COndrel& head : m_heads) {
            head.m_newData = 0;
        }
    } else if (ping.recordTexts) {
        m_clock.date = ping.recordTexts->date;
        m_clock.time = ping.recordTexts->time;
        m_clock.millisecond = ping.recordTexts->millisecond;
        m_clock.timeStamp = ping.recordTexts->timeStamp;
    }
    // The blocks per ping follow the sample count with the next request: a ping requested with
    // another count than the settings have now would be laid out and drawn at the wrong range
    // scale; it is dropped, and the next ping carries the new count.
    const bool whole =
        ping.blocksPerPing == 0 || ping.blocksPerPing == BlocksPerPingFor(m_settings.sonar.samples);
    if (ping.payloads != nullptr && ping.lastReply != nullptr && whole) {
        CompletePing(*ping.payloads, *ping.lastReply);
    }
    if (ping.requestTime && m_options.livePingInTurns && m_ports.timers != nullptr) {
        BeginPing(true);
        m_pingInTurns = true;
        m_turnWorkMs = 0;
        m_ports.timers->Arm(kFinishPingTimer, 0);
        return;
    }
    ProcessPing();
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
    DeinterleavePing(payloads, m_settings.sonar.samples, m_heads);
}

// ---------------------------------------------------------------------------------------------
// The per-ping routine

void CTamsorDoc::ProcessPing() {
    FinishHalfDonePing();
    BeginPing(false);
    EndPing();
}

void CTamsorDoc::CheckProcessingTables() {
    // The processors compare the velocity in use with the one their steering was built for at
    // every ping, so a change of it takes effect on the next ping without a rebuild here.
    if (m_processing->PrepareTables(m_settings.sonar)) {
        ResetPictureGeometry();
    }
}

void CTamsorDoc::BeginPing(bool holdBack) {
    CheckProcessingTables();
    const PingSettings& settings = m_settings.sonar;
    const int beams = SafeBeamCount(settings.beams);
    const int j = TruncToInt(beams * 0.75 * 0.5);
    const int t = 2 * j;
    const int f = (beams - t) / 2;
    m_beamsPerHeadShown = t;

    m_heldBackHeads = {};
    m_combinedBytesSamples = 0;
    if (settings.displayMode != kDisplayModePolar) {
        return;
    }
    // Every row the plan takes from a head is converted as it is copied in, by the end of the ping.
    if (m_heads[0].m_newData != 0 && m_recorder.WantsRecord(RecordKind::Beam, OutputOf(System()))) {
        m_combinedBytes.resize(m_combinedImage.size());
        m_combinedBytesSamples = SafeSampleCount(settings.samples);
    }
    AssembleCombinedImage(t, f, j, holdBack);
}

void CTamsorDoc::EndPing() {
    const int t = m_beamsPerHeadShown;
    const float samples = static_cast<float>(m_settings.sonar.samples);
    for (int i = 0; i < 4 * t; ++i) {
        float& p = m_combinedProfile[static_cast<std::size_t>(i)];
        if (!(p > 0.0f) || !(p < samples - 1.0f)) {
            p = 0.0f;
        }
    }
    if (m_heads[0].m_newData != 0) {
        WriteProducts();
    }
    m_combinedBytesSamples = 0;
    if (IsPlayback() && m_xyz.IsActive() && m_xyz.IsWriting()) {
        m_xyz.WritePing(m_navigation, XyzPing{&m_settings.sonar, m_combinedProfile.data(), m_clock.date,
                                              m_clock.time, m_clock.millisecond, m_clock.timeStamp,
                                              m_settings.mounting, m_settings.system.maxFixAgeMs});
    }
    RefreshStatus();
}

RecordContext CTamsorDoc::PingRecordContext() const {
    return RecordContext{&m_settings.sonar, m_clock.timeStamp, m_timings.displayedPingPeriodMs,
                         m_navigationSentence};
}

void CTamsorDoc::WriteProducts() {
    PingProducts products;
    products.context = PingRecordContext();
    products.combinedImage = m_combinedImage.data();
    products.combinedProfile = m_combinedProfile.data();
    products.convertedSamples = m_combinedBytesSamples;
    if (m_combinedBytesSamples > 0) {
        for (int r = 0; r < kCombinedBeams; ++r) {
            m_convertedRows[static_cast<std::size_t>(r)] =
                m_rowPlan[static_cast<std::size_t>(r)].head >= 0
                    ? m_combinedBytes.data() + static_cast<std::ptrdiff_t>(r) * kMaxSamples
                    : nullptr;
        }
        products.convertedRows = m_convertedRows;
    }
    products.output = OutputOf(System());
    m_recorder.BuildProducts(products);
}

void CTamsorDoc::RefreshStatus() {
    Notify(&IDocumentListener::OnPingProcessed);
    if (m_ports.clock != nullptr) {
        const std::uint64_t now = m_ports.clock->TickMs();
        if (m_lastRefreshTick != 0 && now > m_lastRefreshTick) {
            m_timings.loopTimeMs = static_cast<float>(now - m_lastRefreshTick);
        }
        m_lastRefreshTick = now;
    }
    if (!IsPlayback()) {
        m_timings.displayedPingPeriodMs = m_timings.loopTimeMs;
    }
    // The title shows the file being recorded and its size.
    if (const RecordingStatus recording = CurrentRecording(); recording.active) {
        char size[64];
        std::snprintf(size, sizeof size, "%.1f M Bytes", static_cast<double>(recording.bytes) / 1048576.0);
        SetTitle(recording.path + "    ___" + size);
    }
}

// ---------------------------------------------------------------------------------------------
// The combined image

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
    if (m_settings.sonar.transducerUp != 0) {
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
    const std::size_t samples = static_cast<std::size_t>(SafeSampleCount(m_settings.sonar.samples));
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
    const std::size_t samples = static_cast<std::size_t>(SafeSampleCount(m_settings.sonar.samples));
    const COndrel& source = m_heads[static_cast<std::size_t>(head)];
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
        fresh[static_cast<std::size_t>(k)] = m_heads[static_cast<std::size_t>(k)].m_newData != 0;
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
        // The first fresh head is processed now, each other in a turn of its own.
        bool first = true;
        for (std::size_t k = 0; k < kHeadCount; ++k) {
            if (fresh[k] && !first) {
                m_heldBackHeads[k] = true;
                fresh[k] = false;
            }
            first = first && !fresh[k];
        }
    }
    // The heads are independent: they are processed and copied side by side.
    m_processing->ProcessHeads(m_heads, fresh, m_settings.sonar, &CTamsorDoc::CopyPlannedRowsOfHead, this);
    if (clock != nullptr) {
        m_timings.processingTimeMs = static_cast<float>(clock->TickMs() - start);
    }
}

bool CTamsorDoc::ProcessHeldBackHead() {
    std::array<bool, kHeadCount> next{};
    for (std::size_t k = 0; k < kHeadCount; ++k) {
        if (m_heldBackHeads[k]) {
            next[k] = true;
            m_heldBackHeads[k] = false;
            break;
        }
    }
    if (next == std::array<bool, kHeadCount>{}) {
        return false;
    }
    IClockPort* clock = m_ports.clock;
    const std::uint64_t start = clock != nullptr ? clock->TickMs() : 0;
    // The row plan of the first turn still holds: the beams and samples it was made for change
    // only in BeginPing.
    m_processing->ProcessHeads(m_heads, next, m_settings.sonar, &CTamsorDoc::CopyPlannedRowsOfHead, this);
    if (clock != nullptr) {
        m_timings.processingTimeMs += static_cast<float>(clock->TickMs() - start);
    }
    return true;
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

// ---------------------------------------------------------------------------------------------
// Clock strings

void CTamsorDoc::RefreshClockStrings() {
    RefreshClockStrings(m_ports.clock != nullptr ? m_ports.clock->Now() : LocalTime{});
}

void CTamsorDoc::RefreshClockStrings(const LocalTime& t) {
    static constexpr std::array<const char*, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                            "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const char* month = (t.month >= 1 && t.month <= 12) ? kMonths[static_cast<std::size_t>(t.month - 1)] : "";
    char text[64];
    std::snprintf(text, sizeof text, "%02d-%s-%04d", t.day, month, t.year);
    m_clock.date = text;
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    m_clock.time = text;
    std::snprintf(text, sizeof text, "%03d", t.millisecond);
    m_clock.millisecond = text;
    m_clock.autoName = FormatAutoName(t);
    m_clock.timeStamp = FormatTimeStamp(t);
}

} // namespace vexar
