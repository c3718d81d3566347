// Where the map products put what the sonar saw, against where the simulated head's --truth file
// says it is: level heads on straight runs at several headings, turned on their mounts, tilted
// and off the position reference, in a mosaic of `vexar-cli mosaic`; the harbour's piles and
// blocks on a circle; and pings placed from a navigation source of one fix a second.

#include "TruthFile.h"

#include "files/RecordHeader.h"
#include "navigation/HeadPlacement.h"
#include "navigation/PingPlacer.h"
#include "support/HeadProcess.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace vexar {
namespace {

using test::HeadProcess;
using test::MapSpot;
using test::Truth;

constexpr double kCellM = 0.1;

struct Cell {
    double easting = 0.0; ///< of its centre
    double northing = 0.0;
    double value = 0.0;
};

/// The cells of a mosaic that hold data, through gdal_translate as a GIS would read them.
std::vector<Cell> ReadCells(const std::string& tif) {
    QProcess gdal;
    gdal.start(QStringLiteral("gdal_translate"),
               {QStringLiteral("-q"), QStringLiteral("-of"), QStringLiteral("XYZ"),
                QString::fromStdString(tif), QStringLiteral("/vsistdout/")});
    gdal.waitForFinished(60000);
    std::istringstream text(gdal.readAllStandardOutput().toStdString());
    std::vector<Cell> cells;
    for (Cell c; text >> c.easting >> c.northing >> c.value;) {
        if (c.value > 0.0) {
            cells.push_back(c);
        }
    }
    return cells;
}

double Distance(const Cell& c, const MapSpot& s) {
    return std::hypot(c.easting - s.easting, c.northing - s.northing);
}

/// Where the mosaic shows a reflector: the middle of its echo within a metre, each cell at least
/// half as bright as the brightest there weighed by its brightness, and how bright. (The few
/// cells near the brightest alone are one ping's echo: where they lie scatters by a beam's width.)
struct Spot {
    bool seen = false;
    double peak = 0.0;
    double error = 0.0; ///< m from the truth
    double cells = 0.0; ///< the same in cells, east or north whichever is larger
};

Spot SpotOf(const std::vector<Cell>& cells, const MapSpot& truth) {
    Spot spot;
    for (const Cell& c : cells) {
        if (Distance(c, truth) <= 1.0) {
            spot.peak = std::max(spot.peak, c.value);
        }
    }
    double east = 0.0;
    double north = 0.0;
    double weight = 0.0;
    for (const Cell& c : cells) {
        if (Distance(c, truth) <= 1.0 && c.value >= 0.5 * spot.peak) {
            east += c.value * c.easting;
            north += c.value * c.northing;
            weight += c.value;
        }
    }
    spot.seen = weight > 0.0;
    if (spot.seen) {
        const double dEast = east / weight - truth.easting;
        const double dNorth = north / weight - truth.northing;
        spot.error = std::hypot(dEast, dNorth);
        spot.cells = std::max(std::fabs(dEast), std::fabs(dNorth)) / kCellM;
    }
    return spot;
}

/// Median and largest of the errors, printed for the record.
void PrintErrors(const std::string& what, std::vector<double> errors) {
    if (errors.empty()) {
        return;
    }
    std::sort(errors.begin(), errors.end());
    std::printf("%s: %zu placed, error median %.3f m, largest %.3f m\n", what.c_str(), errors.size(),
                errors[errors.size() / 2], errors.back());
}

struct Mounting {
    double tiltDeg = 0.0;
    double yawDeg = 0.0;
    bool arm = false; ///< the head 2 m forward, 1 m to port and 0.5 m down of the reference
};

class PlacementTruth : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }
    std::string Path(const char* name) const {
        return m_folder.filePath(QString::fromLatin1(name)).toStdString();
    }

    /// A loopback settings file for a level head mounted as `m`; sound at 1500 m/s on both sides
    /// (the simulated head times its samples for the water it is given).
    void WriteSettings(const Mounting& m, int pingDelayMs = 0) {
        std::ofstream(Path("Vexar.INI"))
            << "[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\nRemotePort_Output1=4041\n"
            << "Sound Velocity=1500.00\nPing Delay=" << pingDelayMs
            << "\n[Sonar]\nOperating Range=4\nNumber of Samples=500\nBeams=480\n[Mounting]\nHead "
               "Plane=Level\n"
            << "Head Tilt=" << m.tiltDeg << "\nHead Yaw=" << m.yawDeg
            << "\nHead Offset Forward=" << (m.arm ? 2 : 0) << "\nHead Offset Starboard=" << (m.arm ? -1 : 0)
            << "\nHead Offset Down=" << (m.arm ? 0.5 : 0) << "\n";
    }
    /// The simulated head's options for the same mounting, its navigation line and its truth.
    QStringList HeadOptions(const Mounting& m) const {
        return {"--sound-velocity",
                "1500",
                "--tilt",
                QString::number(m.tiltDeg),
                "--yaw",
                QString::number(m.yawDeg),
                "--offset",
                m.arm ? "2,-1,0.5" : "0,0,0",
                "--nav-link",
                QString::fromStdString(Path("nav")),
                "--truth",
                QString::fromStdString(Path("truth.csv"))};
    }
    int Cli(const QStringList& arguments) { return test::RunCli(arguments, Path("Vexar.INI"), m_output); }
    /// Records `seconds` from the head on `port` with its navigation line into rec.R96.
    void Record(std::uint16_t port, double seconds) {
        ASSERT_EQ(Cli({"record", "--sonar", QStringLiteral("127.0.0.1:%1").arg(port), "--nav",
                       QString::fromStdString("serial:" + Path("nav")), "--duration",
                       QString::number(seconds), QString::fromStdString(Path("rec.R96"))}),
                  0)
            << m_output.toStdString();
    }
    std::vector<Cell> Mosaic() {
        EXPECT_EQ(Cli({"mosaic", "--cell", QString::number(kCellM), "--out",
                       QString::fromStdString(Path("rec.tif")), QString::fromStdString(Path("rec.R96"))}),
                  0)
            << m_output.toStdString();
        return ReadCells(Path("rec.tif"));
    }

    QTemporaryDir m_folder;
    QString m_output;
};

struct RunCase {
    double headingDeg;
    Mounting mounting;
};

class LevelRuns : public PlacementTruth, public ::testing::WithParamInterface<RunCase> {};

// Straight at half a metre a second past five reflectors: ahead, astern, abeam and two at 45
// degrees. Every one is the brightest spot within two cells of its true place, and nothing half as
// bright lies more than a metre from a reflector (no smear along the track, no ghost where a
// mounting is ignored).
TEST_P(LevelRuns, PutEveryReflectorWhereItIs) {
    const RunCase& c = GetParam();
    WriteSettings(c.mounting);
    HeadProcess head;
    const std::uint16_t port = head.Start(
        0, HeadOptions(c.mounting) +
               QStringList{"--scene", "plain", "--noise", "0.002", "--speed", "0.5", "--heading",
                           QString::number(c.headingDeg), "--target", "0,12,0.2", "--target", "180,12,0.2",
                           "--target", "90,10,0.2", "--target", "45,14,0.2", "--target", "225,14,0.2"});
    ASSERT_NE(port, 0);
    ASSERT_NO_FATAL_FAILURE(Record(port, 3.0));
    head.Kill();
    const std::vector<Cell> cells = Mosaic();
    const Truth truth = test::ReadTruth(Path("truth.csv"));
    ASSERT_EQ(truth.points.size(), 5u);
    double weakest = 255.0;
    std::vector<double> errors;
    for (const auto& [name, place] : truth.points) {
        const Spot spot = SpotOf(cells, place);
        ASSERT_TRUE(spot.seen && spot.peak > 20.0) << name;
        EXPECT_LE(spot.cells, 2.0) << name;
        errors.push_back(spot.error);
        weakest = std::min(weakest, spot.peak);
    }
    PrintErrors("heading " + std::to_string(c.headingDeg), errors);
    int far = 0;
    for (const Cell& cell : cells) {
        const bool nearOne = std::any_of(truth.points.begin(), truth.points.end(),
                                         [&cell](const auto& p) { return Distance(cell, p.second) <= 1.0; });
        far += cell.value > weakest / 2 && !nearOne ? 1 : 0;
    }
    EXPECT_EQ(far, 0);
}

INSTANTIATE_TEST_SUITE_P(Mountings, LevelRuns,
                         ::testing::Values(RunCase{0.0, {0.0, 0.0, false}},
                                           RunCase{90.0, {30.0, 180.0, true}},
                                           RunCase{200.0, {30.0, 0.0, true}}, RunCase{90.0, {0.0, 0.0, true}},
                                           RunCase{200.0, {0.0, 180.0, false}},
                                           RunCase{0.0, {30.0, 180.0, true}}),
                         [](const ::testing::TestParamInfo<RunCase>& run) {
                             const RunCase& c = run.param;
                             return "Heading" + std::to_string(static_cast<int>(c.headingDeg)) + "Tilt" +
                                    std::to_string(static_cast<int>(c.mounting.tiltDeg)) + "Yaw" +
                                    std::to_string(static_cast<int>(c.mounting.yawDeg)) +
                                    (c.mounting.arm ? "LeverArm" : "");
                         });

/// The shortest distance from a point to a wall.
double FromWall(const test::MapWall& w, double e, double n) {
    const double dx = w.to.easting - w.from.easting;
    const double dy = w.to.northing - w.from.northing;
    const double along =
        std::clamp(((e - w.from.easting) * dx + (n - w.from.northing) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(w.from.easting + along * dx - e, w.from.northing + along * dy - n);
}

// A sixth of the way round the harbour with a head tilted 15 degrees (the seabed then lies beyond
// its range but where it rises): every pile, the tyre and the anchor seen lie within two cells of
// their spot; the echo of each mooring block seen lies on its outline. The vehicle goes slowly:
// the simulated head draws a ping when it gets round to the request, which a loaded machine
// delays, and the console places it at the request's time.
TEST_F(PlacementTruth, HarbourPilesAndBlocks) {
    const Mounting tilted{15.0, 0.0, false};
    WriteSettings(tilted, 50);
    HeadProcess head;
    const std::uint16_t port = head.Start(
        0, HeadOptions(tilted) + QStringList{"--speed", "0.75", "--turn-rate", "2", "--nav-rate", "50"});
    ASSERT_NE(port, 0);
    ASSERT_NO_FATAL_FAILURE(Record(port, 30.0));
    head.Kill();
    const std::vector<Cell> cells = Mosaic();
    const Truth truth = test::ReadTruth(Path("truth.csv"));
    std::vector<double> errors;
    for (const auto& [name, place] : truth.points) {
        const Spot spot = SpotOf(cells, place);
        if (name.starts_with("rock") || name.starts_with("wreck") || !spot.seen || spot.peak < 64.0) {
            continue;
        }
        EXPECT_LE(spot.cells, 2.0) << name;
        errors.push_back(spot.error);
    }
    EXPECT_GE(errors.size(), 7u); // the piles passed
    PrintErrors("harbour", errors);
    int blocks = 0;
    for (int b = 1; b <= 3; ++b) {
        const std::string prefix = "block " + std::to_string(b);
        std::vector<test::MapWall> sides;
        double east = 0.0;
        double north = 0.0;
        for (const test::MapWall& w : truth.walls) {
            if (w.name == prefix) {
                sides.push_back(w);
                east += w.from.easting / 4.0;
                north += w.from.northing / 4.0;
            }
        }
        ASSERT_EQ(sides.size(), 4u) << prefix;
        // The block's echo: the cells within a tenth of the brightest near it. A block at full
        // scale fills its outline's width of beams; the middle of the echo lies on the outline.
        double peak = 0.0;
        for (const Cell& c : cells) {
            if (std::hypot(c.easting - east, c.northing - north) <= 2.0) {
                peak = std::max(peak, c.value);
            }
        }
        if (peak < 64.0) {
            continue;
        }
        ++blocks;
        // How far each cell lies outside the outline (inside: negative); the echo spreads to
        // both sides of the walls, a misplaced block moves all of it one way.
        std::vector<double> fromOutline;
        for (const Cell& c : cells) {
            if (std::hypot(c.easting - east, c.northing - north) <= 2.0 && c.value >= 0.9 * peak) {
                double nearest = 1e9;
                bool inside = true;
                for (const test::MapWall& w : sides) {
                    nearest = std::min(nearest, FromWall(w, c.easting, c.northing));
                    const double side = (w.to.easting - w.from.easting) * (c.northing - w.from.northing) -
                                        (w.to.northing - w.from.northing) * (c.easting - w.from.easting);
                    const double centre = (w.to.easting - w.from.easting) * (north - w.from.northing) -
                                          (w.to.northing - w.from.northing) * (east - w.from.easting);
                    inside = inside && side * centre > 0.0;
                }
                fromOutline.push_back(inside ? -nearest : nearest);
            }
        }
        std::nth_element(fromOutline.begin(), fromOutline.begin() + fromOutline.size() / 2,
                         fromOutline.end());
        EXPECT_LE(std::fabs(fromOutline[fromOutline.size() / 2]), 2 * kCellM) << prefix;
        std::printf("%s: %zu cells of its echo, median %+.3f m outside its outline\n", prefix.c_str(),
                    fromOutline.size(), fromOutline[fromOutline.size() / 2]);
    }
    EXPECT_GE(blocks, 1);
}

/// The placed pings of a beam file: where each record's head lies, by its time.
struct PlacedHead {
    std::int64_t ms = 0;
    double easting = 0.0;
    double northing = 0.0;
};

std::vector<PlacedHead> PlaceBeamFile(const std::string& path, const HeadMounting& mounting,
                                      int maxFixAgeMs) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    PingPlacer placer({}, mounting, maxFixAgeMs);
    std::vector<PlacedHead> placed;
    PlacedPing ping;
    for (std::size_t at = 0; at + kRecordHeaderSize <= bytes.size();) {
        const RecordHeaderFields f = ReadRecordHeader(
            std::span<const std::uint8_t, kRecordHeaderSize>(bytes.data() + at, kRecordHeaderSize));
        if (f.totalLength == 0 || f.totalLength > bytes.size() - at) {
            break;
        }
        if (placer.Place(std::span<const std::uint8_t>(bytes.data() + at, f.totalLength), ping) ==
            Placement::Placed) {
            // The record's local time is UTC here.
            placed.push_back({StampMs(f.timeStamp).value_or(0), ping.east, ping.north});
        }
        at += f.totalLength;
    }
    return placed;
}

/// The largest distance of the placed heads from where the head truly was at their pings.
double LargestError(const std::vector<PlacedHead>& placed, const Truth& truth) {
    double largest = 0.0;
    for (const PlacedHead& p : placed) {
        // The head between its poses at the pings around this one's request (the simulated head
        // draws a ping when its first request arrives, a moment after the record's time).
        double easting = 0.0;
        double northing = 0.0;
        EXPECT_TRUE(truth.HeadAt(p.ms, easting, northing)) << p.ms;
        largest = std::max(largest, std::hypot(p.easting - easting, p.northing - northing));
    }
    return largest;
}

// One fix a second at 2 m/s: each ping is placed where its fix, carried to the ping's time, puts
// the head; taken as it stands the fix would leave a ping up to 2 m behind.
TEST_F(PlacementTruth, OneFixASecondIsCarriedToEveryPing) {
    const Mounting arm{0.0, 0.0, true};
    WriteSettings(arm, 100);
    HeadProcess head;
    const std::uint16_t port =
        head.Start(0, HeadOptions(arm) + QStringList{"--scene", "plain", "--speed", "2", "--heading", "60",
                                                     "--nav-rate", "1"});
    ASSERT_NE(port, 0);
    ASSERT_NO_FATAL_FAILURE(Record(port, 4.0));
    head.Kill();
    ASSERT_EQ(Cli({"convert", QString::fromStdString(Path("rec.R96")), "--b96",
                   QString::fromStdString(Path("rec.B96"))}),
              0)
        << m_output.toStdString();
    const Truth truth = test::ReadTruth(Path("truth.csv"));
    const HeadMounting mounting{HeadPlane::Level, 0.0, 0.0, 2.0, -1.0, 0.5};
    const std::vector<PlacedHead> carried = PlaceBeamFile(Path("rec.B96"), mounting, 2000);
    ASSERT_GT(carried.size(), 20u);
    const double largest = LargestError(carried, truth);
    const double asItStands = LargestError(PlaceBeamFile(Path("rec.B96"), mounting, 0), truth);
    std::printf(
        "1 Hz navigation at 2 m/s: %zu pings, largest error %.3f m carried, %.3f m as the fix stands\n",
        carried.size(), largest, asItStands);
    EXPECT_LE(largest, 0.3);
    EXPECT_GT(asItStands, 1.0);
}

} // namespace
} // namespace vexar
