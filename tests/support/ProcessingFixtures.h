#pragma once
// Ping settings and pings shared by the processing tests.

#include "head/COndrel.h"
#include "support/ElementSynth.h"

#include <cstdint>
#include <random>

namespace vexar::test {

/// The transducer type of a head that sends its element data (the reply header's byte 8).
inline constexpr int kElementDataType = 4;

/// Ping settings of `beams` x `samples` at `rangeM`, element data on.
inline PingSettings ProcessingSettings(int beams, int samples, float rangeM = 10.0f) {
    PingSettings settings;
    settings.transducerUp = 0;
    settings.beams = beams;
    settings.beamsIndex = beams == 480 ? 0 : beams == 240 ? 1 : 2;
    settings.samples = samples;
    settings.rangeM = rangeM;
    settings.beamWidth = 2;
    settings.average = 1;
    settings.displayGain = 50;
    settings.detectProfilePoints = 1;
    settings.profileFilterType = 1;
    return settings;
}

/// A ping of a few random targets in noise, different for every seed.
inline void RandomScene(COndrel& head, const SynthSettings& base, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> bearing(-1.0f, 1.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    SynthSettings settings = base;
    settings.seed = seed;
    settings.noiseAmplitude = 50.0f + 2000.0f * unit(rng);
    std::vector<PointTarget> targets;
    const int count = 2 + static_cast<int>(rng() % 4);
    for (int t = 0; t < count; ++t) {
        PointTarget target;
        target.bearingRad = bearing(rng);
        target.rangeM = settings.rangeM * (0.1f + 0.85f * unit(rng));
        target.amplitude = 500.0f + 15000.0f * unit(rng);
        target.pulseSamples = 8 + static_cast<int>(rng() % 40);
        targets.push_back(target);
    }
    SynthesiseHead(head, targets, settings);
}

} // namespace vexar::test
