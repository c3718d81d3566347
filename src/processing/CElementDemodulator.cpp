#include "processing/CElementDemodulator.h"

#include "common/Numeric.h"
#include "processing/BeamKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vexar {

namespace {

constexpr float kDegToRadSector = 3.1415927f / 180.0f;
constexpr std::size_t kRowFloats = kSampleRowCapacity;
constexpr std::size_t kElementFloats = static_cast<std::size_t>(kElementCount) * kRowFloats;

std::size_t Row(int row) {
    return static_cast<std::size_t>(row) * kRowFloats;
}

// Sample index of a float that may be anything, limited to [lo, hi].
int ClampIndex(float value, int lo, int hi) {
    return std::clamp(TruncToInt(static_cast<double>(std::floor(value))), lo, hi);
}

} // namespace

CElementDemodulator::CElementDemodulator()
    : m_elements(kElementFloats),
      m_demod(static_cast<std::size_t>(kSampleRowCapacity / kDemodBlockSamples) * kDemodBlockFloats) {}

void CElementDemodulator::Clear() {
    // memset, not a fill loop: 0.0f is all zero bits, and a loop is checked element by element in
    // instrumented builds.
    std::memset(m_elements.data(), 0, m_elements.size() * sizeof(float));
    std::memset(m_demod.data(), 0, m_demod.size() * sizeof(float));
}

void CElementDemodulator::LoadElementSamples(const PingSettings& settings, const COndrel& current,
                                             int transducerType, int samples) {
    std::memset(m_elements.data(), 0, m_elements.size() * sizeof(float));
    if (transducerType != 4) {
        return;
    }
    // An inverted head is mirrored left to right by reversing its elements.
    const bool mirrored = settings.transducerUp != 0;
    for (int ch = 0; ch < kElementCount; ++ch) {
        const int element = mirrored ? kElementCount - 1 - ch : ch;
        const std::uint16_t* raw = current.m_rawSamples.data() + static_cast<std::size_t>(ch) * kMaxSamples;
        float* row = m_elements.data() + Row(element);
        for (int i = 0; i < samples; ++i) {
            // 32768 is no signal; the full 16-bit range maps to -1..+1 (exactly, by 2^-15).
            row[i] = (static_cast<float>(raw[i]) - 32768.0f) * (1.0f / 32768.0f);
        }
    }
}

void CElementDemodulator::BuildGainTable(const PingSettings& settings, const COndrel& current, int samples) {
    const int startGainDb = settings.startGainDb;
    const float range = settings.rangeM;
    const int n = samples;
    // The table depends on these four values only; most pings find it built already.
    const GainKey key{range, n, settings.Head(current.m_headIndex).quadrantGainDb, startGainDb};
    if (m_gainKey && *m_gainKey == key) {
        return;
    }
    m_gainKey = key;
    if (n == 500) {
        m_quadStepBase = range * 0.8f;
    } else if (n == 1000) {
        m_quadStepBase = range * 0.4f;
    }
    const float slope = 0.2f * range / static_cast<float>(n);
    const float near = 0.02f * static_cast<float>(n);
    const float k = 20.0f * std::log10(0.02f * range) + 20.0f;
    // Gains are added as integers; a wide type keeps absurd values from overflowing.
    const float g = static_cast<float>(
        static_cast<long long>(settings.Head(current.m_headIndex).quadrantGainDb) + startGainDb);
    const auto level = [&](int i) {
        const float t =
            20.0f * std::log10(static_cast<float>(i) / near) + (g + k) + slope * static_cast<float>(i);
        return std::pow(10.0f, t / 20.0f);
    };
    m_gain.fill(0.0f);
    const int nearEnd = std::min(static_cast<int>(near), kSampleRowCapacity - 1);
    std::fill_n(m_gain.begin(), nearEnd + 1, 1.0f);
    for (int i = nearEnd; i < n; ++i) {
        m_gain[static_cast<std::size_t>(i)] = level(i);
    }
    // Near field: the level of the sample at 0.7 m holds from the first sample.
    const int plateau = ClampIndex(static_cast<float>(n) * 0.7f / range + 0.5f, 0, kSampleRowCapacity);
    const float plateauGain = level(plateau);
    std::fill_n(m_gain.begin(), plateau, plateauGain);
}

void CElementDemodulator::BuildQuadWeights() {
    const float step = 2.34f / (0.5f * m_quadStepBase);
    for (int q = 0; q < 9; ++q) {
        const float angle = (static_cast<float>(q) * step + 45.0f) * kDegToRadSector;
        const float re = -std::cos(angle);
        const float im = -std::sin(angle);
        for (int e = 0; e < 4; ++e) {
            m_quadRe[static_cast<std::size_t>(4 * q + e)] = re;
            m_quadIm[static_cast<std::size_t>(4 * q + e)] = im;
        }
    }
}

void CElementDemodulator::Demodulate(int samples) {
    BuildQuadWeights();
    DemodulateJob job;
    job.elements = m_elements.data();
    job.rowStride = kRowFloats;
    job.demod = m_demod.data();
    job.gain = m_gain.data();
    job.quadRe = m_quadRe.data();
    job.quadIm = m_quadIm.data();
    job.samples = samples;
    constexpr float r = kDemodulatorDamping;
    const float r2 = r * r;
    const float r4 = r2 * r2;
    job.damping8 = r4 * r4;
    for (int m = 1; m <= 3; ++m) {
        job.twiddleRe[static_cast<std::size_t>(m)] = r * std::cos(static_cast<float>(m) * 0.7853982f);
        job.twiddleIm[static_cast<std::size_t>(m)] = r * std::sin(static_cast<float>(m) * 0.7853982f);
    }
    DemodulateElements(job);
}

void CElementDemodulator::MeasureElementLevels(COndrel& current, int samples) {
    const int n = samples;
    for (int k = 0; k < kElementCount; ++k) {
        const float* row = m_elements.data() + Row(k);
        float total = 0.0f;
        for (int i = 0; i < n; ++i) {
            total += std::fabs(row[i]);
        }
        m_elementLevel[static_cast<std::size_t>(k)] = total / static_cast<float>(n);
    }
    float mean = 0.0f;
    for (int k = 0; k < kElementCount; ++k) {
        mean += m_elementLevel[static_cast<std::size_t>(k)];
    }
    mean = mean * 0.0625f;
    for (int k = 0; k < kElementCount; ++k) {
        std::uint8_t status = 0;
        if (mean > 0.5f) {
            status = m_elementLevel[static_cast<std::size_t>(k)] < 0.067f * mean ? 2 : 1;
        }
        m_elementStatus[static_cast<std::size_t>(k)] = status;
        current.m_elementStatus[static_cast<std::size_t>(k)] = status;
    }
}

} // namespace vexar
