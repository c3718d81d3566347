// Cost of the navigation work done per played ping: the sentence parse with the track running,
// the UTM projection, and the XYZ lines of a ping with a profile point on every beam.

#include "head/COndrel.h"
#include "navigation/CNavigation.h"
#include "navigation/NavigationMath.h"
#include "navigation/XyzExport.h"
#include "support/NavigationSample.h"

#include <benchmark/benchmark.h>

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
    const vexar::XyzPing ping{&settings,  profile.data(), "07-12-2026",
                              "11:41:39", "042",          "07122026114139042"};
    for (auto _ : state) {
        xyz.WritePing(nav, ping);
    }
    state.SetItemsProcessed(state.iterations() * 1440);
}
BENCHMARK(BM_WriteXyzPing)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
