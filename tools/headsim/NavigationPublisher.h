#pragma once
// NavigationPublisher: the simulated vehicle's navigation, from a thread of its own so that the
// synthesis of a ping never delays it. Fix k is the vehicle's pose at k / rate seconds after the
// head started, stamped with that time: the pose the pings use at that moment. Each fix goes out
// as a $AULOG sentence (CR LF ended) on the pseudo-terminal and, when asked for, as NMEA 0183
// (GGA, RMC, HDT, PASHR) in one UDP datagram; a fix that falls due while the machine is too busy
// to send it is skipped rather than sent late.

#include "PseudoTerminal.h"
#include "SimClock.h"
#include "TruthWriter.h"

#include "sim/World.h"

#include <QHostAddress>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class QUdpSocket;

namespace vexar::headsim {

struct NavigationOutput {
    double rateHz = 10.0;
    std::string ptyLink;      ///< a link to the pseudo-terminal, or empty
    QHostAddress nmeaAddress; ///< where NMEA goes; null: nowhere
    std::uint16_t nmeaPort = 0;
};

class NavigationPublisher {
public:
    NavigationPublisher(sim::World world, sim::VehicleTrack track, const SimClock& clock, TruthWriter* truth,
                        NavigationOutput output);
    ~NavigationPublisher();
    NavigationPublisher(const NavigationPublisher&) = delete;
    NavigationPublisher& operator=(const NavigationPublisher&) = delete;

    /// Creates the pseudo-terminal; false, with the reason, when it cannot.
    bool Open(std::string* error);
    const std::string& PtyPath() const { return m_pty.Path(); }
    /// Starts publishing on the publisher's own thread.
    void Start();
    /// Stops; returns when the thread has ended.
    void Stop();

private:
    void Run();
    void Publish(long long number, QUdpSocket& udp);

    sim::World m_world;
    sim::VehicleTrack m_track;
    const SimClock& m_clock;
    TruthWriter* m_truth;
    NavigationOutput m_output;
    PseudoTerminal m_pty;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

} // namespace vexar::headsim
