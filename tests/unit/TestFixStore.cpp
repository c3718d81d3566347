// The hand-off of live fixes from a source's thread to the document's: which fix a ping gets,
// how fixes from the past are treated, what the status row says, and that posting and asking
// from two threads at once is safe (this test runs under ThreadSanitizer).

#include "navigation/CFixStore.h"
#include "navigation/CNavigation.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace vexar {
namespace {

constexpr std::int64_t kBaseUtcMs = 1796643699000;

NavigationFix FixAt(std::int64_t utcOffsetMs, double latitude = 43.5) {
    NavigationFix fix;
    fix.utcMs = kBaseUtcMs + utcOffsetMs;
    fix.position = GeoPosition{latitude, 9.0};
    fix.headingDeg = 90.0;
    return fix;
}

TEST(FixStore, APingGetsTheNewestFixNoOlderThanTheMaximumAge) {
    CFixStore store;
    store.Reset(NavSourceKind::Gpsd);
    store.Post(FixAt(0, 43.1), 1000);
    store.Post(FixAt(100, 43.2), 1100);
    store.Post(FixAt(200, 43.3), 1200);
    NavigationSample sample;
    ASSERT_TRUE(store.Newest(1150, 2000, sample));
    EXPECT_EQ(sample.tickMs, 1100u);
    EXPECT_DOUBLE_EQ(sample.fix.position->latitudeDeg, 43.2);
    // The sentence stored with the ping is the fix's, as the playback parse reads it.
    CNavigation nav;
    nav.ParseNavigationSentence(sample.sentence.View(), false);
    EXPECT_NEAR(nav.m_latitude, 43.2, 1e-8);
    EXPECT_TRUE(store.Newest(3200, 2000, sample));
    EXPECT_FALSE(store.Newest(3201, 2000, sample)) << "stale: older than the maximum age";
    EXPECT_FALSE(store.Newest(999, 2000, sample)) << "every fix came after the ping";
}

TEST(FixStore, FixesFromThePastAreRefusedUnlessTheSourceKeepsGoingFromThere) {
    struct Case {
        const char* name;
        std::vector<std::int64_t> times; ///< ms from the first
        std::vector<FixPost> results;
    };
    using enum FixPost;
    const Case cases[] = {
        {"in order", {0, 100, 200}, {Added, Added, Added}},
        {"the same fix completed", {0, 100, 100}, {Added, Added, Updated}},
        {"a late copy", {0, 100, 50, 200}, {Added, Added, OutOfOrder, Added}},
        {"clock set back",
         {0, 5000, 10, 20, 30, 40},
         {Added, Added, OutOfOrder, OutOfOrder, Restarted, Added}},
        {"jumbled is no restart", {0, 5000, 30, 20, 10}, {Added, Added, OutOfOrder, OutOfOrder, OutOfOrder}},
    };
    for (const Case& c : cases) {
        CFixStore store;
        std::vector<FixPost> got;
        std::uint64_t tick = 1000;
        for (const std::int64_t t : c.times) {
            got.push_back(store.Post(FixAt(t), tick += 100));
        }
        EXPECT_EQ(got, c.results) << c.name;
    }
    CFixStore store;
    NavigationFix noPosition = FixAt(0);
    noPosition.position.reset();
    EXPECT_EQ(store.Post(noPosition, 1000), Invalid);
    NavigationFix badHeading = FixAt(0);
    badHeading.headingDeg = 1e300;
    EXPECT_EQ(store.Post(badHeading, 1000), Added) << "a bad value is left out, the fix is kept";
    EXPECT_EQ(store.PostReceived(badHeading, "$AULOG", 1100), Invalid)
        << "a sentence as received is whole or not";
}

TEST(FixStore, StatusGivesRateAgeAndTheStatusRowText) {
    CFixStore store;
    store.Reset(NavSourceKind::Serial);
    EXPECT_EQ(DescribeStatus(store.Status(1000), 2000).text, "Nav: no fix");
    for (int i = 0; i < 20; ++i) {
        store.Post(FixAt(100 * i), 1000 + 100 * static_cast<std::uint64_t>(i));
    }
    const NavigationStatus status = store.Status(2950);
    EXPECT_NEAR(status.rateHz, 10.0, 1e-9);
    EXPECT_EQ(status.ageMs, 50u);
    EXPECT_EQ(status.fixes, 20u);
    struct Case {
        NavSourceKind kind;
        std::uint64_t now;
        bool fromCourse;
        const char* text;
        NavStatusLevel level;
    };
    const Case cases[] = {
        {NavSourceKind::Serial, 2950, false, "Nav: serial 10 Hz", NavStatusLevel::Good},
        {NavSourceKind::Gpsd, 2950, true, "Nav: gpsd 10 Hz, heading from course", NavStatusLevel::Good},
        {NavSourceKind::Serial, 4900, false, "Nav: serial 10 Hz", NavStatusLevel::Good},
        {NavSourceKind::Serial, 6200, false, "Nav: stale 3 s", NavStatusLevel::Stale},
        {NavSourceKind::None, 2950, false, "", NavStatusLevel::Hidden},
    };
    for (const Case& c : cases) {
        NavigationStatus shown = store.Status(c.now);
        shown.kind = c.kind;
        shown.headingFromCourse = c.fromCourse;
        const NavStatusText text = DescribeStatus(shown, 2000);
        EXPECT_EQ(text.text, c.text);
        EXPECT_EQ(text.level, c.level) << c.text;
    }
}

TEST(FixStore, PostingAndAskingFromTwoThreads) {
    CFixStore store;
    store.Reset(NavSourceKind::Gpsd);
    constexpr int kFixes = 3000;
    std::thread source([&store] {
        for (int i = 0; i < kFixes; ++i) {
            store.Post(FixAt(i), 1000 + static_cast<std::uint64_t>(i));
            if (i % 100 == 0) {
                store.SetLinkState(NavLinkState::Connected, "test");
            }
        }
    });
    NavigationSample sample;
    std::uint64_t previous = 0;
    for (int i = 0; i < kFixes; ++i) {
        if (store.Newest(1000 + static_cast<std::uint64_t>(i), 2000, sample)) {
            EXPECT_GE(sample.tickMs, previous);
            previous = sample.tickMs;
        }
        (void)store.Status(1000 + static_cast<std::uint64_t>(i));
    }
    source.join();
    EXPECT_EQ(store.Status(1000 + kFixes).fixes, static_cast<std::uint64_t>(kFixes));
}

} // namespace
} // namespace vexar
