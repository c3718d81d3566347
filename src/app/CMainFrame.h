#pragma once
// CMainFrame: the console's main window. It carries the menus, the toolbar, the live and playback
// bars, the MDI area with the sonar view and the two-bar info panel, owns the modeless dialogs,
// and routes every command id to the document, the view or a dialog.

#include "display/DisplayCommands.h"
#include "platform/Ports.h"

#include <QMainWindow>

#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

class QAction;
class QMdiArea;
class QMenu;
class QToolBar;

namespace vexar {

class CChildFrame;
class CDiagDlg;
class CInfoPanel;
class CLiveBar;
class CMOndrelView;
class CPlaybackBar;
class CSettingsDlg;
class CTamsorDoc;

class CMainFrame : public QMainWindow, public IDocumentListener {
    Q_OBJECT
public:
    explicit CMainFrame(CTamsorDoc& doc, QWidget* parent = nullptr);
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

    // ---- The document's events, shown by the windows ----
    void OnPingProcessed() override;
    void OnLinkStateChanged(LinkState state) override;
    void OnRealTimeStarted() override;
    void OnPlaybackOpened(std::uint64_t fileLength) override;
    void OnPlaybackMoved(int percent) override;
    void OnSettingsLoaded() override;
    void OnSettingsChanged() override;
    void OnPictureStale(int seconds) override;
    void OnRecordingChanged(const RecordingStatus& recording) override;

    // ---- Parts, for the tests ----
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

    /// Command 32901 "Save Screen": asks for a file name and saves the window there.
    void OnSaveScreen();
    /// Saves the window to `path`, with the messages of the command; used by OnSaveScreen.
    void SaveScreenTo(const QString& path);

protected:
    bool event(QEvent* event) override;
    /// Keys that a focused list, box or slider uses itself are left to it, not to the frame's
    /// accelerators (the arrow keys move the pointer only when no such control has the focus).
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Exit: while recording, the operator is asked first.
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateBars();
    void CreateAccelerators();
    QAction* AddCommand(QMenu* menu, int id, std::string_view text, bool checkable = false);
    void OnAbout();
    void OnSoundVelocity();
    void OnPingDelay();
    void OnDataOutput();
    void OnRangeStep(int step);
    void OnStartGainStep(int step);
    void OnDisplayGainStep(int step);
    void OnSpeedStep(int step);
    void OnSliderReleased();
    void OnEndMeasuring();
    void RefreshControlBars();
    void RefreshInfoPanel();
    /// Link indicator, the message pane when it shows no prompt, and the diagnostics.
    void RefreshLinkStatus();

    CTamsorDoc& m_doc;
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
    std::uint64_t m_bytesPerStep = 0;
    bool m_viewUpdatePending = false;
    bool m_promptShown = false; ///< the message pane shows a command's prompt
};

} // namespace vexar
