#pragma once
// CContactsWindow: the dockable list of the contacts: sorted by any column, note and status
// edited in place, deleted with undo, and "Go to" a contact's ping (playback) or point (live).

#include <QAbstractTableModel>
#include <QDockWidget>

class QLabel;
class QSortFilterProxyModel;
class QTableView;
class QPushButton;

namespace vexar {

class CContactsController;

/// The contacts as a table; sorting uses the raw values (Qt::UserRole).
class CContactTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        kNumber,
        kTime,
        kBearing,
        kRange,
        kPosition,
        kEasting,
        kNorthing,
        kEpsg,
        kDepth,
        kLength,
        kStatus,
        kNote,
        kRecording,
        kColumnCount
    };
    explicit CContactTableModel(CContactsController& contacts, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    /// The contacts changed: the table is read again.
    void Reload();
    /// The number of the contact in `row`.
    int NumberAt(int row) const;

private:
    CContactsController& m_contacts;
};

class CContactsWindow : public QDockWidget {
    Q_OBJECT
public:
    CContactsWindow(CContactsController& contacts, QWidget* parent = nullptr);

    /// The number of the selected contact, 0 when none.
    int SelectedNumber() const;
    /// Selects the row of contact `number`.
    void SelectNumber(int number);
    QTableView* Table() const { return m_table; }
    CContactTableModel* Model() const { return m_model; }

private:
    void Refresh();
    QWidget* MakeButtons();

    CContactsController& m_contacts;
    CContactTableModel* m_model = nullptr;
    QSortFilterProxyModel* m_sorted = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_state = nullptr;
    QPushButton* m_undo = nullptr;
};

} // namespace vexar
