#include "app/DialogLayout.h"

#include "app/CUpDown.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace vexar {

void AddValueRow(QDialog* dialog, QGridLayout* grid, int row, const QString& label, QLineEdit* edit,
                 CUpDown* spin, const QString& unit) {
    grid->addWidget(new QLabel(label, dialog), row, 0);
    grid->addWidget(edit, row, 1);
    grid->addWidget(spin, row, 2);
    grid->addWidget(new QLabel(unit, dialog), row, 3);
}

void AddOkCancel(QDialog* dialog, QGridLayout* grid, int row, int columns) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    grid->addWidget(buttons, row, 0, 1, columns);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
}

} // namespace vexar
