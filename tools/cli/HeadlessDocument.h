#pragma once
// A document on the Qt ports for headless runs. No connection is made before the caller has
// set the address it means.

#include "CliCommand.h"

#include "output/CPacedSender.h"
#include "platform/qt/CNavigationInput.h"
#include "platform/qt/CSSocket.h"
#include "platform/qt/QtPorts.h"

#include <atomic>
#include <memory>

namespace vexar::cli {

/// A TCP link that refuses to connect until opened up, so that loading the settings file (whose
/// address may be the product default) never starts a connection of its own.
class GatedLink : public ITcpLink {
public:
    explicit GatedLink(ITcpLink& link) : m_link(link) {}
    void Open() { m_open.store(true); }
    bool StartConnect(const std::string& host, std::uint16_t port) override {
        return m_open.load() && m_link.StartConnect(host, port);
    }
    ConnectState WaitConnected(int timeoutMs) override { return m_link.WaitConnected(timeoutMs); }
    bool IsConnected() const override { return m_link.IsConnected(); }
    int Send(std::span<const std::uint8_t> bytes) override { return m_link.Send(bytes); }
    bool WaitReadable(int timeoutMs) override { return m_link.WaitReadable(timeoutMs); }
    bool WaitReadableUs(int timeoutUs) override { return m_link.WaitReadableUs(timeoutUs); }
    int Receive(std::span<std::uint8_t> buffer) override { return m_link.Receive(buffer); }
    void Close() override { m_link.Close(); }

private:
    ITcpLink& m_link;
    std::atomic<bool> m_open{false};
};

struct HeadlessDocument {
    /// `withLink`: a sonar link on its own thread; it connects only when `sonarHost` names the
    /// head (port 0: the settings' port). `withTimers`: Qt timers that deliver to the document.
    /// `workers`: the document's processing threads besides its own (-1: the machine's).
    HeadlessDocument(const CommonOptions& common, bool withLink, bool withTimers,
                     const std::string& sonarHost = {}, std::uint16_t sonarPort = 0, int workers = -1);
    ~HeadlessDocument();
    HeadlessDocument(const HeadlessDocument&) = delete;
    HeadlessDocument& operator=(const HeadlessDocument&) = delete;

    /// Waits until the UDP output's queued datagrams have left (at most a few seconds).
    void FlushDatagrams() { pacedDatagrams.Flush(10000); }

    QtClock clock;
    QtDatagramSocket datagrams;
    CPacedSender pacedDatagrams{datagrams};
    StderrOperator op;
    QtPoster poster;
    std::unique_ptr<CSSocket> socket;
    std::unique_ptr<GatedLink> link;
    std::unique_ptr<CLinkThread> linkThread;
    std::unique_ptr<QtTimers> timers;
    /// Live fixes for a recording (the document's link reads them: they outlive the document).
    CNavigationInput navigation{clock};
    std::unique_ptr<CTamsorDoc> doc;
};

/// Opens the raw recording at `path` for one pass of playback that leaves the settings file as it
/// is; throws Failure when it cannot be played. Its records are played by doc.Playback().Step().
const CPlayer& PlayRecordingOnce(CTamsorDoc& doc, const std::string& path);

} // namespace vexar::cli
