// Live navigation's values: which fixes are sound, the sentence composed from a fix and read back
// by the playback parse, the sentences a serial line's bytes split into, and the source named on
// the command line.

#include "navigation/CLineSplitter.h"
#include "navigation/CNavigation.h"
#include "navigation/NavigationFix.h"
#include "navigation/NavigationSentence.h"
#include "navigation/NavigationSource.h"
#include "support/NavigationSample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace vexar {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// 2026-12-07 11:41:39.042 UTC
constexpr std::int64_t kSomeUtcMs = 1796643699042;

NavigationFix FullFix() {
    NavigationFix fix;
    fix.utcMs = kSomeUtcMs;
    fix.position = GeoPosition{43.5123456789, 9.0012345678};
    fix.depthM = 2.125;
    fix.altitudeM = 7.25;
    fix.headingDeg = 91.25;
    fix.pitchDeg = -0.75;
    fix.rollDeg = 1.5;
    fix.speedMps = 0.75;
    fix.courseDeg = 92.0;
    return fix;
}

TEST(LiveNavigation, FixValidationRejectsWhatNoVehicleCanHave) {
    struct Case {
        const char* name;
        std::function<void(NavigationFix&)> change;
        unsigned bad;
    };
    const Case cases[] = {
        {"sound", [](NavigationFix&) {}, 0},
        {"latitude NaN", [](NavigationFix& f) { f.position->latitudeDeg = kNaN; }, kFixPosition},
        {"latitude 90.5", [](NavigationFix& f) { f.position->latitudeDeg = 90.5; }, kFixPosition},
        {"longitude -180.1", [](NavigationFix& f) { f.position->longitudeDeg = -180.1; }, kFixPosition},
        {"pole and date line",
         [](NavigationFix& f) {
             f.position = GeoPosition{-90.0, 180.0};
         },
         0},
        {"depth infinite", [](NavigationFix& f) { f.depthM = kInf; }, kFixDepth},
        {"depth above the surface", [](NavigationFix& f) { f.depthM = -35.4; }, 0},
        {"altitude negative", [](NavigationFix& f) { f.altitudeM = -1.0; }, kFixAltitude},
        {"heading 361", [](NavigationFix& f) { f.headingDeg = 361.0; }, kFixHeading},
        {"heading -10", [](NavigationFix& f) { f.headingDeg = -10.0; }, 0},
        {"pitch 91", [](NavigationFix& f) { f.pitchDeg = 91.0; }, kFixPitch},
        {"roll NaN", [](NavigationFix& f) { f.rollDeg = kNaN; }, kFixRoll},
        {"speed 150 m/s", [](NavigationFix& f) { f.speedMps = 150.0; }, kFixSpeed},
        {"course infinite", [](NavigationFix& f) { f.courseDeg = -kInf; }, kFixCourse},
        {"time 1980", [](NavigationFix& f) { f.utcMs = 315532800000; }, kFixTime},
        {"two at once", [](NavigationFix& f) { f.pitchDeg = kNaN, f.speedMps = -kInf; },
         kFixPitch | kFixSpeed},
    };
    for (const Case& c : cases) {
        NavigationFix fix = FullFix();
        c.change(fix);
        EXPECT_EQ(BadFields(fix), c.bad) << c.name;
        DropFields(fix, BadFields(fix));
        EXPECT_EQ(BadFields(fix), 0u) << c.name;
    }
}

// Every composed sentence reads back, through the playback parse, to the values it was made of
// (to the digits written), and fields the fix lacks stay empty.
TEST(LiveNavigation, ComposedSentenceParsesBackToItsValues) {
    NavigationFix south = FullFix();
    south.position = GeoPosition{-33.99999999999, -151.00000001};
    NavigationFix positionOnly;
    positionOnly.position = GeoPosition{0.5, -0.25};
    NavigationFix noisy = FullFix();
    noisy.rollDeg = kNaN; // dropped, not written as "nan"
    for (const NavigationFix& fix : {FullFix(), south, positionOnly, noisy}) {
        std::array<char, kMaxLiveSentenceLength> buffer;
        const std::size_t length = ComposeSentence(fix, buffer);
        ASSERT_GT(length, 0u);
        const std::string_view sentence(buffer.data(), length);
        CNavigation nav;
        nav.ParseNavigationSentence(sentence, false);
        EXPECT_NEAR(nav.m_latitude, fix.position->latitudeDeg, 1e-8) << sentence;
        EXPECT_NEAR(nav.m_longitude, fix.position->longitudeDeg, 1e-8) << sentence;

        const std::optional<NavigationFix> back = ReadSentence(sentence);
        ASSERT_TRUE(back) << sentence;
        EXPECT_EQ(back->utcMs, fix.utcMs) << sentence;
        const auto same = [&](const std::optional<double>& was, const std::optional<double>& is,
                              double digits) {
            const bool written = was && std::isfinite(*was);
            ASSERT_EQ(is.has_value(), written) << sentence;
            if (written) {
                EXPECT_NEAR(*is, *was, digits) << sentence;
            }
        };
        same(fix.depthM, back->depthM, 5e-4);
        same(fix.altitudeM, back->altitudeM, 5e-3);
        same(fix.headingDeg, back->headingDeg, 5e-3);
        same(fix.pitchDeg, back->pitchDeg, 5e-3);
        same(fix.rollDeg, back->rollDeg, 5e-3);
        same(fix.speedMps, back->speedMps, 5e-3);
        EXPECT_EQ(sentence.find("nan"), std::string_view::npos);
    }
}

TEST(LiveNavigation, ReadSentenceTakesOnlySoundSentences) {
    const std::string sample = test::kSampleNavigationSentence;
    struct Case {
        std::string line;
        bool sound;
    };
    const auto with = [&](const std::string& from, const std::string& to) {
        std::string line = sample;
        line.replace(line.find(from), from.size(), to);
        return line;
    };
    const Case cases[] = {
        {sample, true},
        {"$AULOG,,N,,E,,1.0,,,,,,,,,,,,,,*00", true},     // no position: the store decides
        {"$AULOG,,,,,,1.0,,,,,,,,,,,,,,*00", false},      // the parse would read depth from field 7
        {sample.substr(0, sample.find(",10/14")), false}, // cut short
        {with("-35.4", "nan"), false},
        {with("64.8", "1e999"), false},
        {with("64.8", "400"), false},
        {with("64.8", "64.8x"), false},
        {with("2;29.9805646N", "91;0.0N"), false},
        {with("2;29.9805646N", "2;61.0N"), false},
        {with("2;29.9805646N", "229.98"), false},
        {with(",N,", ",X,"), false},
        {with("$AULOG", "$GPGGA"), false},
        {with("-1.1", "-1\x01.1"), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadSentence(c.line).has_value(), c.sound) << c.line;
    }
    const std::optional<NavigationFix> fix = ReadSentence(sample);
    ASSERT_TRUE(fix);
    EXPECT_NEAR(fix->position->longitudeDeg, -99.22190302, 1e-8);
    EXPECT_FALSE(fix->altitudeM) << "field 7 is empty";
    EXPECT_FALSE(fix->utcMs) << "\"0.00\" is no time";
    EXPECT_EQ(ReadSentence(with("0.00,10/14/1999", "23:59:59.5,10/14/1999")).value().utcMs, 939945599500);
}

TEST(LiveNavigation, SplitterFindsSentencesInAnyPieces) {
    const std::string cap(kMaxLiveSentenceLength - 1, 'x');
    struct Case {
        const char* name;
        std::vector<std::string> reads;
        std::vector<std::string> sentences;
    };
    const std::vector<Case> cases = {
        {"one per read", {"$A,1\r\n", "$B,2\r\n"}, {"$A,1", "$B,2"}},
        {"split across reads", {"$A,", "1", "2\r", "\n$B\n"}, {"$A,12", "$B"}},
        {"run together", {"$A,1$B,2$C,3\n"}, {"$A,1", "$B,2", "$C,3"}},
        {"garbage before and between", {"\x01\xFFnoise$A,1\r\njunk\n$B\n"}, {"$A,1", "$B"}},
        {"bare line ends", {"\r\n\r\n\n$A\r\r"}, {"$A"}},
        {"longest kept", {"$" + cap + "\n"}, {"$" + cap}},
        {"too long dropped up to the line end", {"$" + cap + "y", "zz\n$A\n"}, {"$A"}},
        {"too long dropped up to the next $", {"$" + cap + "yy$A\n"}, {"$A"}},
        {"damaged dropped",
         {std::string("$A,1\0"
                      "2\n$B\n",
                      10)},
         {"$B"}},
        {"unfinished kept for the next read", {"$A,1"}, {}},
    };
    for (const Case& c : cases) {
        CLineSplitter splitter;
        std::vector<std::string> got;
        for (const std::string& read : c.reads) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(read.data());
            splitter.Feed(std::span<const std::uint8_t>(bytes, read.size()),
                          [&](std::string_view line) { got.emplace_back(line); });
        }
        EXPECT_EQ(got, c.sentences) << c.name;
    }
}

TEST(LiveNavigation, ChoiceNamesTheSource) {
    struct Case {
        const char* text;
        bool valid;
        NavSourceKind kind;
        const char* where;
        int number; ///< baud or port
    };
    const Case cases[] = {
        {"none", true, NavSourceKind::None, "", 0},
        {"serial:/dev/ttyUSB0", true, NavSourceKind::Serial, "/dev/ttyUSB0", 0},
        {"serial:/dev/ttyS1,115200", true, NavSourceKind::Serial, "/dev/ttyS1", 115200},
        {"serial:/dev/ttyS1,115201", false, NavSourceKind::None, "", 0},
        {"serial:/dev/ttyS1,fast", false, NavSourceKind::None, "", 0},
        {"serial:", false, NavSourceKind::None, "", 0},
        {"gpsd", true, NavSourceKind::Gpsd, "127.0.0.1", 2947},
        {"gpsd:127.0.0.1:3000", true, NavSourceKind::Gpsd, "127.0.0.1", 3000},
        {"gpsd:localhost", true, NavSourceKind::Gpsd, "localhost", 2947},
        {"gpsd:127.0.0.1:99999", false, NavSourceKind::None, "", 0},
        {"gpsd:", false, NavSourceKind::None, "", 0},
        {"GPSD", false, NavSourceKind::None, "", 0},
        {"", false, NavSourceKind::None, "", 0},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<NavSourceChoice> choice = ParseNavSource(c.text, &error);
        ASSERT_EQ(choice.has_value(), c.valid) << c.text;
        if (!choice) {
            EXPECT_FALSE(error.empty()) << c.text;
            continue;
        }
        EXPECT_EQ(choice->kind, c.kind) << c.text;
        if (c.kind == NavSourceKind::Serial) {
            EXPECT_EQ(choice->device, c.where) << c.text;
            EXPECT_EQ(choice->baud, c.number) << c.text;
        } else if (c.kind == NavSourceKind::Gpsd) {
            EXPECT_EQ(choice->host, c.where) << c.text;
            EXPECT_EQ(choice->port, c.number) << c.text;
        }
    }
}

} // namespace
} // namespace vexar
