#include "app/CMainFrame.h"

#include "acquisition/CTamsorDoc.h"
#include "acquisition/DocumentCommands.h"
#include "acquisition/LinkStatus.h"
#include "app/CAboutDlg.h"
#include "app/CChildFrame.h"
#include "app/CContactsController.h"
#include "app/CContactsWindow.h"
#include "app/CDataOutputDlg.h"
#include "app/CDiagDlg.h"
#include "app/CInfoPanel.h"
#include "app/CMOndrelView.h"
#include "app/CMountingDlg.h"
#include "app/CNavInputDlg.h"
#include "app/CPingDelayDlg.h"
#include "app/CSVInputDlg.h"
#include "app/CSettingsDlg.h"
#include "app/CUpDown.h"
#include "app/ConsoleCommands.h"
#include "app/ControlBars.h"
#include "app/GeoPictureExport.h"
#include "app/MenuLayout.h"
#include "app/ScreenCapture.h"
#include "config/SettingsPanel.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QProgressBar>
#include <QSlider>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vexar {

namespace {
QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Keys a control with the focus moves about with: its own, whatever accelerator they also have.
bool IsNavigationKey(int key) {
    constexpr std::array kKeys = {Qt::Key_Up,   Qt::Key_Down, Qt::Key_Left,   Qt::Key_Right,
                                  Qt::Key_Home, Qt::Key_End,  Qt::Key_PageUp, Qt::Key_PageDown};
    return std::find(kKeys.begin(), kKeys.end(), key) != kKeys.end();
}

bool UsesNavigationKeys(const QObject* widget) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return !edit->isReadOnly();
    }
    return qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractSlider*>(widget) != nullptr;
}

bool IsInMenu(const QAction* action) {
    const QList<QObject*> owners = action->associatedObjects();
    return std::any_of(owners.begin(), owners.end(),
                       [](const QObject* owner) { return qobject_cast<const QMenu*>(owner) != nullptr; });
}
} // namespace

CMainFrame::CMainFrame(CTamsorDoc& doc, IOperatorPort* op, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_operator(op) {
    setWindowTitle(QStringLiteral("Vexar"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_mdi = new QMdiArea(central);
    m_mdi->setBackground(QBrush(QColor(128, 128, 128)));
    layout->addWidget(m_mdi, 1);
    m_info = new CInfoPanel(central);
    layout->addWidget(m_info);
    setCentralWidget(central);
    m_info->ShowMessage(QStringLiteral("Ready"));
    qApp->installEventFilter(this);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateBars();
    CreateAccelerators();
    m_diag = new CDiagDlg(m_doc, this);
    m_settings = new CSettingsDlg(m_doc, this);
    m_settings->SetControlBarRefresh([this] { RefreshControlBars(); });
    m_doc.Subscribe(*this);
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    m_doc.Unsubscribe(*this);
}

// ---------------------------------------------------------------------------------------------
// Actions, menus, bars and keys, built from the command tables and the layout

QAction* CMainFrame::AddAction(int id, std::string_view text, std::string_view prompt, bool checkable) {
    auto* action = new QAction(Text(text), this);
    action->setCheckable(checkable);
    action->setData(id);
    if (!prompt.empty()) {
        action->setStatusTip(Text(prompt));
    }
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions[id] = action;
    return action;
}

void CMainFrame::CreateActions() {
    for (const DocumentCommand& command : DocumentCommands()) {
        AddAction(command.id, command.text, command.prompt, command.checkable);
    }
    for (const ConsoleCommand& command : ConsoleCommands()) {
        AddAction(command.id, command.text, command.prompt, command.checkable);
    }
}

QMenu* CMainFrame::AddMenu(QMenu* parent, std::string_view title) {
    QMenu* menu = parent != nullptr ? parent->addMenu(Text(title)) : menuBar()->addMenu(Text(title));
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
    if (parent == nullptr && title == kFileMenuTitle) {
        m_fileMenu = menu;
    }
    return menu;
}

void CMainFrame::AddMenuItems(QMenu* menu, std::span<const MenuNode> items) {
    for (const MenuNode& item : items) {
        switch (item.kind) {
        case MenuNode::Kind::Command:
            // A command on the menu bar itself ("Data Output") has no menu.
            if (menu != nullptr) {
                menu->addAction(m_actions.at(item.id));
            } else {
                menuBar()->addAction(m_actions.at(item.id));
            }
            break;
        case MenuNode::Kind::Separator:
            menu->addSeparator();
            break;
        case MenuNode::Kind::Menu:
            AddMenuItems(AddMenu(menu, item.title), item.items);
            break;
        }
    }
}

void CMainFrame::CreateMenus() {
    AddMenuItems(nullptr, MenuBarLayout());
}

void CMainFrame::CreateToolBar() {
    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setMovable(true);
    for (const ToolButtonSpec& button : ToolBarLayout()) {
        if (button.id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = m_actions.at(button.id);
        action->setIcon(DrawToolIcon(button.icon));
        const QString prompt = action->statusTip();
        action->setToolTip(prompt.isEmpty() ? action->text().remove(QLatin1Char('&')) : prompt);
        m_toolBar->addAction(action);
    }
}

void CMainFrame::CreateBars() {
    m_playbackBar = new CPlaybackBar(this);
    m_liveBar = new CLiveBar(this);
    m_liveBand = addToolBar(QStringLiteral("Live"));
    m_liveBand->addWidget(m_liveBar);
    m_playbackBand = addToolBar(QStringLiteral("Playback"));
    m_playbackBand->addWidget(m_playbackBar);

    connect(m_liveBar->m_rangeUpDown, &CUpDown::stepped, this, &CMainFrame::OnRangeStep);
    for (const GainControls* gains : {&m_liveBar->m_gains, &m_playbackBar->m_gains}) {
        connect(gains->startGainUpDown, &CUpDown::stepped, this, &CMainFrame::OnStartGainStep);
        connect(gains->displayGainUpDown, &CUpDown::stepped, this, &CMainFrame::OnDisplayGainStep);
    }
    connect(m_playbackBar->m_speedUpDown, &CUpDown::stepped, this, &CMainFrame::OnSpeedStep);
    CreatePlaybackButtons();
    connect(m_playbackBar->m_filePos, &QSlider::sliderPressed, this,
            [this] { m_doc.Playback().OnSliderDragStart(); });
    connect(m_playbackBar->m_filePos, &QSlider::sliderReleased, this, &CMainFrame::OnSliderReleased);
}

void CMainFrame::CreatePlaybackButtons() {
    // The playback controls are commands: buttons and keys run the same actions.
    for (const PlaybackButtonSpec& entry : PlaybackButtons()) {
        QAction* action = m_actions.at(entry.id);
        action->setToolTip(QString::fromUtf8(entry.tip));
        if (entry.icon != QStyle::SP_CustomBase) {
            action->setIcon(style()->standardIcon(entry.icon));
        }
        addAction(action);
        (m_playbackBar->*entry.button)->setDefaultAction(action);
    }
}

void CMainFrame::CreateAccelerators() {
    for (const AcceleratorSpec& accelerator : Accelerators()) {
        QAction* action = m_actions.at(accelerator.id);
        action->setShortcut(QKeySequence(accelerator.keys));
        action->setShortcutContext(Qt::ApplicationShortcut);
        // A key without a menu item acts while any of the console's windows is active.
        if (!IsInMenu(action) && !actions().contains(action)) {
            addAction(action);
        }
    }
    // Esc ends measuring, in the main window.
    auto* endMeasuring = new QAction(this);
    endMeasuring->setShortcut(QKeySequence(Qt::Key_Escape));
    endMeasuring->setShortcutContext(Qt::WindowShortcut);
    connect(endMeasuring, &QAction::triggered, this, &CMainFrame::OnEndMeasuring);
    addAction(endMeasuring);
}

void CMainFrame::ArrangeBars() {
    m_liveBand->show();
    m_playbackBand->hide();
    RefreshControlBars();
    UpdateCommandStates();
}

void CMainFrame::CreateView() {
    m_view = new CMOndrelView(m_doc);
    m_view->SetFileMenu(m_fileMenu);
    m_view->SetReadoutHandler([this] { m_info->UpdateCursorReadout(m_doc, m_view->Readout()); });
    m_child = new CChildFrame;
    m_child->setWidget(m_view);
    m_child->setWindowTitle(QString::fromStdString(m_doc.Title()));
    m_mdi->addSubWindow(m_child);
    // Set once the frame is a sub-window: a frame without a parent is given a system menu.
    m_child->setWindowFlags(CChildFrame::FrameFlags());
    m_child->showMaximized();
    m_view->setFocus();
    m_contacts = std::make_unique<CContactsController>(m_doc, *m_view, m_operator);
    m_view->SetPopupExtras({m_actions.at(kCmdMarkContact)});
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

QAction* CMainFrame::Action(int id) const {
    const auto found = m_actions.find(id);
    return found != m_actions.end() ? found->second : nullptr;
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

void CMainFrame::UpdateCommandStates() {
    for (const auto& [id, action] : m_actions) {
        const CommandState state = StateOf(id);
        action->setEnabled(state.enabled);
        if (action->isCheckable()) {
            action->setChecked(state.checked);
        }
    }
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
    RefreshSpeedText();
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

void CMainFrame::OnAbout() {
    CAboutDlg about(QString::fromLatin1(kVersionText), this);
    about.exec();
}

void CMainFrame::OnSoundVelocity() {
    CSVInputDlg dialog(this);
    const bool live = !m_doc.IsPlayback();
    dialog.Load(m_doc.GetSettings().sonar.soundVelocity, m_doc.Shown().FileValues().soundVelocity,
                m_doc.GetSettings().system.useFileSlc != 0, !live);
    if (dialog.exec() == QDialog::Accepted) {
        const float velocity = dialog.Velocity();
        const bool useFile = dialog.UseFile();
        m_doc.EditSettings([&](Settings& s) { ApplySoundVelocity(s, live, velocity, useFile); });
        m_doc.ProcessPing(); // the current ping again, at the new velocity
    }
}

void CMainFrame::OnPingDelay() {
    CPingDelayDlg dialog(m_doc.GetSettings().system.pingDelayMs, this);
    if (dialog.exec() == QDialog::Accepted) {
        const int delayMs = dialog.DelayMs();
        m_doc.EditSettings([delayMs](Settings& s) { s.system.pingDelayMs = delayMs; });
    }
}

void CMainFrame::OnDataOutput() {
    CDataOutputDlg dialog(m_doc, this);
    dialog.exec();
}

void CMainFrame::OnNavigationInput() {
    CNavInputDlg dialog(m_doc.GetSettings().system, this);
    if (dialog.exec() == QDialog::Accepted) {
        const SystemSettings chosen = dialog.Values();
        m_doc.EditSettings([&chosen](Settings& s) { s.system = chosen; });
    }
}

void CMainFrame::OnMounting() {
    CMountingDlg dialog(m_doc.GetSettings().mounting, this);
    if (dialog.exec() == QDialog::Accepted) {
        const HeadMounting chosen = dialog.Values();
        m_doc.EditSettings([&chosen](Settings& s) { s.mounting = chosen; });
    }
}

void CMainFrame::SetNavigationStatus(std::function<NavStatusText()> status) {
    m_navigationStatus = std::move(status);
    if (m_navigationTimer == nullptr) {
        m_navigationTimer = new QTimer(this);
        connect(m_navigationTimer, &QTimer::timeout, this, [this] { RefreshNavigationStatus(); });
    }
    if (m_navigationStatus) {
        m_navigationTimer->start(500);
    } else {
        m_navigationTimer->stop();
    }
    RefreshNavigationStatus();
}

void CMainFrame::RefreshNavigationStatus() {
    m_info->ShowNavigation(m_navigationStatus ? m_navigationStatus() : NavStatusText{});
}

void CMainFrame::OnRangeStep(int step) {
    if (StepRange(m_doc, step)) {
        RefreshControlBars();
    }
}

void CMainFrame::OnStartGainStep(int step) {
    if (StepStartGain(m_doc, step)) {
        RefreshControlBars();
    }
}

void CMainFrame::OnDisplayGainStep(int step) {
    if (StepDisplayGain(m_doc, step)) {
        RefreshControlBars();
    }
}

void CMainFrame::OnSpeedStep(int step) {
    StepSpeed(m_doc, step);
    m_playbackBar->m_speedBar->setValue(SpeedBarPosition(m_doc));
    RefreshSpeedText();
    UpdateCommandStates();
}

void CMainFrame::OnSliderReleased() {
    QSlider* slider = m_playbackBar->m_filePos;
    slider->setTickInterval(10);
    m_doc.Playback().OnSliderRelease(slider->value());
    setFocus();
}

// ---------------------------------------------------------------------------------------------
// Save Screen, the message pane, keys, exit

void CMainFrame::Report(const std::string& text, MessageIcon icon) {
    if (m_operator != nullptr) {
        m_operator->ShowMessage(text, icon);
    }
}

void CMainFrame::OnSaveGeoPicture() {
    if (m_view != nullptr) {
        AskAndSavePictureAsGeoTiff(m_doc, *m_view, this, m_operator);
    }
}

void CMainFrame::OnSaveScreen() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Image As:"),
        QString::fromStdString(m_doc.GetSettings().system.writeFolder), SaveScreenFilters());
    // Redraw at once so that the dialog is not in the picture.
    repaint();
    QApplication::processEvents();
    SaveScreenTo(path);
}

void CMainFrame::SaveScreenTo(const QString& path) {
    const QImage image = CaptureWindow(*this);
    if (image.isNull()) {
        Report("Can't save the screen!", MessageIcon::Error);
        return;
    }
    if (path.isEmpty()) {
        return; // the dialog was cancelled
    }
    switch (SaveScreenImage(image, path)) {
    case SaveScreenResult::InvalidFormat:
        Report("Invalid File Format", MessageIcon::Warning);
        break;
    case SaveScreenResult::WriteFailed:
        Report("Can't save the screen!", MessageIcon::Error);
        break;
    case SaveScreenResult::Saved:
        break;
    }
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        m_promptShown = !tip.isEmpty();
        m_info->ShowMessage(m_promptShown ? tip : QString::fromStdString(IdleMessage(m_doc)));
        return true;
    }
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && IsNavigationKey(static_cast<QKeyEvent*>(event)->key()) &&
        UsesNavigationKeys(watched)) {
        event->accept();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
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
