#include "app/CDiagDlg.h"

#include "acquisition/CTamsorDoc.h"

#include <QGridLayout>
#include <QLabel>

namespace vexar {

CDiagDlg::CDiagDlg(CTamsorDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
    setWindowTitle(QStringLiteral("Dialog"));
    setModal(false);
    auto* grid = new QGridLayout(this);
    grid->setVerticalSpacing(2);
    const auto initial = InitialDiagnosticsTexts();
    for (std::size_t i = 0; i < kDiagnosticsLayout.size(); ++i) {
        const int row = static_cast<int>(i);
        grid->addWidget(new QLabel(QString::fromLatin1(kDiagnosticsLayout[i].label), this), row, 0);
        m_values[i] = new QLabel(QString::fromStdString(initial[i]), this);
        m_values[i]->setMinimumWidth(150);
        grid->addWidget(m_values[i], row, 1);
    }
    adjustSize();
    move(10, 150);
}

void CDiagDlg::UpdateDiagnostics() {
    if (!isVisible()) {
        return;
    }
    const auto texts = UpdateDiagnosticsTexts(m_doc);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        m_values[i]->setText(QString::fromStdString(texts[i]));
    }
}

void CDiagDlg::Toggle() {
    setVisible(!isVisible());
}

QString CDiagDlg::ValueText(int id) const {
    for (std::size_t i = 0; i < kDiagnosticsLayout.size(); ++i) {
        if (kDiagnosticsLayout[i].id == id) {
            return m_values[i]->text();
        }
    }
    return {};
}

} // namespace vexar
