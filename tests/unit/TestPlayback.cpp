// Playback of whole and damaged raw files, copying while playing, and the playback controls.

#include "display/DisplayCommands.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"
#include "files/RecordHeader.h"
#include "navigation/XyzExport.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace vexar::test {
namespace {

struct PlayResult {
    int pings = 0;
    int damaged = 0;
    std::vector<std::uint8_t> firstPayloadBytes; ///< first payload byte of each played ping
};

// One pass over the file, no looping.
PlayResult PlayOnce(DocFixture& f, const Bytes& file) {
    const std::string path = f.folder / "case.R96";
    WriteFile(path, file);
    PlayResult result;
    if (!f.doc->Player().OpenPlayback(path)) {
        return result;
    }
    f.doc->Player().SetLooping(false);
    for (int i = 0; i < 1000; ++i) {
        const StepResult r = f.doc->Player().PlaybackStep();
        if (r == StepResult::AtEnd) {
            break;
        }
        if (r == StepResult::Ping) {
            ++result.pings;
            result.firstPayloadBytes.push_back(f.doc->m_pingBuffer[0]);
        }
        result.damaged += r == StepResult::Damaged ? 1 : 0;
    }
    return result;
}

std::uint8_t FirstPayload(int ping) {
    return MakeRawRecord(64, ping)[2048 + 27 + 33];
}

Bytes ThreeRecords() {
    Bytes file;
    for (int ping = 0; ping < 3; ++ping) {
        Append(file, MakeRawRecord(ping == 1 ? 128 : 64, ping, "$AULOG,1,2,3"));
    }
    return file;
}

TEST(Playback, WholeFilePlaysEveryRecordOnce) {
    DocFixture f;
    const PlayResult r = PlayOnce(f, ThreeRecords());
    EXPECT_EQ(r.pings, 3);
    EXPECT_EQ(r.damaged, 0);
    EXPECT_EQ(r.firstPayloadBytes, (std::vector<std::uint8_t>{
                                       FirstPayload(0), MakeRawRecord(128, 1)[2048 + 60], FirstPayload(2)}));
    EXPECT_EQ(f.doc->m_navigationSentence, "$AULOG,1,2,3");
    EXPECT_EQ(f.doc->m_dateText, "07-12-2026");
    EXPECT_EQ(f.doc->m_timeText, "11:41:39");
    EXPECT_EQ(f.doc->m_millisecondText, "042");
}

struct DamageCase {
    const char* name;
    std::function<Bytes()> build;
    int pings;
};

class DamagedFiles : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedFiles, PlayWhatIsWholeAndNeverCrash) {
    DocFixture f;
    const PlayResult r = PlayOnce(f, GetParam().build());
    EXPECT_EQ(r.pings, GetParam().pings) << GetParam().name;
}

// Keeps the first `keep` bytes.
Bytes Cut(Bytes b, std::size_t keep) {
    b.erase(b.begin() + static_cast<std::ptrdiff_t>(keep), b.end());
    return b;
}

Bytes Patched(Bytes file, std::size_t at, std::uint32_t value) {
    PutU32(file, at, value);
    return file;
}

const std::size_t kRec64 = MakeRawRecord(64, 0, "$AULOG,1,2,3").size();

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedFiles,
    ::testing::Values(
        DamageCase{"truncated last record",
                   [] {
                       const Bytes b = ThreeRecords();
                       return Cut(b, b.size() - 500);
                   },
                   2},
        DamageCase{"truncated inside a header",
                   [] {
                       const Bytes b = ThreeRecords();
                       return Cut(b, b.size() - kRec64 + 500);
                   },
                   2},
        DamageCase{"abandoned ping between whole ones",
                   [] {
                       Bytes b = MakeRawRecord(64, 0);
                       Append(b, Cut(MakeRawRecord(64, 1), 2048 + 20 * 1061));
                       Append(b, MakeRawRecord(64, 2));
                       return b;
                   },
                   2},
        DamageCase{"garbage between records",
                   [] {
                       Bytes b = MakeRawRecord(64, 0);
                       for (int i = 0; i < 5000; ++i) {
                           b.push_back(static_cast<std::uint8_t>(i * 7 + (i % 3 == 0 ? 'R' : '9')));
                       }
                       const char fake[] = "R96R9R96";
                       b.insert(b.end(), fake, fake + 8);
                       Append(b, MakeRawRecord(64, 1));
                       return b;
                   },
                   2},
        DamageCase{"huge total length", [] { return Patched(ThreeRecords(), 4, 0xFFFFFFF0u); }, 2},
        DamageCase{"huge sentence length", [] { return Patched(ThreeRecords(), 107, 0x7FFFFFFFu); }, 2},
        DamageCase{"sentence over 1024 bytes",
                   [] {
                       Bytes b = MakeRawRecord(64, 0, std::string(1025, 'x'));
                       Append(b, MakeRawRecord(64, 1));
                       return b;
                   },
                   1},
        DamageCase{"more than 128 packet pairs",
                   [] {
                       Bytes b = MakeRawRecord(129, 0);
                       Append(b, MakeRawRecord(64, 1));
                       return b;
                   },
                   1},
        DamageCase{"huge extension length", [] { return Patched(ThreeRecords(), 99, 0xFFFF0000u); }, 2},
        DamageCase{"no signature at byte 0",
                   [] {
                       Bytes b(777, 0x55);
                       Append(b, ThreeRecords());
                       return b;
                   },
                   3},
        DamageCase{"signature inside sample data is not a record",
                   [] {
                       Bytes b = MakeRawRecord(64, 0);
                       const char fake[] = "R96";
                       std::copy(fake, fake + 3, b.begin() + 2048 + 27 + 100);
                       return b;
                   },
                   1},
        DamageCase{"100 bytes", [] { return Bytes(100, 'R'); }, 0},
        DamageCase{"only a header",
                   [] {
                       Bytes b = Cut(MakeRawRecord(64, 0), 1024);
                       Append(b, Bytes(100, 0));
                       return b;
                   },
                   0}));

TEST(Playback, ShortFilesAreRefusedAndRealTimeResumes) {
    DocFixture f;
    WriteFile(f.folder / "short.R96", Bytes(99, 'R'));
    EXPECT_FALSE(f.doc->Player().OpenPlayback(f.folder / "short.R96"));
    EXPECT_EQ(f.world.op.m_messages.back(), "File has no data!!!  ");
    EXPECT_EQ(f.doc->m_playback, 0);
    EXPECT_TRUE(f.world.timers.IsArmed(kWatchdogTimer));

    EXPECT_FALSE(f.doc->Player().OpenPlayback(f.folder / "none.R96"));
    EXPECT_EQ(f.world.op.m_messages.back(), "Error opening file !   ");

    WriteFile(f.folder / "hundred.R96", Bytes(100, 'R'));
    ASSERT_TRUE(f.doc->Player().OpenPlayback(f.folder / "hundred.R96"));
    // Accepted, but a whole pass finds no record: the operator is told and real time resumes.
    EXPECT_EQ(f.PlaySteps(5), 0);
    EXPECT_EQ(f.world.op.m_messages.back(), "File has no data!!!  ");
    EXPECT_EQ(f.doc->m_playback, 0);
    EXPECT_EQ(f.doc->m_title, "Real Time");
    EXPECT_TRUE(f.world.timers.IsArmed(kWatchdogTimer));
}

TEST(Playback, LoopsAtTheEndOfTheFile) {
    DocFixture f;
    WriteFile(f.folder / "loop.R96", ThreeRecords());
    ASSERT_TRUE(f.doc->Player().OpenPlayback(f.folder / "loop.R96"));
    // The step that finds the end goes on with the first record: no step is lost.
    EXPECT_EQ(f.PlaySteps(3), 3);
    EXPECT_EQ(f.doc->Player().Position(), ThreeRecords().size());
    EXPECT_EQ(f.PlaySteps(1), 1);
    EXPECT_EQ(f.doc->Player().RecordStart(), 0u);
}

TEST(Playback, CopyEqualsTheOriginalIncludingItsExtensionBlock) {
    DocFixture f;
    Bytes original = MakeRawRecord(64, 0, "$AULOG,1,2,3", Bytes(300, 0xEE));
    Append(original, MakeRawRecord(128, 1, "$AU")); // short sentence still copied whole
    Append(original, MakeRawRecord(64, 2));
    WriteFile(f.folder / "orig.R96", original);
    CTamsorDoc& doc = *f.doc;
    ASSERT_TRUE(doc.Player().OpenPlayback(f.folder / "orig.R96"));
    ASSERT_TRUE(doc.Recorder().StartRecording(RecordKind::Raw, f.folder / "copy.R96"));
    EXPECT_EQ(f.PlaySteps(3), 3);
    doc.Recorder().OnStopRecording();
    const Bytes copy = ReadFile(f.folder / "copy.R96");
    ASSERT_EQ(copy.size(), original.size());
    // Byte for byte, except the previous-length chain, which the copy continues.
    Bytes expected = original;
    PutU32(expected, 59, 0);
    const std::size_t first = GetU32(original, 4);
    PutU32(expected, first + 59, static_cast<std::uint32_t>(first));
    PutU32(expected, first + GetU32(original, first + 4) + 59, GetU32(original, first + 4));
    EXPECT_TRUE(copy == expected);
}

TEST(Playback, ReaderInvertsTheWriterForPulseLengthAndPingPeriod) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    doc.m_displayedPingPeriodMs = 320.0f;
    doc.Head(0).m_pulseLength = 12;
    doc.m_navigationSentence.clear();
    doc.m_timeStamp = "07122026114139042";
    const auto header = doc.Recorder().BuildRecordHeader(RecordKind::Raw, 64 * 1061);
    Bytes file(header.begin(), header.end());
    const Bytes body = MakeRawRecord(64, 0);
    file.insert(file.end(), body.begin() + 1024, body.end());
    WriteFile(f.folder / "v.R96", file);
    doc.Head(0).m_pulseLength = 1;
    doc.m_displayedPingPeriodMs = 0.0f;
    ASSERT_TRUE(doc.Player().OpenPlayback(f.folder / "v.R96"));
    ASSERT_EQ(doc.Player().PlaybackStep(), StepResult::Ping);
    EXPECT_EQ(doc.Head(0).m_pulseLength, 12);
    EXPECT_FLOAT_EQ(doc.m_displayedPingPeriodMs, 320.0f);
}

TEST(Playback, OpeningForgetsTheLivePictureAndTimes) {
    DocFixture f;
    f.RunLivePings(1);
    f.doc->CombinedImage(5, 5) = 100.0f; // something of the live picture
    const auto blank = [&] {
        return std::all_of(f.doc->m_combinedImage.begin(), f.doc->m_combinedImage.end(),
                           [](float v) { return v == 0.0f; });
    };
    f.doc->m_sonarTimeMs = 12.0f;
    f.doc->m_acquisitionTimeMs = 99.0f;
    WriteFile(f.folder / "one.R96", MakeRawRecord(64, 0));
    ASSERT_TRUE(f.doc->Player().OpenPlayback(f.folder / "one.R96"));
    EXPECT_EQ(f.doc->m_sonarTimeMs, 0.0f);
    EXPECT_EQ(f.doc->m_acquisitionTimeMs, 0.0f);
    EXPECT_TRUE(blank());
    EXPECT_EQ(f.doc->m_clearImage, 1);
    EXPECT_EQ(f.doc->Head(0).m_newData, 0);
}

TEST(Playback, ControlsSpeedSliderAndHold) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    doc.m_sleepTimeMs = 100;
    Bytes file;
    for (int ping = 0; ping < 10; ++ping) {
        Append(file, MakeRawRecord(64, ping));
    }
    WriteFile(f.folder / "ten.R96", file);
    ASSERT_TRUE(doc.Player().OpenPlayback(f.folder / "ten.R96"));
    EXPECT_TRUE(f.world.op.m_playbackOpen);
    EXPECT_EQ(*f.world.timers.DelayOf(kPlaybackTimer), 100);
    EXPECT_FALSE(f.world.timers.IsArmed(kWatchdogTimer));

    StepSpeed(doc, -18);
    EXPECT_EQ(*f.world.timers.DelayOf(kPlaybackTimer), 1000);

    // Releasing the slider at 50 % moves to the record there; at 100 % to the start.
    doc.Player().OnSliderDragStart();
    doc.Player().OnSliderRelease(50);
    EXPECT_EQ(doc.Player().Position(), 5 * GetU32(file, 4));
    EXPECT_EQ(doc.m_dragging, 0);
    doc.Player().OnSliderRelease(100);
    EXPECT_EQ(doc.Player().Position(), 0u);

    // Hold stops the timer after the current step; releasing it continues.
    doc.OnHold();
    doc.OnTimer(kPlaybackTimer);
    EXPECT_FALSE(f.world.timers.IsArmed(kPlaybackTimer));
    doc.OnHold();
    EXPECT_TRUE(f.world.timers.IsArmed(kPlaybackTimer));
}

// A slider release inside a record plays on from the next raw record: a product header in a
// raw file (laid out as a header, but not "R96") is no place to resume.
TEST(Playback, SliderReleaseInsideARecordSkipsToTheNextRawHeader) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    Bytes file = MakeRawRecord(64, 0);
    const std::size_t length = file.size();
    Bytes beamLike = MakeRawRecord(64, 1);
    beamLike[0] = 'B';
    Append(file, beamLike);
    Append(file, MakeRawRecord(64, 2));
    WriteFile(f.folder / "three.R96", file);
    ASSERT_TRUE(doc.Player().OpenPlayback(f.folder / "three.R96"));

    doc.Player().OnSliderRelease(10); // 30 % into the first record
    EXPECT_EQ(doc.Player().Position(), 2 * length);
}

TEST(Playback, CancellingTheOpenDialogResumesWhatRan) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    f.RunLivePings(1);
    doc.Player().OnOpenPlayback(); // no answer queued: cancelled
    EXPECT_EQ(f.world.op.m_dialogs.back().title, "Open Data File:");
    EXPECT_EQ(f.world.op.m_dialogs.back().filterText, "Sonar Data Files: (*.R96) ");
    EXPECT_TRUE(f.world.timers.IsArmed(kPingTimer));

    WriteFile(f.folder / "p.R96", ThreeRecords());
    f.world.op.m_dialogAnswers.push_back(f.folder / "p.R96");
    doc.Player().OnOpenPlayback();
    ASSERT_EQ(doc.m_playback, 1);
    EXPECT_EQ(doc.m_readFolder, f.folder.Folder());
    doc.Player().OnOpenPlayback();
    EXPECT_EQ(doc.m_playback, 1);
    EXPECT_TRUE(f.world.timers.IsArmed(kPlaybackTimer));
    EXPECT_FALSE(f.world.timers.IsArmed(kPingTimer));
}

TEST(Playback, XyzExportEndsWithTheFile) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    WriteFile(f.folder / "survey.R96", ThreeRecords());
    f.world.op.m_dialogAnswers.push_back(f.folder / "survey.R96");
    doc.Player().OnConvertToXyz();
    ASSERT_EQ(doc.m_xyzConversion, 1);
    ASSERT_TRUE(doc.m_xyzFile.IsOpen());
    EXPECT_EQ(f.PlaySteps(3), 3);
    EXPECT_EQ(doc.Player().PlaybackStep(), StepResult::AtEnd);
    EXPECT_EQ(doc.m_xyzConversion, 0);
    // Its sentences hold no position: nothing is made up, and the operator is told once.
    EXPECT_EQ(std::count(f.world.op.m_messages.begin(), f.world.op.m_messages.end(), kXyzNoFixesText), 1);
    EXPECT_TRUE(std::filesystem::exists(f.folder / "survey.xyz"));
}

// "Real Time" brings back the live settings as they were when the file was opened, even those
// never saved, and releases the Hold that ended a conversion.
TEST(Playback, RealTimeRestoresTheLiveSettingsAndReleasesTheConversionHold) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    doc.m_startGain = 9;
    doc.Head(0).m_displayGain = 70;
    doc.m_zoomIndex = 1;
    doc.Head(0).m_average = 7;
    Bytes file =
        MakeRawRecord(64, 0, "$AULOG,2;30.0,N,3;0.0,E,,-10.0,,0.0,0.0,0.0,0.0,,,0,0,0,0,0.00,10/14/1999,*");
    PutF32(file, 342, 700000.0f); // recorded at 700 kHz
    WriteFile(f.folder / "f.R96", file);
    f.world.op.m_dialogAnswers.push_back(f.folder / "f.R96");
    doc.Player().OnConvertToXyz();
    ASSERT_EQ(doc.m_playback, 1);
    EXPECT_EQ(f.PlaySteps(2), 1);
    ASSERT_EQ(doc.m_hold, 1) << "the conversion ended and holds";
    EXPECT_EQ(doc.Head(0).m_baseFrequencyKHz, 700);
    EXPECT_EQ(doc.m_navigationValues.m_latitudeText, "2;30.0");
    doc.m_startGain = 2;
    doc.Head(0).m_displayGain = 20;
    doc.m_zoomIndex = 2;

    doc.OnRealTime();
    EXPECT_EQ(doc.m_hold, 0);
    EXPECT_EQ(doc.m_startGain, 9);
    EXPECT_EQ(doc.Head(0).m_displayGain, 70);
    EXPECT_EQ(doc.m_zoomIndex, 1);
    EXPECT_EQ(doc.Head(0).m_average, 7);
    EXPECT_EQ(doc.Head(0).m_baseFrequencyKHz, 675);
    // The played position is not the live one.
    EXPECT_TRUE(doc.m_navigationSentence.empty());
    EXPECT_TRUE(doc.m_navigationValues.m_latitudeText.empty());
}

// The operator's Hold is the operator's: "Real Time" keeps it.
TEST(Playback, RealTimeKeepsTheOperatorsHold) {
    DocFixture f;
    WriteFile(f.folder / "h.R96", MakeRawRecord(64, 0));
    ASSERT_TRUE(f.doc->Player().OpenPlayback(f.folder / "h.R96"));
    f.doc->OnHold();
    f.doc->OnRealTime();
    EXPECT_EQ(f.doc->m_hold, 1);
}

// Three records 200 and 400 ms apart.
Bytes PacedRecords() {
    Bytes file;
    const char* stamps[] = {"07122026114139000", "07122026114139200", "07122026114139600"};
    for (int ping = 0; ping < 3; ++ping) {
        Bytes record = MakeRawRecord(64, ping);
        std::copy_n(stamps[ping], kTimeStampLength, record.begin() + 10);
        Append(file, record);
    }
    return file;
}

TEST(Playback, RecordedPaceFollowsTheTimeStamps) {
    DocFixture f;
    CPlayer& player = f.doc->Player();
    WriteFile(f.folder / "paced.R96", PacedRecords());
    ASSERT_TRUE(player.OpenPlayback(f.folder / "paced.R96"));
    player.SetRecordedPace(true);
    EXPECT_EQ(player.SpeedText(), "1\xC3\x97");
    EXPECT_EQ(player.PlaybackStep(), StepResult::Ping); // the first plays at once
    EXPECT_EQ(player.PlaybackStep(), StepResult::Waiting);
    EXPECT_EQ(player.NextStepDelayMs(), 200);
    f.world.clock.Advance(150);
    EXPECT_EQ(player.PlaybackStep(), StepResult::Waiting);
    EXPECT_EQ(player.NextStepDelayMs(), 50);
    f.world.clock.Advance(50);
    EXPECT_EQ(player.PlaybackStep(), StepResult::Ping);
    // A late step does not put the next record back: it is due 400 ms after this one was due.
    f.world.clock.Advance(100);
    EXPECT_EQ(player.PlaybackStep(), StepResult::Waiting);
    EXPECT_EQ(player.NextStepDelayMs(), 300);

    // By "Sleep Time", the readout tells the speed against the recording's last interval.
    player.SetRecordedPace(false);
    f.doc->m_sleepTimeMs = 100;
    EXPECT_EQ(player.NextStepDelayMs(), 100);
    EXPECT_EQ(player.SpeedText(), "2\xC3\x97");
    f.doc->m_sleepTimeMs = 300;
    EXPECT_EQ(player.SpeedText(), "0.7\xC3\x97");
    f.doc->m_sleepTimeMs = 0;
    EXPECT_EQ(player.SpeedText(), "max");
    EXPECT_EQ(TimeStampMs("07122026114139600").value() - TimeStampMs("06122026114139000").value(), 86400600);
    EXPECT_FALSE(TimeStampMs("0712202611413960"));
    EXPECT_FALSE(TimeStampMs("07132026114139600"));
}

TEST(Playback, StepsAndJumpsShowOnePingAndHold) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    CPlayer& player = doc.Player();
    WriteFile(f.folder / "s.R96", ThreeRecords());
    ASSERT_TRUE(player.OpenPlayback(f.folder / "s.R96"));
    const std::uint8_t second = MakeRawRecord(128, 1)[2048 + 60];
    player.StepForward();
    EXPECT_EQ(doc.m_hold, 1);
    EXPECT_FALSE(f.world.timers.IsArmed(kPlaybackTimer));
    EXPECT_EQ(doc.m_pingBuffer[0], FirstPayload(0));
    player.StepForward();
    EXPECT_EQ(doc.m_pingBuffer[0], second);
    player.StepBack();
    EXPECT_EQ(doc.m_pingBuffer[0], FirstPayload(0));
    player.StepBack(); // the first stays
    EXPECT_EQ(doc.m_pingBuffer[0], FirstPayload(0));
    player.JumpToEnd();
    EXPECT_EQ(doc.m_pingBuffer[0], FirstPayload(2));
    player.StepForward(); // on from the start
    EXPECT_EQ(doc.m_pingBuffer[0], FirstPayload(0));
    player.StepForward();
    player.JumpToStart();
    EXPECT_EQ(doc.m_pingBuffer[0], FirstPayload(0));
    EXPECT_EQ(doc.m_hold, 1);
}

TEST(Playback, ConversionWritesOneProductRecordPerPlayedPing) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    WriteFile(f.folder / "c.R96", ThreeRecords());
    ASSERT_TRUE(doc.Player().OpenPlayback(f.folder / "c.R96"));
    ASSERT_TRUE(doc.Recorder().StartRecording(RecordKind::Point, f.folder / "c.P96"));
    doc.m_udpOutputPoint = 1;
    EXPECT_EQ(f.PlaySteps(3), 3);
    doc.Recorder().OnStopRecording();
    const Bytes points = ReadFile(f.folder / "c.P96");
    const std::size_t record = 2048 + 1440 * 8 + 12;
    ASSERT_EQ(points.size(), 3 * record);
    EXPECT_EQ(std::string(points.begin() + static_cast<std::ptrdiff_t>(record),
                          points.begin() + static_cast<std::ptrdiff_t>(record) + 3),
              "P96");
    // The played record's time stamp and sentence go into the product.
    EXPECT_EQ(std::string(points.begin() + 10, points.begin() + 27), "07122026114139042");
    // What went out by UDP is what went to the file.
    Bytes sent;
    for (const auto& d : f.world.datagrams.m_sent) {
        Append(sent, d.bytes);
    }
    EXPECT_EQ(sent, points);
}

} // namespace
} // namespace vexar::test
