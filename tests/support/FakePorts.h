#pragma once
// Fakes of the core's ports: time that runs forward only when a test says so, a scripted TCP
// peer, a recording datagram sender and an operator who remembers what was shown.

#include "acquisition/DocumentTypes.h"
#include "ports/Ports.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vexar::test {

class FakeClock : public IClockPort {
public:
    std::uint64_t TickMs() override { return m_us / 1000; }
    std::uint64_t TickUs() override { return m_us; }
    LocalTime Now() override { return m_now; }
    void Advance(std::uint64_t ms) { m_us += 1000 * ms; }
    void AdvanceUs(std::uint64_t us) { m_us += us; }
    /// Moves the clock on to the start of millisecond `tick`, unless it is there already.
    void MoveTo(std::uint64_t tick) { m_us = std::max(m_us, 1000 * tick); }

    std::uint64_t m_us = 1'000'000;
    LocalTime m_now{2026, 12, 7, 11, 41, 39, 42};
};

class FakeTimers : public ITimerPort {
public:
    explicit FakeTimers(FakeClock& clock) : m_clock(clock) {}
    void Arm(int timerId, int delayMs) override;
    void Stop(int timerId) override { m_armed.erase(timerId); }
    bool IsArmed(int timerId) const override { return m_armed.count(timerId) != 0; }
    /// Delay the timer was last armed with, if it is armed.
    std::optional<int> DelayOf(int timerId) const;
    /// Moves the clock to the earliest armed timer and delivers it through `deliver`, or through
    /// the handler routed for it. Returns the timer that fired, or nothing when none is armed.
    std::optional<int> FireNext(const std::function<void(int)>& deliver);
    /// Timer `timerId` goes to `handler` instead of the `deliver` of FireNext.
    void Route(int timerId, std::function<void()> handler) { m_routes[timerId] = std::move(handler); }

    std::vector<std::pair<int, int>> m_history; ///< every Arm call: (timer, delay)

private:
    FakeClock& m_clock;
    std::map<int, std::function<void()>> m_routes;
    std::map<int, std::uint64_t> m_armed; ///< timer -> due tick
    std::map<int, int> m_delays;
};

/// A TCP peer driven by a function that answers each packet sent with the bytes to deliver.
class FakeTcpLink : public ITcpLink {
public:
    using Responder = std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>& packet)>;

    bool StartConnect(const std::string& host, std::uint16_t port) override;
    ConnectState WaitConnected(int timeoutMs) override;
    bool IsConnected() const override { return m_open; }
    int Send(std::span<const std::uint8_t> bytes) override;
    bool WaitReadable(int timeoutMs) override;
    bool WaitReadableUs(int timeoutUs) override;
    int Receive(std::span<std::uint8_t> buffer) override;
    void Close() override;
    /// The peer closes the connection.
    void Drop() { m_open = false; }

    Responder m_responder;
    std::size_t m_chunk = 0; ///< deliver at most this many bytes per Receive (0: all)
    int m_refuse = 0;        ///< so many connection attempts fail (-1: all)
    std::vector<std::pair<std::string, std::uint16_t>> m_connects;
    std::vector<std::vector<std::uint8_t>> m_sent;
    int m_closes = 0;
    FakeClock* m_clock = nullptr; ///< when set, a wait with nothing to read advances it

private:
    bool m_open = false;
    std::deque<std::uint8_t> m_incoming;
};

class FakeDatagrams : public IDatagramSender {
public:
    bool Open(std::uint16_t localPort) override;
    bool IsOpen() const override { return m_open; }
    int SendTo(const std::string& host, std::uint16_t port, std::span<const std::uint8_t> bytes) override;
    void Close() override { m_open = false; }

    struct Datagram {
        std::string host;
        std::uint16_t port;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Datagram> m_sent;
    std::vector<std::uint16_t> m_opens;

private:
    bool m_open = false;
};

/// The operator: records messages, titles and file dialogs, answers the dialogs from a queue,
/// and counts the document's events once subscribed to it.
class FakeOperator : public IOperatorPort, public IDocumentListener {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    std::optional<std::string> AskOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override;
    void SetTitle(const std::string& title) override { m_titles.push_back(title); }
    void OnPingProcessed() override { ++m_pingsProcessed; }
    void OnLinkStateChanged(LinkState state) override { m_linkStates.push_back(state); }
    void OnRealTimeStarted() override { m_playbackOpen = false; }
    void OnPlaybackOpened(std::uint64_t fileLength) override;
    void OnSettingsLoaded() override { ++m_settingsLoads; }
    void OnSettingsChanged(const SettingsChange& change) override { m_settingsChanges.push_back(change); }
    void OnModeChanged(DocMode mode, bool held) override { m_modes.emplace_back(mode, held); }

    std::vector<std::string> m_messages;
    std::vector<std::string> m_titles;
    std::vector<FileDialogRequest> m_dialogs;
    std::deque<std::optional<std::string>> m_dialogAnswers; ///< next answers of file dialogs
    int m_pingsProcessed = 0;
    int m_settingsLoads = 0;
    std::vector<LinkState> m_linkStates;
    std::vector<SettingsChange> m_settingsChanges;
    std::vector<std::pair<DocMode, bool>> m_modes; ///< every mode event: (mode, held)
    bool m_playbackOpen = false;
    std::uint64_t m_playbackLength = 0;
};

/// Runs the sonar link's steps on the fake timers (timer kPingTimer) on the test's thread, so
/// that its waits are the fake clock's and every step happens when a test fires it.
class FakeLinkRunner : public ILinkRunner {
public:
    explicit FakeLinkRunner(FakeTimers& timers);
    void Start(LinkStepFn step, std::function<void()> news, std::function<void()> finish) override;
    void Stop() override;
    void Poke() override;
    bool IsRunning() const override { return m_running; }

private:
    void RunStep();

    FakeTimers& m_timers;
    LinkStepFn m_step;
    std::function<void()> m_news;
    std::function<void()> m_finish;
    bool m_running = false;
    bool m_stepping = false;
};

/// All fakes together, wired into a DocumentPorts.
struct FakeWorld {
    FakeClock clock;
    FakeTimers timers{clock};
    FakeTcpLink link;
    FakeDatagrams datagrams;
    FakeOperator op;
    FakeLinkRunner runner{timers};
    DocumentPorts Ports() {
        DocumentPorts ports;
        ports.timers = &timers;
        ports.clock = &clock;
        ports.link = &link;
        ports.datagrams = &datagrams;
        ports.operatorPort = &op;
        ports.linkRunner = &runner;
        return ports;
    }
};

} // namespace vexar::test
