#include "HeadsimOptions.h"

#include <cmath>
#include <sstream>

namespace vexar::headsim {

namespace {

using sim::BlockFault;

// `count` numbers separated by commas; the last ones may be left out down to `fewest`.
std::vector<float> Numbers(const std::string& text, std::size_t count, const char* what,
                           std::size_t fewest = 0) {
    fewest = fewest == 0 ? count : fewest;
    std::vector<float> values;
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        try {
            std::size_t used = 0;
            values.push_back(std::stof(item, &used));
            if (used != item.size() || !std::isfinite(values.back())) {
                throw std::invalid_argument(item);
            }
        } catch (const std::exception&) {
            throw CLI::ValidationError(what, "'" + text + "' is not a list of numbers");
        }
    }
    if (values.size() < fewest || values.size() > count) {
        const std::string needed =
            fewest == count ? std::to_string(count) : std::to_string(fewest) + " to " + std::to_string(count);
        throw CLI::ValidationError(what, "'" + text + "' needs " + needed + " numbers");
    }
    return values;
}

BlockFault Fault(const std::string& text, const char* what) {
    BlockFault fault;
    const auto at = text.find('@');
    try {
        fault.block = std::stoi(text.substr(0, at));
        if (at != std::string::npos) {
            fault.ping = std::stoll(text.substr(at + 1));
        }
    } catch (const std::exception&) {
        throw CLI::ValidationError(what, "'" + text + "' is not BLOCK or BLOCK@PING");
    }
    return fault;
}

/// "ADDR:PORT" with a port of 0..65535.
std::pair<QHostAddress, std::uint16_t> AddressAndPort(const std::string& text, const char* what) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        throw CLI::ValidationError(what, "expected ADDR:PORT");
    }
    const QHostAddress address(QString::fromStdString(text.substr(0, colon)));
    int port = -1;
    try {
        port = std::stoi(text.substr(colon + 1));
    } catch (const std::exception&) {
    }
    if (address.isNull() || port < 0 || port > 65535) {
        throw CLI::ValidationError(what, "'" + text + "' is not an address and port");
    }
    return {address, static_cast<std::uint16_t>(port)};
}

} // namespace

HeadsimCommandLine::HeadsimCommandLine(CLI::App& cli) {
    cli.add_option("--listen", m_listen, "ADDR:PORT to listen on (port 0: any free port)")
        ->capture_default_str();
    AddSceneOptions(cli);
    AddFaultOptions(cli);
    AddVehicleOptions(cli);
    cli.add_flag("--verbose", m_head.verbose, "report connections and faults on stderr");
}

void HeadsimCommandLine::AddSceneOptions(CLI::App& cli) {
    cli.add_option("--scene", m_sceneName,
                   "harbour: a harbour basin the vehicle runs a circle in; plain: a few reflectors around a "
                   "head that holds still (replaced by the reflectors below when any is given)")
        ->check(CLI::IsMember({"harbour", "plain"}))
        ->capture_default_str();
    cli.add_option("--target", m_targets, "point target BEARING,RANGE,STRENGTH (repeatable)");
    cli.add_option("--ring", m_rings, "seabed ring RANGE,STRENGTH[,THICKNESS] (repeatable)");
    cli.add_option("--wall", m_walls, "wall BEARING1,RANGE1,BEARING2,RANGE2,STRENGTH (repeatable)");
    cli.add_option("--mover", m_movers,
                   "moving target BEARING,RANGE,STRENGTH,DBEARING,DRANGE per ping (repeatable)");
    cli.add_option("--noise", m_noise, "noise RMS, full scale 1.0")->capture_default_str();
    cli.add_option("--seed", m_seed, "noise and speckle seed")->capture_default_str();
    cli.add_option("--sway", m_sway, "RMS of the assembly's random displacement per ping, m")
        ->capture_default_str();
    cli.add_option("--sound-velocity", m_head.soundVelocity, "sound velocity of the water, m/s")
        ->capture_default_str();
    cli.add_flag("--transducer-up", m_head.transducerUp,
                 "heads mounted upside down (set \"Transducer Up\" on the console too)");
}

void HeadsimCommandLine::AddFaultOptions(CLI::App& cli) {
    cli.add_option("--delay-ms", m_head.replyDelayMs, "delay of every reply, ms")->capture_default_str();
    cli.add_option("--split", m_head.splitWrites, "write every reply in this many pieces")
        ->capture_default_str();
    cli.add_option("--silence", m_silences, "leave BLOCK[@PING] unanswered (repeatable)");
    cli.add_option("--wrong-echo", m_wrongEchoes,
                   "answer BLOCK[@PING] with the wrong block number (repeatable)");
    cli.add_option("--cut-off", m_cutOffs, "send half the reply to BLOCK[@PING], then close (repeatable)");
    cli.add_option("--drop-after", m_head.dropAfterPings, "close each connection after N complete pings");
    cli.add_option("--refuse", m_head.refuseConnections, "close the first N connections at once (-1: all)");
    cli.add_option("--garbage", m_head.faults.garbageRate,
                   "answer this share of requests (0..1) with random bytes, random lengths or nothing")
        ->check(CLI::Range(0.0, 1.0));
    cli.add_option("--garbage-requests", m_head.faults.garbageRequests,
                   "garbage only among the first N requests (0: all)")
        ->check(CLI::NonNegativeNumber);
}

void HeadsimCommandLine::AddVehicleOptions(CLI::App& cli) {
    cli.add_option("--start", m_start, "the vehicle's start LAT,LON, degrees")->capture_default_str();
    cli.add_option("--heading", m_headingDeg, "its heading at the start, degrees from true north")
        ->capture_default_str();
    m_speedOption =
        cli.add_option("--speed", m_speedMps, "its speed, m/s (default 0.75 in the harbour, else 0)")
            ->check(CLI::Range(0.0, 20.0));
    m_turnOption =
        cli.add_option("--turn-rate", m_turnRateDegPerS,
                       "its turn rate, degrees/s, positive to starboard (default 2 in the harbour, else 0)")
            ->check(CLI::Range(-30.0, 30.0));
    cli.add_option("--depth", m_depthM, "the vehicle's depth below the surface, m")->capture_default_str();
    cli.add_option("--yaw", m_yawDeg,
                   "the head turned on its mount: degrees clockwise from the bow to the "
                   "picture's top (180: facing aft)")
        ->check(CLI::Range(-360.0, 360.0))
        ->capture_default_str();
    cli.add_option("--tilt", m_tiltDeg, "the head's fan depressed below the horizontal, degrees")
        ->check(CLI::Range(0.0, 89.0))
        ->capture_default_str();
    cli.add_option("--offset", m_offset,
                   "the head F,S,D metres forward, starboard and down of the position the vehicle reports")
        ->capture_default_str();
    cli.add_option("--nav-rate", m_navRateHz, "navigation fixes per second")
        ->check(CLI::Range(0.1, 100.0))
        ->capture_default_str();
    cli.add_option("--nav-link", m_ptyLink, "also make PATH a link to the navigation pseudo-terminal");
    cli.add_option("--nmea-udp", m_nmeaUdp,
                   "send the navigation as NMEA 0183 to ADDR:PORT over UDP (for gpsd)");
    cli.add_option("--truth", m_truthPath,
                   "write every reflector's map position and the vehicle's track to FILE");
}

HeadsimSetup HeadsimCommandLine::Build() const {
    HeadsimSetup setup;
    setup.head = m_head;
    BuildListen(setup);
    BuildFaults(setup);
    BuildVehicle(setup);
    BuildScene(setup);
    BuildNavigation(setup);
    return setup;
}

void HeadsimCommandLine::BuildListen(HeadsimSetup& setup) const {
    const auto [address, port] = AddressAndPort(m_listen, "--listen");
    setup.head.address = address;
    setup.head.port = port;
}

void HeadsimCommandLine::BuildFaults(HeadsimSetup& setup) const {
    setup.head.faults.garbageSeed = m_seed;
    for (const auto& s : m_silences) {
        setup.head.faults.silences.push_back(Fault(s, "--silence"));
    }
    for (const auto& w : m_wrongEchoes) {
        setup.head.faults.wrongEchoes.push_back(Fault(w, "--wrong-echo"));
    }
    for (const auto& c : m_cutOffs) {
        setup.head.faults.cutOffs.push_back(Fault(c, "--cut-off"));
    }
}

void HeadsimCommandLine::BuildVehicle(HeadsimSetup& setup) const {
    const std::vector<float> start = Numbers(m_start, 2, "--start");
    if (std::fabs(start[0]) > 84.0f || std::fabs(start[1]) > 180.0f) {
        throw CLI::ValidationError("--start", "'" + m_start + "' is not a latitude and longitude");
    }
    const bool harbour = m_targets.empty() && m_rings.empty() && m_walls.empty() && m_movers.empty() &&
                         m_sceneName == "harbour";
    sim::VehicleTrack& track = setup.head.track;
    track = harbour ? sim::HarbourTrack() : sim::VehicleTrack{};
    track.startLatitudeDeg = static_cast<double>(start[0]);
    track.startLongitudeDeg = static_cast<double>(start[1]);
    track.startHeadingDeg = m_headingDeg;
    track.depthM = m_depthM;
    if (m_speedOption->count() > 0) {
        track.speedMps = m_speedMps;
    }
    if (m_turnOption->count() > 0) {
        track.turnRateDegPerS = m_turnRateDegPerS;
    }
    const std::vector<float> offset = Numbers(m_offset, 3, "--offset");
    setup.head.mount = sim::HeadMount{m_yawDeg, m_tiltDeg, static_cast<double>(offset[0]),
                                      static_cast<double>(offset[1]), static_cast<double>(offset[2])};
}

void HeadsimCommandLine::BuildScene(HeadsimSetup& setup) const {
    const bool ownScene = !m_targets.empty() || !m_rings.empty() || !m_walls.empty() || !m_movers.empty();
    sim::Scene scene = ownScene ? sim::Scene{} : sim::PlainScene();
    for (const auto& t : m_targets) {
        const auto v = Numbers(t, 3, "--target");
        scene.points.push_back({v[0], v[1], v[2]});
    }
    for (const auto& r : m_rings) {
        const auto v = Numbers(r, 3, "--ring", 2);
        scene.rings.push_back({v[0], v[1], v.size() > 2 ? v[2] : 0.0f});
    }
    for (const auto& w : m_walls) {
        const auto v = Numbers(w, 5, "--wall");
        scene.walls.push_back({v[0], v[1], v[2], v[3], v[4]});
    }
    for (const auto& m : m_movers) {
        const auto v = Numbers(m, 5, "--mover");
        scene.movers.push_back({v[0], v[1], v[2], v[3], v[4]});
    }
    scene.noise = m_noise;
    scene.seed = m_seed;
    scene.swayM = m_sway;
    setup.head.scene = scene;
    const sim::VehicleTrack& track = setup.head.track;
    const bool moving = track.speedMps != 0.0 || track.turnRateDegPerS != 0.0;
    if (!ownScene && m_sceneName == "harbour") {
        setup.world = sim::HarbourWorld();
        setup.world.around.noise = m_noise;
        setup.world.around.seed = m_seed;
        setup.world.around.swayM = m_sway;
    } else {
        setup.world = sim::WorldFromScene(scene, sim::PoseAt(track, 0.0));
    }
    // A head that holds still on the position the vehicle reports shows its scene as given,
    // sample for sample.
    const sim::HeadMount& mount = setup.head.mount;
    const bool mounted = mount.yawDeg != 0.0 || mount.tiltDeg != 0.0 || mount.forwardM != 0.0 ||
                         mount.starboardM != 0.0 || mount.downM != 0.0;
    if (moving || mounted || (m_sceneName == "harbour" && !ownScene)) {
        setup.head.world = setup.world;
    }
}

void HeadsimCommandLine::BuildNavigation(HeadsimSetup& setup) const {
    setup.navigation.rateHz = m_navRateHz;
    setup.navigation.ptyLink = m_ptyLink;
    if (!m_nmeaUdp.empty()) {
        const auto [address, port] = AddressAndPort(m_nmeaUdp, "--nmea-udp");
        if (port == 0) {
            throw CLI::ValidationError("--nmea-udp", "needs a port");
        }
        setup.navigation.nmeaAddress = address;
        setup.navigation.nmeaPort = port;
    }
    setup.truthPath = m_truthPath;
}

} // namespace vexar::headsim
