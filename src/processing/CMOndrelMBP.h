#pragma once
// CMOndrelMBP: the ping processor of one head. It turns the 16 element channels of a head's ping
// into a 0..255 beam image and one profile point per beam, and measures the element levels.

#include "head/COndrel.h"
#include "processing/BeamKernels.h"
#include "processing/ProcessingBuffer.h"

#include <array>
#include <cstdint>
#include <optional>

namespace vexar {

inline constexpr int kSampleRowCapacity = 1024;
/// Averaging can span at most 9 pings, so 9 history slots hold everything it ever reads.
inline constexpr int kAveragingSlots = 9;
inline constexpr float kElementPitchM = 0.0010668f;
inline constexpr float kHeadOffsetM = 0.07f;
inline constexpr float kDemodulatorDamping = 0.99995f;

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
    float Gain(int sample) const { return m_gain[static_cast<std::size_t>(sample)]; }
    /// The finished beam image of the last ping (or of the image the profile filter last ran on).
    float BeamImage(int beam, int sample) const { return ImageRow(beam)[sample]; }
    float ProfilePosition(int beam) const { return m_profilePosition[static_cast<std::size_t>(beam)]; }
    int ProfileIntensity(int beam) const { return m_profileIntensity[static_cast<std::size_t>(beam)]; }
    float ElementLevel(int element) const { return m_elementLevel[static_cast<std::size_t>(element)]; }
    std::uint8_t ElementStatus(int element) const {
        return m_elementStatus[static_cast<std::size_t>(element)];
    }
    /// Row of the processor's own beam image, for running the profile filter on a given image.
    float* BeamImageRow(int beam) { return m_image.data() + Row(beam); }

private:
    static std::size_t Row(int row) { return static_cast<std::size_t>(row) * kSampleRowCapacity; }
    static std::size_t Index(int beam, int element) {
        return static_cast<std::size_t>(beam) * kElementCount + static_cast<std::size_t>(element);
    }

    // One step of the ping each.
    void LoadElementSamples(const PingSettings& settings, const COndrel& current);
    void BuildSteeringTables();
    void BuildGainTable(const PingSettings& settings, const COndrel& current);
    void BuildQuadWeights();
    void Demodulate();
    void MeasureElementLevels(COndrel& current);
    /// Forms, averages and re-projects every beam into the current head's image.
    void FormAndReproject(const PingSettings& settings, COndrel& current);
    /// What the beam-forming kernels need for this ping, averaging over `averaged` pings.
    BeamFormJob PrepareBeamForming(const PingSettings& settings, int averaged);
    /// Empties the head image rows no echo reached, and hands the image to the readers.
    void ClearUntouchedRows(COndrel& current);
    void ReprojectPair(COndrel& current, int pair, const float* source1, const float* source2);
    /// Row of the head image, cleared on first use in a ping.
    float* HeadRow(COndrel& current, int row);
    void BuildReprojectionTable(float rangeM);
    void CopyProfileToHead(COndrel& current) const;

    // The finished image is the current head's image read in reverse beam order; the profile
    // filter and the readers see it through this view instead of a copy.
    const float* ImageRow(int beam) const {
        return m_imageRows + static_cast<std::ptrdiff_t>(beam) * m_imageStride;
    }
    void UseOwnImage();
    void UseHeadImage(const COndrel& current);

    // Profile filters.
    void RunSelectedFilter(const PingSettings& settings);
    void RunFirstReturn(const PingSettings& settings);
    void RunMaximumReturn(const PingSettings& settings);
    void RunBottomFollowing(const PingSettings& settings);
    /// Profile points of beams 1..beams-2 from the chosen echoes, outliers dropped.
    void KeepSteadyPoints(const PingSettings& settings);
    float FilterBeamAngleRad(const PingSettings& settings, int beam) const;

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
    float m_quadStepBase = 0.0f;  ///< F of the quad weights

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

    // Re-projection table: for each beam pair, runs of samples that land on consecutive columns
    // of one target beam pair (the map is close to the identity, so runs are long).
    struct ReprojRun {
        std::int16_t firstSample;
        std::int16_t length;
        std::int16_t offset; ///< target beam offset a
        std::int16_t column; ///< target column of the first sample
    };
    int m_reprojBeams = -1;
    int m_reprojSamples = -1;
    float m_reprojRange = -1.0f;

    const float* m_imageRows = nullptr; ///< row 0 of the finished image
    std::ptrdiff_t m_imageStride = 0;   ///< floats from one beam row to the next

    ProcessingBuffer<float> m_elements;       ///< 16 rows
    ProcessingBuffer<float> m_demod;          ///< element I and Q in blocks of 16 samples
    ProcessingBuffer<float> m_image;          ///< 480 rows, for running the profile filter on a given image
    ProcessingBuffer<float> m_averageSum;     ///< 480 rows
    ProcessingBuffer<float> m_history;        ///< 9 slots of 480 rows
    ProcessingBuffer<float> m_steerCos;       ///< 480 x 16
    ProcessingBuffer<float> m_steerSin;       ///< 480 x 16
    ProcessingBuffer<ReprojRun> m_reprojRuns; ///< at most one run per sample of every pair
    std::array<int, kMaxBeams / 2 + 1> m_reprojRowStart{}; ///< runs of pair i: [start[i], start[i + 1])

    alignas(64) std::array<float, 2 * kSampleRowCapacity> m_pairRows{}; ///< the beam pair being formed
    std::array<bool, kMaxBeams> m_rowCleared{};
    int m_headRowsUsed = kMaxBeams; ///< head image rows that may hold anything but zeros
    std::array<float, kSampleRowCapacity> m_gain{};
    struct GainKey {
        float rangeM;
        int samples;
        int quadrantGain;
        int startGainDb;
        bool operator==(const GainKey&) const = default;
    };
    std::optional<GainKey> m_gainKey; ///< what m_gain was built for
    std::array<float, 36> m_quadRe{};
    std::array<float, 36> m_quadIm{};
    std::array<float, kElementCount> m_elementLevel{};
    std::array<std::uint8_t, kElementCount> m_elementStatus{};
    std::array<float, kMaxBeams> m_profilePosition{};
    std::array<int, kMaxBeams> m_profileIntensity{};
    std::array<float, kMaxBeams> m_chosenPosition{};
    std::array<float, kMaxBeams> m_chosenPeak{};
    std::array<float, kMaxBeams> m_bottomRange{};
};

} // namespace vexar
