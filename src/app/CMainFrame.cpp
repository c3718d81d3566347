#include "app/CMainFrame.h"

#include "acquisition/CTamsorDoc.h"
#include "acquisition/DocumentCommands.h"
#include "app/CChildFrame.h"
#include "app/CContactsController.h"
#include "app/CContactsWindow.h"
#include "app/CDiagDlg.h"
#include "app/CInfoPanel.h"
#include "app/CMOndrelView.h"
#include "app/CSettingsDlg.h"
#include "app/ConsoleCommands.h"
#include "app/NavigationKeyFilter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QVBoxLayout>

namespace vexar {

CMainFrame::CMainFrame(CTamsorDoc& doc, IOperatorPort* op, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_operator(op), m_keyFilter(std::make_unique<NavigationKeyFilter>()) {
    setWindowTitle(QStringLiteral("Vexar"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_mdi = new QMdiArea(central);
    m_mdi->setBackground(QBrush(QColor(128, 128, 128)));
    layout->addWidget(m_mdi, 1);
    m_status = std::make_unique<StatusRow>(m_doc, central);
    layout->addWidget(m_status->Panel());
    setCentralWidget(central);
    qApp->installEventFilter(m_keyFilter.get());

    m_commands = std::make_unique<CommandActions>(
        *this, [this](int id) { OnCommand(id); }, [this](int id) { return StateOf(id); });
    m_commands->FillMenuBar(*menuBar());
    m_commands->FillToolBar(*addToolBar(QStringLiteral("Toolbar")));
    m_bars = std::make_unique<ControlBarsController>(m_doc, *this, [this] { UpdateCommandStates(); });
    addToolBar(m_bars->LiveBand());
    addToolBar(m_bars->PlaybackBand());
    m_commands->AttachPlaybackButtons(*m_bars->PlaybackBar());
    m_commands->AddAccelerators();
    // Esc ends measuring, in the main window.
    auto* endMeasuring = new QAction(this);
    endMeasuring->setShortcut(QKeySequence(Qt::Key_Escape));
    endMeasuring->setShortcutContext(Qt::WindowShortcut);
    connect(endMeasuring, &QAction::triggered, this, &CMainFrame::OnEndMeasuring);
    addAction(endMeasuring);

    m_dialogs = std::make_unique<ConsoleDialogs>(m_doc, *this, m_operator);
    m_diag = new CDiagDlg(m_doc, this);
    m_settings = new CSettingsDlg(m_doc, this);
    m_settings->SetControlBarRefresh([this] { m_bars->RefreshTexts(); });
    m_doc.Subscribe(*this);
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(m_keyFilter.get());
    m_doc.Unsubscribe(*this);
}

void CMainFrame::ArrangeBars() {
    LiveBand()->show();
    PlaybackBand()->hide();
    m_bars->RefreshTexts();
    UpdateCommandStates();
}

void CMainFrame::CreateView() {
    m_view = new CMOndrelView(m_doc);
    m_view->SetFileMenu(FileMenu());
    m_view->SetReadoutHandler([this] { InfoPanel()->UpdateCursorReadout(m_doc, m_view->Readout()); });
    m_child = new CChildFrame;
    m_child->setWidget(m_view);
    m_child->setWindowTitle(QString::fromStdString(m_doc.Title()));
    m_mdi->addSubWindow(m_child);
    // Set once the frame is a sub-window: a frame without a parent is given a system menu.
    m_child->setWindowFlags(CChildFrame::FrameFlags());
    m_child->showMaximized();
    m_view->setFocus();
    m_contacts = std::make_unique<CContactsController>(m_doc, *m_view, m_operator);
    m_view->SetPopupExtras({Action(kCmdMarkContact)});
    m_contactsWindow = std::make_unique<CContactsWindow>(*m_contacts, this);
    addDockWidget(Qt::RightDockWidgetArea, m_contactsWindow.get());
    m_contactsWindow->hide();
}

void CMainFrame::ToggleContactsWindow() {
    if (m_contactsWindow != nullptr) {
        m_contactsWindow->setVisible(!m_contactsWindow->isVisible());
    }
}

bool CMainFrame::ContactsWindowVisible() const {
    return m_contactsWindow != nullptr && m_contactsWindow->isVisible();
}

// ---------------------------------------------------------------------------------------------
// Commands

CommandState CMainFrame::StateOf(int id) const {
    if (const ConsoleCommand* own = FindCommand(ConsoleCommands(), id)) {
        return own->state != nullptr ? own->state(*this, own->value) : CommandState{};
    }
    if (const DocumentCommand* command = FindCommand(DocumentCommands(), id)) {
        return command->state != nullptr ? command->state(m_doc, command->value) : CommandState{};
    }
    return CommandState{};
}

void CMainFrame::OnCommand(int id) {
    if (const ConsoleCommand* own = FindCommand(ConsoleCommands(), id)) {
        if (own->action != nullptr) {
            own->action(*this, own->value);
        }
    } else if (const DocumentCommand* command = FindCommand(DocumentCommands(), id)) {
        command->action(m_doc, command->value);
    }
    // A picture the command cleared is cleared now, also when no ping comes to do it (Hold).
    if (m_view != nullptr) {
        m_view->FollowDocument();
    }
    UpdateCommandStates();
    RefreshLinkStatus();
    m_bars->RefreshSpeedText();
}

void CMainFrame::ToggleSettings() {
    m_settings->Toggle();
}

void CMainFrame::ToggleDiagnostics() {
    m_diag->Toggle();
}

void CMainFrame::MovePointer(int dx, int dy) {
    if (m_view != nullptr) {
        m_view->MovePointerBy(dx, dy);
    }
}

void CMainFrame::OnEndMeasuring() {
    if (m_view != nullptr && m_view->IsMeasuring()) {
        m_view->SetMeasuring(false);
        UpdateCommandStates();
    }
}

void CMainFrame::ToggleMeasuring() {
    // The command ends measuring as well as starting it.
    if (m_view != nullptr) {
        m_view->SetMeasuring(!m_view->IsMeasuring());
    }
}

bool CMainFrame::DiagnosticsShown() const {
    return m_diag != nullptr && m_diag->isVisible();
}

void CMainFrame::OnSaveGeoPicture() {
    if (m_view != nullptr) {
        m_dialogs->OnSaveGeoPicture(*m_view);
    }
}

// ---------------------------------------------------------------------------------------------
// The message pane, exit

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        m_status->ShowPrompt(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    const RecordingStatus recording = m_doc.Recording().Current();
    if (recording.active) {
        const std::string question =
            "Recording to " + recording.path + " is in progress.\n\nStop recording and exit?";
        if (m_operator != nullptr && !m_operator->AskYesNo(question)) {
            event->ignore();
            return;
        }
        // Stopped between two records: the file ends with a whole record.
        m_doc.Recording().Stop();
    }
    event->accept();
}

void CMainFrame::SetDocumentTitle(const QString& title) {
    if (m_child != nullptr) {
        m_child->setWindowTitle(title);
    }
}

} // namespace vexar
