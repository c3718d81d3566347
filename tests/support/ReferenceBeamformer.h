#pragma once
// A plain reference of the console's beamforming front end, for tests of the simulated head's
// scene: element loading (with the reversal of an inverted head), signed log compression at unit
// gain, the damped 8-point sliding DFT with bins 1..3 and the quad weights, and Hamming-weighted
// phase steering of the two 8-element sub-arrays. It stops at the in-phase cross product of the
// two sub-array beams; no time-varied gain, coherence weighting, averaging or re-projection.

#include "sim/Scene.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vexar::test {

class ReferenceBeamformer {
public:
    ReferenceBeamformer(const sim::PingGeometry& geometry, int beams) : m_g(geometry), m_beams(beams) {}

    /// Steering angle of beam b in degrees, for a 120-degree fan.
    float BeamAngleDeg(int b) const;

    /// In-phase cross product P[beam][sample] of one head's channel-major raw samples.
    std::vector<std::vector<float>> Form(std::span<const std::uint16_t> raw) const;

private:
    void Demodulate(int k, const std::vector<float>& x, std::vector<float>& iOut,
                    std::vector<float>& qOut) const;

    sim::PingGeometry m_g;
    int m_beams;
};

} // namespace vexar::test
