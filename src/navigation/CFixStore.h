#pragma once
// CFixStore: the hand-off between a live navigation source and the document. The source's thread
// posts every fix with the monotonic tick it arrived at; the document's thread asks, for each
// ping, for the newest fix no older than the maximum fix age at the ping's request tick, and gets
// its values and the sentence to store with the ping. The status row reads the source's status.
// Every call is thread-safe; each holds a lock for a copy of a few hundred bytes at most, and
// nothing is allocated after construction except the status's detail text.

#include "navigation/NavigationFix.h"
#include "navigation/NavigationSentence.h"
#include "navigation/NavigationStatus.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vexar {

/// One fix as a ping carries it.
struct NavigationSample {
    std::uint64_t tickMs = 0; ///< when it arrived
    NavigationFix fix;
    SentenceText sentence; ///< what the ping's records store
};

/// What became of a posted fix.
enum class FixPost {
    Added,      ///< a new fix
    Updated,    ///< the same time as the newest fix: its values and sentence were replaced
    Restarted,  ///< earlier than the newest, but the source keeps going from there: taken
    Invalid,    ///< no position, a value no vehicle can have, or a sentence too long: refused
    OutOfOrder, ///< earlier than the newest fix: refused
};

class CFixStore {
public:
    /// Fixes kept: enough for several seconds of the fastest sources and for the rate.
    static constexpr std::size_t kCapacity = 256;
    /// A source whose time went back is followed after this many fixes in a row from the past.
    static constexpr int kFixesToRestart = 3;

    CFixStore();

    /// Starts over for a source of `kind`: no fixes, link absent, counters zero.
    void Reset(NavSourceKind kind);
    /// The source reports its link, with the device or address and the reason it is not open.
    void SetLinkState(NavLinkState state, std::string detail);
    /// A sentence or report the source could not use (garbage, impossible values).
    void CountRefused();

    /// A fix whose sentence the store composes. A fix without a time is ordered by its arrival.
    /// A fix earlier than the newest is refused, unless kFixesToRestart of them come in a row, in
    /// order among themselves (the source's clock was set back): then it is taken.
    FixPost Post(const NavigationFix& fix, std::uint64_t tickMs);
    /// A fix that came as `sentence` (the serial line), stored as it came.
    FixPost PostReceived(const NavigationFix& fix, std::string_view sentence, std::uint64_t tickMs);

    /// The newest fix that arrived at or before `atTickMs` and is at most `maxAgeMs` old then;
    /// false (and `out` untouched) when there is none.
    bool Newest(std::uint64_t atTickMs, std::uint64_t maxAgeMs, NavigationSample& out) const;
    /// The source's status at `nowTickMs`.
    NavigationStatus Status(std::uint64_t nowTickMs) const;

private:
    FixPost Order(const NavigationFix& fix);
    void Append(const NavigationFix& fix, std::string_view sentence, std::uint64_t tickMs, FixPost how);
    const NavigationSample& At(std::size_t back) const;

    mutable std::mutex m_mutex;
    std::vector<NavigationSample> m_ring;
    std::size_t m_count = 0; ///< fixes held, up to kCapacity
    std::size_t m_next = 0;  ///< where the next fix goes
    NavSourceKind m_kind = NavSourceKind::None;
    NavLinkState m_link = NavLinkState::Absent;
    std::string m_detail;
    std::uint64_t m_fixes = 0;
    std::uint64_t m_refused = 0;
    int m_backwardRun = 0;             ///< fixes in a row earlier than the newest
    std::int64_t m_lastBackwardMs = 0; ///< the time of the last of them
};

} // namespace vexar
