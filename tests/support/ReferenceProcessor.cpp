#include "support/ReferenceProcessor.h"

#include "common/Numeric.h"

#include <algorithm>
#include <cmath>

namespace vexar::test {

namespace {
int FloorInt(float v) {
    return TruncToInt(static_cast<double>(std::floor(v)));
}
} // namespace

ReferenceProcessor::ReferenceProcessor()
    : m_elem(16 * kRow), m_I(16 * kRow), m_Q(16 * kRow), m_out1(kRow), m_out2(kRow), m_sums(4 * kRow),
      m_tvg(kRow), m_image(480 * kRow), m_avgSum(480 * kRow),
      m_history(static_cast<std::size_t>(kSlots) * 480 * kRow), m_cosTable(480 * 16), m_sinTable(480 * 16) {}

void ReferenceProcessor::InitialiseProcessor(const PingSettings& settings, const COndrel* current) {
    m_nSamples = std::clamp(settings.samples, 1, 1000);
    m_nBeams = std::clamp(settings.beams, 1, 480);
    m_freqKHz = settings.baseFrequencyKHz;
    m_freqHz = static_cast<float>(m_freqKHz) * 1000.0f;
    m_pitch = 0.0010668f;
    m_widthDeg = settings.sectorWidthDeg;
    m_halfRad = m_widthDeg * 0.5f * (3.1415927f / 180.0f);
    m_delta = 2.0f * m_halfRad / static_cast<float>(m_nBeams);
    // 1. element rows, 2. demodulator output rows
    std::fill(m_elem.begin(), m_elem.end(), 0.0f);
    std::fill(m_out1.begin(), m_out1.end(), 0.0f);
    std::fill(m_out2.begin(), m_out2.end(), 0.0f);
    // 3. omega
    m_omega = static_cast<float>(2.0 * 3.14159265358979 * static_cast<double>(m_freqHz));
    // 4. averaging
    ClearAveraging();
    // 5. image gain base 0.5 is folded into the width constants.
    // 6. gain table when a current head is set
    if (current != nullptr) {
        BuildTvg(settings, *current);
    }
    // 7. steering tables
    BuildSteeringTables(settings.soundVelocity);
    // 8. bottom ranges
    m_bottom.fill(500.0f);
}

void ReferenceProcessor::ClearAveraging() {
    // Slots never written since the last clear hold zeros already.
    for (int h = 0; h < std::min(m_slotsWritten, kSlots); ++h) {
        for (int b = 0; b < m_nBeams; ++b) {
            for (int s = 0; s < m_nSamples; ++s) {
                m_history[static_cast<std::size_t>(h) * 480 * kRow + At(b, s)] = 0.0f;
            }
        }
    }
    for (int b = 0; b < m_nBeams; ++b) {
        for (int s = 0; s < m_nSamples; ++s) {
            m_avgSum[At(b, s)] = 0.0f;
        }
    }
    m_ring = 0;
    m_slotsWritten = 0;
}

void ReferenceProcessor::BuildSteeringTables(float c) {
    m_delta = 2.0f * m_halfRad / static_cast<float>(m_nBeams);
    float w[16];
    for (int k = 0; k < 16; ++k) {
        w[k] = 0.54f - 0.46f * std::cos(static_cast<float>(k) * 6.2831855f * 0.0625f);
    }
    for (int b = 0; b < m_nBeams; ++b) {
        const float theta = static_cast<float>(b) * m_delta + (m_delta * 0.5f - m_halfRad);
        const float s = std::sin(theta) * m_pitch / c;
        for (int k = 0; k < 16; ++k) {
            const float phi = (static_cast<float>(k) - 7.5f) * s * m_omega;
            m_cosTable[static_cast<std::size_t>(b * 16 + k)] = std::cos(phi) * w[k];
            m_sinTable[static_cast<std::size_t>(b * 16 + k)] = std::sin(phi) * w[k];
        }
    }
}

void ReferenceProcessor::LoadElementSamples(const PingSettings& settings, const COndrel& current) {
    std::fill(m_elem.begin(), m_elem.end(), 0.0f);
    if (m_xdcr != 4) {
        return;
    }
    for (int i = 0; i < m_nSamples; ++i) {
        for (int ch = 0; ch < 16; ++ch) {
            const int row = settings.transducerUp == 0 ? ch : 15 - ch;
            m_elem[At(row, i)] =
                static_cast<float>(current.m_rawSamples[static_cast<std::size_t>(ch * 1000 + i)]);
        }
    }
    for (int k = 0; k < 16; ++k) {
        for (int i = 0; i < m_nSamples; ++i) {
            m_elem[At(k, i)] = (m_elem[At(k, i)] - 32768.0f) * 0.000030517578125f;
        }
    }
}

void ReferenceProcessor::BuildTvg(const PingSettings& settings, const COndrel& current) {
    const float R = settings.rangeM;
    const int N = m_nSamples;
    if (N == 500) {
        m_F = R * 0.8f;
    } else if (N == 1000) {
        m_F = R * 0.4f;
    }
    const float a = 0.2f * R / static_cast<float>(N);
    const float i0 = 0.02f * static_cast<float>(N);
    const float K = 20.0f * std::log10(0.02f * R) + 20.0f;
    const long long gInt =
        static_cast<long long>(settings.Head(current.m_headIndex).quadrantGainDb) + settings.startGainDb;
    const float G = static_cast<float>(gInt);
    std::fill(m_tvg.begin(), m_tvg.end(), 0.0f);
    const int i0Floor = static_cast<int>(std::floor(i0));
    for (int i = 0; i <= i0Floor && i < kRow; ++i) {
        m_tvg[static_cast<std::size_t>(i)] = 1.0f;
    }
    for (int i = i0Floor; i < N; ++i) {
        const float T = 20.0f * std::log10(static_cast<float>(i) / i0) + (G + K) + a * static_cast<float>(i);
        m_tvg[static_cast<std::size_t>(i)] = std::pow(10.0f, T / 20.0f);
    }
    const int e = std::clamp(FloorInt(static_cast<float>(N) * 0.7f / R + 0.5f), 0, kRow);
    const float Te = 20.0f * std::log10(static_cast<float>(e) / i0) + (G + K) + a * static_cast<float>(e);
    for (int i = 0; i < e; ++i) {
        m_tvg[static_cast<std::size_t>(i)] = std::pow(10.0f, Te / 20.0f);
    }
}

void ReferenceProcessor::Demodulate() {
    const int N = m_nSamples;
    // 1.
    std::fill(m_I.begin(), m_I.end(), 0.0f);
    std::fill(m_Q.begin(), m_Q.end(), 0.0f);
    // 2. signed log compression
    for (int k = 0; k < 16; ++k) {
        for (int i = 0; i < N; ++i) {
            float v = m_elem[At(k, i)] * m_tvg[static_cast<std::size_t>(i)];
            if (v <= 0.0f) {
                v = v - 1.0f;
            } else {
                v = v + 1.0f;
            }
            m_elem[At(k, i)] = v >= 0.0f ? std::log10(v) : -std::log10(-v);
        }
    }
    const float r = 0.99995f;
    float r8 = r * r;
    r8 = r8 * r8;
    r8 = r8 * r8;
    float Tre[4], Tim[4];
    for (int m = 0; m < 4; ++m) {
        Tre[m] = r * std::cos(static_cast<float>(m) * 0.7853982f);
        Tim[m] = r * std::sin(static_cast<float>(m) * 0.7853982f);
    }
    for (int k = 0; k < 16; ++k) {
        // 3. quad weights, rebuilt before each element
        const float g = 2.34f / (0.5f * m_F);
        for (int q = 0; q < 9; ++q) {
            const float ang = (static_cast<float>(q) * g + 45.0f) * (3.1415927f / 180.0f);
            for (int e = 0; e < 4; ++e) {
                m_wRe[static_cast<std::size_t>(4 * q + e)] = -std::cos(ang);
                m_wIm[static_cast<std::size_t>(4 * q + e)] = -std::sin(ang);
            }
        }
        // 4. damped sliding DFT
        float line[8] = {};
        float Sre[4] = {}, Sim[4] = {};
        for (int n = 0; n <= N + 3; ++n) {
            const float x = n < N ? m_elem[At(k, n)] : 0.0f;
            const float x8 = line[n % 8];
            line[n % 8] = x;
            const float delta = r8 * x8 - x;
            for (int m = 1; m <= 3; ++m) {
                const float pr = Tre[m] * Sre[m] - Tim[m] * Sim[m];
                const float pi = Tre[m] * Sim[m] + Tim[m] * Sre[m];
                Sre[m] = delta + pr;
                Sim[m] = pi;
            }
            const float sumRe = Sre[3] - (Sre[2] - (Sre[1] - 0.0f));
            const float sumIm = Sim[3] - (Sim[2] - (Sim[1] - 0.0f));
            m_out1[static_cast<std::size_t>(n)] = m_wRe[static_cast<std::size_t>(k)] * sumRe;
            m_out2[static_cast<std::size_t>(n)] = m_wIm[static_cast<std::size_t>(k)] * sumIm;
        }
        for (int l = 0; l <= N + 3; ++l) {
            m_I[At(k, l)] = 0.5f * m_out1[static_cast<std::size_t>(l + 4)];
            m_Q[At(k, l)] = 0.5f * m_out2[static_cast<std::size_t>(l + 4)];
            m_elem[At(k, l)] = (m_I[At(k, l)] + m_Q[At(k, l)]) * 0.5f;
        }
    }
}

void ReferenceProcessor::ElementLevels(COndrel& current) {
    for (int k = 0; k < 16; ++k) {
        float s = 0.0f;
        for (int i = 0; i < m_nSamples; ++i) {
            s += std::fabs(m_elem[At(k, i)]);
        }
        m_level[static_cast<std::size_t>(k)] = s / static_cast<float>(m_nSamples);
    }
    float m = 0.0f;
    for (int k = 0; k < 16; ++k) {
        m += m_level[static_cast<std::size_t>(k)];
    }
    m = m * 0.0625f;
    for (int k = 0; k < 16; ++k) {
        std::uint8_t st;
        if (m <= 0.5f || std::isnan(m)) {
            st = 0;
        } else if (m_level[static_cast<std::size_t>(k)] < 0.067f * m) {
            st = 2;
        } else {
            st = 1;
        }
        m_status[static_cast<std::size_t>(k)] = st;
        current.m_elementStatus[static_cast<std::size_t>(k)] = st;
    }
}

void ReferenceProcessor::FormBeams(const PingSettings& settings) {
    const int N = m_nSamples;
    const int width = settings.beamWidth;
    if (width < 0 || width > 2) {
        return;
    }
    const float dg = static_cast<float>(settings.displayGain);
    const int jLast = 4 * ((N - 5) / 4) + 3;
    float* Are = m_sums.data();
    float* Bre = m_sums.data() + kRow;
    float* Aim = m_sums.data() + 2 * kRow;
    float* Bim = m_sums.data() + 3 * kRow;
    for (int b = 0; b < m_nBeams; ++b) {
        for (int k = 0; k < 16; ++k) {
            const float C = m_cosTable[static_cast<std::size_t>(b * 16 + k)];
            const float S = m_sinTable[static_cast<std::size_t>(b * 16 + k)];
            float* re = k < 8 ? Are : Bre;
            float* im = k < 8 ? Aim : Bim;
            for (int j = 0; j <= jLast; ++j) {
                re[j] += m_I[At(k, j)] * C - m_Q[At(k, j)] * S;
                im[j] += m_Q[At(k, j)] * C + m_I[At(k, j)] * S;
            }
        }
        for (int j = 1; j <= N - 1; ++j) {
            const float P = Are[j] * Bre[j] + Aim[j] * Bim[j];
            const float Qx = Bre[j] * Aim[j] - Bim[j] * Are[j];
            Are[j] = 0.0f;
            Bre[j] = 0.0f;
            Aim[j] = 0.0f;
            Bim[j] = 0.0f;
            const float x = P * P / (P * P + Qx * Qx + 1.0f);
            const float x2 = x * x, x3 = x2 * x, x4 = x3 * x, x5 = x4 * x;
            float value = 0.0f;
            bool store = j <= N - 2;
            if (width == 0) {
                value = P * (0.5f * 0.15f * dg) * x;
            } else if (width == 1) {
                const float D =
                    0.5034f + 0.0783f * x - 0.1533f * x2 + 2.9357f * x3 - 6.0816f * x4 + 30.9087f * x5;
                value = P * (0.5f * 0.005f * dg) * D;
            } else {
                const float x6 = x5 * x, x7 = x6 * x, x8 = x7 * x, x9 = x8 * x, x10 = x9 * x, x11 = x10 * x;
                const float x12 = x11 * x, x13 = x12 * x, x14 = x13 * x, x15 = x14 * x;
                const float D = 0.5034f + 0.0783f * x + 0.1533f * x2 - 2.9357f * x3 - 6.0816f * x4 +
                                30.9087f * x5 + 68.5798f * x6 - 124.5031f * x7 - 321.1395f * x8 +
                                191.2037f * x9 + 712.976f * x10 - 8.88f * x11 - 744.021f * x12 -
                                230.0377f * x13 + 293.4049f * x14 + 148.0401f * x15;
                value = P * (0.5f * 0.01f * 4.0f * dg) * D;
                store = true;
            }
            if (!(value > 0.0f)) {
                value = 0.0f;
            }
            if (store) {
                m_image[At(b, j)] = value;
            }
        }
    }
}

void ReferenceProcessor::Average(const PingSettings& settings) {
    const int M = std::clamp(settings.average, 1, 9);
    if (M != m_avgPrev) {
        m_avgPrev = M;
        ClearAveraging();
    }
    const float scale = (1.0f / static_cast<float>(M)) * 1.3f;
    const std::size_t slot = static_cast<std::size_t>(m_ring) * 480 * kRow;
    for (int b = 0; b < m_nBeams; ++b) {
        for (int s = 0; s < m_nSamples; ++s) {
            float& sum = m_avgSum[At(b, s)];
            float& hist = m_history[slot + At(b, s)];
            float& img = m_image[At(b, s)];
            sum = sum - hist;
            if (!(sum >= 0.0f)) {
                sum = 0.0f;
            }
            hist = img;
            sum = sum + img;
            img = sum * scale;
            if (!(img > 0.0f)) {
                img = 0.0f;
            }
            if (img >= 255.0f) {
                img = 255.0f;
            }
        }
    }
    m_slotsWritten = std::max(m_slotsWritten, m_ring + 1);
    m_ring = m_ring + 1;
    if (m_ring >= M) {
        m_ring = 0;
    }
}

void ReferenceProcessor::Reproject(const PingSettings& settings, COndrel& current) {
    const int N = m_nSamples;
    const float c = 120.0f / static_cast<float>(m_nBeams);
    const int half = m_nBeams / 2;
    const float d = static_cast<float>(N) * 0.07f / settings.rangeM;
    float* head = current.m_headImage.data();
    for (int i = 1; i <= half - 1; ++i) {
        const float cosA = std::cos((180.0f - static_cast<float>(i) * c) * 0.017453292f);
        for (int j = 0; j < N; ++j) {
            const float jf = static_cast<float>(j);
            const float o = jf * jf + d * d - jf * (2.0f * d) * cosA;
            const float t = std::sqrt(o);
            float arg = (o + d * d - jf * jf) / (t * (2.0f * d));
            if (std::isnan(arg)) {
                continue;
            }
            arg = std::clamp(arg, -1.0f, 1.0f);
            const float u = std::acos(arg);
            const int A = FloorInt(u / 0.017453292f / c + c * 0.5f);
            const int column = FloorInt(t);
            if (column < 0 || column >= 1000) {
                continue;
            }
            const float src1 = std::min(m_image[At(half - i, j)], 255.0f);
            const int row1 = half + A - 1;
            if (row1 >= 0 && row1 < m_nBeams) {
                float& t1 = head[static_cast<std::size_t>(row1) * 1000 + static_cast<std::size_t>(column)];
                t1 = std::max(t1, src1);
            }
            const float src2 = std::min(m_image[At(half + i - 1, j)], 255.0f);
            const int row2 = half - A;
            if (row2 >= 0 && row2 < m_nBeams) {
                float& t2 = head[static_cast<std::size_t>(row2) * 1000 + static_cast<std::size_t>(column)];
                t2 = std::max(t2, src2);
            }
        }
    }
    for (int r = 0; r < m_nBeams; ++r) {
        for (int s = 0; s < N; ++s) {
            m_image[At(m_nBeams - 1 - r, s)] =
                head[static_cast<std::size_t>(r) * 1000 + static_cast<std::size_t>(s)];
        }
    }
}

void ReferenceProcessor::ProcessHeadPing(const PingSettings& settings, int transducerType, COndrel& current) {
    const float c = settings.soundVelocity;
    m_xdcr = transducerType;
    // 1.
    if (m_xdcr != m_xdcrSeen) {
        m_xdcrSeen = m_xdcr;
        InitialiseProcessor(settings, &current);
    }
    // 2.
    if (settings.average != m_avgCount || settings.detectProfilePoints != m_detectSeen) {
        ClearAveraging();
        m_avgCount = settings.average;
        m_detectSeen = settings.detectProfilePoints;
    }
    // 3.
    if (settings.profileFilterType != m_filterSeen) {
        ClearAveraging();
        m_filterSeen = settings.profileFilterType;
    }
    // 4.
    LoadElementSamples(settings, current);
    // 5.
    for (int b = 0; b < m_nBeams; ++b) {
        for (int s = 0; s < m_nSamples; ++s) {
            m_image[At(b, s)] = 0.0f;
        }
    }
    // 6.
    BuildSteeringTables(c);
    // 7.
    BuildTvg(settings, current);
    // 8.
    Demodulate();
    ElementLevels(current);
    // 9.
    FormBeams(settings);
    // 10.
    Average(settings);
    // 11.
    Reproject(settings, current);
    // 12.
    if (settings.detectProfilePoints != 0) {
        RunProfileFilter(settings);
    }
    // 13.
    for (int i = 0; i < m_nBeams; ++i) {
        current.m_beamProfile[static_cast<std::size_t>(i)] =
            m_profilePos[static_cast<std::size_t>(m_nBeams - 1 - i)];
    }
}

// ---- Profile points ----

namespace {

// Literal echo scan; samples at or past N read as 0.
struct Scan {
    const float* img;
    int N;
    int i;
    int s = 0, e = 0;
    float peak = 0.0f, sum = 0.0f;

    float At(int k) const { return k >= 0 && k < N ? img[k] : 0.0f; }

    bool Search(float t, bool bounded, int u) {
        do {
            i = i + 1;
        } while (!(At(i) > t || i >= N || (bounded && i >= u)));
        const bool found = i < N - 1 && (!bounded || i + 1 < u);
        if (found) {
            s = i;
            peak = At(i);
            sum = At(i);
        }
        return found;
    }
    void ExtendFirst(float t) {
        do {
            i = i + 1;
            peak = std::max(peak, At(i));
        } while (!(At(i) < t || i >= N));
        if (i < N - 1) {
            e = i;
        }
    }
    void ExtendSum(float t) {
        do {
            sum = sum + At(i + 1);
            peak = std::max(peak, At(i + 1));
            i = i + 1;
        } while (!(At(i) < t || i >= N));
        if (i < N - 1) {
            e = i;
        }
    }
};

int Jump(int idx) {
    return idx == 1 ? 20 : idx == 2 ? 40 : 10;
}

} // namespace

float ReferenceProcessor::Alpha(const PingSettings& settings, int b) const {
    const float az = static_cast<float>(settings.heads[0].azimuth / 10) * 0.017453293f;
    return static_cast<float>(b) * m_delta + (az + m_delta * 0.5f - m_halfRad);
}

void ReferenceProcessor::RunProfileFilter(const PingSettings& settings) {
    for (int b = 0; b < m_nBeams; ++b) {
        m_profilePos[static_cast<std::size_t>(b)] = 0.0f;
        m_profileInt[static_cast<std::size_t>(b)] = 0;
    }
    if (settings.profileFilterType == 0) {
        Filter0(settings);
    } else if (settings.profileFilterType == 1) {
        Filter1(settings);
    } else if (settings.profileFilterType == 2) {
        Filter2(settings);
    }
}

void ReferenceProcessor::Filter0(const PingSettings& settings) {
    const float R = settings.rangeM;
    const float thr = static_cast<float>(settings.detectionThresholdPct) * 255.0f / 100.0f;
    const int n0 =
        FloorInt(std::max(0.0f, static_cast<float>(settings.nearLimitCm) / 100.0f) * 500.0f / R + 0.5f);
    const float w1 = static_cast<float>(settings.windowStartMm) * 500.0f / 1000.0f / R + 0.5f;
    const float w2 = static_cast<float>(settings.windowEndMm) * 500.0f / 1000.0f / R + 0.5f;
    std::array<float, 480> chosen{};
    std::array<float, 480> chosenPeak{};
    for (int b = 0; b < m_nBeams; ++b) {
        const float ca = std::cos(Alpha(settings, b));
        int lo = 0, hi = 0;
        if (ca > 0.0f) {
            lo = FloorInt(w1 / ca);
            hi = FloorInt(w2 / ca);
        } else {
            lo = FloorInt(w1);
            hi = FloorInt(w2);
        }
        lo = std::max(lo, n0);
        hi = std::max(hi, n0);
        Scan sc{&m_image[At(b, 0)], m_nSamples, std::clamp(lo, -1, m_nSamples)};
        int s1 = 0, e1 = 0, s2 = 0, e2 = 0;
        float p1 = 0.0f, p2 = 0.0f;
        bool found2 = false;
        if (sc.Search(thr, true, hi)) {
            sc.ExtendFirst(thr);
            s1 = sc.s;
            e1 = sc.e;
            p1 = sc.peak;
        }
        if (sc.Search(thr * 0.5f, true, hi)) {
            sc.ExtendFirst(thr * 0.5f);
            s2 = sc.s;
            e2 = sc.e;
            p2 = sc.peak;
            found2 = true;
        }
        const int pos1 = (s1 + e1) / 2;
        const int width1 = e1 - s1;
        const int pos2 = found2 ? (s2 + e2) / 2 : 0;
        const int width2 = found2 ? e2 - s2 : 0;
        float pos = static_cast<float>(pos1);
        float pk = p1;
        if (pos2 > 0 && b > 0) {
            const float P = chosen[static_cast<std::size_t>(b - 1)];
            if (std::floor(std::fabs(P - static_cast<float>(pos2))) <=
                std::floor(std::fabs(P - static_cast<float>(pos1)))) {
                pos = static_cast<float>(pos2);
                pk = p2;
            }
        }
        if (found2 && width2 > width1) {
            pos = static_cast<float>(pos2);
            pk = p2;
        }
        chosen[static_cast<std::size_t>(b)] = pos;
        chosenPeak[static_cast<std::size_t>(b)] = pk;
    }
    const float J = static_cast<float>(Jump(settings.beamsIndex));
    for (int b = 1; b <= m_nBeams - 2; ++b) {
        const std::size_t k = static_cast<std::size_t>(b);
        m_profilePos[k] = chosen[k];
        m_profileInt[k] = std::min(FloorInt(chosenPeak[k]), 255);
        if (std::fabs(chosen[k] - chosen[k - 1]) >= J || std::fabs(chosen[k] - chosen[k + 1]) >= J) {
            m_profilePos[k] = 0.0f;
            m_profileInt[k] = 0;
        }
    }
}

void ReferenceProcessor::Filter1(const PingSettings& settings) {
    const float R = settings.rangeM;
    const int N = m_nSamples;
    const float thr = static_cast<float>(settings.detectionThresholdPct) * 255.0f / 100.0f;
    const int n0 = FloorInt(static_cast<float>(N) * 0.25f / R + 0.5f);
    const float w1 = static_cast<float>(settings.windowStartMm) * static_cast<float>(N) / 1000.0f / R + 0.5f;
    const float w2 = static_cast<float>(settings.windowEndMm) * static_cast<float>(N) / 1000.0f / R + 0.5f;
    std::array<float, 480> chosen{};
    std::array<float, 480> chosenPeak{};
    for (int b = 0; b < m_nBeams; ++b) {
        const float ca = std::cos(Alpha(settings, b));
        Scan sc{&m_image[At(b, 0)], N, std::clamp(n0, -1, N)};
        int centre[2] = {0, 0};
        float peak[2] = {0, 0}, sum[2] = {0, 0};
        bool found[2] = {false, false};
        for (int q = 0; q < 2; ++q) {
            if (!sc.Search(thr, false, 0)) {
                break;
            }
            sc.ExtendSum(thr);
            found[q] = true;
            centre[q] = (sc.s + sc.e) / 2;
            peak[q] = sc.peak;
            sum[q] = sc.sum;
        }
        float best = thr;
        for (int q = 0; q < 2; ++q) {
            if (!found[q]) {
                continue;
            }
            const float depth = static_cast<float>(centre[q]) * ca;
            if (best <= sum[q] && w1 <= depth && depth <= w2) {
                best = sum[q];
                chosen[static_cast<std::size_t>(b)] = static_cast<float>(centre[q]);
                chosenPeak[static_cast<std::size_t>(b)] = peak[q];
            }
        }
    }
    const float J = static_cast<float>(Jump(settings.beamsIndex));
    for (int b = 1; b <= m_nBeams - 2; ++b) {
        const std::size_t k = static_cast<std::size_t>(b);
        m_profilePos[k] = chosen[k];
        m_profileInt[k] = FloorInt(chosenPeak[k]);
        if (std::fabs(chosen[k] - chosen[k - 1]) >= J || std::fabs(chosen[k] - chosen[k + 1]) >= J) {
            m_profilePos[k] = 0.0f;
            m_profileInt[k] = 0;
        }
    }
    for (int b = 0; b < m_nBeams; ++b) {
        const std::size_t k = static_cast<std::size_t>(b);
        if (m_profilePos[k] > static_cast<float>(N)) {
            m_profilePos[k] = 0.0f;
        }
        if (m_profilePos[k] <= 0.0f) {
            m_profilePos[k] = 0.0f;
            m_profileInt[k] = 0;
        } else if (m_profileInt[k] > 255) {
            m_profileInt[k] = 255;
        }
    }
}

void ReferenceProcessor::Filter2(const PingSettings& settings) {
    const float R = settings.rangeM;
    const int N = m_nSamples;
    const float thr = static_cast<float>(settings.detectionThresholdPct) * 255.0f / 100.0f;
    const int n0 = FloorInt(static_cast<float>(N) * 0.25f / R + 0.5f);
    const float w1 = static_cast<float>(settings.windowStartMm) * static_cast<float>(N) / 1000.0f / R;
    const float w2 = static_cast<float>(settings.windowEndMm) * static_cast<float>(N) / 1000.0f / R;
    for (int b = 1; b <= m_nBeams - 1; ++b) {
        const std::size_t k = static_cast<std::size_t>(b);
        float U = 1.1f * m_bottom[k];
        if (w2 < U) {
            U = w2;
        }
        const float ca = std::cos(Alpha(settings, b));
        Scan sc{&m_image[At(b, 0)], N, std::clamp(n0, -1, N)};
        if (!sc.Search(thr, false, 0)) {
            continue;
        }
        sc.ExtendSum(thr);
        const int centre = (sc.s + sc.e) / 2;
        const float depth = static_cast<float>(centre) * ca;
        if (thr <= sc.sum && w1 <= depth && depth <= U) {
            m_profilePos[k] = static_cast<float>(centre);
            m_profileInt[k] = FloorInt(sc.peak);
        }
    }
    for (int b = 0; b < m_nBeams; ++b) {
        const std::size_t k = static_cast<std::size_t>(b);
        if (m_profilePos[k] > static_cast<float>(N)) {
            m_profilePos[k] = 0.0f;
        }
        if (m_profilePos[k] == 0.0f) {
            m_profileInt[k] = 0;
        }
        if (m_profileInt[k] > 255) {
            m_profileInt[k] = 255;
        }
    }
}

} // namespace vexar::test
