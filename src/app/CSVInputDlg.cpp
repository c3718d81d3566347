#include "app/CSVInputDlg.h"

#include "app/CUpDown.h"
#include "app/DialogLayout.h"
#include "config/SettingsPanel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace vexar {

CSVInputDlg::CSVInputDlg(QWidget* parent)
    : QDialog(parent), m_edit(new QLineEdit(this)), m_spin(new CUpDown(this)), m_fileText(new QLabel(this)),
      m_useFileBox(new QCheckBox(this)) {
    setWindowTitle(QStringLiteral("Input Sound Velocity"));
    auto* grid = new QGridLayout(this);
    AddValueRow(this, grid, 0, QStringLiteral("Sound Velocity:"), m_edit, m_spin, QStringLiteral("m/s"));
    grid->addWidget(new QLabel(QStringLiteral("Use Sound Velocity In File:"), this), 1, 0);
    grid->addWidget(m_fileText, 1, 1);
    grid->addWidget(m_useFileBox, 1, 2);
    AddOkCancel(this, grid, 2, 4);
    connect(m_spin, &CUpDown::stepped, this, [this](int step) {
        m_velocity = SpinSoundVelocity(m_velocity, step);
        m_edit->setText(QString::asprintf("%.1f", static_cast<double>(m_velocity)));
    });
}

void CSVInputDlg::Load(float velocity, float fileVelocity, bool useFile, bool playback) {
    m_velocity = velocity;
    m_fileVelocity = fileVelocity;
    m_useFile = useFile;
    m_playback = playback;
    m_edit->setText(QString::asprintf("%.1f", static_cast<double>(velocity)));
    m_fileText->setText(playback ? QString::asprintf("(%.1f m/s)", static_cast<double>(fileVelocity))
                                 : QStringLiteral("n/a"));
    m_useFileBox->setChecked(useFile);
    m_useFileBox->setEnabled(playback);
}

void CSVInputDlg::accept() {
    m_velocity = AcceptSoundVelocity(m_edit->text().toStdString());
    m_useFile = m_useFileBox->isChecked();
    QDialog::accept();
}

} // namespace vexar
