#include "acquisition/ReplyWait.h"

#include <algorithm>
#include <cmath>

namespace vexar {

void CReplyWait::Reset() {
    m_first = Estimate{};
    m_other = Estimate{};
}

// Smoothed as a retransmitting protocol smooths its round trips: the mean follows each reply by
// an eighth, the deviation by a quarter.
void CReplyWait::Answered(bool firstBlock, std::uint64_t ms) {
    Estimate& e = Of(firstBlock);
    const float sample = static_cast<float>(std::min<std::uint64_t>(ms, kReplyWaitMs));
    if (!e.timed) {
        e.timed = true;
        e.meanMs = sample;
        e.deviationMs = sample / 2.0f;
    } else {
        e.deviationMs = 0.75f * e.deviationMs + 0.25f * std::fabs(e.meanMs - sample);
        e.meanMs = 0.875f * e.meanMs + 0.125f * sample;
    }
    const float wait = std::ceil(2.0f * e.meanMs + 4.0f * e.deviationMs);
    e.waitMs =
        std::clamp(static_cast<int>(wait), firstBlock ? kMinFirstReplyWaitMs : kMinReplyWaitMs, kReplyWaitMs);
}

void CReplyWait::TimedOut(bool firstBlock) {
    Estimate& e = Of(firstBlock);
    e.waitMs = std::min(2 * e.waitMs, kReplyWaitMs);
}

} // namespace vexar
