#pragma once
// CProfileFilter: profile-point detection. It picks one echo per beam from a finished beam image
// with the filter the settings select (first return, maximum return or bottom following) and
// keeps the chosen point's position and intensity for every beam.

#include "head/COndrel.h"

#include <array>
#include <cstddef>

namespace vexar {

/// A finished beam image and the fan it covers, as the profile filter reads it.
struct ProfileImage {
    const float* rows = nullptr; ///< row 0 of the image
    std::ptrdiff_t stride = 0;   ///< floats from one beam row to the next (negative: reversed)
    int beams = 0;
    int samples = 0;
    float beamStepRad = 0.0f;  ///< angle between neighbouring beams
    float halfWidthRad = 0.0f; ///< half the sector width
};

class CProfileFilter {
public:
    /// Forgets the bottom followed so far.
    void Reset();
    /// Picks one echo per beam of `image` with the filter `settings` select.
    void Run(const PingSettings& settings, const ProfileImage& image);

    float Position(int beam) const { return m_profilePosition[static_cast<std::size_t>(beam)]; }
    int Intensity(int beam) const { return m_profileIntensity[static_cast<std::size_t>(beam)]; }

private:
    const float* ImageRow(int beam) const {
        return m_image.rows + static_cast<std::ptrdiff_t>(beam) * m_image.stride;
    }
    void RunFirstReturn(const PingSettings& settings);
    void RunMaximumReturn(const PingSettings& settings);
    void RunBottomFollowing(const PingSettings& settings);
    /// Profile points of beams 1..beams-2 from the chosen echoes, outliers dropped.
    void KeepSteadyPoints(const PingSettings& settings);
    float FilterBeamAngleRad(const PingSettings& settings, int beam) const;

    ProfileImage m_image; ///< of the run in progress
    std::array<float, kMaxBeams> m_profilePosition{};
    std::array<int, kMaxBeams> m_profileIntensity{};
    std::array<float, kMaxBeams> m_chosenPosition{};
    std::array<float, kMaxBeams> m_chosenPeak{};
    std::array<float, kMaxBeams> m_bottomRange{};
};

} // namespace vexar
