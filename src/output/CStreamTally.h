#pragma once
// CStreamTally: what a receiver of the UDP output got: whole records, damaged records, and the
// records the stream lost on the way, told apart from the record numbers the console gave to
// records it never meant to send.
//
// Every record the console builds takes the next number of one counter, whatever it is for: raw
// records written beside the output and products written only to a file leave gaps in the
// numbers a receiver sees. A gap counts as a lost record only when the record just before the
// one received (whose length the received header carries) was of a kind and size this stream
// carries; the other numbers of a gap are counted apart. A loss right after a foreign record is
// therefore not seen: the count of missing records is a lower bound, never an overstatement.

#include "files/RecordHeader.h"

#include <cstdint>
#include <vector>

namespace vexar {

class CStreamTally {
public:
    /// A whole record arrived.
    void TakeRecord(const RecordHeaderFields& fields);
    /// A record arrived in part. `continuation`: a stray datagram of a record whose start was
    /// lost, counted with the damage before it.
    void TakeDamaged(bool continuation);

    std::uint64_t Records() const { return m_records; }
    std::uint64_t Damaged() const { return m_damaged; }
    std::uint64_t Missing() const { return m_missing; }
    /// Record numbers taken by records that were not for this stream.
    std::uint64_t Foreign() const { return m_foreign; }

private:
    bool CarriedLength(std::uint32_t totalLength) const;

    std::uint64_t m_records = 0;
    std::uint64_t m_damaged = 0;
    std::uint64_t m_missing = 0;
    std::uint64_t m_foreign = 0;
    bool m_haveLast = false;
    std::uint32_t m_lastCounter = 0;
    std::uint64_t m_damagedSinceLast = 0; ///< damaged records since the last whole one
    bool m_lastWasDamage = false;
    std::vector<std::uint32_t> m_dataLengths; ///< of the records this stream carried
};

} // namespace vexar
