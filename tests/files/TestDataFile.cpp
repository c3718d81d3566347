#include "files/CDataFile.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>

namespace vexar::test {
namespace {

// A file read for playback is read through a buffer of its own: whatever the seeks and sizes of
// the reads, each gives the bytes of the file from the position on, up to its end, and moves on
// by as many.
TEST(DataFile, ReadsGiveTheFileBytesFromThePositionWhateverTheBufferHolds) {
    RecordingFolder folder;
    Bytes bytes(200000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    WriteFile(folder / "data.R96", bytes);
    CDataFile file;
    ASSERT_TRUE(file.Open(folder / "data.R96", CDataFile::Mode::Read));
    EXPECT_EQ(file.Length(), bytes.size());

    struct Step {
        std::uint64_t seek;
        std::size_t size;
    };
    constexpr Step kSteps[] = {
        {0, 3},            // the start
        {3, 250},          // on, in what the first read buffered
        {65530, 12},       // across the end of the buffer
        {100, 70000},      // back, and more than a buffer at once
        {150000, 60000},   // up to the end of the file
        {199990, 4096},    // a small read at the end
        {200000, 3},       // at the end
        {250000, 10},      // past it
        {199999, 1},       // and back in, after finding the end
        {65536 * 2, 5},    // a buffer further on
        {65536 * 2 - 2, 4} // just before what the buffer holds
    };
    Bytes got(70000);
    for (const Step& step : kSteps) {
        ASSERT_TRUE(file.Seek(step.seek));
        const std::size_t expected =
            step.seek >= bytes.size() ? 0 : std::min<std::size_t>(step.size, bytes.size() - step.seek);
        ASSERT_EQ(file.Read(std::span(got.data(), step.size)), expected) << step.seek;
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(expected),
                               bytes.begin() + static_cast<std::ptrdiff_t>(step.seek)))
            << step.seek;
        EXPECT_EQ(file.Position(), step.seek + expected) << step.seek;
    }
}

TEST(DataFile, BytesAddedAfterTheEndWasFoundAreReadAfterASeek) {
    RecordingFolder folder;
    const std::string path = folder / "growing.R96";
    WriteFile(path, Bytes{1, 2, 3});
    CDataFile file;
    ASSERT_TRUE(file.Open(path, CDataFile::Mode::Read));
    Bytes got(8);
    ASSERT_EQ(file.Read(got), 3u);
    std::ofstream(path, std::ios::binary | std::ios::app).write("\x04\x05", 2);
    ASSERT_TRUE(file.Seek(3));
    ASSERT_EQ(file.Read(got), 2u);
    EXPECT_EQ(got[0], 4);
    EXPECT_EQ(got[1], 5);
}

} // namespace
} // namespace vexar::test
