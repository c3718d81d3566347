#pragma once
// CDataOutputDlg: "Data Output Settings". Chooses the UDP product (none, P96 or B96) and the
// destination address; OK stores both in the document, which saves them at program end.

#include <QDialog>

#include <array>
#include <string>

class QLineEdit;
class QRadioButton;

namespace vexar {

class CTamsorDoc;

/// The address field's four octets of an "IPAddress_Output1" text: split at each '.', each
/// part as atoi (kept to 0..255), first most significant; six characters or fewer give zeros.
std::array<int, 4> OutputAddressOctets(const std::string& address);
/// "%d.%d.%d.%d" of the four octets.
std::string OutputAddressText(const std::array<int, 4>& octets);

class CDataOutputDlg : public QDialog {
    Q_OBJECT
public:
    CDataOutputDlg(CTamsorDoc& doc, QWidget* parent = nullptr);
    void accept() override;

    QRadioButton* m_none;  ///< 1096
    QRadioButton* m_point; ///< 1097
    QRadioButton* m_beam;  ///< 1098
    std::array<QLineEdit*, 4> m_octets{}; ///< the IPv4 address field, 1101

private:
    CTamsorDoc& m_doc;
};

} // namespace vexar
