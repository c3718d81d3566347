#pragma once
// The samples of a beam record: picture values as bytes.

#include <cstddef>
#include <cstdint>

namespace vexar {

/// Float to byte as the picture stores it: truncated toward zero, low 8 bits; values no int can
/// hold give 0.
inline std::uint8_t SampleByte(float value) {
    const float safe = (value > -2147483648.0f && value < 2147483648.0f) ? value : 0.0f;
    return static_cast<std::uint8_t>(static_cast<unsigned>(static_cast<int>(safe)) & 0xFFu);
}

/// SampleByte over `count` samples.
void SampleBytes(const float* in, std::uint8_t* out, std::size_t count);

} // namespace vexar
