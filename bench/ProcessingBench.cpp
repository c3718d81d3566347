// One full ProcessPing of the heaviest configuration: 4 heads, 480 beams, 1000 samples, Narrow,
// averaging 9, maximum-return profile points. Production against the step-by-step reference.

#include "acquisition/CTamsorDoc.h"
#include "support/FakePorts.h"
#include "support/ProcessingFixtures.h"
#include "support/ReferenceProcessor.h"
#include "support/TestPing.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <sys/resource.h>
#include <thread>

namespace {
std::atomic<long> g_allocations{0};
}

// Counts every allocation of the program; the pairing with free is deliberate.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using namespace vexar;

double g_productionRate = 0.0;
double g_referenceRate = 0.0;
long g_allocationsPerPing = -1;

// The ping of the benchmarks: 480 beams of 1000 samples, nine-ping averaging, profile points.
PingSettings BenchSettings() {
    PingSettings settings = test::ProcessingSettings(480, 1000, 10.0f);
    settings.beamWidth = 2;
    settings.average = 9;
    settings.detectProfilePoints = 1;
    settings.profileFilterType = 1;
    settings.displayMode = kDisplayModePolar;
    return settings;
}

void Configure(COndrel& head, int index) {
    head.m_headIndex = index;
    head.m_transducerType = test::kElementDataType;
    head.m_newData = 1;
    test::SynthSettings synth;
    test::RandomScene(head, synth, static_cast<std::uint32_t>(100 + index));
}

// CPU time of the whole process (all threads), milliseconds: on a shared machine the wall time
// of a ping depends on what else runs, its CPU cost does not.
double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// Page faults of the process so far: a ping that touches fresh memory pays for it here.
long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double g_productionCpuMs = 0.0;
double g_referenceCpuMs = 0.0;

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

void BM_ProcessPing(benchmark::State& state) {
    test::FakeWorld world;
    auto doc = std::make_unique<CTamsorDoc>(world.Ports());
    {
        auto heads = std::make_unique<std::array<COndrel, kHeadCount>>(); // 8 MB: not on the stack
        test::TestPing ping;
        ping.SetTransducerType(test::kElementDataType);
        for (int k = 0; k < kHeadCount; ++k) {
            Configure((*heads)[static_cast<std::size_t>(k)], k);
            ping.SetRawSamples(k, (*heads)[static_cast<std::size_t>(k)].m_rawSamples);
        }
        ping.EnterInto(*doc, BenchSettings());
    }
    // The first ping initialised the processors; the next ones fill every averaging slot, so the
    // first writes into fresh pages are not counted as processing.
    for (int warm = 0; warm < 12; ++warm) {
        doc->ProcessPing();
    }
    const long before = g_allocations.load();
    const long faultsBefore = MinorFaults();
    const double cpuBefore = ProcessCpuMs();
    long pings = 0;
    for (auto _ : state) {
        doc->ProcessPing();
        ++pings;
    }
    g_productionCpuMs = pings > 0 ? (ProcessCpuMs() - cpuBefore) / static_cast<double>(pings) : 0.0;
    state.counters["cpu_ms/ping"] = g_productionCpuMs;
    g_allocationsPerPing = pings > 0 ? (g_allocations.load() - before) / pings : -1;
    state.counters["pings/s"] = benchmark::Counter(static_cast<double>(pings), benchmark::Counter::kIsRate);
    state.counters["allocs/ping"] = static_cast<double>(g_allocationsPerPing);
    state.counters["faults/ping"] =
        pings > 0 ? static_cast<double>(MinorFaults() - faultsBefore) / static_cast<double>(pings) : 0.0;
    state.counters["RSS_MB"] = static_cast<double>(ResidentKb()) / 1024.0;
    state.counters["workers"] = doc->PingRoutine().Workers().Workers();
}
BENCHMARK(BM_ProcessPing)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The reference processes the four heads one after another, as the document did originally.
void BM_ReferencePing(benchmark::State& state) {
    auto headsOwner = std::make_unique<std::array<COndrel, kHeadCount>>(); // 8 MB: not on the stack
    std::array<COndrel, kHeadCount>& heads = *headsOwner;
    std::array<std::unique_ptr<test::ReferenceProcessor>, kHeadCount> processors;
    const PingSettings settings = BenchSettings();
    for (int k = 0; k < kHeadCount; ++k) {
        Configure(heads[static_cast<std::size_t>(k)], k);
        processors[static_cast<std::size_t>(k)] = std::make_unique<test::ReferenceProcessor>();
        processors[static_cast<std::size_t>(k)]->InitialiseProcessor(settings);
    }
    const double cpuBefore = ProcessCpuMs();
    for (auto _ : state) {
        for (int k = 0; k < kHeadCount; ++k) {
            COndrel& head = heads[static_cast<std::size_t>(k)];
            head.m_headImage.fill(0.0f);
            processors[static_cast<std::size_t>(k)]->ProcessHeadPing(settings, test::kElementDataType, head);
        }
    }
    g_referenceCpuMs = (ProcessCpuMs() - cpuBefore) /
                       static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["cpu_ms/ping"] = g_referenceCpuMs;
    state.counters["pings/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReferencePing)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const double seconds = run.GetAdjustedRealTime() / 1000.0; // milliseconds per ping
            const double rate = seconds > 0.0 ? 1.0 / seconds : 0.0;
            if (run.benchmark_name().find("BM_ProcessPing") != std::string::npos) {
                g_productionRate = rate;
            } else if (run.benchmark_name().find("BM_ReferencePing") != std::string::npos) {
                g_referenceRate = rate;
            }
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("allocations per ping: %ld, resident %.1f MB\n", g_allocationsPerPing,
                static_cast<double>(ResidentKb()) / 1024.0);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("cpu per ping: production %.2f ms, reference %.2f ms; on %u idle cores production could "
                "reach %.0f pings/s\n",
                g_productionCpuMs, g_referenceCpuMs, cores,
                g_productionCpuMs > 0.0 ? 1000.0 * std::min(cores, 4u) / g_productionCpuMs : 0.0);
    std::printf("production %.1f pings/s, reference %.1f pings/s, ratio %.1f\n", g_productionRate,
                g_referenceRate, g_referenceRate > 0.0 ? g_productionRate / g_referenceRate : 0.0);
    return 0;
}
