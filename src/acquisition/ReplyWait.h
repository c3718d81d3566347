#pragma once
// CReplyWait: how long the sonar link waits for the reply to one request. A head on its cable
// answers in a few milliseconds; waiting the longest time for each garbled or lost reply would
// make a noisy link as slow as a dead one. The wait is learnt from the head's own replies, apart
// for the first block of a ping (the head transmits and listens before it answers) and the
// others (read from its memory): about twice the usual reply time, never less than a floor (a
// higher one for the first block) and never more than the longest wait. A wait that runs out doubles the next
// waits of its kind until a reply to a first request is timed again, so a head that has grown slow is
// followed.

#include <cstdint>

namespace vexar {

/// The longest wait for a reply, and the wait before a head's replies have been timed.
inline constexpr int kReplyWaitUs = 500'000;
/// The shortest wait for a reply, whatever the head's replies have taken. A head on its cable
/// answers in milliseconds and its learnt wait is longer; one a few metres of loopback away
/// answers in tens of microseconds, and a millisecond's wait for each lost reply would cost
/// more than the blocks around it. A wait that runs out early because the machine was busy
/// costs a repeated request, and doubles the next waits.
inline constexpr int kMinReplyWaitUs = 250;
/// The shortest wait for the reply to a ping's first block. The head transmits anew with every
/// request of it, so a wait that runs out early costs a transmission and puts the head's count
/// of pings ahead; a garbled first block is one in a ping, so a longer wait costs little.
inline constexpr int kMinFirstReplyWaitUs = 20'000;

class CReplyWait {
public:
    /// Forgets what was learnt (a new connection, maybe another head): the longest waits.
    void Reset();
    /// The wait for the reply to a request of the first block of a ping, or of another block,
    /// in microseconds.
    int WaitUs(bool firstBlock) const { return Of(firstBlock).waitUs; }
    /// A whole reply came `us` microseconds after its request, which was not a repeated one (a
    /// reply to a repeated request may answer either of them and times nothing).
    void Answered(bool firstBlock, std::uint64_t us);
    /// A wait ran out without a whole reply.
    void TimedOut(bool firstBlock);

private:
    struct Estimate {
        bool timed = false;
        float meanUs = 0.0f;      ///< smoothed reply time
        float deviationUs = 0.0f; ///< smoothed deviation from it
        int waitUs = kReplyWaitUs;
    };
    const Estimate& Of(bool firstBlock) const { return firstBlock ? m_first : m_other; }
    Estimate& Of(bool firstBlock) { return firstBlock ? m_first : m_other; }

    Estimate m_first;
    Estimate m_other;
};

} // namespace vexar
