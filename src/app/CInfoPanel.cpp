#include "app/CInfoPanel.h"

#include "acquisition/CTamsorDoc.h"
#include "acquisition/LinkStatus.h"
#include "common/TextFormat.h"
#include "display/CPictureModel.h"
#include "display/PictureOrientation.h"
#include "display/ViewPointer.h"
#include "navigation/HeadPlacement.h"
#include "navigation/NavigationStatus.h"

#include <QApplication>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

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

// The panes' widths suit a narrow face such as Arial; in it the two bars fit a window 1024
// pixels wide. The size follows the system's font.
QFont PanelFont() {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(QFontInfo(QApplication::font()).pixelSize(), 8));
    return font;
}

QLabel* AddIndicator(QHBoxLayout* layout, QWidget* parent, const QString& widest, int stretch) {
    auto* pane = new QLabel(parent);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(widest) + 12);
    pane->setAutoFillBackground(true);
    layout->addWidget(pane, stretch);
    return pane;
}

// A pane in a signal colour, or in the bar's own colours.
void Colour(QLabel* pane, const QColor& background, const QColor& text) {
    QPalette palette = pane->parentWidget()->palette();
    if (background.isValid()) {
        palette.setColor(QPalette::Window, background);
        palette.setColor(QPalette::WindowText, text);
    }
    pane->setPalette(palette);
}
} // namespace

InfoTexts CollectInfoTexts(const CTamsorDoc& doc) {
    const CNavigation& nav = doc.Shown().Navigation();
    InfoTexts texts;
    texts.time = doc.Shown().Clock().time;
    texts.date = doc.Shown().Clock().date;
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
    const auto& panes = second ? kSecondBar : kFirstBar;
    // The widths suit a small status font; a larger system font widens every pane alike so that
    // the labels still fit.
    const double scale = std::max(1.0, fontMetrics().horizontalAdvance(QStringLiteral("Altitude:")) / 36.0);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    for (std::size_t i = 0; i < panes.size(); ++i) {
        const PaneSpec& paneLayout = panes[i];
        auto* pane = new QLabel(this);
        if (paneLayout.label != nullptr) {
            pane->setText(QString::fromLatin1(paneLayout.label));
        }
        if (!paneLayout.spacer) {
            pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        }
        pane->setEnabled(paneLayout.enabled);
        // Spacers keep their width; a label is never narrower than its text.
        int width = paneLayout.spacer ? paneLayout.width : static_cast<int>(paneLayout.width * scale);
        if (paneLayout.label != nullptr) {
            width = std::max(width, pane->fontMetrics().horizontalAdvance(pane->text()) + 8);
        }
        if (i == 0) {
            // The message pane takes what the others leave, as a status line does.
            pane->setMinimumWidth(width);
            layout->addWidget(pane, 1);
        } else {
            pane->setFixedWidth(width);
            layout->addWidget(pane);
        }
        m_panes[i] = pane;
    }
}

CInfoPanel::CInfoPanel(QWidget* parent) : QWidget(parent) {
    setFont(PanelFont());
    m_first = new CInfoBar(false, this);
    m_second = new CInfoBar(true, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_second);
    layout->addWidget(m_first);

    auto* status = new QWidget(this);
    auto* row = new QHBoxLayout(status);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(2);
    m_link = AddIndicator(row, status, QStringLiteral("Sonar: connected, no pings"), 0);
    m_recording = AddIndicator(row, status, QStringLiteral("Recording: 07DEC2026-114139.R96  9999.9 MB"), 1);
    m_navigation = AddIndicator(row, status, QStringLiteral("Nav: serial 10 Hz"), 0);
    m_navigation->setToolTip(QStringLiteral("Live navigation: source, fix rate, age of the newest fix"));
    m_navigation->hide();
    m_geoPosition = AddIndicator(row, status, QStringLiteral("89.999999 S 179.999999 W"), 0);
    m_geoPosition->setToolTip(
        QStringLiteral("Latitude and longitude (WGS 84) of the point under the pointer"));
    m_mapPosition = AddIndicator(row, status, QStringLiteral("E 500000.0 m  N 10000000.0 m  zone 60"), 0);
    m_mapPosition->setToolTip(QStringLiteral("Map position (UTM) of the point under the pointer"));
    layout->addWidget(status);
    ShowRecording(RecordingStatus{});
}

void CInfoPanel::ShowLink(const LinkStatusView& link) {
    m_link->setText(Text(link.text));
    switch (link.indicator) {
    case LinkIndicator::Pinging:
        Colour(m_link, QColor(40, 130, 40), Qt::white);
        break;
    case LinkIndicator::NoPings:
        Colour(m_link, QColor(240, 170, 20), Qt::black);
        break;
    case LinkIndicator::NotConnected:
        Colour(m_link, QColor(190, 30, 30), Qt::white);
        break;
    case LinkIndicator::Held:
    case LinkIndicator::Playback:
        Colour(m_link, QColor(), QColor());
        break;
    }
}

void CInfoPanel::ShowRecording(const RecordingStatus& recording) {
    m_recording->setText(Text(RecordingText(recording)));
    m_recording->setToolTip(Text(recording.path));
    if (recording.active) {
        Colour(m_recording, QColor(190, 30, 30), Qt::white);
    } else {
        Colour(m_recording, QColor(), QColor());
    }
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

void CInfoPanel::UpdateCursorReadout(const CTamsorDoc& doc, const PointerReadout& pointer) {
    m_first->Pane(3)->setText(Text(CursorBearingText(pointer.bearingDeg)));
    m_second->Pane(3)->setText(Text(CursorRangeText(pointer.rangeM, doc.GetSettings().view.unit)));
    ShowMapPosition(doc, pointer);
}

void CInfoPanel::ShowMapPosition(const CTamsorDoc& doc, const PointerReadout& pointer) {
    // The ping's own sentence (played, or the live fix of its request) places the picture. On a
    // North Up picture the pointer's bearing is taken back to the picture's own.
    const PingSettings& sonar = doc.Shown().Settings();
    const std::optional<HeadPose> pose = PoseOfShownPing(doc);
    if (!pose || sonar.beams <= 0) {
        m_mapPosition->clear();
        m_geoPosition->clear();
        return;
    }
    const PictureTurn turn =
        TurnOfPicture(doc.GetSettings().view.orientation, sonar.beams, PictureInputOf(doc).topBearingDeg);
    float bearing = pointer.bearingDeg - turn.degrees;
    if (bearing < 0.0f) {
        bearing += 360.0f;
    }
    const PlacedPoint map =
        pose->PlaceInPicture(bearing, pointer.rangeM, sonar.beams, static_cast<double>(sonar.soundVelocity));
    m_mapPosition->setText(
        Text(FormatText("E %.1f m  N %.1f m  zone %d", map.east, map.north, pose->Projection().zone)));
    const LatLon geo = pose->LatLonOf(map);
    m_geoPosition->setText(
        Text(FormatText("%.6f %c %.6f %c", std::fabs(geo.latitudeDeg), geo.latitudeDeg < 0.0 ? 'S' : 'N',
                        std::fabs(geo.longitudeDeg), geo.longitudeDeg < 0.0 ? 'W' : 'E')));
}

void CInfoPanel::ShowNavigation(const NavStatusText& navigation) {
    if (navigation.level == NavStatusLevel::Hidden) {
        m_navigation->hide();
        return;
    }
    m_navigation->setText(Text(navigation.text));
    switch (navigation.level) {
    case NavStatusLevel::Good:
        Colour(m_navigation, QColor(40, 130, 40), Qt::white);
        break;
    case NavStatusLevel::Stale:
        Colour(m_navigation, QColor(240, 170, 20), Qt::black);
        break;
    case NavStatusLevel::NoFix:
    case NavStatusLevel::Hidden:
        Colour(m_navigation, QColor(190, 30, 30), Qt::white);
        break;
    }
    m_navigation->show();
}

void CInfoPanel::ShowMessage(const QString& text) {
    m_first->Pane(1)->setText(text);
}

} // namespace vexar
