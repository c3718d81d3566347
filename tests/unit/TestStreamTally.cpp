// Counting what a receiver of the UDP output got: lost records against numbers other records took.

#include "output/CStreamTally.h"

#include <gtest/gtest.h>

namespace vexar {
namespace {

constexpr std::uint32_t kPointData = 1440 * 8;
constexpr std::uint32_t kBeamData = 1440 * 1000;
constexpr std::uint32_t kRawData = 128 * 1061;
constexpr std::uint32_t kSentence = 120;

RecordHeaderFields Record(std::uint32_t counter, std::uint32_t data, std::uint32_t previousData) {
    RecordHeaderFields f;
    f.recordCounter = counter;
    f.dataLength = data;
    f.previousLength = previousData == 0 ? 0 : kRecordDataOffset + previousData + kSentence;
    return f;
}

TEST(StreamTally, LostRecordsCountAndNumbersOfOtherRecordsDoNot) {
    CStreamTally tally;
    // Point and beam records of two pings, a raw record written beside them in between.
    tally.TakeRecord(Record(0, kPointData, 0));
    tally.TakeRecord(Record(1, kBeamData, kPointData));
    tally.TakeRecord(Record(3, kPointData, kRawData)); // 2 was the raw record
    tally.TakeRecord(Record(4, kBeamData, kPointData));
    EXPECT_EQ(tally.Missing(), 0u);
    EXPECT_EQ(tally.Foreign(), 1u);

    // The beam record 5 is lost: the point record 6 says the record before it was a beam record.
    tally.TakeRecord(Record(6, kPointData, kBeamData));
    EXPECT_EQ(tally.Missing(), 1u);

    // The beam record 7 arrives in part (its first datagram, then strays): damaged, not missing.
    tally.TakeDamaged(false);
    tally.TakeDamaged(true);
    tally.TakeDamaged(true);
    tally.TakeRecord(Record(8, kPointData, kBeamData));
    EXPECT_EQ(tally.Damaged(), 1u);
    EXPECT_EQ(tally.Missing(), 1u);
    EXPECT_EQ(tally.Foreign(), 1u);

    // A console started again begins at 0: no gap.
    tally.TakeRecord(Record(0, kPointData, 0));
    EXPECT_EQ(tally.Records(), 7u);
    EXPECT_EQ(tally.Missing(), 1u);
    EXPECT_EQ(tally.Foreign(), 1u);
}

} // namespace
} // namespace vexar
