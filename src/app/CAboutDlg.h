#pragma once
// The about box: program name and version text.

#include <QDialog>

namespace vexar {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(const QString& version, QWidget* parent = nullptr);
};

} // namespace vexar
