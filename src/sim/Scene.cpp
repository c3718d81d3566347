#include "sim/Scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace vexar::sim {

namespace {
constexpr double kPi = 3.14159265358979;
constexpr double kDegToRad = kPi / 180.0;
constexpr int kMinBurstSamples = 16;
constexpr double kScattererSpacingM = 0.05;
constexpr int kMaxScatterersPerReflector = 2000;
constexpr int kMaxRingRows = 20;
constexpr double kMinMoverRangeM = 0.3;
constexpr double kMinSlopeDivisor = 0.05;

constexpr double D(float value) {
    return static_cast<double>(value);
}

/// A small deterministic generator, so that the head and the tests agree bit for bit.
class NoiseSource {
public:
    explicit NoiseSource(std::uint64_t seed)
        : m_state(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    /// Roughly normal, unit variance (sum of four uniforms).
    double Next() {
        double sum = 0.0;
        for (int i = 0; i < 4; ++i) {
            sum += static_cast<double>(NextBits() >> 11) * (1.0 / 9007199254740992.0);
        }
        return (sum - 2.0) * std::sqrt(3.0);
    }
    /// Uniform in [0, 1).
    double Uniform() { return static_cast<double>(NextBits() >> 11) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t NextBits() {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1Dull;
    }
    std::uint64_t m_state;
};

struct Scatterer {
    double bearingDeg;
    double rangeM;
    double strength;
    double phase; ///< extra phase of a scatterer of an extended reflector
};

// Scatterers along a reflector get a fixed pseudo-random phase so that the ring and the wall
// show the speckle of a rough surface instead of a single coherent flash.
double ScattererPhase(std::uint32_t seed, std::size_t reflector, std::size_t index) {
    NoiseSource source((static_cast<std::uint64_t>(seed) << 32) ^ (reflector * 7919u) ^ (index * 104729u));
    return std::fmod(std::abs(source.Next()) * 1000.0, 2.0 * kPi);
}

// Where within a ring's band a scatterer lies, 0..1; independent of its phase.
double ScattererBandFraction(std::uint32_t seed, std::size_t reflector, std::size_t index) {
    NoiseSource source((static_cast<std::uint64_t>(seed) << 32) ^ (reflector * 15485863u) ^
                       (index * 32452843u) ^ 0x5851F42D4C957F2Dull);
    return source.Uniform();
}

void CollectPoints(const Scene& scene, std::uint64_t ping, float maxRangeM, std::vector<Scatterer>& out) {
    for (const PointTarget& p : scene.points) {
        out.push_back({D(p.bearingDeg), D(p.rangeM), D(p.strength), 0.0});
    }
    for (const MovingTarget& m : scene.movers) {
        const PointTarget p = MoverAt(m, ping, maxRangeM);
        out.push_back({D(p.bearingDeg), D(p.rangeM), D(p.strength), 0.0});
    }
}

/// The range of a ring's scatterer at `bearingDeg`, where its seabed is met at all.
std::optional<double> RingRange(const SeabedRing& ring, double rangeM, double bearingDeg) {
    if (ring.slopeAhead == 0.0f && ring.slopeRight == 0.0f) {
        return rangeM;
    }
    const double b = bearingDeg * kDegToRad;
    const double divisor = 1.0 - D(ring.slopeAhead) * std::cos(b) - D(ring.slopeRight) * std::sin(b);
    if (!(divisor >= kMinSlopeDivisor)) {
        return std::nullopt;
    }
    return rangeM / divisor;
}

void CollectRing(const Scene& scene, const SeabedRing& ring, std::size_t reflector,
                 std::vector<Scatterer>& out) {
    const double circumference = 2.0 * kPi * static_cast<double>(ring.rangeM);
    // A band holds as many scatterers as rows 0.05 m apart across it would.
    const double thickness =
        std::isfinite(ring.thicknessM) && ring.thicknessM > 0.0f ? D(ring.thicknessM) : 0.0;
    const int rows = static_cast<int>(std::ceil(std::min(thickness / kScattererSpacingM, D(kMaxRingRows))));
    // Compared before the conversion: a range of no finite size must not reach it.
    const double along = circumference / kScattererSpacingM;
    const int perRow = along < kMaxScatterersPerReflector ? std::max(static_cast<int>(along), 8)
                                                          : kMaxScatterersPerReflector;
    const int count = perRow * std::max(rows, 1);
    const double each = static_cast<double>(ring.strength) / std::sqrt(static_cast<double>(count) / 50.0);
    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const double bearing = 360.0 * i / count;
        double range = D(ring.rangeM);
        if (thickness > 0.0) {
            range = std::max(range + thickness * (ScattererBandFraction(scene.seed, reflector, index) - 0.5),
                             0.0);
        }
        if (const std::optional<double> met = RingRange(ring, range, bearing)) {
            out.push_back({bearing, *met, each, ScattererPhase(scene.seed, reflector, index)});
        }
    }
}

void CollectWall(const Scene& scene, const Wall& wall, std::size_t reflector, std::vector<Scatterer>& out) {
    const double x1 = D(wall.range1M) * std::sin(D(wall.bearing1Deg) * kDegToRad);
    const double y1 = D(wall.range1M) * std::cos(D(wall.bearing1Deg) * kDegToRad);
    const double x2 = D(wall.range2M) * std::sin(D(wall.bearing2Deg) * kDegToRad);
    const double y2 = D(wall.range2M) * std::cos(D(wall.bearing2Deg) * kDegToRad);
    const double length = std::hypot(x2 - x1, y2 - y1);
    // Absurd or non-finite ends still give a bounded number of scatterers; their echoes are
    // dropped when the samples are made.
    const double steps = length / kScattererSpacingM;
    const int count = steps >= 0.0 && steps < kMaxScatterersPerReflector
                          ? std::max(static_cast<int>(steps) + 1, 2)
                          : kMaxScatterersPerReflector;
    const double each = static_cast<double>(wall.strength) / std::sqrt(static_cast<double>(count) / 50.0);
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / (count - 1);
        const double x = x1 + t * (x2 - x1);
        const double y = y1 + t * (y2 - y1);
        out.push_back({std::atan2(x, y) / kDegToRad, std::hypot(x, y), each,
                       ScattererPhase(scene.seed, reflector, static_cast<std::size_t>(i))});
    }
}

void CollectScatterers(const Scene& scene, std::uint64_t ping, float maxRangeM, std::vector<Scatterer>& out) {
    CollectPoints(scene, ping, maxRangeM, out);
    std::size_t reflector = 0;
    for (const SeabedRing& ring : scene.rings) {
        CollectRing(scene, ring, ++reflector, out);
    }
    for (const Wall& wall : scene.walls) {
        CollectWall(scene, wall, ++reflector, out);
    }
}

constexpr double kR = 0.70710678118654752;
constexpr double kCos8[8] = {1.0, kR, 0.0, -kR, -1.0, -kR, 0.0, kR};
constexpr double kSin8[8] = {0.0, kR, 1.0, kR, 0.0, -kR, -1.0, -kR};

std::uint16_t ToSample(double value) {
    const double word = std::round(32768.0 + 32767.0 * value);
    if (!(word >= 0.0)) {
        return 0; // NaN as well as anything below full scale
    }
    return static_cast<std::uint16_t>(std::min(word, 65535.0));
}
} // namespace

Scene PlainScene() {
    Scene scene;
    scene.points = {{30.0f, 3.0f, 0.8f}, {100.0f, 6.0f, 1.0f}, {200.0f, 4.5f, 0.6f}, {315.0f, 2.0f, 0.5f}};
    scene.rings = {{8.5f, 0.25f}};
    scene.walls = {{230.0f, 7.0f, 290.0f, 6.0f, 0.4f}};
    scene.movers = {{60.0f, 5.0f, 1.0f, 0.5f, 0.02f}};
    return scene;
}

PingGeometry GeometryFromPacket(std::span<const std::uint8_t, kCommandPacketSize> packet, float soundVelocity,
                                int transducerUp) {
    PingGeometry geometry;
    geometry.soundVelocity = soundVelocity;
    geometry.transducerUp = transducerUp;
    geometry.rangeM = 10.0f;
    // The range code is the console's own encoding of the range table; decode by matching it.
    for (float range : kRangeTable) {
        if (COndrel::RangeCode(range) == packet[3]) {
            geometry.rangeM = range;
            break;
        }
    }
    geometry.samples = packet[19] == 2 ? 500 : 1000;
    geometry.pulseLength = std::max<int>(packet[14], 1);
    geometry.frequencyKHz = static_cast<float>((packet[25] - 100) * 5 + 330);
    return geometry;
}

float HeadAxisBearingDeg(int head, int transducerUp) {
    static constexpr float kNormal[kHeadCount] = {0.0f, 90.0f, 180.0f, 270.0f};
    static constexpr float kUp[kHeadCount] = {0.0f, 270.0f, 180.0f, 90.0f};
    const auto h = static_cast<std::size_t>(std::clamp(head, 0, kHeadCount - 1));
    return transducerUp != 0 ? kUp[h] : kNormal[h];
}

HeadBearing SeenFromHead(float bearingDeg, float rangeM, int head, int transducerUp) {
    const double axis = D(HeadAxisBearingDeg(head, transducerUp)) * kDegToRad;
    const double b = D(bearingDeg) * kDegToRad;
    const double x = D(rangeM) * std::sin(b) - D(kHeadOffsetM) * std::sin(axis);
    const double y = D(rangeM) * std::cos(b) - D(kHeadOffsetM) * std::cos(axis);
    const double along = x * std::sin(axis) + y * std::cos(axis);
    const double across = x * std::cos(axis) - y * std::sin(axis);
    return {static_cast<float>(std::hypot(x, y)), static_cast<float>(std::atan2(across, along) / kDegToRad)};
}

PointTarget MoverAt(const MovingTarget& mover, std::uint64_t ping, float maxRangeM) {
    const double steps = static_cast<double>(ping);
    double bearing = std::fmod(D(mover.bearingDeg) + steps * D(mover.bearingStepDeg), 360.0);
    if (bearing < 0.0) {
        bearing += 360.0;
    }
    double range = D(mover.rangeM);
    const double low = kMinMoverRangeM;
    const double high = std::max(static_cast<double>(maxRangeM), low + 0.1);
    if (mover.rangeStepM != 0.0f) {
        // Back and forth between the limits: fold the unbounded path into [low, high].
        const double span = high - low;
        double t = std::fmod(D(mover.rangeM) - low + steps * D(mover.rangeStepM), 2.0 * span);
        if (t < 0.0) {
            t += 2.0 * span;
        }
        range = low + (t <= span ? t : 2.0 * span - t);
    }
    return {static_cast<float>(bearing), static_cast<float>(range), mover.strength};
}

namespace {

/// What every echo of a ping shares.
struct EchoGeometry {
    int samples = 0;
    double rangeM = 10.0;
    double c = 1480.0;
    double omega = 0.0;
    double metresPerSample = 0.0;
    int burst = kMinBurstSamples;
    double half = 0.0;
    int transducerUp = 0;
};

EchoGeometry EchoGeometryOf(const PingGeometry& geometry) {
    EchoGeometry g;
    g.samples = std::clamp(geometry.samples, 0, kMaxSamples);
    g.rangeM = geometry.rangeM > 0.0f ? D(geometry.rangeM) : 10.0;
    g.c = geometry.soundVelocity > 0.0f ? D(geometry.soundVelocity) : 1480.0;
    g.omega = 2.0 * kPi * D(geometry.frequencyKHz) * 1000.0;
    g.metresPerSample = g.rangeM / std::max(g.samples, 1);
    const double pulseSamples = geometry.pulseLength * 10e-6 * g.c * 0.5 / g.metresPerSample;
    g.burst = std::max(kMinBurstSamples, static_cast<int>(std::ceil(pulseSamples)));
    g.half = g.burst * 0.5;
    g.transducerUp = geometry.transducerUp;
    return g;
}

/// Moves every scatterer by the assembly's random displacement of this ping.
void Sway(const Scene& scene, std::uint64_t ping, std::vector<Scatterer>& scatterers) {
    if (!(scene.swayM > 0.0f && std::isfinite(scene.swayM))) {
        return;
    }
    // The same displacement for every head of a ping: the assembly moves as one.
    NoiseSource sway((static_cast<std::uint64_t>(scene.seed) << 32) ^ (ping * 0x9E3779B97F4A7C15ull) ^
                     0x5EA5ull);
    const double dx = D(scene.swayM) * sway.Next();
    const double dy = D(scene.swayM) * sway.Next();
    for (Scatterer& s : scatterers) {
        const double x = s.rangeM * std::sin(s.bearingDeg * kDegToRad) - dx;
        const double y = s.rangeM * std::cos(s.bearingDeg * kDegToRad) - dy;
        s.rangeM = std::hypot(x, y);
        s.bearingDeg = std::atan2(x, y) / kDegToRad;
    }
}

/// Adds the echo of one scatterer to head `head`'s channel-major signal.
// Adds the echo to every channel's row; widens [touchedFirst, touchedEnd) to the samples it added to.
void AddEcho(const Scatterer& s, const EchoGeometry& g, int head, std::vector<double>& signal,
             std::vector<double>& envelope, int& touchedFirst, int& touchedEnd) {
    const HeadBearing seen =
        SeenFromHead(static_cast<float>(s.bearingDeg), static_cast<float>(s.rangeM), head, g.transducerUp);
    const double a = D(seen.angleDeg) * kDegToRad;
    // Nothing from behind the head, and nothing from a reflector with a NaN bearing or strength.
    if (!(std::abs(a) < kPi / 2.0) || !(s.strength > 0.0)) {
        return;
    }
    const double rh = D(seen.rangeM);
    const double amplitude = s.strength * std::cos(a) / std::max(rh, 0.7) * std::pow(10.0, -0.01 * rh);
    const double centre = rh / g.metresPerSample;
    // Also keeps absurd ranges (and NaN) away from the conversions below.
    if (!(centre - g.half < g.samples && centre + g.half >= 0.0)) {
        return;
    }
    const int first = std::max(0, static_cast<int>(std::ceil(centre - g.half)));
    const int last = std::min(g.samples - 1, static_cast<int>(std::floor(centre + g.half)));
    if (first > last) {
        return;
    }
    touchedFirst = std::min(touchedFirst, first);
    touchedEnd = std::max(touchedEnd, last + 1);
    for (int n = first; n <= last; ++n) {
        envelope[static_cast<std::size_t>(n - first)] = 0.5 + 0.5 * std::cos(kPi * (n - centre) / g.half);
    }
    const double travel = std::fmod(2.0 * g.omega * rh / g.c, 2.0 * kPi) + s.phase;
    const double elementStep = D(kElementPitchM) * std::sin(a) * g.omega / g.c;
    for (int k = 0; k < kElementCount; ++k) {
        const int channel = g.transducerUp != 0 ? kElementCount - 1 - k : k;
        const double psi = (k - 7.5) * elementStep + travel;
        const double cosPsi = std::cos(psi);
        const double sinPsi = std::sin(psi);
        double* row = signal.data() + static_cast<std::size_t>(channel) * kMaxSamples;
        for (int n = first; n <= last; ++n) {
            // cos(2 pi n / 8 + psi), with the carrier's eight phases from a table
            const auto phase = static_cast<std::size_t>(n % 8);
            const double carrier = kCos8[phase] * cosPsi - kSin8[phase] * sinPsi;
            row[n] += amplitude * envelope[static_cast<std::size_t>(n - first)] * carrier;
        }
    }
}

} // namespace

struct SynthesisScratch::Buffers {
    // Zero between pings: each ping clears what its echoes added.
    std::vector<double> signal = std::vector<double>(static_cast<std::size_t>(kElementCount) * kMaxSamples);
    std::vector<double> envelope;
    std::vector<Scatterer> scatterers;
    std::vector<std::uint16_t> raw =
        std::vector<std::uint16_t>(static_cast<std::size_t>(kElementCount) * kMaxSamples);
};

SynthesisScratch::SynthesisScratch() : m_buffers(std::make_unique<Buffers>()) {}

SynthesisScratch::~SynthesisScratch() = default;

void SynthesiseHead(const Scene& scene, const PingGeometry& geometry, int head, std::uint64_t ping,
                    HeadSamples raw) {
    SynthesisScratch scratch;
    SynthesiseHead(scene, geometry, head, ping, raw, scratch);
}

void SynthesiseHead(const Scene& scene, const PingGeometry& geometry, int head, std::uint64_t ping,
                    HeadSamples raw, SynthesisScratch& scratch) {
    const EchoGeometry g = EchoGeometryOf(geometry);
    SynthesisScratch::Buffers& b = scratch.Get();
    const auto samples = static_cast<std::size_t>(g.samples);
    b.envelope.assign(static_cast<std::size_t>(g.burst) + 2, 0.0);
    b.scatterers.clear();
    CollectScatterers(scene, ping, static_cast<float>(g.rangeM), b.scatterers);
    Sway(scene, ping, b.scatterers);
    int touchedFirst = g.samples;
    int touchedEnd = 0;
    for (const Scatterer& s : b.scatterers) {
        AddEcho(s, g, head, b.signal, b.envelope, touchedFirst, touchedEnd);
    }
    // A quiet scene's samples outside the echoes are all the same word.
    const auto echoFirst = static_cast<std::size_t>(std::min(touchedFirst, touchedEnd));
    const auto echoEnd = static_cast<std::size_t>(touchedEnd);
    const std::uint16_t quiet = ToSample(0.0);

    NoiseSource noise((static_cast<std::uint64_t>(scene.seed) << 20) ^
                      (ping * 4u + static_cast<std::uint64_t>(head)));
    const bool noisy = scene.noise != 0.0f; // a quiet scene draws nothing: the same samples, sooner
    for (int ch = 0; ch < kElementCount; ++ch) {
        const std::size_t row = static_cast<std::size_t>(ch) * kMaxSamples;
        const auto at = [&](std::size_t j) { return raw.begin() + static_cast<std::ptrdiff_t>(row + j); };
        if (noisy) {
            for (std::size_t j = 0; j < samples; ++j) {
                raw[row + j] = ToSample(b.signal[row + j] + D(scene.noise) * noise.Next());
            }
        } else {
            std::fill(at(0), at(echoFirst), quiet);
            for (std::size_t j = echoFirst; j < echoEnd; ++j) {
                raw[row + j] = ToSample(b.signal[row + j]);
            }
            std::fill(at(std::max(echoEnd, echoFirst)), at(samples), quiet);
        }
        std::fill(at(samples), at(kMaxSamples), kNoSignal);
        std::fill_n(b.signal.begin() + static_cast<std::ptrdiff_t>(row + echoFirst),
                    echoEnd - std::min(echoEnd, echoFirst), 0.0);
    }
}

void SynthesisePing(const Scene& scene, const PingGeometry& geometry, std::uint64_t ping,
                    PingBuffer& buffer) {
    SynthesisScratch scratch;
    SynthesisePing(scene, geometry, ping, buffer, scratch);
}

void SynthesisePing(const Scene& scene, const PingGeometry& geometry, std::uint64_t ping, PingBuffer& buffer,
                    SynthesisScratch& scratch) {
    const int samples = std::clamp(geometry.samples, 0, kMaxSamples);
    // The ping's own words are all written below; the bytes after them hold no signal.
    // The word is copied in stretches that double, each from the words already there.
    const std::size_t used = static_cast<std::size_t>(samples) * kHeadCount * kElementCount * 2;
    const std::size_t rest = used < buffer.size() ? (buffer.size() - used) / 2 * 2 : 0;
    if (rest > 0) {
        buffer[used] = kNoSignal >> 8;
        buffer[used + 1] = kNoSignal & 0xFF;
    }
    for (std::size_t filled = 2; filled < rest;) {
        const std::size_t n = std::min(filled, rest - filled);
        std::memcpy(buffer.data() + used + filled, buffer.data() + used, n);
        filled += n;
    }
    std::vector<std::uint16_t>& raw = scratch.Get().raw;
    for (int h = 0; h < kHeadCount; ++h) {
        SynthesiseHead(scene, geometry, h, ping, HeadSamples(raw.data(), raw.size()), scratch);
        for (int j = 0; j < samples; ++j) {
            for (int c = 0; c < kElementCount; ++c) {
                const std::uint16_t word = raw[static_cast<std::size_t>(c * kMaxSamples + j)];
                const auto at = static_cast<std::size_t>(((j * 4 + h) * 16 + c) * 2);
                buffer[at] = static_cast<std::uint8_t>(word >> 8);
                buffer[at + 1] = static_cast<std::uint8_t>(word & 0xFF);
            }
        }
    }
}

void BuildReply(const PingBuffer& buffer, int blockIndex, std::uint8_t echo, const ReplyHeaderFields& fields,
                ReplyBlock& reply) {
    reply.fill(0);
    for (std::size_t i = 0; i < 3 && i < fields.text.size(); ++i) {
        reply[i] = static_cast<std::uint8_t>(fields.text[i]);
    }
    reply[3] = fields.headId;
    reply[4] = fields.status;
    reply[kReplyEchoByte] = echo;
    reply[kReplyModeByte] = fields.mode;
    reply[8] = fields.transducerType;
    reply[9] = fields.byte9;
    std::uint8_t* payload = reply.data() + kReplyPayloadOffset;
    if (blockIndex >= 0 && blockIndex < kMaxBlocksPerPing) {
        std::memcpy(payload, buffer.data() + static_cast<std::size_t>(blockIndex) * kReplyPayloadSize,
                    kReplyPayloadSize);
    } else {
        for (int i = 0; i < kReplyPayloadSize; i += 2) {
            payload[i] = kNoSignal >> 8;
            payload[i + 1] = kNoSignal & 0xFF;
        }
    }
}

} // namespace vexar::sim
