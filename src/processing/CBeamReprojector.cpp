#include "processing/CBeamReprojector.h"

#include "common/Numeric.h"
#include "processing/BeamKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vexar {

namespace {

constexpr float kDegToRadReprojection = 0.017453292f;
constexpr std::size_t kReprojEntries = static_cast<std::size_t>(kMaxBeams / 2) * kSampleRowCapacity;

} // namespace

CBeamReprojector::CBeamReprojector() : m_runs(kReprojEntries) {}

void CBeamReprojector::Prepare(int beams, int samples, float rangeM) {
    if (m_beams != beams || m_samples != samples || m_range != rangeM) {
        m_beams = beams;
        m_samples = samples;
        m_range = rangeM;
        BuildTable();
    }
}

void CBeamReprojector::BuildTable() {
    const float rangeM = m_range;
    const float c = 120.0f / static_cast<float>(m_beams);
    const int half = m_beams / 2;
    const float d = static_cast<float>(m_samples) * kHeadOffsetM / rangeM;
    std::size_t count = 0;
    m_rowStart[0] = 0;
    m_rowStart[1] = 0;
    for (int i = 1; i < half; ++i) {
        const float cosA = std::cos((180.0f - static_cast<float>(i) * c) * kDegToRadReprojection);
        Run* run = nullptr;
        for (int j = 0; j < m_samples; ++j) {
            const float jf = static_cast<float>(j);
            const float o = jf * jf + d * d - jf * (2.0f * d) * cosA;
            const float t = std::sqrt(o);
            const float ratio = (o + d * d - jf * jf) / (t * (2.0f * d));
            if (std::isnan(ratio)) {
                run = nullptr;
                continue;
            }
            // Rounding can leave the cosine just outside [-1, 1].
            const float u = std::acos(std::clamp(ratio, -1.0f, 1.0f));
            const int a =
                TruncToInt(static_cast<double>(std::floor(u / kDegToRadReprojection / c + c * 0.5f)));
            const int column = TruncToInt(static_cast<double>(std::floor(t)));
            // Points past the row or whose angle falls outside the fan are dropped.
            if (column < 0 || column >= kMaxSamples || a < 0 || a > m_beams) {
                run = nullptr;
                continue;
            }
            if (run != nullptr && run->offset == a && run->column + run->length == column) {
                ++run->length;
                continue;
            }
            run = &m_runs[count++];
            run->firstSample = static_cast<std::int16_t>(j);
            run->length = 1;
            run->offset = static_cast<std::int16_t>(a);
            run->column = static_cast<std::int16_t>(column);
        }
        m_rowStart[static_cast<std::size_t>(i + 1)] = static_cast<int>(count);
    }
}

float* CBeamReprojector::HeadRow(COndrel& current, int row) {
    float* target = current.m_headImage.data() + static_cast<std::size_t>(row) * kMaxSamples;
    bool& cleared = m_rowCleared[static_cast<std::size_t>(row)];
    if (!cleared) {
        std::memset(target, 0, kMaxSamples * sizeof(float)); // 0.0f is all zero bits
        cleared = true;
    }
    return target;
}

void CBeamReprojector::ReprojectPair(COndrel& current, int i, const float* source1, const float* source2) {
    // Source 1 is beam half - i, source 2 beam half + i - 1; both move by the same offset a
    // towards opposite sides. Targets outside the fan are dropped. Every head row is cleared
    // when it is first written, while it is in cache, instead of all of them up front.
    const int half = m_beams / 2;
    const int end = m_rowStart[static_cast<std::size_t>(i + 1)];
    // Near the head the runs are a sample or two long: those are done in place.
    const auto maxInto = [](float* target, const float* source, int length) {
        if (length >= 16) {
            MaxClampedInto(target, source, length);
            return;
        }
        for (int x = 0; x < length; ++x) {
            const float v = std::min(source[x], 255.0f);
            target[x] = std::max(target[x], v);
        }
    };
    for (int r = m_rowStart[static_cast<std::size_t>(i)]; r < end; ++r) {
        const Run& run = m_runs[static_cast<std::size_t>(r)];
        const int a = run.offset;
        if (half + a - 1 < m_beams) {
            maxInto(HeadRow(current, half + a - 1) + run.column, source1 + run.firstSample, run.length);
        }
        if (half - a >= 0) {
            maxInto(HeadRow(current, half - a) + run.column, source2 + run.firstSample, run.length);
        }
    }
}

void CBeamReprojector::ClearUntouchedRows(COndrel& current) {
    // Rows no echo was moved to are empty. Rows from the beam count up were emptied by an
    // earlier ping, unless it had more beams.
    float* head = current.m_headImage.data();
    const int dirtyRows = std::max(m_headRowsUsed, m_beams);
    for (int r = 0; r < dirtyRows; ++r) {
        if (!m_rowCleared[static_cast<std::size_t>(r)]) {
            std::memset(head + static_cast<std::size_t>(r) * kMaxSamples, 0, kMaxSamples * sizeof(float));
        }
    }
    m_headRowsUsed = m_beams;
}

} // namespace vexar
