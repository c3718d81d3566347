// A head that answers the link's requests with whatever the input says: whole replies, replies
// naming another block, bytes of any length and content, in pieces, nothing, or a closed
// connection. The link collects and checks the replies of each ping, asks again for the blocks
// whose replies fail, records the complete pings and hands them over; each is stored in the four
// heads as the document stores it. Whatever the head does, every complete ping ends with the
// reply to its last block, and the raw recording holds whole records only. An input plays two
// complete pings at the most (kMaxPings), and as many failed ones as its script lasts.

#include "MemoryFile.h"
#include "acquisition/CSonarLink.h"
#include "files/CDataFile.h"
#include "files/CRecorder.h"
#include "files/RecordScanner.h"
#include "head/COndrel.h"
#include "head/ReplyData.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

namespace {

// Complete pings per input at the most. A ping of 128 blocks is recorded and scanned back, some
// 135 kB, and a script of 4 kB holds several of them; the first ping comes from a fresh
// connection and the second from one the first left (late replies, back-off, counters), and a
// third reaches nothing these two did not. Pings that fail do not count: a script may retry as
// long as it lasts.
constexpr int kMaxPings = 2;

// Time runs only when the link waits.
class Clock : public vexar::IClockPort {
public:
    std::uint64_t TickMs() override { return m_tick; }
    vexar::LocalTime Now() override { return {2026, 12, 7, 11, 41, 39, static_cast<int>(m_tick % 1000)}; }
    std::uint64_t m_tick = 1000;
};

// What the head does with each request, read from the input as it is asked:
//   op % 5 == 0: a whole reply to the block asked for, header bytes 6, 7 and 9 from the input
//   op % 5 == 1: the same, naming the block in the next input byte
//   op % 5 == 2: the next (2-byte length) input bytes, as they are
//   op % 5 == 3: nothing
//   op % 5 == 4: the connection closes
// op / 5 % 8 + 1 is the number of pieces a reply arrives in (one Receive each).
class ScriptedHead : public vexar::ITcpLink {
public:
    explicit ScriptedHead(Clock& clock) : m_clock(clock) { m_incoming.reserve(1 << 16); }
    /// The next input's script; the connection is closed.
    void Reset(std::span<const std::uint8_t> script) {
        m_script = script;
        m_at = 0;
        m_open = false;
        Empty();
    }

    bool StartConnect(const std::string&, std::uint16_t) override {
        Empty();
        m_open = true;
        return true;
    }
    ConnectState WaitConnected(int) override {
        return m_open ? ConnectState::Connected : ConnectState::Failed;
    }
    bool IsConnected() const override { return m_open; }
    int Send(std::span<const std::uint8_t> bytes) override {
        if (!m_open) {
            return -1;
        }
        if (bytes.size() == vexar::kCommandPacketSize) {
            Answer(bytes[vexar::kPacketBlockByte]);
        }
        return static_cast<int>(bytes.size());
    }
    bool WaitReadable(int timeoutMs) override {
        if (m_readAt < m_incoming.size()) {
            return true;
        }
        m_clock.m_tick += static_cast<std::uint64_t>(std::max(timeoutMs, 1));
        return false;
    }
    int Receive(std::span<std::uint8_t> buffer) override {
        if (m_readAt == m_incoming.size()) {
            return m_open ? 0 : -1;
        }
        const std::size_t n = std::min({buffer.size(), m_incoming.size() - m_readAt, m_piece});
        std::copy_n(m_incoming.begin() + static_cast<std::ptrdiff_t>(m_readAt), n, buffer.begin());
        m_readAt += n;
        if (m_readAt == m_incoming.size()) {
            Empty();
        }
        return static_cast<int>(n);
    }
    void Close() override { m_open = false; }
    bool Exhausted() const { return m_at >= m_script.size(); }

private:
    void Empty() {
        m_incoming.clear();
        m_readAt = 0;
    }
    std::uint8_t Next() { return m_at < m_script.size() ? m_script[m_at++] : 0; }

    void Answer(std::uint8_t block) {
        if (Exhausted()) {
            return; // a silent head from here on
        }
        const std::uint8_t op = Next();
        m_piece = std::max<std::size_t>(vexar::kReplyBlockSize / (op / 5 % 8 + 1), 1);
        switch (op % 5) {
        case 0:
        case 1: {
            vexar::ReplyBlock reply{};
            reply[0] = 'S';
            reply[1] = 'I';
            reply[2] = 'M';
            reply[vexar::kReplyEchoByte] = op % 5 == 1 ? Next() : block;
            reply[6] = Next();
            reply[7] = Next();
            reply[8] = 4; // the transducer type names the head: the same in every reply
            reply[9] = Next();
            for (std::size_t i = vexar::kReplyPayloadOffset; i < reply.size(); i += 97) {
                reply[i] = block;
            }
            m_incoming.insert(m_incoming.end(), reply.begin(), reply.end());
            break;
        }
        case 2: {
            const std::size_t length = Next() | static_cast<std::size_t>(Next()) << 8;
            const std::size_t n = std::min(length, m_script.size() - m_at);
            m_incoming.insert(m_incoming.end(), m_script.begin() + static_cast<std::ptrdiff_t>(m_at),
                              m_script.begin() + static_cast<std::ptrdiff_t>(m_at + n));
            m_at += n;
            break;
        }
        case 3:
            break;
        default:
            m_open = false;
            break;
        }
    }

    std::span<const std::uint8_t> m_script;
    std::size_t m_at = 0;
    Clock& m_clock;
    bool m_open = false;
    // What the head has sent and the link not read yet: from m_readAt on. A buffer kept from input
    // to input, not a queue that allocates as it grows.
    std::vector<std::uint8_t> m_incoming;
    std::size_t m_readAt = 0;
    std::size_t m_piece = vexar::kReplyBlockSize;
};

// The heads the document stores a complete ping in (CPingRoutine::Take does the same).
std::array<vexar::COndrel, vexar::kHeadCount>& Heads() {
    static auto heads = std::make_unique<std::array<vexar::COndrel, vexar::kHeadCount>>();
    return *heads;
}

void StoreInHeads(const vexar::LinkPing& ping, int samples) {
    for (vexar::COndrel& head : Heads()) {
        std::copy_n(ping.lastReply.begin(), vexar::kReplyHeaderSize, head.m_replyHeader.begin());
        head.ParseReturnHeader();
    }
    vexar::DeinterleavePing(ping.payloads, samples, Heads());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    static vexar::fuzz::MemoryFile recording("vexar-fuzz-link-recording");
    // One link for all inputs: it allocates its buffers for the largest ping once. Each input
    // finds it disconnected, with nothing to hand over and nothing recording; only its back-off
    // and counters carry over.
    static Clock clock;
    static ScriptedHead head(clock);
    static vexar::RecordChain chain;
    static vexar::CSonarLink link(head, clock, chain);
    head.Reset(std::span<const std::uint8_t>(data + 1, size - 1));
    const std::uint64_t writtenBefore = link.Stats().rawRecords;

    // The first byte: blocks per ping and whether to record. A ping of 1..4 blocks takes every
    // path a real one does at a small part of its cost, so one input in four asks for a real
    // ping's 64 or 128 blocks (bits 2 and 3 both set) and the rest for 1..4 (bits 0 and 1).
    const std::uint8_t setup = data[0];
    const int blocks = (setup & 12) == 12 ? ((setup & 1) != 0 ? 128 : 64) : 1 + (setup & 3);
    const bool record = (setup & 16) != 0;
    vexar::LinkRequest request;
    request.run = true;
    request.host = "127.0.0.1";
    vexar::PingSettings settings;
    settings.samples = blocks * 1000 / 128; // a ping of 64 blocks has 500 samples, one of 128 has 1000
    vexar::ApplyPacketRules(settings);
    // A head's parameters hold its images too: built once.
    static auto packet = std::make_unique<vexar::COndrel>();
    packet->BuildCommandPacket(settings);
    request.packet = packet->m_commandPacket;
    request.blocksPerPing = blocks;
    request.pingDelayMs = setup >> 5;
    request.settings = settings;
    const vexar::RecordContext context{&settings, "07122026114139042", 250.0f, {}};
    request.record = vexar::CRecorder::RawTemplate(context);
    link.SetRequest(request);
    if (record) {
        vexar::CDataFile file;
        if (!file.Open(recording.Path(), vexar::CDataFile::Mode::CreateWrite)) {
            return 0;
        }
        vexar::RawRecordingRequest where;
        where.path = recording.Path();
        link.StartRecording(std::move(file), where);
    }

    // Each step asks for one ping at most; a script of n bytes lasts n requests at the most.
    int pings = 0;
    for (std::size_t step = 0; step < size + 4 && !head.Exhausted() && pings < kMaxPings; ++step) {
        const int due = link.Step();
        if (const vexar::LinkPing* ping = link.TakePing()) {
            ++pings;
            if (ping->blocksPerPing != blocks || ping->lastReply[vexar::kReplyEchoByte] != blocks - 1) {
                std::abort();
            }
            StoreInHeads(*ping, settings.samples);
        }
        clock.m_tick += static_cast<std::uint64_t>(std::max(due, 0));
    }
    const std::uint64_t written = link.Stats().rawRecords - writtenBefore;
    link.SetRequest(vexar::LinkRequest{});
    link.Step();
    link.Shutdown();
    (void)link.TakePing();

    if (record) {
        // Kept from input to input, as a player keeps its file: its read buffer is made once.
        static vexar::CDataFile file;
        if (!file.Open(recording.Path(), vexar::CDataFile::Mode::Read)) {
            std::abort();
        }
        const vexar::ScanTotals totals = vexar::ScanRecordFile(file, nullptr, nullptr);
        file.Close();
        if (totals.damagedStretches != 0 || totals.records != written) {
            std::abort();
        }
    }
    return 0;
}
