#include "output/DataOutput.h"

#include "common/TextParse.h"

#include <algorithm>
#include <cstdio>

namespace vexar {

CDataOutputDlgModel::CDataOutputDlgModel(const SystemSettings& system)
    : CDataOutputDlgModel(system.udpOutputPoint, system.udpOutputBeam, system.outputAddress) {}

CDataOutputDlgModel::CDataOutputDlgModel(int pointOutput, int beamOutput, const std::string& address)
    : m_point(pointOutput != 0), m_beam(beamOutput != 0), m_octets(ParseAddress(address)) {}

void CDataOutputDlgModel::Select(Choice choice) {
    m_point = choice == Choice::Point;
    m_beam = choice == Choice::Beam;
}

void CDataOutputDlgModel::SetOctets(const std::array<int, 4>& octets) {
    for (std::size_t i = 0; i < octets.size(); ++i) {
        m_octets[i] = std::clamp(octets[i], 0, 255);
    }
}

std::string CDataOutputDlgModel::AddressText() const {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", m_octets[0], m_octets[1], m_octets[2], m_octets[3]);
    return text;
}

void CDataOutputDlgModel::Apply(SystemSettings& system) const {
    system.udpOutputPoint = m_point ? 1 : 0;
    system.udpOutputBeam = m_beam ? 1 : 0;
    system.outputAddress = AddressText();
}

std::array<int, 4> CDataOutputDlgModel::ParseAddress(const std::string& address) {
    std::array<int, 4> octets{};
    if (address.size() <= 6) {
        return octets;
    }
    std::size_t start = 0;
    for (std::size_t part = 0; part < octets.size() && start <= address.size(); ++part) {
        const std::size_t dot = address.find('.', start);
        const std::string text =
            address.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        octets[part] = std::clamp(ParseInt(text), 0, 255);
        if (dot == std::string::npos) {
            break;
        }
        start = dot + 1;
    }
    return octets;
}

} // namespace vexar
