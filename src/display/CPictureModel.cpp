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
// Beams per sample row of the transposed byte image: every beam the sweep reads plus the next.
constexpr std::uint32_t kImageStride = kByteImageStride;
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
    : m_picture(kCapacity, 0), m_hold(kCapacity, 0.0f),
      m_image8(static_cast<std::size_t>(kImageStride) * kMaxSamples + 4, 0), m_workers(workers) {
    m_tables = BuildColorTables();
}

int CPictureModel::PictureSide(int samples, float zoomFactor) {
    const int p = SafeSamples(samples);
    const float zoom = std::isfinite(zoomFactor) && zoomFactor > 0.0f ? zoomFactor : 1.0f;
    const float wanted = std::min(2.0f * static_cast<float>(p) * zoom, 2.0f * kMaxPictureSide);
    const int side = 4 * ((static_cast<int>(wanted) + 3) / 4);
    return std::clamp(side, 4, kMaxPictureSide);
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
    m_beamTest.Resize(m_clientWidth, m_clientHeight);
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
    m_convertedRows = std::min(PlanSweep(m_beams).totalBeams + 1, static_cast<int>(kImageStride));
    m_pixelMap.Build(
        PixelMapGeometry{m_side, m_radius, m_centreX, m_centreY, m_beams, m_samples, m_quarterBeams});
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
                    m_beamTest.DrawStrip(*input.heads, *input.settings, m_samples, k);
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
        const std::uint32_t* map = m_pixelMap.Row(y);
        const RowSpan span = m_pixelMap.SpanAt(y);
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
        BlendRow(map + c0, image, out + c0, c1 - c0 + 1, m_pixelMap.Weights(), dimShift, hold);
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

} // namespace vexar
