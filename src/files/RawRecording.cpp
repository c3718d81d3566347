#include "files/RawRecording.h"

namespace vexar {

RecordChain::Link RecordChain::Claim(std::uint32_t totalLength) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Link claimed = m_next;
    ++m_next.counter;
    m_next.previousLength = totalLength;
    return claimed;
}

RecordChain::Link RecordChain::Peek() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_next;
}

void RecordChain::SetPreviousLength(std::uint32_t totalLength) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_next.previousLength = totalLength;
}

} // namespace vexar
