#include "app/NavigationKeyFilter.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <array>

namespace vexar {

namespace {
// Keys a control with the focus moves about with: its own, whatever accelerator they also have.
bool IsNavigationKey(int key) {
    constexpr std::array kKeys = {Qt::Key_Up,   Qt::Key_Down, Qt::Key_Left,   Qt::Key_Right,
                                  Qt::Key_Home, Qt::Key_End,  Qt::Key_PageUp, Qt::Key_PageDown};
    return std::find(kKeys.begin(), kKeys.end(), key) != kKeys.end();
}

bool UsesNavigationKeys(const QObject* widget) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return !edit->isReadOnly();
    }
    return qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractSlider*>(widget) != nullptr;
}
} // namespace

bool NavigationKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && IsNavigationKey(static_cast<QKeyEvent*>(event)->key()) &&
        UsesNavigationKeys(watched)) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vexar
