#pragma once
// A plain, step-by-step ping processor: no tables kept between pings, no vectors, no threads.
// The tests use it as the oracle for CMOndrelMBP and the benchmark as its baseline.

#include "head/COndrel.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vexar::test {

class ReferenceProcessor {
public:
    static constexpr int kRow = 1024;
    static constexpr int kSlots = 30;

    ReferenceProcessor();

    void InitialiseProcessor(const PingSettings& settings, const COndrel* current = nullptr);
    void ProcessHeadPing(const PingSettings& settings, int transducerType, COndrel& current);
    void ClearAveraging();

    int Beams() const { return m_nBeams; }
    int Samples() const { return m_nSamples; }
    float BeamImage(int beam, int sample) const { return m_image[At(beam, sample)]; }
    float ProfilePosition(int beam) const { return m_profilePos[static_cast<std::size_t>(beam)]; }
    int ProfileIntensity(int beam) const { return m_profileInt[static_cast<std::size_t>(beam)]; }
    float ElementLevel(int k) const { return m_level[static_cast<std::size_t>(k)]; }
    std::uint8_t ElementStatus(int k) const { return m_status[static_cast<std::size_t>(k)]; }
    float Gain(int i) const { return m_tvg[static_cast<std::size_t>(i)]; }
    float SteeringCos(int b, int k) const { return m_cosTable[static_cast<std::size_t>(b * 16 + k)]; }
    float SteeringSin(int b, int k) const { return m_sinTable[static_cast<std::size_t>(b * 16 + k)]; }

private:
    static std::size_t At(int row, int col) {
        return static_cast<std::size_t>(row) * kRow + static_cast<std::size_t>(col);
    }
    void LoadElementSamples(const PingSettings& settings, const COndrel& current);
    void BuildSteeringTables(float c);
    void BuildTvg(const PingSettings& settings, const COndrel& current);
    void Demodulate();
    void ElementLevels(COndrel& current);
    void FormBeams(const PingSettings& settings);
    void Average(const PingSettings& settings);
    void Reproject(const PingSettings& settings, COndrel& current);
    void RunProfileFilter(const PingSettings& settings);
    void Filter0(const PingSettings& settings);
    void Filter1(const PingSettings& settings);
    void Filter2(const PingSettings& settings);
    float Alpha(const PingSettings& settings, int b) const;

    int m_nBeams = 90;
    int m_nSamples = 1000;
    int m_freqKHz = 675;
    float m_freqHz = 0;
    float m_pitch = 0.0010668f;
    float m_widthDeg = 120.0f;
    float m_halfRad = 0;
    float m_delta = 0;
    float m_omega = 0;
    float m_F = 0;
    int m_avgCount = 3;
    int m_avgPrev = 3;
    int m_ring = 0;
    int m_slotsWritten = 0;
    int m_xdcr = 1;
    int m_xdcrSeen = 4;
    int m_filterSeen = 1;
    std::uint8_t m_detectSeen = 0;

    std::vector<float> m_elem, m_I, m_Q, m_out1, m_out2, m_sums, m_tvg;
    std::vector<float> m_image, m_avgSum, m_history, m_cosTable, m_sinTable;
    std::array<float, 36> m_wRe{}, m_wIm{};
    std::array<float, 16> m_level{};
    std::array<std::uint8_t, 16> m_status{};
    std::array<float, 480> m_profilePos{}, m_bottom{};
    std::array<int, 480> m_profileInt{};
};

} // namespace vexar::test
