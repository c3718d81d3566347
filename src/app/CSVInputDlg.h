#pragma once
// CSVInputDlg: "Input Sound Velocity". The caller fills the values before opening it and applies
// them after OK.

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace vexar {

class CUpDown;

class CSVInputDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSVInputDlg(QWidget* parent = nullptr);
    /// Takes the caller's values; call before showing.
    void Load(float velocity, float fileVelocity, bool useFile, bool playback);
    /// The accepted velocity (1400..1600) and the use-file switch.
    float Velocity() const { return m_velocity; }
    bool UseFile() const { return m_useFile; }

    QLineEdit* m_edit;       ///< 1084
    CUpDown* m_spin;         ///< 1085
    QLabel* m_fileText;      ///< 1094
    QCheckBox* m_useFileBox; ///< 1095

    void accept() override;

private:
    float m_velocity = 1480.0f;
    float m_fileVelocity = 1480.0f;
    bool m_useFile = false;
    bool m_playback = false;
};

} // namespace vexar
