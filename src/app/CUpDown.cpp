#include "app/CUpDown.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace vexar {

CUpDown::CUpDown(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFixedSize(16, 11);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { emit stepped(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { emit stepped(-1); });
}

void CUpDown::Click(int step) {
    (step > 0 ? m_up : m_down)->click();
}

} // namespace vexar
