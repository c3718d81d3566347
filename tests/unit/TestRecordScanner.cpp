// The record walk behind `vexar-cli info` and the UDP receiver's checks.

#include "files/CDataFile.h"
#include "files/CRecorder.h"
#include "files/RecordScanner.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

namespace vexar::test {
namespace {

TEST(RecordScanner, ReportsRecordsOfEveryKindAndDamagedStretchesWithOffsets) {
    RecordingFolder folder;
    ProductFixture ping;
    Bytes products;
    for (const auto& d : ping.SendPointAndBeamRecords()) {
        Append(products, d.bytes);
    }

    Bytes file = MakeRawRecord(64, 0);
    const std::size_t garbageAt = file.size();
    Append(file, Bytes(123, 0x11));
    const std::size_t cutAt = file.size();
    Bytes cut = MakeRawRecord(64, 1);
    cut.erase(cut.begin() + 2048 + 3 * 1061, cut.end());
    Append(file, cut);
    const std::size_t productsAt = file.size();
    Append(file, products);
    WriteFile(folder / "mixed.R96", file);

    CDataFile in;
    ASSERT_TRUE(in.Open(folder / "mixed.R96", CDataFile::Mode::Read));
    std::vector<ScannedRecord> records;
    std::vector<DamagedStretch> damaged;
    const ScanTotals totals = ScanRecordFile(
        in, [&](const ScannedRecord& r) { records.push_back(r); },
        [&](const DamagedStretch& d) { damaged.push_back(d); });
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].kind, RecordKind::Raw);
    EXPECT_EQ(records[0].packets, 64);
    EXPECT_EQ(records[1].kind, RecordKind::Point);
    EXPECT_EQ(records[1].offset, productsAt);
    EXPECT_EQ(records[2].kind, RecordKind::Beam);
    EXPECT_EQ(records[2].index, 2u);
    ASSERT_EQ(damaged.size(), 2u);
    EXPECT_EQ(damaged[0].offset, garbageAt);
    EXPECT_EQ(damaged[0].length, 123u);
    EXPECT_EQ(damaged[1].offset, cutAt);
    EXPECT_EQ(damaged[1].length, cut.size());
    EXPECT_EQ(totals.damagedBytes, 123u + cut.size());

    ScannedRecord one;
    std::string reason;
    EXPECT_TRUE(CheckRecordBytes(products, one, reason) == false); // two records are not one
    const std::size_t pointLength = GetU32(products, 4);
    EXPECT_TRUE(CheckRecordBytes(std::span<const std::uint8_t>(products.data(), pointLength), one, reason))
        << reason;
    EXPECT_EQ(one.kind, RecordKind::Point);
    EXPECT_FALSE(CheckRecordBytes(std::span<const std::uint8_t>(products.data(), 1000), one, reason));
}

} // namespace
} // namespace vexar::test
