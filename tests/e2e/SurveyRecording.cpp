// vexar-survey-recording: a raw recording of a vehicle that runs along straight legs over point
// targets lying at known places on the seabed, for the tests of the map products.
//
//   vexar-survey-recording TEMPLATE.R96 OUT.R96 LAT LON LEG... [TARGET...]
//     LEG     leg:heading:pings:step   degrees, pings, metres travelled a ping
//     TARGET  target:ping:across:down  the target lies `across` metres to starboard and `down`
//                                   metres below the head when the vehicle is abeam of it at
//                                   ping `ping` (0-based over all legs)
//     SEABED  seabed:down:half:strength  a flat seabed `down` metres below the head, seen
//                                   `half` metres to either side
//
// The packets and header settings of every ping are those of the first record of TEMPLATE (a
// recording of the simulated head); the replies are synthesised for each ping, with each
// target in the ping at which the vehicle passes it (the beams sweep a plane across the track,
// so a target is seen only from abeam). Every record carries a $AULOG sentence with the
// vehicle's position and heading, attitude level. For each target the program prints
// "target PING LAT LON HEADING ACROSS": the fix of its ping as the sentence gives it.

#include "files/RecordHeader.h"
#include "sim/Scene.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace vexar;

constexpr double kDegToRad = std::numbers::pi / 180.0;
// Metres of a degree of latitude, and of longitude at the equator, near enough for placing fixes.
constexpr double kMetresPerDegree = 111320.0;
constexpr float kSoundVelocity = 1500.0f;

struct Leg {
    double headingDeg = 0.0;
    int pings = 0;
    double stepM = 0.0;
};

struct Target {
    int ping = 0;
    double acrossM = 0.0;
    double downM = 0.0;
};

/// The numbers of "name:a:b:c" when the name is `name` and three numbers follow.
bool Fields(const std::string& text, const std::string& name, std::vector<double>& values) {
    std::stringstream stream(text);
    std::string item;
    if (!std::getline(stream, item, ':') || item != name) {
        return false;
    }
    values.clear();
    while (std::getline(stream, item, ':')) {
        values.push_back(std::stod(item));
    }
    return values.size() == 3;
}

/// "DD;MM.MMMMMMM" of a coordinate's size, and the value that text stands for.
std::string DegreesMinutes(double value, double& written) {
    const double magnitude = std::fabs(value);
    int degrees = static_cast<int>(magnitude);
    double minutes = std::round((magnitude - degrees) * 60.0 * 1e7) / 1e7;
    if (minutes >= 60.0) {
        ++degrees;
        minutes -= 60.0;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%d;%010.7f", degrees, minutes);
    written = (degrees + minutes / 60.0) * (value < 0.0 ? -1.0 : 1.0);
    return text;
}

std::string Sentence(double lat, double lon, double headingDeg, double& latWritten, double& lonWritten) {
    const std::string latText = DegreesMinutes(lat, latWritten);
    const std::string lonText = DegreesMinutes(lon, lonWritten);
    char text[160];
    std::snprintf(text, sizeof text,
                  "$AULOG,%s,%c,%s,%c,,5.0,,%.1f,0.0,0.0,1.0,,,0.0,230,0,9913,0.00,10/14/1999,**6B",
                  latText.c_str(), lat < 0.0 ? 'S' : 'N', lonText.c_str(), lon < 0.0 ? 'W' : 'E', headingDeg);
    return text;
}

struct Seabed {
    double downM = 0.0;
    double halfWidthM = 0.0;
    float strength = 0.0f;
};

/// The scene of one ping: the seabed, and the targets abeam, at their bearing and range in the
/// swept plane.
sim::Scene SceneOf(const std::vector<Target>& targets, const Seabed& seabed, int ping) {
    sim::Scene scene;
    if (seabed.strength > 0.0f) {
        const auto bearing = static_cast<float>(std::atan2(seabed.halfWidthM, seabed.downM) / kDegToRad);
        const auto range = static_cast<float>(std::hypot(seabed.halfWidthM, seabed.downM));
        scene.walls.push_back({-bearing, range, bearing, range, seabed.strength});
    }
    for (const Target& target : targets) {
        if (target.ping != ping) {
            continue;
        }
        // The top of the picture looks down, its right side to starboard.
        const double bearing = std::atan2(target.acrossM, target.downM) / kDegToRad;
        const double range = std::hypot(target.acrossM, target.downM);
        scene.points.push_back({static_cast<float>(bearing), static_cast<float>(range), 0.6f});
    }
    return scene;
}

struct Template {
    RecordHeaderFields fields;
    std::vector<std::uint8_t> pairs;
};

Template ReadTemplate(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (bytes.size() < static_cast<std::size_t>(kRecordDataOffset)) {
        throw std::runtime_error("no record in " + path);
    }
    Template t;
    t.fields =
        ReadRecordHeader(std::span<const std::uint8_t, kRecordHeaderSize>(bytes.data(), kRecordHeaderSize));
    const std::size_t pairs = t.fields.dataLength;
    if (t.fields.signature != "R96" || bytes.size() < kRecordDataOffset + pairs ||
        pairs % kPacketPairSize != 0) {
        throw std::runtime_error("the first record of " + path + " is not a whole raw record");
    }
    t.pairs.assign(bytes.begin() + kRecordDataOffset,
                   bytes.begin() + kRecordDataOffset + static_cast<long>(pairs));
    return t;
}

/// One record: the template's packets with the replies of the ping's scene, and the sentence.
std::vector<std::uint8_t> Record(const Template& t, const sim::Scene& scene, int ping,
                                 const std::string& sentence, std::uint32_t previous) {
    std::vector<std::uint8_t> pairs = t.pairs;
    const auto packet = std::span<const std::uint8_t, kCommandPacketSize>(pairs.data(), kCommandPacketSize);
    const sim::PingGeometry geometry = sim::GeometryFromPacket(packet, kSoundVelocity, 0);
    auto buffer = std::make_unique<PingBuffer>();
    sim::SynthesisePing(scene, geometry, static_cast<std::uint64_t>(ping), *buffer);
    for (std::size_t at = 0; at < pairs.size(); at += kPacketPairSize) {
        const std::uint8_t block = pairs[at + 13];
        ReplyBlock reply{};
        sim::BuildReply(*buffer, block, block, sim::ReplyHeaderFields{}, reply);
        std::copy(reply.begin(), reply.end(), pairs.begin() + static_cast<long>(at + kCommandPacketSize));
    }
    RecordHeaderFields fields = t.fields;
    fields.sentenceLength = static_cast<std::uint32_t>(sentence.size());
    fields.recordCounter = static_cast<std::uint32_t>(ping);
    fields.previousLength = previous;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "07122026%02d%02d%02d%03d", 11 + ping / 18000, ping / 300 % 60,
                  ping / 5 % 60, ping % 5 * 200);
    fields.timeStamp = stamp;
    RecordHeaderBytes header{};
    WriteRecordHeader(fields, header);
    std::vector<std::uint8_t> record(header.begin(), header.end());
    record.resize(kRecordDataOffset, 0);
    record.insert(record.end(), pairs.begin(), pairs.end());
    record.insert(record.end(), sentence.begin(), sentence.end());
    return record;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s TEMPLATE.R96 OUT.R96 LAT LON LEG... [TARGET...]\n", argv[0]);
        return 2;
    }
    try {
        const Template t = ReadTemplate(argv[1]);
        double lat = std::stod(argv[3]);
        double lon = std::stod(argv[4]);
        std::vector<Leg> legs;
        std::vector<Target> targets;
        Seabed seabed;
        for (int i = 5; i < argc; ++i) {
            std::vector<double> v;
            if (Fields(argv[i], "leg", v)) {
                legs.push_back({v[0], static_cast<int>(v[1]), v[2]});
            } else if (Fields(argv[i], "target", v)) {
                targets.push_back({static_cast<int>(v[0]), v[1], v[2]});
            } else if (Fields(argv[i], "seabed", v)) {
                seabed = {v[0], v[1], static_cast<float>(v[2])};
            } else {
                throw std::runtime_error(std::string("not a leg, target or seabed: ") + argv[i]);
            }
        }
        std::ofstream out(argv[2], std::ios::binary);
        std::uint32_t previous = 0;
        int ping = 0;
        for (const Leg& leg : legs) {
            for (int k = 0; k < leg.pings; ++k, ++ping) {
                double latWritten = 0.0;
                double lonWritten = 0.0;
                const std::string sentence = Sentence(lat, lon, leg.headingDeg, latWritten, lonWritten);
                for (const Target& target : targets) {
                    if (target.ping == ping) {
                        std::printf("target %d %.10f %.10f %.1f %.3f\n", ping, latWritten, lonWritten,
                                    leg.headingDeg, target.acrossM);
                    }
                }
                const std::vector<std::uint8_t> record =
                    Record(t, SceneOf(targets, seabed, ping), ping, sentence, previous);
                out.write(reinterpret_cast<const char*>(record.data()),
                          static_cast<std::streamsize>(record.size()));
                previous = static_cast<std::uint32_t>(record.size());
                const double h = leg.headingDeg * kDegToRad;
                lat += leg.stepM * std::cos(h) / kMetresPerDegree;
                lon += leg.stepM * std::sin(h) / (kMetresPerDegree * std::cos(lat * kDegToRad));
            }
        }
        return out ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
}
