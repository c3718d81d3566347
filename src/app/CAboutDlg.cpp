#include "app/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace vexar {

CAboutDlg::CAboutDlg(const QString& version, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Vexar"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Vexar Version %1").arg(version), this);
    text->setObjectName(QStringLiteral("version"));
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

} // namespace vexar
