#include "head/COndrel.h"

#include "common/Numeric.h"

#include <algorithm>

namespace vexar {

int RangeToIndex(float rangeM) {
    if (rangeM == 2.5f) {
        return 1;
    }
    switch (TruncToInt(static_cast<double>(rangeM))) {
    case 5:
        return 2;
    case 10:
        return 3;
    case 20:
        return 4;
    case 30:
        return 5;
    case 40:
        return 6;
    case 60:
        return 8;
    case 80:
        return 9;
    case 100:
        return 10;
    case 150:
        return 11;
    case 200:
        return 12;
    case 250:
        return 13;
    case 300:
        return 14;
    case 400:
        return 15;
    case 500:
        return 16;
    default:
        return 7;
    }
}

int RangeIndexFromMetres(float rangeM) {
    return rangeM == 1.25f ? 0 : RangeToIndex(rangeM);
}

COndrel::COndrel() {
    ResetCommandPacket();
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

int COndrel::PulseLengthFor(float rangeM, float multiplier) {
    const double m = static_cast<double>(multiplier);
    int pulse = std::min(TruncToInt(static_cast<double>(rangeM) * 6.0 * m + 0.5), 65535) / 10;
    if (rangeM < 5.0f) {
        pulse = TruncToInt((m * 20.0 + 0.5) / 10.0);
    }
    if (rangeM < 2.5f) {
        pulse = TruncToInt((m * 10.0 + 0.5) / 10.0);
    }
    return pulse;
}

std::uint8_t COndrel::FrequencyCode() const {
    const double code = (m_frequencyStep / 10.0 + m_baseFrequencyKHz - 330) / 5.0 + 100.0 + 0.5;
    return LowByte(TruncToInt(code));
}

void COndrel::ResetCommandPacket() {
    m_commandPacket.fill(0);
    m_commandPacket[0] = 0xFE;
    m_commandPacket[1] = 0x44;
    m_commandPacket[2] = 0x10;
    m_commandPacket[3] = 0x0A;
    m_pulseLength = std::min(TruncToInt(static_cast<double>(m_rangeM) * 6.0), 65535) / 10;
    m_commandPacket[14] = LowByte(m_pulseLength);
    m_commandPacket[19] = 2;
    m_commandPacket[23] = 0x24;
    m_commandPacket[26] = 0xFD;
    m_commandPacket[25] = FrequencyCode();
}

void COndrel::BuildCommandPacket() {
    m_commandPacket[3] = RangeCode(m_rangeM);
    m_commandPacket[16] = static_cast<std::uint8_t>((m_externalTriggerEnable != 0 ? 0x02 : 0x00) |
                                                    (m_externalTriggerLevel & 0x01));
    m_commandPacket[17] = LowByte(m_externalTransmitDelay >> 8);
    m_commandPacket[18] = LowByte(m_externalTransmitDelay);
    m_commandPacket[19] = LowByte(m_samples / 500 + 1);
    if (m_samples == 500 && !(m_pulseLengthMultiplier > 1.0f)) {
        m_pulseLengthMultiplier = 1.0f;
    }
    m_pulseLength = PulseLengthFor(m_rangeM, m_pulseLengthMultiplier);
    m_commandPacket[14] = LowByte(m_pulseLength);
    m_commandPacket[15] = 0;
    m_commandPacket[25] = FrequencyCode();
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
