#include "platform/qt/CNavigationInput.h"

#include "platform/qt/NavigationSources.h"

namespace vexar {

CNavigationInput::CNavigationInput(IClockPort& clock)
    : m_clock(clock), m_store(std::make_unique<CFixStore>()) {}

CNavigationInput::~CNavigationInput() {
    m_source.reset(); // joins its thread before the store goes
}

void CNavigationInput::Start(const NavSourceChoice& choice, int defaultBaud) {
    NavSourceChoice wanted = choice;
    if (wanted.kind == NavSourceKind::Serial && wanted.baud == 0) {
        wanted.baud = defaultBaud;
    }
    if (wanted == m_running && (m_source || wanted.kind == NavSourceKind::None)) {
        return;
    }
    m_source.reset();
    m_running = wanted;
    m_source = MakeNavigationSource(wanted, defaultBaud, *m_store, m_clock);
    if (m_source) {
        m_source->Start();
    }
}

NavStatusText CNavigationInput::Describe(std::uint64_t maxFixAgeMs) const {
    return DescribeStatus(m_store->Status(m_clock.TickMs()), maxFixAgeMs);
}

} // namespace vexar
