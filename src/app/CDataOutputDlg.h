#pragma once
// CDataOutputDlg: "Data Output Settings". Chooses the UDP product (none, P96 or B96) and the
// destination address; OK stores both in the document, which saves them at program end.

#include <QDialog>

#include <array>

class QLineEdit;
class QRadioButton;

namespace vexar {

class CTamsorDoc;

class CDataOutputDlg : public QDialog {
    Q_OBJECT
public:
    CDataOutputDlg(CTamsorDoc& doc, QWidget* parent = nullptr);
    void accept() override;

    QRadioButton* m_none;                 ///< 1096
    QRadioButton* m_point;                ///< 1097
    QRadioButton* m_beam;                 ///< 1098
    std::array<QLineEdit*, 4> m_octets{}; ///< the IPv4 address field, 1101

private:
    CTamsorDoc& m_doc;
};

} // namespace vexar
