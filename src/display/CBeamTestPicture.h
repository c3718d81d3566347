#pragma once
// CBeamTestPicture: the Beam Test display of the view. Each head's element channels are drawn as
// a strip of the client, one column per channel and the samples from the bottom up, so that a
// dead or noisy element shows as a dark or bright stripe.

#include "head/COndrel.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace vexar {

class CBeamTestPicture {
public:
    /// Sizes the picture for a client of `width` (a multiple of 4) x `height` and clears it.
    void Resize(int width, int height);
    /// Draws the strip of `head` from its raw element samples, `samples` of them a channel.
    void DrawStrip(const std::array<COndrel, kHeadCount>& heads, const PingSettings& settings, int samples,
                   int head);

    /// Top of the channel area (the lamps sit above it).
    int Top() const { return m_top; }
    /// Client-sized picture (width x height bytes).
    std::span<const std::uint8_t> Buffer() const { return m_buffer; }

private:
    int m_width = 0;
    int m_height = 0;
    int m_top = 60;
    std::vector<std::uint8_t> m_buffer;
};

} // namespace vexar
