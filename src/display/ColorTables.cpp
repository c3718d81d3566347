#include "display/ColorTables.h"

#include <algorithm>
#include <cmath>

namespace vexar {

namespace {

constexpr std::array<std::string_view, kColorTableCount> kNames = {
    "NormHi",       "NormLo",     "Green",        "Grey", "Reverse Grey",
    "Brown Yellow", "Green Blue", "Green Yellow", "Blue"};
constexpr std::array<std::string_view, kColorTableCount> kMenuTexts = {
    "Norm Hi",        "Norm Lo",      "Green",          "Grey", "Rev Grey",
    "Brown / Yellow", "Green / Blue", "Green / Yellow", "Blue"};

// 2.5 n rounded half up, in integers so that no rounding mode is involved.
int HalfUp2p5(int n) {
    return (5 * n + 1) / 2;
}

// Truncates toward zero, then limits to a byte; the tables never go negative.
std::uint8_t ToByte(double value) {
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= 255.0) {
        return 255;
    }
    return static_cast<std::uint8_t>(value);
}

ColorEntry Rgb(int red, int green, int blue) {
    return ColorEntry{static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                      static_cast<std::uint8_t>(red), 0};
}

ColorEntry Grey(std::uint8_t level) {
    return ColorEntry{level, level, level, 0};
}

} // namespace

ColorEntry BaseRampEntry(int i) {
    static constexpr std::array<int, 6> kRed137 = {145, 150, 153, 155, 158, 160};
    static constexpr std::array<int, 6> kGreen137 = {118, 110, 108, 105, 103, 100};
    static constexpr std::array<int, 3> kRed165 = {213, 210, 205};
    if (i <= 40) {
        return Rgb(0, 0, 2 * i);
    }
    if (i <= 81) {
        return Rgb(0, 20 + 2 * (i - 41), 80 - 2 * (i - 41));
    }
    if (i <= 91) {
        return Rgb(0, 100 + 2 * (i - 81), 0);
    }
    if (i <= 101) {
        return Rgb(2 * (i - 91), 100 + 2 * (i - 81), 0);
    }
    if (i <= 112) {
        return Rgb(20, 100 + 2 * (i - 81), 0);
    }
    if (i <= 123) {
        return Rgb(20 + 5 * (i - 112), 100 + 2 * (i - 81), 0);
    }
    if (i == 124) {
        return Rgb(80, 185, 0);
    }
    if (i <= 136) {
        return Rgb(20 + 5 * (i - 112), 185 - 5 * (i - 124), 0);
    }
    if (i <= 142) {
        const auto k = static_cast<std::size_t>(i - 137);
        return Rgb(kRed137[k], kGreen137[k], 0);
    }
    if (i <= 158) {
        return Rgb(160 + HalfUp2p5(i - 142), 100, 0);
    }
    if (i <= 164) {
        const int red = 160 + HalfUp2p5(i - 142);
        return Rgb(red, red - 100, 0);
    }
    if (i <= 178) {
        const int red = i < 168 ? kRed165[static_cast<std::size_t>(i - 165)] : 200 - 5 * (i - 168);
        return Rgb(red, 100 + HalfUp2p5(i - 158), 0);
    }
    if (i <= 197) {
        const int level = 150 + HalfUp2p5(i - 178);
        return Rgb(level, level, 0);
    }
    if (i <= 216) {
        const int level = 150 + HalfUp2p5(i - 178);
        return Rgb(level, level, 50 + 5 * (i - 198));
    }
    if (i <= 235) {
        const int level = 180 + 2 * (i - 217);
        return Rgb(level, level, level);
    }
    return Rgb(160, 0, 0);
}

ColorTableSet BuildColorTables() {
    // The quarter-wave tables take pi as the single-precision constant.
    const double pi = static_cast<double>(3.1415927f);
    ColorTableSet tables{};
    for (int i = 0; i < 256; ++i) {
        const auto n = static_cast<std::size_t>(i);
        const ColorEntry base = BaseRampEntry(i);
        tables[0][n] =
            ColorEntry{ToByte(1.5 * base.blue), ToByte(1.5 * base.green), ToByte(1.5 * base.red), 0};
        tables[1][n] = base;
        tables[2][n] = ColorEntry{0, ToByte(2.5 * i), 0, 0};
        tables[3][n] = Grey(ToByte(2.5 * i));
        tables[4][n] = Grey(ToByte(1.8 * (255 - i)));

        const double u = i * 0.5 * pi / 255.0;
        const double s = 255.0 * std::sin(u);
        const std::uint8_t a = ToByte(1.2 * (255.0 - 255.0 * std::cos(u)));
        const std::uint8_t c = ToByte(1.2 * s);
        const std::uint8_t v = ToByte(s);
        tables[5][n] = ColorEntry{0, a, v, 0};
        tables[6][n] = ColorEntry{a, c, 0, 0};
        tables[7][n] = ColorEntry{0, c, a, 0};
        tables[8][n] = ColorEntry{c, a, 0, 0};
    }
    return tables;
}

std::string_view ColorTableName(int index) {
    return index >= 0 && index < kColorTableCount ? kNames[static_cast<std::size_t>(index)]
                                                  : std::string_view{};
}

std::string_view ColorTableMenuText(int index) {
    return index >= 0 && index < kColorTableCount ? kMenuTexts[static_cast<std::size_t>(index)]
                                                  : std::string_view{};
}

int ClampColorTableIndex(int index) {
    return std::clamp(index, 0, kColorTableCount - 1);
}

} // namespace vexar
