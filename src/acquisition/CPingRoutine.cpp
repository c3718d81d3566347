#include "acquisition/CPingRoutine.h"

#include "common/Numeric.h"
#include "head/SampleBytes.h"

#include <algorithm>

namespace vexar {

namespace {
// The beam counts a head can form; anything else (a damaged file) is kept inside the buffers.
int SafeBeamCount(int beams) {
    return std::clamp(beams, 0, kMaxBeams);
}
} // namespace

CPingRoutine::CPingRoutine(int workers, IClockPort* clock)
    : m_clock(clock), m_workers(workers < 0 ? WorkerPool::DefaultWorkers(kHeadCount - 1)
                                            : std::min(workers, kHeadCount - 1)) {}

void CPingRoutine::InitialiseHeads(const PingSettings& settings) {
    for (int k = 0; k < kHeadCount; ++k) {
        COndrel& head = m_heads[static_cast<std::size_t>(k)];
        head.m_headIndex = k;
        head.ResetCommandPacket(settings);
        head.m_commandPacket[2] = static_cast<std::uint8_t>(0x10 + k);
        head.m_rawSamples.fill(0);
    }
}

void CPingRoutine::RestartHeads(const PingSettings& settings) {
    for (COndrel& head : m_heads) {
        head.m_newData = 0;
        head.m_pingCounter = 0;
        head.ResetCommandPacket(settings);
    }
}

void CPingRoutine::Take(const PingInput& ping, int samples) {
    if (ping.requestTime) {
        ForgetNewPing();
    }
    const bool whole = ping.blocksPerPing == 0 || ping.blocksPerPing == BlocksPerPingFor(samples);
    if (ping.payloads != nullptr && ping.lastReply != nullptr && whole) {
        Complete(*ping.payloads, *ping.lastReply, samples);
    }
}

void CPingRoutine::Complete(const PingBuffer& payloads, const ReplyBlock& lastReply, int samples) {
    for (COndrel& head : m_heads) {
        ++head.m_pingCounter;
        head.m_newData = 1;
        std::copy_n(lastReply.begin(), kReplyHeaderSize, head.m_replyHeader.begin());
        head.ParseReturnHeader();
    }
    // A scrambled ping (mode byte 0x4_) would be descrambled here; the transform belongs to the
    // head and is not known, so its words are taken as they came.
    DeinterleavePing(payloads, samples, m_heads);
}

std::optional<float> CPingRoutine::Begin(const PingSettings& settings, bool holdBack, bool recordBytes) {
    const int beams = SafeBeamCount(settings.beams);
    const int j = TruncToInt(beams * 0.75 * 0.5);
    const int t = 2 * j;
    const int f = (beams - t) / 2;
    m_beamsPerHead = t;

    m_heldBack = {};
    m_combined.StopConverting();
    if (settings.displayMode != kDisplayModePolar) {
        return std::nullopt;
    }
    // Every row the plan takes from a head is converted as it is copied in, by the end of the ping.
    return Assemble(CombinedLayout{t, f, j, settings.transducerUp != 0, settings.samples, recordBytes},
                    settings, holdBack);
}

std::optional<float> CPingRoutine::Assemble(const CombinedLayout& layout, const PingSettings& settings,
                                            bool holdBack) {
    const std::uint64_t start = m_clock != nullptr ? m_clock->TickMs() : 0;
    std::array<bool, kHeadCount> fresh{};
    for (std::size_t k = 0; k < kHeadCount; ++k) {
        fresh[k] = m_heads[k].m_newData != 0;
    }
    // Heads without new data are copied now; the others by the thread that processed them, as
    // soon as they are done.
    m_combined.BeginPing(layout, fresh);
    if (holdBack) {
        // The first fresh head is processed now, each other in a turn of its own.
        bool first = true;
        for (std::size_t k = 0; k < kHeadCount; ++k) {
            if (fresh[k] && !first) {
                m_heldBack[k] = true;
                fresh[k] = false;
            }
            first = first && !fresh[k];
        }
    }
    // The heads are independent: they are processed and copied side by side.
    m_processing->ProcessHeads(m_heads, fresh, settings, m_combined);
    if (m_clock == nullptr) {
        return std::nullopt;
    }
    return static_cast<float>(m_clock->TickMs() - start);
}

std::optional<float> CPingRoutine::ProcessNextHead(const PingSettings& settings) {
    std::array<bool, kHeadCount> next{};
    for (std::size_t k = 0; k < kHeadCount; ++k) {
        if (m_heldBack[k]) {
            next[k] = true;
            m_heldBack[k] = false;
            break;
        }
    }
    if (next == std::array<bool, kHeadCount>{}) {
        return std::nullopt;
    }
    const std::uint64_t start = m_clock != nullptr ? m_clock->TickMs() : 0;
    // The row plan of the first turn still holds: the beams and samples it was made for change
    // only in Begin.
    m_processing->ProcessHeads(m_heads, next, settings, m_combined);
    return m_clock != nullptr ? static_cast<float>(m_clock->TickMs() - start) : 0.0f;
}

} // namespace vexar
