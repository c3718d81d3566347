#pragma once
// The binary frame the observers' page draws a ping from, and its encoder.
//
// Layout, little-endian, offsets in bytes:
//   0  "VXO1"                 4  u16 payload offset H (a multiple of 4)
//   6  u8 flags (1 image, 2 profile points, 4 image deflated, 8 sentence)
//   7  u8 colour table 0..8   8  f64 arrival at the server, ms since 1970 (for latency)
//  16  u32 frame number      20  u32 record counter of the ping's record
//  24  u16 beams B           26  u16 samples per beam S of the record
//  28  u16 samples stored S' 30  u16 reduction k: stored sample j is the largest of k samples
//                                 from j*k on, so that S' = ceil(S / k)
//  32  u16 beams of the picture's sweep G   34  u16 sweep steps per beam O
//  36  f32 range, m          40  f32 sound-velocity scale of the grid   44  f32 pings per second
//  48  u32 image bytes I     52  17 bytes time stamp DDMMYYYYHHMMSSmmm, 1 byte 0
//  70  the texts of FrameText in order, each u16 length and its bytes; zeros up to H
//   H  image: B rows of S' bytes (deflated with zlib when flag 4 is set), zeros up to a
//      multiple of 4; then with flag 2 B f32 profile point ranges in metres (0: none).
//
// Each observer is sent a greeting first: "VXP1", u16 9 tables, u16 256 entries, the tables'
// red, green, blue bytes, then u16 20 and the picture's 20 interpolation weight triples (bytes).

#include <QByteArray>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexar::cli {

/// Largest frame on the wire for any ping, WebSocket framing aside.
inline constexpr std::size_t kObserverFrameBudget = 200000;

inline constexpr std::uint8_t kFrameHasImage = 1;
inline constexpr std::uint8_t kFrameHasProfile = 2;
inline constexpr std::uint8_t kFrameDeflated = 4;
inline constexpr std::uint8_t kFrameHasSentence = 8;

/// The texts a frame carries, in this order: the navigation sentence and what the console's info
/// panel shows of it, and the picture's range texts.
enum class FrameText {
    Sentence,
    Latitude,
    Longitude,
    Heading,
    Range,
    Scale,
    Mark1,
    Mark2,
    Mark3,
    Mark4,
    Mark5,
    Count
};

/// One ping as the page needs it.
struct FrameContent {
    double arrivalMs = 0.0;
    std::uint32_t frameNumber = 0;
    std::uint32_t recordCounter = 0;
    int colorTable = 0;
    int beams = 0;      ///< B
    int samples = 0;    ///< S
    int sweepBeams = 0; ///< G
    int subSteps = 0;   ///< O
    float rangeM = 0.0f;
    float soundScale = 1.0f;
    float pingsPerSecond = 0.0f;
    std::string timeStamp;
    std::array<std::string, static_cast<std::size_t>(FrameText::Count)> texts;
    std::span<const std::uint8_t> image; ///< B x S bytes, beam-major; empty: none
    std::vector<float> profileM;         ///< B ranges in metres; empty: none
};

/// The greeting every observer gets before its first frame: the console's colour tables and the
/// picture's interpolation weights.
QByteArray ObserverGreeting();

/// Encodes frames within the budget: the image is deflated, and when it is still too large its
/// samples are reduced (by the largest of each k, so that small echoes stay) until it fits.
class CObserverFrameEncoder {
public:
    explicit CObserverFrameEncoder(std::size_t budget = kObserverFrameBudget) : m_budget(budget) {}

    QByteArray Encode(const FrameContent& content);
    /// Reduction k of the last frame encoded (1: every sample).
    int LastReduction() const { return m_lastReduction; }

private:
    std::span<const std::uint8_t> Reduce(const FrameContent& content, int k);
    QByteArray Header(const FrameContent& content, int storedSamples, int k, std::uint8_t flags,
                      std::size_t imageBytes) const;

    std::size_t m_budget;
    std::vector<std::uint8_t> m_reduced;
    int m_lastReduction = 1;
};

} // namespace vexar::cli
