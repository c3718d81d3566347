#include "display/PictureKernels.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VEXAR_HAVE_AVX2_KERNEL 1
#endif

namespace vexar {

namespace {

constexpr std::uint32_t kPositionMask = (1u << 21) - 1u;
constexpr std::uint32_t kSlotMask = 31u;

void BlendRowPlain(const std::uint32_t* map, const std::uint8_t* image, std::uint8_t* out, int first, int count,
                   const BlendWeights& weights, int dimShift) {
    for (int i = first; i < count; ++i) {
        const std::uint32_t code = map[i];
        const std::size_t p = code & kPositionMask;
        const std::size_t t = (code >> 21) & kSlotMask;
        int a = image[p];
        int b = image[p + 1];
        int c = image[p + 2];
        if constexpr (std::endian::native == std::endian::little) {
            std::uint32_t beams = 0; // one load for the three neighbouring beams
            std::memcpy(&beams, image + p, sizeof beams);
            a = static_cast<int>(beams & 0xFFu);
            b = static_cast<int>((beams >> 8) & 0xFFu);
            c = static_cast<int>((beams >> 16) & 0xFFu);
        }
        const std::int32_t outer = weights.outer[t];
        const std::int32_t inner = weights.inner[t];
        int v = ((outer & 0xFFFF) * a + (inner & 0xFFFF) * b + (outer >> 16) * c) >> 8;
        v = std::max(v, inner >> 16) >> dimShift;
        out[i] = static_cast<std::uint8_t>(v);
    }
}

#ifdef VEXAR_HAVE_AVX2_KERNEL
__attribute__((target("avx2"))) int BlendRowAvx2(const std::uint32_t* map, const std::uint8_t* image,
                                                  std::uint8_t* out, int count, const BlendWeights& weights,
                                                  int dimShift) {
    const __m256i positionMask = _mm256_set1_epi32(static_cast<int>(kPositionMask));
    const __m256i slotMask = _mm256_set1_epi32(static_cast<int>(kSlotMask));
    const __m256i outerBytes = _mm256_set1_epi32(0x00FF00FF);
    const __m256i lowByte = _mm256_set1_epi32(0xFF);
    const __m128i shift = _mm_cvtsi32_si128(dimShift);
    // Byte 0 of every 32-bit lane into the first four bytes of each 128-bit half.
    const __m256i pick = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12,
                                          -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const auto* imageWords = reinterpret_cast<const int*>(image);
    // Slots 1..16 as two 8-entry tables picked by permutes; slot 0 is masked to 0 at the end.
    const __m256i outerLow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights.outer.data() + 1));
    const __m256i outerHigh = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights.outer.data() + 9));
    const __m256i innerLow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights.inner.data() + 1));
    const __m256i innerHigh = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights.inner.data() + 9));
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i eight = _mm256_set1_epi32(8);
    const __m256i zero = _mm256_setzero_si256();
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i code = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(map + i));
        const __m256i p = _mm256_and_si256(code, positionMask);
        const __m256i t = _mm256_and_si256(_mm256_srli_epi32(code, 21), slotMask);
        const __m256i beams = _mm256_i32gather_epi32(imageWords, p, 1);
        const __m256i index = _mm256_sub_epi32(t, one);
        const __m256i high = _mm256_cmpeq_epi32(_mm256_and_si256(index, eight), eight);
        const __m256i outer = _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(outerLow, index),
                                                 _mm256_permutevar8x32_epi32(outerHigh, index), high);
        const __m256i inner = _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(innerLow, index),
                                                 _mm256_permutevar8x32_epi32(innerHigh, index), high);
        const __m256i drawn = _mm256_cmpgt_epi32(t, zero);
        // 16-bit pairs: (previous, next) against (w0, w2) and (same, 0) against (w1, least).
        const __m256i pairs = _mm256_and_si256(beams, outerBytes);
        const __m256i same = _mm256_and_si256(_mm256_srli_epi32(beams, 8), lowByte);
        __m256i v = _mm256_add_epi32(_mm256_madd_epi16(pairs, outer), _mm256_madd_epi16(same, inner));
        v = _mm256_max_epi32(_mm256_srli_epi32(v, 8), _mm256_srli_epi32(inner, 16));
        v = _mm256_and_si256(_mm256_srl_epi32(v, shift), drawn);
        const __m256i packed = _mm256_shuffle_epi8(v, pick);
        const __m128i bytes =
            _mm_unpacklo_epi32(_mm256_castsi256_si128(packed), _mm256_extracti128_si256(packed, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), bytes);
    }
    return i;
}

bool CpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}
#endif

} // namespace

bool BlendRowHasSimd() {
#ifdef VEXAR_HAVE_AVX2_KERNEL
    return CpuHasAvx2();
#else
    return false;
#endif
}

void BlendRow(const std::uint32_t* map, const std::uint8_t* image, std::uint8_t* out, int count,
              const BlendWeights& weights, int dimShift, bool allowSimd) {
    int done = 0;
#ifdef VEXAR_HAVE_AVX2_KERNEL
    if (allowSimd && weights.slotCount <= 16 && CpuHasAvx2()) {
        done = BlendRowAvx2(map, image, out, count, weights, dimShift);
    }
#else
    (void)allowSimd;
#endif
    BlendRowPlain(map, image, out, done, count, weights, dimShift);
}

} // namespace vexar
