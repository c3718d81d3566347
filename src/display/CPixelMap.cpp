#include "display/CPixelMap.h"

#include "head/COndrel.h"

#include <algorithm>
#include <cmath>

namespace vexar {

namespace {

constexpr float kDegToRad = 0.017453292f;
constexpr float kMaskStepRad = 0.0008726645f; // 0.05 degree
constexpr int kMaskCircleSteps = 7200;
// A pixel map entry is packed into 32 bits. While the sweep builds the map (map columns,
// counter-clockwise) it holds the combined index and the weight triple + 1 at bit 21. Once built,
// each row is mirrored into picture columns and re-coded for the per-ping walk: bits 0..20 the
// position of the previous beam's sample in the transposed byte image (sample-major, so the
// three beams a pixel blends share one cache line), bits 21..25 the weight slot (0 = not drawn,
// k + 1 for the sweep's sub-step k, whose triple is m_firstTriple + k),
// bits 26..30 the triple + 1 of a reached pixel that is not drawn (beam 0), so that the entry can
// still be reported.
constexpr std::uint32_t kIndexBits = 21;
constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1u;
constexpr std::uint32_t kSlotMask = 31u;
constexpr std::uint32_t kHiddenShift = 26;
constexpr std::uint32_t kImageStride = kByteImageStride;
static_assert(kImageStride * kMaxSamples <= kIndexMask + 1u, "positions must fit 21 bits");
constexpr std::size_t kCapacity = static_cast<std::size_t>(kMaxPictureSide) * kMaxPictureSide;

int FloorToInt(float value) {
    return value >= 0.0f ? static_cast<int>(value) : static_cast<int>(std::floor(value));
}

// The beam count a head can be set to; a damaged settings file is kept inside.
int SafeBeams(int beams) {
    return std::clamp(beams, 1, kMaxBeams);
}

} // namespace

CPixelMap::CPixelMap() : m_pixelMap(kCapacity, 0), m_discMask(kCapacity, 0), m_rowSpans(kMaxPictureSide) {
    for (int i = 0; i < 20; ++i) {
        m_weights[static_cast<std::size_t>(i)] = Weight(i);
    }
}

SweepPlan CPixelMap::PlanSweep(int beamsPerHead) {
    const int b = SafeBeams(beamsPerHead);
    SweepPlan plan;
    plan.totalBeams = b / 120 + 4 * QuarterBeams(b);
    int o = static_cast<int>(360.0 * 15.0 / plan.totalBeams + 0.5);
    if (o % 2 != 0) {
        ++o;
    }
    plan.subSteps = std::clamp(o, 2, 20);
    plan.steps = plan.totalBeams * plan.subSteps;
    return plan;
}

WeightTriple CPixelMap::Weight(int index) {
    const int i = std::clamp(index, 0, 19);
    WeightTriple w;
    w.previous = static_cast<std::int16_t>(static_cast<int>((95 - 5 * i) * 1.28));
    w.same = static_cast<std::int16_t>(static_cast<int>(105 * 1.28));
    w.next = static_cast<std::int16_t>(static_cast<int>(5 * i * 1.28));
    return w;
}

PixelMapEntry CPixelMap::EntryAt(int x, int y) const {
    const std::uint32_t code = m_pixelMap[Offset(m_side - 1 - x, y)];
    PixelMapEntry entry;
    const std::uint32_t slot = (code >> kIndexBits) & kSlotMask;
    const std::uint32_t hidden = (code >> kHiddenShift) & kSlotMask;
    if (slot == 0 && hidden == 0) {
        return entry; // no sweep step reached the pixel
    }
    const std::uint32_t position = code & kIndexMask;
    entry.beam = static_cast<int>(position % kImageStride + (slot != 0 ? 1u : 0u));
    entry.sample = static_cast<int>(position / kImageStride);
    const std::uint32_t triple =
        slot != 0 ? slot - 1 + static_cast<std::uint32_t>(m_firstTriple) : hidden - 1;
    const WeightTriple& w = m_weights[std::min<std::size_t>(triple, m_weights.size() - 1)];
    entry.w0 = static_cast<std::uint8_t>(w.previous);
    entry.w1 = static_cast<std::uint8_t>(w.same);
    entry.w2 = static_cast<std::uint8_t>(w.next);
    return entry;
}

void CPixelMap::Build(const PixelMapGeometry& geometry) {
    m_geometry = geometry;
    m_side = geometry.side;
    // Beam 0 is never drawn; the last readable beam keeps its next neighbour inside the image.
    const int l = 4 * geometry.quarterBeams + (360 - 90) * geometry.beams / 120;
    const int high = std::min(l - 1, kCombinedBeams - 1);
    m_drawableLow = kMaxSamples;
    m_drawableHigh = static_cast<std::uint32_t>(std::max(high, 1)) * kMaxSamples;

    // Slot 0 draws nothing; slot k + 1 holds the triple of sub-step k, whose result is at least 1.
    const SweepPlan plan = PlanSweep(geometry.beams);
    m_firstTriple = 10 - plan.subSteps / 2;
    m_blendWeights = BlendWeights{};
    m_blendWeights.slotCount = plan.subSteps;
    for (int k = 0; k < plan.subSteps; ++k) {
        const WeightTriple& w = m_weights[static_cast<std::size_t>(m_firstTriple + k)];
        const auto slot = static_cast<std::size_t>(k + 1);
        m_blendWeights.outer[slot] = w.previous | (w.next << 16);
        m_blendWeights.inner[slot] = w.same | (1 << 16);
    }
    std::fill(m_pixelMap.begin(), m_pixelMap.end(), 0u);
    Sweep();
    BuildDiscMask();
    PrepareForPing();
}

void CPixelMap::PrepareForPing() {
    const int n = m_side;
    for (int y = 0; y < n; ++y) {
        std::uint32_t* row = &m_pixelMap[Offset(0, y)];
        std::reverse(row, row + n);
        for (int c = 0; c < n; ++c) {
            const std::uint32_t code = row[c];
            if (code == 0) {
                continue;
            }
            const std::uint32_t index = code & kIndexMask;
            const std::uint32_t triple = (code >> kIndexBits) - 1;
            const std::uint32_t slot = triple - static_cast<std::uint32_t>(m_firstTriple) + 1;
            const std::uint32_t beam = index / kMaxSamples;
            const std::uint32_t sample = index % kMaxSamples;
            if (index >= m_drawableLow && index < m_drawableHigh && beam + 1 < kImageStride) {
                row[c] = (sample * kImageStride + beam - 1) | (slot << kIndexBits);
            } else {
                // Beam 0 (the only beam outside the readable range for every beam count): the
                // walk reads a harmless position with zero weights and draws 0.
                row[c] = (beam + 2 < kImageStride ? sample * kImageStride + beam : 0u) |
                         ((triple + 1) << kHiddenShift);
            }
        }
    }
}

void CPixelMap::Sweep() {
    const SweepPlan plan = PlanSweep(m_geometry.beams);
    const float delta = (360.0f / static_cast<float>(plan.steps)) * kDegToRad;
    const float radius = m_geometry.radius;
    const float centreX = m_geometry.centreX;
    const float centreY = m_geometry.centreY;
    const int samples = m_geometry.samples;
    const int lastRadius = static_cast<int>(radius) - 2;
    const int n = m_side;
    float angle = 0.0f;
    for (int s = 0; s < plan.steps; ++s) {
        const int beam = s / plan.subSteps;
        const int sub = s - beam * plan.subSteps;
        const int triple = 10 - plan.subSteps / 2 + sub;
        const std::uint32_t code = static_cast<std::uint32_t>(triple + 1) << kIndexBits;
        const std::uint32_t beamBase = static_cast<std::uint32_t>(beam) * kMaxSamples;
        const float sinA = std::sin(angle);
        const float cosA = std::cos(angle);
        for (int e = 0; e <= lastRadius; ++e) {
            const float fe = static_cast<float>(e);
            int x = FloorToInt(centreX + fe * sinA + 0.5f);
            int y = FloorToInt(centreY - fe * cosA + 0.5f);
            if (x < 0 || x >= n || y < 0 || y >= n) {
                x = 0;
                y = 0;
            }
            const int sample = FloorToInt(static_cast<float>(e * samples) / radius + 0.5f);
            m_pixelMap[Offset(x, y)] = code | (beamBase + static_cast<std::uint32_t>(sample));
        }
        angle -= delta;
    }
}

void CPixelMap::BuildDiscMask() {
    const int n = m_side;
    const float radius = m_geometry.radius;
    const float centreX = m_geometry.centreX;
    const float centreY = m_geometry.centreY;
    std::fill(m_discMask.begin(), m_discMask.end(), std::uint8_t{0});
    std::fill(m_rowSpans.begin(), m_rowSpans.end(), RowSpan{});
    auto mark = [&](float r, float angle) {
        const int x = std::clamp(FloorToInt(centreX + r * std::sin(angle) + 0.5f), 0, n - 1);
        const int y = std::clamp(FloorToInt(centreY - r * std::cos(angle) + 0.5f), 0, n - 1);
        m_discMask[Offset(x, y)] = 128;
    };
    const float half = 180.0f * kDegToRad;
    for (const float edge : {-half, half}) {
        for (int e = 0; e < static_cast<int>(radius); ++e) {
            mark(static_cast<float>(e), edge);
        }
    }
    float angle = half;
    for (int k = 0; k < kMaskCircleSteps; ++k) {
        mark(radius - 1.0f, angle);
        angle -= kMaskStepRad;
    }
    for (int y = 1; y < n; ++y) {
        const std::uint8_t* row = &m_discMask[Offset(0, y)];
        int first = 0;
        for (int x = 0; x < n; ++x) {
            if (row[x] >= 128) {
                first = x + 1 >= n - 1 ? 0 : x + 1;
                break;
            }
        }
        int last = 1;
        for (int x = n - 1; x >= 0; --x) {
            if (row[x] >= 128) {
                last = x - 1 <= 0 ? 1 : x - 1;
                break;
            }
        }
        m_rowSpans[static_cast<std::size_t>(y)] =
            RowSpan{static_cast<std::int16_t>(first), static_cast<std::int16_t>(last)};
    }
}

} // namespace vexar
