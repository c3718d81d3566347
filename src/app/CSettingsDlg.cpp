#include "app/CSettingsDlg.h"

#include "acquisition/CTamsorDoc.h"
#include "app/CUpDown.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QSignalBlocker>
#include <QToolTip>

namespace vexar {

namespace {
QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QComboBox* MakeList(QWidget* parent, std::initializer_list<const char*> items) {
    auto* list = new QComboBox(parent);
    for (const char* item : items) {
        list->addItem(QString::fromLatin1(item));
    }
    return list;
}

// A box that takes no typing looks like it: on the dialog's own background, not a white field.
void SetReadOnly(QLineEdit* edit, bool readOnly) {
    edit->setReadOnly(readOnly);
    QPalette palette = edit->palette();
    const QPalette& dialog = edit->parentWidget()->palette();
    palette.setColor(QPalette::Base, dialog.color(readOnly ? QPalette::Window : QPalette::Base));
    edit->setPalette(palette);
}

void Select(QComboBox* list, int index, int& cached) {
    if (index == cached && list->currentIndex() == index) {
        return;
    }
    cached = index;
    const QSignalBlocker blocker(list);
    list->setCurrentIndex(index);
}
} // namespace

CSettingsDlg::CSettingsDlg(CTamsorDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
    setWindowTitle(QStringLiteral("Settings"));
    setModal(false);
    auto* layout = new QGridLayout(this);
    int row = 0;
    AddRow(layout, row, "Range:", m_range, SettingsSpin::Range, 0, nullptr);
    AddRow(layout, row, "Freq:", m_frequency, SettingsSpin::Frequency, 0, nullptr);
    AddGainGroup(layout, row);
    AddRow(layout, row, "Persistence:", m_persistence, SettingsSpin::Persistence, 0, nullptr);
    AddRow(layout, row, "Pulse Length:", m_pulseLength, SettingsSpin::PulseLength, 0, nullptr);
    AddRow(layout, row, "Multiplier:", m_multiplier, SettingsSpin::Multiplier, 0, nullptr);
    AddLists(layout, row);
    RefreshSettingsDialog();
}

void CSettingsDlg::AddRow(QGridLayout* grid, int& at, const char* label, Row& target, SettingsSpin spin,
                          int head, QLabel** fileText) {
    grid->addWidget(new QLabel(QString::fromLatin1(label), this), at, 0);
    target.edit = new QLineEdit(this);
    target.edit->setFixedWidth(70);
    grid->addWidget(target.edit, at, 1);
    target.spin = new CUpDown(this);
    grid->addWidget(target.spin, at, 2);
    connect(target.spin, &CUpDown::stepped, this, [this, spin, head](int step) { OnSpin(spin, step, head); });
    // Boxes that only show a value say so by being read-only.
    SetReadOnly(target.edit, !CSettingsPanel::TakesTypedValues(spin));
    connect(target.edit, &QLineEdit::editingFinished, this,
            [this, &target, spin, head] { OnTyped(target, spin, head); });
    if (fileText != nullptr) {
        *fileText = new QLabel(this);
        (*fileText)->setMinimumWidth(60);
        grid->addWidget(*fileText, at, 3);
    }
    ++at;
}

void CSettingsDlg::AddGainGroup(QGridLayout* layout, int& row) {
    auto* gainBox = new QGroupBox(QStringLiteral("Gain Control"), this);
    auto* gains = new QGridLayout(gainBox);
    int gainRow = 0;
    AddRow(gains, gainRow, "Data Gain:", m_dataGain, SettingsSpin::DataGain, 0, &m_fileDataGain);
    AddRow(gains, gainRow, "S Gain:", m_startGain, SettingsSpin::StartGain, 0, &m_fileStartGain);
    static constexpr std::array<const char*, 4> kQuadrantLabels = {
        "Gain Q1:", "Gain Q2:", "Gain Q3:", "Gain Q4:"};
    for (int k = 0; k < 4; ++k) {
        const auto index = static_cast<std::size_t>(k);
        AddRow(gains, gainRow, kQuadrantLabels[index], m_quadrantGains[index], SettingsSpin::QuadrantGain, k,
               &m_fileQuadrantGains[index]);
    }
    layout->addWidget(gainBox, row++, 0, 1, 4);
}

void CSettingsDlg::AddLists(QGridLayout* layout, int& row) {
    // A list the operator picks from: the panel applies the pick to the settings, then the dialog
    // shows it.
    const auto addList = [this, layout, &row](const char* label, QComboBox* list, ListChoice choose) {
        layout->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        layout->addWidget(list, row, 1, 1, 2);
        ++row;
        connect(list, &QComboBox::activated, this, [this, choose](int index) {
            const bool live = !m_doc.IsPlayback();
            m_doc.EditSettings([&](Settings& s) { choose(s, live, index); });
            RefreshSettingsDialog();
        });
    };
    m_beamWidth = MakeList(this, {"Wide", "Nomal", "Narrow"});
    m_beams = MakeList(this, {"1440", "720", "360"});
    m_averaging = MakeList(this, {"OFF", "3 shots", "5 shots", "7 shots", "9 shots"});
    m_points = MakeList(this, {"500", "1000"});
    addList("BeamW:", m_beamWidth, [](Settings& s, bool, int i) { CSettingsPanel::SelectBeamWidth(s, i); });
    addList("Beams:", m_beams, [](Settings& s, bool, int i) { CSettingsPanel::SelectBeams(s, i); });
    addList("Averaging:", m_averaging,
            [](Settings& s, bool, int i) { CSettingsPanel::SelectAveraging(s, i); });
    addList("Points:", m_points, &CSettingsPanel::SelectPoints);
}

void CSettingsDlg::OnSpin(SettingsSpin spin, int delta, int head) {
    const bool live = !m_doc.IsPlayback();
    bool changed = false;
    m_doc.EditSettings([&](Settings& s) { changed = CSettingsPanel::Spin(s, live, spin, delta, head); });
    if (!changed) {
        return;
    }
    RefreshSettingsDialog();
    if (CSettingsPanel::RefreshesControlBar(live, spin) && m_refreshBars) {
        m_refreshBars();
    }
}

void CSettingsDlg::OnTyped(Row& row, SettingsSpin spin, int head) {
    if (!row.edit->isModified()) {
        return; // left without typing
    }
    row.edit->setModified(false);
    const bool live = !m_doc.IsPlayback();
    const std::string typed = row.edit->text().toStdString();
    bool taken = false;
    m_doc.EditSettings([&](Settings& s) { taken = CSettingsPanel::ApplyTyped(s, live, spin, typed, head); });
    if (!taken) {
        QToolTip::showText(row.edit->mapToGlobal(QPoint(0, row.edit->height())),
                           QStringLiteral("Not a number: the value stays as it was"), row.edit);
    }
    RefreshSettingsDialog();
    if (CSettingsPanel::RefreshesControlBar(live, spin) && m_refreshBars) {
        m_refreshBars();
    }
}

void CSettingsDlg::Show(QLineEdit* edit, const std::string& text) {
    if (edit->isModified() && edit->hasFocus()) {
        return; // the operator is typing: the value is taken on Enter
    }
    edit->setText(Text(text));
}

void CSettingsDlg::SelectLists(const SettingsPanelView& view) {
    Select(m_beamWidth, view.beamWidthSelection, m_cachedBeamWidth);
    Select(m_beams, view.beamsSelection, m_cachedBeams);
    Select(m_averaging, view.averagingSelection, m_cachedAveraging);
    Select(m_points, view.pointsSelection, m_cachedPoints);
}

void CSettingsDlg::RefreshSettingsDialog() {
    const SettingsPanelView view =
        CSettingsPanel::Refresh(m_doc.GetSettings(), !m_doc.IsPlayback(), m_doc.Shown().FileValues());
    // Persistence, the quadrant gains and the pulse-length spin only show values.
    m_persistence.edit->setEnabled(false);
    m_persistence.spin->setEnabled(false);
    for (Row& gain : m_quadrantGains) {
        gain.edit->setEnabled(false);
        gain.spin->setEnabled(false);
    }
    m_pulseLength.spin->setEnabled(false);
    m_range.edit->setEnabled(true);
    SetReadOnly(m_range.edit, !view.rangeSpinEnabled); // the range comes from the played file
    m_range.spin->setEnabled(view.rangeSpinEnabled);
    m_frequency.edit->setEnabled(view.frequencyEnabled);
    m_frequency.spin->setEnabled(view.frequencyEnabled);
    m_multiplier.edit->setEnabled(view.multiplierEnabled);
    m_multiplier.spin->setEnabled(view.multiplierEnabled);
    m_points->setEnabled(view.pointsEnabled);

    Show(m_frequency.edit, view.frequency);
    for (std::size_t k = 0; k < m_quadrantGains.size(); ++k) {
        Show(m_quadrantGains[k].edit, view.quadrantGains[k]);
    }
    Show(m_range.edit, view.range);
    Show(m_startGain.edit, view.startGain);
    Show(m_dataGain.edit, view.dataGain);
    Show(m_persistence.edit, view.persistence);
    Show(m_multiplier.edit, view.multiplier);
    Show(m_pulseLength.edit, view.pulseLength);
    SelectLists(view);
    m_fileDataGain->setText(Text(view.fileDataGain));
    m_fileStartGain->setText(Text(view.fileStartGain));
    for (std::size_t k = 0; k < m_fileQuadrantGains.size(); ++k) {
        m_fileQuadrantGains[k]->setText(Text(view.fileQuadrantGains[k]));
    }
}

void CSettingsDlg::Toggle() {
    if (isVisible()) {
        hide();
        return;
    }
    show();
    RefreshSettingsDialog();
}

} // namespace vexar
