#include "head/ReplyData.h"

#include <algorithm>
#include <cstring>

namespace vexar {

int BlocksPerPingFor(int samples) {
    return std::clamp(samples * 128 / 1000, 0, kMaxBlocksPerPing);
}

void StoreBlockPayload(const ReplyBlock& reply, int blockIndex, PingBuffer& ping) {
    if (blockIndex < 0 || blockIndex >= kMaxBlocksPerPing) {
        return;
    }
    std::memcpy(ping.data() + static_cast<std::size_t>(blockIndex) * kReplyPayloadSize,
                reply.data() + kReplyPayloadOffset, kReplyPayloadSize);
}

bool IsScrambled(std::span<const std::uint8_t, kReplyHeaderSize> header) {
    return (header[kReplyModeByte] & 0xF0) == 0x40;
}

void DeinterleavePing(const PingBuffer& ping, int samples, std::array<COndrel, kHeadCount>& heads) {
    const int count = std::clamp(samples, 0, kMaxSamples);
    const std::uint8_t* bytes = ping.data();
    for (int j = 0; j < count; ++j) {
        for (int h = 0; h < kHeadCount; ++h) {
            std::uint16_t* raw = heads[static_cast<std::size_t>(h)].m_rawSamples.data() + j;
            const std::uint8_t* pair = bytes + static_cast<std::size_t>((j * 4 + h) * 16) * 2;
            for (int c = 0; c < kElementCount; ++c) {
                raw[static_cast<std::size_t>(c * kMaxSamples)] =
                    static_cast<std::uint16_t>(pair[2 * c] << 8 | pair[2 * c + 1]);
            }
        }
    }
}

} // namespace vexar
