// Video jobs on threads of their own beside a document that goes on taking live pings: each job
// plays the recording with a document of its own, the running document stays the process-wide
// one, and two jobs of the same recording write the same video byte for byte. Run under
// ThreadSanitizer as well.

#include "support/RecordingFixture.h"
#include "video/CVideoJob.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

namespace vexar {
namespace {

// Pings 100 ms apart, as at 10 pings a second.
std::string WriteRecording(const test::DocFixture& fixture, int pings) {
    test::Bytes file;
    for (int ping = 0; ping < pings; ++ping) {
        test::Bytes record = test::MakeRawRecord(64, ping);
        char stamp[kTimeStampLength + 1];
        std::snprintf(stamp, sizeof stamp, "07122026114139%03d", 100 * ping);
        std::copy(stamp, stamp + kTimeStampLength, record.begin() + 10);
        test::Append(file, record);
    }
    const std::string path = fixture.folder / "pings.R96";
    test::WriteFile(path, file);
    return path;
}

VideoJobOptions SmallVideo(const test::DocFixture& fixture, const std::string& recording,
                           const std::string& name) {
    VideoJobOptions options;
    options.recordings = {recording};
    options.output = fixture.folder / name;
    options.width = 160;
    options.height = 120;
    options.pace = {10, 1.0};
    options.settings.programFolder = fixture.folder.Folder();
    options.settings.settingsPath = fixture.folder / "Vexar.INI";
    options.settings.workers = 1;
    return options;
}

TEST(VideoJobs, TwoJobsBesideALiveDocumentMakeTheSameVideo) {
    test::DocFixture live;
    const std::string recording = WriteRecording(live, 8);
    std::atomic<bool> cancel{false};
    VideoResult first;
    VideoResult second;
    std::thread a([&] { first = CVideoJob(SmallVideo(live, recording, "a.mp4")).Run({}, cancel); });
    std::thread b([&] { second = CVideoJob(SmallVideo(live, recording, "b.mp4")).Run({}, cancel); });
    const int pings = live.doc->PingRoutine().Head(0).m_pingCounter;
    live.RunLivePings(4);
    a.join();
    b.join();

    EXPECT_EQ(live.doc->PingRoutine().Head(0).m_pingCounter, pings + 4);
    for (const VideoResult& result : {first, second}) {
        ASSERT_EQ(result.outcome, VideoOutcome::Written) << result.message;
        EXPECT_EQ(result.summary.frames, 8u);
        EXPECT_EQ(result.summary.pingsDrawn, 8u);
    }
    const test::Bytes video = test::ReadFile(live.folder / "a.mp4");
    EXPECT_GT(video.size(), 1000u);
    EXPECT_EQ(video, test::ReadFile(live.folder / "b.mp4"));
}

} // namespace
} // namespace vexar
