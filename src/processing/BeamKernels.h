#pragma once
// The hot loop of a ping: sub-array beamforming, split-aperture combination and averaging of
// every beam, vectorised across samples. The per-sample arithmetic is the same sequence of
// single-precision operations whatever the vector width, so every machine gets the same image.

#include <cstddef>

namespace vexar {

struct BeamFormJob {
    const float* demodI = nullptr;   ///< 16 rows, stride `rowStride`
    const float* demodQ = nullptr;   ///< 16 rows, stride `rowStride`
    const float* steerCos = nullptr; ///< beams x 16
    const float* steerSin = nullptr; ///< beams x 16
    float* image = nullptr;          ///< beams rows, stride `rowStride`
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

/// Forms, combines and averages beams 0..beams-1 into `image`; rows must have room for the
/// samples rounded up to 16.
void FormAndAverageBeams(const BeamFormJob& job);

/// Averaging alone (used when no beams are formed): image rows are 0 on entry.
void AverageImage(const BeamFormJob& job);

/// The combination of one sample, as the kernels compute it: in-phase cross product of the two
/// sub-array sums times `gainFactor` and the coherence weight of `width`; never below 0.
float CombineSample(float aRe, float aIm, float bRe, float bIm, int width, float gainFactor);

/// Name of the instruction set the kernels run with on this machine.
const char* BeamKernelIsa();

} // namespace vexar
