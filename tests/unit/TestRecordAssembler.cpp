// Joining the UDP output's datagrams back into records.

#include "files/CRecorder.h"
#include "output/CRecordAssembler.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

namespace vexar::test {
namespace {

struct Received {
    std::vector<Bytes> records;
    std::vector<std::string> damage;
};

TEST(RecordAssembler, JoinsBeamRecordsAndReportsLostDatagrams) {
    ProductFixture f;
    f.SendPointAndBeamRecords();
    const auto& sent = f.SendPointAndBeamRecords();
    ASSERT_EQ(sent.size(), 48u);

    Received got;
    CRecordAssembler assembler(
        [&](const ScannedRecord&, std::span<const std::uint8_t> b) {
            got.records.emplace_back(b.begin(), b.end());
        },
        [&](const std::string& reason, std::size_t) { got.damage.push_back(reason); });
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (i == 10) {
            continue; // lost inside the first beam record
        }
        assembler.Take(sent[i].bytes);
    }
    assembler.Take(Bytes(500, 7)); // a stray datagram
    assembler.Finish();
    ASSERT_EQ(got.records.size(), 3u);
    EXPECT_EQ(got.records[0], sent[0].bytes);
    EXPECT_EQ(got.records[1], sent[24].bytes);
    Bytes beam;
    for (std::size_t i = 25; i < 48; ++i) {
        Append(beam, sent[i].bytes);
    }
    EXPECT_EQ(got.records[2], beam);
    ASSERT_EQ(got.damage.size(), 2u);
    EXPECT_NE(got.damage[0].find("incomplete"), std::string::npos);
    EXPECT_EQ(got.damage[1], "datagram without a record header");
}

} // namespace
} // namespace vexar::test
