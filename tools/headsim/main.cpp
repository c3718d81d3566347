// vexar-headsim: a simulated sonar head on the head's TCP protocol, for demonstrations, tests
// and anyone without a head on the cable.
//
// It listens on 127.0.0.1:4040 unless told otherwise (--listen ADDR:PORT; port 0 picks a free
// port, and the first line on stdout names it). Every 27-byte command packet gets one 1034-byte
// reply: header "SIM", head ID 0x10, status 0, the requested block number in byte 5, transducer
// type 4 in byte 8, and block k of a ping synthesised for the packet's range and data-points
// codes. A request for block 0 starts a new ping: new noise, moving targets one step on. The
// element samples follow the signal model described in src/sim/Scene.h, so the console draws
// every reflector at its bearing and range. Point the console's "IPAddress_Sonar1" at
// 127.0.0.1 and set its "Transducer Up" like --transducer-up here.
//
// Faults, for tests and for watching the console recover: --delay-ms (every reply late),
// --split (replies in pieces), --silence BLOCK[@PING] (no reply), --wrong-echo BLOCK[@PING]
// (the reply names the next block), --cut-off BLOCK[@PING] (half a reply, then the link closes),
// --drop-after N (close after N pings), --refuse N (close the first N connections at once),
// --garbage RATE (that share of requests gets random bytes of a reply's length, of a random
// length, or nothing; --garbage-requests N limits it to the first N requests, so that a peer can
// be seen to recover). Pings are counted from 0 since the start of the program.

#include "HeadServer.h"

#include <CLI/CLI.hpp>
#include <QCoreApplication>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

using vexar::sim::BlockFault;

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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    CLI::App cli{"Simulated sonar head: answers command packets with synthesised element data."};
    cli.set_version_flag("--version", std::string("vexar-headsim ") + VEXAR_VERSION);

    std::string listen = "127.0.0.1:4040";
    std::vector<std::string> targets, rings, walls, movers, silences, wrongEchoes, cutOffs;
    vexar::headsim::HeadOptions options;
    float noise = options.scene.noise;
    unsigned seed = options.scene.seed;
    cli.add_option("--listen", listen, "ADDR:PORT to listen on (port 0: any free port)")
        ->capture_default_str();
    cli.add_option("--target", targets, "point target BEARING,RANGE,STRENGTH (repeatable)");
    cli.add_option("--ring", rings, "seabed ring RANGE,STRENGTH[,THICKNESS] (repeatable)");
    cli.add_option("--wall", walls, "wall BEARING1,RANGE1,BEARING2,RANGE2,STRENGTH (repeatable)");
    cli.add_option("--mover", movers,
                   "moving target BEARING,RANGE,STRENGTH,DBEARING,DRANGE per ping (repeatable)");
    cli.add_option("--noise", noise, "noise RMS, full scale 1.0")->capture_default_str();
    cli.add_option("--seed", seed, "noise and speckle seed")->capture_default_str();
    float sway = options.scene.swayM;
    cli.add_option("--sway", sway, "RMS of the assembly's random displacement per ping, m")
        ->capture_default_str();
    cli.add_option("--sound-velocity", options.soundVelocity, "sound velocity of the water, m/s")
        ->capture_default_str();
    cli.add_flag("--transducer-up", options.transducerUp,
                 "heads mounted upside down (set \"Transducer Up\" on the console too)");
    cli.add_option("--delay-ms", options.replyDelayMs, "delay of every reply, ms")->capture_default_str();
    cli.add_option("--split", options.splitWrites, "write every reply in this many pieces")
        ->capture_default_str();
    cli.add_option("--silence", silences, "leave BLOCK[@PING] unanswered (repeatable)");
    cli.add_option("--wrong-echo", wrongEchoes,
                   "answer BLOCK[@PING] with the wrong block number (repeatable)");
    cli.add_option("--cut-off", cutOffs, "send half the reply to BLOCK[@PING], then close (repeatable)");
    cli.add_option("--drop-after", options.dropAfterPings, "close each connection after N complete pings");
    cli.add_option("--refuse", options.refuseConnections, "close the first N connections at once (-1: all)");
    cli.add_option("--garbage", options.faults.garbageRate,
                   "answer this share of requests (0..1) with random bytes, random lengths or nothing")
        ->check(CLI::Range(0.0, 1.0));
    cli.add_option("--garbage-requests", options.faults.garbageRequests,
                   "garbage only among the first N requests (0: all)")
        ->check(CLI::NonNegativeNumber);
    cli.add_flag("--verbose", options.verbose, "report connections and faults on stderr");

    try {
        cli.parse(argc, argv);
        const auto colon = listen.rfind(':');
        if (colon == std::string::npos) {
            throw CLI::ValidationError("--listen", "expected ADDR:PORT");
        }
        options.address = QHostAddress(QString::fromStdString(listen.substr(0, colon)));
        const int port = std::stoi(listen.substr(colon + 1));
        if (options.address.isNull() || port < 0 || port > 65535) {
            throw CLI::ValidationError("--listen", "'" + listen + "' is not an address and port");
        }
        options.port = static_cast<std::uint16_t>(port);
        if (!targets.empty() || !rings.empty() || !walls.empty() || !movers.empty()) {
            options.scene = vexar::sim::Scene{};
        }
        for (const auto& t : targets) {
            const auto v = Numbers(t, 3, "--target");
            options.scene.points.push_back({v[0], v[1], v[2]});
        }
        for (const auto& r : rings) {
            const auto v = Numbers(r, 3, "--ring", 2);
            options.scene.rings.push_back({v[0], v[1], v.size() > 2 ? v[2] : 0.0f});
        }
        for (const auto& w : walls) {
            const auto v = Numbers(w, 5, "--wall");
            options.scene.walls.push_back({v[0], v[1], v[2], v[3], v[4]});
        }
        for (const auto& m : movers) {
            const auto v = Numbers(m, 5, "--mover");
            options.scene.movers.push_back({v[0], v[1], v[2], v[3], v[4]});
        }
        options.scene.noise = noise;
        options.scene.seed = seed;
        options.faults.garbageSeed = seed;
        options.scene.swayM = sway;
        for (const auto& s : silences) {
            options.faults.silences.push_back(Fault(s, "--silence"));
        }
        for (const auto& w : wrongEchoes) {
            options.faults.wrongEchoes.push_back(Fault(w, "--wrong-echo"));
        }
        for (const auto& c : cutOffs) {
            options.faults.cutOffs.push_back(Fault(c, "--cut-off"));
        }
    } catch (const CLI::ParseError& e) {
        return cli.exit(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexar-headsim: %s\n", e.what());
        return 2;
    }

    vexar::headsim::HeadServer server(options);
    QString error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "vexar-headsim: cannot listen on %s: %s\n", listen.c_str(), qPrintable(error));
        return 1;
    }
    std::printf("vexar-headsim listening on %s:%u\n", qPrintable(options.address.toString()), server.Port());
    std::fflush(stdout);
    return QCoreApplication::exec();
}
