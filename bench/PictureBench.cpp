// Cost of the sonar picture: the per-ping update at the largest picture (2000 x 2000, 1000 data
// points at 100 %, 1440 beams, persistence on) and the rebuild of the pixel map after a
// geometry change.

#include "acquisition/CTamsorDoc.h"
#include "display/CPictureModel.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using vexar::CPictureModel;
using vexar::CTamsorDoc;

struct Scene {
    explicit Scene(bool helperThread, int persistenceS = 5)
        : workers(helperThread ? 1 : 0), model(std::make_unique<CPictureModel>(workers)) {
        vexar::COndrel& head = doc->Head(0);
        head.m_beams = 480;
        head.m_samples = 1000;
        head.m_displayMode = vexar::kDisplayModePolar;
        head.m_persistence = persistenceS;
        doc->m_displayedPingPeriodMs = 100.0f;
        doc->m_zoomIndex = vexar::kZoomFull;
        // Speckle with a few bright arcs, like a harbour wall.
        for (int b = 0; b < vexar::kCombinedBeams; ++b) {
            for (int s = 0; s < vexar::kMaxSamples; ++s) {
                const int noise = (b * 7919 + s * 104729) % 61;
                doc->CombinedImage(b, s) = static_cast<float>(noise + (s % 250 < 6 ? 180 : 0));
            }
        }
        model->InitialUpdate(*doc);
        model->Resize(*doc, 2000, 2000);
    }
    std::unique_ptr<CTamsorDoc> doc = CTamsorDoc::Create(vexar::DocumentPorts{});
    vexar::WorkerPool workers;
    std::unique_ptr<CPictureModel> model;
};

void PerPingUpdate(benchmark::State& state) {
    Scene scene(state.range(0) != 0, static_cast<int>(state.range(1)));
    for (auto _ : state) {
        scene.doc->Head(0).m_newData = 1;
        scene.model->Update(*scene.doc);
        benchmark::DoNotOptimize(scene.model->Picture().data());
    }
    state.counters["side"] = scene.model->Side();
}
BENCHMARK(PerPingUpdate)
    ->ArgNames({"twoCores", "persistenceS"})
    ->Args({1, 5})
    ->Args({0, 5})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void PixelMapRebuild(benchmark::State& state) {
    Scene scene(true);
    for (auto _ : state) {
        scene.model->Rebuild(*scene.doc);
        benchmark::DoNotOptimize(scene.model->Picture().data());
    }
}
BENCHMARK(PixelMapRebuild)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
