#include "output/CStreamTally.h"

#include <algorithm>

namespace vexar {

bool CStreamTally::CarriedLength(std::uint32_t totalLength) const {
    return std::any_of(m_dataLengths.begin(), m_dataLengths.end(), [&](std::uint32_t data) {
        const std::uint64_t least = static_cast<std::uint64_t>(kRecordDataOffset) + data;
        return totalLength >= least && totalLength <= least + kMaxSentenceLength;
    });
}

void CStreamTally::TakeRecord(const RecordHeaderFields& fields) {
    ++m_records;
    m_lastWasDamage = false;
    if (std::find(m_dataLengths.begin(), m_dataLengths.end(), fields.dataLength) == m_dataLengths.end()) {
        m_dataLengths.push_back(fields.dataLength);
    }
    const std::uint32_t counter = fields.recordCounter;
    // Numbers run up (wrapping at 32 bits); anything else is a restarted console.
    const std::uint32_t step = counter - m_lastCounter;
    if (m_haveLast && step != 0 && step < 0x80000000u) {
        const std::uint64_t gap = step - 1;
        // Numbers of the gap taken by the records that arrived damaged.
        std::uint64_t ours = m_damagedSinceLast;
        if (gap > 0 && ours == 0 && CarriedLength(fields.previousLength)) {
            ++m_missing; // the record just before this one was of the stream, and it is gone
            ours = 1;
        }
        m_foreign += gap - std::min(gap, ours);
    }
    m_haveLast = true;
    m_lastCounter = counter;
    m_damagedSinceLast = 0;
}

void CStreamTally::TakeDamaged(bool continuation) {
    if (continuation && m_lastWasDamage) {
        return;
    }
    ++m_damaged;
    ++m_damagedSinceLast;
    m_lastWasDamage = true;
}

} // namespace vexar
