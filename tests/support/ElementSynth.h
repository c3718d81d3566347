#pragma once
// Element samples of synthetic echoes for one head: each point target is a short tone burst whose
// phase across the 16 elements is that of a plane wave from the target's bearing, on the carrier
// the demodulator listens to (an eighth of the sample rate).

#include "head/COndrel.h"

#include <cstdint>
#include <vector>

namespace vexar::test {

struct PointTarget {
    float bearingRad = 0.0f;    ///< from the head's axis, positive towards the high beams
    float rangeM = 5.0f;        ///< from the head
    float amplitude = 12000.0f; ///< counts around 32768
    int pulseSamples = 16;      ///< length of the burst
    float phaseRad = 0.0f;      ///< carrier phase of the echo (scatterers of a seabed differ)
};

struct SynthSettings {
    float rangeM = 10.0f;
    int samples = 1000;
    float soundVelocityMps = 1480.0f;
    int frequencyKHz = 675;
    bool transducerUp = false;   ///< the head is inverted: its channels run the other way
    float noiseAmplitude = 0.0f; ///< uniform noise, counts
    std::uint32_t seed = 1;
    std::uint16_t unusedSlotValue = 32768; ///< written to the slots past the sample count
};

/// Sample index of a range.
float SampleOf(float rangeM, const SynthSettings& settings);

/// Writes the 16 x 1000 raw sample block of `head`.
void SynthesiseHead(COndrel& head, const std::vector<PointTarget>& targets, const SynthSettings& settings);

/// Fills the block with uniform random values over the whole 16-bit range.
void RandomRawSamples(COndrel& head, std::uint32_t seed);

} // namespace vexar::test
