#include "app/CChildFrame.h"

#include <QCloseEvent>

namespace vexar {

CChildFrame::CChildFrame(QWidget* parent) : QMdiSubWindow(parent) {
    setWindowFlags(FrameFlags());
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    // The view is the console's only picture: it goes with the main window, never on its own.
    event->ignore();
}

} // namespace vexar
