#include "support/FakePorts.h"

#include <algorithm>

namespace vexar::test {

void FakeTimers::Arm(int timerId, int delayMs) {
    m_history.emplace_back(timerId, delayMs);
    m_armed[timerId] = m_clock.TickMs() + static_cast<std::uint64_t>(std::max(delayMs, 0));
    m_delays[timerId] = delayMs;
}

std::optional<int> FakeTimers::DelayOf(int timerId) const {
    if (m_armed.count(timerId) == 0) {
        return std::nullopt;
    }
    return m_delays.at(timerId);
}

std::optional<int> FakeTimers::FireNext(const std::function<void(int)>& deliver) {
    if (m_armed.empty()) {
        return std::nullopt;
    }
    auto next = std::min_element(m_armed.begin(), m_armed.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; });
    const int id = next->first;
    m_clock.MoveTo(next->second);
    m_armed.erase(next);
    if (const auto route = m_routes.find(id); route != m_routes.end()) {
        route->second();
    } else {
        deliver(id);
    }
    return id;
}

bool FakeTcpLink::StartConnect(const std::string& host, std::uint16_t port) {
    m_connects.emplace_back(host, port);
    m_incoming.clear();
    m_open = false;
    return true;
}

ITcpLink::ConnectState FakeTcpLink::WaitConnected(int timeoutMs) {
    (void)timeoutMs;
    if (m_refuse != 0) {
        if (m_refuse > 0) {
            --m_refuse;
        }
        return ConnectState::Failed;
    }
    m_open = true;
    return ConnectState::Connected;
}

int FakeTcpLink::Send(std::span<const std::uint8_t> bytes) {
    if (!m_open) {
        return -1;
    }
    std::vector<std::uint8_t> packet(bytes.begin(), bytes.end());
    m_sent.push_back(packet);
    if (m_responder) {
        const auto reply = m_responder(packet);
        m_incoming.insert(m_incoming.end(), reply.begin(), reply.end());
    }
    return static_cast<int>(bytes.size());
}

bool FakeTcpLink::WaitReadable(int timeoutMs) {
    return WaitReadableUs(1000 * std::max(timeoutMs, 0));
}

bool FakeTcpLink::WaitReadableUs(int timeoutUs) {
    if (!m_incoming.empty()) {
        return true;
    }
    if (m_clock != nullptr) {
        m_clock->AdvanceUs(static_cast<std::uint64_t>(std::max(timeoutUs, 0)));
    }
    return false;
}

int FakeTcpLink::Receive(std::span<std::uint8_t> buffer) {
    if (!m_open) {
        return -1;
    }
    std::size_t n = std::min(buffer.size(), m_incoming.size());
    if (m_chunk != 0) {
        n = std::min(n, m_chunk);
    }
    std::copy_n(m_incoming.begin(), n, buffer.begin());
    m_incoming.erase(m_incoming.begin(), m_incoming.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<int>(n);
}

void FakeTcpLink::Close() {
    m_open = false;
    m_incoming.clear();
    ++m_closes;
}

bool FakeDatagrams::Open(std::uint16_t localPort) {
    m_opens.push_back(localPort);
    m_open = true;
    return true;
}

int FakeDatagrams::SendTo(const std::string& host, std::uint16_t port, std::span<const std::uint8_t> bytes) {
    if (!m_open) {
        return -1;
    }
    m_sent.push_back({host, port, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
    return static_cast<int>(bytes.size());
}

void FakeOperator::ShowMessage(const std::string& text, MessageIcon icon) {
    (void)icon;
    m_messages.push_back(text);
}

std::optional<std::string> FakeOperator::AskOpenFile(const FileDialogRequest& request) {
    m_dialogs.push_back(request);
    if (m_dialogAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = m_dialogAnswers.front();
    m_dialogAnswers.pop_front();
    return answer;
}

std::optional<std::string> FakeOperator::AskSaveFile(const FileDialogRequest& request) {
    return AskOpenFile(request);
}

void FakeOperator::OnPlaybackOpened(std::uint64_t fileLength) {
    m_playbackOpen = true;
    m_playbackLength = fileLength;
}

FakeLinkRunner::FakeLinkRunner(FakeTimers& timers) : m_timers(timers) {
    m_timers.Route(kPingTimer, [this] { RunStep(); });
}

void FakeLinkRunner::Start(LinkStepFn step, std::function<void()> news, std::function<void()> finish) {
    Stop();
    m_step = std::move(step);
    m_news = std::move(news);
    m_finish = std::move(finish);
    m_running = true;
    m_timers.Arm(kPingTimer, 0);
}

void FakeLinkRunner::Stop() {
    if (!m_running) {
        return;
    }
    m_running = false;
    m_timers.Stop(kPingTimer);
    if (m_finish) {
        m_finish();
    }
}

void FakeLinkRunner::Poke() {
    // A poke from the news handler (the document took a ping) leaves the step's own due: the
    // link looks at the hand-off only when its next ping is due.
    if (m_running && !m_stepping) {
        m_timers.Arm(kPingTimer, 0);
    }
}

void FakeLinkRunner::RunStep() {
    if (!m_running) {
        return;
    }
    m_stepping = true;
    const LinkStepResult result = m_step();
    if (result.news && m_news) {
        m_news();
    }
    m_stepping = false;
    if (m_running && result.dueMs >= 0) {
        m_timers.Arm(kPingTimer, result.dueMs);
    }
}

} // namespace vexar::test
