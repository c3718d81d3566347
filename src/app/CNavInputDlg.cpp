#include "app/CNavInputDlg.h"

#include "app/DialogLayout.h"
#include "config/NavigationSettings.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QSpinBox>

#include <array>

namespace vexar {

namespace {
constexpr std::array kBaudRates = {4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

QComboBox* DeviceBox(const SystemSettings& system, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        box->addItem(port.systemLocation());
    }
    box->setCurrentText(QString::fromStdString(system.navDevice));
    box->setMinimumContentsLength(24);
    return box;
}

QComboBox* BaudBox(const SystemSettings& system, QWidget* parent) {
    auto* box = new QComboBox(parent);
    for (const int rate : kBaudRates) {
        box->addItem(QString::number(rate), rate);
    }
    const int at = box->findData(system.baudRate);
    if (at < 0) {
        box->addItem(QString::number(system.baudRate), system.baudRate);
    }
    box->setCurrentIndex(box->findData(system.baudRate));
    return box;
}
} // namespace

CNavInputDlg::CNavInputDlg(const SystemSettings& system, QWidget* parent)
    : QDialog(parent), m_source(new QButtonGroup(this)), m_device(DeviceBox(system, this)),
      m_baud(BaudBox(system, this)),
      m_gpsdAddress(new QLineEdit(QString::fromStdString(system.gpsdAddress), this)),
      m_maxFixAge(new QSpinBox(this)), m_error(new QLabel(this)), m_values(system) {
    setWindowTitle(QStringLiteral("Navigation Input"));
    auto* grid = new QGridLayout(this);
    const char* names[] = {"None", "Serial line ($AULOG sentences)", "gpsd (GNSS daemon)"};
    for (int id = 0; id < 3; ++id) {
        auto* button = new QRadioButton(QString::fromLatin1(names[id]), this);
        m_source->addButton(button, id);
        grid->addWidget(button, id, 0, 1, 2);
    }
    const auto row = [this, grid](int at, const char* label, QWidget* field) {
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), at, 0);
        grid->addWidget(field, at, 1);
    };
    row(3, "Serial device:", m_device);
    row(4, "Baud rate:", m_baud);
    row(5, "gpsd address:", m_gpsdAddress);
    m_maxFixAge->setRange(100, 60000);
    m_maxFixAge->setSingleStep(100);
    m_maxFixAge->setSuffix(QStringLiteral(" ms"));
    m_maxFixAge->setValue(system.maxFixAgeMs);
    row(6, "Maximum fix age:", m_maxFixAge);
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #b01e1e"));
    grid->addWidget(m_error, 7, 0, 1, 2);
    AddOkCancel(this, grid, 8, 2);
    // The buttons' ids are the sources in NavSourceKind's order.
    m_source->button(static_cast<int>(system.navSource))->setChecked(true);
    connect(m_source, &QButtonGroup::idClicked, this, [this] { EnableFields(); });
    EnableFields();
}

void CNavInputDlg::EnableFields() {
    const auto source = static_cast<NavSourceKind>(m_source->checkedId());
    m_device->setEnabled(source == NavSourceKind::Serial);
    m_baud->setEnabled(source == NavSourceKind::Serial);
    m_gpsdAddress->setEnabled(source == NavSourceKind::Gpsd);
}

void CNavInputDlg::accept() {
    const auto source = static_cast<NavSourceKind>(m_source->checkedId());
    std::string text = "none";
    if (source == NavSourceKind::Serial) {
        text = "serial:" + m_device->currentText().trimmed().toStdString() + "," +
               m_baud->currentData().toString().toStdString();
    } else if (source == NavSourceKind::Gpsd) {
        text = "gpsd:" + m_gpsdAddress->text().trimmed().toStdString();
    }
    std::string error;
    const std::optional<NavSourceChoice> choice = ParseNavSource(text, &error);
    if (!choice) {
        m_error->setText(QString::fromStdString(error));
        return;
    }
    StoreNavSource(*choice, m_values);
    m_values.maxFixAgeMs = m_maxFixAge->value();
    QDialog::accept();
}

} // namespace vexar
