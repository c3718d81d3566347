// CMainFrame: the document's events as the windows show them, and the refresh of the bars, the
// info panel and the link status.

#include "app/CMainFrame.h"

#include "acquisition/CTamsorDoc.h"
#include "acquisition/DocumentCommands.h"
#include "acquisition/LinkStatus.h"
#include "app/CDiagDlg.h"
#include "app/CInfoPanel.h"
#include "app/CMOndrelView.h"
#include "app/CSettingsDlg.h"
#include "app/ControlBars.h"

#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QToolBar>

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
        RefreshSpeedText();
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
    RefreshControlBars();
    m_settings->RefreshSettingsDialog();
    m_playbackBar->m_speedBar->setValue(SpeedBarPosition(m_doc));
    RefreshSpeedText();
    if (m_view != nullptr) {
        m_view->Picture().SelectColorTable(m_doc.GetSettings().view.colorTable);
        m_view->update();
    }
    UpdateCommandStates();
    RefreshLinkStatus();
}

void CMainFrame::OnSettingsChanged(const SettingsChange& change) {
    // A change made in a menu, a bar or a dialog shows in the others at once, also while held.
    RefreshControlBars();
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
    m_info->ShowRecording(recording);
    UpdateCommandStates();
}

void CMainFrame::OnRealTimeStarted() {
    m_playbackBand->hide();
    m_liveBand->show();
    RefreshLinkStatus();
}

void CMainFrame::OnPlaybackOpened(std::uint64_t fileLength) {
    m_liveBand->hide();
    m_playbackBand->show();
    QSlider* slider = m_playbackBar->m_filePos;
    slider->setRange(0, 100);
    slider->setTickInterval(10);
    m_playbackBar->m_speedBar->setRange(0, 20);
    m_playbackBar->m_speedBar->setValue(SpeedBarPosition(m_doc));
    RefreshSpeedText();
    m_bytesPerStep = fileLength / 100;
    OnPlaybackMoved(0);
    RefreshLinkStatus();
}

void CMainFrame::OnPlaybackMoved(int percent) {
    m_playbackBar->m_filePos->setValue(percent);
    m_playbackBar->m_filePos->setTickInterval(10);
}

void CMainFrame::RefreshLinkStatus() {
    m_info->ShowLink(DescribeLink(m_doc));
    if (!m_promptShown) {
        m_info->ShowMessage(QString::fromStdString(IdleMessage(m_doc)));
    }
    m_diag->UpdateDiagnostics();
}

void CMainFrame::RefreshInfoPanel() {
    m_info->UpdateInfo(CollectInfoTexts(m_doc));
    m_info->ShowMapPosition(m_doc, m_view != nullptr ? m_view->Readout() : PointerReadout{});
    m_info->ShowRecording(m_doc.Recording().Current());
}

void CMainFrame::RefreshControlBars() {
    RefreshBarTexts(m_doc, *m_liveBar, *m_playbackBar);
}

void CMainFrame::RefreshSpeedText() {
    m_playbackBar->m_speedText->setText(QString::fromStdString(m_doc.Playback().SpeedText()));
}

} // namespace vexar
