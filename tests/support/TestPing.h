#pragma once
// A ping for the document's one entry, built from the raw samples of the four heads: the tests
// that follow a ping through the document give it element data the way the head does.

#include "acquisition/CTamsorDoc.h"

#include <cstdint>
#include <memory>
#include <span>

namespace vexar::test {

class TestPing {
public:
    /// All samples at mid-scale; the reply header is "SON" from head 0x10 with element data.
    TestPing();

    /// Head `head`'s raw samples (channel-major, kElementCount x kMaxSamples, as a head holds
    /// them) go into the ping.
    void SetRawSamples(int head, std::span<const std::uint16_t> raw);
    /// The reply header's transducer type (byte 8); 4: the heads send element data.
    void SetTransducerType(int type);
    /// The ping as it enters the document with `settings`; valid while this object lives.
    PingInput Input(const PingSettings& settings) const;
    /// Enters the ping with `settings` (the document's own when not given): every head has new data.
    void EnterInto(CTamsorDoc& doc, const PingSettings& settings) const;
    void EnterInto(CTamsorDoc& doc) const { EnterInto(doc, doc.Shown().Settings()); }

private:
    std::unique_ptr<PingBuffer> m_payloads;
    std::unique_ptr<ReplyBlock> m_reply;
};

} // namespace vexar::test
