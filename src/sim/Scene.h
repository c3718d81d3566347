#pragma once
// The scene of the simulated head: reflectors around the four-head assembly, and the element
// samples a head would deliver for them.
//
// Signal model. Every reflector is a set of point scatterers. For head h the scatterer is seen
// from the head's acoustic centre, 0.07 m out along the head's axis, at range rh and at angle a
// (clockwise from the head's axis, as the picture shows it). The head delivers, per element, a
// real band-pass signal on an intermediate frequency of one cycle per 8 samples, that is bin 1 of
// the console's 8-point sliding demodulator; samples are spaced R / N metres in range. An echo is
// a Hann-shaped burst of at least 16 samples centred on sample rh * N / R:
//
//     x_k[n] = A * w(n - n0) * cos(2 pi n / 8 + 2 w rh / c + psi_k),
//     psi_k  = (k - 7.5) * pitch * sin(a) * w / c,           pitch = 0.0010668 m,
//
// with w = 2 pi f the carrier's angular frequency and c the sound velocity of the water. The
// demodulator turns x_k into I + jQ with phase psi_k (plus a phase common to all elements), and
// the console's beamformer multiplies element k by exp(j phi_k(theta)) with
// phi_k(theta) = (k - 7.5) * sin(theta) * pitch / c * w, so both 8-element sub-arrays add up in
// phase at theta = -a. Beam theta = -a is the beam the console draws at clockwise angle a from
// the head's axis (the head image holds the beams in mirrored order), and the console's
// re-projection moves it from the head's centre to the assembly centre; the echo therefore
// shows at the reflector's true bearing and range.
//
// Element k is channel k; on a head mounted upside down ("Transducer Up") it is channel 15 - k,
// because the console reverses the element order of such a head, and heads 1 and 3 change places
// (head 1 looks to 270 degrees, head 3 to 90 degrees). The amplitude A = strength * cos(a) / rh
// * 10^(-0.01 rh) falls off as the console's time-varied gain rises, so a reflector of a given
// strength looks alike at every range; nothing is received from behind a head.
//
// A seabed ring and a wall are rows of scatterers 0.05 m apart (at most 2000 to a row), each of
// strength / sqrt(count / 50), so that the reflector's echo power does not grow with its size,
// and each with a fixed pseudo-random phase added to 2 w rh / c: the speckle of a rough surface.
// All scatterers of a thin ring lie at one range and share one envelope, so a beam sees the same
// mixture of them at every sample of the echo. A ring with a thickness has as many scatterers as
// rows 0.05 m apart across its band would hold (up to 20 rows), each at its own random range
// within the band, so that each range cell of the band sums a different set of scatterers. A little
// deterministic noise (seeded by the ping number) keeps the picture alive. Samples are unsigned
// 16-bit with 32768 as no signal; 1.0 is full scale.

#include "head/COndrel.h"
#include "head/ReplyData.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vexar::sim {

inline constexpr float kElementPitchM = 0.0010668f;
inline constexpr float kHeadOffsetM = 0.07f;
inline constexpr std::uint16_t kNoSignal = 32768;
/// Transducer type the simulated head reports: the console only processes type 4.
inline constexpr std::uint8_t kTransducerType = 4;

/// A point reflector, by bearing (degrees clockwise from the top of the view) and range (m)
/// from the assembly centre; strength 1.0 is a full-scale echo at 1 m.
struct PointTarget {
    float bearingDeg = 0.0f;
    float rangeM = 0.0f;
    float strength = 0.0f;
};

/// The seabed seen all around at one range. A rough seabed answers from a band of ranges:
/// with a thickness its scatterers lie at seeded random ranges spread evenly over
/// [range - thickness / 2, range + thickness / 2], as densely across the band as along it;
/// thickness 0 puts them all at the range itself.
///
/// A sloping seabed is met nearer where it rises and farther where it falls away: the slopes are
/// the depth the seabed gains per metre towards the top of the picture and towards its right,
/// divided by the tangent of the beams' depression, and the ring's range at bearing b becomes
/// range / (1 - slopeAhead * cos b - slopeRight * sin b). Where that divisor falls below 0.05 the
/// seabed falls away as fast as the beams and nothing of it is heard.
struct SeabedRing {
    float rangeM = 0.0f;
    float strength = 0.0f;
    float thicknessM = 0.0f;
    float slopeAhead = 0.0f;
    float slopeRight = 0.0f;
};

/// A straight wall between two points given by bearing and range.
struct Wall {
    float bearing1Deg = 0.0f;
    float range1M = 0.0f;
    float bearing2Deg = 0.0f;
    float range2M = 0.0f;
    float strength = 0.0f;
};

/// A point reflector that moves by the given steps at every new ping; its range turns back at
/// 0.3 m and at the maximum range of the ping.
struct MovingTarget {
    float bearingDeg = 0.0f;
    float rangeM = 0.0f;
    float strength = 0.0f;
    float bearingStepDeg = 0.0f;
    float rangeStepM = 0.0f;
};

struct Scene {
    std::vector<PointTarget> points;
    std::vector<SeabedRing> rings;
    std::vector<Wall> walls;
    std::vector<MovingTarget> movers;
    float noise = 0.0005f; ///< RMS of the noise, full scale 1.0
    std::uint32_t seed = 1;
    /// RMS of the assembly's random displacement at every ping (m) in each horizontal axis: a
    /// vehicle is never quite still, and millimetres renew the speckle of rough reflectors at
    /// these frequencies. 0 keeps the assembly fixed.
    float swayM = 0.0f;
};

/// How the head is set for one ping: taken from the command packet, except the water's sound
/// velocity and the mounting, which belong to the head.
struct PingGeometry {
    float rangeM = 10.0f;
    int samples = 1000;
    float soundVelocity = 1480.0f; ///< m/s
    int transducerUp = 0;
    float frequencyKHz = 675.0f;
    int pulseLength = 6; ///< 10 us units
};

/// A few point targets, a seabed ring, a short wall and a moving target around a head that holds
/// still: the scene of the tests that compare the head's samples bit for bit. (The program's own
/// default is the harbour of World.h.)
Scene PlainScene();

/// Range, sample count, frequency and pulse length of a command packet (range code byte 3,
/// pulse byte 14, data-points code byte 19, frequency code byte 25). An unknown range code
/// gives 10 m; a data-points code other than 2 gives 1000 samples.
PingGeometry GeometryFromPacket(std::span<const std::uint8_t, kCommandPacketSize> packet, float soundVelocity,
                                int transducerUp);

/// Bearing of head h's axis, degrees clockwise from the top of the view.
float HeadAxisBearingDeg(int head, int transducerUp);

/// A point as a head sees it: range from its acoustic centre and angle clockwise from its axis.
struct HeadBearing {
    float rangeM = 0.0f;
    float angleDeg = 0.0f;
};
HeadBearing SeenFromHead(float bearingDeg, float rangeM, int head, int transducerUp);

/// Position of a moving target at a ping number.
PointTarget MoverAt(const MovingTarget& mover, std::uint64_t ping, float maxRangeM);

/// Channel-major raw samples of one head: channel c, sample j at [c * 1000 + j]; columns from
/// the sample count on hold no signal.
using HeadSamples = std::span<std::uint16_t, kElementCount * kMaxSamples>;

/// The working buffers of the synthesis, kept between pings by a head that synthesises many of
/// them; they grow to the largest ping once.
class SynthesisScratch {
public:
    SynthesisScratch();
    ~SynthesisScratch();
    SynthesisScratch(const SynthesisScratch&) = delete;
    SynthesisScratch& operator=(const SynthesisScratch&) = delete;
    struct Buffers;
    Buffers& Get() { return *m_buffers; }

private:
    std::unique_ptr<Buffers> m_buffers;
};

/// The samples head h delivers for ping number `ping` of the scene.
void SynthesiseHead(const Scene& scene, const PingGeometry& geometry, int head, std::uint64_t ping,
                    HeadSamples raw);
void SynthesiseHead(const Scene& scene, const PingGeometry& geometry, int head, std::uint64_t ping,
                    HeadSamples raw, SynthesisScratch& scratch);

/// The ping buffer of one ping, laid out as the head sends it: for sample j, head h, channel c
/// the big-endian word at ((j * 4 + h) * 16 + c) * 2; bytes after the ping's last sample hold
/// no signal.
void SynthesisePing(const Scene& scene, const PingGeometry& geometry, std::uint64_t ping, PingBuffer& buffer);
void SynthesisePing(const Scene& scene, const PingGeometry& geometry, std::uint64_t ping, PingBuffer& buffer,
                    SynthesisScratch& scratch);

/// What the head writes into the header of its replies.
struct ReplyHeaderFields {
    std::string text = "SIM";
    std::uint8_t headId = 0x10;
    std::uint8_t status = 0x00;
    std::uint8_t mode = 0x00; ///< upper four bits 0x4 would mark scrambled data
    std::uint8_t transducerType = kTransducerType;
    std::uint8_t byte9 = 0x04;
};

/// The reply to one command packet: header, block echo = packet byte 13, and payload = block
/// `blockIndex` of the ping buffer (no signal beyond the buffer).
void BuildReply(const PingBuffer& buffer, int blockIndex, std::uint8_t echo, const ReplyHeaderFields& fields,
                ReplyBlock& reply);

} // namespace vexar::sim
