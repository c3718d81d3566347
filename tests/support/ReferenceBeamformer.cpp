#include "support/ReferenceBeamformer.h"

#include <array>
#include <cmath>

namespace vexar::test {

namespace {
constexpr float kPi = 3.1415927f;
} // namespace

float ReferenceBeamformer::BeamAngleDeg(int b) const {
    const float step = 2.0f * (60.0f * kPi / 180.0f) / static_cast<float>(m_beams);
    return (static_cast<float>(b) * step + (step * 0.5f - 60.0f * kPi / 180.0f)) * 180.0f / kPi;
}

std::vector<std::vector<float>> ReferenceBeamformer::Form(std::span<const std::uint16_t> raw) const {
    const int n = m_g.samples;
    std::array<std::vector<float>, 16> iRows, qRows;
    for (int k = 0; k < 16; ++k) {
        const int ch = m_g.transducerUp != 0 ? 15 - k : k;
        std::vector<float> x(static_cast<std::size_t>(n) + 4, 0.0f);
        for (int i = 0; i < n; ++i) {
            float v =
                (static_cast<float>(raw[static_cast<std::size_t>(ch * 1000 + i)]) - 32768.0f) / 32768.0f;
            v = v <= 0.0f ? v - 1.0f : v + 1.0f;
            x[static_cast<std::size_t>(i)] = v >= 0.0f ? std::log10(v) : -std::log10(-v);
        }
        Demodulate(k, x, iRows[static_cast<std::size_t>(k)], qRows[static_cast<std::size_t>(k)]);
    }
    std::vector<std::vector<float>> p(static_cast<std::size_t>(m_beams),
                                      std::vector<float>(static_cast<std::size_t>(n), 0.0f));
    const float omega = 2.0f * kPi * m_g.frequencyKHz * 1000.0f;
    for (int b = 0; b < m_beams; ++b) {
        const float s = std::sin(BeamAngleDeg(b) * kPi / 180.0f) * sim::kElementPitchM / m_g.soundVelocity;
        for (int j = 0; j < n; ++j) {
            float are = 0, aim = 0, bre = 0, bim = 0;
            for (int k = 0; k < 16; ++k) {
                const float w = 0.54f - 0.46f * std::cos(static_cast<float>(k) * 6.2831855f * 0.0625f);
                const float phi = (static_cast<float>(k) - 7.5f) * s * omega;
                const float c = std::cos(phi) * w, sn = std::sin(phi) * w;
                const float ik = iRows[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)];
                const float qk = qRows[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)];
                (k < 8 ? are : bre) += ik * c - qk * sn;
                (k < 8 ? aim : bim) += qk * c + ik * sn;
            }
            p[static_cast<std::size_t>(b)][static_cast<std::size_t>(j)] = are * bre + aim * bim;
        }
    }
    return p;
}

void ReferenceBeamformer::Demodulate(int k, const std::vector<float>& x, std::vector<float>& iOut,
                                     std::vector<float>& qOut) const {
    const int n = m_g.samples;
    const float f = n == 500 ? m_g.rangeM * 0.8f : m_g.rangeM * 0.4f;
    const float g = 2.34f / (0.5f * f);
    const float angle = (static_cast<float>(k / 4) * g + 45.0f) * 3.1415927f / 180.0f;
    const float wr = -std::cos(angle), wi = -std::sin(angle);
    const float r = 0.99995f;
    const float r8 = r * r * r * r * r * r * r * r;
    std::array<float, 8> line{};
    std::array<float, 4> sr{}, si{};
    std::vector<float> o1(static_cast<std::size_t>(n) + 4), o2(static_cast<std::size_t>(n) + 4);
    for (int t = 0; t < n + 4; ++t) {
        const float xi = t < n ? x[static_cast<std::size_t>(t)] : 0.0f;
        const float x8 = line[static_cast<std::size_t>(t % 8)];
        line[static_cast<std::size_t>(t % 8)] = xi;
        const float d = r8 * x8 - xi;
        for (int m = 1; m <= 3; ++m) {
            const float tr = r * std::cos(static_cast<float>(m) * 0.7853982f);
            const float ti = r * std::sin(static_cast<float>(m) * 0.7853982f);
            const float re = d + tr * sr[static_cast<std::size_t>(m)] - ti * si[static_cast<std::size_t>(m)];
            const float im = tr * si[static_cast<std::size_t>(m)] + ti * sr[static_cast<std::size_t>(m)];
            sr[static_cast<std::size_t>(m)] = re;
            si[static_cast<std::size_t>(m)] = im;
        }
        o1[static_cast<std::size_t>(t)] = wr * (sr[1] - sr[2] + sr[3]);
        o2[static_cast<std::size_t>(t)] = wi * (si[1] - si[2] + si[3]);
    }
    iOut.assign(static_cast<std::size_t>(n) + 4, 0.0f);
    qOut.assign(static_cast<std::size_t>(n) + 4, 0.0f);
    for (int l = 0; l < n; ++l) {
        iOut[static_cast<std::size_t>(l)] = 0.5f * o1[static_cast<std::size_t>(l + 4)];
        qOut[static_cast<std::size_t>(l)] = 0.5f * o2[static_cast<std::size_t>(l + 4)];
    }
}

} // namespace vexar::test
