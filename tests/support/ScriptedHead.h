#pragma once
// A head on the fake link built from the simulated head's scene and reply codec: each request
// is answered with the block of the ping it belongs to, and a fault may change or drop a reply.

#include "head/ReplyData.h"
#include "sim/Scene.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace vexar::test {

/// A head on the fake link built from the simulated head's scene and reply codec.
struct ScriptedHead {
    sim::Scene scene = sim::PlainScene();
    std::unique_ptr<PingBuffer> ping = std::make_unique<PingBuffer>();
    long long pingNumber = -1;
    /// Called for every packet before the reply is built; may change the reply or clear it.
    std::function<void(int block, long long ping, std::vector<std::uint8_t>& reply)> fault;

    std::vector<std::uint8_t> operator()(const std::vector<std::uint8_t>& packet) {
        std::array<std::uint8_t, kCommandPacketSize> bytes{};
        std::copy_n(packet.begin(), std::min<std::size_t>(packet.size(), bytes.size()), bytes.begin());
        const sim::PingGeometry g = sim::GeometryFromPacket(bytes, 1480.0f, 0);
        const int block = bytes[kPacketBlockByte];
        if (block == 0 || pingNumber < 0) {
            ++pingNumber;
            sim::SynthesisePing(scene, g, static_cast<std::uint64_t>(pingNumber), *ping);
        }
        ReplyBlock reply{};
        sim::BuildReply(*ping, block, static_cast<std::uint8_t>(block), sim::ReplyHeaderFields{}, reply);
        std::vector<std::uint8_t> out(reply.begin(), reply.end());
        if (fault) {
            fault(block, pingNumber, out);
        }
        return out;
    }
};

} // namespace vexar::test
