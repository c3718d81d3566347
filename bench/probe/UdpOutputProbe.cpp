// How many records of the UDP output a plain receiver on 127.0.0.1 gets whole, with the
// system's default receive buffer: point and beam records of 1440 beams x 1000 samples at a
// steady ping rate, through the paced sender, and for comparison straight from the socket.
// Usage: UdpOutputProbe [--pings N] [--rate PINGS_PER_S] [--unpaced-pings M]

#include "support/LoopbackOutputRun.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Print(const char* label, const vexar::test::LoopbackOutputResult& r, double rate) {
    const double n = r.pings > 0 ? static_cast<double>(r.pings) : 1.0;
    std::printf(
        "%s: %d pings at %.1f pings/s, receive buffer %d bytes: P96 whole %llu (%.2f %%), B96 whole %llu "
        "(%.2f %%), %llu damage events, %llu records dropped by the sender\n",
        label, r.pings, rate, r.receiveBufferBytes, static_cast<unsigned long long>(r.wholePoint),
        100.0 * static_cast<double>(r.wholePoint) / n, static_cast<unsigned long long>(r.wholeBeam),
        100.0 * static_cast<double>(r.wholeBeam) / n, static_cast<unsigned long long>(r.damaged),
        static_cast<unsigned long long>(r.droppedBySender));
}

} // namespace

int main(int argc, char** argv) {
    int pings = 1000;
    int unpacedPings = 100;
    double rate = 10.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--pings") == 0) {
            pings = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--rate") == 0) {
            rate = std::atof(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--unpaced-pings") == 0) {
            unpacedPings = std::atoi(argv[i + 1]);
        }
    }
    if (pings <= 0 || rate <= 0.0 || unpacedPings < 0) {
        std::fprintf(stderr, "usage: UdpOutputProbe [--pings N] [--rate PINGS_PER_S] [--unpaced-pings M]\n");
        return 2;
    }
    const auto paced = vexar::test::RunLoopbackOutput(pings, rate, true);
    if (!paced.error.empty()) {
        std::fprintf(stderr, "%s\n", paced.error.c_str());
        return 1;
    }
    Print("paced", paced, rate);
    if (unpacedPings > 0) {
        Print("unpaced", vexar::test::RunLoopbackOutput(unpacedPings, rate, false), rate);
    }
    return 0;
}
