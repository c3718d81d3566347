#pragma once
// A document on the Qt ports for headless runs. No connection is made before the caller has
// set the addresses it means.

#include "CliCommand.h"

#include "platform/qt/CSSocket.h"
#include "platform/qt/QtPorts.h"

#include <functional>
#include <memory>

namespace vexar::cli {

/// A TCP link that refuses to connect until opened up, so that loading the settings file (whose
/// address may be the product default) never starts a connection of its own.
class GatedLink : public ITcpLink {
public:
    explicit GatedLink(ITcpLink& link) : m_link(link) {}
    void Open() { m_open = true; }
    bool Create() override { return m_link.Create(); }
    bool IsOpen() const override { return m_link.IsOpen(); }
    bool Connect(const std::string& host, std::uint16_t port) override {
        return m_open && m_link.Connect(host, port);
    }
    int Send(std::span<const std::uint8_t> bytes) override { return m_link.Send(bytes); }
    bool WaitReadable(int timeoutMs) override { return m_link.WaitReadable(timeoutMs); }
    int Receive(std::span<std::uint8_t> buffer) override { return m_link.Receive(buffer); }
    void Close() override { m_link.Close(); }

private:
    ITcpLink& m_link;
    bool m_open = false;
};

struct HeadlessDocument {
    /// `withLink`: a TCP link (closed until `link.Open()`); `withTimers`: Qt timers that deliver to
    /// the document.
    HeadlessDocument(const CommonOptions& common, bool withLink, bool withTimers);
    ~HeadlessDocument();
    HeadlessDocument(const HeadlessDocument&) = delete;
    HeadlessDocument& operator=(const HeadlessDocument&) = delete;

    /// Runs after each timer event the document handled (one ping at most).
    std::function<void()> afterTimer;

    QtClock clock;
    QtDatagramSocket datagrams;
    StderrOperator op;
    std::unique_ptr<CSSocket> socket;
    std::unique_ptr<GatedLink> link;
    std::unique_ptr<QtTimers> timers;
    std::unique_ptr<CTamsorDoc> doc;
};

/// Opens the raw recording at `path` for one pass of playback that leaves the document's head
/// settings as they are; throws Failure when it cannot be played.
CPlayer& PlayRecordingOnce(CTamsorDoc& doc, const std::string& path);

} // namespace vexar::cli
