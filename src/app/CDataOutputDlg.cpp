#include "app/CDataOutputDlg.h"

#include "acquisition/CTamsorDoc.h"
#include "app/DialogLayout.h"
#include "output/DataOutput.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace vexar {

CDataOutputDlg::CDataOutputDlg(CTamsorDoc& doc, QWidget* parent)
    : QDialog(parent), m_none(new QRadioButton(QStringLiteral("  None"), this)),
      m_point(new QRadioButton(QStringLiteral("  P96 (Point Output)"), this)),
      m_beam(new QRadioButton(QStringLiteral("  B96 (Beam Output)"), this)), m_doc(doc) {
    setWindowTitle(QStringLiteral("Data Output Settings"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(m_none, 0, 0, 1, 2);
    grid->addWidget(m_point, 1, 0, 1, 2);
    grid->addWidget(m_beam, 2, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("UDP Output IP :"), this), 3, 0);
    auto* field = new QHBoxLayout;
    field->setSpacing(1);
    const CDataOutputDlgModel shown(doc.GetSettings().system);
    const std::array<int, 4>& octets = shown.Octets();
    for (std::size_t i = 0; i < m_octets.size(); ++i) {
        if (i > 0) {
            field->addWidget(new QLabel(QStringLiteral("."), this));
        }
        m_octets[i] = new QLineEdit(QString::number(octets[i]), this);
        m_octets[i]->setValidator(new QIntValidator(0, 255, m_octets[i]));
        m_octets[i]->setFixedWidth(36);
        m_octets[i]->setAlignment(Qt::AlignCenter);
        field->addWidget(m_octets[i]);
    }
    grid->addLayout(field, 3, 1);
    AddOkCancel(this, grid, 4, 2);

    // Both products on (possible from the settings file) shows both buttons set, and OK keeps
    // both; the buttons are therefore not an exclusive group until the operator clicks one.
    for (QRadioButton* button : {m_none, m_point, m_beam}) {
        button->setAutoExclusive(false);
    }
    m_point->setChecked(shown.PointChecked());
    m_beam->setChecked(shown.BeamChecked());
    m_none->setChecked(shown.NoneChecked());
    const auto choose = [this](QRadioButton* chosen) {
        for (QRadioButton* button : {m_none, m_point, m_beam}) {
            button->setChecked(button == chosen);
        }
    };
    connect(m_none, &QRadioButton::clicked, this, [this, choose] { choose(m_none); });
    connect(m_point, &QRadioButton::clicked, this, [this, choose] { choose(m_point); });
    connect(m_beam, &QRadioButton::clicked, this, [this, choose] { choose(m_beam); });
}

void CDataOutputDlg::accept() {
    // Both buttons may be set (from the settings file); the model's choices are taken as shown.
    CDataOutputDlgModel model(m_point->isChecked() ? 1 : 0, m_beam->isChecked() ? 1 : 0, std::string());
    std::array<int, 4> octets{};
    for (std::size_t i = 0; i < octets.size(); ++i) {
        octets[i] = m_octets[i]->text().toInt();
    }
    model.SetOctets(octets);
    m_doc.EditSettings([&model](Settings& s) { model.Apply(s.system); });
    QDialog::accept();
}

} // namespace vexar
