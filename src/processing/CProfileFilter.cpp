#include "processing/CProfileFilter.h"

#include "common/Numeric.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace vexar {

namespace {

constexpr float kDegToRadFilter = 0.017453293f;
constexpr int kNoUpperBound = std::numeric_limits<int>::max();

// First i in [from, end) with row[i] > threshold, or end. Most of a row is below the threshold:
// it is skipped sixteen samples at a time.
int FirstAbove(const float* row, int from, int end, float threshold) {
    using Floats = float __attribute__((vector_size(16)));
    using Mask = int __attribute__((vector_size(16)));
    const Floats limit = {threshold, threshold, threshold, threshold};
    int i = from;
    for (; i + 16 <= end; i += 16) {
        Mask above{};
        for (int k = 0; k < 16; k += 4) {
            Floats v;
            std::memcpy(&v, row + i + k, sizeof v);
            above |= v > limit;
        }
        if ((above[0] | above[1] | above[2] | above[3]) != 0) {
            break;
        }
    }
    while (i < end && !(row[i] > threshold)) {
        ++i;
    }
    return i;
}

// Echo scan over one beam row. Samples at or beyond the sample count read as 0.
class EchoScanner {
public:
    // The scan looks first at the sample after `start`; a start before the row begins at 0.
    EchoScanner(const float* row, int samples, int start)
        : m_row(row), m_samples(samples), m_i(std::clamp(start, -1, samples)) {}

    /// Looks for the next sample above `threshold` and below `upper`. Returns true when an echo
    /// starts there; the echo's start, peak and sum are then set.
    bool Search(float threshold, int upper = kNoUpperBound) {
        const int end = std::min(m_samples, upper);
        m_i = m_i + 1 < end ? FirstAbove(m_row, m_i + 1, end, threshold) : m_i + 1;
        const bool found = m_i < m_samples - 1 && m_i + 1 < upper;
        if (found) {
            m_start = m_i;
            m_peak = m_row[m_i];
            m_sum = m_row[m_i];
        }
        return found;
    }

    /// Extends the echo up to the first sample below `threshold` (first-return rule).
    void ExtendPeak(float threshold) {
        do {
            ++m_i;
            m_peak = std::max(m_peak, At(m_i));
        } while (!(m_i >= m_samples || m_row[m_i] < threshold));
        SetEnd();
    }

    /// Extends the echo summing its samples, the first one below `threshold` included.
    void ExtendSum(float threshold) {
        do {
            const float next = At(m_i + 1);
            m_sum += next;
            m_peak = std::max(m_peak, next);
            ++m_i;
        } while (!(m_i >= m_samples || m_row[m_i] < threshold));
        SetEnd();
    }

    int Start() const { return m_start; }
    int End() const { return m_end; }
    int Centre() const { return (m_start + m_end) / 2; }
    float Peak() const { return m_peak; }
    float Sum() const { return m_sum; }

private:
    float At(int i) const { return i < m_samples ? m_row[i] : 0.0f; }
    // An echo that runs to the end of the beam keeps the previous end (0 for the first echo).
    void SetEnd() {
        if (m_i < m_samples - 1) {
            m_end = m_i;
        }
    }

    const float* m_row;
    int m_samples;
    int m_i;
    int m_start = 0;
    int m_end = 0;
    float m_peak = 0.0f;
    float m_sum = 0.0f;
};

int FloorToInt(float value) {
    return TruncToInt(static_cast<double>(std::floor(value)));
}

int JumpLimit(int beamsIndex) {
    switch (beamsIndex) {
    case 1:
        return 20;
    case 2:
        return 40;
    default:
        return 10;
    }
}

} // namespace

float CProfileFilter::FilterBeamAngleRad(const PingSettings& settings, int beam) const {
    const float azimuthRad = static_cast<float>(settings.heads[0].azimuth / 10) * kDegToRadFilter;
    const float beamStep = m_image.beamStepRad;
    return static_cast<float>(beam) * beamStep + (azimuthRad + beamStep * 0.5f - m_image.halfWidthRad);
}

void CProfileFilter::Reset() {
    std::fill_n(m_bottomRange.begin(), kMaxBeams, 500.0f);
}

void CProfileFilter::Run(const PingSettings& settings, const ProfileImage& image) {
    m_image = image;
    std::fill_n(m_profilePosition.begin(), m_image.beams, 0.0f);
    std::fill_n(m_profileIntensity.begin(), m_image.beams, 0);
    switch (settings.profileFilterType) {
    case 0:
        RunFirstReturn(settings);
        break;
    case 1:
        RunMaximumReturn(settings);
        break;
    case 2:
        RunBottomFollowing(settings);
        break;
    default:
        break;
    }
}

void CProfileFilter::RunFirstReturn(const PingSettings& settings) {
    const float range = settings.rangeM;
    const float threshold = static_cast<float>(settings.detectionThresholdPct) * 255.0f / 100.0f;
    const int nearIndex =
        FloorToInt(std::max(0.0f, static_cast<float>(settings.nearLimitCm) / 100.0f) * 500.0f / range + 0.5f);
    // These two use 500 samples whatever the sample count is.
    const float w1 = static_cast<float>(settings.windowStartMm) * 500.0f / 1000.0f / range + 0.5f;
    const float w2 = static_cast<float>(settings.windowEndMm) * 500.0f / 1000.0f / range + 0.5f;
    for (int b = 0; b < m_image.beams; ++b) {
        const float cosAlpha = std::cos(FilterBeamAngleRad(settings, b));
        int lo = cosAlpha > 0.0f ? FloorToInt(w1 / cosAlpha) : FloorToInt(w1);
        int hi = cosAlpha > 0.0f ? FloorToInt(w2 / cosAlpha) : FloorToInt(w2);
        lo = std::max(lo, nearIndex);
        hi = std::max(hi, nearIndex);
        const float* row = ImageRow(b);
        EchoScanner scan(row, m_image.samples, lo);
        int position1 = 0, width1 = 0, position2 = 0, width2 = 0;
        float peak1 = 0.0f, peak2 = 0.0f;
        bool found2 = false;
        if (scan.Search(threshold, hi)) {
            scan.ExtendPeak(threshold);
            position1 = scan.Centre();
            width1 = scan.End() - scan.Start();
            peak1 = scan.Peak();
        }
        if (scan.Search(threshold * 0.5f, hi)) {
            scan.ExtendPeak(threshold * 0.5f);
            position2 = scan.Centre();
            width2 = scan.End() - scan.Start();
            peak2 = scan.Peak();
            found2 = true;
        }
        float position = static_cast<float>(position1);
        float peak = peak1;
        if (position2 > 0 && b > 0) {
            const float previous = m_chosenPosition[static_cast<std::size_t>(b - 1)];
            if (std::floor(std::fabs(previous - static_cast<float>(position2))) <=
                std::floor(std::fabs(previous - static_cast<float>(position1)))) {
                position = static_cast<float>(position2);
                peak = peak2;
            }
        }
        // An echo that ran to the end has a negative width; an empty second pass must not win
        // over it.
        if (found2 && width2 > width1) {
            position = static_cast<float>(position2);
            peak = peak2;
        }
        m_chosenPosition[static_cast<std::size_t>(b)] = position;
        m_chosenPeak[static_cast<std::size_t>(b)] = peak;
    }
    KeepSteadyPoints(settings);
}

void CProfileFilter::RunMaximumReturn(const PingSettings& settings) {
    const float range = settings.rangeM;
    const float n = static_cast<float>(m_image.samples);
    const float threshold = static_cast<float>(settings.detectionThresholdPct) * 255.0f / 100.0f;
    const int nearIndex = FloorToInt(n * 0.25f / range + 0.5f);
    const float w1 = static_cast<float>(settings.windowStartMm) * n / 1000.0f / range + 0.5f;
    const float w2 = static_cast<float>(settings.windowEndMm) * n / 1000.0f / range + 0.5f;
    for (int b = 0; b < m_image.beams; ++b) {
        const float cosAlpha = std::cos(FilterBeamAngleRad(settings, b));
        const float* row = ImageRow(b);
        EchoScanner scan(row, m_image.samples, nearIndex);
        float best = threshold;
        float position = 0.0f;
        float peak = 0.0f;
        for (int echo = 0; echo < 2; ++echo) {
            if (!scan.Search(threshold)) {
                break;
            }
            scan.ExtendSum(threshold);
            const float depth = static_cast<float>(scan.Centre()) * cosAlpha;
            if (best <= scan.Sum() && w1 <= depth && depth <= w2) {
                best = scan.Sum();
                position = static_cast<float>(scan.Centre());
                peak = scan.Peak();
            }
        }
        m_chosenPosition[static_cast<std::size_t>(b)] = position;
        m_chosenPeak[static_cast<std::size_t>(b)] = peak;
    }
    KeepSteadyPoints(settings);
    for (int b = 0; b < m_image.beams; ++b) {
        const std::size_t at = static_cast<std::size_t>(b);
        if (m_profilePosition[at] > n) {
            m_profilePosition[at] = 0.0f;
        }
        if (m_profilePosition[at] <= 0.0f) {
            m_profilePosition[at] = 0.0f;
            m_profileIntensity[at] = 0;
        }
    }
}

void CProfileFilter::KeepSteadyPoints(const PingSettings& settings) {
    // A point that jumps away from either neighbour is an outlier; the first and last beams have
    // only one neighbour and keep no point.
    const float jump = static_cast<float>(JumpLimit(settings.beamsIndex));
    for (int b = 1; b < m_image.beams - 1; ++b) {
        const std::size_t at = static_cast<std::size_t>(b);
        const float p = m_chosenPosition[at];
        m_profilePosition[at] = p;
        m_profileIntensity[at] = std::min(FloorToInt(m_chosenPeak[at]), 255);
        if (std::fabs(p - m_chosenPosition[at - 1]) >= jump ||
            std::fabs(p - m_chosenPosition[at + 1]) >= jump) {
            m_profilePosition[at] = 0.0f;
            m_profileIntensity[at] = 0;
        }
    }
}

void CProfileFilter::RunBottomFollowing(const PingSettings& settings) {
    const float range = settings.rangeM;
    const float n = static_cast<float>(m_image.samples);
    const float threshold = static_cast<float>(settings.detectionThresholdPct) * 255.0f / 100.0f;
    const int nearIndex = FloorToInt(n * 0.25f / range + 0.5f);
    const float w1 = static_cast<float>(settings.windowStartMm) * n / 1000.0f / range;
    const float w2 = static_cast<float>(settings.windowEndMm) * n / 1000.0f / range;
    for (int b = 1; b < m_image.beams; ++b) {
        const std::size_t at = static_cast<std::size_t>(b);
        const float upper = std::min(1.1f * m_bottomRange[at], w2);
        const float cosAlpha = std::cos(FilterBeamAngleRad(settings, b));
        const float* row = ImageRow(b);
        EchoScanner scan(row, m_image.samples, nearIndex);
        if (!scan.Search(threshold)) {
            continue;
        }
        scan.ExtendSum(threshold);
        const float depth = static_cast<float>(scan.Centre()) * cosAlpha;
        if (threshold <= scan.Sum() && w1 <= depth && depth <= upper) {
            m_profilePosition[at] = static_cast<float>(scan.Centre());
            m_profileIntensity[at] = FloorToInt(scan.Peak());
        }
    }
    for (int b = 0; b < m_image.beams; ++b) {
        const std::size_t at = static_cast<std::size_t>(b);
        if (m_profilePosition[at] > n) {
            m_profilePosition[at] = 0.0f;
        }
        if (m_profilePosition[at] == 0.0f) {
            m_profileIntensity[at] = 0;
        }
        if (m_profileIntensity[at] > 255) {
            m_profileIntensity[at] = 255;
        }
    }
}

} // namespace vexar
