#pragma once
// CNavInputDlg: "Com Port Settings...", the navigation input. Where live position and attitude
// come from (none, the vehicle's serial line, or gpsd), the serial device and its baud rate, the
// gpsd address, and how old a fix a ping may still take.

#include "config/SettingsValues.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace vexar {

class CNavInputDlg : public QDialog {
    Q_OBJECT
public:
    /// Shows the navigation values of `system`.
    explicit CNavInputDlg(const SystemSettings& system, QWidget* parent = nullptr);
    /// After OK: `system` with the values chosen.
    const SystemSettings& Values() const { return m_values; }

    /// Takes the values when they name a source that can be read; otherwise says why under the
    /// fields and stays open.
    void accept() override;

    QButtonGroup* m_source; ///< ids 0 none, 1 serial line, 2 gpsd
    QComboBox* m_device;    ///< editable: the ports found, or any path
    QComboBox* m_baud;
    QLineEdit* m_gpsdAddress;
    QSpinBox* m_maxFixAge; ///< ms
    QLabel* m_error;

private:
    void EnableFields();

    SystemSettings m_values;
};

} // namespace vexar
