// Cost of the sonar picture: the per-ping update at the largest picture (2000 x 2000, 1000 data
// points at 100 %, 1440 beams, persistence on), Head Up and North Up (turned by a heading that
// changes every ping, as a turning vehicle's does), and the rebuild of the pixel map after a
// geometry change.

#include "display/CPictureModel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using vexar::CPictureModel;

// A ping as the document would hand it to the picture, held here.
struct Scene {
    explicit Scene(bool helperThread, int persistenceS = 5)
        : workers(helperThread ? 1 : 0), model(std::make_unique<CPictureModel>(workers)) {
        vexar::SetBeams(settings, 480);
        settings.samples = 1000;
        settings.displayMode = vexar::kDisplayModePolar;
        settings.persistence = persistenceS;
        view.zoomIndex = vexar::kZoomFull;
        // Speckle with a few bright arcs, like a harbour wall.
        for (int b = 0; b < vexar::kCombinedBeams; ++b) {
            for (int s = 0; s < vexar::kMaxSamples; ++s) {
                const int noise = (b * 7919 + s * 104729) % 61;
                image[static_cast<std::size_t>(b) * vexar::kMaxSamples + static_cast<std::size_t>(s)] =
                    static_cast<float>(noise + (s % 250 < 6 ? 180 : 0));
            }
        }
        model->InitialUpdate(Input());
        model->Resize(Input(), 2000, 2000);
    }
    vexar::PictureInput Input() const {
        vexar::PictureInput input;
        input.settings = &settings;
        input.view = &view;
        input.combinedImage = image.data();
        input.combinedProfile = profile.data();
        input.heads = heads.get();
        input.displayedPingPeriodMs = 100.0f;
        input.topBearingDeg = headingDeg;
        return input;
    }
    float headingDeg = 37.0f;
    vexar::PingSettings settings;
    vexar::ViewSettings view;
    std::vector<float> image =
        std::vector<float>(static_cast<std::size_t>(vexar::kCombinedBeams) * vexar::kMaxSamples);
    std::vector<float> profile = std::vector<float>(vexar::kCombinedBeams);
    std::unique_ptr<std::array<vexar::COndrel, vexar::kHeadCount>> heads =
        std::make_unique<std::array<vexar::COndrel, vexar::kHeadCount>>();
    vexar::WorkerPool workers;
    std::unique_ptr<CPictureModel> model;
};

void PerPingUpdate(benchmark::State& state) {
    Scene scene(state.range(0) != 0, static_cast<int>(state.range(1)));
    scene.view.orientation =
        state.range(2) != 0 ? vexar::ViewOrientation::NorthUp : vexar::ViewOrientation::HeadUp;
    for (auto _ : state) {
        (*scene.heads)[0].m_newData = 1;
        scene.model->Update(scene.Input());
        benchmark::DoNotOptimize(scene.model->Picture().data());
        scene.headingDeg = std::fmod(scene.headingDeg + 0.7f, 360.0f);
    }
    state.counters["side"] = scene.model->Side();
}
BENCHMARK(PerPingUpdate)
    ->ArgNames({"twoCores", "persistenceS", "northUp"})
    ->Args({1, 5, 0})
    ->Args({1, 5, 1})
    ->Args({0, 5, 0})
    ->Args({0, 5, 1})
    ->Args({1, 0, 0})
    ->Args({1, 0, 1})
    ->Args({0, 0, 0})
    ->Args({0, 0, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void PixelMapRebuild(benchmark::State& state) {
    Scene scene(true);
    for (auto _ : state) {
        scene.model->Rebuild(scene.Input());
        benchmark::DoNotOptimize(scene.model->Picture().data());
    }
}
BENCHMARK(PixelMapRebuild)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
