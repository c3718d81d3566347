#include "acquisition/CTamsorDoc.h"
#include "support/FakePorts.h"
#include "support/RecordingFixture.h"
#include "support/TestPing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <vector>

namespace vexar {
namespace {

namespace fs = std::filesystem;

// A stand-in for the ping processors: marks every row of a processed head image with its head
// and row so that the assembly of the combined image can be followed.
class MarkingProcessing : public IHeadProcessing {
public:
    void InitialiseProcessors(const PingSettings&) override { ++initialisations; }
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      const PingSettings&, IProcessedHeads& done) override {
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
            done.HeadProcessed(k);
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
        doc = std::make_unique<CTamsorDoc>(world.Ports());
        doc->Subscribe(world.op);
    }
    void TearDown() override {
        doc.reset();
        fs::remove_all(folder);
    }
    void WriteSettings(const std::string& text) { std::ofstream(folder / "Vexar.INI") << text; }
    void Start() { doc->OnNewDocument(folder.string() + "/"); }
    /// A recording of `records` pings; returns its path.
    std::string Recording(int records) {
        test::Bytes file;
        for (int r = 0; r < records; ++r) {
            test::Append(file, test::MakeRawRecord(64, r));
        }
        const std::string path = (folder / "played.R96").string();
        test::WriteFile(path, file);
        return path;
    }
    /// A ping of element data with the document's settings: every head has new data.
    void EnterPing() { test::TestPing().EnterInto(*doc); }

    test::FakeWorld world;
    fs::path folder;
    std::unique_ptr<CTamsorDoc> doc;
};

TEST_F(DocumentTest, StartUpLoadsSettingsEntersRealTimeAndDrawsOnce) {
    WriteSettings("[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\nUseFileSLC=1\n"
                  "Comm Port=7\n[Sonar]\nBeams=240\n");
    const std::uint64_t geometry = doc->Shown().GeometryVersion();
    Start();
    EXPECT_EQ(doc->SettingsFile().path, folder.string() + "/Vexar.INI");
    EXPECT_EQ(world.op.m_settingsLoads, 2); // loaded at initialisation and again by "Real Time"
    // Initialisation clears "UseFileSLC", but entering real time reloads the file after it.
    EXPECT_EQ(doc->GetSettings().system.useFileSlc, 1);
    EXPECT_EQ(doc->GetSettings().system.commPort, 7);
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
    // The first ProcessPing builds the tables, processes nothing and only refreshes.
    EXPECT_NE(doc->Shown().GeometryVersion(), geometry);
    EXPECT_EQ(world.op.m_pingsProcessed, 1);
    EXPECT_EQ(doc->PingRoutine().CombinedBeamCount(), 720);
    EXPECT_EQ(doc->Shown().Settings().beams, 240);
    for (int k = 0; k < kHeadCount; ++k) {
        EXPECT_EQ(doc->PingRoutine().Head(k).m_newData, 0);
        EXPECT_EQ(doc->PingRoutine().Head(k).m_commandPacket[2], 0x10);
    }
}

TEST_F(DocumentTest, FirstProcessPingWithoutDataMakesNoOutputs) {
    MarkingProcessing processing;
    doc->PingRoutine().SetHeadProcessing(processing);
    Start();
    EXPECT_GE(processing.initialisations, 1);
    EXPECT_EQ(processing.processed, (std::array<int, kHeadCount>{}));
}

TEST_F(DocumentTest, BeamCountChangeReinitialisesOnTheNextPing) {
    MarkingProcessing processing;
    doc->PingRoutine().SetHeadProcessing(processing);
    Start();
    const int before = processing.initialisations;
    const std::uint64_t geometry = doc->Shown().GeometryVersion();
    doc->ProcessPing();
    EXPECT_EQ(processing.initialisations, before);
    EXPECT_EQ(doc->Shown().GeometryVersion(), geometry);
    doc->EditSettings([](Settings& s) { s.sonar.beams = 120; });
    doc->ProcessPing();
    EXPECT_EQ(doc->PingRoutine().CombinedBeamCount(), 360);
    doc->EditSettings([](Settings& s) { s.sonar.beams = 480; });
    doc->ProcessPing();
    EXPECT_EQ(processing.initialisations, before + 2);
    EXPECT_NE(doc->Shown().GeometryVersion(), geometry);
    EXPECT_EQ(doc->PingRoutine().CombinedBeamCount(), 1440);
}

// The tables are rebuilt for a ping exactly when the settings' tables key differs from the one
// they were built for: once, and not again for the pings after it.
TEST_F(DocumentTest, TablesAreRebuiltExactlyWhenTheirKeyDiffers) {
    MarkingProcessing processing;
    doc->PingRoutine().SetHeadProcessing(processing);
    Start();
    const struct {
        const char* what;
        void (*edit)(Settings&);
        int rebuilds;
    } changes[] = {
        {"display gain", [](Settings& s) { s.sonar.displayGain = 80; }, 0},
        {"start gain", [](Settings& s) { s.sonar.startGainDb = 12; }, 0},
        {"sound velocity", [](Settings& s) { s.sonar.soundVelocity = 1500.0f; }, 0},
        {"beams", [](Settings& s) { SetBeams(s.sonar, 120); }, 1},
        {"samples", [](Settings& s) { s.sonar.samples = 1000; }, 1},
        {"range", [](Settings& s) { s.sonar.rangeM = 10.0f; }, 1},
        {"frequency", [](Settings& s) { s.sonar.frequencyStep = 4; }, 1},
    };
    for (const auto& change : changes) {
        const int before = processing.initialisations;
        doc->EditSettings(change.edit);
        doc->ProcessPing();
        doc->ProcessPing();
        EXPECT_EQ(processing.initialisations - before, change.rebuilds) << change.what;
    }
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
    doc->PingRoutine().SetHeadProcessing(processing);
    Start();
    doc->EditSettings([beams, up](Settings& s) {
        s.sonar.displayMode = kDisplayModePolar;
        s.sonar.beams = beams;
        s.sonar.transducerUp = up ? 1 : 0;
        s.sonar.samples = 500;
    });
    EnterPing();
    const int t = 2 * static_cast<int>(beams * 0.75 * 0.5);
    for (int r = 0; r < 4 * t + kWrapMarginRows; ++r) {
        const Source s = ExpectedSource(r, beams, up);
        const float mark = MarkingProcessing::Mark(s.head, s.row);
        ASSERT_EQ(doc->PingRoutine().Combined().At(r, 0), mark) << "row " << r;
        ASSERT_EQ(doc->PingRoutine().Combined().At(r, 499), mark) << "row " << r;
    }
    // The wrap-around margin repeats the first ten rows.
    for (int r = 0; r < kWrapMarginRows; ++r) {
        EXPECT_EQ(doc->PingRoutine().Combined().At(4 * t + r, 0), doc->PingRoutine().Combined().At(r, 0));
    }
}

INSTANTIATE_TEST_SUITE_P(Beams, AssemblyTest,
                         ::testing::Combine(::testing::Values(120, 240, 480), ::testing::Bool()));

// Marks every processed row with the ping it was processed in, so stale rows can be told apart.
// A ping's heads all bring new data; which heads have new data at the next ping is set here,
// where the heads of a ping are at hand, so that the assembly of heads without it can be followed.
class PingMarkingProcessing : public MarkingProcessing {
public:
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      const PingSettings&, IProcessedHeads& done) override {
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
            done.HeadProcessed(k);
        }
        if (nextFresh) {
            for (int k = 0; k < kHeadCount; ++k) {
                heads[static_cast<std::size_t>(k)].m_newData = (*nextFresh)[static_cast<std::size_t>(k)];
            }
            nextFresh.reset();
        }
    }
    int ping = 0;
    std::optional<std::array<int, kHeadCount>> nextFresh;
};

// Heads without new data keep their old rows, which move with the rotation like everything else:
// the combined rows must be what copying, swapping and rotating row by row would give.
TEST_F(DocumentTest, HeadsWithoutNewDataFollowTheRowByRowAssembly) {
    PingMarkingProcessing processing;
    doc->PingRoutine().SetHeadProcessing(processing);
    Start();
    const std::array<std::array<int, kHeadCount>, 3> patterns{{{1, 0, 0, 1}, {0, 1, 1, 0}, {1, 1, 0, 1}}};
    for (const bool up : {false, true}) {
        doc->EditSettings([up](Settings& s) {
            s.sonar.displayMode = kDisplayModePolar;
            s.sonar.beams = 240;
            s.sonar.samples = 500;
            s.sonar.transducerUp = up ? 1 : 0;
        });
        processing.nextFresh = patterns[0];
        EnterPing();
        for (std::size_t p = 0; p < patterns.size(); ++p) {
            const auto& pattern = patterns[p];
            std::vector<float> rows(kCombinedBeams);
            std::vector<float> profile(kCombinedBeams);
            for (int r = 0; r < kCombinedBeams; ++r) {
                rows[static_cast<std::size_t>(r)] = doc->PingRoutine().Combined().At(r, 0);
                profile[static_cast<std::size_t>(r)] =
                    doc->PingRoutine().Combined().Profile()[static_cast<std::size_t>(r)];
            }
            if (p + 1 < patterns.size()) {
                processing.nextFresh = patterns[p + 1];
            }
            doc->ProcessPing();

            const int j = static_cast<int>(240 * 0.75 * 0.5);
            const int t = 2 * j;
            const int f = (240 - t) / 2;
            const auto copy = [&](int head, int first, int count, int to) {
                for (int r = 0; r < count; ++r) {
                    const std::size_t from = static_cast<std::size_t>(first + r);
                    rows[static_cast<std::size_t>(to + r)] =
                        doc->PingRoutine().Head(head).m_headImage[from * kMaxSamples];
                    profile[static_cast<std::size_t>(to + r)] =
                        doc->PingRoutine().Head(head).m_beamProfile[from];
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
                ASSERT_EQ(doc->PingRoutine().Combined().At(r, 0), rows[static_cast<std::size_t>(r)])
                    << "row " << r << " up " << up;
                ASSERT_EQ(doc->PingRoutine().Combined().At(r, 499), rows[static_cast<std::size_t>(r)])
                    << "row " << r;
                // Inside the circle the marks are out of range and cleaned up; past it they stay.
                ASSERT_EQ(doc->PingRoutine().Combined().Profile()[static_cast<std::size_t>(r)],
                          r < 4 * t ? 0.0f : profile[static_cast<std::size_t>(r)])
                    << "row " << r;
            }
        }
    }
}

TEST_F(DocumentTest, BeamTestModeLeavesTheCombinedImageAlone) {
    MarkingProcessing processing;
    doc->PingRoutine().SetHeadProcessing(processing);
    Start();
    doc->EditSettings([](Settings& s) { s.sonar.displayMode = kDisplayModePolar; });
    EnterPing();
    const float shown = doc->PingRoutine().Combined().At(5, 5);
    ASSERT_NE(shown, 0.0f);
    processing.processed = {};
    doc->EditSettings([](Settings& s) { s.sonar.displayMode = kDisplayModeBeamTest; });
    const int refreshes = world.op.m_pingsProcessed;
    EnterPing();
    EXPECT_EQ(doc->PingRoutine().Combined().At(5, 5), shown);
    EXPECT_EQ(processing.processed, (std::array<int, kHeadCount>{}));
    EXPECT_EQ(world.op.m_pingsProcessed, refreshes + 1);
}

// Gives the heads' profile points the test asks for; every other point is mid-range.
class ProfileProcessing : public MarkingProcessing {
public:
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      const PingSettings&, IProcessedHeads& done) override {
        for (int k = 0; k < kHeadCount; ++k) {
            if (!flagged[static_cast<std::size_t>(k)]) {
                continue;
            }
            for (int row = 0; row < kMaxBeams; ++row) {
                const auto point = points.find({k, row});
                heads[static_cast<std::size_t>(k)].m_beamProfile[static_cast<std::size_t>(row)] =
                    point != points.end() ? point->second : 250.0f;
            }
            done.HeadProcessed(k);
        }
    }
    std::map<std::pair<int, int>, float> points; ///< (head, row) -> profile point
};

TEST_F(DocumentTest, ProfileCleanUpDropsPointsAtTheEnds) {
    ProfileProcessing processing;
    doc->PingRoutine().SetHeadProcessing(processing);
    Start();
    doc->EditSettings([](Settings& s) {
        s.sonar.displayMode = kDisplayModePolar;
        s.sonar.beams = 120;
        s.sonar.samples = 500;
    });
    const std::array<float, 5> points = {499.0f, // samples - 1
                                         498.5f, // samples - 1.5
                                         -3.0f, std::numeric_limits<float>::quiet_NaN(), 250.0f};
    for (int r = 0; r < 5; ++r) {
        const Source source = ExpectedSource(r, 120, false);
        processing.points[{source.head, source.row}] = points[static_cast<std::size_t>(r)];
    }
    EnterPing();
    const auto profile = doc->PingRoutine().Combined().Profile();
    EXPECT_EQ(profile[0], 0.0f);
    EXPECT_EQ(profile[1], 498.5f);
    EXPECT_EQ(profile[2], 0.0f);
    EXPECT_EQ(profile[3], 0.0f);
    EXPECT_EQ(profile[4], 250.0f);
}

TEST_F(DocumentTest, OutputsOnlyFollowNewDataPointBeforeBeam) {
    Start();
    doc->EditSettings([](Settings& s) {
        s.system.udpOutputBeam = 1;
        s.system.udpOutputPoint = 1;
    });
    world.datagrams.m_sent.clear();
    doc->ProcessPing();
    EXPECT_TRUE(world.datagrams.m_sent.empty());
    EnterPing();
    ASSERT_GE(world.datagrams.m_sent.size(), 2u);
    EXPECT_EQ(world.datagrams.m_sent[0].bytes[0], 'P');
    EXPECT_EQ(world.datagrams.m_sent[1].bytes[0], 'B');
}

TEST_F(DocumentTest, TitleShowsTheRecordingFileAndItsSize) {
    Start();
    doc->ProcessPing();
    EXPECT_EQ(world.op.m_titles.back(), "Real Time");
    // Two beam records of 1440 beams x 500 samples: 2 x (2048 + 720000) bytes.
    const std::string path = (folder / "rec.B96").string();
    ASSERT_TRUE(doc->Recording().Start(RecordKind::Beam, path));
    EnterPing();
    EnterPing();
    EXPECT_EQ(world.op.m_titles.back(), path + "    ___1.4 M Bytes");
}

TEST_F(DocumentTest, LoopTimeIsTheTimeBetweenRefreshes) {
    Start();
    world.clock.Advance(40);
    doc->ProcessPing();
    EXPECT_FLOAT_EQ(doc->Shown().Timings().loopTimeMs, 40.0f);
    EXPECT_FLOAT_EQ(doc->Shown().Timings().displayedPingPeriodMs, 40.0f);
    ASSERT_TRUE(doc->OpenPlayback(Recording(1)));
    world.clock.Advance(70);
    doc->ProcessPing();
    EXPECT_FLOAT_EQ(doc->Shown().Timings().loopTimeMs, 70.0f);
    EXPECT_FLOAT_EQ(doc->Shown().Timings().displayedPingPeriodMs, 40.0f);
}

TEST_F(DocumentTest, RealTimeLeavesPlaybackAndClearsTheImage) {
    MarkingProcessing processing;
    doc->PingRoutine().SetHeadProcessing(processing);
    Start();
    ASSERT_TRUE(doc->OpenPlayback(Recording(1)));
    ASSERT_EQ(doc->Playback().Step(), StepResult::Ping);
    ASSERT_NE(doc->PingRoutine().Combined().At(3, 3), 0.0f);
    ASSERT_EQ(doc->PingRoutine().Head(2).m_newData, 1);
    ASSERT_EQ(doc->PingRoutine().Head(2).m_pingCounter, 1);
    const std::uint64_t clears = doc->Shown().ClearVersion();
    doc->OnRealTime();
    EXPECT_FALSE(doc->IsPlayback());
    EXPECT_EQ(doc->PingRoutine().Combined().At(3, 3), 0.0f);
    EXPECT_EQ(doc->PingRoutine().Combined().Profile()[3], 0.0f);
    EXPECT_NE(doc->Shown().ClearVersion(), clears);
    EXPECT_EQ(doc->PingRoutine().Head(2).m_newData, 0);
    EXPECT_EQ(doc->PingRoutine().Head(2).m_pingCounter, 0);
    EXPECT_FALSE(world.timers.IsArmed(kPlaybackTimer));
}

// The mode and Hold have one writer: each change is told once, whoever makes it.
TEST_F(DocumentTest, EveryChangeOfModeOrHoldIsToldOnce) {
    Start();
    using Modes = std::vector<std::pair<DocMode, bool>>;
    const auto told = [this](const std::function<void()>& change) {
        const std::size_t before = world.op.m_modes.size();
        change();
        return Modes(world.op.m_modes.begin() + static_cast<std::ptrdiff_t>(before), world.op.m_modes.end());
    };
    const std::string path = Recording(2);
    EXPECT_EQ(told([&] { doc->OpenPlayback(path); }), (Modes{{DocMode::Playback, false}}));
    EXPECT_EQ(told([&] { doc->OnHold(); }), (Modes{{DocMode::Playback, true}}));
    // A conversion plays its file to the end and holds on its last ping.
    EXPECT_EQ(told([&] { doc->Conversion().Start(); }), (Modes{{DocMode::Conversion, false}}));
    const auto playToTheEnd = [&] {
        for (int step = 0; step < 10 && doc->Playback().Step() != StepResult::AtEnd; ++step) {
        }
    };
    EXPECT_EQ(told(playToTheEnd), (Modes{{DocMode::Playback, true}}));
    EXPECT_EQ(told([&] { doc->OnRealTime(); }), (Modes{{DocMode::Live, false}}));
    EXPECT_EQ(told([&] { doc->OnRealTime(); }), Modes{});
    EXPECT_EQ(told([&] { doc->OnHold(); }), (Modes{{DocMode::Live, true}}));
}

// A change of the settings is kept within its key's limits, stored, and told once with the
// groups it touched; a change that changes nothing is not told.
TEST_F(DocumentTest, SettingsChangesAreClampedAndToldOnce) {
    Start();
    const struct {
        const char* what;
        void (*edit)(Settings&);
        bool (*holds)(const CTamsorDoc&);
        SettingsChange told;
    } changes[] = {
        {"display gain",
         [](Settings& s) { s.sonar.displayGain = 500; },
         [](const CTamsorDoc& d) { return d.Shown().Settings().displayGain == 100; },
         {false, true, false}},
        {"ping delay",
         [](Settings& s) { s.system.pingDelayMs = 9000; },
         [](const CTamsorDoc& d) { return d.GetSettings().system.pingDelayMs == 5000; },
         {true, false, false}},
        {"colour table",
         [](Settings& s) { s.view.colorTable = -4; },
         [](const CTamsorDoc& d) { return d.GetSettings().view.colorTable == 0; },
         {false, false, false}},
        {"grid and unit",
         [](Settings& s) {
             s.view.grid = GridStyle::Rectangular;
             s.view.unit = DistanceUnit::Imperial;
         },
         [](const CTamsorDoc& d) {
             return d.GetSettings().view.grid == GridStyle::Rectangular &&
                    d.GetSettings().view.unit == DistanceUnit::Imperial;
         },
         {false, false, true}},
        {"nothing", [](Settings&) {}, [](const CTamsorDoc&) { return true; }, {}},
    };
    for (const auto& change : changes) {
        world.op.m_settingsChanges.clear();
        doc->EditSettings(change.edit);
        EXPECT_TRUE(change.holds(*doc)) << change.what;
        if (!change.told.Any()) {
            EXPECT_TRUE(world.op.m_settingsChanges.empty()) << change.what;
            continue;
        }
        ASSERT_EQ(world.op.m_settingsChanges.size(), 1u) << change.what;
        const SettingsChange& told = world.op.m_settingsChanges[0];
        EXPECT_EQ(told.system, change.told.system) << change.what;
        EXPECT_EQ(told.sonar, change.told.sonar) << change.what;
        EXPECT_EQ(told.view, change.told.view) << change.what;
    }
}

TEST_F(DocumentTest, ShutdownSavesBothGroupsAndClosesEverything) {
    Start();
    doc->EditSettings([](Settings& s) {
        s.sonar.samples = 1000;
        s.sonar.startGainDb = 13;
    });
    doc->OnCloseDocument();
    EXPECT_FALSE(world.link.IsConnected());
    std::ifstream in(folder / "Vexar.INI");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Number of Samples=1000"), std::string::npos);
    EXPECT_NE(text.find("Start Gain=13"), std::string::npos);
}

} // namespace
} // namespace vexar
