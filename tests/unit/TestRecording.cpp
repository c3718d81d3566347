// Live raw recording through the ping cycle, the record commands, and what a write error
// leaves behind.

#include "acquisition/DocumentCommands.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"
#include "files/RecordHeader.h"
#include "navigation/CFixStore.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

namespace vexar::test {
namespace {

// A command of the File menu, as the menu runs it.
void Command(CTamsorDoc& doc, int id) {
    const DocumentCommand* command = FindCommand(DocumentCommands(), id);
    ASSERT_NE(command, nullptr) << id;
    command->action(doc, command->value);
}

void ExpectState(const CTamsorDoc& doc, int id, bool enabled, bool checked) {
    const DocumentCommand* command = FindCommand(DocumentCommands(), id);
    ASSERT_TRUE(command != nullptr && command->state != nullptr) << id;
    const CommandState state = command->state(doc, command->value);
    EXPECT_EQ(state.enabled, enabled) << id;
    EXPECT_EQ(state.checked, checked) << id;
}

constexpr std::size_t kRaw1000 = 1024 + 1024 + 128 * 1061;

TEST(Recording, LivePingsAreRecordedPairByPairAndPlayBackEqual) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    const std::string path = f.folder / "live.R96";
    ASSERT_TRUE(doc.Recording().Start(RecordKind::Raw, path));
    EXPECT_EQ(doc.Title(), "Real Time -- Recording to File: " + path);
    f.world.link.m_sent.clear();

    // Keep what the head was sent and what it answered, ping by ping.
    std::vector<Bytes> exchanged;
    auto responder = f.world.link.m_responder;
    f.world.link.m_responder = [&](const std::vector<std::uint8_t>& packet) {
        auto reply = responder(packet);
        Bytes pair(packet);
        Append(pair, reply);
        exchanged.push_back(pair);
        return reply;
    };
    std::vector<std::array<std::uint16_t, kElementCount * kMaxSamples>> liveSamples;
    for (int i = 0; i < 3; ++i) {
        f.RunLivePings(1);
        liveSamples.push_back(doc.PingRoutine().Head(2).m_rawSamples);
    }
    doc.Recording().Stop();
    EXPECT_EQ(doc.Title(), "Real Time");

    const Bytes file = ReadFile(path);
    // Live records carry no navigation sentence: the console has no position of its own.
    const std::size_t sentence = 0;
    ASSERT_EQ(file.size(), 3 * (kRaw1000 + sentence));
    ASSERT_EQ(exchanged.size(), 3u * 128u);
    for (std::size_t ping = 0; ping < 3; ++ping) {
        const std::size_t base = ping * (kRaw1000 + sentence);
        EXPECT_EQ(GetU32(file, base + 4), kRaw1000 + sentence);
        EXPECT_EQ(GetU32(file, base + 91), 128u * 1061u);
        EXPECT_EQ(GetU32(file, base + 107), sentence);
        EXPECT_EQ(GetU32(file, base + 59), ping == 0 ? 0u : kRaw1000 + sentence);
        for (std::size_t k = 0; k < 128; ++k) {
            const Bytes& pair = exchanged[ping * 128 + k];
            ASSERT_TRUE(std::equal(pair.begin(), pair.end(),
                                   file.begin() + static_cast<std::ptrdiff_t>(base + 2048 + k * 1061)))
                << "ping " << ping << " pair " << k;
        }
    }

    // Playback gives every ping back as it came in.
    ASSERT_TRUE(doc.OpenPlayback(path));
    for (std::size_t ping = 0; ping < 3; ++ping) {
        ASSERT_EQ(doc.Playback().Step(), StepResult::Ping);
        EXPECT_EQ(doc.PingRoutine().Head(2).m_rawSamples, liveSamples[ping]);
        EXPECT_EQ(doc.Shown().Settings().samples, 1000);
        EXPECT_EQ(doc.Shown().Settings().rangeM, 10.0f);
        EXPECT_EQ(doc.Shown().Settings().pulseLength, 6); // recorded in microseconds, read back in 10 us
    }
}

// A ping abandoned half-way leaves nothing in the file: every record is whole, and the ping
// requested again is recorded after the one before.
/// The sentences of the raw records of a file, in order ("" for a record without one).
std::vector<std::string> RecordSentences(const Bytes& file) {
    std::vector<std::string> sentences;
    for (std::size_t at = 0; at + kRecordDataOffset <= file.size();) {
        const std::size_t length = GetU32(file, at + 4);
        const std::size_t sentence = GetU32(file, at + 107);
        if (length < kRecordDataOffset + sentence || at + length > file.size()) {
            break;
        }
        const auto end = file.begin() + static_cast<std::ptrdiff_t>(at + length);
        sentences.emplace_back(end - static_cast<std::ptrdiff_t>(sentence), end);
        at += length;
    }
    return sentences;
}

// Each live ping carries the newest fix that had arrived when it was requested, if that fix is
// no older than the maximum fix age then: in its raw record, in its point record on the UDP
// output and in the document's values. A fix that arrives while a ping is exchanged is the next
// ping's.
TEST(Recording, EachLivePingCarriesTheFixOfItsRequest) {
    DocFixture f("UdpOutputP96=1\nNav Max Fix Age=1000\n");
    CTamsorDoc& doc = *f.doc;
    CFixStore fixes;
    fixes.Reset(NavSourceKind::Serial);
    doc.Live().SetFixes(&fixes);
    const auto post = [&](int n) {
        NavigationFix fix;
        fix.utcMs = 1796643699000 + n;
        fix.position = GeoPosition{10.0 + 0.001 * n, 20.0};
        fix.headingDeg = 30.0 + n;
        ASSERT_EQ(fixes.Post(fix, f.world.clock.TickMs()), FixPost::Added);
    };
    int postAtBlock64 = -1;
    auto responder = f.world.link.m_responder;
    f.world.link.m_responder = [&](const Bytes& packet) {
        if (packet[kPacketBlockByte] == 64 && postAtBlock64 >= 0) {
            f.world.clock.Advance(1);
            post(std::exchange(postAtBlock64, -1));
        }
        return responder(packet);
    };
    const std::string path = f.folder / "fixes.R96";
    ASSERT_TRUE(doc.Recording().Start(RecordKind::Raw, path));

    struct Ping {
        int postedBefore; ///< fix posted before the ping is run, -1 none
        int postedDuring; ///< fix posted while the ping is exchanged, -1 none
        int idleMs;       ///< time passing before the ping
        int carried;      ///< the fix the ping must carry, -1 none
    };
    const Ping pings[] = {{1, -1, 0, 1}, {-1, 2, 0, 1}, {-1, -1, 0, 2}, {-1, -1, 1500, -1}};
    std::vector<std::string> sentences;
    for (const Ping& ping : pings) {
        if (ping.postedBefore >= 0) {
            post(ping.postedBefore);
        }
        postAtBlock64 = ping.postedDuring;
        f.world.clock.Advance(static_cast<std::uint64_t>(ping.idleMs));
        f.world.datagrams.m_sent.clear();
        f.RunLivePings(1);
        const std::string& sentence = doc.Shown().NavigationSentence();
        sentences.push_back(sentence);
        if (ping.carried < 0) {
            EXPECT_EQ(sentence, "");
            EXPECT_EQ(doc.Shown().Navigation().m_latitudeText, "");
            continue;
        }
        const std::optional<NavigationFix> read = ReadSentence(sentence);
        ASSERT_TRUE(read && read->position) << "ping " << sentences.size() << ": " << sentence;
        EXPECT_NEAR(read->position->latitudeDeg, 10.0 + 0.001 * ping.carried, 1e-7) << sentence;
        EXPECT_NEAR(doc.Shown().Navigation().m_heading, 30.0f + static_cast<float>(ping.carried), 1e-3f);
        ASSERT_FALSE(f.world.datagrams.m_sent.empty());
        const Bytes& record = f.world.datagrams.m_sent.back().bytes;
        EXPECT_TRUE(std::equal(sentence.rbegin(), sentence.rend(), record.rbegin())) << "UDP point record";
    }
    doc.Recording().Stop();
    EXPECT_EQ(RecordSentences(ReadFile(path)), sentences);
}

TEST(Recording, AbandonedPingLeavesNoRecord) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    const std::string path = f.folder / "cut.R96";
    ASSERT_TRUE(doc.Recording().Start(RecordKind::Raw, path));
    f.RunLivePings(1);
    f.abandonAt = 40;
    f.RunLivePings(2);
    doc.Recording().Stop();
    const std::size_t whole = kRaw1000;
    const Bytes file = ReadFile(path);
    ASSERT_EQ(file.size(), 3 * whole);
    EXPECT_EQ(doc.Live().Link().stats.retries, 1u);
    ASSERT_TRUE(doc.OpenPlayback(path, true));
    EXPECT_EQ(f.PlaySteps(4), 3);
    EXPECT_EQ(doc.Playback().Player().DamagedRecords(), 0u);
}

TEST(Recording, CommandsProposeRefuseAndTitle) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    FakeOperator& op = f.world.op;
    doc.EditSettings([&](Settings& s) { s.system.writeFolder = f.folder.Folder(); });

    op.m_dialogAnswers.push_back(std::nullopt); // cancelled
    Command(doc, kCmdRecordB96);
    ASSERT_EQ(op.m_dialogs.size(), 1u);
    EXPECT_EQ(op.m_dialogs[0].title, "Save Sonar Data File:");
    EXPECT_EQ(op.m_dialogs[0].folder, f.folder.Folder());
    EXPECT_EQ(op.m_dialogs[0].proposedName, "07DEC2026-114139.B96");
    EXPECT_EQ(op.m_dialogs[0].filterText, "Sonar Beam Data File: (*.B96)");
    EXPECT_EQ(op.m_dialogs[0].filterPattern, "*.B96");
    EXPECT_FALSE(doc.Recording().Recorder().AnyRecording());

    const std::string sub = f.folder / "sub";
    std::filesystem::create_directories(sub);
    op.m_dialogAnswers.push_back(sub + "/a.P96");
    Command(doc, kCmdRecordP96);
    EXPECT_EQ(op.m_dialogs.back().filterText, "Sonar Profile Points Data File: (*.P96)");
    EXPECT_TRUE(doc.Recording().Recorder().IsRecording(RecordKind::Point));
    EXPECT_EQ(doc.GetSettings().system.writeFolder, sub + "/");
    EXPECT_EQ(doc.Title(), "Real Time -- Recording to File: " + sub + "/a.P96");
    ExpectState(doc, kCmdRecordR96, false, false);
    ExpectState(doc, kCmdRecordP96, false, true);
    ExpectState(doc, kCmdStopRecording, true, false);

    // Another kind while one is on is refused after the dialog.
    op.m_dialogAnswers.push_back(f.folder / "b.R96");
    Command(doc, kCmdRecordR96);
    ASSERT_FALSE(op.m_messages.empty());
    EXPECT_EQ(op.m_messages.back(), "Data is already being saved to file.   ");
    EXPECT_FALSE(std::filesystem::exists(f.folder / "b.R96"));

    // The same command again stops it.
    Command(doc, kCmdRecordP96);
    EXPECT_FALSE(doc.Recording().Recorder().AnyRecording());
    EXPECT_EQ(doc.Title(), "Real Time");
    ExpectState(doc, kCmdRecordR96, true, false);

    // A file that cannot be created.
    op.m_messages.clear();
    op.m_dialogAnswers.push_back(f.folder / "missing/c.R96");
    Command(doc, kCmdRecordR96);
    ASSERT_EQ(op.m_messages.size(), 2u);
    EXPECT_EQ(op.m_messages[1], "Error Opening File!");
    EXPECT_FALSE(doc.Recording().Recorder().AnyRecording());
    EXPECT_EQ(doc.Title(), "Real Time");
}

TEST(Recording, CopyDuringPlaybackIsProposedAndThePlayedNameRefused) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    Bytes data = MakeRawRecord(64, 0);
    WriteFile(f.folder / "played.R96", data);
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "played.R96"));
    EXPECT_EQ(doc.Title(), "Playback File: " + (f.folder / "played.R96"));

    FakeOperator& op = f.world.op;
    std::filesystem::create_directories(f.folder / "other");
    op.m_dialogAnswers.push_back(f.folder / "other/played.R96");
    Command(doc, kCmdRecordR96);
    EXPECT_EQ(op.m_dialogs.back().proposedName, "Copy of played.R96");
    EXPECT_EQ(op.m_messages.back(), "Can't write in this file ...\nThis file is used as playback!   ");
    EXPECT_FALSE(doc.Recording().Recorder().AnyRecording());

    op.m_dialogAnswers.push_back(f.folder / "conv.B96");
    Command(doc, kCmdRecordB96);
    EXPECT_EQ(doc.Title(), "Playback -- Converting to File: " + (f.folder / "conv.B96"));
    Command(doc, kCmdStopRecording);
    op.m_dialogAnswers.push_back(f.folder / "copy.R96");
    Command(doc, kCmdRecordR96);
    EXPECT_EQ(doc.Title(), "Playback -- Copying to File: " + (f.folder / "copy.R96"));
}

TEST(Recording, AutoFileNameAndSizeMenus) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    doc.EditSettings([](Settings& s) { s.system.autoFileName = 1; });
    Command(doc, kCmdAutoFileName);
    EXPECT_EQ(doc.GetSettings().system.autoFileName, 0);
    ExpectState(doc, kCmdAutoFileName, true, false);
    // Off, the operator names the file: the dialog proposes none.
    f.world.op.m_dialogAnswers.push_back(std::nullopt);
    Command(doc, kCmdRecordR96);
    ASSERT_FALSE(f.world.op.m_dialogs.empty());
    EXPECT_EQ(f.world.op.m_dialogs.back().proposedName, "");

    doc.EditSettings([](Settings& s) { s.system.autoFileSize = 3; });
    ExpectState(doc, 32907, true, true);
    ExpectState(doc, 32905, true, false);
    Command(doc, kCmdAutoSizeEnable);
    EXPECT_EQ(doc.GetSettings().system.autoFileSize, 0);
    ExpectState(doc, kCmdAutoSizeEnable, true, false);
    ExpectState(doc, 32907, false, false);
    Command(doc, kCmdAutoSizeEnable);
    EXPECT_EQ(doc.GetSettings().system.autoFileSize, 1); // 500 MBytes, not the 2 GBytes chosen before
    Command(doc, 32909);
    EXPECT_EQ(doc.GetSettings().system.autoFileSize, 5);
    WriteFile(f.folder / "played.R96", MakeRawRecord(64, 0));
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "played.R96"));
    ExpectState(doc, 32909, false, true);
    EXPECT_EQ(FindCommand(DocumentCommands(), 12345), nullptr);

    EXPECT_EQ(SizeLimitBytes(0), 0u);
    EXPECT_EQ(SizeLimitBytes(1), 536870912u);
    EXPECT_EQ(SizeLimitBytes(2), 1073741824u);
    EXPECT_EQ(SizeLimitBytes(5), 4294967296u);
}

TEST(Recording, SizeLimitRollsOverToANewFileWithoutReplacingOne) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    doc.EditSettings([&](Settings& s) {
        s.system.autoFileSize = 1;
        s.system.writeFolder = f.folder.Folder();
    });
    const std::string first = f.folder / "first.R96";
    ASSERT_TRUE(doc.Recording().Start(RecordKind::Raw, first));
    f.RunLivePings(1);
    const std::size_t whole = kRaw1000;
    // A file that already carries the name the roll-over would take is not replaced.
    f.world.clock.m_now = LocalTime{2026, 12, 7, 12, 0, 1, 0};
    const std::string taken = f.folder / "07DEC2026-120001.R96";
    WriteFile(taken, Bytes{1, 2, 3});
    // A sparse file past the limit without writing half a gigabyte.
    std::filesystem::resize_file(first, 536870913);
    f.RunLivePings(2);
    doc.Recording().Stop();
    EXPECT_EQ(std::filesystem::file_size(first), 536870913u);
    EXPECT_EQ(ReadFile(taken), (Bytes{1, 2, 3}));
    const std::string next = f.folder / "07DEC2026-120001-2.R96";
    ASSERT_TRUE(std::filesystem::exists(next));
    EXPECT_EQ(std::filesystem::file_size(next), 2 * whole);
    EXPECT_EQ(doc.Title(), "Real Time");
}

TEST(Recording, WriteErrorStopsTheRecordingWithAMessage) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    ASSERT_TRUE(doc.Recording().Start(RecordKind::Raw, "/dev/full"));
    f.RunLivePings(2);
    EXPECT_FALSE(doc.Recording().Recorder().AnyRecording());
    ASSERT_GE(f.world.op.m_messages.size(), 2u);
    EXPECT_EQ(f.world.op.m_messages.back(), "Error Writing File!");
    EXPECT_EQ(doc.Title(), "Real Time");
}

TEST(Recording, RecordsBeforeAWriteErrorStayWhole) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    const std::size_t whole = kRaw1000;
    const std::string path = f.folder / "full.R96";
    // The file may grow to 2.5 records: the third record fails part-way.
    {
        const FileSizeLimit limit(2 * whole + whole / 2);
        ASSERT_TRUE(limit.Set());
        ASSERT_TRUE(doc.Recording().Start(RecordKind::Raw, path));
        f.RunLivePings(4);
    }

    EXPECT_FALSE(doc.Recording().Recorder().AnyRecording());
    EXPECT_EQ(f.world.op.m_messages.back(), "Error Writing File!");
    EXPECT_EQ(std::filesystem::file_size(path), 2 * whole);
    ASSERT_TRUE(doc.OpenPlayback(path));
    EXPECT_EQ(f.PlaySteps(3), 3); // loops over two whole records
}

} // namespace
} // namespace vexar::test
