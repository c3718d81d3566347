// The simulated head's handling of what a peer sends: bytes of any content, arriving in reads of
// any size, with faults of every kind switched on. A test peer that falls over on a bad request
// would hide the console's faults. Every packet taken is framed as a packet, every answer is what
// its kind promises, and no more than a packet's worth of bytes is ever left waiting. The bytes
// wait in a fixed buffer and each answer is written over the last, so that a run costs the head's
// own work.
//
// Input: 4 bytes of setup (faults at a block, garbage share, read size), then the bytes sent.

#include "sim/CHeadProtocol.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    // One head for every input, restarted with the input's faults: it keeps its ping buffer and
    // its synthesis buffers. One reflector and no noise: every ping is synthesised, and noise
    // would cost most of it.
    static vexar::sim::CHeadProtocol head(
        [] {
            vexar::sim::Scene scene;
            scene.points.push_back({30.0f, 3.0f, 1.0f});
            scene.noise = 0.0f;
            return scene;
        }(),
        vexar::sim::ReplyHeaderFields{}, 1480.0f, 0, vexar::sim::HeadFaults{});
    vexar::sim::HeadFaults faults;
    const int faultBlock = data[0] % 130;
    switch (data[1] % 4) {
    case 0:
        faults.silences.push_back({faultBlock, -1});
        break;
    case 1:
        faults.wrongEchoes.push_back({faultBlock, -1});
        break;
    case 2:
        faults.cutOffs.push_back({faultBlock, data[1] / 4 % 3});
        break;
    default:
        break;
    }
    faults.garbageRate = data[2] / 255.0;
    faults.garbageRequests = data[1] / 16;
    faults.garbageSeed = data[0];
    head.Restart(faults, data[3] & 1);
    const std::size_t readSize = 1 + data[3] / 2;

    const std::span<const std::uint8_t> sent(data + 4, size - 4);
    // What has arrived and was not taken yet: less than a packet, plus one read of 128 bytes at
    // the most. A fixed buffer, so that a read of one byte costs a copy of one byte.
    std::array<std::uint8_t, vexar::kCommandPacketSize + 128> pending{};
    std::size_t waiting = 0;
    // The answer is written over the last one: its bytes keep their storage.
    static vexar::sim::HeadAnswer answer;
    std::array<std::uint8_t, vexar::kCommandPacketSize> packet{};
    for (std::size_t at = 0; at < sent.size(); at += readSize) {
        const auto read = sent.subspan(at, std::min(readSize, sent.size() - at));
        std::memcpy(pending.data() + waiting, read.data(), read.size());
        waiting += read.size();
        std::size_t taken = 0;
        bool closed = false;
        while (!closed && vexar::sim::TakeCommandPacket(std::span(pending.data(), waiting), taken, packet)) {
            if (packet.front() != vexar::sim::kPacketStartByte ||
                packet.back() != vexar::sim::kPacketEndByte) {
                std::abort();
            }
            head.Answer(packet, answer);
            const std::uint8_t block = packet[vexar::kPacketBlockByte];
            switch (answer.kind) {
            case vexar::sim::HeadAnswer::Kind::Reply:
                if (answer.bytes.size() != vexar::kReplyBlockSize || answer.block != block ||
                    (answer.bytes[vexar::kReplyEchoByte] != block &&
                     answer.bytes[vexar::kReplyEchoByte] != static_cast<std::uint8_t>(block + 1))) {
                    std::abort();
                }
                break;
            case vexar::sim::HeadAnswer::Kind::CutOff:
                closed = true;
                if (answer.bytes.size() != vexar::kReplyBlockSize / 2) {
                    std::abort();
                }
                break;
            case vexar::sim::HeadAnswer::Kind::Garbage:
                if (answer.bytes.size() > vexar::sim::kMaxGarbageBytes) {
                    std::abort();
                }
                break;
            case vexar::sim::HeadAnswer::Kind::Silence:
                if (!answer.bytes.empty()) {
                    std::abort();
                }
                break;
            }
        }
        if (closed) {
            break;
        }
        std::memmove(pending.data(), pending.data() + taken, waiting - taken);
        waiting -= taken;
        if (waiting >= vexar::kCommandPacketSize ||
            (waiting != 0 && pending.front() != vexar::sim::kPacketStartByte)) {
            std::abort();
        }
    }
    return 0;
}
