#pragma once
// The nine colour tables of the sonar picture. A picture byte is an index into the current
// table: 0 is "no echo / outside the disc", 1..255 echo intensity, 235 also marks profile points.

#include <array>
#include <cstdint>
#include <string_view>

namespace vexar {

inline constexpr int kColorTableCount = 9;

/// One colour table entry, laid out blue, green, red, 0 like a bitmap colour table entry.
struct ColorEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
    friend bool operator==(const ColorEntry&, const ColorEntry&) = default;
};

using ColorTable = std::array<ColorEntry, 256>;
using ColorTableSet = std::array<ColorTable, kColorTableCount>;

/// Builds all nine tables in index order (NormHi, NormLo, Green, Grey, Reverse Grey,
/// Brown Yellow, Green Blue, Green Yellow, Blue).
ColorTableSet BuildColorTables();

/// The base ramp shared by NormHi and NormLo, entry i = (red, green, blue).
ColorEntry BaseRampEntry(int index);

/// Internal name of table `index` ("NormHi" ...); empty outside 0..8.
std::string_view ColorTableName(int index);
/// Menu text of table `index` ("Norm Hi" ...); empty outside 0..8.
std::string_view ColorTableMenuText(int index);

/// A stored table index (settings file, command) limited to the tables that exist.
int ClampColorTableIndex(int index);

} // namespace vexar
