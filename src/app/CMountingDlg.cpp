#include "app/CMountingDlg.h"

#include "app/DialogLayout.h"
#include "common/TextFormat.h"
#include "config/SettingsTable.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

namespace vexar {

namespace {
/// The keys of the numbers, in the dialog's order, with their labels and units.
struct NumberRow {
    const SettingKey* setting; ///< its member, format and limits
    const char* label;
    const char* unit;
};
constexpr std::array<NumberRow, 5> kRows = {{
    {&SettingOf("Head Tilt"), "Tilt of a level fan below the horizontal:", "deg"},
    {&SettingOf("Head Yaw"), "Yaw: from the bow to the picture's top, clockwise:", "deg"},
    {&SettingOf("Head Offset Forward"), "Head forward of the position reference:", "m"},
    {&SettingOf("Head Offset Starboard"), "Head to starboard of the position reference:", "m"},
    {&SettingOf("Head Offset Down"), "Head below the position reference:", "m"},
}};
} // namespace

CMountingDlg::CMountingDlg(const HeadMounting& mounting, QWidget* parent)
    : QDialog(parent), m_plane(new QComboBox(this)), m_error(new QLabel(this)), m_values(mounting) {
    setWindowTitle(QStringLiteral("Mounting"));
    auto* grid = new QGridLayout(this);
    m_plane->addItem(QStringLiteral("Vertical: the fan across the track, beam 0 down"));
    m_plane->addItem(QStringLiteral("Level: the fan horizontal, the picture's top towards the bow"));
    m_plane->setCurrentIndex(mounting.plane == HeadPlane::Level ? 1 : 0);
    grid->addWidget(new QLabel(QStringLiteral("Head plane:"), this), 0, 0);
    grid->addWidget(m_plane, 0, 1, 1, 2);
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const SettingKey& setting = *kRows[i].setting;
        auto* edit = new QLineEdit(
            QString::fromStdString(FormatText(setting.format, mounting.*setting.mountingNumber)), this);
        m_numbers[i] = edit;
        const int row = static_cast<int>(i) + 1;
        grid->addWidget(new QLabel(QString::fromLatin1(kRows[i].label), this), row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(new QLabel(QString::fromLatin1(kRows[i].unit), this), row, 2);
    }
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #b01e1e"));
    grid->addWidget(m_error, 6, 0, 1, 3);
    AddOkCancel(this, grid, 7, 3);
    connect(m_plane, &QComboBox::currentIndexChanged, this, [this] { EnableTilt(); });
    EnableTilt();
}

void CMountingDlg::EnableTilt() {
    m_numbers[0]->setEnabled(m_plane->currentIndex() == 1);
}

void CMountingDlg::accept() {
    HeadMounting chosen = m_values;
    chosen.plane = m_plane->currentIndex() == 1 ? HeadPlane::Level : HeadPlane::Vertical;
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const SettingKey& setting = *kRows[i].setting;
        bool number = false;
        const double value = m_numbers[i]->text().trimmed().toDouble(&number);
        if (!number || !std::isfinite(value) || value < setting.limits.lowest ||
            value > setting.limits.highest) {
            m_error->setText(
                QString::fromStdString(FormatText("\"%s\" must be a number from %g to %g.", setting.key,
                                                  setting.limits.lowest, setting.limits.highest)));
            m_numbers[i]->setFocus();
            m_numbers[i]->selectAll();
            return;
        }
        chosen.*setting.mountingNumber = value;
    }
    m_values = chosen;
    QDialog::accept();
}

} // namespace vexar
