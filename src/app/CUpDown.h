#pragma once
// An up-down control without a buddy: two arrow buttons that only report steps (+1 up, -1 down).
// The handler applies the step to the document value and decides whether anything changed.

#include <QWidget>

class QToolButton;

namespace vexar {

class CUpDown : public QWidget {
    Q_OBJECT
public:
    explicit CUpDown(QWidget* parent = nullptr);
    /// Clicks an arrow as the operator would: +1 up, -1 down.
    void Click(int step);

signals:
    void stepped(int step);

private:
    QToolButton* m_up;
    QToolButton* m_down;
};

} // namespace vexar
