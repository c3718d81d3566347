#pragma once
// CGpsdNavigationSource: fixes from gpsd, the GNSS daemon, through its client library, on a
// thread of its own. It watches the daemon's JSON reports (TPV for time, position, speed and
// course; ATT for heading, pitch and roll) and posts a fix for every TPV report with a position.
// A daemon that is not there, stops or restarts is connected to again and again with a growing
// pause (a quarter of a second up to five seconds), and the store's status says so.
//
// Connecting to a daemon on another machine that does not answer may take the system's connect
// time-out; Stop waits for it then. On one machine (the usual set-up) it never waits.

#include "navigation/NavigationSource.h"
#include "ports/Ports.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

struct gps_data_t;

namespace vexar {

class CGpsdNavigationSource : public INavigationSource {
public:
    /// Reads the daemon at `host`:`port` into `store`, taking arrival ticks from `clock` (which
    /// must be callable from any thread); both outlive the source.
    CGpsdNavigationSource(std::string host, std::uint16_t port, CFixStore& store, IClockPort& clock);
    ~CGpsdNavigationSource() override;
    CGpsdNavigationSource(const CGpsdNavigationSource&) = delete;
    CGpsdNavigationSource& operator=(const CGpsdNavigationSource&) = delete;

    void Start() override;
    void Stop() override;

private:
    void Run();
    /// Reads reports until the daemon goes away or the source stops.
    void ReadReports(gps_data_t& data);
    /// Waits `ms` unless stopped; false when stopped.
    bool Pause(int ms);
    bool Stopping();
    std::string Address() const;

    std::string m_host;
    std::uint16_t m_port;
    CFixStore& m_store;
    IClockPort& m_clock;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

} // namespace vexar
