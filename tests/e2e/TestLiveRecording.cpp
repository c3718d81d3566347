// `vexar-cli record --nav` against the simulated head and its navigation, all on this machine:
// every record carries a fix that lies where the vehicle truly was when its ping was requested,
// through the head's serial line and through a real gpsd fed with its NMEA; and the XYZ export of
// a run along the quay wall puts the wall's profile points on the wall's line.

#include "files/RecordHeader.h"
#include "navigation/NavigationMath.h"
#include "navigation/NavigationSentence.h"
#include "support/ChildProcess.h"
#include "support/HeadProcess.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace vexar {
namespace {

using test::HeadProcess;

/// Milliseconds since 1970 of "YYYY-MM-DDTHH:MM:SS.mmm" (a trailing Z or not), read as UTC.
std::int64_t IsoMs(const std::string& text) {
    UtcDateTime t;
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d.%d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &t.second, &t.millisecond) != 7) {
        return 0;
    }
    return MsFromUtc(t).value_or(0);
}

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells(1);
    for (const char c : line) {
        if (c == ',') {
            cells.emplace_back();
        } else if (c != '\r' && c != '\n') {
            cells.back() += c;
        }
    }
    return cells;
}

/// What the head's truth file says: its UTM zone, the vehicle's position at every fix and ping,
/// and the quay wall's line (the first and the last end of its pieces).
struct Truth {
    int zone = 0;
    std::map<std::int64_t, std::pair<double, double>> track; ///< time -> easting, northing
    double wallE1 = 0.0, wallN1 = 0.0, wallE2 = 0.0, wallN2 = 0.0;

    /// The vehicle's position at `ms`, between the poses around it (or from the last two, up to
    /// 200 ms after the last); false outside the track.
    bool At(std::int64_t ms, double& easting, double& northing) const {
        auto after = track.lower_bound(ms);
        if (after == track.end() && track.size() >= 2 && ms - track.rbegin()->first <= 200) {
            after = std::prev(track.end());
        }
        if (after == track.end() || after == track.begin()) {
            return false;
        }
        const auto before = std::prev(after);
        const double f =
            static_cast<double>(ms - before->first) / static_cast<double>(after->first - before->first);
        easting = before->second.first + f * (after->second.first - before->second.first);
        northing = before->second.second + f * (after->second.second - before->second.second);
        return true;
    }
    /// Distance of a point from the wall's line.
    double FromWall(double easting, double northing) const {
        const double dx = wallE2 - wallE1;
        const double dy = wallN2 - wallN1;
        return std::fabs(dx * (northing - wallN1) - dy * (easting - wallE1)) / std::hypot(dx, dy);
    }
};

Truth ReadTruth(const std::string& path) {
    Truth truth;
    std::ifstream file(path);
    bool firstQuay = true;
    for (std::string line; std::getline(file, line);) {
        const std::vector<std::string> c = Cells(line);
        if (c.size() != 19) {
            continue;
        }
        if (c[0] == "origin") {
            std::sscanf(c[1].c_str(), "UTM zone %d", &truth.zone);
        } else if (c[0] == "fix" || c[0] == "ping") {
            truth.track[IsoMs(c[2])] = {std::stod(c[6]), std::stod(c[7])};
        } else if (c[0] == "wall" && c[1].starts_with("quay")) {
            if (firstQuay) {
                truth.wallE1 = std::stod(c[6]);
                truth.wallN1 = std::stod(c[7]);
                firstQuay = false;
            }
            truth.wallE2 = std::stod(c[10]);
            truth.wallN2 = std::stod(c[11]);
        }
    }
    return truth;
}

/// A record's request time (its time stamp, local time = UTC here) and its sentence.
struct RecordedFix {
    std::int64_t ms = 0;
    std::string sentence;
};

std::vector<RecordedFix> ReadRecords(const std::string& path) {
    QFile file(QString::fromStdString(path));
    std::vector<RecordedFix> records;
    if (!file.open(QIODevice::ReadOnly)) {
        return records;
    }
    const QByteArray bytes = file.readAll();
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    for (std::size_t at = 0; at + kRecordHeaderSize <= static_cast<std::size_t>(bytes.size());) {
        const RecordHeaderFields f =
            ReadRecordHeader(std::span<const std::uint8_t, kRecordHeaderSize>(data + at, kRecordHeaderSize));
        UtcDateTime t;
        std::sscanf(f.timeStamp.c_str(), "%2d%2d%4d%2d%2d%2d%3d", &t.day, &t.month, &t.year, &t.hour,
                    &t.minute, &t.second, &t.millisecond);
        const std::size_t sentence = at + kRecordDataOffset + f.dataLength + f.extensionLength;
        records.push_back({MsFromUtc(t).value_or(0),
                           std::string(reinterpret_cast<const char*>(data + sentence), f.sentenceLength)});
        at += f.totalLength;
    }
    return records;
}

class LiveRecording : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        std::ofstream(Path("Vexar.INI"))
            << "[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\n"
               "RemotePort_Output1=4041\n[Sonar]\nOperating Range=3\n"
               "Number of Samples=1000\nBeams=480\nDetectProfilePoints=1\n";
    }
    std::string Path(const char* name) const {
        return m_folder.filePath(QString::fromLatin1(name)).toStdString();
    }

    /// Runs vexar-cli with the loopback settings file, in UTC; its exit status (-1: it hung).
    int Cli(QStringList arguments) {
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        cli.setProcessEnvironment(environment);
        arguments.insert(1, QStringLiteral("--settings"));
        arguments.insert(2, QString::fromStdString(Path("Vexar.INI")));
        cli.start(QStringLiteral(VEXAR_CLI_PATH), arguments);
        const bool finished = cli.waitForFinished(120000);
        m_output = cli.readAllStandardOutput() + cli.readAllStandardError();
        return finished && cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    }
    /// Records `pings` pings from the head on `port` with the navigation `nav` into rec.R96.
    void RecordPings(std::uint16_t port, const QString& nav, int pings) {
        ASSERT_EQ(
            Cli({QStringLiteral("record"), QStringLiteral("--sonar"),
                 QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--nav"), nav,
                 QStringLiteral("--pings"), QString::number(pings), QString::fromStdString(Path("rec.R96"))}),
            0)
            << m_output.toStdString();
    }
    /// Every record has a fix within 0.5 m of where the vehicle was at its request.
    void ExpectRecordsWhereTheVehicleWas(int pings) {
        const Truth truth = ReadTruth(Path("truth.csv"));
        ASSERT_NE(truth.zone, 0);
        const std::vector<RecordedFix> records = ReadRecords(Path("rec.R96"));
        ASSERT_EQ(records.size(), static_cast<std::size_t>(pings));
        for (const RecordedFix& r : records) {
            const std::optional<NavigationFix> fix = ReadSentence(r.sentence);
            ASSERT_TRUE(fix && fix->position) << "record at " << r.ms << ": '" << r.sentence << "'";
            double easting = 0.0;
            double northing = 0.0;
            ASSERT_TRUE(truth.At(r.ms, easting, northing)) << r.ms;
            const UtmPoint p =
                LatLonToUtmInZone(fix->position->latitudeDeg, fix->position->longitudeDeg, truth.zone);
            EXPECT_LT(std::hypot(p.easting - easting, p.northing - northing), 0.5) << r.sentence;
        }
    }

    QTemporaryDir m_folder;
    QString m_output;
};

// Along the quay wall, parallel to it: the export places a profile point by its across-track
// distance and puts its along-track part into the depth column, so a point of the wall lies on the
// wall's line when the vehicle runs parallel to it. The wall's points are those whose range is
// where the beam meets the wall from the vehicle's true position.
TEST_F(LiveRecording, SerialLineFixesReachEveryRecordAndPutTheQuayWallOnItsLine) {
    HeadProcess head;
    const std::uint16_t port = head.Start(0, {"--nav-link", QString::fromStdString(Path("nav")), "--truth",
                                              QString::fromStdString(Path("truth.csv")), "--heading", "90",
                                              "--speed", "0.75", "--turn-rate", "0"});
    ASSERT_NE(port, 0);
    ASSERT_NO_FATAL_FAILURE(RecordPings(port, QString::fromStdString("serial:" + Path("nav")), 40));
    head.Kill();
    ExpectRecordsWhereTheVehicleWas(40);

    ASSERT_EQ(Cli({"convert", QString::fromStdString(Path("rec.R96")), "--xyz",
                   QString::fromStdString(Path("rec.csv")), "--xyz-format", "csv"}),
              0)
        << m_output.toStdString();
    const Truth truth = ReadTruth(Path("truth.csv"));
    std::ifstream csv(Path("rec.csv"));
    std::string line;
    std::getline(csv, line);
    ASSERT_EQ(line, "time,easting,northing,depth,beam,range,latitude,longitude");
    int facing = 0;
    int onWall = 0;
    while (std::getline(csv, line)) {
        const std::vector<std::string> c = Cells(line);
        const int beam = std::stoi(c[4]);
        // 480 beams a head: beam i looks i / 4 degrees clockwise from the bow; the wall is to port.
        const double offAbeamDeg = beam * 0.25 - 0.125 - 270.0;
        double easting = 0.0;
        double northing = 0.0;
        if (std::fabs(offAbeamDeg) > 25.0 || !truth.At(IsoMs(c[0]), easting, northing)) {
            continue;
        }
        ++facing;
        const double wallRange =
            truth.FromWall(easting, northing) / std::cos(offAbeamDeg * 3.14159265358979 / 180.0);
        if (std::fabs(std::stod(c[5]) - wallRange) > 1.0) {
            continue;
        }
        ++onWall;
        EXPECT_LT(truth.FromWall(std::stod(c[1]), std::stod(c[2])), 0.5) << line;
    }
    EXPECT_GT(facing, 1000);
    EXPECT_GT(onWall, facing * 9 / 10);
}

TEST_F(LiveRecording, GpsdFixesReachEveryRecord) {
    const std::uint16_t gpsdPort = test::FreeLoopbackPort(false);
    const std::uint16_t nmeaPort = test::FreeLoopbackPort(true);
    test::ChildProcess gpsd;
    ASSERT_TRUE(gpsd.Start({VEXAR_GPSD_PATH, "-N", "-n", "-S", std::to_string(gpsdPort), "-F",
                            Path("control"), "udp://127.0.0.1:" + std::to_string(nmeaPort)},
                           Path("gpsd.log")));
    HeadProcess head;
    const std::uint16_t port = head.Start(0, {"--truth", QString::fromStdString(Path("truth.csv")),
                                              "--nmea-udp", QStringLiteral("127.0.0.1:%1").arg(nmeaPort)});
    ASSERT_NE(port, 0);
    ASSERT_NO_FATAL_FAILURE(RecordPings(port, QStringLiteral("gpsd:127.0.0.1:%1").arg(gpsdPort), 40));
    head.Kill();
    ExpectRecordsWhereTheVehicleWas(40);
}

} // namespace
} // namespace vexar
