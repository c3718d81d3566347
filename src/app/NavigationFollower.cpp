#include "app/NavigationFollower.h"

#include "acquisition/CTamsorDoc.h"
#include "config/NavigationSettings.h"
#include "platform/qt/CNavigationInput.h"

#include <algorithm>

namespace vexar {

CNavigationFollower::CNavigationFollower(CTamsorDoc& doc, CNavigationInput& input)
    : m_doc(doc), m_input(input) {
    m_doc.Subscribe(*this);
}

CNavigationFollower::~CNavigationFollower() {
    m_doc.Unsubscribe(*this);
}

void CNavigationFollower::Follow() {
    const SystemSettings& system = m_doc.GetSettings().system;
    m_input.Start(m_override ? *m_override : NavSourceFromSettings(system), system.baudRate);
}

NavStatusText CNavigationFollower::Describe() const {
    return m_input.Describe(static_cast<std::uint64_t>(std::max(m_doc.GetSettings().system.maxFixAgeMs, 0)));
}

} // namespace vexar
