#include "acquisition/CPingExchange.h"

#include <algorithm>

namespace vexar {

CPingExchange::CPingExchange(ITcpLink& socket, IClockPort& clock, const std::atomic<bool>& abort,
                             CLinkRecorder& recorder)
    : m_socket(socket), m_clock(clock), m_abort(abort), m_recorder(recorder) {}

void CPingExchange::Connected() {
    m_replyWait.Reset();
    m_headKnown = false;
}

namespace {
// The bytes of a reply's header that name the head (its text, its id and its transducer type):
// the same in every reply of a connection. Anything else there may change from block to block.
constexpr std::array<std::size_t, 5> kHeadNameBytes = {0, 1, 2, 3, 8};
constexpr int kHeadNameEnd = 9; ///< bytes of a reply that hold all of them

bool NamesTheSameHead(const ReplyBlock& reply, const std::array<std::uint8_t, kReplyHeaderSize>& header) {
    return std::all_of(kHeadNameBytes.begin(), kHeadNameBytes.end(),
                       [&](std::size_t at) { return reply[at] == header[at]; });
}
} // namespace

// TCP is a byte stream: a reply may arrive in pieces. Collect until the whole block is in or
// the wait runs out; returns the bytes collected. With `head`, bytes whose start does not name
// that head are no reply of it: the collection ends as soon as that shows (kNotFromHead), so
// that garbage shorter than a reply costs no wait.
int CPingExchange::ReceiveBlock(ReplyBlock& reply, int waitUs,
                                const std::array<std::uint8_t, kReplyHeaderSize>* head) {
    int total = 0;
    const std::uint64_t start = m_clock.TickUs();
    while (total < kReplyBlockSize && !m_abort.load()) {
        const std::uint64_t elapsed = m_clock.TickUs() - start;
        if (elapsed >= static_cast<std::uint64_t>(waitUs)) {
            break;
        }
        const int remaining = waitUs - static_cast<int>(elapsed);
        if (!m_socket.WaitReadableUs(std::min(remaining, 1000 * kLinkWaitSliceMs))) {
            if (!m_socket.IsConnected()) {
                break;
            }
            continue;
        }
        const int got =
            m_socket.Receive(std::span<std::uint8_t>(reply).subspan(static_cast<std::size_t>(total)));
        if (got <= 0) {
            break;
        }
        const bool named = total < kHeadNameEnd && total + got >= kHeadNameEnd;
        total += got;
        if (named && head != nullptr && !NamesTheSameHead(reply, *head)) {
            return kNotFromHead;
        }
    }
    return total;
}

// Bytes left over from an earlier exchange (a reply that came after its wait ran out, or the tail
// of an over-long reply) would shift every block of the next ping by one reply and keep the link
// out of step for good; they are thrown away before the first request of a ping.
void CPingExchange::DiscardPending() {
    for (int reads = 0; reads < kMaxBlocksPerPing && m_socket.WaitReadable(0); ++reads) {
        if (m_socket.Receive(m_reply) <= 0) {
            break;
        }
    }
}

CPingExchange::Result CPingExchange::Exchange(const LinkRequest& request, LinkPing& ping) {
    const std::uint64_t start = m_clock.TickMs();
    ping.requestTickMs = start;
    ping.startTime = m_clock.Now();
    ping.settings = request.settings;
    m_hasNewerFirst = false;
    m_blockRetries = 0;
    DiscardPending();
    const int blocks = std::clamp(request.blocksPerPing, 1, kMaxBlocksPerPing);
    m_packet = request.packet;
    int retriesLeft = BlockRetriesPerPing(blocks);
    for (int f = 0; f < blocks; ++f) {
        if (m_abort.load()) {
            return Result::Incomplete;
        }
        // A reply that fails its checks costs a request of its block, not the ping. A head that
        // lets the longest wait pass in silence is not garbling: that is the ping retries' and
        // the watchdog's.
        for (int attempt = 0;; ++attempt) {
            const bool longestWait = m_replyWait.WaitUs(f == 0) >= kReplyWaitUs;
            const BlockResult result = ExchangeBlock(f, attempt > 0);
            if (result == BlockResult::Good) {
                break;
            }
            if (result == BlockResult::Lost) {
                return Result::Lost;
            }
            if (m_abort.load() || attempt >= kBlockRetries || retriesLeft == 0 ||
                (result == BlockResult::TimedOut && longestWait)) {
                return Result::Incomplete;
            }
            --retriesLeft;
            ++m_blockRetries;
            // The rest of an over-long or garbled answer must not be taken for the next reply.
            DiscardPending();
        }
        if (m_hasNewerFirst) {
            TakeNewerFirst(ping.payloads);
        }
        StoreBlockPayload(m_reply, f, ping.payloads);
        if (f == 0) {
            m_hasNewerFirst = false;
            std::copy_n(m_reply.begin(), kReplyHeaderSize, m_pingHeader.begin());
        }
        if (m_recorder.IsRecording()) {
            m_recorder.AppendPair(f, m_packet, m_reply);
        }
        if (f == 0) {
            ping.sonarTimeMs = static_cast<float>(m_clock.TickMs() - start);
        }
    }
    ping.acquisitionTimeMs = static_cast<float>(m_clock.TickMs() - start);
    ping.lastReply = m_reply;
    ping.blocksPerPing = blocks;
    // Every reply of a whole ping named the head of its first: the next pings' first replies
    // must name it too (garbage taken for a first reply never completes a ping).
    m_headKnown = true;
    return Result::Complete;
}

CPingExchange::BlockResult CPingExchange::ExchangeBlock(int block, bool repeated) {
    m_packet[kPacketBlockByte] = static_cast<std::uint8_t>(block);
    if (m_socket.Send(m_packet) != kCommandPacketSize) {
        return m_socket.IsConnected() ? BlockResult::Failed : BlockResult::Lost;
    }
    const bool first = block == 0;
    const int waitUs = m_replyWait.WaitUs(first);
    const std::uint64_t sent = m_clock.TickUs();
    // The head is known from the first block of a ping, and from the pings before on this
    // connection: a reply that does not name it fails as soon as its first bytes are in.
    const bool headKnown = !first || m_headKnown;
    for (;;) {
        const std::uint64_t waited = m_clock.TickUs() - sent;
        const int left = waited < static_cast<std::uint64_t>(waitUs) ? waitUs - static_cast<int>(waited) : 0;
        const int received = ReceiveBlock(m_reply, left, headKnown ? &m_pingHeader : nullptr);
        if (received == kNotFromHead) {
            return BlockResult::Failed;
        }
        if (received != kReplyBlockSize) {
            if (!m_socket.IsConnected()) {
                return BlockResult::Lost;
            }
            if (!m_abort.load()) {
                m_replyWait.TimedOut(first);
            }
            return BlockResult::TimedOut;
        }
        if (m_reply[kReplyEchoByte] == block) {
            break;
        }
        if (!IsLateReply(block)) {
            return BlockResult::Failed;
        }
        // The head answers in order and transmits anew with every request of the first block:
        // a first block's reply that comes late answers its last request, and the blocks after
        // it belong to that transmission. It replaces the one taken.
        if (m_reply[kReplyEchoByte] == 0) {
            m_newerFirst = m_reply;
            m_hasNewerFirst = true;
        }
    }
    if (headKnown && !NamesTheSameHead(m_reply, m_pingHeader)) {
        return BlockResult::Failed; // garbage that happens to name the block
    }
    if (!repeated) {
        m_replyWait.Answered(first, m_clock.TickUs() - sent);
    }
    return BlockResult::Good;
}

bool CPingExchange::IsLateReply(int block) const {
    return m_reply[kReplyEchoByte] < block && NamesTheSameHead(m_reply, m_pingHeader);
}

void CPingExchange::TakeNewerFirst(PingBuffer& payloads) {
    m_hasNewerFirst = false;
    StoreBlockPayload(m_newerFirst, 0, payloads);
    std::copy_n(m_newerFirst.begin(), kReplyHeaderSize, m_pingHeader.begin());
    if (m_recorder.IsRecording()) {
        m_recorder.AppendPair(0, m_packet, m_newerFirst);
    }
}

} // namespace vexar
