#pragma once
// Keys that a focused list, box or slider uses itself are left to it, not to the console's
// accelerators: the arrow keys move the pointer only when no such control has the focus.

#include <QObject>

namespace vexar {

class NavigationKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace vexar
