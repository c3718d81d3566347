// Fixes of any values (NaN, infinities, huge, negative, out of range, any time): the composed
// sentence must fit the cap, be printable text with a valid checksum, and read back through the
// playback parse to the fix's sound values, to the digits written; fields the fix lacks or that
// no vehicle can have stay empty.
//
// Input: 2 bytes of which fields are present, then 8 bytes per value (time, latitude, longitude,
// depth, altitude, heading, pitch, roll, speed, course), missing bytes zero.

#include "navigation/NavigationSentence.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

using namespace vexar;

double Value(const std::uint8_t* data, std::size_t size, std::size_t index) {
    std::uint8_t bytes[8] = {};
    const std::size_t at = 2 + index * 8;
    for (std::size_t i = 0; i < 8 && at + i < size; ++i) {
        bytes[i] = data[at + i];
    }
    double value = 0.0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

NavigationFix FixOf(const std::uint8_t* data, std::size_t size) {
    const unsigned present = size >= 2 ? static_cast<unsigned>(data[0] | data[1] << 8) : 0u;
    const auto field = [&](unsigned bit, std::size_t index) -> std::optional<double> {
        return (present & (1u << bit)) != 0 ? std::optional<double>(Value(data, size, index)) : std::nullopt;
    };
    NavigationFix fix;
    if (const auto t = field(0, 0); t && std::isfinite(*t) && std::fabs(*t) < 9e15) {
        fix.utcMs = static_cast<std::int64_t>(*t);
    }
    if ((present & 2u) != 0) {
        fix.position = GeoPosition{Value(data, size, 1), Value(data, size, 2)};
    }
    fix.depthM = field(3, 3);
    fix.altitudeM = field(4, 4);
    fix.headingDeg = field(5, 5);
    fix.pitchDeg = field(6, 6);
    fix.rollDeg = field(7, 7);
    fix.speedMps = field(8, 8);
    fix.courseDeg = field(9, 9);
    return fix;
}

/// Written with `decimals`, read back as a float by the parse.
bool Near(const std::optional<double>& was, const std::optional<double>& is, int decimals) {
    if (was.has_value() != is.has_value()) {
        return false;
    }
    return !was || std::fabs(*was - *is) <= 0.5 * std::pow(10.0, -decimals) + std::fabs(*was) * 3e-7 + 1e-12;
}

void CheckText(std::string_view sentence) {
    const auto star = sentence.rfind('*');
    if (!sentence.starts_with("$AULOG,") || sentence.size() > kMaxLiveSentenceLength ||
        star == std::string_view::npos || star + 3 != sentence.size()) {
        std::abort();
    }
    unsigned sum = 0;
    for (const char c : sentence.substr(1, star - 1)) {
        if (c < 0x20 || c > 0x7E) {
            std::abort();
        }
        sum ^= static_cast<unsigned char>(c);
    }
    if (std::strtoul(std::string(sentence.substr(star + 1)).c_str(), nullptr, 16) != sum) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const NavigationFix given = FixOf(data, size);
    std::array<char, kMaxLiveSentenceLength> text;
    const std::size_t length = ComposeSentence(given, text);
    if (length == 0) {
        std::abort();
    }
    const std::string_view sentence(text.data(), length);
    CheckText(sentence);
    NavigationFix sound = given;
    DropFields(sound, BadFields(sound));
    const std::optional<NavigationFix> back = ReadSentence(sentence);
    if (!back || back->utcMs != sound.utcMs || back->position.has_value() != sound.position.has_value() ||
        !Near(sound.depthM, back->depthM, 3) || !Near(sound.altitudeM, back->altitudeM, 2) ||
        !Near(sound.headingDeg, back->headingDeg, 2) || !Near(sound.pitchDeg, back->pitchDeg, 2) ||
        !Near(sound.rollDeg, back->rollDeg, 2) || !Near(sound.speedMps, back->speedMps, 2)) {
        std::abort();
    }
    if (sound.position && (std::fabs(back->position->latitudeDeg - sound.position->latitudeDeg) > 1e-8 ||
                           std::fabs(back->position->longitudeDeg - sound.position->longitudeDeg) > 1e-8)) {
        std::abort();
    }
    return 0;
}
