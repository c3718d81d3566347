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
void CReplyWait::Answered(bool firstBlock, std::uint64_t us) {
    Estimate& e = Of(firstBlock);
    const float sample = static_cast<float>(std::min<std::uint64_t>(us, kReplyWaitUs));
    if (!e.timed) {
        e.timed = true;
        e.meanUs = sample;
        e.deviationUs = sample / 2.0f;
    } else {
        e.deviationUs = 0.75f * e.deviationUs + 0.25f * std::fabs(e.meanUs - sample);
        e.meanUs = 0.875f * e.meanUs + 0.125f * sample;
    }
    const float wait = std::ceil(2.0f * e.meanUs + 4.0f * e.deviationUs);
    e.waitUs =
        std::clamp(static_cast<int>(wait), firstBlock ? kMinFirstReplyWaitUs : kMinReplyWaitUs, kReplyWaitUs);
}

void CReplyWait::TimedOut(bool firstBlock) {
    Estimate& e = Of(firstBlock);
    e.waitUs = std::min(2 * e.waitUs, kReplyWaitUs);
}

} // namespace vexar
