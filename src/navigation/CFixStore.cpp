#include "navigation/CFixStore.h"

#include <algorithm>
#include <array>

namespace vexar {

namespace {
/// The rate is counted over the fixes of this last stretch of time.
constexpr std::uint64_t kRateWindowMs = 3000;
} // namespace

CFixStore::CFixStore() : m_ring(kCapacity) {}

const NavigationSample& CFixStore::At(std::size_t back) const {
    return m_ring[(m_next + kCapacity - 1 - back) % kCapacity];
}

void CFixStore::Reset(NavSourceKind kind) {
    std::lock_guard lock(m_mutex);
    m_count = 0;
    m_next = 0;
    m_kind = kind;
    m_link = NavLinkState::Absent;
    m_detail.clear();
    m_fixes = 0;
    m_refused = 0;
    m_backwardRun = 0;
}

void CFixStore::SetLinkState(NavLinkState state, std::string detail) {
    std::lock_guard lock(m_mutex);
    m_link = state;
    m_detail = std::move(detail);
}

void CFixStore::CountRefused() {
    std::lock_guard lock(m_mutex);
    ++m_refused;
}

FixPost CFixStore::Order(const NavigationFix& fix) {
    if (m_count == 0 || !fix.utcMs || !At(0).fix.utcMs) {
        m_backwardRun = 0;
        return FixPost::Added;
    }
    const std::int64_t newest = *At(0).fix.utcMs;
    if (*fix.utcMs >= newest) {
        m_backwardRun = 0;
        return *fix.utcMs == newest ? FixPost::Updated : FixPost::Added;
    }
    // From the past: a late copy of something already had, or a source whose clock was set back.
    m_backwardRun = m_backwardRun > 0 && *fix.utcMs > m_lastBackwardMs ? m_backwardRun + 1 : 1;
    m_lastBackwardMs = *fix.utcMs;
    if (m_backwardRun < kFixesToRestart) {
        return FixPost::OutOfOrder;
    }
    m_backwardRun = 0;
    return FixPost::Restarted;
}

void CFixStore::Append(const NavigationFix& fix, std::string_view sentence, std::uint64_t tickMs,
                       FixPost how) {
    if (how == FixPost::Updated) {
        // The same fix completed by a later report: it is as old as when it first came.
        NavigationSample& newest = m_ring[(m_next + kCapacity - 1) % kCapacity];
        newest.fix = fix;
        newest.sentence.Assign(sentence);
        return;
    }
    // Arrival ticks never go back in the ring, so that the lookup can stop at the first match.
    const std::uint64_t tick = m_count > 0 ? std::max(tickMs, At(0).tickMs) : tickMs;
    NavigationSample& slot = m_ring[m_next];
    slot.tickMs = tick;
    slot.fix = fix;
    slot.sentence.Assign(sentence);
    m_next = (m_next + 1) % kCapacity;
    m_count = std::min(m_count + 1, kCapacity);
}

FixPost CFixStore::PostReceived(const NavigationFix& fix, std::string_view sentence, std::uint64_t tickMs) {
    const bool sound = fix.position.has_value() && BadFields(fix) == 0 && !sentence.empty() &&
                       sentence.size() <= kMaxLiveSentenceLength;
    std::lock_guard lock(m_mutex);
    if (!sound) {
        ++m_refused;
        return FixPost::Invalid;
    }
    const FixPost how = Order(fix);
    if (how == FixPost::OutOfOrder) {
        ++m_refused;
        return how;
    }
    Append(fix, sentence, tickMs, how);
    ++m_fixes;
    return how;
}

FixPost CFixStore::Post(const NavigationFix& fix, std::uint64_t tickMs) {
    NavigationFix sound = fix;
    DropFields(sound, BadFields(sound));
    std::array<char, kMaxLiveSentenceLength> text;
    const std::size_t length = ComposeSentence(sound, text);
    return PostReceived(sound, std::string_view(text.data(), length), tickMs);
}

bool CFixStore::Newest(std::uint64_t atTickMs, std::uint64_t maxAgeMs, NavigationSample& out) const {
    std::lock_guard lock(m_mutex);
    for (std::size_t back = 0; back < m_count; ++back) {
        const NavigationSample& sample = At(back);
        if (sample.tickMs <= atTickMs) {
            if (atTickMs - sample.tickMs > maxAgeMs) {
                return false;
            }
            out = sample;
            return true;
        }
    }
    return false;
}

NavigationStatus CFixStore::Status(std::uint64_t nowTickMs) const {
    std::lock_guard lock(m_mutex);
    NavigationStatus status;
    status.kind = m_kind;
    status.link = m_link;
    status.detail = m_detail;
    status.fixes = m_fixes;
    status.refused = m_refused;
    if (m_count == 0) {
        return status;
    }
    const NavigationSample& newest = At(0);
    status.ageMs = nowTickMs > newest.tickMs ? nowTickMs - newest.tickMs : 0;
    status.headingFromCourse = newest.fix.headingDeg.has_value() && newest.fix.headingFromCourse;
    std::size_t inWindow = 0;
    std::uint64_t first = newest.tickMs;
    for (std::size_t back = 0; back < m_count; ++back) {
        const std::uint64_t tick = At(back).tickMs;
        if (tick + kRateWindowMs < nowTickMs) {
            break;
        }
        ++inWindow;
        first = tick;
    }
    if (inWindow >= 2 && newest.tickMs > first) {
        status.rateHz =
            static_cast<double>(inWindow - 1) * 1000.0 / static_cast<double>(newest.tickMs - first);
    }
    return status;
}

} // namespace vexar
