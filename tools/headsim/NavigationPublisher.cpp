#include "NavigationPublisher.h"

#include "navigation/NavigationSentence.h"
#include "sim/NmeaSentences.h"

#include <QUdpSocket>

#include <array>
#include <chrono>
#include <cmath>
#include <limits>

namespace vexar::headsim {

namespace {
/// The fix a navigation system on the vehicle reports for `pose` at `utcMs`.
NavigationFix FixOf(const sim::VehiclePose& pose, std::int64_t utcMs) {
    NavigationFix fix;
    fix.utcMs = utcMs;
    fix.position = GeoPosition{pose.position.latitudeDeg, pose.position.longitudeDeg};
    fix.depthM = pose.depthM;
    fix.headingDeg = pose.headingDeg;
    fix.pitchDeg = pose.pitchDeg;
    fix.rollDeg = pose.rollDeg;
    fix.speedMps = pose.speedMps;
    fix.courseDeg = pose.courseDeg;
    return fix;
}
} // namespace

NavigationPublisher::NavigationPublisher(sim::World world, sim::VehicleTrack track, const SimClock& clock,
                                         TruthWriter* truth, NavigationOutput output)
    : m_world(std::move(world)), m_track(track), m_clock(clock), m_truth(truth), m_output(std::move(output)) {
}

NavigationPublisher::~NavigationPublisher() {
    Stop();
}

bool NavigationPublisher::Open(std::string* error) {
    return m_pty.Open(m_output.ptyLink, error);
}

void NavigationPublisher::Start() {
    m_thread = std::thread([this] { Run(); });
}

void NavigationPublisher::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void NavigationPublisher::Run() {
    QUdpSocket udp; // lives and dies on this thread
    const double rate = m_output.rateHz;
    long long next = 0;
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        const double now = m_clock.Seconds();
        const double due = static_cast<double>(next) / rate;
        if (now < due) {
            m_wake.wait_for(lock, std::chrono::duration<double>(due - now));
            continue;
        }
        // Late by a period or more: the newest fix due, not a burst of old ones.
        next = std::max(next, static_cast<long long>(std::floor(now * rate)));
        lock.unlock();
        Publish(next, udp);
        lock.lock();
        ++next;
    }
}

void NavigationPublisher::Publish(long long number, QUdpSocket& udp) {
    const double seconds = static_cast<double>(number) / m_output.rateHz;
    const sim::VehiclePose pose = sim::PoseAt(m_track, seconds);
    const std::int64_t utcMs = m_clock.UtcMsAt(seconds);
    NavigationFix fix = FixOf(pose, utcMs);
    double altitude = std::numeric_limits<double>::quiet_NaN();
    if (const auto depth = sim::SeabedDepthAt(m_world, pose.eastM, pose.northM);
        depth && *depth > pose.depthM) {
        altitude = *depth - pose.depthM;
        fix.altitudeM = altitude;
    }
    std::array<char, kMaxLiveSentenceLength + 2> sentence;
    std::size_t length = ComposeSentence(fix, std::span<char>(sentence.data(), kMaxLiveSentenceLength));
    sentence[length++] = '\r';
    sentence[length++] = '\n';
    m_pty.Write(std::string_view(sentence.data(), length));
    if (!m_output.nmeaAddress.isNull()) {
        const std::string nmea = sim::NmeaSentences(pose, utcMs);
        udp.writeDatagram(nmea.data(), static_cast<qint64>(nmea.size()), m_output.nmeaAddress,
                          m_output.nmeaPort);
    }
    if (m_truth != nullptr) {
        m_truth->WritePose("fix", number, utcMs, pose, altitude);
    }
}

} // namespace vexar::headsim
