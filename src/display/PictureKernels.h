#pragma once
// The inner loop of the per-ping picture build: one row segment of the pixel map turned into
// picture bytes. A plain version and, where the processor has AVX2, an 8-pixel version chosen at
// run time; both give the same bytes.

#include <array>
#include <cstdint>

namespace vexar {

/// Per weight slot (0 = draw nothing, 1..slots = weight triples): previous | next << 16 and
/// same | least << 16, where least is the smallest value drawn (1, or 0 for slot 0).
struct BlendWeights {
    std::array<std::int32_t, 32> outer{};
    std::array<std::int32_t, 32> inner{};
    int slotCount = 20; ///< highest slot in use; the 8-pixel version handles up to 16
};

/// Writes out[i] for i < count from map[i]: bits 0..20 the position of the previous beam's byte
/// in `image` (same, next follow it), bits 21..25 the slot. `image` must be readable 3 bytes past
/// every position. The result is (w0 a + w1 b + w2 c) >> 8, at least `least`, then >> dimShift.
void BlendRow(const std::uint32_t* map, const std::uint8_t* image, std::uint8_t* out, int count,
              const BlendWeights& weights, int dimShift, bool allowSimd = true);

/// True when BlendRow uses the AVX2 version on this processor.
bool BlendRowHasSimd();

} // namespace vexar
