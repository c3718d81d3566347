// The live navigation sources against the simulated head's navigation, all on this machine: its
// pseudo-terminal read by the serial source, and its NMEA read by a real gpsd on loopback and
// from there by the gpsd source. Every fix must lie where the head's truth file says the vehicle
// was at that fix's time; a serial device that goes away is reopened when it comes back.

#include "navigation/CFixStore.h"
#include "navigation/NavigationMath.h"
#include "platform/gpsd/CGpsdNavigationSource.h"
#include "platform/qt/CSerialNavigationSource.h"
#include "platform/qt/QtPorts.h"
#include "support/ChildProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

namespace vexar {
namespace {

bool RunUntil(const std::function<bool()>& condition, int limitMs) {
    const QDeadlineTimer deadline(limitMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

/// The simulated head as its own program; the path of its navigation pseudo-terminal.
class Headsim {
public:
    ~Headsim() { Kill(); }
    QString Start(const QStringList& options) {
        m_process.start(QStringLiteral(VEXAR_HEADSIM), QStringList{"--listen", "127.0.0.1:0"} + options);
        const QRegularExpression pty(QStringLiteral("navigation on (\\S+)"));
        QByteArray output;
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() &&
               m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            output += m_process.readAllStandardOutput();
            if (const auto match = pty.match(QString::fromLatin1(output)); match.hasMatch()) {
                return match.captured(1);
            }
        }
        return {};
    }
    void Kill() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
};

/// The vehicle's pose at each published fix, by the fix's time (ms since 1970).
struct TruePose {
    double easting = 0.0;
    double northing = 0.0;
    double heading = 0.0;
    double roll = 0.0;
};
struct Truth {
    int zone = 0;
    std::map<std::int64_t, TruePose> fixes;
};

Truth ReadTruth(const QString& path) {
    Truth truth;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return truth;
    }
    while (!file.atEnd()) {
        const QStringList cells = QString::fromUtf8(file.readLine()).trimmed().split(',');
        if (cells.size() == 19 && cells[0] == "origin") {
            truth.zone = cells[1].section(' ', 2, 2).chopped(1).toInt();
        } else if (cells.size() == 19 && cells[0] == "fix") {
            const std::int64_t ms = QDateTime::fromString(cells[2], Qt::ISODateWithMs).toMSecsSinceEpoch();
            truth.fixes[ms] = {cells[6].toDouble(), cells[7].toDouble(), cells[12].toDouble(),
                               cells[14].toDouble()};
        }
    }
    return truth;
}

/// Collects the distinct fixes a ping would get, for as long as it takes to have `count`.
std::vector<NavigationSample> CollectFixes(CFixStore& store, IClockPort& clock, std::size_t count) {
    std::vector<NavigationSample> fixes;
    NavigationSample sample;
    RunUntil(
        [&] {
            if (store.Newest(clock.TickMs(), 1000, sample) && sample.fix.utcMs &&
                (fixes.empty() || *fixes.back().fix.utcMs != *sample.fix.utcMs)) {
                fixes.push_back(sample);
            }
            return fixes.size() >= count;
        },
        30000);
    return fixes;
}

/// Every fix lies within 0.5 m of where the vehicle truly was then, heading within `headingDeg`.
void ExpectTrue(const std::vector<NavigationSample>& fixes, const Truth& truth, double headingDeg) {
    ASSERT_NE(truth.zone, 0) << "no origin in the truth file";
    for (const NavigationSample& s : fixes) {
        const auto at = truth.fixes.find(*s.fix.utcMs);
        ASSERT_NE(at, truth.fixes.end()) << "no true pose at " << *s.fix.utcMs;
        const UtmPoint p =
            LatLonToUtmInZone(s.fix.position->latitudeDeg, s.fix.position->longitudeDeg, truth.zone);
        EXPECT_LT(std::hypot(p.easting - at->second.easting, p.northing - at->second.northing), 0.5)
            << s.sentence.View();
        EXPECT_NEAR(*s.fix.headingDeg, at->second.heading, headingDeg) << s.sentence.View();
    }
}

TEST(HeadsimNavigation, SerialLineFixesLieWhereTheVehicleWas) {
    QTemporaryDir folder;
    Headsim head;
    const QString pty = head.Start({"--truth", folder.filePath("truth.csv")});
    ASSERT_FALSE(pty.isEmpty());
    CFixStore store;
    QtClock clock;
    store.Reset(NavSourceKind::Serial);
    CSerialNavigationSource source(pty.toStdString(), 57600, store, clock);
    source.Start();
    const std::vector<NavigationSample> fixes = CollectFixes(store, clock, 20);
    source.Stop();
    ASSERT_EQ(fixes.size(), 20u) << store.Status(clock.TickMs()).detail;
    EXPECT_EQ(store.Status(clock.TickMs()).refused, 0u);
    // The sentence a ping stores is the one the vehicle sent, as it came.
    EXPECT_TRUE(fixes.front().sentence.View().starts_with("$AULOG,43;"));
    ExpectTrue(fixes, ReadTruth(folder.filePath("truth.csv")), 0.01);
}

TEST(HeadsimNavigation, GpsdFixesLieWhereTheVehicleWas) {
    QTemporaryDir folder;
    const std::uint16_t gpsdPort = test::FreeLoopbackPort(false);
    const std::uint16_t nmeaPort = test::FreeLoopbackPort(true);
    test::ChildProcess gpsd;
    ASSERT_TRUE(
        gpsd.Start({VEXAR_GPSD_PATH, "-N", "-n", "-S", std::to_string(gpsdPort), "-F",
                    folder.filePath("control").toStdString(), "udp://127.0.0.1:" + std::to_string(nmeaPort)},
                   folder.filePath("gpsd.log").toStdString()));
    Headsim head;
    ASSERT_FALSE(head.Start({"--truth", folder.filePath("truth.csv"), "--nmea-udp",
                             QStringLiteral("127.0.0.1:%1").arg(nmeaPort)})
                     .isEmpty());
    CFixStore store;
    QtClock clock;
    store.Reset(NavSourceKind::Gpsd);
    CGpsdNavigationSource source("127.0.0.1", gpsdPort, store, clock);
    source.Start();
    const std::vector<NavigationSample> fixes = CollectFixes(store, clock, 20);
    source.Stop();
    ASSERT_EQ(fixes.size(), 20u) << store.Status(clock.TickMs()).detail;
    // A fix may carry, for a moment, the attitude of the cycle before: 0.2 degrees of turn.
    ExpectTrue(fixes, ReadTruth(folder.filePath("truth.csv")), 0.21);
    // The first fix may come before the first attitude; from then on the heading is the compass's.
    EXPECT_TRUE(fixes.back().fix.pitchDeg && fixes.back().fix.rollDeg);
    EXPECT_FALSE(fixes.back().fix.headingFromCourse);
}

TEST(HeadsimNavigation, ASerialDeviceThatGoesAwayIsOpenedAgainWhenItComesBack) {
    QTemporaryDir folder;
    const QString link = folder.filePath("nav");
    Headsim head;
    ASSERT_FALSE(head.Start({"--nav-link", link}).isEmpty());
    CFixStore store;
    QtClock clock;
    store.Reset(NavSourceKind::Serial);
    CSerialNavigationSource source(link.toStdString(), 57600, store, clock);
    source.Start();
    const auto status = [&] { return store.Status(clock.TickMs()); };
    ASSERT_EQ(CollectFixes(store, clock, 3).size(), 3u) << status().detail;
    EXPECT_EQ(status().link, NavLinkState::Connected);

    head.Kill();
    ASSERT_TRUE(RunUntil([&] { return status().link == NavLinkState::Reconnecting; }, 10000))
        << status().detail;
    const std::uint64_t fixesBefore = status().fixes;
    Headsim again;
    ASSERT_FALSE(again.Start({"--nav-link", link}).isEmpty());
    ASSERT_TRUE(RunUntil([&] { return status().fixes > fixesBefore + 3; }, 20000)) << status().detail;
    EXPECT_EQ(status().link, NavLinkState::Connected);
    source.Stop();
}

} // namespace
} // namespace vexar
