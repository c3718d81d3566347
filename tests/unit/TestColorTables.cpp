#include "display/ColorTables.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vexar {
namespace {

struct Rgb {
    int red, green, blue;
};

void ExpectEntry(const ColorTable& table, int index, Rgb rgb) {
    const ColorEntry& e = table[static_cast<std::size_t>(index)];
    EXPECT_EQ(e.red, rgb.red) << "index " << index;
    EXPECT_EQ(e.green, rgb.green) << "index " << index;
    EXPECT_EQ(e.blue, rgb.blue) << "index " << index;
    EXPECT_EQ(e.reserved, 0) << "index " << index;
}

TEST(ColorTables, NamesAndMenuTextsInIndexOrder) {
    EXPECT_EQ(ColorTableName(0), "NormHi");
    EXPECT_EQ(ColorTableName(4), "Reverse Grey");
    EXPECT_EQ(ColorTableName(8), "Blue");
    EXPECT_EQ(ColorTableMenuText(4), "Rev Grey");
    EXPECT_EQ(ColorTableMenuText(5), "Brown / Yellow");
    EXPECT_EQ(ColorTableMenuText(7), "Green / Yellow");
    EXPECT_TRUE(ColorTableName(9).empty());
    EXPECT_TRUE(ColorTableMenuText(-1).empty());
}

TEST(ColorTables, StoredIndexOutsideTheTablesIsClamped) {
    EXPECT_EQ(ClampColorTableIndex(-3), 0);
    EXPECT_EQ(ClampColorTableIndex(5), 5);
    EXPECT_EQ(ClampColorTableIndex(9), 8);
    EXPECT_EQ(ClampColorTableIndex(1000000), 8);
}

TEST(ColorTables, BaseRampBreakpoints) {
    const ColorTableSet t = BuildColorTables();
    const ColorTable& lo = t[1];
    ExpectEntry(lo, 40, {0, 0, 80});
    ExpectEntry(lo, 41, {0, 20, 80});
    ExpectEntry(lo, 81, {0, 100, 0});
    ExpectEntry(lo, 92, {2, 122, 0});
    ExpectEntry(lo, 112, {20, 162, 0});
    ExpectEntry(lo, 124, {80, 185, 0});
    ExpectEntry(lo, 137, {145, 118, 0});
    ExpectEntry(lo, 143, {163, 100, 0});
    ExpectEntry(lo, 144, {165, 100, 0}); // 2.5 x 2 = 5
    ExpectEntry(lo, 159, {203, 103, 0}); // 42.5 rounds up
    ExpectEntry(lo, 165, {213, 118, 0});
    ExpectEntry(lo, 168, {200, 125, 0});
    ExpectEntry(lo, 178, {150, 150, 0});
    ExpectEntry(lo, 179, {153, 153, 0});
    ExpectEntry(lo, 197, {198, 198, 0});
    ExpectEntry(lo, 198, {200, 200, 50});
    ExpectEntry(lo, 216, {245, 245, 140});
    ExpectEntry(lo, 217, {180, 180, 180});
}

TEST(ColorTables, StatedEntries) {
    const ColorTableSet t = BuildColorTables();
    ExpectEntry(t[0], 128, {150, 247, 0});
    ExpectEntry(t[1], 128, {100, 165, 0});
    ExpectEntry(t[0], 235, {255, 255, 255});
    ExpectEntry(t[1], 235, {216, 216, 216});
    for (int i = 236; i < 256; ++i) {
        ExpectEntry(t[0], i, {240, 0, 0});
        ExpectEntry(t[1], i, {160, 0, 0});
    }
    ExpectEntry(t[2], 101, {0, 252, 0});
    ExpectEntry(t[2], 102, {0, 255, 0});
    ExpectEntry(t[3], 101, {252, 252, 252});
    ExpectEntry(t[3], 102, {255, 255, 255});
    ExpectEntry(t[4], 113, {255, 255, 255});
    ExpectEntry(t[4], 114, {253, 253, 253});
    ExpectEntry(t[4], 255, {0, 0, 0});
    ExpectEntry(t[5], 128, {180, 90, 0});
    // pi taken in single precision puts u just past a quarter turn: sin u stays below 1.
    ExpectEntry(t[5], 255, {254, 255, 0});
    ExpectEntry(t[6], 255, {0, 255, 255});
    ExpectEntry(t[8], 0, {0, 0, 0});
}

TEST(ColorTables, IndexZeroIsBlackExceptInReverseGrey) {
    const ColorTableSet t = BuildColorTables();
    for (int k = 0; k < kColorTableCount; ++k) {
        const Rgb expected = k == 4 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
        ExpectEntry(t[static_cast<std::size_t>(k)], 0, expected);
    }
}

TEST(ColorTables, ChecksumOfAllNineTables) {
    // FNV-1a over every entry in blue, green, red, 0 order; pins all 9 x 256 entries. The value
    // was cross-checked against an independent computation of the tables.
    const ColorTableSet t = BuildColorTables();
    std::uint32_t hash = 2166136261u;
    for (const ColorTable& table : t) {
        for (const ColorEntry& e : table) {
            for (const std::uint8_t byte : {e.blue, e.green, e.red, e.reserved}) {
                hash = (hash ^ byte) * 16777619u;
            }
        }
    }
    EXPECT_EQ(hash, 0x276a0df8u) << std::hex << hash;
}

} // namespace
} // namespace vexar
