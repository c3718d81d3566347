#pragma once
// CPingExchange: the exchanges of one ping with a connected head. It requests the ping's blocks
// in turn, collects each 1034-byte reply from the byte stream, checks it (its block, its length,
// the head it names) and asks again for a block whose reply fails, within a limit per block and
// per ping. How long it waits for a reply is learnt from the head's own replies. The request and
// reply of every block go to the raw recording as they come.
//
// Threads: all of it runs on the link's thread.

#include "acquisition/CLinkRecorder.h"
#include "acquisition/LinkPing.h"
#include "acquisition/ReplyWait.h"
#include "head/ReplyData.h"
#include "ports/Ports.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace vexar {

class CPingExchange {
public:
    enum class Result { Complete, Incomplete, Lost };

    /// `abort` cuts a wait short (the runner is stopping).
    CPingExchange(ITcpLink& socket, IClockPort& clock, const std::atomic<bool>& abort,
                  CLinkRecorder& recorder);

    /// A new connection, maybe to another head: its replies are timed and named afresh.
    void Connected();
    /// Exchanges one ping of `request` into `ping`: its payloads, last reply, times and settings.
    Result Exchange(const LinkRequest& request, LinkPing& ping);
    /// Blocks requested again during the last ping.
    int BlockRetries() const { return m_blockRetries; }

private:
    enum class BlockResult { Good, Failed, TimedOut, Lost };
    static constexpr int kNotFromHead = -1;

    /// One request of a block and its reply, checked; `repeated`: the block was requested before.
    BlockResult ExchangeBlock(int block, bool repeated);
    /// The reply of an earlier block of this ping, to a request that was repeated: it came late
    /// and is passed over.
    bool IsLateReply(int block) const;
    /// Makes the first block's late reply the ping's first block (its payload, its header and
    /// its packet pair in the raw record).
    void TakeNewerFirst(PingBuffer& payloads);
    int ReceiveBlock(ReplyBlock& reply, int waitUs, const std::array<std::uint8_t, kReplyHeaderSize>* head);
    void DiscardPending();

    ITcpLink& m_socket;
    IClockPort& m_clock;
    const std::atomic<bool>& m_abort;
    CLinkRecorder& m_recorder;

    std::array<std::uint8_t, kCommandPacketSize> m_packet{};
    ReplyBlock m_reply{};
    CReplyWait m_replyWait;
    /// The header of the ping's first block: every other reply names the same head, and so do
    /// the replies of the next pings on this connection once one ping was whole (m_headKnown).
    std::array<std::uint8_t, kReplyHeaderSize> m_pingHeader{};
    bool m_headKnown = false;
    ReplyBlock m_newerFirst{}; ///< a later reply to the ping's first block, to be taken
    bool m_hasNewerFirst = false;
    int m_blockRetries = 0;
};

} // namespace vexar
