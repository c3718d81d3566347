#include "navigation/CNavigation.h"
#include "navigation/XyzExport.h"
#include "support/NavigationSample.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace vexar {
namespace {

using test::kSampleNavigationSentence;

/// A sentence with every field, in the layout the vehicle writes.
std::string Sentence(const char* latitude, char latHemisphere, const char* longitude, char lonHemisphere,
                     const char* depth, const char* heading = "64.8") {
    char text[256];
    std::snprintf(text, sizeof text,
                  "$AULOG,%s,%c,%s,%c,,%s,,%s,-0.0,-1.1,0.6,,,0.0,230,0,9913,0.00,10/14/1999,**6B", latitude,
                  latHemisphere, longitude, lonHemisphere, depth, heading);
    return text;
}

TEST(NavigationSentence, SampleSentenceValuesAndTexts) {
    CNavigation nav;
    nav.ParseNavigationSentence(kSampleNavigationSentence, false);
    EXPECT_NEAR(nav.m_latitude, 2.49967608, 1e-8);
    EXPECT_NEAR(nav.m_longitude, -99.22190302, 1e-8);
    EXPECT_EQ(nav.m_latitudeHemisphere, 'N');
    EXPECT_EQ(nav.m_longitudeHemisphere, 'W');
    EXPECT_FLOAT_EQ(nav.m_depth, -35.4f);
    EXPECT_FLOAT_EQ(nav.m_altitude, 0.0f);
    EXPECT_FLOAT_EQ(nav.m_heading, 64.8f);
    EXPECT_FLOAT_EQ(nav.m_pitch, 0.0f);
    EXPECT_TRUE(std::signbit(nav.m_pitch));
    EXPECT_FLOAT_EQ(nav.m_roll, -1.1f);
    EXPECT_FLOAT_EQ(nav.m_speed, 0.6f);

    EXPECT_EQ(nav.m_latitudeText, "2;29.9805646N");
    EXPECT_EQ(nav.m_longitudeText, "99;13.3141814E");
    EXPECT_EQ(nav.m_depthText, "-35.400 m");
    EXPECT_EQ(nav.m_altitudeText, "0.0 m");
    EXPECT_EQ(nav.m_headingText, "64.8 deg.");
    EXPECT_EQ(nav.m_pitchText, "-0.0 deg.");
    EXPECT_EQ(nav.m_rollText, "-1.1 deg.");
    EXPECT_EQ(nav.m_speedText, "0.6 m/s");
    EXPECT_EQ(nav.m_timeText, "") << "field 18 \"0.00\" is too short to be a time";
    EXPECT_EQ(nav.m_dateText, "10/14/1999");
}

TEST(NavigationSentence, TimeLongerThanSevenCharactersIsKept) {
    CNavigation nav;
    nav.ParseNavigationSentence(
        "$AULOG,2;30.0,N,99;15.0,W,,1.0,,0,0,0,0,,,0.0,230,0,9913,12:30:45,short,**6B", false);
    EXPECT_EQ(nav.m_timeText, "12:30:45");
    EXPECT_EQ(nav.m_dateText, "");
    // Without a comma after the date there is no date, and a later sentence empties the old one.
    nav.ParseNavigationSentence(
        "$AULOG,2;30.0,N,99;15.0,W,,1.0,,0,0,0,0,,,0.0,230,0,9913,12:30:45,10/14/1999", false);
    EXPECT_EQ(nav.m_dateText, "");
}

TEST(NavigationSentence, SouthAndWestLettersInEitherCase) {
    CNavigation nav;
    // The degrees' own minus sign and the letter do not cancel: -2 + 30/60 turns into -1.5.
    nav.ParseNavigationSentence(Sentence("-2;30.0", 's', "10;30.0", 'w', "1.0"), false);
    EXPECT_DOUBLE_EQ(nav.m_latitude, -1.5);
    EXPECT_DOUBLE_EQ(nav.m_longitude, -10.5);
    nav.ParseNavigationSentence(Sentence("2;30.0", 'S', "10;30.0", 'W', "1.0"), false);
    EXPECT_DOUBLE_EQ(nav.m_latitude, -2.5);
    EXPECT_DOUBLE_EQ(nav.m_longitude, -10.5);
    nav.ParseNavigationSentence(Sentence("2;30.0", 'N', "10;30.0", 'E', "1.0"), false);
    EXPECT_DOUBLE_EQ(nav.m_latitude, 2.5);
    EXPECT_DOUBLE_EQ(nav.m_longitude, 10.5);
}

TEST(NavigationSentence, FourCommasGivePositionOnly) {
    CNavigation nav;
    nav.ParseNavigationSentence(kSampleNavigationSentence, false);
    nav.ParseNavigationSentence("$AULOG,10;30.0N,S,20;15.0E,E", false);
    EXPECT_DOUBLE_EQ(nav.m_latitude, -10.5);
    EXPECT_DOUBLE_EQ(nav.m_longitude, 20.25);
    EXPECT_EQ(nav.m_latitudeText, "10;30.0N");
    EXPECT_EQ(nav.m_longitudeText, "20;15.0E");
    EXPECT_FLOAT_EQ(nav.m_depth, -35.4f);
    EXPECT_FLOAT_EQ(nav.m_heading, 64.8f);
    EXPECT_FLOAT_EQ(nav.m_roll, -1.1f);
    EXPECT_EQ(nav.m_depthText, "-35.400 m");
    EXPECT_EQ(nav.m_dateText, "10/14/1999");
}

TEST(NavigationSentence, EmptyAndSeparatorlessSentencesChangeNothing) {
    for (const char* text : {"", "$AULOG", "$AULOG,", "$AULOG,1;2", "$AULOG,1;2,N,3;4,W,,5,,6,7,8,9"}) {
        CNavigation nav;
        nav.ParseNavigationSentence(kSampleNavigationSentence, false);
        nav.ParseNavigationSentence(text, false);
        EXPECT_NEAR(nav.m_latitude, 2.49967608, 1e-8) << text;
        EXPECT_NEAR(nav.m_longitude, -99.22190302, 1e-8) << text;
        EXPECT_FLOAT_EQ(nav.m_depth, -35.4f) << text;
        EXPECT_EQ(nav.m_latitudeText, "2;29.9805646N") << text;
    }
}

TEST(NavigationSentence, NumbersAreReadAsTheCLibraryDoes) {
    CNavigation nav;
    // Absent numbers are 0, trailing text is ignored, blanks lead.
    nav.ParseNavigationSentence("$AULOG,12;x,N,7;3.5abc,E,,  -4.25m,abc,1e1,,2.5.5,0x,,,,,,,,,", false);
    EXPECT_DOUBLE_EQ(nav.m_latitude, 12.0);
    EXPECT_DOUBLE_EQ(nav.m_longitude, 7.0 + 3.5 / 60.0);
    EXPECT_FLOAT_EQ(nav.m_depth, -4.25f);
    EXPECT_FLOAT_EQ(nav.m_altitude, 0.0f);
    EXPECT_FLOAT_EQ(nav.m_heading, 10.0f);
    EXPECT_FLOAT_EQ(nav.m_pitch, 0.0f);
    EXPECT_FLOAT_EQ(nav.m_roll, 2.5f);
    EXPECT_FLOAT_EQ(nav.m_speed, 0.0f);
}

TEST(NavigationSentence, HemisphereAfterFinalCommaIsNotReadPastTheText) {
    // The text ends at the comma after the longitude; the "W" behind it in memory is not part
    // of the sentence and must not make the longitude west.
    const std::string buffer = "$AULOG,2;30.0,N,99;15.0,W";
    const std::string_view sentence(buffer.data(), buffer.size() - 1);
    CNavigation nav;
    nav.ParseNavigationSentence(sentence, false);
    EXPECT_DOUBLE_EQ(nav.m_longitude, 99.25);
    EXPECT_EQ(nav.m_longitudeHemisphere, '\0');

    const std::string south = "$AULOG,2;30.0,S";
    CNavigation other;
    other.ParseNavigationSentence(std::string_view(south.data(), south.size() - 1), false);
    EXPECT_DOUBLE_EQ(other.m_latitude, 2.5);
    EXPECT_EQ(other.m_latitudeHemisphere, '\0');
}

/// The values a sentence can set, in the order the parse reaches them.
struct Snapshot {
    double latitude, longitude;
    float depth, altitude, heading, pitch, roll, speed;
    std::string timeText, dateText;
};

Snapshot Take(const CNavigation& nav) {
    return {nav.m_latitude, nav.m_longitude, nav.m_depth, nav.m_altitude, nav.m_heading,
            nav.m_pitch,    nav.m_roll,      nav.m_speed, nav.m_timeText, nav.m_dateText};
}

TEST(NavigationSentence, EveryCutKeepsWhatWasNotReached) {
    const std::string before =
        "$AULOG,50;6.0N,N,1;3.0E,E,,-10.0,2.0,10.0,1.0,2.0,3.0,,,0,0,0,0,01:02:03.5,01/01/2001,*";
    const std::string after = Sentence("2;29.9805646N", 'S', "99;13.3141814E", 'W', "-35.4");
    CNavigation full;
    full.ParseNavigationSentence(before, false);
    const Snapshot old = Take(full);
    full.ParseNavigationSentence(after, false);
    const Snapshot all = Take(full);

    int lastReached = 0;
    for (std::size_t n = 0; n <= after.size(); ++n) {
        CNavigation nav;
        nav.ParseNavigationSentence(before, false);
        // A heap copy of exactly n bytes without a terminator: under AddressSanitizer any read
        // behind the cut fails the test.
        const std::vector<char> cut(after.begin(), after.begin() + static_cast<std::ptrdiff_t>(n));
        nav.ParseNavigationSentence(std::string_view(cut.data(), cut.size()), false);
        const Snapshot now = Take(nav);

        // Each value is either the old one or the new one, and the new ones form a prefix of
        // the field order that never shrinks as the cut moves right.
        const bool latitudeNew = now.latitude != old.latitude;
        EXPECT_TRUE(!latitudeNew || std::fabs(now.latitude) == std::fabs(all.latitude)) << n;
        const bool longitudeNew = now.longitude != old.longitude;
        EXPECT_TRUE(!longitudeNew || std::fabs(now.longitude) == std::fabs(all.longitude)) << n;
        const bool reached[] = {latitudeNew,
                                longitudeNew,
                                now.depth == all.depth,
                                now.altitude == all.altitude,
                                now.heading == all.heading,
                                now.pitch == all.pitch,
                                now.roll == all.roll,
                                now.speed == all.speed,
                                now.dateText == all.dateText};
        const float olds[] = {old.depth, old.altitude, old.heading, old.pitch, old.roll, old.speed};
        const float nows[] = {now.depth, now.altitude, now.heading, now.pitch, now.roll, now.speed};
        for (int f = 0; f < 6; ++f) {
            EXPECT_TRUE(reached[f + 2] || nows[f] == olds[f]) << "cut " << n << " field " << f;
        }
        int count = 0;
        while (count < 9 && reached[count]) {
            ++count;
        }
        for (int f = count; f < 9; ++f) {
            EXPECT_FALSE(reached[f]) << "cut " << n << ": field " << f << " set after an unset one";
        }
        EXPECT_GE(count, lastReached) << "cut " << n;
        lastReached = count;
    }
    EXPECT_EQ(lastReached, 9);
}

TEST(NavigationSentence, ARecordWithoutSentenceClearsTextsAndSentence) {
    test::DocFixture f;
    EXPECT_TRUE(f.doc->Shown().NavigationSentence().empty()) << "no position before a recording gives one";
    test::Bytes file = test::MakeRawRecord(64, 0, kSampleNavigationSentence);
    test::Append(file, test::MakeRawRecord(64, 1));
    test::WriteFile(f.folder / "nav.R96", file);
    ASSERT_TRUE(f.doc->OpenPlayback(f.folder / "nav.R96"));
    ASSERT_EQ(f.PlaySteps(1), 1);
    ASSERT_EQ(f.doc->Shown().Navigation().m_depthText, "-35.400 m");
    ASSERT_EQ(f.PlaySteps(1), 1);
    const CNavigation& nav = f.doc->Shown().Navigation();
    EXPECT_TRUE(f.doc->Shown().NavigationSentence().empty());
    EXPECT_EQ(nav.m_sentenceLength, 0);
    for (const std::string* text :
         {&nav.m_latitudeText, &nav.m_longitudeText, &nav.m_dateText, &nav.m_timeText, &nav.m_speedText,
          &nav.m_headingText, &nav.m_pitchText, &nav.m_rollText, &nav.m_depthText, &nav.m_altitudeText}) {
        EXPECT_TRUE(text->empty());
    }
    // The values stay: attitude of the last sentence still applies to the next ping.
    EXPECT_FLOAT_EQ(nav.m_roll, -1.1f);
}

} // namespace
} // namespace vexar
