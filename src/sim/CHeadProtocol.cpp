#include "sim/CHeadProtocol.h"

#include <algorithm>
#include <cstring>

namespace vexar::sim {

namespace {
bool AnyMatches(const std::vector<BlockFault>& faults, int block, long long ping) {
    return std::any_of(faults.begin(), faults.end(),
                       [&](const BlockFault& f) { return f.Matches(block, ping); });
}
} // namespace

bool TakeCommandPacket(std::span<const std::uint8_t> bytes, std::size_t& at,
                       std::array<std::uint8_t, kCommandPacketSize>& packet) {
    constexpr auto kSize = static_cast<std::size_t>(kCommandPacketSize);
    for (;;) {
        const auto start = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at, bytes.size())),
                                     bytes.end(), kPacketStartByte);
        at = static_cast<std::size_t>(start - bytes.begin());
        if (bytes.size() - at < kSize) {
            return false;
        }
        if (bytes[at + kSize - 1] != kPacketEndByte) {
            ++at;
            continue;
        }
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), kSize, packet.begin());
        at += kSize;
        return true;
    }
}

CHeadProtocol::CHeadProtocol(Scene scene, ReplyHeaderFields header, float soundVelocity, int transducerUp,
                             HeadFaults faults)
    : m_scene(std::move(scene)), m_header(std::move(header)), m_soundVelocity(soundVelocity),
      m_transducerUp(transducerUp), m_faults(std::move(faults)), m_ping(std::make_unique<PingBuffer>()),
      m_random(m_faults.garbageSeed * 0x9E3779B97F4A7C15ull + 0xD1B54A32D192ED03ull) {}

void CHeadProtocol::Restart(HeadFaults faults, int transducerUp) {
    m_faults = std::move(faults);
    m_transducerUp = transducerUp;
    m_pingNumber = -1;
    m_requests = 0;
    m_random = m_faults.garbageSeed * 0x9E3779B97F4A7C15ull + 0xD1B54A32D192ED03ull;
}

// splitmix64: reproducible garbage for a given seed, whatever the platform.
std::uint64_t CHeadProtocol::NextRandom() {
    std::uint64_t z = (m_random += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool CHeadProtocol::GarbageDue() {
    if (!(m_faults.garbageRate > 0.0)) {
        return false;
    }
    if (m_faults.garbageRequests > 0 && m_requests > m_faults.garbageRequests) {
        return false;
    }
    const double draw = static_cast<double>(NextRandom() >> 11) * (1.0 / 9007199254740992.0);
    return draw < m_faults.garbageRate;
}

HeadAnswer CHeadProtocol::Answer(std::span<const std::uint8_t, kCommandPacketSize> packet) {
    HeadAnswer answer;
    Answer(packet, answer);
    return answer;
}

void CHeadProtocol::Answer(std::span<const std::uint8_t, kCommandPacketSize> packet, HeadAnswer& answer) {
    ++m_requests;
    answer.kind = HeadAnswer::Kind::Reply;
    answer.bytes.clear();
    answer.newPing = false;
    answer.lastBlock = false;
    const PingGeometry geometry = GeometryFromPacket(packet, m_soundVelocity, m_transducerUp);
    answer.block = packet[kPacketBlockByte];
    // Every request sequence that starts at block 0 is a new transmission.
    if (answer.block == 0 || m_pingNumber < 0) {
        ++m_pingNumber;
        answer.newPing = true;
        if (m_sceneOfPing) {
            m_scene = m_sceneOfPing(m_pingNumber);
        }
        SynthesisePing(m_scene, geometry, static_cast<std::uint64_t>(m_pingNumber), *m_ping, m_scratch);
    }
    answer.ping = m_pingNumber;

    if (GarbageDue()) {
        answer.kind = HeadAnswer::Kind::Garbage;
        std::size_t length = 0;
        switch (NextRandom() % 3) {
        case 0:
            length = kReplyBlockSize;
            break;
        case 1:
            length = 1 + NextRandom() % kMaxGarbageBytes;
            break;
        default:
            break; // nothing at all
        }
        answer.bytes.resize(length);
        for (std::uint8_t& byte : answer.bytes) {
            byte = static_cast<std::uint8_t>(NextRandom());
        }
        return;
    }
    if (AnyMatches(m_faults.silences, answer.block, m_pingNumber)) {
        answer.kind = HeadAnswer::Kind::Silence;
        return;
    }
    const bool wrong = AnyMatches(m_faults.wrongEchoes, answer.block, m_pingNumber);
    ReplyBlock reply{};
    BuildReply(*m_ping, answer.block, static_cast<std::uint8_t>(wrong ? answer.block + 1 : answer.block),
               m_header, reply);
    if (AnyMatches(m_faults.cutOffs, answer.block, m_pingNumber)) {
        answer.kind = HeadAnswer::Kind::CutOff;
        answer.bytes.assign(reply.begin(), reply.begin() + kReplyBlockSize / 2);
        return;
    }
    answer.bytes.assign(reply.begin(), reply.end());
    answer.lastBlock = answer.block == BlocksPerPingFor(geometry.samples) - 1;
}

} // namespace vexar::sim
