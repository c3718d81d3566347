#pragma once
// Rows that several dialogs lay out alike.

class QDialog;
class QGridLayout;
class QLineEdit;
class QString;

namespace vexar {

class CUpDown;

/// "label [edit][spin] unit" in columns 0 to 3 of `row`; the labels belong to `dialog`.
void AddValueRow(QDialog* dialog, QGridLayout* grid, int row, const QString& label, QLineEdit* edit,
                 CUpDown* spin, const QString& unit);

/// OK and Cancel across the first `columns` columns of `row`, wired to accept and reject.
void AddOkCancel(QDialog* dialog, QGridLayout* grid, int row, int columns);

} // namespace vexar
