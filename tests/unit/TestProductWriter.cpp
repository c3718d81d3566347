// The point and beam records written beside the document, and the UDP output's datagrams spaced
// out by their own thread. Both run under ThreadSanitizer.

#include "files/CRecorder.h"
#include "output/CPacedSender.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace vexar::test {
namespace {

// Both products to UDP and the beam records to a file, from live pings.
struct ProductRun {
    explicit ProductRun(bool threaded) : f("UdpOutputP96=1\nUdpOutputB96=1\n") {
        f.doc->Recording().Recorder().SetProductThread(threaded);
        f.world.datagrams.m_sent.clear();
        EXPECT_TRUE(f.doc->Recording().Start(RecordKind::Beam, f.folder / "beams.B96"));
        f.RunLivePings(4);
        f.doc->Recording().Recorder().FinishProducts();
    }
    DocFixture f;
};

TEST(ProductWriter, RecordsWrittenBesideTheDocumentEqualThoseWrittenInline) {
    const ProductRun inline_(false);
    const ProductRun threaded(true);
    const Bytes file = ReadFile(threaded.f.folder / "beams.B96");
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file, ReadFile(inline_.f.folder / "beams.B96"));
    const auto& sent = threaded.f.world.datagrams.m_sent;
    const auto& expected = inline_.f.world.datagrams.m_sent;
    ASSERT_EQ(sent.size(), expected.size());
    ASSERT_EQ(sent.size(), 4u * 24u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].bytes, expected[i].bytes) << i;
    }
    EXPECT_EQ(threaded.f.doc->Recording().Recorder().RecordFileBytes(), file.size());
}

TEST(ProductWriter, WriteErrorBesideTheDocumentStopsTheRecordingWithItsMessages) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    doc.Recording().Recorder().SetProductThread(true);
    const std::string path = f.folder / "full.P96";
    const std::size_t whole = 2048 + 1440 * 8 + doc.Shown().NavigationSentence().size();
    {
        const FileSizeLimit limit(2 * whole + whole / 2);
        ASSERT_TRUE(limit.Set());
        ASSERT_TRUE(doc.Recording().Start(RecordKind::Point, path));
        f.RunLivePings(4);
        doc.Recording().Recorder().FinishProducts();
    }

    EXPECT_FALSE(doc.Recording().Recorder().AnyRecording());
    ASSERT_GE(f.world.op.m_messages.size(), 2u);
    EXPECT_EQ(f.world.op.m_messages.back(), "Error Writing File!");
    EXPECT_EQ(
        f.world.op.m_messages[f.world.op.m_messages.size() - 2].rfind("A write error occurred on " + path, 0),
        0u);
    EXPECT_EQ(std::filesystem::file_size(path), 2 * whole);
}

/// A socket whose sends wait at a gate the test opens.
class GatedSocket : public IDatagramSender {
public:
    bool Open(std::uint16_t) override { return true; }
    bool IsOpen() const override { return true; }
    void Close() override {}
    int SendTo(const std::string&, std::uint16_t, std::span<const std::uint8_t> bytes) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_waiting = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        m_sent.emplace_back(bytes.begin(), bytes.end());
        return static_cast<int>(bytes.size());
    }
    void WaitForFirstSend() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_waiting; });
    }
    void OpenGate() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    std::vector<Bytes> Sent() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_sent;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_waiting = false;
    bool m_open = false;
    std::vector<Bytes> m_sent;
};

// The point and beam records of a small ping (one datagram, then three) for a paced sender with
// `cells` datagrams of queue over a socket that holds the first datagram at its gate.
struct PacedRecords {
    explicit PacedRecords(std::size_t cells) : sender(socket, cells) {
        ProductFixture f;
        SetBeams(f.settings, 120);
        f.settings.samples = 500;
        records = f.SendPointAndBeamRecords();
    }
    /// Hands datagrams first .. first + count - 1 to the sender.
    void Send(std::size_t first, std::size_t count) {
        for (std::size_t i = first; i < first + count; ++i) {
            sender.SendTo("127.0.0.1", 4041, records[i].bytes);
        }
    }
    /// The socket got exactly the datagrams `order` names.
    void ExpectSent(const std::vector<std::size_t>& order) {
        const auto sent = socket.Sent();
        ASSERT_EQ(sent.size(), order.size());
        for (std::size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(sent[i], records[order[i]].bytes) << i;
        }
    }

    GatedSocket socket;
    CPacedSender sender;
    std::vector<FakeDatagrams::Datagram> records;
};

TEST(PacedSender, SendsWholeRecordsInOrderAndDropsWholeRecordsThatDoNotFit) {
    PacedRecords p(4);
    ASSERT_EQ(p.records.size(), 4u);
    p.Send(1, 3); // the beam record takes three of the four cells; its first datagram waits at the gate
    p.socket.WaitForFirstSend();
    p.Send(0, 1); // the point record fits in the last cell
    p.Send(1, 3); // the next beam record does not fit: none of it goes
    p.socket.OpenGate();
    ASSERT_TRUE(p.sender.Flush(10000));
    p.Send(1, 3); // room again
    ASSERT_TRUE(p.sender.Flush(10000));

    p.ExpectSent({1, 2, 3, 0, 1, 2, 3});
    EXPECT_EQ(p.sender.GetStats().droppedRecords, 1u);
    EXPECT_EQ(p.sender.GetStats().droppedDatagrams, 3u);
}

TEST(PacedSender, CloseLetsTheRecordLeavingGoOutWholeAndDropsTheRest) {
    PacedRecords p(8);
    ASSERT_EQ(p.records.size(), 4u);
    p.Send(1, 3); // a beam record begins to leave
    p.socket.WaitForFirstSend();
    p.Send(0, 1); // a point record waits its turn
    p.Send(1, 2); // and a beam record is half queued when the socket closes
    std::thread closing([&] { p.sender.Close(); });
    p.socket.OpenGate();
    closing.join();
    p.Send(3, 1); // the rest of the half-queued record
    p.Send(0, 1);
    ASSERT_TRUE(p.sender.Flush(10000));

    p.ExpectSent({1, 2, 3, 0});
}

} // namespace
} // namespace vexar::test
