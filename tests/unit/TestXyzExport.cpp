#include "acquisition/CTamsorDoc.h"
#include "navigation/NavigationMath.h"
#include "navigation/XyzExport.h"
#include "support/FakePorts.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace vexar {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        EXPECT_NE(end, std::string::npos) << "every line ends with a line feed";
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

/// Label and three coordinates of one XYZ line.
struct XyzLine {
    std::string date, time;
    double x = 0.0, y = 0.0, z = 0.0;
};

XyzLine ParseLine(const std::string& line) {
    XyzLine out;
    std::istringstream in(line);
    std::string x, y, z;
    std::getline(in, out.date, '\t');
    std::getline(in, out.time, '\t');
    std::getline(in, x, '\t');
    std::getline(in, y, '\t');
    std::getline(in, z, '\t');
    EXPECT_EQ(x.size(), 15u) << line;
    EXPECT_EQ(y.size(), 15u) << line;
    EXPECT_EQ(z.size(), 15u) << line;
    out.x = std::stod(x);
    out.y = std::stod(y);
    out.z = std::stod(z);
    return out;
}

// Level and at rest: the attitude of the sentence plays no part unless a test sets it.
constexpr const char* kLevelFix =
    "$AULOG,2;30.0,N,3;0.0,E,,-10.0,,0.0,0.0,0.0,0.0,,,0,0,0,0,0.00,10/14/1999,*";

// The export of a played file of 120 beams x 500 samples at 10 m: what each played ping hands it.
class XyzExport : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("vexar_xyz_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        SetBeams(settings, 120);
        settings.samples = 500;
        settings.rangeM = 10.0f;
        settings.soundVelocity = 1500.0f;
        Parse(kLevelFix);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string Played() const { return (folder / "survey.R96").string(); }
    std::string Output() const { return (folder / "survey.xyz").string(); }

    /// Starts the export of the played file into the file beside it.
    bool Start(const std::string& played) {
        return exporter.StartToFile(CompanionXyzPath(played), played, nav);
    }
    /// The played ping's sentence, parsed into the track while the export runs.
    void Parse(const std::string& sentence) { nav.ParseNavigationSentence(sentence, exporter.IsActive()); }
    void WritePing() {
        exporter.WritePing(nav, XyzPing{&settings, profile.data(), dateText, timeText, millisecondText,
                                        timeStamp, mounting, 2000});
    }
    XyzExportResult Finish() { return exporter.Finish(nav); }

    /// Starts a conversion, writes one ping and finishes; returns the file's lines.
    std::vector<std::string> OnePing() {
        EXPECT_TRUE(Start(Played()));
        Parse(kLevelFix);
        WritePing();
        Finish();
        return Lines(ReadAll(Output()));
    }

    test::FakeWorld world;
    CXyzExport exporter{&world.op};
    CNavigation nav;
    PingSettings settings;
    std::vector<float> profile = std::vector<float>(kCombinedBeams);
    std::string dateText = "07-12-2026";
    std::string timeText = "11:41:39";
    std::string millisecondText = "042";
    std::string timeStamp;
    HeadMounting mounting;
    fs::path folder;
};

// A recording of three pings with a fix, played in a started document.
struct PlayedSurvey {
    PlayedSurvey() {
        test::Bytes file;
        for (int ping = 0; ping < 3; ++ping) {
            test::Append(file, test::MakeRawRecord(64, ping, kLevelFix));
        }
        test::WriteFile(f.folder / "survey.R96", file);
    }
    test::DocFixture f;
    CTamsorDoc& doc = *f.doc;
};

TEST_F(XyzExport, LineFormat) {
    EXPECT_EQ(FormatXyzLine("07-12-2026\t11:41:39.042", 12.345, -1.5, 0.0),
              "07-12-2026\t11:41:39.042\t 0000000012.345\t-0000000001.500\t 0000000000.000\n");
    EXPECT_EQ(FormatXyzLine("a", 1234567890.1234, -0.0004, 5e13),
              "a\t 1234567890.123\t-0000000000.000\t 50000000000000.000\n");
    EXPECT_EQ(CompanionXyzPath("/data/run 7/survey.R96"), "/data/run 7/survey.xyz");
    EXPECT_EQ(CompanionXyzPath("x.r96"), "x.xyz");
    EXPECT_EQ(IsoTimeOfStamp("07122026114139042"), "2026-12-07T11:41:39.042");
    EXPECT_EQ(IsoTimeOfStamp("0712202611413904"), "");
    EXPECT_EQ(IsoTimeOfStamp("07122026114139O42"), "");
}

TEST_F(XyzExport, BeamAheadLiesOnTheFirstAxis) {
    // Beam 90 of 360 lies at angle 0: 250 of 500 samples at 10 m is 5 m.
    profile[90] = 250.0f;
    const auto lines = OnePing();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "07-12-2026\t11:41:39.042\t 0000000005.000\t 0000000000.000\t 0000000000.000");
    EXPECT_EQ(lines[1], "07-12-2026\t11:41:39.042\t 0000000000.000\t 0000000000.000\t 0000000000.000");
    EXPECT_EQ(lines[2], "");
}

// A level head places a point on its bearing from the bow at the ping's time: the fix of half a
// second before, at 2 m/s eastwards, is carried a metre on; the track line is the carried fix.
TEST_F(XyzExport, LevelHeadPlacesAtThePingsTime) {
    mounting.plane = HeadPlane::Level;
    ASSERT_TRUE(Start(Played()));
    Parse("$AULOG,2;30.0,N,3;0.0,E,,-10.0,,90.0,0.0,0.0,2.0,,,0,0,0,0,10:00:00.00,12/07/2026,*");
    timeStamp = "07122026100000500";
    profile[0] = 250.0f;  // ahead: east
    profile[90] = 100.0f; // to starboard: south
    WritePing();
    Finish();
    const auto lines = Lines(ReadAll(Output()));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "07-12-2026\t11:41:39.042\t 0000000006.000\t 0000000000.000\t 0000000000.000");
    EXPECT_EQ(lines[1], "07-12-2026\t11:41:39.042\t 0000000001.000\t-0000000002.000\t 0000000000.000");
    EXPECT_EQ(lines[2], "07-12-2026\t11:41:39.042\t 0000000001.000\t 0000000000.000\t 0000000000.000");
}

TEST_F(XyzExport, LongLabelsAreWrittenWhole) {
    dateText = std::string(300, 'd');
    profile[90] = 250.0f;
    const auto lines = OnePing();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              std::string(300, 'd') + "\t11:41:39.042\t 0000000005.000\t 0000000000.000\t 0000000000.000");
}

TEST_F(XyzExport, BeamZeroGoesToTheThirdColumn) {
    profile[0] = 250.0f;
    const auto lines = OnePing();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "07-12-2026\t11:41:39.042\t 0000000000.000\t 0000000000.000\t 0000000005.000");
}

TEST_F(XyzExport, SoundVelocityScalesEveryOffset) {
    settings.soundVelocity = 1485.0f;
    profile[0] = 250.0f;
    profile[90] = 250.0f;
    profile[135] = 400.0f; // 8 m at 45 degrees
    const auto lines = OnePing();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(ParseLine(lines[0]).z, 4.950);
    EXPECT_EQ(ParseLine(lines[1]).x, 4.950);
    const XyzLine diagonal = ParseLine(lines[2]);
    EXPECT_NEAR(diagonal.x, 8.0 * 0.99 * std::sqrt(0.5), 0.0006);
    EXPECT_NEAR(diagonal.z, -8.0 * 0.99 * std::sqrt(0.5), 0.0006);
}

TEST_F(XyzExport, OtherBeamSettingsKeepTheGeometry) {
    // 480 beams: 1440 display beams a quarter of a degree apart; beam 360 lies at angle 0.
    settings.beams = 480;
    profile[360] = 250.0f;
    profile[1439] = 100.0f;
    const auto lines = OnePing();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(ParseLine(lines[0]).x, 5.0);
    const XyzLine last = ParseLine(lines[1]);
    const double theta = -std::numbers::pi / 2 + 1439 * 0.25 * std::numbers::pi / 180.0;
    EXPECT_NEAR(last.x, 2.0 * std::cos(theta), 0.0006);
    EXPECT_NEAR(last.z, -2.0 * std::sin(theta), 0.0006);
}

TEST_F(XyzExport, DamagedBeamSettingStaysInsideTheProfile) {
    settings.beams = 100000;
    profile[kCombinedBeams - 1] = 10.0f;
    auto lines = OnePing();
    EXPECT_EQ(lines.size(), 3u);
    settings.beams = 0;
    lines = OnePing();
    EXPECT_EQ(lines.size(), 2u) << "no beams: only the track line and the empty line";
}

// The end of the played file ends the export: the result is told once, and playback holds on
// the last ping instead of playing the file again.
TEST(XyzConversion, FinishReportsOnceAndHoldsOnTheLastPing) {
    PlayedSurvey survey;
    CTamsorDoc& doc = survey.doc;
    ASSERT_TRUE(doc.OpenPlayback(survey.f.folder / "survey.R96"));
    ASSERT_TRUE(doc.Conversion().Start());
    EXPECT_TRUE(doc.Conversion().Export().IsActive());
    EXPECT_TRUE(doc.Conversion().Export().IsWriting());
    EXPECT_EQ(survey.f.PlaySteps(4), 3);
    doc.Conversion().Finish();
    EXPECT_EQ(survey.f.world.op.m_messages, std::vector<std::string>{"Conversion Complete!"});
    EXPECT_FALSE(doc.Conversion().Export().IsActive());
    EXPECT_FALSE(doc.Conversion().Export().IsWriting());
    EXPECT_FALSE(survey.f.world.timers.IsArmed(kPlaybackTimer));
    EXPECT_TRUE(doc.IsHeld());
    // The timer handler does not start the file over.
    doc.OnTimer(kPlaybackTimer);
    EXPECT_FALSE(survey.f.world.timers.IsArmed(kPlaybackTimer));
}

TEST(XyzConversion, StartReleasesAHeldPlayback) {
    PlayedSurvey survey;
    CTamsorDoc& doc = survey.doc;
    doc.EditSettings([](Settings& s) { s.system.sleepTimeMs = 40; });
    ASSERT_TRUE(doc.OpenPlayback(survey.f.folder / "survey.R96"));
    doc.OnHold();
    doc.OnTimer(kPlaybackTimer); // a held playback plays this step and stops
    ASSERT_FALSE(survey.f.world.timers.IsArmed(kPlaybackTimer));
    ASSERT_TRUE(doc.Conversion().Start());
    EXPECT_FALSE(doc.IsHeld());
    EXPECT_EQ(survey.f.world.timers.DelayOf(kPlaybackTimer), 40);
}

TEST_F(XyzExport, StartingAgainWhileOpenKeepsTheFileAndTrack) {
    ASSERT_TRUE(Start(Played()));
    nav.m_trackOffsetX = 2.0;
    ASSERT_TRUE(Start(Played()));
    EXPECT_TRUE(exporter.IsActive());
    EXPECT_EQ(nav.m_trackOffsetX, 2.0);
}

TEST_F(XyzExport, StartZeroesTheTrack) {
    nav.m_trackOffsetX = 1.0;
    nav.m_trackOffsetY = 2.0;
    nav.m_trackOffsetZ = 3.0;
    nav.m_easting = 4.0;
    nav.m_firstFix = 0;
    ASSERT_TRUE(Start(Played()));
    EXPECT_EQ(nav.m_trackOffsetX, 0.0);
    EXPECT_EQ(nav.m_trackOffsetY, 0.0);
    EXPECT_EQ(nav.m_trackOffsetZ, 0.0);
    EXPECT_EQ(nav.m_easting, 0.0);
    EXPECT_EQ(nav.m_firstFix, 1);
}

TEST_F(XyzExport, CreateFailureIsReportedAndNothingIsWritten) {
    EXPECT_FALSE(Start((folder / "missing" / "survey.R96").string()));
    ASSERT_EQ(world.op.m_messages.size(), 2u);
    EXPECT_NE(world.op.m_messages[0].find("missing"), std::string::npos)
        << "the platform's file-error report";
    EXPECT_EQ(world.op.m_messages[1], "Error Creating XYZ File!");
    EXPECT_TRUE(exporter.IsActive()) << "the switch stays set";
    profile[0] = 250.0f;
    WritePing();
    // Nothing was written, so nothing is reported complete.
    Finish();
    EXPECT_EQ(world.op.m_messages.size(), 2u);
    EXPECT_FALSE(exporter.IsActive());
}

TEST_F(XyzExport, PlayedFileIsNeverOverwritten) {
    // A recording named *.xyz would be its own companion.
    const std::string played = (folder / "odd.xyz").string();
    std::ofstream(played) << "recorded bytes";
    EXPECT_FALSE(Start(played));
    EXPECT_EQ(world.op.m_messages.back(), "Error Creating XYZ File!");
    EXPECT_EQ(ReadAll(played), "recorded bytes");
}

TEST_F(XyzExport, LostLinesAreNotReportedComplete) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    ASSERT_TRUE(exporter.StartToFile("/dev/full", Played(), nav));
    profile[0] = 250.0f;
    for (int ping = 0; ping < 200; ++ping) {
        WritePing();
    }
    Finish();
    EXPECT_EQ(world.op.m_messages, std::vector<std::string>{"Error Writing XYZ File!"});
}

// A short export fits the file buffer: every write succeeds and only the final flush fails.
TEST_F(XyzExport, LinesLostInTheLastFlushCountAsLost) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    ASSERT_TRUE(exporter.StartToFile("/dev/full", Played(), nav));
    profile[0] = 250.0f;
    WritePing();
    ASSERT_EQ(nav.m_xyzWriteFailed, 0);
    Finish();
    EXPECT_EQ(nav.m_xyzWriteFailed, 1);
    EXPECT_EQ(world.op.m_messages, std::vector<std::string>{"Error Writing XYZ File!"});
}

/// A synthetic survey: the vessel runs east at 1 m per ping with heading 90 while the profile
/// shows a flat bottom; every line written is parsed back and checked against the geometry.
TEST_F(XyzExport, WholeSurveyWrittenAndParsedBack) {
    constexpr int kPings = 12;
    const double lat0 = 2.5;
    const double lon0 = 3.0;
    ASSERT_TRUE(Start(Played()));
    std::vector<std::vector<int>> beamsOfPing;
    std::vector<UtmPoint> fixes;
    for (int ping = 0; ping < kPings; ++ping) {
        const double lon = lon0 + ping * 1.0 / (111320.0 * std::cos(lat0 * std::numbers::pi / 180.0));
        char sentence[256];
        std::snprintf(sentence, sizeof sentence,
                      "$AULOG,2;30.0,N,3;%.9f,E,,%.1f,,90.0,0.0,0.0,1.0,,,0,0,0,0,10:00:%02d.00,12/07/2026,*",
                      (lon - 3.0) * 60.0, -10.0 - 0.1 * ping, ping);
        Parse(sentence);
        fixes.push_back(LatLonToUtm(nav.m_latitude, nav.m_longitude));

        char clock[24];
        std::snprintf(clock, sizeof clock, "10:00:%02d", ping);
        timeText = clock;
        millisecondText = "500";
        std::fill(profile.begin(), profile.end(), 0.0f);
        std::vector<int> beams;
        for (int beam = 0; beam < 90; beam += 4 + ping % 3) {
            // A flat bottom 4 m below: the slant range grows away from the vertical beam 0.
            const double theta = -std::numbers::pi / 2 + beam * std::numbers::pi / 180.0;
            const double slant = -4.0 / std::sin(theta);
            if (slant < 9.9) {
                profile[static_cast<std::size_t>(beam)] = static_cast<float>(slant * 50.0);
                beams.push_back(beam);
            }
        }
        beamsOfPing.push_back(beams);
        WritePing();
    }
    Finish();
    ASSERT_EQ(world.op.m_messages, std::vector<std::string>{"Conversion Complete!"});

    const auto lines = Lines(ReadAll(Output()));
    std::size_t at = 0;
    for (int ping = 0; ping < kPings; ++ping) {
        const auto& beams = beamsOfPing[static_cast<std::size_t>(ping)];
        ASSERT_LE(at + beams.size() + 2, lines.size());
        // The track: 1 m east per ping (UTM scale near the central meridian), depth change.
        const double east = fixes[static_cast<std::size_t>(ping)].easting - fixes[0].easting;
        const XyzLine track = ParseLine(lines[at + beams.size()]);
        EXPECT_NEAR(track.x, east, 0.0006) << ping;
        EXPECT_NEAR(track.x, 0.9996 * ping, 0.01) << ping;
        EXPECT_NEAR(track.y, 0.0, 0.0006) << ping;
        EXPECT_NEAR(track.z, -0.1 * ping, 0.0006) << ping;
        for (std::size_t k = 0; k < beams.size(); ++k) {
            const XyzLine point = ParseLine(lines[at + k]);
            char time[16];
            std::snprintf(time, sizeof time, "10:00:%02d.500", ping);
            EXPECT_EQ(point.date, "07-12-2026");
            EXPECT_EQ(point.time, time);
            // Heading 90: the across axis of the head turns to the south, the bottom stays
            // 4 m below the track.
            const double theta = -std::numbers::pi / 2 + beams[k] * std::numbers::pi / 180.0;
            const double across = -4.0 / std::tan(theta);
            EXPECT_NEAR(point.x - track.x, 0.0, 0.002) << ping << " beam " << beams[k];
            EXPECT_NEAR(point.y - track.y, -across, 0.002) << ping << " beam " << beams[k];
            EXPECT_NEAR(point.z - track.z, 4.0, 0.002) << ping << " beam " << beams[k];
        }
        EXPECT_EQ(lines[at + beams.size() + 1], "");
        at += beams.size() + 2;
    }
    EXPECT_EQ(at, lines.size());
}

TEST_F(XyzExport, MapPointsStartAtTheFirstUsableFixInItsZone) {
    struct Points : IMapPointSink {
        void TakePoint(const MapPoint& point) override {
            taken.push_back(point);
            stamps.emplace_back(point.timeStamp);
        }
        std::vector<MapPoint> taken;
        std::vector<std::string> stamps;
    } sink;
    timeStamp = "07122026114139042";
    exporter.StartToSink(sink, nav);
    profile[0] = 250.0f;
    profile[90] = 100.0f;
    // No fix yet: the points have no place on the map.
    WritePing();
    EXPECT_TRUE(sink.taken.empty());

    const std::string south = "$AULOG,2;30.0,S,3;0.0,E,,-10.0,,0.0,0.0,0.0,0.0,,,0,0,0,0,0.00,10/14/1999,*";
    Parse(south);
    Parse(south);
    const UtmPoint fix = LatLonToUtm(nav.m_latitude, nav.m_longitude);
    WritePing();
    Finish();
    EXPECT_TRUE(world.op.m_messages.empty());
    EXPECT_FALSE(exporter.HasSink());

    ASSERT_EQ(sink.taken.size(), 2u);
    EXPECT_EQ(sink.stamps[0], "07122026114139042");
    EXPECT_EQ(sink.taken[0].projection.Epsg(), 32700 + fix.zone);
    EXPECT_NEAR(sink.taken[0].easting, fix.easting, 1e-6);
    EXPECT_NEAR(sink.taken[0].northing, fix.northing, 1e-6);
    EXPECT_NEAR(sink.taken[0].depth, 5.0, 1e-6);
    EXPECT_EQ(sink.taken[1].beam, 90);
    EXPECT_NEAR(sink.taken[1].easting, fix.easting + 2.0, 1e-6);
    EXPECT_NEAR(sink.taken[1].rangeM, 2.0, 1e-6);
}

// A recording without a single position fix gets no coordinates: the file ends empty and the
// operator is told once.
TEST_F(XyzExport, NoFixNoCoordinates) {
    profile[90] = 250.0f;
    ASSERT_TRUE(Start(Played()));
    WritePing();
    EXPECT_EQ(Finish(), XyzExportResult::NoFixes);
    EXPECT_EQ(ReadAll(Output()), "");
    EXPECT_EQ(world.op.m_messages, (std::vector<std::string>{kXyzNoFixesText}));
}

// The map position under the pointer is where the export puts a profile point at that bearing
// and range: same beam angles, sound velocity and attitude.
TEST_F(XyzExport, PointerMapPositionIsWhereTheExportPutsThePoint) {
    settings.soundVelocity = 1485.0f;
    struct Points : IMapPointSink {
        void TakePoint(const MapPoint& point) override { taken.push_back(point); }
        std::vector<MapPoint> taken;
    } sink;
    exporter.StartToSink(sink, nav);
    Parse("$AULOG,2;30.0,N,3;0.0,E,,-10.0,,37.0,2.0,-3.0,0.0,,,0,0,0,0,0.00,10/14/1999,*");
    profile[200] = 300.0f; // 120 beams a head: 360 display beams a degree apart
    WritePing();
    Finish();
    ASSERT_EQ(sink.taken.size(), 1u);
    const double easting = sink.taken[0].easting;
    const double northing = sink.taken[0].northing;

    // Beam 200 is drawn from 199.5 to 200.5 degrees; 300 of 500 samples at 10 m, corrected.
    const float bearingDeg = 199.5f;
    const float rangeM = 6.0f * 1485.0f / 1500.0f;
    const std::optional<HeadPose> pose = PoseOfPing(nav, "", HeadMounting{}, 2000);
    ASSERT_TRUE(pose.has_value());
    const PlacedPoint pointer = pose->PlaceInPicture(bearingDeg, rangeM, settings.beams, 1485.0);
    EXPECT_NEAR(pointer.east, easting, 0.002);
    EXPECT_NEAR(pointer.north, northing, 0.002);
    EXPECT_EQ(pose->Projection().zone, 31);
    nav.ClearNavigation();
    EXPECT_FALSE(PoseOfPing(nav, "", HeadMounting{}, 2000).has_value());
}

} // namespace
} // namespace vexar
