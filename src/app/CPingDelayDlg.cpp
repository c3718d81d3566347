#include "app/CPingDelayDlg.h"

#include "app/CUpDown.h"
#include "config/SettingsPanel.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace vexar {

CPingDelayDlg::CPingDelayDlg(int delayMs, QWidget* parent)
    : QDialog(parent), m_edit(new QLineEdit(this)), m_spin(new CUpDown(this)), m_delayMs(delayMs) {
    setWindowTitle(QStringLiteral("Ping Delay"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Ping Delay :"), this), 0, 0);
    grid->addWidget(m_edit, 0, 1);
    grid->addWidget(m_spin, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("msec"), this), 0, 3);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(buttons, 1, 0, 1, 4);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_edit->setText(QString::number(delayMs));
    connect(m_spin, &CUpDown::stepped, this, [this](int step) {
        m_delayMs = SpinPingDelay(m_delayMs, step);
        m_edit->setText(QString::number(m_delayMs));
    });
}

void CPingDelayDlg::accept() {
    m_delayMs = AcceptPingDelay(m_edit->text().toStdString());
    QDialog::accept();
}

} // namespace vexar
