// UDP output of the per-ping records and the data output dialog's values.

#include "files/RecordHeader.h"
#include "output/DataOutput.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

namespace vexar::test {
namespace {

TEST(DataOutput, PointRecordGoesOutBeforeTheBeamRecordToTheSetAddress) {
    DocFixture f("UdpOutputP96=1\nUdpOutputB96=1\n");
    CTamsorDoc& doc = *f.doc;
    // Settings are read at start-up: both products on.
    EXPECT_EQ(doc.GetSettings().system.udpOutputPoint, 1);
    EXPECT_EQ(doc.GetSettings().system.udpOutputBeam, 1);
    f.world.datagrams.m_sent.clear();
    f.RunLivePings(1);
    const auto& sent = f.world.datagrams.m_sent;
    ASSERT_EQ(sent.size(), 24u);
    EXPECT_EQ(std::string(sent[0].bytes.begin(), sent[0].bytes.begin() + 3), "P96");
    EXPECT_EQ(std::string(sent[1].bytes.begin(), sent[1].bytes.begin() + 3), "B96");
    for (const auto& d : sent) {
        EXPECT_EQ(d.host, "127.0.0.1");
        EXPECT_EQ(d.port, 4041);
    }
    EXPECT_EQ(f.world.datagrams.m_opens.back(), kOutputLocalPort);

    // A changed address takes effect with the next ping, on the same socket.
    const std::size_t opens = f.world.datagrams.m_opens.size();
    CDataOutputDlgModel dialog(doc.GetSettings().system);
    EXPECT_TRUE(dialog.PointChecked());
    EXPECT_TRUE(dialog.BeamChecked());
    EXPECT_FALSE(dialog.NoneChecked());
    dialog.SetOctets({127, 0, 0, 2});
    doc.EditSettings([&](Settings& s) { dialog.Apply(s.system); });
    EXPECT_EQ(doc.GetSettings().system.udpOutputPoint, 1); // OK without a click keeps both
    EXPECT_EQ(doc.GetSettings().system.udpOutputBeam, 1);
    f.world.datagrams.m_sent.clear();
    f.RunLivePings(1);
    EXPECT_EQ(f.world.datagrams.m_sent.front().host, "127.0.0.2");
    EXPECT_EQ(f.world.datagrams.m_opens.size(), opens);
}

TEST(DataOutput, NothingIsSentWithoutTheSocketOrWithOutputOff) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    f.world.datagrams.m_sent.clear();
    f.RunLivePings(1);
    EXPECT_TRUE(f.world.datagrams.m_sent.empty());
    doc.EditSettings([](Settings& s) { s.system.udpOutputPoint = 1; });
    f.world.datagrams.Close();
    f.RunLivePings(1);
    EXPECT_TRUE(f.world.datagrams.m_sent.empty());
}

TEST(DataOutputDialog, RadioButtonsSetTheChoices) {
    CDataOutputDlgModel dialog(0, 0, "192.168.0.23");
    EXPECT_TRUE(dialog.NoneChecked());
    dialog.Select(CDataOutputDlgModel::Choice::Point);
    EXPECT_TRUE(dialog.PointChecked());
    EXPECT_FALSE(dialog.BeamChecked());
    dialog.Select(CDataOutputDlgModel::Choice::Beam);
    EXPECT_FALSE(dialog.PointChecked());
    EXPECT_TRUE(dialog.BeamChecked());
    dialog.Select(CDataOutputDlgModel::Choice::None);
    EXPECT_TRUE(dialog.NoneChecked());
}

struct AddressCase {
    const char* text;
    std::array<int, 4> octets;
    const char* formatted;
};

class DataOutputAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(DataOutputAddress, SplitAtDotsWithAtoiAndFormattedBack) {
    const CDataOutputDlgModel dialog(0, 0, GetParam().text);
    EXPECT_EQ(dialog.Octets(), GetParam().octets);
    EXPECT_EQ(dialog.AddressText(), GetParam().formatted);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DataOutputAddress,
    ::testing::Values(AddressCase{"192.168.0.23", {192, 168, 0, 23}, "192.168.0.23"},
                      AddressCase{"127.0.0.1", {127, 0, 0, 1}, "127.0.0.1"},
                      AddressCase{"1.2.3", {0, 0, 0, 0}, "0.0.0.0"}, // six characters or fewer
                      AddressCase{"10.1.2", {0, 0, 0, 0}, "0.0.0.0"},
                      AddressCase{"10.1.2.3.4.5", {10, 1, 2, 3}, "10.1.2.3"}, // extra parts ignored
                      AddressCase{"10.xx.7", {10, 0, 7, 0}, "10.0.7.0"},      // text that is no number is 0
                      AddressCase{"300.-5.1.1", {255, 0, 1, 1}, "255.0.1.1"}, // kept to octets
                      AddressCase{" 12.13.14.15 ", {12, 13, 14, 15}, "12.13.14.15"}));

} // namespace
} // namespace vexar::test
