// Cost of the navigation work done per played ping: the sentence parse with the track running,
// the UTM projection, and the XYZ lines of a ping with a profile point on every beam. And what a
// live ping costs the document's thread: the store lookup of the ping's fix (its sentence
// composed when the source posted it) and, for comparison, composing a sentence. And placing a
// beam record on the map.

#include "head/COndrel.h"
#include "navigation/CFixStore.h"
#include "navigation/CNavigation.h"
#include "navigation/NavigationMath.h"
#include "navigation/PingPlacer.h"
#include "navigation/XyzExport.h"
#include "support/NavigationSample.h"

#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <vector>

namespace {

void BM_ParseNavigationSentence(benchmark::State& state) {
    vexar::CNavigation nav;
    for (auto _ : state) {
        nav.ParseNavigationSentence(vexar::test::kSampleNavigationSentence, true);
        benchmark::DoNotOptimize(nav.m_trackOffsetX);
    }
}
BENCHMARK(BM_ParseNavigationSentence);

void BM_LatLonToUtm(benchmark::State& state) {
    double lat = 59.9;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vexar::LatLonToUtm(lat, 5.3));
        lat += 1e-9;
    }
}
BENCHMARK(BM_LatLonToUtm);

/// One ping of 1440 display beams (480 per head), every beam with a point, to /dev/null.
void BM_WriteXyzPing(benchmark::State& state) {
    vexar::PingSettings settings;
    vexar::SetBeams(settings, 480);
    settings.samples = 1000;
    std::vector<float> profile(vexar::kCombinedBeams, 0.0f);
    for (int i = 0; i < 1440; ++i) {
        profile[static_cast<std::size_t>(i)] = 100.0f + static_cast<float>(i % 700);
    }
    vexar::CNavigation nav;
    vexar::CXyzExport xyz(nullptr);
    if (!xyz.StartToFile("/dev/null", {}, nav)) {
        state.SkipWithError("cannot open /dev/null");
        return;
    }
    const vexar::XyzPing ping{&settings, profile.data(),      "07-12-2026", "11:41:39",
                              "042",     "07122026114139042", {},           2000};
    for (auto _ : state) {
        xyz.WritePing(nav, ping);
    }
    state.SetItemsProcessed(state.iterations() * 1440);
}
BENCHMARK(BM_WriteXyzPing)->Unit(benchmark::kMicrosecond);

// One beam record of 1440 beams placed as `mosaic` places it (the sentence followed, the head's
// pose made, a ray per beam): vertical (0) and level, tilted, turned and off the reference (1).
void BM_PlaceBeamRecord(benchmark::State& state) {
    vexar::RecordHeaderFields fields;
    fields.signature = "B96";
    fields.beamCount = 1440;
    fields.samples = 1000;
    fields.rangeM = 20.0f;
    fields.soundVelocity = 1480.0f;
    fields.timeStamp = "14101999000000100";
    const vexar::HeadMounting mounting =
        state.range(0) == 0 ? vexar::HeadMounting{}
                            : vexar::HeadMounting{vexar::HeadPlane::Level, 15.0, 180.0, 2.0, -1.0, 0.5};
    vexar::PingPlacer placer({}, mounting, 2000);
    vexar::PlacedPing ping;
    for (auto _ : state) {
        benchmark::DoNotOptimize(placer.Place(fields, vexar::test::kSampleNavigationSentence, ping));
    }
}
BENCHMARK(BM_PlaceBeamRecord)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

vexar::NavigationFix LiveFix(int i) {
    vexar::NavigationFix fix;
    fix.utcMs = 1796643699000 + 100 * i;
    fix.position = vexar::GeoPosition{43.5 + 1e-6 * i, 9.0};
    fix.depthM = 2.0;
    fix.altitudeM = 7.2;
    fix.headingDeg = 90.0 + 0.2 * i;
    fix.pitchDeg = 0.8;
    fix.rollDeg = -1.5;
    fix.speedMps = 0.75;
    fix.courseDeg = 90.0;
    return fix;
}

/// The fix of a ping from a full store of fixes 100 ms apart: the ping asks `back` fixes behind
/// the newest (0: the newest; 255: the oldest, the whole ring searched).
void BM_FixStoreLookup(benchmark::State& state) {
    vexar::CFixStore store;
    store.Reset(vexar::NavSourceKind::Gpsd);
    const int count = static_cast<int>(vexar::CFixStore::kCapacity);
    for (int i = 0; i < count; ++i) {
        store.Post(LiveFix(i), 1000 + 100 * static_cast<std::uint64_t>(i));
    }
    const std::uint64_t tick = 1000 + 100 * static_cast<std::uint64_t>(count - 1 - state.range(0)) + 50;
    vexar::NavigationSample sample;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.Newest(tick, 30000, sample));
        benchmark::DoNotOptimize(sample.sentence.length);
    }
}
BENCHMARK(BM_FixStoreLookup)->Arg(0)->Arg(3)->Arg(255);

/// Everything navigation costs a live ping: the link's lookup of the ping's fix in a full store
/// (on the link's thread) and, on the document's thread, taking its sentence and parsing it into
/// the values the info panel, the picture and the products use.
void BM_LivePingNavigation(benchmark::State& state) {
    vexar::CFixStore store;
    store.Reset(vexar::NavSourceKind::Serial);
    const int count = static_cast<int>(vexar::CFixStore::kCapacity);
    for (int i = 0; i < count; ++i) {
        store.Post(LiveFix(i), 1000 + 100 * static_cast<std::uint64_t>(i));
    }
    const std::uint64_t tick = 1000 + 100 * static_cast<std::uint64_t>(count - 1) + 50;
    vexar::NavigationSample sample;
    vexar::CNavigation nav;
    std::string sentence;
    for (auto _ : state) {
        if (store.Newest(tick, 2000, sample)) {
            sentence.assign(sample.sentence.View());
            nav.ParseNavigationSentence(sentence, false);
        }
        benchmark::DoNotOptimize(nav.m_heading);
    }
}
BENCHMARK(BM_LivePingNavigation)->Unit(benchmark::kMicrosecond);

void BM_ComposeSentence(benchmark::State& state) {
    const vexar::NavigationFix fix = LiveFix(7);
    std::array<char, vexar::kMaxLiveSentenceLength> text;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vexar::ComposeSentence(fix, text));
    }
}
BENCHMARK(BM_ComposeSentence);

} // namespace

BENCHMARK_MAIN();
