#include "display/CBeamTestPicture.h"

#include <algorithm>
#include <cstdlib>

namespace vexar {

void CBeamTestPicture::Resize(int width, int height) {
    m_width = width;
    m_height = height;
    m_buffer.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    m_top = (width / 4 - 8) / 16 * 3 - 2;
}

void CBeamTestPicture::DrawStrip(const std::array<COndrel, kHeadCount>& heads, const PingSettings& settings,
                                 int samples, int head) {
    const int w = m_width;
    const int h = m_height;
    const int q = w / 4;
    const int x0 = head * q + 4;
    const int x1 = (head + 1) * q - 4;
    const int y0 = m_top + 20;
    if (q - 8 <= 0 || h - y0 <= 0 || m_buffer.empty()) {
        return;
    }
    const COndrel& first = heads[0];
    const bool reversed = (first.m_transducerType == 1) == (settings.transducerUp != 0);
    const auto& raw = heads[static_cast<std::size_t>(head)].m_rawSamples;
    const float channelStep = static_cast<float>(kElementCount) / static_cast<float>(q - 8);
    const float sampleStep = static_cast<float>(samples) / static_cast<float>(h - y0);
    float samplePos = static_cast<float>(samples - 1);
    for (int y = std::max(y0, 0); y < h; ++y, samplePos -= sampleStep) {
        const int sample = std::clamp(static_cast<int>(samplePos), 0, kMaxSamples - 1);
        std::uint8_t* row = &m_buffer[static_cast<std::size_t>(y) * static_cast<std::size_t>(w)];
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
