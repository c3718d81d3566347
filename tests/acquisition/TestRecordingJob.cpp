// Recording on its own, against a host that only listens: what it asks of the host when a
// recording starts and closes, and the refusals that leave no file.

#include "acquisition/CRecording.h"
#include "support/FakePorts.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vexar::test {
namespace {

class ListeningHost : public IRecordingHost, public IDocumentListener {
public:
    bool Playing() const override { return playing; }
    const SystemSettings& RecordingSettings() const override { return system; }
    void ChangeWriteFolder(const std::string& folder) override { system.writeFolder = folder; }
    std::string FreshAutoName() override { return "NOW"; }
    std::string RollOverName() const override { return "LATER"; }
    std::string PlayedFileName() const override { return playing ? "played.R96" : ""; }
    CSonarLink* RecordingLink() override { return nullptr; }
    const std::string& Title() const override { return title; }
    void SetTitle(const std::string& shown) override { title = shown; }
    void OnRecordingChanged(const RecordingStatus& status) override { changes.push_back(status); }

    bool playing = false;
    SystemSettings system;
    std::string title = "before";
    std::vector<RecordingStatus> changes;
};

TEST(RecordingJob, AStartedRecordingMovesTheFolderAndTellsItsHostUntilClosed) {
    RecordingFolder folder;
    FakeWorld world;
    ListeningHost host;
    CDocumentEvents events;
    events.Subscribe(host);
    CRecording recording(host, world.Ports(), events);
    const std::string path = folder / "a.B96";
    ASSERT_TRUE(recording.Start(RecordKind::Beam, path));
    EXPECT_EQ(host.system.writeFolder, folder.Folder());
    EXPECT_EQ(host.title, "Real Time -- Recording to File: " + path);
    ASSERT_EQ(host.changes.size(), 1u);
    EXPECT_TRUE(host.changes[0].active);
    EXPECT_EQ(host.changes[0].path, path);
    EXPECT_TRUE(recording.Current().active);

    // A second kind is refused while one runs; the first goes on.
    EXPECT_FALSE(recording.Start(RecordKind::Point, folder / "b.P96"));
    EXPECT_EQ(world.op.m_messages.back(), "Data is already being saved to file.   ");
    recording.CloseAll();
    ASSERT_EQ(host.changes.size(), 2u);
    EXPECT_FALSE(host.changes[1].active);
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(RecordingJob, ProposesTheHostsNamesAndRefusesThePlayedFile) {
    RecordingFolder folder;
    FakeWorld world;
    ListeningHost host;
    CDocumentEvents events;
    events.Subscribe(host);
    host.system.autoFileName = 1;
    CRecording recording(host, world.Ports(), events);
    struct Case {
        bool playing;
        RecordKind kind;
        const char* proposed;
    };
    for (const Case& c :
         {Case{false, RecordKind::Raw, "NOW.R96"}, Case{false, RecordKind::Point, "NOW.P96"},
          Case{true, RecordKind::Raw, "Copy of played.R96"}, Case{true, RecordKind::Beam, "NOW.B96"}}) {
        host.playing = c.playing;
        world.op.m_dialogAnswers.push_back(std::nullopt);
        recording.OnRecord(c.kind);
        EXPECT_EQ(world.op.m_dialogs.back().proposedName, c.proposed);
    }
    host.playing = true;
    EXPECT_FALSE(recording.Start(RecordKind::Raw, folder / "played.R96"));
    EXPECT_FALSE(std::filesystem::exists(folder / "played.R96"));
    EXPECT_EQ(host.title, "before");
}

} // namespace
} // namespace vexar::test
