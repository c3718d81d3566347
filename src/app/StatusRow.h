#pragma once
// What the info panel at the foot of the main window shows: the message pane (a command's prompt,
// or the document's idle message when no prompt is shown), the link indicator, the ping's info,
// the recording and the navigation field, refreshed twice a second.

#include "navigation/NavigationStatus.h"

#include <functional>

class QString;
class QTimer;
class QWidget;

namespace vexar {

class CInfoPanel;
class CTamsorDoc;
struct PointerReadout;
struct RecordingStatus;

class StatusRow {
public:
    /// The panel, parented by `parent`, showing "Ready".
    StatusRow(const CTamsorDoc& doc, QWidget* parent);

    CInfoPanel* Panel() const { return m_panel; }

    /// A command's prompt in the message pane; an empty one gives the pane back to the idle message.
    void ShowPrompt(const QString& prompt);
    /// The link indicator, and the message pane when it shows no prompt.
    void RefreshLink();
    /// The ping's info, the map position of `pointer` and the recording.
    void RefreshInfo(const PointerReadout& pointer);
    void ShowRecording(const RecordingStatus& recording);
    /// Where the navigation field comes from; empty: no field.
    void SetNavigationStatus(std::function<NavStatusText()> status);
    /// The navigation field as it is now.
    void RefreshNavigation();

private:
    const CTamsorDoc& m_doc;
    CInfoPanel* m_panel = nullptr;
    std::function<NavStatusText()> m_navigationStatus;
    QTimer* m_navigationTimer = nullptr;
    bool m_promptShown = false; ///< the message pane shows a command's prompt
};

} // namespace vexar
