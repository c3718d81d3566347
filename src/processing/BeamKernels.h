#pragma once
// The hot loop of a ping: sub-array beamforming, split-aperture combination and averaging of
// every beam, vectorised across samples. The per-sample arithmetic is the same sequence of
// single-precision operations whatever the vector width, so every machine gets the same image.

#include <cstddef>

namespace vexar {

/// The demodulated elements are stored in blocks of 16 samples: I of the 16 elements, then Q of
/// the 16 elements, so that one step of the beamformer reads 2 KB in one piece.
inline constexpr int kDemodBlockSamples = 16;
inline constexpr std::size_t kDemodBlockFloats = 2 * 16 * kDemodBlockSamples;

inline std::size_t DemodIndex(int element, int sample, bool quadrature) {
    return static_cast<std::size_t>(sample / kDemodBlockSamples) * kDemodBlockFloats +
           (quadrature ? kDemodBlockFloats / 2 : 0) + static_cast<std::size_t>(element * kDemodBlockSamples) +
           static_cast<std::size_t>(sample % kDemodBlockSamples);
}

struct BeamFormJob {
    const float* demod = nullptr;    ///< I and Q in blocks (DemodIndex)
    const float* steerCos = nullptr; ///< beams x 16
    const float* steerSin = nullptr; ///< beams x 16
    float* averageSum = nullptr;     ///< beams rows, stride `rowStride`
    float* history = nullptr;        ///< the history slot being replaced, beams rows
    std::size_t rowStride = 0;
    int beams = 0;
    int samples = 0;
    int formedSamples = 0; ///< samples 0..formedSamples-1 are beamformed (a multiple of 4)
    int lastStored = 0;    ///< the combination stores samples 1..lastStored
    int width = 0;         ///< 0 Wide, 1 Normal, 2 Narrow
    float gainFactor = 0.0f;
    float averageScale = 0.0f;
};

/// The demodulation of the 16 element rows of a ping.
struct DemodulateJob {
    float* elements = nullptr; ///< 16 rows of `rowStride` floats; samples + 4 of each are written
    std::size_t rowStride = 0;
    float* demod = nullptr;        ///< I and Q in blocks (DemodIndex), samples + 4
    const float* gain = nullptr;   ///< time-varied gain by sample
    const float* quadRe = nullptr; ///< quadrature weight by element
    const float* quadIm = nullptr;
    int samples = 0;
    float damping8 = 0.0f;   ///< the damping to the 8th power
    float twiddleRe[4] = {}; ///< bins 1..3 (times the damping)
    float twiddleIm[4] = {};
};

/// Signed logarithmic compression of each element row after the gain, then a damped sliding DFT
/// of length 8 over all elements side by side; bins 1 to 3, weighted and delayed by four
/// samples, go to `demod` and their I + Q mean replaces each row.
void DemodulateElements(const DemodulateJob& job);

/// Forms, combines and averages beams b0 and b1 (b1 may equal b0) into row0 and row1, which must
/// have room for the samples rounded up to 16.
void FormAndAverageBeamPair(const BeamFormJob& job, int b0, int b1, float* row0, float* row1);

/// Averaging alone, when no beams are formed: the rows are set to 0 and averaged.
void AverageBeamPair(const BeamFormJob& job, int b0, int b1, float* row0, float* row1);

/// target[x] = max(target[x], min(source[x], 255)) for x < length; neither holds NaN.
void MaxClampedInto(float* target, const float* source, int length);

/// The combination of one sample, as the kernels compute it: in-phase cross product of the two
/// sub-array sums times `gainFactor` and the coherence weight of `width`; never below 0.
float CombineSample(float aRe, float aIm, float bRe, float bIm, int width, float gainFactor);

/// Name of the instruction set the kernels run with on this machine.
const char* BeamKernelIsa();

} // namespace vexar
