#include "head/SampleBytes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexar {

// Sixteen samples at a time where the machine has SSE2 (every x86-64): the compiler leaves the
// narrowing loop scalar, and a beam record is 1.44 million samples.
void SampleBytes(const float* in, std::uint8_t* out, std::size_t count) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    for (; i + 16 <= count; i += 16) {
        // Truncation gives 0x80000000 for NaN and for values no int can hold: its low byte is 0.
        const __m128i a = _mm_and_si128(_mm_cvttps_epi32(_mm_loadu_ps(in + i)), lowByte);
        const __m128i b = _mm_and_si128(_mm_cvttps_epi32(_mm_loadu_ps(in + i + 4)), lowByte);
        const __m128i c = _mm_and_si128(_mm_cvttps_epi32(_mm_loadu_ps(in + i + 8)), lowByte);
        const __m128i d = _mm_and_si128(_mm_cvttps_epi32(_mm_loadu_ps(in + i + 12)), lowByte);
        // 0..255 pass both packs unchanged.
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
    }
#endif
    for (; i < count; ++i) {
        out[i] = SampleByte(in[i]);
    }
}

} // namespace vexar
