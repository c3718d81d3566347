#pragma once
// CTamsorApp: the application shell. It owns the platform adapters, the one document and the main
// frame, and starts them in order: frame, document with its view, window placement, bars.

#include "acquisition/CTamsorDoc.h"
#include "app/QtOperatorPort.h"
#include "navigation/NavigationSource.h"
#include "output/CPacedSender.h"
#include "platform/qt/QtPorts.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace vexar {

class CMainFrame;
class CNavigationFollower;
class CNavigationInput;
class CSSocket;
class CTamsorDoc;

class CTamsorApp {
public:
    /// `programFolder` ends with a separator; `settingsPath` empty means Vexar.INI in it.
    CTamsorApp(QString programFolder, QString settingsPath);
    ~CTamsorApp();
    CTamsorApp(const CTamsorApp&) = delete;
    CTamsorApp& operator=(const CTamsorApp&) = delete;

    /// Creates the frame and the document, places the window at (0, 0), 1280 x 1024, and shows it.
    bool Start(bool show = true);
    /// The head to use for this run instead of the settings' (never saved); a port of 0 keeps the
    /// settings' port. Call before Start.
    void SetSonarOverride(std::string host, std::uint16_t port) {
        m_sonarHost = std::move(host);
        m_sonarPort = port;
    }
    /// The live navigation source of this run instead of the settings' (never saved). Call
    /// before Start.
    void SetNavigationOverride(const NavSourceChoice& choice) { m_navigationOverride = choice; }
    /// Saves the settings and closes files and sockets; the windows go afterwards.
    void Shutdown();

    CMainFrame& Frame() { return *m_frame; }
    CTamsorDoc& Document() { return *m_doc; }

private:
    QString m_programFolder;
    QString m_settingsPath;
    QtOperatorPort m_operator;
    QtClock m_clock;
    std::unique_ptr<QtTimers> m_timers;
    std::unique_ptr<CSSocket> m_link;
    std::unique_ptr<QtPoster> m_poster;
    std::unique_ptr<CLinkThread> m_linkThread;
    std::unique_ptr<QtDatagramSocket> m_datagrams;
    std::unique_ptr<CPacedSender> m_pacedDatagrams; ///< the UDP output's datagrams, spaced out
    /// The live fixes and their source: they outlive the document, whose link reads the fixes.
    std::unique_ptr<CNavigationInput> m_navigation;
    std::unique_ptr<CTamsorDoc> m_doc;
    std::unique_ptr<CNavigationFollower> m_navigationFollower;
    std::unique_ptr<CMainFrame> m_frame;
    bool m_started = false;
    std::string m_sonarHost;
    std::uint16_t m_sonarPort = 0;
    std::optional<NavSourceChoice> m_navigationOverride;
};

} // namespace vexar
