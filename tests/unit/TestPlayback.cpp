// Playback of whole and damaged raw files, copying while playing, and the playback controls.

#include "acquisition/DocumentCommands.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"
#include "files/RecordHeader.h"
#include "navigation/XyzExport.h"
#include "support/ElementSynth.h"
#include "support/RecordingFixture.h"
#include "support/TestPing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace vexar::test {
namespace {

struct PlayResult {
    int pings = 0;
    int damaged = 0;
    std::vector<std::uint8_t> firstPayloadBytes; ///< first payload byte of each played ping
};

// The first payload byte of the ping played last: the high byte of head 0's first sample.
std::uint8_t FirstPayloadByte(const CTamsorDoc& doc) {
    return static_cast<std::uint8_t>(doc.PingRoutine().Head(0).m_rawSamples[0] >> 8);
}

// One pass over the file, no looping.
PlayResult PlayOnce(DocFixture& f, const Bytes& file) {
    const std::string path = f.folder / "case.R96";
    WriteFile(path, file);
    PlayResult result;
    if (!f.doc->OpenPlayback(path, true)) {
        return result;
    }
    for (int i = 0; i < 1000; ++i) {
        const StepResult r = f.doc->Playback().Step();
        if (r == StepResult::AtEnd) {
            break;
        }
        if (r == StepResult::Ping) {
            ++result.pings;
            result.firstPayloadBytes.push_back(FirstPayloadByte(*f.doc));
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
    EXPECT_EQ(f.doc->Shown().NavigationSentence(), "$AULOG,1,2,3");
    EXPECT_EQ(f.doc->Shown().Clock().date, "07-12-2026");
    EXPECT_EQ(f.doc->Shown().Clock().time, "11:41:39");
    EXPECT_EQ(f.doc->Shown().Clock().millisecond, "042");
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
    EXPECT_FALSE(f.doc->OpenPlayback(f.folder / "short.R96"));
    EXPECT_EQ(f.world.op.m_messages.back(), "File has no data!!!  ");
    EXPECT_FALSE(f.doc->IsPlayback());
    EXPECT_TRUE(f.world.timers.IsArmed(kWatchdogTimer));

    EXPECT_FALSE(f.doc->OpenPlayback(f.folder / "none.R96"));
    EXPECT_EQ(f.world.op.m_messages.back(), "Error opening file !   ");

    WriteFile(f.folder / "hundred.R96", Bytes(100, 'R'));
    ASSERT_TRUE(f.doc->OpenPlayback(f.folder / "hundred.R96"));
    // Accepted, but a whole pass finds no record: the operator is told and real time resumes.
    EXPECT_EQ(f.PlaySteps(5), 0);
    EXPECT_EQ(f.world.op.m_messages.back(), "File has no data!!!  ");
    EXPECT_FALSE(f.doc->IsPlayback());
    EXPECT_EQ(f.doc->Title(), "Real Time");
    EXPECT_TRUE(f.world.timers.IsArmed(kWatchdogTimer));
}

TEST(Playback, LoopsAtTheEndOfTheFile) {
    DocFixture f;
    WriteFile(f.folder / "loop.R96", ThreeRecords());
    ASSERT_TRUE(f.doc->OpenPlayback(f.folder / "loop.R96"));
    // The step that finds the end goes on with the first record: no step is lost.
    EXPECT_EQ(f.PlaySteps(3), 3);
    EXPECT_EQ(f.doc->Playback().Player().Position(), ThreeRecords().size());
    EXPECT_EQ(f.PlaySteps(1), 1);
    EXPECT_EQ(f.doc->Playback().Player().RecordStart(), 0u);
}

TEST(Playback, CopyEqualsTheOriginalIncludingItsExtensionBlock) {
    DocFixture f;
    Bytes original = MakeRawRecord(64, 0, "$AULOG,1,2,3", Bytes(300, 0xEE));
    Append(original, MakeRawRecord(128, 1, "$AU")); // short sentence still copied whole
    Append(original, MakeRawRecord(64, 2));
    WriteFile(f.folder / "orig.R96", original);
    CTamsorDoc& doc = *f.doc;
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "orig.R96"));
    ASSERT_TRUE(doc.Recording().Start(RecordKind::Raw, f.folder / "copy.R96"));
    EXPECT_EQ(f.PlaySteps(3), 3);
    doc.Recording().Stop();
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
    PingSettings recorded = doc.Shown().Settings();
    recorded.pulseLength = 12;
    RecordHeaderBytes header{};
    WriteRecordHeader(CRecorder::HeaderFields(RecordKind::Raw, 64 * 1061,
                                              RecordContext{&recorded, "07122026114139042", 320.0f, {}}),
                      header);
    Bytes file(header.begin(), header.end());
    const Bytes body = MakeRawRecord(64, 0);
    file.insert(file.end(), body.begin() + 1024, body.end());
    WriteFile(f.folder / "v.R96", file);
    ASSERT_NE(doc.Shown().Settings().pulseLength, 12);
    ASSERT_NE(doc.Shown().Timings().displayedPingPeriodMs, 320.0f);
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "v.R96"));
    ASSERT_EQ(doc.Playback().Step(), StepResult::Ping);
    EXPECT_EQ(doc.Shown().Settings().pulseLength, 12);
    EXPECT_FLOAT_EQ(doc.Shown().Timings().displayedPingPeriodMs, 320.0f);
}

TEST(Playback, OpeningForgetsTheLivePictureAndTimes) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    // A live ping with its times leaves a picture.
    TestPing ping;
    const auto echoes = std::make_unique<COndrel>();
    RandomRawSamples(*echoes, 1);
    ping.SetRawSamples(0, echoes->m_rawSamples);
    PingInput live = ping.Input(doc.Shown().Settings());
    live.requestTime = f.world.clock.Now();
    live.sonarTimeMs = 12.0f;
    live.acquisitionTimeMs = 99.0f;
    doc.EnterPing(live);
    const auto blank = [&] {
        return std::ranges::all_of(doc.PingRoutine().Combined().Image(), [](float v) { return v == 0.0f; });
    };
    ASSERT_FALSE(blank());
    ASSERT_EQ(doc.PingRoutine().Head(0).m_newData, 1);
    const std::uint64_t clears = doc.Shown().ClearVersion();
    WriteFile(f.folder / "one.R96", MakeRawRecord(64, 0));
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "one.R96"));
    EXPECT_EQ(doc.Shown().Timings().sonarTimeMs, 0.0f);
    EXPECT_EQ(doc.Shown().Timings().acquisitionTimeMs, 0.0f);
    EXPECT_TRUE(blank());
    EXPECT_NE(doc.Shown().ClearVersion(), clears);
    EXPECT_EQ(doc.PingRoutine().Head(0).m_newData, 0);
}

TEST(Playback, ControlsSpeedSliderAndHold) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    doc.EditSettings([](Settings& s) { s.system.sleepTimeMs = 100; });
    Bytes file;
    for (int ping = 0; ping < 10; ++ping) {
        Append(file, MakeRawRecord(64, ping));
    }
    WriteFile(f.folder / "ten.R96", file);
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "ten.R96"));
    EXPECT_TRUE(f.world.op.m_playbackOpen);
    EXPECT_EQ(*f.world.timers.DelayOf(kPlaybackTimer), 100);
    EXPECT_FALSE(f.world.timers.IsArmed(kWatchdogTimer));

    StepSpeed(doc, -18);
    EXPECT_EQ(*f.world.timers.DelayOf(kPlaybackTimer), 1000);

    // Releasing the slider at 50 % moves to the record there; at 100 % to the start.
    doc.Playback().OnSliderDragStart();
    doc.Playback().OnSliderRelease(50);
    EXPECT_EQ(doc.Playback().Player().Position(), 5 * GetU32(file, 4));
    EXPECT_FALSE(doc.Playback().IsDragging());
    doc.Playback().OnSliderRelease(100);
    EXPECT_EQ(doc.Playback().Player().Position(), 0u);

    // Hold stops the timer after the current step, and a change of speed does not start it
    // again (it would play one ping while held); releasing Hold continues.
    doc.OnHold();
    doc.OnTimer(kPlaybackTimer);
    EXPECT_FALSE(f.world.timers.IsArmed(kPlaybackTimer));
    StepSpeed(doc, +1);
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
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "three.R96"));

    doc.Playback().OnSliderRelease(10); // 30 % into the first record
    EXPECT_EQ(doc.Playback().Player().Position(), 2 * length);
}

TEST(Playback, CancellingTheOpenDialogResumesWhatRan) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    f.RunLivePings(1);
    doc.OnOpenPlayback(); // no answer queued: cancelled
    EXPECT_EQ(f.world.op.m_dialogs.back().title, "Open Data File:");
    EXPECT_EQ(f.world.op.m_dialogs.back().filterText, "Sonar Data Files: (*.R96) ");
    EXPECT_TRUE(f.world.timers.IsArmed(kPingTimer));
    EXPECT_TRUE(f.world.timers.IsArmed(kWatchdogTimer));

    WriteFile(f.folder / "p.R96", ThreeRecords());
    f.world.op.m_dialogAnswers.push_back(f.folder / "p.R96");
    doc.OnOpenPlayback();
    ASSERT_TRUE(doc.IsPlayback());
    EXPECT_EQ(doc.GetSettings().system.readFolder, f.folder.Folder());
    doc.OnOpenPlayback();
    EXPECT_TRUE(doc.IsPlayback());
    EXPECT_TRUE(f.world.timers.IsArmed(kPlaybackTimer));
    EXPECT_FALSE(f.world.timers.IsArmed(kPingTimer));
}

// "Convert .R96 File to .xyz...", as the menu runs it.
void ConvertFromMenu(CTamsorDoc& doc) {
    const DocumentCommand* command = FindCommand(DocumentCommands(), kCmdConvertXyz);
    ASSERT_NE(command, nullptr);
    command->action(doc, command->value);
}

TEST(Playback, XyzExportEndsWithTheFile) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    WriteFile(f.folder / "survey.R96", ThreeRecords());
    f.world.op.m_dialogAnswers.push_back(f.folder / "survey.R96");
    ConvertFromMenu(doc);
    ASSERT_TRUE(doc.Conversion().Export().IsActive());
    ASSERT_TRUE(doc.Conversion().Export().IsWriting());
    EXPECT_EQ(f.PlaySteps(3), 3);
    EXPECT_EQ(doc.Playback().Step(), StepResult::AtEnd);
    EXPECT_FALSE(doc.Conversion().Export().IsActive());
    // Its sentences hold no position: nothing is made up, and the operator is told once.
    EXPECT_EQ(std::count(f.world.op.m_messages.begin(), f.world.op.m_messages.end(), kXyzNoFixesText), 1);
    EXPECT_TRUE(std::filesystem::exists(f.folder / "survey.xyz"));
}

// "Real Time" brings back the live settings as they were when the file was opened, even those
// never saved, and releases the Hold that ended a conversion.
TEST(Playback, RealTimeRestoresTheLiveSettingsAndReleasesTheConversionHold) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    doc.EditSettings([](Settings& s) {
        s.sonar.startGainDb = 9;
        s.sonar.displayGain = 70;
        s.view.zoomIndex = 1;
        s.sonar.average = 7;
    });
    Bytes file =
        MakeRawRecord(64, 0, "$AULOG,2;30.0,N,3;0.0,E,,-10.0,,0.0,0.0,0.0,0.0,,,0,0,0,0,0.00,10/14/1999,*");
    PutF32(file, 342, 700000.0f); // recorded at 700 kHz
    WriteFile(f.folder / "f.R96", file);
    f.world.op.m_dialogAnswers.push_back(f.folder / "f.R96");
    ConvertFromMenu(doc);
    ASSERT_TRUE(doc.IsPlayback());
    EXPECT_EQ(f.PlaySteps(2), 1);
    ASSERT_TRUE(doc.IsHeld()) << "the conversion ended and holds";
    EXPECT_EQ(doc.Shown().Settings().baseFrequencyKHz, 700);
    EXPECT_EQ(doc.Shown().Navigation().m_latitudeText, "2;30.0");
    doc.EditSettings([](Settings& s) {
        s.sonar.startGainDb = 2;
        s.sonar.displayGain = 20;
        s.view.zoomIndex = 2;
    });

    doc.OnRealTime();
    EXPECT_FALSE(doc.IsHeld());
    EXPECT_EQ(doc.Shown().Settings().startGainDb, 9);
    EXPECT_EQ(doc.Shown().Settings().displayGain, 70);
    EXPECT_EQ(doc.GetSettings().view.zoomIndex, 1);
    EXPECT_EQ(doc.Shown().Settings().average, 7);
    EXPECT_EQ(doc.Shown().Settings().baseFrequencyKHz, 675);
    // The played position is not the live one.
    EXPECT_TRUE(doc.Shown().NavigationSentence().empty());
    EXPECT_TRUE(doc.Shown().Navigation().m_latitudeText.empty());
}

// A played record describes its own ping: it is processed and shown with the range and frequency
// its header gives, while the operator's choice stays as it was; what does not describe the ping
// (a gain) follows the choice at once, also for the ping held; "Real Time" shows the choice again.
TEST(Playback, APlayedRecordDescribesItsPingNotTheOperatorsChoice) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    ASSERT_EQ(doc.GetSettings().sonar.rangeM, 10.0f);
    Bytes file = MakeRawRecord(64, 0);
    PutF32(file, 369, 20.0f);     // recorded at 20 m
    PutF32(file, 342, 700000.0f); // and 700 kHz
    WriteFile(f.folder / "f.R96", file);
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "f.R96"));
    ASSERT_EQ(f.PlaySteps(1), 1);
    if (!doc.IsHeld()) {
        doc.OnHold();
    }
    EXPECT_EQ(doc.Shown().Settings().rangeM, 20.0f);
    EXPECT_EQ(doc.Shown().Settings().baseFrequencyKHz, 700);
    EXPECT_EQ(doc.GetSettings().sonar.rangeM, 10.0f);
    EXPECT_EQ(doc.GetSettings().sonar.baseFrequencyKHz, 675);
    doc.EditSettings([](Settings& s) { s.sonar.displayGain = 33; });
    EXPECT_EQ(doc.Shown().Settings().displayGain, 33);
    EXPECT_EQ(doc.Shown().Settings().rangeM, 20.0f);
    doc.OnRealTime();
    EXPECT_EQ(doc.Shown().Settings(), doc.GetSettings().sonar);
    EXPECT_EQ(doc.Shown().Settings().rangeM, 10.0f);
}

// The operator's Hold is the operator's: "Real Time" keeps it.
TEST(Playback, RealTimeKeepsTheOperatorsHold) {
    DocFixture f;
    WriteFile(f.folder / "h.R96", MakeRawRecord(64, 0));
    ASSERT_TRUE(f.doc->OpenPlayback(f.folder / "h.R96"));
    f.doc->OnHold();
    f.doc->OnRealTime();
    EXPECT_TRUE(f.doc->IsHeld());
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
    CTamsorDoc& doc = *f.doc;
    const auto nextStepDelayMs = [&doc] {
        return doc.Playback().Player().NextStepDelayMs(doc.GetSettings().system.sleepTimeMs);
    };
    const auto sleepTime = [&doc](int ms) {
        doc.EditSettings([ms](Settings& s) { s.system.sleepTimeMs = ms; });
    };
    WriteFile(f.folder / "paced.R96", PacedRecords());
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "paced.R96"));
    doc.Playback().SetRecordedPace(true);
    EXPECT_EQ(doc.Playback().SpeedText(), "1\xC3\x97");
    EXPECT_EQ(doc.Playback().Step(), StepResult::Ping); // the first plays at once
    EXPECT_EQ(doc.Playback().Step(), StepResult::Waiting);
    EXPECT_EQ(nextStepDelayMs(), 200);
    f.world.clock.Advance(150);
    EXPECT_EQ(doc.Playback().Step(), StepResult::Waiting);
    EXPECT_EQ(nextStepDelayMs(), 50);
    f.world.clock.Advance(50);
    EXPECT_EQ(doc.Playback().Step(), StepResult::Ping);
    // A late step does not put the next record back: it is due 400 ms after this one was due.
    f.world.clock.Advance(100);
    EXPECT_EQ(doc.Playback().Step(), StepResult::Waiting);
    EXPECT_EQ(nextStepDelayMs(), 300);

    // By "Sleep Time", the readout tells the speed against the recording's last interval.
    doc.Playback().SetRecordedPace(false);
    sleepTime(100);
    EXPECT_EQ(nextStepDelayMs(), 100);
    EXPECT_EQ(doc.Playback().SpeedText(), "2\xC3\x97");
    sleepTime(300);
    EXPECT_EQ(doc.Playback().SpeedText(), "0.7\xC3\x97");
    sleepTime(0);
    EXPECT_EQ(doc.Playback().SpeedText(), "max");
    EXPECT_EQ(TimeStampMs("07122026114139600").value() - TimeStampMs("06122026114139000").value(), 86400600);
    EXPECT_FALSE(TimeStampMs("0712202611413960"));
    EXPECT_FALSE(TimeStampMs("07132026114139600"));
}

TEST(Playback, StepsAndJumpsShowOnePingAndHold) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    WriteFile(f.folder / "s.R96", ThreeRecords());
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "s.R96"));
    const std::uint8_t second = MakeRawRecord(128, 1)[2048 + 60];
    doc.Playback().StepForward();
    EXPECT_TRUE(doc.IsHeld());
    EXPECT_FALSE(f.world.timers.IsArmed(kPlaybackTimer));
    EXPECT_EQ(FirstPayloadByte(doc), FirstPayload(0));
    doc.Playback().StepForward();
    EXPECT_EQ(FirstPayloadByte(doc), second);
    doc.Playback().StepBack();
    EXPECT_EQ(FirstPayloadByte(doc), FirstPayload(0));
    doc.Playback().StepBack(); // the first stays
    EXPECT_EQ(FirstPayloadByte(doc), FirstPayload(0));
    doc.Playback().JumpToEnd();
    EXPECT_EQ(FirstPayloadByte(doc), FirstPayload(2));
    doc.Playback().StepForward(); // on from the start
    EXPECT_EQ(FirstPayloadByte(doc), FirstPayload(0));
    doc.Playback().StepForward();
    doc.Playback().JumpToStart();
    EXPECT_EQ(FirstPayloadByte(doc), FirstPayload(0));
    EXPECT_TRUE(doc.IsHeld());
}

TEST(Playback, ConversionWritesOneProductRecordPerPlayedPing) {
    DocFixture f;
    CTamsorDoc& doc = *f.doc;
    WriteFile(f.folder / "c.R96", ThreeRecords());
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "c.R96"));
    ASSERT_TRUE(doc.Recording().Start(RecordKind::Point, f.folder / "c.P96"));
    doc.EditSettings([](Settings& s) { s.system.udpOutputPoint = 1; });
    EXPECT_EQ(f.PlaySteps(3), 3);
    doc.Recording().Stop();
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
