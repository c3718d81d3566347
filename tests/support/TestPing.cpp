#include "support/TestPing.h"

namespace vexar::test {

TestPing::TestPing() : m_payloads(std::make_unique<PingBuffer>()), m_reply(std::make_unique<ReplyBlock>()) {
    for (std::size_t i = 0; i < m_payloads->size(); i += 2) {
        (*m_payloads)[i] = 0x80; // 32768, big-endian
        (*m_payloads)[i + 1] = 0x00;
    }
    m_reply->fill(0);
    (*m_reply)[0] = 'S';
    (*m_reply)[1] = 'O';
    (*m_reply)[2] = 'N';
    (*m_reply)[3] = 0x10;
    (*m_reply)[8] = 4;
    (*m_reply)[9] = 4;
}

void TestPing::SetRawSamples(int head, std::span<const std::uint16_t> raw) {
    // Sample j of head h, channel c is the big-endian word at ((j * 4 + h) * 16 + c) * 2.
    for (int j = 0; j < kMaxSamples; ++j) {
        for (int c = 0; c < kElementCount; ++c) {
            const std::size_t from = static_cast<std::size_t>(c * kMaxSamples + j);
            const std::uint16_t value = from < raw.size() ? raw[from] : std::uint16_t{32768};
            const std::size_t at =
                static_cast<std::size_t>(((j * kHeadCount + head) * kElementCount + c) * 2);
            (*m_payloads)[at] = static_cast<std::uint8_t>(value >> 8);
            (*m_payloads)[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
        }
    }
}

void TestPing::SetTransducerType(int type) {
    (*m_reply)[8] = static_cast<std::uint8_t>(type);
}

PingInput TestPing::Input(const PingSettings& settings) const {
    PingInput input;
    input.payloads = m_payloads.get();
    input.lastReply = m_reply.get();
    input.settings = settings;
    return input;
}

void TestPing::EnterInto(CTamsorDoc& doc, const PingSettings& settings) const {
    doc.EnterPing(Input(settings));
}

} // namespace vexar::test
