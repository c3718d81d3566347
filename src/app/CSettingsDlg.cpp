#include "app/CSettingsDlg.h"

#include "acquisition/CTamsorDoc.h"
#include "app/CUpDown.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

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
    const auto addRow = [this](QGridLayout* grid, int& at, const char* label, Row& target, SettingsSpin spin,
                               int head, QLabel** fileText) {
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), at, 0);
        target.edit = new QLineEdit(this);
        target.edit->setFixedWidth(70);
        grid->addWidget(target.edit, at, 1);
        target.spin = new CUpDown(this);
        grid->addWidget(target.spin, at, 2);
        connect(target.spin, &CUpDown::stepped, this,
                [this, spin, head](int step) { OnSpin(spin, step, head); });
        if (fileText != nullptr) {
            *fileText = new QLabel(this);
            (*fileText)->setMinimumWidth(60);
            grid->addWidget(*fileText, at, 3);
        }
        ++at;
    };
    addRow(layout, row, "Range:", m_range, SettingsSpin::Range, 0, nullptr);
    addRow(layout, row, "Freq:", m_frequency, SettingsSpin::Frequency, 0, nullptr);

    auto* gainBox = new QGroupBox(QStringLiteral("Gain Control"), this);
    auto* gains = new QGridLayout(gainBox);
    int gainRow = 0;
    addRow(gains, gainRow, "Data Gain:", m_dataGain, SettingsSpin::DataGain, 0, &m_fileDataGain);
    addRow(gains, gainRow, "S Gain:", m_startGain, SettingsSpin::StartGain, 0, &m_fileStartGain);
    static constexpr std::array<const char*, 4> kQuadrantLabels = {
        "Gain Q1:", "Gain Q2:", "Gain Q3:", "Gain Q4:"};
    for (int k = 0; k < 4; ++k) {
        const auto index = static_cast<std::size_t>(k);
        addRow(gains, gainRow, kQuadrantLabels[index], m_quadrantGains[index], SettingsSpin::QuadrantGain, k,
               &m_fileQuadrantGains[index]);
    }
    layout->addWidget(gainBox, row++, 0, 1, 4);
    addRow(layout, row, "Persistence:", m_persistence, SettingsSpin::Persistence, 0, nullptr);
    addRow(layout, row, "Pulse Length:", m_pulseLength, SettingsSpin::PulseLength, 0, nullptr);
    addRow(layout, row, "Multiplier:", m_multiplier, SettingsSpin::Multiplier, 0, nullptr);

    // A list the operator picks from: the panel applies the pick, then the dialog shows it.
    const auto addList = [this, layout, &row](const char* label, QComboBox* list,
                                              void (CSettingsPanel::*select)(CTamsorDoc&, int)) {
        layout->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        layout->addWidget(list, row, 1, 1, 2);
        ++row;
        connect(list, &QComboBox::activated, this, [this, select](int index) {
            (m_panel.*select)(m_doc, index);
            RefreshSettingsDialog();
        });
    };
    m_beamWidth = MakeList(this, {"Wide", "Nomal", "Narrow"});
    m_beams = MakeList(this, {"1440", "720", "360"});
    m_averaging = MakeList(this, {"OFF", "3 shots", "5 shots", "7 shots", "9 shots"});
    m_points = MakeList(this, {"500", "1000"});
    addList("BeamW:", m_beamWidth, &CSettingsPanel::SelectBeamWidth);
    addList("Beams:", m_beams, &CSettingsPanel::SelectBeams);
    addList("Averaging:", m_averaging, &CSettingsPanel::SelectAveraging);
    addList("Points:", m_points, &CSettingsPanel::SelectPoints);
    RefreshSettingsDialog();
}

void CSettingsDlg::OnSpin(SettingsSpin spin, int delta, int head) {
    if (!m_panel.Spin(m_doc, spin, delta, head)) {
        return;
    }
    RefreshSettingsDialog();
    if (CSettingsPanel::RefreshesControlBar(m_doc, spin) && m_refreshBars) {
        m_refreshBars();
    }
}

void CSettingsDlg::SelectLists(const SettingsPanelView& view) {
    Select(m_beamWidth, view.beamWidthSelection, m_cachedBeamWidth);
    Select(m_beams, view.beamsSelection, m_cachedBeams);
    Select(m_averaging, view.averagingSelection, m_cachedAveraging);
    Select(m_points, view.pointsSelection, m_cachedPoints);
}

void CSettingsDlg::RefreshSettingsDialog() {
    const SettingsPanelView view = m_panel.Refresh(m_doc);
    // Persistence, the quadrant gains and the pulse-length spin only show values.
    m_persistence.edit->setEnabled(false);
    m_persistence.spin->setEnabled(false);
    for (Row& gain : m_quadrantGains) {
        gain.edit->setEnabled(false);
        gain.spin->setEnabled(false);
    }
    m_pulseLength.spin->setEnabled(false);
    m_range.edit->setEnabled(true);
    m_range.spin->setEnabled(view.rangeSpinEnabled);
    m_frequency.edit->setEnabled(view.frequencyEnabled);
    m_frequency.spin->setEnabled(view.frequencyEnabled);
    m_multiplier.edit->setEnabled(view.multiplierEnabled);
    m_multiplier.spin->setEnabled(view.multiplierEnabled);
    m_points->setEnabled(view.pointsEnabled);

    m_frequency.edit->setText(Text(view.frequency));
    for (std::size_t k = 0; k < m_quadrantGains.size(); ++k) {
        m_quadrantGains[k].edit->setText(Text(view.quadrantGains[k]));
    }
    m_range.edit->setText(Text(view.range));
    m_startGain.edit->setText(Text(view.startGain));
    m_dataGain.edit->setText(Text(view.dataGain));
    m_persistence.edit->setText(Text(view.persistence));
    m_multiplier.edit->setText(Text(view.multiplier));
    m_pulseLength.edit->setText(Text(view.pulseLength));
    SelectLists(view);
    m_fileDataGain->setText(Text(view.fileDataGain));
    m_fileStartGain->setText(Text(view.fileStartGain));
    for (std::size_t k = 0; k < m_fileQuadrantGains.size(); ++k) {
        m_fileQuadrantGains[k]->setText(Text(view.fileQuadrantGains[k]));
    }
}

void CSettingsDlg::RefillLists() {
    const COndrel& first = m_doc.Head(0);
    SettingsPanelView view;
    view.beamWidthSelection = first.m_beamWidth;
    view.beamsSelection = first.m_beamsIndex;
    view.averagingSelection = (first.m_average - 1) / 2;
    view.pointsSelection = (first.m_samples - 500) / 500;
    SelectLists(view);
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
