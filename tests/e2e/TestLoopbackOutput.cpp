// The UDP output at a live rate, received whole by a plain socket with the default buffer.

#include "support/LoopbackOutputRun.h"

#include <gtest/gtest.h>

namespace vexar::test {
namespace {

TEST(LoopbackOutput, PlainReceiverGetsEveryRecordWholeAtTheLiveRate) {
    const LoopbackOutputResult result = RunLoopbackOutput(30, 10.0, true);
    ASSERT_TRUE(result.error.empty()) << result.error;
    EXPECT_EQ(result.wholePoint, 30u);
    EXPECT_EQ(result.wholeBeam, 30u);
    EXPECT_EQ(result.damaged, 0u);
}

} // namespace
} // namespace vexar::test
