#include "app/CInfoPanel.h"

#include "acquisition/CTamsorDoc.h"
#include "display/ViewPointer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace vexar {

namespace {
struct PaneSpec {
    const char* label; ///< fixed text, or nullptr for a value or spacer pane
    int width;
    bool spacer;
    bool enabled;
};

// Widths in pixels; spacers have no border and are disabled unless stated.
constexpr std::array<PaneSpec, kInfoPanes> kFirstBar = {{
    {nullptr, 50, false, true},     {"Bearing:", 40, false, true}, {nullptr, 50, false, true},
    {nullptr, 10, true, false},     {nullptr, 70, false, true},    {nullptr, 20, true, true},
    {"Roll:", 35, false, true},     {nullptr, 60, false, true},    {nullptr, 10, true, false},
    {"Altitude:", 40, false, true}, {nullptr, 50, false, true},    {nullptr, 10, true, false},
    {"Long:", 40, false, true},     {nullptr, 80, false, true},    {nullptr, 10, true, false},
    {"Heading:", 50, false, true},  {nullptr, 60, false, true},    {nullptr, 10, true, false},
    {nullptr, 70, false, true},     {nullptr, 10, true, false},
}};

constexpr std::array<PaneSpec, kInfoPanes> kSecondBar = {{
    {nullptr, 50, false, true},  {"Range:", 40, false, true}, {nullptr, 50, false, true},
    {nullptr, 10, true, false},  {nullptr, 70, false, true},  {nullptr, 20, true, true},
    {"Pitch:", 35, false, true}, {nullptr, 60, false, true},  {nullptr, 10, true, true},
    {"Depth:", 40, false, true}, {nullptr, 50, false, true},  {nullptr, 10, true, false},
    {"Lat:", 40, false, true},   {nullptr, 80, false, true},  {nullptr, 10, true, false},
    {"Speed:", 50, false, true}, {nullptr, 60, false, true},  {nullptr, 10, true, false},
    {nullptr, 70, false, true},  {nullptr, 10, true, false},
}};

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

InfoTexts CollectInfoTexts(const CTamsorDoc& doc) {
    const CNavigation& nav = doc.m_navigationValues;
    InfoTexts texts;
    texts.time = doc.m_timeText;
    texts.date = doc.m_dateText;
    texts.roll = nav.m_rollText;
    texts.pitch = nav.m_pitchText;
    texts.altitude = nav.m_altitudeText;
    texts.depth = nav.m_depthText;
    texts.longitude = nav.m_longitudeText;
    texts.latitude = nav.m_latitudeText;
    texts.heading = nav.m_headingText;
    texts.speed = nav.m_speedText;
    texts.navigationTime = nav.m_timeText;
    texts.navigationDate = nav.m_dateText;
    return texts;
}

CInfoBar::CInfoBar(bool second, QWidget* parent) : QWidget(parent) {
    const auto& specs = second ? kSecondBar : kFirstBar;
    // The widths suit a small status font; a larger system font widens every pane alike so that
    // the labels still fit.
    const double scale = std::max(1.0, fontMetrics().horizontalAdvance(QStringLiteral("Altitude:")) / 36.0);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const PaneSpec& paneLayout = specs[i];
        auto* pane = new QLabel(this);
        if (paneLayout.label != nullptr) {
            pane->setText(QString::fromLatin1(paneLayout.label));
        }
        if (!paneLayout.spacer) {
            pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        }
        pane->setEnabled(paneLayout.enabled);
        if (i == 0) {
            // The message pane takes what the others leave, as a status line does.
            pane->setMinimumWidth(static_cast<int>(paneLayout.width * scale));
            layout->addWidget(pane, 1);
        } else {
            pane->setFixedWidth(static_cast<int>(paneLayout.width * scale));
            layout->addWidget(pane);
        }
        m_panes[i] = pane;
    }
}

CInfoPanel::CInfoPanel(QWidget* parent)
    : QWidget(parent), m_first(new CInfoBar(false, this)), m_second(new CInfoBar(true, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_second);
    layout->addWidget(m_first);
}

void CInfoPanel::UpdateInfo(const InfoTexts& texts) {
    m_first->Pane(5)->setText(Text(texts.time));
    m_first->Pane(8)->setText(Text(texts.roll));
    m_first->Pane(11)->setText(Text(texts.altitude));
    m_first->Pane(14)->setText(Text(texts.longitude));
    m_first->Pane(17)->setText(Text(texts.heading));
    m_first->Pane(19)->setText(Text(texts.navigationTime));
    m_second->Pane(5)->setText(Text(texts.date));
    m_second->Pane(8)->setText(Text(texts.pitch));
    m_second->Pane(11)->setText(Text(texts.depth));
    m_second->Pane(14)->setText(Text(texts.latitude));
    m_second->Pane(17)->setText(Text(texts.speed));
    m_second->Pane(19)->setText(Text(texts.navigationDate));
}

void CInfoPanel::UpdateCursorReadout(const CTamsorDoc& doc) {
    m_first->Pane(3)->setText(Text(CursorBearingText(doc.m_cursorBearingDeg)));
    m_second->Pane(3)->setText(Text(CursorRangeText(doc.m_cursorRangeM, doc.m_unit)));
}

void CInfoPanel::ShowMessage(const QString& text) {
    m_first->Pane(1)->setText(text);
}

} // namespace vexar
