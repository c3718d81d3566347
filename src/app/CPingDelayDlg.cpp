#include "app/CPingDelayDlg.h"

#include "app/CUpDown.h"
#include "app/DialogLayout.h"
#include "config/SettingsPanel.h"

#include <QGridLayout>
#include <QLineEdit>

namespace vexar {

CPingDelayDlg::CPingDelayDlg(int delayMs, QWidget* parent)
    : QDialog(parent), m_edit(new QLineEdit(this)), m_spin(new CUpDown(this)), m_delayMs(delayMs) {
    setWindowTitle(QStringLiteral("Ping Delay"));
    auto* grid = new QGridLayout(this);
    AddValueRow(this, grid, 0, QStringLiteral("Ping Delay :"), m_edit, m_spin, QStringLiteral("msec"));
    AddOkCancel(this, grid, 1, 4);
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
