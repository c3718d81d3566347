#pragma once
// CChildFrame: the MDI child that holds the sonar view, maximised, with the document title in
// its caption. It has no close box and refuses to close: the sonar picture cannot be lost.

#include <QMdiSubWindow>

namespace vexar {

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(QWidget* parent = nullptr);
    /// Caption and minimise/maximise boxes; without the system menu there is no close box and no
    /// Close entry. To be set again once the frame is in the MDI area.
    static Qt::WindowFlags FrameFlags() {
        return Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint;
    }

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace vexar
