#include "processing/CCombinedImage.h"

#include "head/SampleBytes.h"

#include <algorithm>
#include <cstring>

namespace vexar {

namespace {
int SafeSampleCount(int samples) {
    return std::clamp(samples, 0, kMaxSamples);
}
} // namespace

CCombinedImage::CCombinedImage(const std::array<COndrel, kHeadCount>& heads)
    : m_heads(heads), m_image(static_cast<std::size_t>(kCombinedBeams) * kMaxSamples, 0.0f) {}

void CCombinedImage::BeginPing(const CombinedLayout& layout, const std::array<bool, kHeadCount>& fresh) {
    m_layout = layout;
    m_layout.samples = SafeSampleCount(layout.samples);
    // The plan writes the rows of four heads and the wrap margin at the most.
    m_rowsUsed = std::max(m_rowsUsed, std::clamp(4 * m_layout.perHead + kWrapMarginRows, 0, kCombinedBeams));
    m_samplesUsed = std::max(m_samplesUsed, m_layout.samples);
    if (m_layout.recordBytes) {
        m_bytes.resize(m_image.size());
    }
    PlanRows(fresh);
    MoveKeptRows();
    for (int k = 0; k < kHeadCount; ++k) {
        if (!fresh[static_cast<std::size_t>(k)]) {
            HeadProcessed(k);
        }
    }
}

void CCombinedImage::PlanHeadRows(int head, int firstRow, int rowCount, int toRow) {
    for (int r = 0; r < rowCount; ++r) {
        const int from = firstRow + r;
        const int to = toRow + r;
        if (from < 0 || from >= kMaxBeams || to < 0 || to >= kCombinedBeams) {
            continue;
        }
        m_plan[static_cast<std::size_t>(to)] = {static_cast<std::int16_t>(head),
                                                static_cast<std::int16_t>(from)};
    }
}

// The full circle is assembled by copying each fresh head's central rows (with a margin of the
// next rows) side by side, swapping heads 1 and 3 for an inverted assembly, rotating everything
// up by half a head sector and appending head 0's first rows. The copies are worked out on row
// numbers first, so that every row is written once, straight from its source.
void CCombinedImage::PlanRows(const std::array<bool, kHeadCount>& fresh) {
    const int t = m_layout.perHead;
    const int f = m_layout.firstCentral;
    const int j = m_layout.quadrant;
    for (int r = 0; r < kCombinedBeams; ++r) {
        m_plan[static_cast<std::size_t>(r)] = {-1, static_cast<std::int16_t>(r)};
    }
    for (int k = 0; k < kHeadCount; ++k) {
        if (fresh[static_cast<std::size_t>(k)]) {
            PlanHeadRows(k, f, t + kWrapMarginRows, k * t);
        }
    }
    if (m_layout.transducerUp) {
        PlanHeadRows(3, f, t, t);
        PlanHeadRows(1, f, t + kWrapMarginRows, 3 * t);
    }
    // Rotate by half a head sector so that the circle starts at the centre of head 0.
    for (int r = 0; r <= 4 * t - j + 9; ++r) {
        const int from = r + j;
        if (from >= kCombinedBeams) {
            break;
        }
        m_plan[static_cast<std::size_t>(r)] = m_plan[static_cast<std::size_t>(from)];
    }
    PlanHeadRows(0, f, j + kWrapMarginRows, 4 * t - j);
}

void CCombinedImage::MoveKeptRows() {
    // Rows of heads without new data move down with the rotation. Sources lie above their
    // targets, so moving in ascending order reads every source before it is overwritten.
    const std::size_t samples = static_cast<std::size_t>(m_layout.samples);
    for (int r = 0; r < kCombinedBeams; ++r) {
        const RowSource source = m_plan[static_cast<std::size_t>(r)];
        if (source.head >= 0 || source.row == r) {
            continue;
        }
        std::copy_n(m_image.begin() + static_cast<std::ptrdiff_t>(source.row) * kMaxSamples, samples,
                    m_image.begin() + static_cast<std::ptrdiff_t>(r) * kMaxSamples);
        m_profile[static_cast<std::size_t>(r)] = m_profile[static_cast<std::size_t>(source.row)];
    }
}

void CCombinedImage::HeadProcessed(int head) {
    const std::size_t samples = static_cast<std::size_t>(m_layout.samples);
    const COndrel& source = m_heads[static_cast<std::size_t>(head)];
    // Every head scans the whole plan: plain pointers keep the scan cheap in checked builds.
    const RowSource* const plan = m_plan.data();
    const float* const headImage = source.m_headImage.data();
    float* const image = m_image.data();
    std::uint8_t* const bytes = m_layout.recordBytes ? m_bytes.data() : nullptr;
    for (int r = 0; r < kCombinedBeams; ++r) {
        const RowSource from = plan[r];
        if (from.head != head) {
            continue;
        }
        const float* const row = headImage + static_cast<std::ptrdiff_t>(from.row) * kMaxSamples;
        std::memcpy(image + static_cast<std::ptrdiff_t>(r) * kMaxSamples, row, samples * sizeof(float));
        if (bytes != nullptr) {
            SampleBytes(row, bytes + static_cast<std::ptrdiff_t>(r) * kMaxSamples, samples);
        }
        m_profile[static_cast<std::size_t>(r)] = source.m_beamProfile[static_cast<std::size_t>(from.row)];
    }
}

void CCombinedImage::CleanProfile(int rows, int samples) {
    const float last = static_cast<float>(samples) - 1.0f;
    for (int i = 0; i < std::clamp(rows, 0, kCombinedBeams); ++i) {
        float& p = m_profile[static_cast<std::size_t>(i)];
        if (!(p > 0.0f) || !(p < last)) {
            p = 0.0f;
        }
    }
}

std::span<const std::uint8_t* const> CCombinedImage::ConvertedRows() {
    for (int r = 0; r < kCombinedBeams; ++r) {
        m_convertedRows[static_cast<std::size_t>(r)] =
            m_plan[static_cast<std::size_t>(r)].head >= 0
                ? m_bytes.data() + static_cast<std::ptrdiff_t>(r) * kMaxSamples
                : nullptr;
    }
    return m_convertedRows;
}

void CCombinedImage::Clear(WorkerPool& workers) {
    // Only what the pings wrote since the last clear, shared among the workers: memset (0.0f is
    // all zero bits), which stays one call a row in instrumented builds too, where a fill loop is
    // checked and counted element by element.
    float* image = m_image.data();
    const auto samples = static_cast<std::size_t>(m_samplesUsed);
    workers.RunSplit(m_rowsUsed, [image, samples](int first, int end) {
        for (int r = first; r < end; ++r) {
            std::memset(image + static_cast<std::size_t>(r) * kMaxSamples, 0, samples * sizeof(float));
        }
    });
    m_profile.fill(0.0f);
    m_layout.recordBytes = false;
    m_rowsUsed = 0;
    m_samplesUsed = 0;
}

} // namespace vexar
