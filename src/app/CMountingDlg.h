#pragma once
// CMountingDlg: "Mounting...", where and how the head sits on the vehicle: the plane of its fan
// (across the track, or level with the picture's top towards the bow), the tilt of a level fan,
// the yaw on its mount and the lever arm from the position reference to the head. Every map
// position the console gives is placed with these.

#include "navigation/HeadPlacement.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;

namespace vexar {

class CMountingDlg : public QDialog {
    Q_OBJECT
public:
    /// Shows `mounting`.
    explicit CMountingDlg(const HeadMounting& mounting, QWidget* parent = nullptr);
    /// After OK: the mounting chosen.
    const HeadMounting& Values() const { return m_values; }

    /// Takes the values when each is a number within its limits; otherwise says which is not,
    /// under the fields, and stays open.
    void accept() override;

    QComboBox* m_plane; ///< 0 Vertical, 1 Level
    /// Tilt, yaw, forward, starboard and down, in the settings table's order.
    std::array<QLineEdit*, 5> m_numbers{};
    QLabel* m_error;

private:
    void EnableTilt();

    HeadMounting m_values;
};

} // namespace vexar
