#pragma once
// CDiagDlg: the modeless diagnostics window. Nineteen rows of a fixed label and a value text;
// the values are rewritten only while the window is shown.

#include "acquisition/Diagnostics.h"

#include <QDialog>

#include <array>

class QLabel;

namespace vexar {

class CTamsorDoc;

class CDiagDlg : public QDialog {
    Q_OBJECT
public:
    CDiagDlg(CTamsorDoc& doc, QWidget* parent = nullptr);
    /// Fills every value text; nothing while the window is hidden.
    void UpdateDiagnostics();
    /// "&Diagnostics...": shows or hides the window (its being shown is the menu item's check).
    void Toggle();
    /// Value text of the row with control id `id`.
    QString ValueText(int id) const;

private:
    CTamsorDoc& m_doc;
    std::array<QLabel*, kDiagnosticsRows> m_values{};
};

} // namespace vexar
