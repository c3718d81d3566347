#include "app/CContactsWindow.h"

#include "app/CContactsController.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace vexar {

namespace {

const char* const kHeaders[] = {"No.",     "Time (UTC)", "Bearing",  "Range",         "Position",
                                "Easting", "Northing",   "EPSG",     "Vehicle depth", "Length",
                                "Status",  "Note",       "Recording"};

/// The status is chosen from its three values.
class StatusDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* box = new QComboBox(parent);
        for (const ContactStatus status :
             {ContactStatus::Proposed, ContactStatus::Confirmed, ContactStatus::Rejected}) {
            box->addItem(QString::fromLatin1(StatusName(status).data(),
                                             static_cast<qsizetype>(StatusName(status).size())));
        }
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QComboBox*>(editor)->setCurrentText(index.data(Qt::EditRole).toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText(), Qt::EditRole);
    }
};

QString Fixed(double value, int decimals, const char* unit = "") {
    return QString::number(value, 'f', decimals) + QString::fromLatin1(unit);
}

QVariant DisplayOf(const Contact& c, int column) {
    const ContactPosition* p = c.position ? &*c.position : nullptr;
    switch (column) {
    case CContactTableModel::kNumber:
        return c.number;
    case CContactTableModel::kTime:
        return c.utcMs ? QString::fromStdString(IsoUtcText(*c.utcMs)) : QStringLiteral("unknown");
    case CContactTableModel::kBearing:
        return Fixed(static_cast<double>(c.bearingDeg), 1, c.bearingFromNorth ? "\u00b0 N" : "\u00b0 head");
    case CContactTableModel::kRange:
        return Fixed(static_cast<double>(c.rangeM), 2, " m");
    case CContactTableModel::kPosition:
        return p ? Fixed(p->latitudeDeg, 7) + QStringLiteral(", ") + Fixed(p->longitudeDeg, 7)
                 : QStringLiteral("no position (no fix)");
    case CContactTableModel::kEasting:
        return p ? Fixed(p->easting, 2) : QString();
    case CContactTableModel::kNorthing:
        return p ? Fixed(p->northing, 2) : QString();
    case CContactTableModel::kEpsg:
        return p ? QString::number(p->epsg) : QString();
    case CContactTableModel::kDepth:
        return c.vehicleDepthM ? Fixed(static_cast<double>(*c.vehicleDepthM), 2, " m") : QString();
    case CContactTableModel::kLength:
        return c.lengthM ? Fixed(static_cast<double>(*c.lengthM), 2, " m") : QString();
    case CContactTableModel::kStatus:
        return QString::fromLatin1(StatusName(c.status).data());
    case CContactTableModel::kNote:
        return QString::fromStdString(c.note);
    default:
        return QString::fromStdString(c.recording) +
               (c.recordCounter ? QStringLiteral(" #%1").arg(*c.recordCounter) : QString());
    }
}

/// What a column sorts by.
QVariant SortKeyOf(const Contact& c, int column) {
    const ContactPosition* p = c.position ? &*c.position : nullptr;
    switch (column) {
    case CContactTableModel::kTime:
        return c.utcMs ? QVariant::fromValue<qint64>(*c.utcMs) : QVariant(qint64{0});
    case CContactTableModel::kBearing:
        return static_cast<double>(c.bearingDeg);
    case CContactTableModel::kRange:
        return static_cast<double>(c.rangeM);
    case CContactTableModel::kPosition:
        return p ? p->latitudeDeg : -1000.0;
    case CContactTableModel::kEasting:
        return p ? p->easting : -1.0;
    case CContactTableModel::kNorthing:
        return p ? p->northing : -1.0;
    case CContactTableModel::kDepth:
        return c.vehicleDepthM ? static_cast<double>(*c.vehicleDepthM) : -1e9;
    case CContactTableModel::kLength:
        return c.lengthM ? static_cast<double>(*c.lengthM) : -1.0;
    default:
        return DisplayOf(c, column);
    }
}

} // namespace

CContactTableModel::CContactTableModel(CContactsController& contacts, QObject* parent)
    : QAbstractTableModel(parent), m_contacts(contacts) {}

int CContactTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_contacts.List().All().size());
}

int CContactTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CContactTableModel::data(const QModelIndex& index, int role) const {
    const auto& all = m_contacts.List().All();
    if (!index.isValid() || index.row() >= static_cast<int>(all.size())) {
        return {};
    }
    const Contact& contact = all[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return DisplayOf(contact, index.column());
    }
    if (role == Qt::UserRole) {
        return SortKeyOf(contact, index.column());
    }
    return {};
}

QVariant CContactTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumnCount) {
        return QString::fromUtf8(kHeaders[section]);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags CContactTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == kNote || index.column() == kStatus) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool CContactTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid()) {
        return false;
    }
    const int number = NumberAt(index.row());
    if (index.column() == kNote) {
        m_contacts.SetNote(number, value.toString().toStdString());
        return true;
    }
    if (const auto status = StatusOfName(value.toString().toStdString());
        status && index.column() == kStatus) {
        m_contacts.SetStatus(number, *status);
        return true;
    }
    return false;
}

void CContactTableModel::Reload() {
    beginResetModel();
    endResetModel();
}

int CContactTableModel::NumberAt(int row) const {
    const auto& all = m_contacts.List().All();
    return row >= 0 && row < static_cast<int>(all.size()) ? all[static_cast<std::size_t>(row)].number : 0;
}

} // namespace vexar

namespace vexar {

CContactsWindow::CContactsWindow(CContactsController& contacts, QWidget* parent)
    : QDockWidget(QStringLiteral("Contacts"), parent), m_contacts(contacts) {
    setObjectName(QStringLiteral("contacts"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    m_model = new CContactTableModel(contacts, this);
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(Qt::UserRole);
    m_table = new QTableView(body);
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(CContactTableModel::kNumber, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setItemDelegateForColumn(CContactTableModel::kStatus, new StatusDelegate(m_table));
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::SelectedClicked);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    layout->addWidget(m_table, 1);
    layout->addWidget(MakeButtons());
    m_state = new QLabel(body);
    m_state->setWordWrap(true);
    layout->addWidget(m_state);
    setWidget(body);
    connect(&contacts, &CContactsController::contactsChanged, this, &CContactsWindow::Refresh);
    connect(&contacts, &CContactsController::stateChanged, this,
            [this] { m_state->setText(m_contacts.StateText()); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_contacts.Select(SelectedNumber()); });
    connect(m_table, &QTableView::activated, this, [this] { m_contacts.GoTo(SelectedNumber()); });
    Refresh();
}

QWidget* CContactsWindow::MakeButtons() {
    auto* row = new QWidget(this);
    auto* buttons = new QHBoxLayout(row);
    buttons->setContentsMargins(0, 0, 0, 0);
    const auto add = [&](const QString& text, const QString& tip, auto action) {
        auto* button = new QPushButton(text, row);
        button->setToolTip(tip);
        connect(button, &QPushButton::clicked, this, action);
        buttons->addWidget(button);
        return button;
    };
    add(QStringLiteral("Go to"), QStringLiteral("Show the contact's ping (playback) or point to it (live)"),
        [this] { m_contacts.GoTo(SelectedNumber()); });
    add(QStringLiteral("Delete"), QStringLiteral("Delete the selected contact"),
        [this] { m_contacts.Delete(SelectedNumber()); });
    m_undo = add(QStringLiteral("Undo Delete"), QStringLiteral("Bring back the contact deleted last"),
                 [this] { m_contacts.UndoDelete(); });
    // The keys of any list: Delete deletes the selected contact, Ctrl+Z brings it back (not while a
    // note is being edited: the editor keeps its own keys).
    const auto key = [this](const QKeySequence& sequence, auto action) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    key(QKeySequence::Delete, [this] { m_contacts.Delete(SelectedNumber()); });
    key(QKeySequence::Undo, [this] { m_contacts.UndoDelete(); });
    add(QStringLiteral("Export..."),
        QStringLiteral("Export the contacts as KML, GeoJSON, CSV or an HTML report"),
        [this] { m_contacts.Export(this); });
    buttons->addStretch(1);
    return row;
}

void CContactsWindow::Refresh() {
    const int selected = m_contacts.Selected();
    m_model->Reload();
    SelectNumber(selected);
    m_undo->setEnabled(m_contacts.List().CanUndo());
    m_state->setText(m_contacts.StateText());
}

int CContactsWindow::SelectedNumber() const {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : m_model->NumberAt(m_sorted->mapToSource(rows.first()).row());
}

void CContactsWindow::SelectNumber(int number) {
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->NumberAt(row) == number) {
            m_table->selectRow(m_sorted->mapFromSource(m_model->index(row, 0)).row());
            return;
        }
    }
    m_table->clearSelection();
}

} // namespace vexar
