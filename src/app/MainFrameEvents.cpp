// CMainFrame: the document's events as the windows show them, and the refresh of the info panel
// and the link status.

#include "app/CMainFrame.h"

#include "acquisition/CTamsorDoc.h"
#include "acquisition/DocumentCommands.h"
#include "acquisition/LinkStatus.h"
#include "app/CDiagDlg.h"
#include "app/CMOndrelView.h"
#include "app/CSettingsDlg.h"
#include "app/ControlBarsController.h"
#include "app/StatusRow.h"

namespace vexar {

void CMainFrame::ScheduleViewUpdate() {
    // The picture follows in the next turn of the event loop, so that processing a ping and
    // drawing it are two short waits for the operator's input instead of one long one. Pings
    // processed before it runs are drawn as one.
    if (m_view == nullptr || m_viewUpdatePending) {
        return;
    }
    m_viewUpdatePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_viewUpdatePending = false;
            if (m_view != nullptr) {
                m_view->OnUpdate();
            }
        },
        Qt::QueuedConnection);
}

void CMainFrame::OnPingProcessed() {
    ScheduleViewUpdate();
    UpdateCommandStates();
    RefreshLinkStatus();
    if (m_settings->isVisible()) {
        m_settings->RefreshSettingsDialog();
    }
    RefreshInfoPanel();
    RefreshNavigationStatus();
    if (m_doc.IsPlayback()) {
        m_bars->RefreshSpeedText();
    }
}

void CMainFrame::OnLinkStateChanged(LinkState state) {
    RefreshLinkStatus();
    if (state == LinkState::Connecting) {
        RefreshInfoPanel();
    } else if (m_view != nullptr) {
        m_view->update();
    }
}

void CMainFrame::OnModeChanged(DocMode mode, bool held) {
    (void)mode;
    (void)held;
    // Hold may come from the view's key or the end of a conversion: the menus and the picture's
    // "held" text follow.
    UpdateCommandStates();
    RefreshLinkStatus();
    if (m_view != nullptr) {
        m_view->update();
    }
}

void CMainFrame::OnSettingsLoaded() {
    // Everything the operator sees shows the values now in force.
    m_bars->RefreshTexts();
    m_settings->RefreshSettingsDialog();
    m_bars->ShowSpeed();
    if (m_view != nullptr) {
        m_view->Picture().SelectColorTable(m_doc.GetSettings().view.colorTable);
        m_view->update();
    }
    UpdateCommandStates();
    RefreshLinkStatus();
}

void CMainFrame::OnSettingsChanged(const SettingsChange& change) {
    // A change made in a menu, a bar or a dialog shows in the others at once, also while held.
    m_bars->RefreshTexts();
    if (m_settings->isVisible()) {
        m_settings->RefreshSettingsDialog();
    }
    if (change.view && m_view != nullptr) {
        // Colour table, grid, units or zoom: the picture is drawn with them at once.
        m_view->Picture().SelectColorTable(m_doc.GetSettings().view.colorTable);
        m_view->update();
    }
}

void CMainFrame::OnPictureStale(int seconds) {
    (void)seconds;
    RefreshLinkStatus();
    if (m_view != nullptr) {
        m_view->update();
    }
}

void CMainFrame::OnRecordingChanged(const RecordingStatus& recording) {
    m_status->ShowRecording(recording);
    UpdateCommandStates();
}

void CMainFrame::OnRealTimeStarted() {
    m_bars->ShowLiveBand();
    RefreshLinkStatus();
}

void CMainFrame::OnPlaybackOpened(std::uint64_t fileLength) {
    m_bars->ShowPlaybackBand(fileLength);
    RefreshLinkStatus();
}

void CMainFrame::OnPlaybackMoved(int percent) {
    m_bars->ShowFilePosition(percent);
}

void CMainFrame::RefreshLinkStatus() {
    m_status->RefreshLink();
    m_diag->UpdateDiagnostics();
}

void CMainFrame::RefreshInfoPanel() {
    m_status->RefreshInfo(m_view != nullptr ? m_view->Readout() : PointerReadout{});
}

} // namespace vexar
