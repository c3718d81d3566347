#pragma once
// CPingRoutine: the heads' data of the current ping and the work every ping takes before its
// products: its buffers laid into the heads, the processing tables, the heads' processing on the
// worker pool and the combined image they fill, all at once or one head a turn.

#include "acquisition/DocumentTypes.h"
#include "common/WorkerPool.h"
#include "head/COndrel.h"
#include "head/ReplyData.h"
#include "ports/Ports.h"
#include "processing/CCombinedImage.h"
#include "processing/HeadProcessors.h"

#include <array>
#include <optional>

namespace vexar {

class CPingRoutine {
public:
    /// `workers`: threads that process beside the caller's (at most one per head but one); -1: as
    /// many as the machine's cores allow. `clock` (may be null) times the heads' processing.
    CPingRoutine(int workers, IClockPort* clock);
    CPingRoutine(const CPingRoutine&) = delete;
    CPingRoutine& operator=(const CPingRoutine&) = delete;

    std::array<COndrel, kHeadCount>& Heads() { return m_heads; }
    const std::array<COndrel, kHeadCount>& Heads() const { return m_heads; }
    const COndrel& Head(int index) const { return m_heads[static_cast<std::size_t>(index)]; }
    /// kCombinedBeams rows of kMaxSamples values.
    const CCombinedImage& Combined() const { return m_combined; }
    CCombinedImage& Combined() { return m_combined; }
    /// Rows of the combined image filled for the beam setting of the last ping (360, 720 or 1440).
    int CombinedBeamCount() const { return 4 * m_beamsPerHead; }

    /// Runs the heads' processing through `processing` instead of the routine's own processors
    /// (tests follow the assembly of the combined image with it).
    void SetHeadProcessing(IHeadProcessing& processing) { m_processing = &processing; }
    const HeadProcessors& Processors() const { return m_processors; }
    /// The worker threads of the heads of a ping and of the picture rows.
    WorkerPool& Workers() { return m_workers; }

    /// True when the heads hold a ping not yet processed (it makes products).
    bool HasNewPing() const { return m_heads[0].m_newData != 0; }
    /// The heads hold no new ping: the routine draws what they had and makes no products.
    void ForgetNewPing() {
        for (COndrel& head : m_heads) {
            head.m_newData = 0;
        }
    }
    /// The heads' command packets for `settings`.
    /// Numbers the heads, gives each its first packet made with `settings` and clears their samples.
    void InitialiseHeads(const PingSettings& settings);
    /// Real time starts again: no ping is new or counted, and each head's packet is made afresh.
    void RestartHeads(const PingSettings& settings);
    void BuildCommandPackets(const PingSettings& settings) {
        for (COndrel& head : m_heads) {
            head.BuildCommandPacket(settings);
        }
    }
    /// A ping's data enters the heads, laid out for `samples` per beam: a live ping replaces what
    /// was new; a ping laid out for another sample count would be drawn at the wrong range scale
    /// and is dropped.
    void Take(const PingInput& ping, int samples);
    /// Builds the processing tables for `settings` where they were built for others; true when any
    /// was built.
    bool PrepareTables(const PingSettings& settings) { return m_processing->PrepareTables(settings); }
    /// Begins the routine: the combined image plans its rows and the heads with new data are
    /// processed into it; with `holdBack` only the first of them, the others one a turn
    /// (ProcessNextHead). `recordBytes`: the rows are converted to record bytes as they are
    /// copied. Returns how long the heads' processing took (nothing without a polar picture or
    /// a clock).
    std::optional<float> Begin(const PingSettings& settings, bool holdBack, bool recordBytes);
    /// Processes the next head held back for a turn of its own: how long it took (0 without a
    /// clock); nothing when none is left.
    std::optional<float> ProcessNextHead(const PingSettings& settings);
    /// Clears the combined image.
    void ClearImage() { m_combined.Clear(m_workers); }
    /// Forgets the averaging history of the heads' processors.
    void ClearHistory() { m_processing->ClearHistory(); }

private:
    /// Lays a ping's buffers into the heads: each has new data, its reply header and samples.
    void Complete(const PingBuffer& payloads, const ReplyBlock& lastReply, int samples);
    std::optional<float> Assemble(const CombinedLayout& layout, const PingSettings& settings, bool holdBack);

    IClockPort* m_clock;
    WorkerPool m_workers;
    HeadProcessors m_processors{m_workers};
    IHeadProcessing* m_processing = &m_processors;
    std::array<COndrel, kHeadCount> m_heads;
    CCombinedImage m_combined{m_heads};
    int m_beamsPerHead = 0; ///< beams each head gave the combined image at the last ping
    /// Fresh heads of a ping processed in turns that wait for a turn of their own.
    std::array<bool, kHeadCount> m_heldBack{};
};

} // namespace vexar
