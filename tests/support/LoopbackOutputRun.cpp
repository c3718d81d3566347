#include "support/LoopbackOutputRun.h"

#include "files/CRecorder.h"
#include "output/CPacedSender.h"
#include "output/CRecordAssembler.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace vexar::test {

namespace {

/// A UDP socket bound to 127.0.0.1; it sends to 127.0.0.1 only, whatever host it is given.
class LoopbackSocket : public IDatagramSender {
public:
    ~LoopbackSocket() override { Close(); }
    bool Open(std::uint16_t) override {
        Close();
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            Close();
            return false;
        }
        return true;
    }
    bool IsOpen() const override { return m_fd >= 0; }
    int SendTo(const std::string& host, std::uint16_t port, std::span<const std::uint8_t> bytes) override {
        if (m_fd < 0 || host != "127.0.0.1") {
            return -1;
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return static_cast<int>(
            ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to));
    }
    void Close() override {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

private:
    int m_fd = -1;
};

/// The plain receiver: a socket at the default buffer size, read as fast as the thread runs.
class PlainReceiver {
public:
    PlainReceiver()
        : m_assembler(
              [this](const ScannedRecord& record, std::span<const std::uint8_t>) {
                  (record.kind == RecordKind::Beam ? m_wholeBeam : m_wholePoint) += 1;
              },
              [this](const std::string&, std::size_t) { ++m_damaged; }) {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof local;
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
            m_port = ntohs(local.sin_port);
            socklen_t size = sizeof m_bufferBytes;
            ::getsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &m_bufferBytes, &size);
            m_thread = std::thread([this] { Run(); });
        }
    }
    ~PlainReceiver() {
        m_stop.store(true);
        if (m_thread.joinable()) {
            m_thread.join();
        }
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    PlainReceiver(const PlainReceiver&) = delete;
    PlainReceiver& operator=(const PlainReceiver&) = delete;

    std::uint16_t Port() const { return m_port; }
    int BufferBytes() const { return m_bufferBytes; }
    /// Stops receiving and returns the counts.
    void Finish(LoopbackOutputResult& result) {
        m_stop.store(true);
        if (m_thread.joinable()) {
            m_thread.join();
        }
        result.wholePoint = m_wholePoint;
        result.wholeBeam = m_wholeBeam;
        result.damaged = m_damaged;
    }

private:
    void Run() {
        std::vector<std::uint8_t> datagram(65536);
        while (!m_stop.load()) {
            pollfd wait{m_fd, POLLIN, 0};
            if (::poll(&wait, 1, 50) <= 0) {
                continue;
            }
            const ssize_t n = ::recv(m_fd, datagram.data(), datagram.size(), 0);
            if (n > 0) {
                m_assembler.Take(std::span<const std::uint8_t>(datagram.data(), static_cast<std::size_t>(n)));
            }
        }
        m_assembler.Finish();
    }

    int m_fd = -1;
    std::uint16_t m_port = 0;
    int m_bufferBytes = 0;
    std::uint64_t m_wholePoint = 0;
    std::uint64_t m_wholeBeam = 0;
    std::uint64_t m_damaged = 0;
    CRecordAssembler m_assembler;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

LoopbackOutputResult RunLoopbackOutput(int pings, double pingsPerSecond, bool paced) {
    LoopbackOutputResult result;
    result.pings = pings;
    PlainReceiver receiver;
    result.receiveBufferBytes = receiver.BufferBytes();
    if (receiver.Port() == 0) {
        result.error = "cannot open the receiving socket";
        return result;
    }
    LoopbackSocket socket;
    CPacedSender pacedSocket(socket);
    IDatagramSender& sender = paced ? static_cast<IDatagramSender&>(pacedSocket) : socket;
    sender.Open(0);
    IRecorderEvents events;
    CRecorder recorder(nullptr, &sender, events);
    recorder.SetProductThread(true);
    std::vector<float> image(static_cast<std::size_t>(kCombinedBeams) * kMaxSamples);
    std::vector<float> profile(kCombinedBeams);
    for (int b = 0; b < kCombinedBeams; ++b) {
        for (int s = 0; s < kMaxSamples; ++s) {
            image[static_cast<std::size_t>(b) * kMaxSamples + static_cast<std::size_t>(s)] =
                static_cast<float>((b * 7 + s) % 256);
        }
        profile[static_cast<std::size_t>(b)] = static_cast<float>(b % 900);
    }
    PingSettings settings;
    SetBeams(settings, 480);
    settings.samples = 1000;
    PingProducts products;
    products.context = RecordContext{&settings, "07122026114139042", 250.0f, {}};
    products.combinedImage = image.data();
    products.combinedProfile = profile.data();
    products.output = OutputTarget{true, true, "127.0.0.1", receiver.Port()};
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / pingsPerSecond));
    auto due = std::chrono::steady_clock::now();
    for (int ping = 0; ping < pings; ++ping) {
        std::this_thread::sleep_until(due);
        recorder.BuildProducts(products);
        // Like the sonar link, which hands on only the newest ping, a run held up does not
        // make up for lost time in a burst.
        due = std::max(due + period, std::chrono::steady_clock::now());
    }
    recorder.FinishProducts();
    pacedSocket.Flush(10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    receiver.Finish(result);
    result.droppedBySender = pacedSocket.GetStats().droppedRecords;
    return result;
}

} // namespace vexar::test
