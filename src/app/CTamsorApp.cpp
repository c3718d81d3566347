#include "app/CTamsorApp.h"

#include "acquisition/CTamsorDoc.h"
#include "app/CMainFrame.h"
#include "app/NavigationFollower.h"
#include "platform/qt/CNavigationInput.h"
#include "platform/qt/CSSocket.h"

namespace vexar {

CTamsorApp::CTamsorApp(QString programFolder, QString settingsPath)
    : m_programFolder(std::move(programFolder)), m_settingsPath(std::move(settingsPath)) {}

CTamsorApp::~CTamsorApp() {
    Shutdown();
    m_frame.reset();
    m_operator.SetFrame(nullptr);
    // The document's link reads the fixes until the document is gone; the source goes last.
    m_navigationFollower.reset();
    m_doc.reset();
    m_navigation.reset();
}

bool CTamsorApp::Start(bool show) {
    // Qt needs no socket or component layer start-up, so neither start-up failure can occur.
    m_timers = std::make_unique<QtTimers>([this](int timerId) {
        if (m_doc) {
            m_doc->OnTimer(timerId);
        }
    });
    m_link = std::make_unique<CSSocket>();
    m_poster = std::make_unique<QtPoster>();
    m_linkThread = std::make_unique<CLinkThread>(
        [poster = m_poster.get()](std::function<void()> news) { poster->Post(std::move(news)); });
    m_datagrams = std::make_unique<QtDatagramSocket>();
    m_pacedDatagrams = std::make_unique<CPacedSender>(*m_datagrams);
    DocumentPorts ports;
    ports.timers = m_timers.get();
    ports.clock = &m_clock;
    ports.link = m_link.get();
    ports.datagrams = m_pacedDatagrams.get();
    ports.operatorPort = &m_operator;
    ports.linkRunner = m_linkThread.get();
    m_doc = std::make_unique<CTamsorDoc>(ports);
    m_doc->Live().SetAddressOverride(m_sonarHost, m_sonarPort);
    // Every live ping carries the newest fix of the source the settings (or --nav) name.
    m_navigation = std::make_unique<CNavigationInput>(m_clock);
    m_doc->Live().SetFixes(&m_navigation->Store());
    m_navigationFollower = std::make_unique<CNavigationFollower>(*m_doc, *m_navigation);
    m_navigationFollower->SetOverride(m_navigationOverride);
    // Products are written beside the window while it processes the next ping.
    m_doc->Recording().Recorder().SetProductThread(true);
    // The window serves input and timers between the turns of a live ping.
    DocumentOptions options;
    options.livePingInTurns = true;
    m_doc->SetOptions(options);

    m_frame = std::make_unique<CMainFrame>(*m_doc, &m_operator);
    m_operator.SetFrame(m_frame.get());
    m_frame->CreateView();
    m_frame->SetNavigationStatus([follower = m_navigationFollower.get()] { return follower->Describe(); });
    if (!m_doc->OnNewDocument(m_programFolder.toStdString(), m_settingsPath.toStdString())) {
        return false;
    }
    m_started = true;
    m_frame->move(0, 0);
    m_frame->resize(1280, 1024);
    m_frame->ArrangeBars();
    if (show) {
        m_frame->show();
    }
    return true;
}

void CTamsorApp::Shutdown() {
    if (m_started && m_doc) {
        m_started = false;
        m_doc->OnCloseDocument();
    }
}

} // namespace vexar
