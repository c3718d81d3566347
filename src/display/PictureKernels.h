#pragma once
// The inner loop of the per-ping picture build: one row segment of the pixel map turned into
// picture bytes. A plain version and, where the processor has AVX2, an 8-pixel version chosen at
// run time; both give the same bytes.

#include <array>
#include <cstddef>
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

/// Persistence of the same row segment, fused with the blend: hold = max(hold, out),
/// out = trunc(hold), hold = max(0, hold - decay).
struct HoldRow {
    float* hold = nullptr; ///< null: no persistence
    float decay = 0.0f;
};
void BlendRow(const std::uint32_t* map, const std::uint8_t* image, std::uint8_t* out, int count,
              const BlendWeights& weights, int dimShift, HoldRow hold, bool allowSimd = true);

/// Clamps rows x samples floats (row stride `sourceStride`) to bytes and writes them transposed:
/// sample s of row r goes to target[s * targetStride + r]. NaN and negative values give 0.
void ConvertTransposed(const float* source, std::size_t sourceStride, int rows, int samples,
                       std::uint8_t* target, std::size_t targetStride, bool allowSimd = true);

/// True when BlendRow uses the AVX2 version on this processor.
bool BlendRowHasSimd();

} // namespace vexar
