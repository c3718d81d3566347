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
//
// The head sits on a vehicle. By default the vehicle runs a circle through a harbour basin
// (--scene harbour; --start, --heading, --speed, --turn-rate and --depth change its track) and
// every ping shows the basin as seen from where the vehicle is when the ping begins. With a
// scene of its own (--target, --ring, --wall, --mover, or --scene plain) the vehicle holds still
// unless given a speed or turn rate, and then those reflectors stay where they were on the map.
// The vehicle's navigation goes out at --nav-rate fixes per second as $AULOG sentences on a
// pseudo-terminal, whose path the second line on stdout names (--nav-link PATH adds a link of a
// fixed name to it), and with --nmea-udp ADDR:PORT as NMEA 0183 for gpsd
// (gpsd -N -n udp://ADDR:PORT). The head sits on the vehicle as --yaw (turned on its mount),
// --tilt (its fan depressed: reflectors at slant range) and --offset F,S,D (metres from the point
// whose position is reported) say, and draws each ping from its own pose. --truth FILE writes the
// map position of every reflector, the vehicle's pose at every fix and every ping, and the
// head's at every ping.

#include "HeadServer.h"
#include "HeadsimOptions.h"
#include "HelpLayout.h"
#include "NavigationPublisher.h"
#include "TruthWriter.h"

#include <CLI/CLI.hpp>
#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <string>

namespace {

using namespace vexar::headsim;

/// Serves until the program is ended; the exit status.
int Serve(HeadsimSetup& setup) {
    TruthWriter truth;
    std::string error;
    if (!setup.truthPath.empty()) {
        if (!truth.Open(setup.truthPath, setup.world, setup.head.track, &error)) {
            std::fprintf(stderr, "vexar-headsim: cannot write %s: %s\n", setup.truthPath.c_str(),
                         error.c_str());
            return 1;
        }
        setup.head.truth = &truth;
    }
    HeadServer server(setup.head);
    QString listenError;
    if (!server.Start(&listenError)) {
        std::fprintf(stderr, "vexar-headsim: cannot listen on %s:%u: %s\n",
                     qPrintable(setup.head.address.toString()), setup.head.port, qPrintable(listenError));
        return 1;
    }
    NavigationPublisher navigation(setup.world, setup.head.track, server.Clock(), setup.head.truth,
                                   setup.navigation);
    if (!navigation.Open(&error)) {
        std::fprintf(stderr, "vexar-headsim: %s\n", error.c_str());
        return 1;
    }
    navigation.Start();
    std::printf("vexar-headsim listening on %s:%u\n", qPrintable(setup.head.address.toString()),
                server.Port());
    std::printf("vexar-headsim navigation on %s\n", navigation.PtyPath().c_str());
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    CLI::App cli{"Simulated sonar head: answers command packets with synthesised element data."};
    cli.formatter(std::make_shared<vexar::HelpLayout>());
    cli.set_version_flag("--version", std::string("vexar-headsim ") + VEXAR_VERSION);
    HeadsimCommandLine commandLine(cli);
    HeadsimSetup setup;
    try {
        cli.parse(argc, argv);
        setup = commandLine.Build();
    } catch (const CLI::ParseError& e) {
        return cli.exit(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexar-headsim: %s\n", e.what());
        return 2;
    }
    return Serve(setup);
}
