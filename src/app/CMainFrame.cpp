#include "app/CMainFrame.h"

#include "acquisition/CTamsorDoc.h"
#include "acquisition/LinkStatus.h"
#include "app/CAboutDlg.h"
#include "app/CChildFrame.h"
#include "app/CDataOutputDlg.h"
#include "app/CDiagDlg.h"
#include "app/CInfoPanel.h"
#include "app/CMOndrelView.h"
#include "app/CPingDelayDlg.h"
#include "app/CSVInputDlg.h"
#include "app/CSettingsDlg.h"
#include "app/CUpDown.h"
#include "app/CVideoExportDlg.h"
#include "app/ControlBars.h"
#include "app/FileCommands.h"
#include "app/ScreenCapture.h"
#include "app/ToolBarIcons.h"
#include "config/SettingsPanel.h"
#include "display/ColorTables.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"

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
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace vexar {

namespace {
constexpr int kCmdAppAbout = 57664;
constexpr int kCmdAppExit = 57665;

void Report(CTamsorDoc& doc, const std::string& text, MessageIcon icon) {
    if (doc.Ports().operatorPort != nullptr) {
        doc.Ports().operatorPort->ShowMessage(text, icon);
    }
}

// Keys a control with the focus moves about with: its own, whatever accelerator they also have.
bool IsNavigationKey(int key) {
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
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
} // namespace

CMainFrame::CMainFrame(CTamsorDoc& doc, QWidget* parent) : QMainWindow(parent), m_doc(doc) {
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

QAction* CMainFrame::AddCommand(QMenu* menu, int id, std::string_view text, bool checkable) {
    auto* action = new QAction(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), this);
    action->setCheckable(checkable);
    action->setData(id);
    const std::string prompt = CommandPrompt(id);
    if (!prompt.empty()) {
        action->setStatusTip(QString::fromStdString(prompt));
    }
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    if (menu != nullptr) {
        menu->addAction(action);
    }
    m_actions[id] = action;
    return action;
}

void CMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    const auto addMenu = [this, bar](const char* title) {
        QMenu* menu = bar->addMenu(QString::fromLatin1(title));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
        return menu;
    };
    const auto subMenu = [this](QMenu* parent, const char* title) {
        QMenu* menu = parent->addMenu(QString::fromLatin1(title));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
        return menu;
    };

    m_fileMenu = addMenu("&File");
    AddCommand(m_fileMenu, kCmdRealTime, "Real &Time");
    AddCommand(m_fileMenu, kCmdPlayback, "&Playback...");
    m_fileMenu->addSeparator();
    AddCommand(m_fileMenu, kCmdRecordR96, "&Record ( .R96 Format)", true);
    AddCommand(m_fileMenu, kCmdRecordB96, "Record ( .B96 Format)", true);
    AddCommand(m_fileMenu, kCmdRecordP96, "Record ( .P96 Format)", true);
    AddCommand(m_fileMenu, kCmdStopRecording, "&Stop Recording...");
    m_fileMenu->addSeparator();
    AddCommand(m_fileMenu, kCmdConvertXyz, "Convert .R96 File to .xyz...");
    AddCommand(m_fileMenu, kCmdExportVideo, "Export Video...");
    m_fileMenu->addSeparator();
    AddCommand(m_fileMenu, kCmdAutoFileName, "&Auto File Name", true);
    QMenu* autoSize = subMenu(m_fileMenu, "Auto File Size");
    AddCommand(autoSize, kCmdAutoSizeEnable, "Enable", true);
    static constexpr std::array<const char*, 5> kSizes = {"500 MBytes", "1 GBytes", "2 GBytes", "3 GBytes",
                                                          "4 GBytes"};
    for (std::size_t i = 0; i < kSizes.size(); ++i) {
        AddCommand(autoSize, kCmdAutoSize500M + static_cast<int>(i), kSizes[i], true);
    }
    m_fileMenu->addSeparator();
    AddCommand(m_fileMenu, kCmdSaveScreen, "Save Screen");
    m_fileMenu->addSeparator();
    AddCommand(m_fileMenu, kCmdAppExit, "E&xit");

    QMenu* view = addMenu("&View");
    QMenu* zoom = subMenu(view, "Zoom");
    AddCommand(zoom, kCmdZoom100, "100 %", true);
    AddCommand(zoom, kCmdZoom50, "50 %", true);
    AddCommand(zoom, kCmdZoomFill, "Fill Screen", true);
    AddCommand(view, kCmdClearImage, "Clear Image");
    QMenu* units = subMenu(view, "Units");
    AddCommand(units, kCmdUnitsMetric, "Metric", true);
    AddCommand(units, kCmdUnitsImperial, "Imperial", true);
    QMenu* grid = subMenu(view, "Grid");
    AddCommand(grid, kCmdGridNone, "None", true);
    AddCommand(grid, kCmdGridPolar, "Polar", true);
    AddCommand(grid, kCmdGridRectangular, "Rectangular", true);
    AddCommand(grid, kCmdGridLine, "Line", true);
    AddCommand(view, kCmdRangeMark, "Display Range Mark", true);
    AddCommand(view, kCmdHold, "&Hold", true);

    QMenu* colours = addMenu("&Color Table");
    static_assert(kCmdColorLast - kCmdColorFirst + 1 == kColorTableCount);
    for (int i = 0; i < kColorTableCount; ++i) {
        AddCommand(colours, kCmdColorFirst + i, ColorTableMenuText(i), true);
    }

    QMenu* points = addMenu("&Data Points");
    AddCommand(points, kCmdPoints500, "500", true);
    AddCommand(points, kCmdPoints1000, "1000", true);

    QMenu* beams = addMenu("&Beams");
    AddCommand(beams, kCmdBeams1440, "1440", true);
    AddCommand(beams, kCmdBeams720, "720", true);
    AddCommand(beams, kCmdBeams360, "360", true);

    QMenu* mode = addMenu("&Mode");
    AddCommand(mode, kCmdModePolar, "Polar", true);
    AddCommand(mode, kCmdModeBeamTest, "Beam Test", true);

    QMenu* processing = addMenu("&Processing");
    AddCommand(processing, kCmdWidthWide, "Wide", true);
    AddCommand(processing, kCmdWidthNormal, "Normal", true);
    AddCommand(processing, kCmdWidthNarrow, "Narrow", true);

    QMenu* averaging = addMenu("&Averaging");
    AddCommand(averaging, kCmdAverageOff, "OFF", true);
    AddCommand(averaging, kCmdAverage3, "3 shots", true);
    AddCommand(averaging, kCmdAverage5, "5 shots", true);
    AddCommand(averaging, kCmdAverage7, "7 shots", true);
    AddCommand(averaging, kCmdAverage9, "9 shots", true);

    QMenu* profile = addMenu("P&rofile");
    QMenu* profileMode = subMenu(profile, "Profile Mode");
    AddCommand(profileMode, kCmdProfileOff, "OFF", true);
    AddCommand(profileMode, kCmdMixHigh, "High MIx", true);
    AddCommand(profileMode, kCmdMixMedium, "Medium Mix", true);
    AddCommand(profileMode, kCmdMixLow, "Lo Mix", true);
    AddCommand(profileMode, kCmdPointsOnly, "Points  Only", true);
    QMenu* filter = subMenu(profile, "Profile Point Filter");
    AddCommand(filter, kCmdFilterFirst, "First Return", true);
    AddCommand(filter, kCmdFilterMax, "Maximum return", true);
    AddCommand(filter, kCmdFilterBottom, "Bottom Following", true);

    QMenu* options = addMenu("&Options");
    AddCommand(options, kCmdSettings, "&Settings...");
    AddCommand(options, kCmdDiagnostics, "&Diagnostics...", true);
    AddCommand(options, kCmdMeasure, "&Measure", true);
    AddCommand(options, kCmdTransducerUp, "&Transducer Up", true);
    AddCommand(options, kCmdSoundVelocity, "&Sound Velocity");
    AddCommand(options, kCmdPingDelay, "Ping Delay...");
    AddCommand(options, kCmdComPort, "Com Port Settings...");

    // "Data Output" is a command on the menu bar itself.
    bar->addAction(AddCommand(nullptr, kCmdDataOutput, "Data Output"));

    QMenu* help = addMenu("&Help");
    AddCommand(help, kCmdAppAbout, "&About Vexar...");
}

void CMainFrame::CreateToolBar() {
    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setMovable(true);
    const auto button = [this](int id, ToolIcon icon) {
        QAction* action = m_actions.at(id);
        action->setIcon(DrawToolIcon(icon));
        const std::string prompt = CommandPrompt(id);
        action->setToolTip(prompt.empty() ? action->text().remove(QLatin1Char('&'))
                                          : QString::fromStdString(prompt));
        m_toolBar->addAction(action);
    };
    button(kCmdRealTime, ToolIcon::RealTime);
    button(kCmdPlayback, ToolIcon::Playback);
    button(kCmdRecordR96, ToolIcon::Record);
    button(kCmdStopRecording, ToolIcon::Stop);
    m_toolBar->addSeparator();
    button(kCmdHold, ToolIcon::Hold);
    button(kCmdMeasure, ToolIcon::Measure);
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
    // The playback controls are commands: buttons and keys run the same actions.
    const auto control = [this](QToolButton* button, int id, const char* text, const char* tip,
                                QStyle::StandardPixmap icon, bool checkable) {
        QAction* action = AddCommand(nullptr, id, text, checkable);
        action->setToolTip(QString::fromUtf8(tip));
        if (icon != QStyle::SP_CustomBase) {
            action->setIcon(style()->standardIcon(icon));
        }
        addAction(action);
        button->setDefaultAction(action);
    };
    control(m_playbackBar->m_jumpToStart, kCmdJumpToStart, "Start",
            "Jump to the start of the file (Ctrl+Home)", QStyle::SP_MediaSkipBackward, false);
    control(m_playbackBar->m_stepBack, kCmdStepBack, "Back", "One ping back, held (Ctrl+Left)",
            QStyle::SP_MediaSeekBackward, false);
    control(m_playbackBar->m_stepForward, kCmdStepForward, "Forward", "One ping forward, held (Ctrl+Right)",
            QStyle::SP_MediaSeekForward, false);
    control(m_playbackBar->m_jumpToEnd, kCmdJumpToEnd, "End", "Jump to the last ping of the file (Ctrl+End)",
            QStyle::SP_MediaSkipForward, false);
    control(m_playbackBar->m_recordedPace, kCmdRecordedPace, "1\u00d7",
            "1\u00d7: play at the pace the pings were recorded", QStyle::SP_CustomBase, true);
    connect(m_playbackBar->m_filePos, &QSlider::sliderPressed, this, [this] { SliderPressed(m_doc); });
    connect(m_playbackBar->m_filePos, &QSlider::sliderReleased, this, &CMainFrame::OnSliderReleased);
}

void CMainFrame::CreateAccelerators() {
    const auto shortcut = [this](int id, const QKeySequence& keys) {
        QAction* action = m_actions.at(id);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::ApplicationShortcut);
    };
    shortcut(kCmdPlayback, QKeySequence(Qt::CTRL | Qt::Key_O));
    shortcut(kCmdRecordR96, QKeySequence(Qt::CTRL | Qt::Key_S));
    shortcut(kCmdStopRecording, QKeySequence(Qt::CTRL | Qt::Key_E));
    shortcut(kCmdClearImage, QKeySequence(Qt::Key_C));
    shortcut(kCmdHold, QKeySequence(Qt::Key_H));
    shortcut(kCmdJumpToStart, QKeySequence(Qt::CTRL | Qt::Key_Home));
    shortcut(kCmdStepBack, QKeySequence(Qt::CTRL | Qt::Key_Left));
    shortcut(kCmdStepForward, QKeySequence(Qt::CTRL | Qt::Key_Right));
    shortcut(kCmdJumpToEnd, QKeySequence(Qt::CTRL | Qt::Key_End));
    // Esc ends measuring, in the main window.
    auto* endMeasuring = new QAction(this);
    endMeasuring->setShortcut(QKeySequence(Qt::Key_Escape));
    endMeasuring->setShortcutContext(Qt::WindowShortcut);
    connect(endMeasuring, &QAction::triggered, this, &CMainFrame::OnEndMeasuring);
    addAction(endMeasuring);
    // The pointer keys have no menu item; they act while any of the console's windows is active.
    static constexpr std::array<std::pair<int, Qt::Key>, 4> kPointerKeys = {{
        {kCmdPointerDown, Qt::Key_Down},
        {kCmdPointerLeft, Qt::Key_Left},
        {kCmdPointerRight, Qt::Key_Right},
        {kCmdPointerUp, Qt::Key_Up},
    }};
    for (const auto& [id, key] : kPointerKeys) {
        QAction* action = AddCommand(nullptr, id, "");
        addAction(action);
        shortcut(id, QKeySequence(key));
    }
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
    m_view->SetReadoutHandler([this] { m_info->UpdateCursorReadout(m_doc); });
    m_child = new CChildFrame;
    m_child->setWidget(m_view);
    m_child->setWindowTitle(QString::fromStdString(m_doc.m_title));
    m_mdi->addSubWindow(m_child);
    // Set once the frame is a sub-window: a frame without a parent is given a system menu.
    m_child->setWindowFlags(CChildFrame::FrameFlags());
    m_child->showMaximized();
    m_view->setFocus();
}

QAction* CMainFrame::Action(int id) const {
    const auto found = m_actions.find(id);
    return found != m_actions.end() ? found->second : nullptr;
}

CommandState CMainFrame::StateOf(int id) const {
    if (id == kCmdExportVideo) {
        return CommandState{CVideoExportDlg::CanExport(m_doc), false};
    }
    if (const auto state = QueryFileCommand(m_doc, id)) {
        return *state;
    }
    if (const auto state = QueryDisplayCommand(m_doc, id)) {
        return *state;
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
    switch (id) {
    case kCmdSaveScreen:
        OnSaveScreen();
        break;
    case kCmdExportVideo:
        CVideoExportDlg::OnExportVideo(m_doc, this);
        break;
    case kCmdSettings:
        if (m_settings != nullptr) {
            m_settings->Toggle();
        }
        break;
    case kCmdDiagnostics:
        if (m_diag != nullptr) {
            m_diag->Toggle();
        }
        break;
    case kCmdSoundVelocity:
        OnSoundVelocity();
        break;
    case kCmdPingDelay:
        OnPingDelay();
        break;
    case kCmdDataOutput:
        OnDataOutput();
        break;
    case kCmdAppAbout:
        OnAbout();
        break;
    case kCmdAppExit:
        close();
        break;
    case kCmdPointerDown:
    case kCmdPointerLeft:
    case kCmdPointerRight:
    case kCmdPointerUp:
        if (m_view != nullptr) {
            m_view->OnPointerCommand(id);
        }
        break;
    default:
        if (!ExecuteFileCommand(m_doc, id) && ExecuteDisplayCommand(m_doc, id) && m_view != nullptr) {
            if (id >= kCmdColorFirst && id <= kCmdColorLast) {
                m_view->Picture().SelectColorTable(m_doc.m_colorTable);
            }
            if (id == kCmdClearImage) {
                m_view->ClearPictureNow(); // also on a frozen picture, not at the next ping
            }
            m_view->update();
        }
        break;
    }
    UpdateCommandStates();
    RefreshLinkStatus();
    m_playbackBar->m_speedText->setText(QString::fromStdString(m_doc.Player().SpeedText()));
}

void CMainFrame::OnEndMeasuring() {
    if (m_doc.m_measuring != 0) {
        m_doc.m_measuring = 0;
        UpdateCommandStates();
        if (m_view != nullptr) {
            m_view->update();
        }
    }
}

void CMainFrame::OnAbout() {
    CAboutDlg about(QString::fromStdString(m_doc.m_version), this);
    about.exec();
}

void CMainFrame::OnSoundVelocity() {
    CSVInputDlg dialog(this);
    dialog.Load(m_doc.m_soundVelocity, m_doc.m_fileSoundVelocity, m_doc.m_useFileSlc != 0,
                m_doc.m_playback != 0);
    if (dialog.exec() == QDialog::Accepted) {
        ApplySoundVelocity(m_doc, dialog.Velocity(), dialog.UseFile());
    }
}

void CMainFrame::OnPingDelay() {
    CPingDelayDlg dialog(m_doc.m_pingDelayMs, this);
    if (dialog.exec() == QDialog::Accepted) {
        m_doc.m_pingDelayMs = dialog.DelayMs();
    }
}

void CMainFrame::OnDataOutput() {
    CDataOutputDlg dialog(m_doc, this);
    dialog.exec();
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
    m_playbackBar->m_speedText->setText(QString::fromStdString(m_doc.Player().SpeedText()));
    UpdateCommandStates();
}

void CMainFrame::OnSliderReleased() {
    QSlider* slider = m_playbackBar->m_filePos;
    slider->setTickInterval(10);
    SliderReleased(m_doc, slider->value());
    setFocus();
}

void CMainFrame::OnSaveScreen() {
    if (TheDocument() == nullptr) {
        return;
    }
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save Image As:"),
                                     QString::fromStdString(m_doc.m_writeFolder), SaveScreenFilters());
    // Redraw at once so that the dialog is not in the picture.
    repaint();
    QApplication::processEvents();
    SaveScreenTo(path);
}

void CMainFrame::SaveScreenTo(const QString& path) {
    const QImage image = CaptureWindow(*this);
    if (image.isNull()) {
        Report(m_doc, "Can't save the screen!", MessageIcon::Error);
        return;
    }
    if (path.isEmpty()) {
        return; // the dialog was cancelled
    }
    switch (SaveScreenImage(image, path)) {
    case SaveScreenResult::InvalidFormat:
        Report(m_doc, "Invalid File Format", MessageIcon::Warning);
        break;
    case SaveScreenResult::WriteFailed:
        Report(m_doc, "Can't save the screen!", MessageIcon::Error);
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
    const RecordingStatus recording = m_doc.CurrentRecording();
    if (recording.active) {
        IOperatorPort* op = m_doc.Ports().operatorPort;
        const std::string question =
            "Recording to " + recording.path + " is in progress.\n\nStop recording and exit?";
        if (op != nullptr && !op->AskYesNo(question)) {
            event->ignore();
            return;
        }
        // Stopped between two records: the file ends with a whole record.
        m_doc.Recorder().OnStopRecording();
    }
    event->accept();
}

void CMainFrame::SetDocumentTitle(const QString& title) {
    if (m_child != nullptr) {
        m_child->setWindowTitle(title);
    }
}

void CMainFrame::OnPingProcessed() {
    // The picture follows in the next turn of the event loop, so that processing a ping and
    // drawing it are two short waits for the operator's input instead of one long one. Pings
    // processed before it runs are drawn as one.
    if (m_view != nullptr && !m_viewUpdatePending) {
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
    UpdateCommandStates();
    RefreshLinkStatus();
    if (m_settings->isVisible()) {
        m_settings->RefreshSettingsDialog();
    }
    RefreshInfoPanel();
    if (m_doc.m_playback != 0) {
        m_playbackBar->m_speedText->setText(QString::fromStdString(m_doc.Player().SpeedText()));
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

void CMainFrame::OnSettingsLoaded() {
    // Everything the operator sees shows the values now in force.
    RefreshControlBars();
    m_settings->RefreshSettingsDialog();
    m_playbackBar->m_speedBar->setValue(SpeedBarPosition(m_doc));
    m_playbackBar->m_speedText->setText(QString::fromStdString(m_doc.Player().SpeedText()));
    if (m_view != nullptr) {
        m_view->Picture().SelectColorTable(m_doc.m_colorTable);
        m_view->update();
    }
    UpdateCommandStates();
    RefreshLinkStatus();
}

void CMainFrame::OnSettingsChanged() {
    RefreshControlBars();
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

void CMainFrame::RefreshLinkStatus() {
    m_info->ShowLink(DescribeLink(m_doc));
    if (!m_promptShown) {
        m_info->ShowMessage(QString::fromStdString(IdleMessage(m_doc)));
    }
    m_diag->UpdateDiagnostics();
}

void CMainFrame::RefreshInfoPanel() {
    m_info->UpdateInfo(CollectInfoTexts(m_doc));
    m_info->ShowMapPosition(m_doc);
    m_info->ShowRecording(m_doc.CurrentRecording());
}

void CMainFrame::RefreshControlBars() {
    RefreshBarTexts(m_doc, *m_liveBar, *m_playbackBar);
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
    m_playbackBar->m_speedText->setText(QString::fromStdString(m_doc.Player().SpeedText()));
    m_bytesPerStep = fileLength / 100;
    OnPlaybackMoved(0);
    RefreshLinkStatus();
}

void CMainFrame::OnPlaybackMoved(int percent) {
    m_playbackBar->m_filePos->setValue(percent);
    m_playbackBar->m_filePos->setTickInterval(10);
}

} // namespace vexar
