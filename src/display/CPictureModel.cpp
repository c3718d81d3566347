#include "display/CPictureModel.h"

#include "display/CMeasureState.h"
#include "display/OverlayLayout.h"
#include "display/PictureKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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
// Beams per sample row of the transposed byte image: every beam the sweep reads plus the next.
constexpr std::uint32_t kImageStride = 1448;
static_assert(kImageStride * kMaxSamples <= kIndexMask + 1u, "positions must fit 21 bits");
constexpr std::size_t kCapacity = static_cast<std::size_t>(kMaxPictureSide) * kMaxPictureSide;

int FloorToInt(float value) {
    return value >= 0.0f ? static_cast<int>(value) : static_cast<int>(std::floor(value));
}

// The beam and sample counts a head can be set to; a damaged settings file is kept inside.
int SafeBeams(int beams) {
    return std::clamp(beams, 1, kMaxBeams);
}

int SafeSamples(int samples) {
    return std::clamp(samples, 1, kMaxSamples);
}

} // namespace

CPictureModel::CPictureModel(WorkerPool& workers)
    : m_picture(kCapacity, 0), m_pixelMap(kCapacity, 0), m_discMask(kCapacity, 0),
      m_rowSpans(kMaxPictureSide), m_hold(kCapacity, 0.0f),
      m_image8(static_cast<std::size_t>(kImageStride) * kMaxSamples + 4, 0), m_workers(workers) {
    for (int i = 0; i < 20; ++i) {
        m_weights[static_cast<std::size_t>(i)] = Weight(i);
    }
    m_tables = BuildColorTables();
}

SweepPlan CPictureModel::PlanSweep(int beamsPerHead) {
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

int CPictureModel::PictureSide(int samples, float zoomFactor) {
    const int p = SafeSamples(samples);
    const float zoom = std::isfinite(zoomFactor) && zoomFactor > 0.0f ? zoomFactor : 1.0f;
    const float wanted = std::min(2.0f * static_cast<float>(p) * zoom, 2.0f * kMaxPictureSide);
    const int side = 4 * ((static_cast<int>(wanted) + 3) / 4);
    return std::clamp(side, 4, kMaxPictureSide);
}

WeightTriple CPictureModel::Weight(int index) {
    const int i = std::clamp(index, 0, 19);
    WeightTriple w;
    w.previous = static_cast<std::int16_t>(static_cast<int>((95 - 5 * i) * 1.28));
    w.same = static_cast<std::int16_t>(static_cast<int>(105 * 1.28));
    w.next = static_cast<std::int16_t>(static_cast<int>(5 * i * 1.28));
    return w;
}

int CPictureModel::QuarterBeams(int beamsPerHead) {
    return static_cast<int>(0.75 * beamsPerHead + 0.5);
}

std::optional<float> CPictureModel::PersistenceDecay(float pingIntervalMs, int persistenceS) {
    if (persistenceS <= 0) {
        return std::nullopt;
    }
    const double interval = pingIntervalMs > 0.0f ? static_cast<double>(pingIntervalMs) : 250.0;
    if (std::floor(interval) >= persistenceS * 1000.0) {
        return std::nullopt;
    }
    return static_cast<float>(80.0 / (persistenceS / (interval * 0.001)));
}

std::span<const std::uint8_t> CPictureModel::Picture() const {
    return {m_picture.data(), static_cast<std::size_t>(m_side) * static_cast<std::size_t>(m_side)};
}

PixelMapEntry CPictureModel::PixelMapAt(int x, int y) const {
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

void CPictureModel::InitialUpdate(const PictureInput& input) {
    const PingSettings& settings = *input.settings;
    m_beams = SafeBeams(settings.beams);
    m_samples = SafeSamples(settings.samples);
    m_quarterBeams = QuarterBeams(m_beams);
    m_displayMode = settings.displayMode;
    m_persistence = settings.persistence;
    SelectColorTable(input.view->colorTable);
    m_profileDisplay = input.view->profileDisplay;
    m_geometrySeen = input.geometryVersion;
    m_clearSeen = input.clearVersion;
    SetZoomFromIndex(input);
    Rebuild(input);
}

void CPictureModel::Resize(const PictureInput& input, int width, int height) {
    if (width <= 0 || height <= 0) {
        return; // minimised: keep what we have
    }
    m_clientWidth = (width + 3) / 4 * 4;
    m_clientHeight = height;
    m_beamTest.assign(static_cast<std::size_t>(m_clientWidth) * static_cast<std::size_t>(m_clientHeight), 0);
    m_beamTestTop = (m_clientWidth / 4 - 8) / 16 * 3 - 2;
    FollowZoomChoice(input.view->zoomIndex);
    if (input.view->zoomIndex == kZoomFillScreen && m_samples > 0) {
        SetZoomFromIndex(input);
        Rebuild(input);
    }
}

void CPictureModel::SetZoomFromIndex(const PictureInput& input) {
    FollowZoomChoice(input.view->zoomIndex);
    const int p = SafeSamples(m_samples > 0 ? m_samples : input.settings->samples);
    float zoom = 1.0f;
    if (input.view->zoomIndex == kZoomHalf) {
        zoom = 0.5f;
    } else if (input.view->zoomIndex == kZoomFillScreen) {
        if (m_clientWidth > 0 && m_clientHeight > 0) {
            zoom = static_cast<float>(std::min(m_clientHeight, m_clientWidth)) / static_cast<float>(p) * 0.5f;
        }
    }
    // A picture larger than the buffers is shown at the largest size they hold; the zoom factor
    // follows so that the grid, the cursor readout and measuring stay true to the picture.
    const float largest = static_cast<float>(kMaxPictureSide) / (2.0f * static_cast<float>(p));
    m_zoomFactor = std::min(zoom, largest);
}

void CPictureModel::CheckGeometry(const PictureInput& input) {
    const PingSettings& settings = *input.settings;
    m_displayMode = settings.displayMode;
    m_persistence = settings.persistence;
    m_profileDisplay = input.view->profileDisplay;
    const int beams = SafeBeams(settings.beams);
    const int samples = SafeSamples(settings.samples);
    m_quarterBeams = QuarterBeams(beams);
    if (beams != m_beams || samples != m_samples || input.geometryVersion != m_geometrySeen || m_side == 0) {
        m_beams = beams;
        m_samples = samples;
        SetZoomFromIndex(input);
        Rebuild(input);
        m_geometrySeen = input.geometryVersion;
    }
}

void CPictureModel::Rebuild(const PictureInput& input) {
    if (m_samples == 0) {
        m_beams = SafeBeams(input.settings->beams);
        m_samples = SafeSamples(input.settings->samples);
        m_quarterBeams = QuarterBeams(m_beams);
    }
    std::fill(m_picture.begin(), m_picture.end(), std::uint8_t{1});
    std::fill(m_hold.begin(), m_hold.end(), 0.0f);
    m_side = PictureSide(m_samples, m_zoomFactor);
    m_radius = static_cast<float>(m_side) / 2.0f;
    m_centreX = m_radius;
    m_centreY = m_radius;
    const PingSettings& settings = *input.settings;
    const float scale = SoundVelocityScale(settings.soundVelocity, settings.rangeCoefficient);
    m_measureScale = settings.rangeM > 0.0f ? m_radius / settings.rangeM * m_zoomFactor * scale : 0.0f;

    // Beam 0 is never drawn; the last readable beam keeps its next neighbour inside the image.
    const int l = 4 * m_quarterBeams + (360 - 90) * m_beams / 120;
    const int high = std::min(l - 1, kCombinedBeams - 1);
    m_drawableLow = kMaxSamples;
    m_drawableHigh = static_cast<std::uint32_t>(std::max(high, 1)) * kMaxSamples;
    m_convertedRows = std::min(PlanSweep(m_beams).totalBeams + 1, static_cast<int>(kImageStride));

    // Slot 0 draws nothing; slot k + 1 holds the triple of sub-step k, whose result is at least 1.
    const SweepPlan plan = PlanSweep(m_beams);
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
    BuildPixelMap();
    BuildDiscMask();
    PreparePixelMapForPing();
}

void CPictureModel::PreparePixelMapForPing() {
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

void CPictureModel::BuildPixelMap() {
    const SweepPlan plan = PlanSweep(m_beams);
    const float delta = (360.0f / static_cast<float>(plan.steps)) * kDegToRad;
    const int lastRadius = static_cast<int>(m_radius) - 2;
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
            int x = FloorToInt(m_centreX + fe * sinA + 0.5f);
            int y = FloorToInt(m_centreY - fe * cosA + 0.5f);
            if (x < 0 || x >= n || y < 0 || y >= n) {
                x = 0;
                y = 0;
            }
            const int sample = FloorToInt(static_cast<float>(e * m_samples) / m_radius + 0.5f);
            m_pixelMap[Offset(x, y)] = code | (beamBase + static_cast<std::uint32_t>(sample));
        }
        angle -= delta;
    }
}

void CPictureModel::BuildDiscMask() {
    const int n = m_side;
    std::fill(m_discMask.begin(), m_discMask.end(), std::uint8_t{0});
    std::fill(m_rowSpans.begin(), m_rowSpans.end(), RowSpan{});
    auto mark = [&](float radius, float angle) {
        const int x = std::clamp(FloorToInt(m_centreX + radius * std::sin(angle) + 0.5f), 0, n - 1);
        const int y = std::clamp(FloorToInt(m_centreY - radius * std::cos(angle) + 0.5f), 0, n - 1);
        m_discMask[Offset(x, y)] = 128;
    };
    const float half = 180.0f * kDegToRad;
    for (const float edge : {-half, half}) {
        for (int e = 0; e < static_cast<int>(m_radius); ++e) {
            mark(static_cast<float>(e), edge);
        }
    }
    float angle = half;
    for (int k = 0; k < kMaskCircleSteps; ++k) {
        mark(m_radius - 1.0f, angle);
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

void CPictureModel::ClearPicture() {
    std::fill(m_picture.begin(), m_picture.end(), std::uint8_t{1});
    std::fill(m_hold.begin(), m_hold.end(), 0.0f);
}

void CPictureModel::Update(const PictureInput& input) {
    CheckGeometry(input);
    const std::array<COndrel, kHeadCount>& heads = *input.heads;
    if (heads[0].m_newData != 0) {
        if (m_displayMode == kDisplayModeBeamTest) {
            for (int k = 0; k < kHeadCount; ++k) {
                if (heads[static_cast<std::size_t>(k)].m_newData != 0) {
                    DrawBeamTestStrip(input, k);
                }
            }
        } else {
            m_turn = TurnOfPicture(input.view->orientation, m_beams, input.topBearingDeg);
            const bool profiles = input.settings->detectProfilePoints != 0;
            if (profiles && m_profileDisplay == kProfileDisplayPointsOnly) {
                std::fill_n(m_picture.begin(), static_cast<std::ptrdiff_t>(Picture().size()),
                            std::uint8_t{0});
            } else {
                int dimShift = 0;
                if (profiles && m_profileDisplay == 1) {
                    dimShift = 1;
                } else if (profiles && m_profileDisplay == 2) {
                    dimShift = 2;
                }
                BuildPicture(input, dimShift, PersistenceDecay(input.displayedPingPeriodMs, m_persistence));
            }
            if (profiles) {
                DrawProfilePoints(input);
            }
        }
    }
    FollowClear(input);
}

bool CPictureModel::FollowClear(const PictureInput& input) {
    if (input.clearVersion == m_clearSeen) {
        return false;
    }
    ClearPicture();
    m_clearSeen = input.clearVersion;
    return true;
}

void CPictureModel::ConvertCombinedImage(const PictureInput& input) {
    // Clamp to bytes and transpose in blocks of 16 beams, so that reads stream along the beams
    // and writes fill 16 neighbouring bytes of each sample row.
    constexpr int kBlock = 16;
    const float* source = input.combinedImage;
    std::uint8_t* target = m_image8.data();
    const int samples = m_samples;
    const int rows = m_convertedRows;
    m_workers.RunSplit((rows + kBlock - 1) / kBlock, [&](int firstBlock, int endBlock) {
        const int b0 = firstBlock * kBlock;
        const int b1 = std::min(endBlock * kBlock, rows);
        ConvertTransposed(source + static_cast<std::size_t>(b0) * kMaxSamples, kMaxSamples, b1 - b0, samples,
                          target + b0, kImageStride);
    });
}

// The picture turned by k beams: column c of the byte image holds combined row (c - k) mod G, so
// that the pixel map built for the head-up picture draws every beam k beams further clockwise.
// Column G, the neighbour the last beam blends with, continues the circle with column 0's row.
void CPictureModel::ConvertTurnedImage(const PictureInput& input) {
    constexpr int kBlock = 16;
    const int sweep = std::min(PlanSweep(m_beams).totalBeams, m_convertedRows - 1);
    const int turn = m_turn.beams % sweep;
    const float* source = input.combinedImage;
    std::uint8_t* target = m_image8.data();
    const int samples = m_samples;
    const int columns = sweep + 1;
    m_workers.RunSplit((columns + kBlock - 1) / kBlock, [&](int firstBlock, int endBlock) {
        const int end = std::min(endBlock * kBlock, columns);
        for (int column = firstBlock * kBlock; column < end;) {
            const int row = (column - turn + sweep) % sweep;
            const int count = std::min(end - column, sweep - row);
            ConvertTransposed(source + static_cast<std::size_t>(row) * kMaxSamples, kMaxSamples, count,
                              samples, target + column, kImageStride);
            column += count;
        }
    });
}

void CPictureModel::BuildPicture(const PictureInput& input, int dimShift, std::optional<float> decay) {
    if (m_turn.beams != 0) {
        ConvertTurnedImage(input);
    } else {
        ConvertCombinedImage(input);
    }
    m_workers.RunSplit(m_side,
                       [&](int firstRow, int endRow) { BuildRows(firstRow, endRow, dimShift, decay); });
}

void CPictureModel::BuildRows(int firstRow, int endRow, int dimShift, std::optional<float> decay) {
    const int n = m_side;
    const std::uint8_t* image = m_image8.data();
    for (int y = firstRow; y < endRow; ++y) {
        std::uint8_t* out = &m_picture[Offset(0, y)];
        const std::uint32_t* map = &m_pixelMap[Offset(0, y)];
        const RowSpan span = m_rowSpans[static_cast<std::size_t>(y)];
        if (span.first > span.last) {
            std::memset(out, 0, static_cast<std::size_t>(n));
            continue;
        }
        // The map is built counter-clockwise and stored mirrored, so beam numbers run clockwise.
        const int c0 = n - 1 - span.last;
        const int c1 = n - 1 - span.first;
        std::memset(out, 0, static_cast<std::size_t>(c0));
        std::memset(out + c1 + 1, 0, static_cast<std::size_t>(n - 1 - c1));
        // Peak hold with linear decay; pixels outside the span stay 0 and so do their holds.
        HoldRow hold;
        if (decay) {
            hold.hold = &m_hold[Offset(c0, y)];
            hold.decay = *decay;
        }
        BlendRow(map + c0, image, out + c0, c1 - c0 + 1, m_blendWeights, dimShift, hold);
    }
}

void CPictureModel::DrawProfilePoints(const PictureInput& input) {
    const int beams = std::min(4 * m_quarterBeams, kCombinedBeams);
    if (m_quarterBeams <= 0) {
        return;
    }
    const float step = 90.0f / static_cast<float>(m_quarterBeams);
    const float lastSample = static_cast<float>(m_samples - 1);
    const float halfSide = static_cast<float>(m_side / 2);
    float angle = -90.0f - step / 2.0f + m_turn.degrees;
    for (int i = 0; i < beams; ++i, angle += step) {
        const float h = input.combinedProfile[static_cast<std::size_t>(i)];
        if (!(h > 0.0f) || h == lastSample || !std::isfinite(h)) {
            continue;
        }
        const float rho = h * halfSide / static_cast<float>(m_samples);
        const float radians = angle * kDegToRad;
        const int x = FloorToInt(m_centreX + rho * std::cos(radians) + 0.5f);
        const int y = FloorToInt(m_centreY + rho * std::sin(radians) + 0.5f);
        if (y > 0 && y < m_side && x >= 0 && x <= m_side - 1) {
            m_picture[Offset(x, y)] = kProfilePointValue;
        }
    }
}

void CPictureModel::DrawBeamTestStrip(const PictureInput& input, int head) {
    const int w = m_clientWidth;
    const int h = m_clientHeight;
    const int q = w / 4;
    const int x0 = head * q + 4;
    const int x1 = (head + 1) * q - 4;
    const int y0 = m_beamTestTop + 20;
    if (q - 8 <= 0 || h - y0 <= 0 || m_beamTest.empty()) {
        return;
    }
    const COndrel& first = (*input.heads)[0];
    const bool reversed = (first.m_transducerType == 1) == (input.settings->transducerUp != 0);
    const auto& raw = (*input.heads)[static_cast<std::size_t>(head)].m_rawSamples;
    const float channelStep = static_cast<float>(kElementCount) / static_cast<float>(q - 8);
    const float sampleStep = static_cast<float>(m_samples) / static_cast<float>(h - y0);
    float samplePos = static_cast<float>(m_samples - 1);
    for (int y = std::max(y0, 0); y < h; ++y, samplePos -= sampleStep) {
        const int sample = std::clamp(static_cast<int>(samplePos), 0, kMaxSamples - 1);
        std::uint8_t* row = &m_beamTest[static_cast<std::size_t>(y) * static_cast<std::size_t>(w)];
        float channelPos = 0.0f;
        for (int x = x0; x < x1 && x < w; ++x, channelPos += channelStep) {
            int channel = std::clamp(static_cast<int>(channelPos), 0, kElementCount - 1);
            if (reversed) {
                channel = kElementCount - 1 - channel;
            }
            const int v = raw[static_cast<std::size_t>(channel * kMaxSamples + sample)];
            row[x] = static_cast<std::uint8_t>(std::min(255, std::abs(v - 32767) / 128));
        }
    }
}

} // namespace vexar
