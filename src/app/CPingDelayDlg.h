#pragma once
// CPingDelayDlg: "Ping Delay", the pause between pings in milliseconds (0..5000).

#include <QDialog>

class QLineEdit;

namespace vexar {

class CUpDown;

class CPingDelayDlg : public QDialog {
    Q_OBJECT
public:
    CPingDelayDlg(int delayMs, QWidget* parent = nullptr);
    int DelayMs() const { return m_delayMs; }

    QLineEdit* m_edit; ///< 1102
    CUpDown* m_spin;   ///< 1103

    void accept() override;

private:
    int m_delayMs;
};

} // namespace vexar
