#include "support/ElementSynth.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace vexar::test {

float SampleOf(float rangeM, const SynthSettings& settings) {
    return rangeM * static_cast<float>(settings.samples) / settings.rangeM;
}

void SynthesiseHead(COndrel& head, const std::vector<PointTarget>& targets, const SynthSettings& settings) {
    constexpr double kPi = 3.14159265358979;
    constexpr double kCarrier = kPi / 4.0; // radians per sample
    const double omega = 2.0 * kPi * settings.frequencyKHz * 1000.0;
    std::mt19937 rng(settings.seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<double> field(static_cast<std::size_t>(kElementCount) * kMaxSamples, 0.0);
    for (const PointTarget& target : targets) {
        const double centre = SampleOf(target.rangeM, settings);
        const double delay = std::sin(static_cast<double>(target.bearingRad)) * 0.0010668 /
                             static_cast<double>(settings.soundVelocityMps);
        for (int k = 0; k < kElementCount; ++k) {
            // The beamformer adds the phase (k - 7.5) * delay * omega: the wave brings its negative.
            const double phase = static_cast<double>(target.phaseRad) - (k - 7.5) * delay * omega;
            for (int n = 0; n < settings.samples; ++n) {
                const double offset = (n - centre) / target.pulseSamples;
                if (std::fabs(offset) >= 0.5) {
                    continue;
                }
                const double envelope = 0.5 + 0.5 * std::cos(2.0 * kPi * offset);
                field[static_cast<std::size_t>(k * kMaxSamples + n)] +=
                    static_cast<double>(target.amplitude) * envelope * std::cos(kCarrier * n + phase);
            }
        }
    }
    for (int k = 0; k < kElementCount; ++k) {
        // An inverted head sees element k on channel 15 - k.
        const int channel = settings.transducerUp ? kElementCount - 1 - k : k;
        for (int n = 0; n < kMaxSamples; ++n) {
            std::uint16_t value = settings.unusedSlotValue;
            if (n < settings.samples) {
                const double v = 32768.0 + field[static_cast<std::size_t>(k * kMaxSamples + n)] +
                                 static_cast<double>(settings.noiseAmplitude) * noise(rng);
                value = static_cast<std::uint16_t>(std::clamp(std::lround(v), 0L, 65535L));
            }
            head.m_rawSamples[static_cast<std::size_t>(channel * kMaxSamples + n)] = value;
        }
    }
}

void RandomRawSamples(COndrel& head, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> any(0, 65535);
    for (std::uint16_t& v : head.m_rawSamples) {
        v = static_cast<std::uint16_t>(any(rng));
    }
}

} // namespace vexar::test
