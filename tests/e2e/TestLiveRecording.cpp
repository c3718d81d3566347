// `vexar-cli record --nav` against the simulated head and its navigation, all on this machine:
// every record carries a fix that lies where the vehicle truly was when its ping was requested,
// through the head's serial line and through a real gpsd fed with its NMEA; and the XYZ export of
// a run along the quay wall puts the wall's profile points on the wall's line.

#include "TruthFile.h"
#include "files/RecordHeader.h"
#include "navigation/NavigationMath.h"
#include "navigation/NavigationSentence.h"
#include "support/ChildProcess.h"
#include "support/HeadProcess.h"

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
using test::Truth;

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
    int Cli(const QStringList& arguments) { return test::RunCli(arguments, Path("Vexar.INI"), m_output); }
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
        const Truth truth = test::ReadTruth(Path("truth.csv"));
        ASSERT_NE(truth.zone, 0);
        const std::vector<test::RecordedFix> records = test::ReadRecords(Path("rec.R96"));
        ASSERT_EQ(records.size(), static_cast<std::size_t>(pings));
        for (const test::RecordedFix& r : records) {
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
    const Truth truth = test::ReadTruth(Path("truth.csv"));
    std::ifstream csv(Path("rec.csv"));
    std::string line;
    std::getline(csv, line);
    ASSERT_EQ(line, "time,easting,northing,depth,beam,range,latitude,longitude");
    int facing = 0;
    int onWall = 0;
    while (std::getline(csv, line)) {
        const std::vector<std::string> c = test::Cells(line);
        const int beam = std::stoi(c[4]);
        // 480 beams a head: beam i looks i / 4 degrees clockwise from the bow; the wall is to port.
        const double offAbeamDeg = beam * 0.25 - 0.125 - 270.0;
        double easting = 0.0;
        double northing = 0.0;
        if (std::fabs(offAbeamDeg) > 25.0 || !truth.At(test::IsoMs(c[0]), easting, northing)) {
            continue;
        }
        ++facing;
        const double wallRange =
            truth.FromQuay(easting, northing) / std::cos(offAbeamDeg * 3.14159265358979 / 180.0);
        if (std::fabs(std::stod(c[5]) - wallRange) > 1.0) {
            continue;
        }
        ++onWall;
        EXPECT_LT(truth.FromQuay(std::stod(c[1]), std::stod(c[2])), 0.5) << line;
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
