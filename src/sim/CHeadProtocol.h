#pragma once
// CHeadProtocol: the simulated head's side of the head protocol, without sockets. It finds the
// command packets in the bytes a peer sent and answers each with what the head writes back: a
// reply block of the synthesised ping, or on purpose nothing, half a reply, a reply naming the
// wrong block, or garbage.

#include "head/ReplyData.h"
#include "sim/Scene.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace vexar::sim {

inline constexpr std::uint8_t kPacketStartByte = 0xFE;
inline constexpr std::uint8_t kPacketEndByte = 0xFD;
/// Longest garbage answer: a little over two reply blocks, so that a peer also sees more bytes
/// than it asked for.
inline constexpr int kMaxGarbageBytes = 2 * kReplyBlockSize + 100;

/// A fault at one block: of every ping (ping < 0) or of one ping (0-based, counted from start).
struct BlockFault {
    int block = 0;
    long long ping = -1;
    bool Matches(int blockIndex, long long pingNumber) const {
        return block == blockIndex && (ping < 0 || ping == pingNumber);
    }
};

/// The faults the head answers with on purpose.
struct HeadFaults {
    std::vector<BlockFault> silences;    ///< blocks that get no reply
    std::vector<BlockFault> wrongEchoes; ///< blocks whose reply names the next block
    std::vector<BlockFault> cutOffs;     ///< blocks whose reply stops halfway and the link closes
    /// Share of requests (0..1) answered with random bytes of a reply's length, random bytes of
    /// a random length, or nothing, in equal parts.
    double garbageRate = 0.0;
    /// Garbage only among the first so many requests (0: among all of them).
    long long garbageRequests = 0;
    std::uint64_t garbageSeed = 1;
};

/// What the head sends for one command packet.
struct HeadAnswer {
    enum class Kind {
        Reply,   ///< `bytes` is one whole reply block
        Silence, ///< nothing is sent
        CutOff,  ///< `bytes` is the first half of a reply; then the connection is closed
        Garbage, ///< `bytes` (maybe none) are random
    };
    Kind kind = Kind::Reply;
    std::vector<std::uint8_t> bytes;
    int block = 0;          ///< the block the packet asked for
    long long ping = 0;     ///< the ping it belongs to, counted from 0
    bool newPing = false;   ///< the packet started a new ping
    bool lastBlock = false; ///< a reply to the last block of the ping was sent
};

/// Finds the next command packet in `bytes` from `at` on and moves `at` past it. Bytes before a
/// start byte are not a packet, and a start byte whose packet does not end with the end byte is
/// skipped. False when no whole packet is left: `at` then points at the unfinished tail (fewer
/// bytes than a packet, starting with a start byte), or at the end.
bool TakeCommandPacket(std::span<const std::uint8_t> bytes, std::size_t& at,
                       std::array<std::uint8_t, kCommandPacketSize>& packet);

class CHeadProtocol {
public:
    CHeadProtocol(Scene scene, ReplyHeaderFields header, float soundVelocity, int transducerUp,
                  HeadFaults faults);

    /// Starts over as a head switched on again, with these faults: the pings and requests are
    /// counted from the start and the garbage drawn afresh; the scene and the buffers stay.
    void Restart(HeadFaults faults, int transducerUp);

    /// The answer to one command packet. A request for block 0 (or the first request of all)
    /// starts a new ping.
    HeadAnswer Answer(std::span<const std::uint8_t, kCommandPacketSize> packet);
    /// The same answer, written over `answer`: its bytes keep their storage from answer to answer.
    void Answer(std::span<const std::uint8_t, kCommandPacketSize> packet, HeadAnswer& answer);

    /// Gives the scene of each new ping (numbered from 0), called when the ping starts: a head on
    /// a moving vehicle sees its world from where the vehicle is then. Without one, every ping
    /// shows the scene the protocol was made with.
    using SceneOfPing = std::function<Scene(long long ping)>;
    void SetSceneOfPing(SceneOfPing sceneOfPing) { m_sceneOfPing = std::move(sceneOfPing); }

private:
    bool GarbageDue();
    std::uint64_t NextRandom();

    Scene m_scene;
    SceneOfPing m_sceneOfPing;
    ReplyHeaderFields m_header;
    float m_soundVelocity;
    int m_transducerUp;
    HeadFaults m_faults;
    std::unique_ptr<PingBuffer> m_ping;
    SynthesisScratch m_scratch;
    long long m_pingNumber = -1;
    long long m_requests = 0;
    std::uint64_t m_random;
};

} // namespace vexar::sim
