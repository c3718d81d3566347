#pragma once
// The data output: where the per-ping records go by UDP, and the logic of the "Data Output
// Settings" dialog, whose widgets only show these values.

#include "config/SettingsValues.h"

#include <array>
#include <string>

namespace vexar {

/// The values the data output dialog shows and edits.
class CDataOutputDlgModel {
public:
    enum class Choice { None, Point, Beam };

    /// Takes "UdpOutputP96", "UdpOutputB96" and "IPAddress_Output1" from the settings.
    explicit CDataOutputDlgModel(const SystemSettings& system);
    CDataOutputDlgModel(int pointOutput, int beamOutput, const std::string& address);

    /// A click on one of the three radio buttons.
    void Select(Choice choice);
    bool NoneChecked() const { return !m_point && !m_beam; }
    bool PointChecked() const { return m_point; }
    bool BeamChecked() const { return m_beam; }
    /// The four octets of the address field, first most significant.
    const std::array<int, 4>& Octets() const { return m_octets; }
    void SetOctets(const std::array<int, 4>& octets);
    /// The address field as "IPAddress_Output1" holds it.
    std::string AddressText() const;
    /// OK: stores the choices and the address in the settings (saved at program end).
    void Apply(SystemSettings& system) const;

    /// Splits a dotted address into up to four octets with atoi semantics; an address of six
    /// characters or fewer gives all zeros. Octets are kept to 0..255.
    static std::array<int, 4> ParseAddress(const std::string& address);

private:
    bool m_point = false;
    bool m_beam = false;
    std::array<int, 4> m_octets{};
};

} // namespace vexar
