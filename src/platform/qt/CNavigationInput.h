#pragma once
// CNavigationInput: a program's live navigation. It owns the fix store the document looks up each
// live ping's fix in and the source that feeds it. Sources are started and stopped on the
// program's main thread; each reads on a thread of its own and only posts into the store.

#include "navigation/CFixStore.h"
#include "navigation/NavigationSource.h"
#include "ports/Ports.h"

#include <cstdint>
#include <memory>

namespace vexar {

class CNavigationInput {
public:
    /// `clock` stamps the fixes' arrival and must be safe from any thread (QtClock); it outlives
    /// this object.
    explicit CNavigationInput(IClockPort& clock);
    ~CNavigationInput();
    CNavigationInput(const CNavigationInput&) = delete;
    CNavigationInput& operator=(const CNavigationInput&) = delete;

    /// Reads from the source `choice` names, at its baud rate or else at `defaultBaud`: the source
    /// running is stopped (within a fraction of a second) and the store starts over, unless that
    /// very source runs already. NavSourceKind::None stops reading.
    void Start(const NavSourceChoice& choice, int defaultBaud);
    /// The source read now (kind None when none).
    const NavSourceChoice& Running() const { return m_running; }
    /// The fixes; hand it to the document (CLiveAcquisition::SetFixes, through CTamsorDoc::Live). It lives as
    /// long as this.
    const CFixStore& Store() const { return *m_store; }
    /// The status row's navigation field now, for fixes at most `maxFixAgeMs` old.
    NavStatusText Describe(std::uint64_t maxFixAgeMs) const;

private:
    IClockPort& m_clock;
    std::unique_ptr<CFixStore> m_store; ///< large: on the heap
    std::unique_ptr<INavigationSource> m_source;
    NavSourceChoice m_running;
};

} // namespace vexar
