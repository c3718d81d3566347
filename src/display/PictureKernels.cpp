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

void HoldPlain(std::uint8_t* out, int first, int count, HoldRow hold) {
    if (hold.hold == nullptr) {
        return;
    }
    for (int i = first; i < count; ++i) {
        const float shown = static_cast<float>(out[i]);
        const float h = hold.hold[i] > shown ? hold.hold[i] : shown;
        out[i] = static_cast<std::uint8_t>(static_cast<int>(h));
        const float next = h - hold.decay;
        hold.hold[i] = next > 0.0f ? next : 0.0f;
    }
}

void BlendRowPlain(const std::uint32_t* map, const std::uint8_t* image, std::uint8_t* out, int first,
                   int count, const BlendWeights& weights, int dimShift) {
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
// The map and the holds stream from memory: ask for them well ahead of pixel i.
__attribute__((target("avx2"), always_inline)) inline void PrefetchAhead(const std::uint32_t* map,
                                                                         const float* hold, int i) {
    _mm_prefetch(reinterpret_cast<const char*>(map + i) + 1024, _MM_HINT_T0);
    if (hold != nullptr) {
        _mm_prefetch(reinterpret_cast<const char*>(hold + i) + 1024, _MM_HINT_T0);
    }
}

// The three neighbouring beam bytes of eight pixels, a 32-bit lane each, from the positions in
// bits 0..20 of the codes. Eight scalar loads beat the gather instruction on the processors
// measured.
__attribute__((target("avx2"), always_inline)) inline __m256i LoadBeams(const std::uint8_t* image,
                                                                        __m256i code) {
    const __m256i p = _mm256_and_si256(code, _mm256_set1_epi32(static_cast<int>(kPositionMask)));
    alignas(32) std::uint32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), p);
    const auto word = [&](int k) {
        std::uint32_t w = 0;
        std::memcpy(&w, image + at[k], sizeof w);
        return static_cast<int>(w);
    };
    return _mm256_setr_epi32(word(0), word(1), word(2), word(3), word(4), word(5), word(6), word(7));
}

// Slots 1..16 of one weight as two 8-entry tables, picked by permutes: `index` is the slot - 1,
// `upper` is set where it falls in the second table.
__attribute__((target("avx2"), always_inline)) inline __m256i PickSlot(__m256i low, __m256i high,
                                                                       __m256i index, __m256i upper) {
    return _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(low, index),
                              _mm256_permutevar8x32_epi32(high, index), upper);
}

// 16-bit pairs: (previous, next) against (w0, w2) and (same, 0) against (w1, least); the sum
// >> 8, at least `least`, >> the dimming shift, and 0 where the slot draws nothing.
__attribute__((target("avx2"), always_inline)) inline __m256i
BlendLanes(__m256i beams, __m256i outer, __m256i inner, __m256i t, __m128i shift) {
    const __m256i pairs = _mm256_and_si256(beams, _mm256_set1_epi32(0x00FF00FF));
    const __m256i same = _mm256_and_si256(_mm256_srli_epi32(beams, 8), _mm256_set1_epi32(0xFF));
    __m256i v = _mm256_add_epi32(_mm256_madd_epi16(pairs, outer), _mm256_madd_epi16(same, inner));
    v = _mm256_max_epi32(_mm256_srli_epi32(v, 8), _mm256_srli_epi32(inner, 16));
    const __m256i drawn = _mm256_cmpgt_epi32(t, _mm256_setzero_si256());
    return _mm256_and_si256(_mm256_srl_epi32(v, shift), drawn);
}

// Persistence of eight pixels, the same operations as the plain version: max, truncation,
// subtraction, floor at 0.
__attribute__((target("avx2"), always_inline)) inline __m256i HoldLanes(__m256i v, float* hold,
                                                                        __m256 decay) {
    const __m256 shown = _mm256_cvtepi32_ps(v);
    const __m256 h = _mm256_max_ps(_mm256_loadu_ps(hold), shown);
    _mm256_storeu_ps(hold, _mm256_max_ps(_mm256_sub_ps(h, decay), _mm256_setzero_ps()));
    return _mm256_cvttps_epi32(h);
}

// Byte 0 of each of the eight 32-bit lanes, in order, to out[0..7].
__attribute__((target("avx2"), always_inline)) inline void StoreLowBytes(std::uint8_t* out, __m256i v) {
    // Byte 0 of every 32-bit lane into the first four bytes of each 128-bit half.
    const __m256i pick = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4,
                                          8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i packed = _mm256_shuffle_epi8(v, pick);
    const __m128i bytes =
        _mm_unpacklo_epi32(_mm256_castsi256_si128(packed), _mm256_extracti128_si256(packed, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
}

// Whole groups of eight pixels; returns how many pixels it did (the rest is left to the plain loop).
__attribute__((target("avx2"))) int BlendRowAvx2(const std::uint32_t* map, const std::uint8_t* image,
                                                 std::uint8_t* out, int count, const BlendWeights& weights,
                                                 int dimShift, HoldRow hold) {
    const __m256 decay = _mm256_set1_ps(hold.decay);
    const __m128i shift = _mm_cvtsi32_si128(dimShift);
    // Slots 1..16 as two 8-entry tables picked by permutes; slot 0 is masked to 0 by the blend.
    const __m256i outerLow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights.outer.data() + 1));
    const __m256i outerHigh = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights.outer.data() + 9));
    const __m256i innerLow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights.inner.data() + 1));
    const __m256i innerHigh = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights.inner.data() + 9));
    const __m256i slotMask = _mm256_set1_epi32(static_cast<int>(kSlotMask));
    const __m256i eight = _mm256_set1_epi32(8);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        PrefetchAhead(map, hold.hold, i);
        const __m256i code = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(map + i));
        const __m256i t = _mm256_and_si256(_mm256_srli_epi32(code, 21), slotMask);
        const __m256i beams = LoadBeams(image, code);
        const __m256i index = _mm256_sub_epi32(t, _mm256_set1_epi32(1));
        const __m256i upper = _mm256_cmpeq_epi32(_mm256_and_si256(index, eight), eight);
        const __m256i outer = PickSlot(outerLow, outerHigh, index, upper);
        const __m256i inner = PickSlot(innerLow, innerHigh, index, upper);
        __m256i v = BlendLanes(beams, outer, inner, t, shift);
        if (hold.hold != nullptr) {
            v = HoldLanes(v, hold.hold + i, decay);
        }
        StoreLowBytes(out + i, v);
    }
    return i;
}

// Sixteen floats of a row clamped to bytes: max(v, 0) then min(v, 255), truncated.
__attribute__((target("avx2"))) __m128i ClampSixteen(const float* p) {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 top = _mm256_set1_ps(255.0f);
    const __m256 a = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(p), zero), top);
    const __m256 b = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(p + 8), zero), top);
    const __m256i words = _mm256_packus_epi32(_mm256_cvttps_epi32(a), _mm256_cvttps_epi32(b));
    const __m256i bytes = _mm256_packus_epi16(words, words);
    // Lanes hold a0-3 b0-3 | a4-7 b4-7 (twice): gather them in order.
    const __m256i ordered = _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0));
    return _mm256_castsi256_si128(ordered);
}

// in[r] byte c -> out[c] byte r, by interleaving bytes, words, double words and quad words.
__attribute__((target("avx2"))) void Transpose16(const __m128i* in, __m128i* out) {
    __m128i a[16];
    for (int k = 0; k < 8; ++k) {
        a[k] = _mm_unpacklo_epi8(in[2 * k], in[2 * k + 1]);     // rows 2k, 2k+1; columns 0..7
        a[8 + k] = _mm_unpackhi_epi8(in[2 * k], in[2 * k + 1]); // columns 8..15
    }
    __m128i b[16]; // b[8h + 2m + q]: rows 4m..4m+3, columns 8h+4q..8h+4q+3
    for (int h = 0; h < 2; ++h) {
        for (int m = 0; m < 4; ++m) {
            b[8 * h + 2 * m] = _mm_unpacklo_epi16(a[8 * h + 2 * m], a[8 * h + 2 * m + 1]);
            b[8 * h + 2 * m + 1] = _mm_unpackhi_epi16(a[8 * h + 2 * m], a[8 * h + 2 * m + 1]);
        }
    }
    __m128i c[16]; // c[2p + n]: columns 2p, 2p+1 of rows 8n..8n+7
    for (int h = 0; h < 2; ++h) {
        for (int q = 0; q < 2; ++q) {
            for (int n = 0; n < 2; ++n) {
                const __m128i low = b[8 * h + 2 * (2 * n) + q];
                const __m128i high = b[8 * h + 2 * (2 * n + 1) + q];
                const int p0 = (h * 2 + q) * 2;
                c[2 * p0 + n] = _mm_unpacklo_epi32(low, high);
                c[2 * (p0 + 1) + n] = _mm_unpackhi_epi32(low, high);
            }
        }
    }
    for (int p = 0; p < 8; ++p) {
        out[2 * p] = _mm_unpacklo_epi64(c[2 * p], c[2 * p + 1]);
        out[2 * p + 1] = _mm_unpackhi_epi64(c[2 * p], c[2 * p + 1]);
    }
}

// Whole 16 x 16 blocks; returns the rows and samples done (the rest is left to the plain loop).
__attribute__((target("avx2"))) void ConvertTransposedAvx2(const float* source, std::size_t sourceStride,
                                                           int rows, int samples, std::uint8_t* target,
                                                           std::size_t targetStride) {
    for (int r0 = 0; r0 + 16 <= rows; r0 += 16) {
        for (int s0 = 0; s0 + 16 <= samples; s0 += 16) {
            __m128i in[16];
            for (int k = 0; k < 16; ++k) {
                in[k] = ClampSixteen(source + static_cast<std::size_t>(r0 + k) * sourceStride +
                                     static_cast<std::size_t>(s0));
            }
            __m128i out[16];
            Transpose16(in, out);
            for (int k = 0; k < 16; ++k) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(target +
                                                            static_cast<std::size_t>(s0 + k) * targetStride +
                                                            static_cast<std::size_t>(r0)),
                                 out[k]);
            }
        }
    }
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
    BlendRow(map, image, out, count, weights, dimShift, HoldRow{}, allowSimd);
}

void BlendRow(const std::uint32_t* map, const std::uint8_t* image, std::uint8_t* out, int count,
              const BlendWeights& weights, int dimShift, HoldRow hold, bool allowSimd) {
    int done = 0;
#ifdef VEXAR_HAVE_AVX2_KERNEL
    if (allowSimd && weights.slotCount <= 16 && CpuHasAvx2()) {
        done = BlendRowAvx2(map, image, out, count, weights, dimShift, hold);
    }
#else
    (void)allowSimd;
#endif
    BlendRowPlain(map, image, out, done, count, weights, dimShift);
    HoldPlain(out, done, count, hold);
}

void ConvertTransposed(const float* source, std::size_t sourceStride, int rows, int samples,
                       std::uint8_t* target, std::size_t targetStride, bool allowSimd) {
    const auto clamp = [](float value) {
        const float positive = value > 0.0f ? value : 0.0f;
        return static_cast<std::uint8_t>(static_cast<int>(positive < 255.0f ? positive : 255.0f));
    };
    const auto plain = [&](int r0, int r1, int s0, int s1) {
        for (int r = r0; r < r1; ++r) {
            const float* row = source + static_cast<std::size_t>(r) * sourceStride;
            for (int s = s0; s < s1; ++s) {
                target[static_cast<std::size_t>(s) * targetStride + static_cast<std::size_t>(r)] =
                    clamp(row[s]);
            }
        }
    };
    int blockRows = 0;
    int blockSamples = 0;
#ifdef VEXAR_HAVE_AVX2_KERNEL
    if (allowSimd && CpuHasAvx2()) {
        blockRows = rows - rows % 16;
        blockSamples = samples - samples % 16;
        ConvertTransposedAvx2(source, sourceStride, blockRows, blockSamples, target, targetStride);
    }
#else
    (void)allowSimd;
#endif
    plain(0, blockRows, blockSamples, samples);
    plain(blockRows, rows, 0, samples);
}

} // namespace vexar
