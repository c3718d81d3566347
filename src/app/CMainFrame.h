#pragma once
// CMainFrame: the console's main window. It puts together the command actions (menus, toolbar,
// keys), the live and playback bars, the MDI area with the sonar view and the status row, owns
// the modeless dialogs, runs every command id through the document's command table or its own,
// and passes the document's events on to the windows.

#include "acquisition/DocumentTypes.h"
#include "app/CommandActions.h"
#include "app/ConsoleDialogs.h"
#include "app/ControlBarsController.h"
#include "app/StatusRow.h"
#include "common/Commands.h"
#include "navigation/NavigationStatus.h"
#include "ports/Ports.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QMdiArea;
class QMenu;
class QToolBar;

namespace vexar {

class CChildFrame;
class CContactsController;
class CContactsWindow;
class CDiagDlg;
class CInfoPanel;
class CLiveBar;
class CMOndrelView;
class CPlaybackBar;
class CSettingsDlg;
class CTamsorDoc;
class NavigationKeyFilter;

class CMainFrame : public QMainWindow, public IDocumentListener {
    Q_OBJECT
public:
    /// `op` shows the frame's own messages and questions (Save Screen, Exit while recording).
    CMainFrame(CTamsorDoc& doc, IOperatorPort* op, QWidget* parent = nullptr);
    ~CMainFrame() override;

    /// Creates the maximised child frame with the view of the document.
    void CreateView();
    /// Puts the bands in place, shows the live bar, hides the playback bar, refreshes the bars.
    void ArrangeBars();

    /// Runs a command id as a menu, toolbar button or accelerator would.
    void OnCommand(int id);
    /// Check and enable state of a command.
    CommandState StateOf(int id) const;
    /// Sets every action's check mark and enabled state.
    void UpdateCommandStates() { m_commands->UpdateStates(); }
    QAction* Action(int id) const { return m_commands->Action(id); }
    QMenu* FileMenu() const { return m_commands->FileMenu(); }

    void SetDocumentTitle(const QString& title);

    // ---- The console's own commands ----
    /// The console's dialogs and the saving of the screen.
    ConsoleDialogs& Dialogs() { return *m_dialogs; }
    /// "Save Picture as GeoTIFF...".
    void OnSaveGeoPicture();
    /// Saves the window to `path`, with the messages of "Save Screen".
    void SaveScreenTo(const QString& path) { m_dialogs->SaveScreenTo(path); }
    /// "&Settings..." and "&Diagnostics...": show or hide the modeless dialog.
    void ToggleSettings();
    void ToggleDiagnostics();
    bool DiagnosticsShown() const;
    /// "&Measure": starts the measuring tool, or ends it.
    void ToggleMeasuring();
    /// The pointer keys: the pointer moves by (dx, dy) pixels over the view.
    void MovePointer(int dx, int dy);
    /// The contacts (created with the view) and their window.
    CContactsController& Contacts() { return *m_contacts; }
    CContactsWindow* ContactsWindow() const { return m_contactsWindow.get(); }
    void ToggleContactsWindow();
    bool ContactsWindowVisible() const;
    /// Where the status row's navigation field comes from (the program's live navigation); the
    /// field is refreshed twice a second and after every ping. Empty: no field.
    void SetNavigationStatus(std::function<NavStatusText()> status) {
        m_status->SetNavigationStatus(std::move(status));
    }
    /// Shows the navigation field as it is now.
    void RefreshNavigationStatus() { m_status->RefreshNavigation(); }

    // ---- The document's events, shown by the windows ----
    void OnPingProcessed() override;
    void OnLinkStateChanged(LinkState state) override;
    void OnModeChanged(DocMode mode, bool held) override;
    void OnRealTimeStarted() override;
    void OnPlaybackOpened(std::uint64_t fileLength) override;
    void OnPlaybackMoved(int percent) override;
    void OnSettingsLoaded() override;
    void OnSettingsChanged(const SettingsChange& change) override;
    void OnPictureStale(int seconds) override;
    void OnRecordingChanged(const RecordingStatus& recording) override;

    // ---- Parts, for the tests and the commands ----
    const CTamsorDoc& Document() const { return m_doc; }
    CMOndrelView* View() const { return m_view; }
    CChildFrame* ChildFrame() const { return m_child; }
    CLiveBar* LiveBar() const { return m_bars->LiveBar(); }
    CPlaybackBar* PlaybackBar() const { return m_bars->PlaybackBar(); }
    QToolBar* LiveBand() const { return m_bars->LiveBand(); }
    QToolBar* PlaybackBand() const { return m_bars->PlaybackBand(); }
    CInfoPanel* InfoPanel() const { return m_status->Panel(); }
    CDiagDlg* DiagDlg() const { return m_diag; }
    CSettingsDlg* SettingsDlg() const { return m_settings; }
    /// Bytes per slider step of the played file.
    std::uint64_t BytesPerSliderStep() const { return m_bars->BytesPerSliderStep(); }

protected:
    /// A command's prompt goes to the message pane.
    bool event(QEvent* event) override;
    /// Exit: while recording, the operator is asked first.
    void closeEvent(QCloseEvent* event) override;

private:
    void OnEndMeasuring();
    void ScheduleViewUpdate();
    void RefreshInfoPanel();
    /// Link indicator, the message pane when it shows no prompt, and the diagnostics.
    void RefreshLinkStatus();

    CTamsorDoc& m_doc;
    IOperatorPort* m_operator;
    QMdiArea* m_mdi = nullptr;
    CChildFrame* m_child = nullptr;
    CMOndrelView* m_view = nullptr;
    CDiagDlg* m_diag = nullptr;
    CSettingsDlg* m_settings = nullptr;
    std::unique_ptr<NavigationKeyFilter> m_keyFilter;
    std::unique_ptr<StatusRow> m_status;
    std::unique_ptr<CommandActions> m_commands;
    std::unique_ptr<ControlBarsController> m_bars;
    std::unique_ptr<ConsoleDialogs> m_dialogs;
    bool m_viewUpdatePending = false;
    // Gone before the view they draw on (the window first: it shows the controller's list).
    std::unique_ptr<CContactsController> m_contacts;
    std::unique_ptr<CContactsWindow> m_contactsWindow;
};

} // namespace vexar
