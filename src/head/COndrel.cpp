#include "head/COndrel.h"

#include "common/Numeric.h"

#include <algorithm>

namespace vexar {

COndrel::COndrel() {
    PingSettings settings;
    ResetPulseLength(settings);
    ResetCommandPacket(settings);
}

std::uint8_t COndrel::RangeCode(float rangeM) {
    if (rangeM == 1.25f) {
        return 1;
    }
    if (rangeM == 2.5f) {
        return 2;
    }
    const int metres = TruncToInt(static_cast<double>(rangeM));
    switch (metres) {
    case 250:
        return 0xC9;
    case 300:
        return 0xCA;
    case 400:
        return 0xCB;
    case 500:
        return 0xCC;
    default:
        return LowByte(metres);
    }
}

std::uint8_t COndrel::FrequencyCode(const PingSettings& settings) {
    const double code = (settings.frequencyStep / 10.0 + settings.baseFrequencyKHz - 330) / 5.0 + 100.0 + 0.5;
    return LowByte(TruncToInt(code));
}

void COndrel::ResetCommandPacket(const PingSettings& settings) {
    m_commandPacket.fill(0);
    m_commandPacket[0] = 0xFE;
    m_commandPacket[1] = 0x44;
    m_commandPacket[2] = 0x10;
    m_commandPacket[3] = 0x0A;
    m_commandPacket[14] = LowByte(settings.pulseLength);
    m_commandPacket[19] = 2;
    m_commandPacket[23] = 0x24;
    m_commandPacket[26] = 0xFD;
    m_commandPacket[25] = FrequencyCode(settings);
}

void COndrel::BuildCommandPacket(const PingSettings& settings) {
    m_commandPacket[3] = RangeCode(settings.rangeM);
    m_commandPacket[16] = static_cast<std::uint8_t>((settings.externalTriggerEnable != 0 ? 0x02 : 0x00) |
                                                    (settings.externalTriggerLevel & 0x01));
    m_commandPacket[17] = LowByte(settings.externalTransmitDelay >> 8);
    m_commandPacket[18] = LowByte(settings.externalTransmitDelay);
    m_commandPacket[19] = LowByte(settings.samples / 500 + 1);
    m_commandPacket[14] = LowByte(settings.pulseLength);
    m_commandPacket[15] = 0;
    m_commandPacket[25] = FrequencyCode(settings);
}

void COndrel::ParseReturnHeader() {
    m_headerText.clear();
    for (int i = 0; i < 3 && m_replyHeader[static_cast<std::size_t>(i)] != 0; ++i) {
        m_headerText.push_back(static_cast<char>(m_replyHeader[static_cast<std::size_t>(i)]));
    }
    m_headId = m_replyHeader[3];
    m_status = m_replyHeader[4];
    m_transducerType = m_replyHeader[8];
    m_headerByte9 = m_replyHeader[9];
}

} // namespace vexar
