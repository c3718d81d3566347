// The real-time ping cycle of the document: link start and recovery, the block exchanges of
// one ping, and the three one-shot timers that drive them.

#include "acquisition/CTamsorDoc.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"

namespace vexar {

namespace {
void StopTimer(ITimerPort* timers, int id) {
    if (timers != nullptr) {
        timers->Stop(id);
    }
}

void ArmTimer(ITimerPort* timers, int id, int delayMs) {
    if (timers != nullptr) {
        timers->Arm(id, delayMs);
    }
}

// TCP is a byte stream: a reply may arrive in pieces. Collect until the whole block is in or
// the wait runs out; returns the bytes collected.
int ReceiveBlock(ITcpLink& link, IClockPort* clock, ReplyBlock& reply) {
    int total = 0;
    const std::uint64_t start = clock != nullptr ? clock->TickMs() : 0;
    while (total < kReplyBlockSize) {
        int remaining = kReplyWaitMs;
        if (clock != nullptr) {
            const std::uint64_t elapsed = clock->TickMs() - start;
            if (elapsed >= static_cast<std::uint64_t>(kReplyWaitMs)) {
                break;
            }
            remaining = kReplyWaitMs - static_cast<int>(elapsed);
        }
        if (!link.WaitReadable(remaining)) {
            break;
        }
        const int got = link.Receive(std::span<std::uint8_t>(reply).subspan(static_cast<std::size_t>(total)));
        if (got <= 0) {
            break;
        }
        total += got;
    }
    return total;
}

// Bytes left over from an earlier exchange (a reply that came after its wait ran out, or the tail
// of an over-long reply) would shift every block of the next ping by one reply and keep the link
// out of step for good; they are thrown away before the first request of a ping.
void DiscardPending(ITcpLink& link) {
    ReplyBlock scratch{};
    for (int reads = 0; reads < kMaxBlocksPerPing && link.WaitReadable(0); ++reads) {
        if (link.Receive(scratch) <= 0) {
            break;
        }
    }
}
} // namespace

void CTamsorDoc::OpenOutputSocket() {
    if (m_ports.datagrams != nullptr && !m_ports.datagrams->IsOpen()) {
        m_ports.datagrams->Open(kOutputLocalPort);
    }
}

void CTamsorDoc::StartAcquisition() {
    StopTimer(m_ports.timers, kWatchdogTimer);
    CloseSockets();
    RefreshClockStrings();
    OpenOutputSocket();
    if (ITcpLink* link = m_ports.link; link != nullptr) {
        if (!link->IsOpen()) {
            link->Create();
        }
        if (link->IsOpen()) {
            link->Connect(m_sonarAddress, m_sonarPort);
        }
    }
    Notify(&IDocumentListener::OnLinkStateChanged, LinkState::Connecting);
    ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
}

void CTamsorDoc::CloseSockets() {
    if (m_ports.link != nullptr && m_ports.link->IsOpen()) {
        m_ports.link->Close();
        m_connected = 0;
    }
    if (m_ports.datagrams != nullptr && m_ports.datagrams->IsOpen()) {
        m_ports.datagrams->Close();
    }
}

void CTamsorDoc::OnConnect(int errorCode) {
    StopTimer(m_ports.timers, kWatchdogTimer);
    if (m_playback != 0) {
        return;
    }
    if (errorCode == 0) {
        m_connected = 1;
        ResetPingCycle();
        ArmTimer(m_ports.timers, kPingTimer, kConnectPingDelayMs);
        Notify(&IDocumentListener::OnLinkStateChanged, LinkState::Connected);
    } else {
        m_connected = 0;
        ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
        Notify(&IDocumentListener::OnLinkStateChanged, LinkState::Disconnected);
    }
}

void CTamsorDoc::OnClose(int errorCode) {
    (void)errorCode;
    StopTimer(m_ports.timers, kWatchdogTimer);
    m_connected = 0;
    Notify(&IDocumentListener::OnLinkStateChanged, LinkState::Disconnected);
    for (COndrel& head : m_heads) {
        head.m_newData = 0;
    }
    if (m_playback == 0) {
        StartAcquisition();
    }
}

void CTamsorDoc::ResetPingCycle() {
    m_blockIndex = 0;
    Head(0).m_commandPacket[kPacketBlockByte] = 0;
    for (COndrel& head : m_heads) {
        head.BuildCommandPacket();
    }
}

void CTamsorDoc::WatchdogTimerProc() {
    StopTimer(m_ports.timers, kWatchdogTimer);
    if (m_playback != 0 || m_hold != 0) {
        return;
    }
    RefreshClockStrings();
    if (m_connected == 1) {
        ResetPingCycle();
        ArmTimer(m_ports.timers, kPingTimer, kConnectPingDelayMs);
        ProcessPing();
        return;
    }
    for (COndrel& head : m_heads) {
        head.m_newData = 0;
    }
    StartAcquisition();
    ProcessPing();
}

void CTamsorDoc::OnTimer(int timerId) {
    if (timerId == kWatchdogTimer) {
        WatchdogTimerProc();
        return;
    }
    StopTimer(m_ports.timers, timerId);
    if (m_playback != 0) {
        m_player->PlaybackStep();
        if (m_hold == 0) {
            ArmTimer(m_ports.timers, kPlaybackTimer, m_sleepTimeMs);
        }
    } else if (timerId == kPingTimer && m_connected == 1) {
        AcquirePing();
    }
}

void CTamsorDoc::OnHold() {
    StopTimer(m_ports.timers, kWatchdogTimer);
    m_hold = m_hold != 0 ? 0 : 1;
    if (m_hold == 0) {
        if (m_playback != 0) {
            ArmTimer(m_ports.timers, kPlaybackTimer, m_sleepTimeMs);
        } else {
            ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
        }
    }
}

void CTamsorDoc::AcquirePing() {
    StopTimer(m_ports.timers, kWatchdogTimer);
    StopTimer(m_ports.timers, kPingTimer);
    m_blockIndex = 0;
    // The ping starts at block 0 whatever block the last one ended on: after an out-of-step
    // block the packets still name that block, and the ping started at once would be out of step
    // again at its first block, for ever.
    for (COndrel& head : m_heads) {
        head.m_commandPacket[kPacketBlockByte] = 0;
    }
    RefreshClockStrings();
    IClockPort* clock = m_ports.clock;
    const std::uint64_t start = clock != nullptr ? clock->TickMs() : 0;
    m_pingStartTicks = {start, start};
    for (COndrel& head : m_heads) {
        head.m_newData = 0;
    }
    ITcpLink* link = m_ports.link;
    if (link == nullptr || !link->IsOpen()) {
        ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
        return;
    }

    m_blocksReceived = 0;
    DiscardPending(*link);
    for (int f = 0; f < m_blocksPerPing; ++f) {
        const auto& packet = Head(0).m_commandPacket;
        if (link->Send(packet) != kCommandPacketSize) {
            break;
        }
        if (ReceiveBlock(*link, clock, m_replyBuffer) != kReplyBlockSize) {
            break;
        }
        StoreBlockPayload(m_replyBuffer, m_blockIndex, m_pingBuffer);
        if (m_replyBuffer[kReplyEchoByte] != f) {
            ArmTimer(m_ports.timers, kPingTimer, 0);
            break;
        }
        ++m_blocksReceived;

        if (m_recordRaw != 0) {
            if (m_blockIndex == 0) {
                m_recorder->WriteRawRecordStart();
            }
            if (m_recordFile.IsOpen() && m_recordThisPing != 0) {
                m_recorder->WriteRawPacketPair(packet, m_replyBuffer);
            }
            if (m_blockIndex == m_blocksPerPing - 1) {
                m_recorder->WriteRawRecordEnd();
            }
        }

        m_blockIndex = m_blockIndex + 1 >= m_blocksPerPing ? 0 : m_blockIndex + 1;
        for (COndrel& head : m_heads) {
            head.m_commandPacket[kPacketBlockByte] = static_cast<std::uint8_t>(m_blockIndex);
        }
        if (m_blockIndex == 1 && start != 0 && clock != nullptr) {
            const std::uint64_t now = clock->TickMs();
            if (now > start) {
                m_sonarTimeMs = static_cast<float>(now - start);
            }
        }
    }

    StopTimer(m_ports.timers, kWatchdogTimer);
    const bool complete = m_blocksPerPing > 0 && m_blocksReceived == m_blocksPerPing;
    if (complete) {
        if (start != 0 && clock != nullptr) {
            const std::uint64_t now = clock->TickMs();
            if (now > start) {
                m_acquisitionTimeMs = static_cast<float>(now - start);
            }
        }
        // Blocks per ping and the packet follow the sample count one ping late. A ping requested
        // with another count than head 0 now has would be laid out and drawn at the wrong range
        // scale; it is dropped, and the next ping carries the new count.
        if (m_blocksPerPing == BlocksPerPingFor(Head(0).m_samples)) {
            CompletePing();
        }
    }
    ProcessPing();
    m_blocksPerPing = BlocksPerPingFor(Head(0).m_samples);
    for (COndrel& head : m_heads) {
        head.BuildCommandPacket();
    }
    if (m_hold != 0) {
        return;
    }
    if (complete) {
        ArmTimer(m_ports.timers, kPingTimer, m_pingDelayMs);
    } else {
        ArmTimer(m_ports.timers, kWatchdogTimer, kWatchdogMs);
    }
}

} // namespace vexar
