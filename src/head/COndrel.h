#pragma once
// COndrel: the parameter set of one sonar head, its last reply header, its command packet and
// the buffers its ping passes through.

#include <array>
#include <cstdint>
#include <string>

namespace vexar {

inline constexpr int kHeadCount = 4;
inline constexpr int kElementCount = 16;
inline constexpr int kMaxSamples = 1000;
inline constexpr int kMaxBeams = 480;
inline constexpr int kCommandPacketSize = 27;
inline constexpr int kReplyHeaderSize = 32;
/// The head's base frequency; the settings file keeps the frequency as this plus steps of 50 Hz.
inline constexpr int kBaseFrequencyKHz = 675;

/// Range table in metres, indexed 0..16.
inline constexpr std::array<float, 17> kRangeTable = {1.25f,  2.5f,   5.0f,   10.0f,  20.0f,  30.0f,
                                                      40.0f,  50.0f,  60.0f,  80.0f,  100.0f, 150.0f,
                                                      200.0f, 250.0f, 300.0f, 400.0f, 500.0f};

/// Range in metres -> index into the range table. 2.5 gives 1; the truncated ranges 5..500 give
/// their index; everything else (50 among them) gives 7. Callers holding 1.25 m use index 0.
int RangeToIndex(float rangeM);

/// Range index as the playback step and the data-points command take it: exactly 1.25 m is 0.
int RangeIndexFromMetres(float rangeM);

class COndrel {
public:
    COndrel();
    virtual ~COndrel() = default;
    COndrel(const COndrel&) = default;
    COndrel& operator=(const COndrel&) = default;

    /// Writes the default packet and a range-derived pulse length.
    void ResetCommandPacket();
    /// Encodes the current parameters into bytes 3, 14..19 and 25 and updates the pulse length.
    void BuildCommandPacket();
    /// Pulse length in 10 us units for a range and multiplier, as the packet encodes it.
    static int PulseLengthFor(float rangeM, float multiplier);
    /// Byte 3 of the packet for a range.
    static std::uint8_t RangeCode(float rangeM);
    /// Byte 25 of the packet.
    std::uint8_t FrequencyCode() const;
    /// Decodes the stored reply header copy into header text, head ID, status, type, byte 9.
    void ParseReturnHeader();

    // Parameters and reply fields, in the order of the head's parameter table.
    int m_transducerUp = 0;
    int m_newData = 0;
    int m_headIndex = 0;
    int m_pulseLength = 6; ///< 10 us units
    int m_baseFrequencyKHz = kBaseFrequencyKHz;
    int m_frequencyStep = 0; ///< -100..+100
    int m_azimuth = 0;       ///< tenths of a degree
    int m_displayGain = 50;
    int m_profileFilterType = 1;
    std::uint8_t m_detectProfilePoints = 0;
    std::array<float, kMaxBeams> m_beamProfile{}; ///< profile positions of the last ping, mirrored
    float m_pulseLengthMultiplier = 1.0f;
    std::string m_headerText;
    int m_headId = 0x10;
    int m_status = 0;
    int m_rangeIndex = 3;
    float m_rangeM = 10.0f;
    int m_pingCounter = 0;
    int m_transducerType = 1;
    int m_headerByte9 = 4;
    int m_beamsIndex = 0; ///< 0: 480 beams, 1: 240, 2: 120
    int m_persistence = 0;
    int m_average = 3;
    int m_beams = 120;
    int m_samples = 1000;
    int m_beamWidth = 2;
    float m_processingTimeMs = 0.0f; ///< head 0 only
    int m_displayMode = 2;           ///< 0 polar, 2 beam test
    int m_externalTriggerEnable = 0;
    int m_externalTriggerLevel = 1;
    int m_externalTransmitDelay = 0;

    // Processing settings that have no key or dialog; they keep these defaults.
    int m_quadrantGain = 0; ///< dB, 0..20 ("Gain Q1".."Gain Q4")
    int m_detectionThresholdPct = 25;
    int m_nearLimitCm = 0;
    int m_windowStartMm = 0;
    int m_windowEndMm = 40000;
    float m_sectorWidthDeg = 120.0f;
    float m_rangeCoefficient = 1.0f;

    std::array<std::uint8_t, kCommandPacketSize> m_commandPacket{};
    /// Raw samples of the last ping, channel-major: channel c, sample j at [c * 1000 + j].
    std::array<std::uint16_t, kElementCount * kMaxSamples> m_rawSamples{};
    std::array<std::uint8_t, kReplyHeaderSize> m_replyHeader{};
    std::array<std::uint8_t, 16> m_reserved{};

    /// Head image written by processing: 480 rows of 1000 values, row stride 1000.
    std::array<float, kMaxBeams * kMaxSamples> m_headImage{};
    /// Element status of the last ping: 0 no signal, 1 normal, 2 weak.
    std::array<std::uint8_t, kElementCount> m_elementStatus{};
};

} // namespace vexar
