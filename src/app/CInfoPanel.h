#pragma once
// The info panel: two status bars of 20 panes each under the view. The first shows the message
// pane, the cursor bearing, the time, roll, altitude, longitude, heading and navigation time;
// the second the cursor range, the date, pitch, depth, latitude, speed and navigation date.
// A third row shows the link to the head, the recording, the live navigation source and, while
// the ping shown has a position, the latitude and longitude and the map (UTM) position of the
// point under the pointer.

#include <QWidget>

#include <array>
#include <string>

class QLabel;

namespace vexar {

class CTamsorDoc;
struct LinkStatusView;
struct PointerReadout;
struct NavStatusText;
struct RecordingStatus;

inline constexpr int kInfoPanes = 20;

/// The document's status texts as the two bars show them.
struct InfoTexts {
    std::string time, date;
    std::string roll, pitch, altitude, depth, longitude, latitude, heading, speed;
    std::string navigationTime, navigationDate;
};

/// Collects the texts from the document.
InfoTexts CollectInfoTexts(const CTamsorDoc& doc);

class CInfoBar : public QWidget {
    Q_OBJECT
public:
    /// `second` selects the layout of the second bar.
    CInfoBar(bool second, QWidget* parent = nullptr);
    /// Pane n, 1..20.
    QLabel* Pane(int n) const { return m_panes[static_cast<std::size_t>(n - 1)]; }

private:
    std::array<QLabel*, kInfoPanes> m_panes{};
};

class CInfoPanel : public QWidget {
    Q_OBJECT
public:
    explicit CInfoPanel(QWidget* parent = nullptr);
    /// Panes 5, 8, 11, 14, 17 and 19 of both bars.
    void UpdateInfo(const InfoTexts& texts);
    void UpdateCursorReadout(const CTamsorDoc& doc, const PointerReadout& pointer);
    /// The position of the point under the pointer, as latitude and longitude and on the map;
    /// blank while the ping shown has no position fix.
    void ShowMapPosition(const CTamsorDoc& doc, const PointerReadout& pointer);
    /// The navigation field: green, amber or red by its level, hidden without a source.
    void ShowNavigation(const NavStatusText& navigation);
    /// The message pane (status prompts).
    void ShowMessage(const QString& text);
    /// The link indicator, coloured by its state.
    void ShowLink(const LinkStatusView& link);
    /// The recording indicator: file and size, or that nothing is recorded.
    void ShowRecording(const RecordingStatus& recording);

    CInfoBar* First() const { return m_first; }
    CInfoBar* Second() const { return m_second; }
    QLabel* LinkPane() const { return m_link; }
    QLabel* RecordingPane() const { return m_recording; }
    QLabel* MapPositionPane() const { return m_mapPosition; }
    QLabel* GeoPositionPane() const { return m_geoPosition; }
    QLabel* NavigationPane() const { return m_navigation; }

private:
    CInfoBar* m_first;
    CInfoBar* m_second;
    QLabel* m_link;
    QLabel* m_recording;
    QLabel* m_mapPosition;
    QLabel* m_geoPosition;
    QLabel* m_navigation;
};

} // namespace vexar
