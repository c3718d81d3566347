// The gpsd source: how the daemon's reports become fixes, and the source against a real gpsd on
// loopback, fed with the NMEA of the simulated vehicle, through the daemon's start after the
// source, a stop and a restart. Built without Qt, so that it also runs under ThreadSanitizer.

#include "navigation/CFixStore.h"
#include "platform/gpsd/CGpsdFixBuilder.h"
#include "platform/gpsd/CGpsdNavigationSource.h"
#include "sim/NmeaSentences.h"
#include "sim/VehicleTrack.h"
#include "support/ChildProcess.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <thread>

namespace vexar {
namespace {

using namespace std::chrono_literals;

class SteadyClock : public IClockPort {
public:
    std::uint64_t TickMs() override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count()) +
               1;
    }
    LocalTime Now() override { return {}; }
};

gps_data_t Tpv(int mode, double latitude, double speed, double track) {
    gps_data_t data{};
    data.set = LATLON_SET | TIME_SET | SPEED_SET | TRACK_SET | MODE_SET;
    data.fix.mode = mode;
    data.fix.time.tv_sec = 1796643699;
    data.fix.time.tv_nsec = 42000000;
    data.fix.latitude = latitude;
    data.fix.longitude = 9.0;
    data.fix.speed = speed;
    data.fix.track = track;
    return data;
}

gps_data_t Att(double heading, double pitch, double roll) {
    gps_data_t data{};
    data.set = ATTITUDE_SET;
    data.attitude.heading = heading;
    data.attitude.pitch = pitch;
    data.attitude.roll = roll;
    return data;
}

TEST(GpsdFixBuilder, ReportsBecomeFixes) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::vector<std::pair<gps_data_t, std::uint64_t>> reports; ///< and their arrival ticks
        bool fix;
        std::optional<double> heading;
        bool fromCourse;
        std::optional<double> roll;
    };
    const Case cases[] = {
        {"position, speed and course", {{Tpv(MODE_3D, 43.5, 0.75, 92.0), 1000}}, true, 92.0, true, {}},
        {"with an attitude",
         {{Att(91.5, -1.2, 2.1), 1000}, {Tpv(MODE_3D, 43.5, 0.75, 92.0), 1100}},
         true,
         91.5,
         false,
         2.1},
        {"with an old attitude",
         {{Att(91.5, -1.2, 2.1), 1000}, {Tpv(MODE_2D, 43.5, 0.75, 92.0), 2600}},
         true,
         92.0,
         true,
         {}},
        {"attitude without heading",
         {{Att(kNaN, -1.2, 2.1), 1000}, {Tpv(MODE_3D, 43.5, 0.75, 92.0), 1100}},
         true,
         92.0,
         true,
         2.1},
        {"attitude of the same cycle after it",
         {{Tpv(MODE_3D, 43.5, 0.75, 92.0), 1000}, {Att(91.5, -1.2, 2.1), 1005}},
         true,
         91.5,
         false,
         2.1},
        {"attitude of the next cycle",
         {{Tpv(MODE_3D, 43.5, 0.75, 92.0), 1000}, {Att(91.5, -1.2, 2.1), 1090}},
         false,
         {},
         false,
         {}},
        {"no course either", {{Tpv(MODE_3D, 43.5, kNaN, kNaN), 1000}}, true, {}, false, {}},
        {"no fix", {{Tpv(MODE_NO_FIX, 43.5, 0.75, 92.0), 1000}}, false, {}, false, {}},
        {"no position", {{Tpv(MODE_3D, kNaN, 0.75, 92.0), 1000}}, false, {}, false, {}},
    };
    for (const Case& c : cases) {
        CGpsdFixBuilder builder;
        std::optional<NavigationFix> fix;
        for (const auto& [data, tick] : c.reports) {
            fix = builder.Take(data, tick);
        }
        ASSERT_EQ(fix.has_value(), c.fix) << c.name;
        if (fix) {
            EXPECT_EQ(fix->utcMs, 1796643699042) << c.name;
            EXPECT_EQ(fix->headingDeg, c.heading) << c.name;
            EXPECT_EQ(fix->headingFromCourse, c.fromCourse) << c.name;
            EXPECT_EQ(fix->rollDeg, c.roll) << c.name;
        }
    }
}

/// gpsd on loopback, reading NMEA from a UDP port; its control socket in a folder of its own.
class Gpsd {
public:
    Gpsd() : m_folder(std::filesystem::temp_directory_path() / ("vexar-gpsd-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(m_folder);
        m_port = test::FreeLoopbackPort(false);
        m_nmeaPort = test::FreeLoopbackPort(true);
    }
    ~Gpsd() {
        Stop();
        std::filesystem::remove_all(m_folder);
    }
    bool Start() {
        return m_process.Start({VEXAR_GPSD_PATH, "-N", "-n", "-S", std::to_string(m_port), "-F",
                                (m_folder / "control").string(),
                                "udp://127.0.0.1:" + std::to_string(m_nmeaPort)},
                               (m_folder / "gpsd.log").string());
    }
    void Stop() { m_process.Stop(); }
    std::uint16_t Port() const { return m_port; }
    std::uint16_t NmeaPort() const { return m_nmeaPort; }

private:
    std::filesystem::path m_folder;
    std::uint16_t m_port = 0;
    std::uint16_t m_nmeaPort = 0;
    test::ChildProcess m_process;
};

/// Sends the simulated vehicle's NMEA to a UDP port of 127.0.0.1 at 10 Hz until destroyed.
class NmeaFeeder {
public:
    NmeaFeeder(const sim::VehicleTrack& track, std::uint16_t port, std::int64_t startUtcMs)
        : m_thread([this, track, port, startUtcMs] { Run(track, port, startUtcMs); }) {}
    ~NmeaFeeder() {
        m_stop = true;
        m_thread.join();
    }

private:
    void Run(const sim::VehicleTrack& track, std::uint16_t port, std::int64_t startUtcMs) {
        const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (long long k = 0; !m_stop; ++k) {
            const double seconds = 0.1 * static_cast<double>(k);
            const std::string nmea = sim::NmeaSentences(sim::PoseAt(track, seconds), startUtcMs + 100 * k);
            ::sendto(s, nmea.data(), nmea.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            std::this_thread::sleep_for(100ms);
        }
        ::close(s);
    }

    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

TEST(GpsdSource, FollowsTheDaemonThroughItsStartAStopAndARestart) {
    sim::VehicleTrack track;
    track.speedMps = 0.75;
    track.turnRateDegPerS = 2.0;
    const std::int64_t startUtcMs = 1796643699000;
    Gpsd gpsd;
    CFixStore store;
    SteadyClock clock;
    store.Reset(NavSourceKind::Gpsd);
    CGpsdNavigationSource source("127.0.0.1", gpsd.Port(), store, clock);
    source.Start();
    const auto link = [&] { return store.Status(clock.TickMs()).link; };
    ASSERT_TRUE(WaitFor([&] { return !store.Status(clock.TickMs()).detail.empty(); }, 5s));
    EXPECT_EQ(link(), NavLinkState::Absent) << "no daemon yet";

    NmeaFeeder feeder(track, gpsd.NmeaPort(), startUtcMs);
    ASSERT_TRUE(gpsd.Start());
    NavigationSample sample;
    const auto fresh = [&] { return store.Newest(clock.TickMs(), 500, sample) && sample.fix.pitchDeg; };
    ASSERT_TRUE(WaitFor(fresh, 15s)) << store.Status(clock.TickMs()).detail;
    EXPECT_EQ(link(), NavLinkState::Connected);
    // The fix is the vehicle's pose at the fix's own time.
    const sim::VehiclePose truth =
        sim::PoseAt(track, static_cast<double>(*sample.fix.utcMs - startUtcMs) / 1000.0);
    const double metresPerDegree = 111132.0;
    EXPECT_NEAR(sample.fix.position->latitudeDeg, truth.position.latitudeDeg, 0.05 / metresPerDegree);
    EXPECT_NEAR(sample.fix.position->longitudeDeg, truth.position.longitudeDeg, 0.05 / metresPerDegree);
    // The attitude is the fix's own, or (for a moment after the position came) the cycle's before:
    // 0.2 degrees of turn, a quarter of a degree of roll.
    EXPECT_NEAR(*sample.fix.headingDeg, truth.headingDeg, 0.21);
    EXPECT_FALSE(sample.fix.headingFromCourse);
    EXPECT_NEAR(*sample.fix.rollDeg, truth.rollDeg, 0.3);
    EXPECT_NEAR(*sample.fix.speedMps, 0.75, 0.01);

    gpsd.Stop();
    ASSERT_TRUE(WaitFor([&] { return link() == NavLinkState::Reconnecting; }, 5s));
    const std::int64_t before = *sample.fix.utcMs;
    ASSERT_TRUE(gpsd.Start());
    ASSERT_TRUE(WaitFor([&] { return fresh() && *sample.fix.utcMs > before; }, 20s))
        << store.Status(clock.TickMs()).detail;
    EXPECT_EQ(link(), NavLinkState::Connected);
    source.Stop();
}

} // namespace
} // namespace vexar
