#include "acquisition/CTamsorDoc.h"
#include "support/FakePorts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace vexar {
namespace {

namespace fs = std::filesystem;

// A stand-in for the ping processors: marks every row of a processed head image with its head
// and row so that the assembly of the combined image can be followed.
class MarkingProcessing : public IHeadProcessing {
public:
    void InitialiseProcessors(const std::array<COndrel, kHeadCount>&, float) override { ++initialisations; }
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      int, float, HeadDoneFn done, void* doneContext) override {
        for (int k = 0; k < kHeadCount; ++k) {
            if (!flagged[static_cast<std::size_t>(k)]) {
                continue;
            }
            ++processed[static_cast<std::size_t>(k)];
            COndrel& head = heads[static_cast<std::size_t>(k)];
            for (int row = 0; row < kMaxBeams; ++row) {
                for (int s = 0; s < kMaxSamples; ++s) {
                    head.m_headImage[static_cast<std::size_t>(row * kMaxSamples + s)] = Mark(k, row);
                }
                head.m_beamProfile[static_cast<std::size_t>(row)] = Mark(k, row);
            }
            done(doneContext, k);
        }
    }
    void ClearHistory() override { ++historyClears; }
    static float Mark(int head, int row) { return static_cast<float>(head * 1000 + row); }
    int initialisations = 0;
    int historyClears = 0;
    std::array<int, kHeadCount> processed{};
};

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("vexar-doc-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
        WriteSettings("[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\n");
        doc = CTamsorDoc::Create(world.Ports());
        doc->Subscribe(world.op);
    }
    void TearDown() override {
        doc.reset();
        fs::remove_all(folder);
    }
    void WriteSettings(const std::string& text) { std::ofstream(folder / "Vexar.INI") << text; }
    void Start() { doc->OnNewDocument(folder.string() + "/"); }

    test::FakeWorld world;
    fs::path folder;
    std::unique_ptr<CTamsorDoc> doc;
};

TEST_F(DocumentTest, StartUpLoadsSettingsEntersRealTimeAndDrawsOnce) {
    WriteSettings("[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\nUseFileSLC=1\n"
                  "Comm Port=7\n[Sonar]\nBeams=240\n");
    Start();
    EXPECT_EQ(TheDocument(), doc.get());
    EXPECT_EQ(doc->m_settingsPath, folder.string() + "/Vexar.INI");
    EXPECT_EQ(world.op.m_settingsLoads, 2); // loaded at initialisation and again by "Real Time"
    // Initialisation clears "UseFileSLC", but entering real time reloads the file after it.
    EXPECT_EQ(doc->m_useFileSlc, 1);
    EXPECT_EQ(doc->m_commPort, 7);
    EXPECT_EQ(doc->m_playbackRecordSizes[0], 1024u);
    ASSERT_FALSE(world.op.m_titles.empty());
    EXPECT_EQ(world.op.m_titles.back(), "Real Time");
    // The link is started and connects at its first step.
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 0);
    EXPECT_EQ(world.timers.DelayOf(kWatchdogTimer), kWatchdogMs);
    world.timers.FireNext([](int) {});
    ASSERT_EQ(world.link.m_connects.size(), 1u);
    EXPECT_EQ(world.link.m_connects[0].first, "127.0.0.1");
    EXPECT_EQ(world.link.m_connects[0].second, 4040);
    EXPECT_EQ(world.datagrams.m_opens, std::vector<std::uint16_t>{2});
    // The first ProcessPing recomputes the tables, processes nothing and only refreshes.
    EXPECT_EQ(doc->m_forceReconfigure, 0);
    EXPECT_EQ(doc->m_imageReset, 1);
    EXPECT_EQ(world.op.m_pingsProcessed, 1);
    EXPECT_EQ(doc->CombinedBeamCount(), 720);
    for (int k = 0; k < kHeadCount; ++k) {
        EXPECT_EQ(doc->Head(k).m_newData, 0);
        EXPECT_EQ(doc->Head(k).m_beams, 240);
        EXPECT_EQ(doc->Head(k).m_commandPacket[2], 0x10);
    }
}

TEST_F(DocumentTest, FirstProcessPingWithoutDataMakesNoOutputs) {
    MarkingProcessing processing;
    doc->SetHeadProcessing(processing);
    Start();
    EXPECT_GE(processing.initialisations, 1);
    EXPECT_EQ(processing.processed, (std::array<int, kHeadCount>{}));
}

TEST_F(DocumentTest, BeamCountChangeReinitialisesOnTheNextPing) {
    MarkingProcessing processing;
    doc->SetHeadProcessing(processing);
    Start();
    const int before = processing.initialisations;
    doc->m_imageReset = 0;
    doc->ProcessPing();
    EXPECT_EQ(processing.initialisations, before);
    EXPECT_EQ(doc->m_imageReset, 0);
    doc->Head(0).m_beams = 120;
    doc->ProcessPing();
    EXPECT_EQ(doc->CombinedBeamCount(), 360);
    doc->Head(0).m_beams = 480;
    doc->ProcessPing();
    EXPECT_EQ(processing.initialisations, before + 2);
    EXPECT_EQ(doc->m_imageReset, 1);
    EXPECT_EQ(doc->CombinedBeamCount(), 1440);
    EXPECT_EQ(doc->Head(3).m_beams, 480);
}

struct Source {
    int head;
    int row;
};

// Where combined row r comes from, following the copy, swap and rotation of ProcessPing.
Source ExpectedSource(int r, int beams, bool transducerUp) {
    const int j = static_cast<int>(beams * 0.75 * 0.5);
    const int t = 2 * j;
    const int f = (beams - t) / 2;
    if (r >= 4 * t - j) {
        return {0, f + r - (4 * t - j)};
    }
    const int before = r + j; // row before the rotation
    int region = before / t;
    if (transducerUp && (region == 1 || region == 3)) {
        region = region == 1 ? 3 : 1;
    }
    return {region, f + before % t};
}

class AssemblyTest : public DocumentTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(AssemblyTest, CombinedImageHoldsTheFullCircleFromTheCentreOfHeadZero) {
    const auto [beams, up] = GetParam();
    MarkingProcessing processing;
    doc->SetHeadProcessing(processing);
    Start();
    for (int k = 0; k < kHeadCount; ++k) {
        doc->Head(k).m_displayMode = 0;
    }
    doc->Head(0).m_beams = beams;
    doc->Head(0).m_transducerUp = up ? 1 : 0;
    doc->Head(0).m_samples = 500;
    for (int k = 0; k < kHeadCount; ++k) {
        doc->Head(k).m_newData = 1;
    }
    doc->ProcessPing();
    const int t = 2 * static_cast<int>(beams * 0.75 * 0.5);
    for (int r = 0; r < 4 * t + kWrapMarginRows; ++r) {
        const Source s = ExpectedSource(r, beams, up);
        const float mark = MarkingProcessing::Mark(s.head, s.row);
        ASSERT_EQ(doc->CombinedImage(r, 0), mark) << "row " << r;
        ASSERT_EQ(doc->CombinedImage(r, 499), mark) << "row " << r;
    }
    // The wrap-around margin repeats the first ten rows.
    for (int r = 0; r < kWrapMarginRows; ++r) {
        EXPECT_EQ(doc->CombinedImage(4 * t + r, 0), doc->CombinedImage(r, 0));
    }
}

INSTANTIATE_TEST_SUITE_P(Beams, AssemblyTest,
                         ::testing::Combine(::testing::Values(120, 240, 480), ::testing::Bool()));

// Marks every processed row with the ping it was processed in, so stale rows can be told apart.
class PingMarkingProcessing : public MarkingProcessing {
public:
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      int, float, HeadDoneFn done, void* doneContext) override {
        ++ping;
        for (int k = 0; k < kHeadCount; ++k) {
            if (!flagged[static_cast<std::size_t>(k)]) {
                continue;
            }
            COndrel& head = heads[static_cast<std::size_t>(k)];
            for (int row = 0; row < kMaxBeams; ++row) {
                const float mark = static_cast<float>(ping * 10000) + Mark(k, row);
                std::fill_n(head.m_headImage.begin() + row * kMaxSamples, kMaxSamples, mark);
                head.m_beamProfile[static_cast<std::size_t>(row)] = mark;
            }
            done(doneContext, k);
        }
    }
    int ping = 0;
};

// Heads without new data keep their old rows, which move with the rotation like everything else:
// the combined rows must be what copying, swapping and rotating row by row would give.
TEST_F(DocumentTest, HeadsWithoutNewDataFollowTheRowByRowAssembly) {
    PingMarkingProcessing processing;
    doc->SetHeadProcessing(processing);
    Start();
    for (const bool up : {false, true}) {
        for (int k = 0; k < kHeadCount; ++k) {
            doc->Head(k).m_displayMode = 0;
            doc->Head(k).m_newData = 1;
        }
        doc->Head(0).m_beams = 240;
        doc->Head(0).m_samples = 500;
        doc->Head(0).m_transducerUp = up ? 1 : 0;
        doc->ProcessPing();
        const std::array<std::array<int, kHeadCount>, 3> patterns{{{1, 0, 0, 1}, {0, 1, 1, 0}, {1, 1, 0, 1}}};
        for (const auto& pattern : patterns) {
            std::vector<float> rows(kCombinedBeams);
            std::vector<float> profile(kCombinedBeams);
            for (int r = 0; r < kCombinedBeams; ++r) {
                rows[static_cast<std::size_t>(r)] = doc->CombinedImage(r, 0);
                profile[static_cast<std::size_t>(r)] = doc->m_combinedProfile[static_cast<std::size_t>(r)];
            }
            for (int k = 0; k < kHeadCount; ++k) {
                doc->Head(k).m_newData = static_cast<std::uint8_t>(pattern[static_cast<std::size_t>(k)]);
            }
            doc->ProcessPing();

            const int j = static_cast<int>(240 * 0.75 * 0.5);
            const int t = 2 * j;
            const int f = (240 - t) / 2;
            const auto copy = [&](int head, int first, int count, int to) {
                for (int r = 0; r < count; ++r) {
                    const std::size_t from = static_cast<std::size_t>(first + r);
                    rows[static_cast<std::size_t>(to + r)] = doc->Head(head).m_headImage[from * kMaxSamples];
                    profile[static_cast<std::size_t>(to + r)] = doc->Head(head).m_beamProfile[from];
                }
            };
            for (int k = 0; k < kHeadCount; ++k) {
                if (pattern[static_cast<std::size_t>(k)] != 0) {
                    copy(k, f, t + kWrapMarginRows, k * t);
                }
            }
            if (up) {
                copy(3, f, t, t);
                copy(1, f, t + kWrapMarginRows, 3 * t);
            }
            for (int r = 0; r <= 4 * t - j + 9; ++r) {
                rows[static_cast<std::size_t>(r)] = rows[static_cast<std::size_t>(r + j)];
                profile[static_cast<std::size_t>(r)] = profile[static_cast<std::size_t>(r + j)];
            }
            copy(0, f, j + kWrapMarginRows, 4 * t - j);

            for (int r = 0; r < kCombinedBeams; ++r) {
                ASSERT_EQ(doc->CombinedImage(r, 0), rows[static_cast<std::size_t>(r)])
                    << "row " << r << " up " << up;
                ASSERT_EQ(doc->CombinedImage(r, 499), rows[static_cast<std::size_t>(r)]) << "row " << r;
                // Inside the circle the marks are out of range and cleaned up; past it they stay.
                ASSERT_EQ(doc->m_combinedProfile[static_cast<std::size_t>(r)],
                          r < 4 * t ? 0.0f : profile[static_cast<std::size_t>(r)])
                    << "row " << r;
            }
        }
    }
}

TEST_F(DocumentTest, BeamTestModeLeavesTheCombinedImageAlone) {
    MarkingProcessing processing;
    doc->SetHeadProcessing(processing);
    Start();
    doc->Head(0).m_displayMode = 2;
    doc->CombinedImage(5, 5) = 77.0f;
    for (int k = 0; k < kHeadCount; ++k) {
        doc->Head(k).m_newData = 1;
    }
    const int refreshes = world.op.m_pingsProcessed;
    doc->ProcessPing();
    EXPECT_EQ(doc->CombinedImage(5, 5), 77.0f);
    EXPECT_EQ(processing.processed, (std::array<int, kHeadCount>{}));
    EXPECT_EQ(world.op.m_pingsProcessed, refreshes + 1);
}

TEST_F(DocumentTest, ProfileCleanUpDropsPointsAtTheEnds) {
    Start();
    doc->Head(0).m_displayMode = 2; // keep the assembly out of the way
    doc->Head(0).m_samples = 500;
    doc->ProcessPing();
    doc->m_combinedProfile[0] = 499.0f; // samples - 1
    doc->m_combinedProfile[1] = 498.5f; // samples - 1.5
    doc->m_combinedProfile[2] = -3.0f;
    doc->m_combinedProfile[3] = std::numeric_limits<float>::quiet_NaN();
    doc->m_combinedProfile[4] = 250.0f;
    doc->ProcessPing();
    EXPECT_EQ(doc->m_combinedProfile[0], 0.0f);
    EXPECT_EQ(doc->m_combinedProfile[1], 498.5f);
    EXPECT_EQ(doc->m_combinedProfile[2], 0.0f);
    EXPECT_EQ(doc->m_combinedProfile[3], 0.0f);
    EXPECT_EQ(doc->m_combinedProfile[4], 250.0f);
}

TEST_F(DocumentTest, OutputsOnlyFollowNewDataPointBeforeBeam) {
    Start();
    doc->OpenOutputSocket();
    doc->m_udpOutputBeam = 1;
    doc->m_udpOutputPoint = 1;
    world.datagrams.m_sent.clear();
    doc->ProcessPing();
    EXPECT_TRUE(world.datagrams.m_sent.empty());
    doc->Head(0).m_newData = 1;
    doc->ProcessPing();
    ASSERT_GE(world.datagrams.m_sent.size(), 2u);
    EXPECT_EQ(world.datagrams.m_sent[0].bytes[0], 'P');
    EXPECT_EQ(world.datagrams.m_sent[1].bytes[0], 'B');
}

TEST_F(DocumentTest, TitleShowsTheRecordingFileAndItsSize) {
    Start();
    doc->ProcessPing();
    EXPECT_EQ(world.op.m_titles.back(), "Real Time");
    const std::string path = (folder / "rec.R96").string();
    ASSERT_TRUE(doc->m_recordFile.Open(path, CDataFile::Mode::CreateWrite));
    std::vector<std::uint8_t> bytes(1572864, 1);
    ASSERT_TRUE(doc->m_recordFile.Write(bytes));
    doc->m_recordRaw = 1;
    doc->ProcessPing();
    EXPECT_EQ(world.op.m_titles.back(), path + "    ___1.5 M Bytes");
}

TEST_F(DocumentTest, LoopTimeIsTheTimeBetweenRefreshes) {
    Start();
    world.clock.Advance(40);
    doc->ProcessPing();
    EXPECT_FLOAT_EQ(doc->m_loopTimeMs, 40.0f);
    EXPECT_FLOAT_EQ(doc->m_displayedPingPeriodMs, 40.0f);
    doc->m_playback = 1;
    world.clock.Advance(70);
    doc->ProcessPing();
    EXPECT_FLOAT_EQ(doc->m_loopTimeMs, 70.0f);
    EXPECT_FLOAT_EQ(doc->m_displayedPingPeriodMs, 40.0f);
}

TEST_F(DocumentTest, RealTimeLeavesPlaybackAndClearsTheImage) {
    Start();
    doc->m_playback = 1;
    doc->CombinedImage(3, 3) = 9.0f;
    doc->m_combinedProfile[3] = 9.0f;
    doc->Head(2).m_newData = 1;
    doc->Head(2).m_pingCounter = 12;
    doc->OnRealTime();
    EXPECT_EQ(doc->m_playback, 0);
    EXPECT_EQ(doc->CombinedImage(3, 3), 0.0f);
    EXPECT_EQ(doc->m_combinedProfile[3], 0.0f);
    EXPECT_EQ(doc->m_clearImage, 1);
    EXPECT_EQ(doc->Head(2).m_newData, 0);
    EXPECT_EQ(doc->Head(2).m_pingCounter, 0);
    EXPECT_FALSE(world.timers.IsArmed(kPlaybackTimer));
}

TEST_F(DocumentTest, ShutdownSavesBothGroupsAndClosesEverything) {
    Start();
    doc->Head(0).m_samples = 1000;
    doc->m_startGain = 13;
    doc->OnCloseDocument();
    EXPECT_EQ(TheDocument(), nullptr);
    EXPECT_FALSE(world.link.IsConnected());
    std::ifstream in(folder / "Vexar.INI");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Number of Samples=1000"), std::string::npos);
    EXPECT_NE(text.find("Start Gain=13"), std::string::npos);
}

} // namespace
} // namespace vexar
