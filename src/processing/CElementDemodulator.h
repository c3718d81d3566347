#pragma once
// CElementDemodulator: the element stage of a head's ping. It loads the 16 element channels of the
// raw ping, applies the time-varied gain, demodulates every element into I and Q for the beam
// forming and measures the element levels and their status.

#include "head/COndrel.h"
#include "processing/ProcessingBuffer.h"

#include <array>
#include <cstdint>
#include <optional>

namespace vexar {

inline constexpr float kDemodulatorDamping = 0.99995f;

class CElementDemodulator {
public:
    /// Allocates the element and demodulator buffers at their largest size.
    CElementDemodulator();

    /// Clears the element and demodulator state.
    void Clear();
    /// Loads the element channels of `current`'s ping, `samples` of them a channel; a head of any
    /// other type than `transducerType` 4 gives silent elements.
    void LoadElementSamples(const PingSettings& settings, const COndrel& current, int transducerType,
                            int samples);
    /// Builds the gain table for `current`'s head, unless it is built for these settings already.
    void BuildGainTable(const PingSettings& settings, const COndrel& current, int samples);
    /// Demodulates the loaded elements into I and Q.
    void Demodulate(int samples);
    /// Measures the level of every element and writes its status to `current`.
    void MeasureElementLevels(COndrel& current, int samples);

    /// Element I and Q in blocks of 16 samples, as the beam forming reads them.
    const float* Demodulated() const { return m_demod.data(); }
    float Gain(int sample) const { return m_gain[static_cast<std::size_t>(sample)]; }
    float ElementLevel(int element) const { return m_elementLevel[static_cast<std::size_t>(element)]; }
    std::uint8_t ElementStatus(int element) const {
        return m_elementStatus[static_cast<std::size_t>(element)];
    }

private:
    void BuildQuadWeights();

    ProcessingBuffer<float> m_elements; ///< 16 rows
    ProcessingBuffer<float> m_demod;    ///< element I and Q in blocks of 16 samples
    float m_quadStepBase = 0.0f;        ///< F of the quad weights
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
};

} // namespace vexar
