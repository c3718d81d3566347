#pragma once
// CPixelMap: the lookup tables of the polar picture, built once per geometry. For every pixel of
// the N x N picture the map names the beam and sample it is drawn from and the weights it blends
// the neighbouring beams with; the disc mask gives each row the span of the disc's interior. The
// picture model walks these tables at every ping.

#include "display/PictureKernels.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vexar {

inline constexpr int kMaxPictureSide = 2000;
/// Beams per sample row of the transposed byte image the map points into: every beam the sweep
/// reads plus the next.
inline constexpr std::uint32_t kByteImageStride = 1448;

/// Interpolation weights of the previous beam, the beam itself and the next beam (sum 255).
struct WeightTriple {
    std::int16_t previous = 0;
    std::int16_t same = 0;
    std::int16_t next = 0;
};

/// One pixel map entry; all zero when no sweep step reached the pixel.
struct PixelMapEntry {
    int beam = 0;
    int sample = 0;
    std::uint8_t w0 = 0;
    std::uint8_t w1 = 0;
    std::uint8_t w2 = 0;
};

/// How the angular sweep spreads the beams over the circle.
struct SweepPlan {
    int totalBeams = 0; ///< G: beams spread over 360 degrees
    int subSteps = 0;   ///< O: sweep steps per beam (even, at most 20)
    int steps = 0;      ///< S = G * O
};

/// First and last column (inclusive) of the disc interior in one map row.
struct RowSpan {
    std::int16_t first = 0;
    std::int16_t last = 0;
};

/// The picture the tables are built for.
struct PixelMapGeometry {
    int side = 0; ///< N
    float radius = 0.0f;
    float centreX = 0.0f;
    float centreY = 0.0f;
    int beams = 0;        ///< B, beams per head
    int samples = 0;      ///< P, data points per beam
    int quarterBeams = 0; ///< Q
};

class CPixelMap {
public:
    /// Sizes the tables once for the 2000 x 2000 capacity.
    CPixelMap();

    static SweepPlan PlanSweep(int beamsPerHead);
    static WeightTriple Weight(int index);
    /// Quarter-circle beam count Q for B beams per head (360, 180, 90).
    static int QuarterBeams(int beamsPerHead) { return static_cast<int>(0.75 * beamsPerHead + 0.5); }

    /// Builds the map, the disc mask and the blend weights for a picture.
    void Build(const PixelMapGeometry& geometry);

    PixelMapEntry EntryAt(int x, int y) const;
    RowSpan SpanAt(int y) const { return m_rowSpans[static_cast<std::size_t>(y)]; }
    /// Row y of the map as the per-ping walk reads it: mirrored, one packed code per pixel.
    const std::uint32_t* Row(int y) const { return &m_pixelMap[Offset(0, y)]; }
    const BlendWeights& Weights() const { return m_blendWeights; }

private:
    std::size_t Offset(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_side) + static_cast<std::size_t>(x);
    }
    void Sweep();
    void BuildDiscMask();
    void PrepareForPing();

    PixelMapGeometry m_geometry;
    int m_side = 0;
    std::uint32_t m_drawableLow = 0;  ///< first combined index the picture may draw
    std::uint32_t m_drawableHigh = 0; ///< one past the last
    int m_firstTriple = 0;            ///< weight triple of the sweep's first sub-step
    BlendWeights m_blendWeights;
    std::vector<std::uint32_t> m_pixelMap; ///< packed entries, see CPixelMap.cpp
    std::vector<std::uint8_t> m_discMask;
    std::vector<RowSpan> m_rowSpans;
    std::array<WeightTriple, 20> m_weights{};
};

} // namespace vexar
