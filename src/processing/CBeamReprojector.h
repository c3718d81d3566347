#pragma once
// CBeamReprojector: moves the formed beams of a head, which fan out from the centre of its
// element row, onto the head image, whose beams fan out from the head's axis a little behind it.
// The move is a table of runs built once per beam count, sample count and range; each formed
// beam pair is then merged into the head image while it is still in cache.

#include "head/COndrel.h"
#include "processing/ProcessingBuffer.h"

#include <array>
#include <cstdint>

namespace vexar {

inline constexpr float kHeadOffsetM = 0.07f;

class CBeamReprojector {
public:
    /// Allocates the run table at its largest size.
    CBeamReprojector();

    /// Builds the table for a ping of `beams` x `samples` at `rangeM`, unless it is built for it.
    void Prepare(int beams, int samples, float rangeM);
    /// Forgets the table: the next ping builds it again.
    void Invalidate() { m_beams = -1; }
    /// Starts a ping: no row of the head image is cleared yet.
    void BeginPing() { m_rowCleared.fill(false); }
    /// Merges pair i (beams half - i and half + i - 1 of the formed image) into the head image.
    void ReprojectPair(COndrel& current, int pair, const float* source1, const float* source2);
    /// Empties the head image rows no echo reached.
    void ClearUntouchedRows(COndrel& current);

private:
    void BuildTable();
    /// Row of the head image, cleared on first use in a ping.
    float* HeadRow(COndrel& current, int row);

    // Runs of samples that land on consecutive columns of one target beam pair (the map is close
    // to the identity, so runs are long).
    struct Run {
        std::int16_t firstSample;
        std::int16_t length;
        std::int16_t offset; ///< target beam offset a
        std::int16_t column; ///< target column of the first sample
    };
    int m_beams = -1;
    int m_samples = -1;
    float m_range = -1.0f;
    ProcessingBuffer<Run> m_runs;                    ///< at most one run per sample of every pair
    std::array<int, kMaxBeams / 2 + 1> m_rowStart{}; ///< runs of pair i: [start[i], start[i + 1])
    std::array<bool, kMaxBeams> m_rowCleared{};
    int m_headRowsUsed = kMaxBeams; ///< head image rows that may hold anything but zeros
};

} // namespace vexar
