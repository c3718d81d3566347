#pragma once
// CMainFrame: the console's main window. It carries the menus, the toolbar, the live and playback
// bars, the MDI area with the sonar view and the two-bar info panel, owns the modeless dialogs,
// and runs every command id through the document's command table or its own.

#include "acquisition/DocumentTypes.h"
#include "common/Commands.h"
#include "navigation/NavigationStatus.h"
#include "ports/Ports.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string_view>

class QAction;
class QMdiArea;
class QMenu;
class QTimer;
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
struct MenuNode;

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
    void UpdateCommandStates();
    QAction* Action(int id) const;
    QMenu* FileMenu() const { return m_fileMenu; }

    void SetDocumentTitle(const QString& title);

    // ---- The console's own commands ----
    /// "Save Screen": asks for a file name and saves the window there.
    void OnSaveScreen();
    /// "Save Picture as GeoTIFF...".
    void OnSaveGeoPicture();
    /// Saves the window to `path`, with the messages of the command; used by OnSaveScreen.
    void SaveScreenTo(const QString& path);
    /// "&Settings..." and "&Diagnostics...": show or hide the modeless dialog.
    void ToggleSettings();
    void ToggleDiagnostics();
    bool DiagnosticsShown() const;
    /// "&Measure": starts the measuring tool, or ends it.
    void ToggleMeasuring();
    void OnSoundVelocity();
    void OnPingDelay();
    void OnDataOutput();
    /// "Com Port Settings...": the navigation input dialog; its values go to the settings.
    void OnNavigationInput();
    void OnMounting();
    void OnAbout();
    /// The pointer keys: the pointer moves by (dx, dy) pixels over the view.
    void MovePointer(int dx, int dy);
    /// The contacts (created with the view) and their window.
    CContactsController& Contacts() { return *m_contacts; }
    CContactsWindow* ContactsWindow() const { return m_contactsWindow.get(); }
    void ToggleContactsWindow();
    bool ContactsWindowVisible() const;
    /// Where the status row's navigation field comes from (the program's live navigation); the
    /// field is refreshed twice a second and after every ping. Empty: no field.
    void SetNavigationStatus(std::function<NavStatusText()> status);
    /// Shows the navigation field as it is now.
    void RefreshNavigationStatus();

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
    CLiveBar* LiveBar() const { return m_liveBar; }
    CPlaybackBar* PlaybackBar() const { return m_playbackBar; }
    QToolBar* LiveBand() const { return m_liveBand; }
    QToolBar* PlaybackBand() const { return m_playbackBand; }
    CInfoPanel* InfoPanel() const { return m_info; }
    CDiagDlg* DiagDlg() const { return m_diag; }
    CSettingsDlg* SettingsDlg() const { return m_settings; }
    /// Bytes per slider step of the played file.
    std::uint64_t BytesPerSliderStep() const { return m_bytesPerStep; }

protected:
    bool event(QEvent* event) override;
    /// Keys that a focused list, box or slider uses itself are left to it, not to the frame's
    /// accelerators (the arrow keys move the pointer only when no such control has the focus).
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Exit: while recording, the operator is asked first.
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    QAction* AddAction(int id, std::string_view text, std::string_view prompt, bool checkable);
    void CreateMenus();
    void AddMenuItems(QMenu* menu, std::span<const MenuNode> items);
    QMenu* AddMenu(QMenu* parent, std::string_view title);
    void CreateToolBar();
    void CreateBars();
    void CreatePlaybackButtons();
    void CreateAccelerators();
    void Report(const std::string& text, MessageIcon icon);
    void OnRangeStep(int step);
    void OnStartGainStep(int step);
    void OnDisplayGainStep(int step);
    void OnSpeedStep(int step);
    void OnSliderReleased();
    void OnEndMeasuring();
    void ScheduleViewUpdate();
    void RefreshSpeedText();
    void RefreshControlBars();
    void RefreshInfoPanel();
    /// Link indicator, the message pane when it shows no prompt, and the diagnostics.
    void RefreshLinkStatus();

    CTamsorDoc& m_doc;
    IOperatorPort* m_operator;
    QMdiArea* m_mdi = nullptr;
    CChildFrame* m_child = nullptr;
    CMOndrelView* m_view = nullptr;
    QMenu* m_fileMenu = nullptr;
    QToolBar* m_toolBar = nullptr;
    QToolBar* m_liveBand = nullptr;
    QToolBar* m_playbackBand = nullptr;
    CLiveBar* m_liveBar = nullptr;
    CPlaybackBar* m_playbackBar = nullptr;
    CInfoPanel* m_info = nullptr;
    CDiagDlg* m_diag = nullptr;
    CSettingsDlg* m_settings = nullptr;
    std::map<int, QAction*> m_actions;
    std::function<NavStatusText()> m_navigationStatus;
    QTimer* m_navigationTimer = nullptr;
    std::uint64_t m_bytesPerStep = 0;
    bool m_viewUpdatePending = false;
    bool m_promptShown = false; ///< the message pane shows a command's prompt
    // Gone before the view they draw on (the window first: it shows the controller's list).
    std::unique_ptr<CContactsController> m_contacts;
    std::unique_ptr<CContactsWindow> m_contactsWindow;
};

} // namespace vexar
