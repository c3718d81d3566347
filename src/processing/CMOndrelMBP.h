#pragma once
// CMOndrelMBP: the ping processor of one head. It turns the 16 element channels of a head's ping
// into a 0..255 beam image and one profile point per beam, and measures the element levels. It
// forms and averages the beams itself from what its CElementDemodulator makes of the element
// channels; its CBeamReprojector moves the formed beams onto the head image and its
// CProfileFilter picks the profile points.

#include "head/COndrel.h"
#include "processing/BeamKernels.h"
#include "processing/CBeamReprojector.h"
#include "processing/CElementDemodulator.h"
#include "processing/CProfileFilter.h"
#include "processing/ProcessingBuffer.h"

#include <array>
#include <cstdint>

namespace vexar {

/// Averaging can span at most 9 pings, so 9 history slots hold everything it ever reads.
inline constexpr int kAveragingSlots = 9;
inline constexpr float kElementPitchM = 0.0010668f;

class CMOndrelMBP {
public:
    /// Allocates every buffer at its largest size; nothing is allocated afterwards.
    CMOndrelMBP();
    CMOndrelMBP(const CMOndrelMBP&) = delete;
    CMOndrelMBP& operator=(const CMOndrelMBP&) = delete;

    /// Takes beams, samples, frequency, sector width and sound velocity from `settings`, clears
    /// the element, demodulator and averaging state and rebuilds the tables. The gain table is
    /// built only when `current` names the head being processed.
    void InitialiseProcessor(const PingSettings& settings, const COndrel* current = nullptr);
    /// Processes the ping held in `current` with `settings`; `transducerType` is the type the
    /// ping's reply header gives. Writes the whole of the current head's image, its profile and
    /// its element status.
    void ProcessHeadPing(const PingSettings& settings, int transducerType, COndrel& current);
    /// Forgets the pings being averaged.
    void ClearAveraging();
    /// Rebuilds the steering tables for a new sound velocity.
    void RebuildGeometry(float soundVelocityMps);
    /// Picks one echo per beam from the finished beam image with the selected filter.
    void RunProfileFilter(const PingSettings& settings);

    // Read access for the view, the records and the tests.
    int Beams() const { return m_beams; }
    int Samples() const { return m_samples; }
    float BeamStepRad() const { return m_beamStep; }
    /// Angle of beam b relative to the head's axis, radians.
    float BeamAngleRad(int beam) const;
    float SteeringCos(int beam, int element) const { return m_steerCos[Index(beam, element)]; }
    float SteeringSin(int beam, int element) const { return m_steerSin[Index(beam, element)]; }
    /// Phase of element k when steering beam b, radians.
    float SteeringPhase(int beam, int element) const;
    float Gain(int sample) const { return m_elementStage.Gain(sample); }
    /// The finished beam image of the last ping (or of the image the profile filter last ran on).
    float BeamImage(int beam, int sample) const { return ImageRow(beam)[sample]; }
    float ProfilePosition(int beam) const { return m_profileFilter.Position(beam); }
    int ProfileIntensity(int beam) const { return m_profileFilter.Intensity(beam); }
    float ElementLevel(int element) const { return m_elementStage.ElementLevel(element); }
    std::uint8_t ElementStatus(int element) const { return m_elementStage.ElementStatus(element); }
    /// Row of the processor's own beam image, for running the profile filter on a given image.
    float* BeamImageRow(int beam) { return m_image.data() + Row(beam); }

private:
    static std::size_t Row(int row) { return static_cast<std::size_t>(row) * kSampleRowCapacity; }
    static std::size_t Index(int beam, int element) {
        return static_cast<std::size_t>(beam) * kElementCount + static_cast<std::size_t>(element);
    }

    // One step of the ping each.
    void BuildSteeringTables();
    /// Forms, averages and re-projects every beam into the current head's image.
    void FormAndReproject(const PingSettings& settings, COndrel& current);
    /// What the beam-forming kernels need for this ping, averaging over `averaged` pings.
    BeamFormJob PrepareBeamForming(const PingSettings& settings, int averaged);
    void CopyProfileToHead(COndrel& current) const;

    // The finished image is the current head's image read in reverse beam order; the profile
    // filter and the readers see it through this view instead of a copy.
    const float* ImageRow(int beam) const {
        return m_imageRows + static_cast<std::ptrdiff_t>(beam) * m_imageStride;
    }
    void UseOwnImage();
    void UseHeadImage(const COndrel& current);

    /// Runs the selected profile filter on the finished image.
    void RunSelectedFilter(const PingSettings& settings);

    // Geometry and settings of the last initialisation.
    int m_beams = 90;
    int m_samples = 1000;
    int m_frequencyKHz = 675;
    float m_frequencyHz = 675000.0f;
    float m_omega = 0.0f;
    float m_pitch = kElementPitchM;
    float m_sectorWidthDeg = 120.0f;
    float m_halfWidthRad = 0.0f;
    float m_beamStep = 0.0f;
    float m_soundVelocity = 0.0f; ///< velocity the steering tables were built for

    // Remembered settings, compared at every ping.
    int m_averageSeen = 3;
    int m_averageCount = 3;
    int m_ringPosition = 0;
    int m_dirtyBeams = 0; ///< history rows and slots written since the last clear
    int m_dirtySlots = 0;
    int m_transducerType = 1; ///< of the ping being processed
    int m_transducerTypeSeen = 4;
    int m_filterTypeSeen = 1;
    std::uint8_t m_detectSeen = 0;

    const float* m_imageRows = nullptr; ///< row 0 of the finished image
    std::ptrdiff_t m_imageStride = 0;   ///< floats from one beam row to the next

    ProcessingBuffer<float> m_image;      ///< 480 rows, for running the profile filter on a given image
    ProcessingBuffer<float> m_averageSum; ///< 480 rows
    ProcessingBuffer<float> m_history;    ///< 9 slots of 480 rows
    ProcessingBuffer<float> m_steerCos;   ///< 480 x 16
    ProcessingBuffer<float> m_steerSin;   ///< 480 x 16

    alignas(64) std::array<float, 2 * kSampleRowCapacity> m_pairRows{}; ///< the beam pair being formed
    CElementDemodulator m_elementStage;
    CBeamReprojector m_reprojector;
    CProfileFilter m_profileFilter;
};

} // namespace vexar
