#pragma once
// CChildFrame: the MDI child that holds the sonar view, maximised, with the document title in
// its caption.

#include <QMdiSubWindow>

namespace vexar {

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(QWidget* parent = nullptr);
};

} // namespace vexar
