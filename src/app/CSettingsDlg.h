#pragma once
// CSettingsDlg: the modeless panel of acquisition and processing parameters. Values change through
// its spin controls and lists, and through values typed into the boxes of range, frequency, gains
// and multiplier (applied on Enter or when the box is left). Every refresh rewrites all texts and
// enables, except the text of a box the operator is typing in.

#include "config/SettingsPanel.h"

#include <QDialog>

#include <array>
#include <functional>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;

namespace vexar {

class CTamsorDoc;
class CUpDown;

class CSettingsDlg : public QDialog {
    Q_OBJECT
public:
    CSettingsDlg(CTamsorDoc& doc, QWidget* parent = nullptr);
    /// Re-reads every value into the controls.
    void RefreshSettingsDialog();

    /// Show/Hide command: hidden -> shown and refreshed.
    void Toggle();
    /// Called after a change of range, gains or persistence in real time.
    void SetControlBarRefresh(std::function<void()> refresh) { m_refreshBars = std::move(refresh); }

    // Controls, for the frame's tests.
    struct Row {
        QLineEdit* edit = nullptr;
        CUpDown* spin = nullptr;
    };
    Row m_range, m_frequency, m_dataGain, m_startGain, m_persistence, m_pulseLength, m_multiplier;
    std::array<Row, 4> m_quadrantGains;
    QComboBox* m_beamWidth = nullptr;             ///< 1062
    QComboBox* m_beams = nullptr;                 ///< 1049
    QComboBox* m_averaging = nullptr;             ///< 1065
    QComboBox* m_points = nullptr;                ///< 1067
    QLabel* m_fileDataGain = nullptr;             ///< 1089
    QLabel* m_fileStartGain = nullptr;            ///< 1091
    std::array<QLabel*, 4> m_fileQuadrantGains{}; ///< 1092..1095

private:
    /// A list's pick applied to the settings: (settings, live, index).
    using ListChoice = void (*)(Settings& settings, bool live, int index);
    void AddRow(QGridLayout* grid, int& at, const char* label, Row& target, SettingsSpin spin, int head,
                QLabel** fileText);
    void AddGainGroup(QGridLayout* layout, int& row);
    void AddLists(QGridLayout* layout, int& row);
    void OnSpin(SettingsSpin spin, int delta, int head);
    void OnTyped(Row& row, SettingsSpin spin, int head);
    /// Writes a box's text unless the operator is typing in it.
    static void Show(QLineEdit* edit, const std::string& text);
    void SelectLists(const SettingsPanelView& view);

    CTamsorDoc& m_doc;
    std::function<void()> m_refreshBars;
    // Last list selections, so that a refresh re-selects a list only when its value changed.
    int m_cachedPoints = 0;
    int m_cachedAveraging = 0;
    int m_cachedBeams = 0;
    int m_cachedBeamWidth = 0;
};

} // namespace vexar
