#pragma once
// COndrel: one sonar head's share of a ping: its last reply header and the fields decoded from
// it, its command packet and the buffers its ping passes through. The parameters the ping is
// requested and processed with are the document's one PingSettings value.

#include "head/PingSettings.h"

#include <array>
#include <cstdint>
#include <string>

namespace vexar {

inline constexpr int kElementCount = 16;
inline constexpr int kMaxSamples = 1000;
inline constexpr int kMaxBeams = 480;
inline constexpr int kCommandPacketSize = 27;
inline constexpr int kReplyHeaderSize = 32;
/// Rows of the combined image of a ping: the four heads side by side, with room to spare.
inline constexpr int kCombinedBeams = 1920;
/// Rows after the full circle that repeat its first rows, for the picture's interpolation.
inline constexpr int kWrapMarginRows = 10;

class COndrel {
public:
    COndrel();
    virtual ~COndrel() = default;
    COndrel(const COndrel&) = default;
    COndrel& operator=(const COndrel&) = default;

    /// Writes the default packet for the settings (their pulse length as ResetPulseLength left it).
    void ResetCommandPacket(const PingSettings& settings);
    /// Encodes the settings into bytes 3, 14..19 and 25 (after ApplyPacketRules).
    void BuildCommandPacket(const PingSettings& settings);
    /// Byte 3 of the packet for a range.
    static std::uint8_t RangeCode(float rangeM);
    /// Byte 25 of the packet.
    static std::uint8_t FrequencyCode(const PingSettings& settings);
    /// Decodes the stored reply header copy into header text, head ID, status, type, byte 9.
    void ParseReturnHeader();

    int m_newData = 0;
    int m_headIndex = 0;
    std::array<float, kMaxBeams> m_beamProfile{}; ///< profile positions of the last ping, mirrored
    std::string m_headerText;
    int m_headId = 0x10;
    int m_status = 0;
    int m_pingCounter = 0;
    int m_transducerType = 1;
    int m_headerByte9 = 4;

    std::array<std::uint8_t, kCommandPacketSize> m_commandPacket{};
    /// Raw samples of the last ping, channel-major: channel c, sample j at [c * 1000 + j].
    std::array<std::uint16_t, kElementCount * kMaxSamples> m_rawSamples{};
    std::array<std::uint8_t, kReplyHeaderSize> m_replyHeader{};

    /// Head image written by processing: 480 rows of 1000 values, row stride 1000.
    std::array<float, kMaxBeams * kMaxSamples> m_headImage{};
    /// Element status of the last ping: 0 no signal, 1 normal, 2 weak.
    std::array<std::uint8_t, kElementCount> m_elementStatus{};
};

} // namespace vexar
