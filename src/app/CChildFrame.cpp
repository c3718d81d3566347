#include "app/CChildFrame.h"

namespace vexar {

CChildFrame::CChildFrame(QWidget* parent) : QMdiSubWindow(parent) {
    setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

} // namespace vexar
