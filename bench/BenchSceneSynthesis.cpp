// How long the simulated head needs to synthesise one ping: it does so when block 0 is
// requested, so this is the extra delay of every ping's first reply.

#include "sim/Scene.h"
#include "sim/World.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void BM_SynthesisePing(benchmark::State& state) {
    const vexar::sim::Scene scene = vexar::sim::PlainScene();
    vexar::sim::PingGeometry geometry;
    geometry.samples = static_cast<int>(state.range(0));
    auto buffer = std::make_unique<vexar::PingBuffer>();
    std::uint64_t ping = 0;
    for (auto _ : state) {
        vexar::sim::SynthesisePing(scene, geometry, ping++, *buffer);
        benchmark::DoNotOptimize(buffer->data());
    }
}
BENCHMARK(BM_SynthesisePing)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);

/// A ping of the default harbour, half a minute into the vehicle's lap (quay wall, piles and the
/// sloping seabed's band of speckle in view).
void BM_SynthesiseHarbourPing(benchmark::State& state) {
    const vexar::sim::Scene scene =
        vexar::sim::SceneAt(vexar::sim::HarbourWorld(), vexar::sim::PoseAt(vexar::sim::HarbourTrack(), 30.0));
    vexar::sim::PingGeometry geometry;
    geometry.rangeM = static_cast<float>(state.range(0));
    auto buffer = std::make_unique<vexar::PingBuffer>();
    std::uint64_t ping = 0;
    for (auto _ : state) {
        vexar::sim::SynthesisePing(scene, geometry, ping++, *buffer);
        benchmark::DoNotOptimize(buffer->data());
    }
}
BENCHMARK(BM_SynthesiseHarbourPing)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_SynthesiseOneTarget(benchmark::State& state) {
    vexar::sim::Scene scene;
    scene.points = {{30.0f, 5.0f, 1.0f}};
    vexar::sim::PingGeometry geometry;
    auto buffer = std::make_unique<vexar::PingBuffer>();
    for (auto _ : state) {
        vexar::sim::SynthesisePing(scene, geometry, 0, *buffer);
        benchmark::DoNotOptimize(buffer->data());
    }
}
BENCHMARK(BM_SynthesiseOneTarget)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
