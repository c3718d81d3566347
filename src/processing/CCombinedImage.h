#pragma once
// The combined image of a ping: the four heads' pictures side by side as one circle of rows, with
// each row's profile point and, when the ping makes a beam record, each row as record bytes.
// Rows of heads without a new ping stay from the last ping, moved with the rotation of the
// circle. It hears of each processed head through IProcessedHeads and copies that head's rows on
// the thread that processed it, so heads are copied side by side.

#include "common/WorkerPool.h"
#include "head/COndrel.h"
#include "processing/HeadProcessors.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace vexar {

/// Which rows of the heads a ping's circle is made of.
struct CombinedLayout {
    int perHead = 0;           ///< central rows of each head on the circle
    int firstCentral = 0;      ///< the first of them in a head's image
    int quadrant = 0;          ///< rows the circle is turned by: half a head sector
    bool transducerUp = false; ///< heads 1 and 3 swap places (an inverted head)
    int samples = 0;           ///< samples of a row
    bool recordBytes = false;  ///< the rows taken from heads are converted to beam-record bytes
};

class CCombinedImage final : public IProcessedHeads {
public:
    /// The heads the rows are copied from (not owned; they outlive the image).
    explicit CCombinedImage(const std::array<COndrel, kHeadCount>& heads);

    /// Starts a ping: plans every row, moves the rows kept from the last ping and copies the
    /// heads that are not fresh. The fresh heads follow through HeadProcessed.
    void BeginPing(const CombinedLayout& layout, const std::array<bool, kHeadCount>& fresh);
    /// Copies a processed head's planned rows (from the thread that processed it).
    void HeadProcessed(int head) override;
    /// Profile points outside 0 < p < samples - 1 of the first `rows` rows are none (0).
    void CleanProfile(int rows, int samples);
    /// No row is converted to record bytes until the next ping asks for it.
    void StopConverting() { m_layout.recordBytes = false; }
    /// Every row and profile point zero (only what was written since the last clear is cleared).
    void Clear(WorkerPool& workers);

    /// kCombinedBeams rows of kMaxSamples values.
    std::span<const float> Image() const { return m_image; }
    float At(int beam, int sample) const {
        return m_image[static_cast<std::size_t>(beam) * kMaxSamples + static_cast<std::size_t>(sample)];
    }
    std::span<const float> Profile() const { return m_profile; }
    /// Samples of each converted row; 0 when the ping converts none.
    int ConvertedSamples() const { return m_layout.recordBytes ? m_layout.samples : 0; }
    /// Each row's bytes as converted in this ping; null for a row kept from the last ping.
    std::span<const std::uint8_t* const> ConvertedRows();

private:
    /// Where a row comes from in this ping: kept as it is, moved from another row of the last
    /// ping, or copied from a head's image row.
    struct RowSource {
        std::int16_t head = -1; ///< -1: row `row` of the last ping
        std::int16_t row = 0;
    };
    void PlanHeadRows(int head, int firstRow, int rowCount, int toRow);
    void PlanRows(const std::array<bool, kHeadCount>& fresh);
    void MoveKeptRows();

    const std::array<COndrel, kHeadCount>& m_heads;
    CombinedLayout m_layout;
    std::vector<float> m_image;
    std::array<float, kCombinedBeams> m_profile{};
    std::vector<std::uint8_t> m_bytes;
    std::array<const std::uint8_t*, kCombinedBeams> m_convertedRows{};
    std::array<RowSource, kCombinedBeams> m_plan{};
    /// The rows and samples written since the last clear: a clear needs to go no further.
    int m_rowsUsed = kCombinedBeams;
    int m_samplesUsed = kMaxSamples;
};

} // namespace vexar
