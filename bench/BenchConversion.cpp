// Conversion of a raw recording to beam and profile-point records: one playback step per ping
// (file reading, checks, ping assembly, the per-ping routine) with the products written to
// files, against playback alone and the record building alone. The recording has 1000 pings of
// 480 beams x 1000 samples.

#include "acquisition/CTamsorDoc.h"
#include "files/CDataFile.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace vexar;

constexpr int kPings = 1000;

std::filesystem::path Folder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / "vexar-bench-conversion";
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

// Writes the recording once: records as the recorder writes them, with varied payloads.
const std::string& Recording() {
    static const std::string path = [] {
        const std::string file = (Folder() / "bench.R96").string();
        CDataFile out;
        out.Open(file, CDataFile::Mode::CreateWrite);
        RecordHeaderFields f;
        f.signature = "R96";
        f.dataLength = 128 * kPacketPairSize;
        f.timeStamp = "07122026114139042";
        f.soundVelocity = 1480.0f;
        f.frequencyHz = 675000.0f;
        f.beamCount = 1440;
        f.samples = 1000;
        f.rangeM = 10.0f;
        f.pulseLengthUs = 60;
        std::vector<std::uint8_t> record(static_cast<std::size_t>(kRecordDataOffset) + f.dataLength);
        COndrel head;
        std::uint32_t state = 1;
        for (int ping = 0; ping < kPings; ++ping) {
            RecordHeaderBytes header{};
            WriteRecordHeader(f, header);
            std::copy(header.begin(), header.end(), record.begin());
            for (int k = 0; k < 128; ++k) {
                std::uint8_t* pair =
                    record.data() + kRecordDataOffset + static_cast<std::size_t>(k) * kPacketPairSize;
                head.m_commandPacket[kPacketBlockByte] = static_cast<std::uint8_t>(k);
                std::copy(head.m_commandPacket.begin(), head.m_commandPacket.end(), pair);
                std::uint8_t* reply = pair + kCommandPacketSize;
                reply[kReplyEchoByte] = static_cast<std::uint8_t>(k);
                for (int i = kReplyPayloadOffset; i < kReplyPayloadOffset + kReplyPayloadSize; ++i) {
                    state = state * 1103515245u + 12345u;
                    reply[i] = static_cast<std::uint8_t>(state >> 16);
                }
            }
            out.Write(record);
        }
        return file;
    }();
    return path;
}

// Writes the records as the command line's conversion does: unbuffered, in pieces.
class FileSink : public IProductSink {
public:
    FileSink() {
        m_point.Open((Folder() / "bench.P96").string(), CDataFile::Mode::CreateWrite);
        m_beam.Open((Folder() / "bench.B96").string(), CDataFile::Mode::CreateWrite);
        m_point.WriteThrough();
        m_beam.WriteThrough();
    }
    bool Wants(RecordKind) const override { return true; }
    void Take(RecordKind kind, std::span<const std::uint8_t> bytes) override {
        CDataFile& file = kind == RecordKind::Beam ? m_beam : m_point;
        m_written += bytes.size();
        if (m_written > (std::uint64_t{1} << 30)) {
            // Keep the bench's disk use bounded.
            m_point.Truncate(0);
            m_beam.Truncate(0);
            m_written = 0;
        }
        file.WriteInPieces(bytes, kProductWritePiece);
    }

private:
    CDataFile m_point;
    CDataFile m_beam;
    std::uint64_t m_written = 0;
};

std::unique_ptr<CTamsorDoc> MakeDocument() {
    auto doc = std::make_unique<CTamsorDoc>(DocumentPorts{});
    doc->OnNewDocument("/nonexistent-vexar-bench/", "/nonexistent-vexar-bench/Vexar.INI");
    doc->OpenPlayback(Recording(), true);
    return doc;
}

void PlayPings(benchmark::State& state, bool products) {
    auto doc = MakeDocument();
    FileSink sink;
    if (products) {
        // As the programs run it: the records are written beside the next ping's processing.
        doc->Recording().Recorder().SetProductThread(true);
        doc->Recording().Recorder().SetProductSink(&sink);
    }
    std::int64_t pings = 0;
    for (auto _ : state) {
        StepResult result = doc->Playback().Step();
        if (result == StepResult::AtEnd) {
            state.PauseTiming();
            doc->OpenPlayback(Recording(), true);
            state.ResumeTiming();
            result = doc->Playback().Step();
        }
        pings += result == StepResult::Ping ? 1 : 0;
    }
    doc->Recording().Recorder().FinishProducts();
    state.SetItemsProcessed(pings);
    state.counters["pings/s"] = benchmark::Counter(static_cast<double>(pings), benchmark::Counter::kIsRate);
}

void BM_ConvertPingToP96AndB96(benchmark::State& state) {
    PlayPings(state, true);
}
BENCHMARK(BM_ConvertPingToP96AndB96)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlayPingWithoutProducts(benchmark::State& state) {
    PlayPings(state, false);
}
BENCHMARK(BM_PlayPingWithoutProducts)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BuildPointAndBeamRecords(benchmark::State& state) {
    struct NoEvents : IRecorderEvents {
    } events;
    CRecorder recorder(nullptr, nullptr, events);
    FileSink sink;
    recorder.SetProductSink(&sink);
    std::vector<float> image(static_cast<std::size_t>(kCombinedBeams) * kMaxSamples, 0.0f);
    std::vector<float> profile(kCombinedBeams, 0.0f);
    for (int b = 0; b < 1440; ++b) {
        for (int s = 0; s < 1000; ++s) {
            image[static_cast<std::size_t>(b) * kMaxSamples + static_cast<std::size_t>(s)] =
                static_cast<float>((b * 7 + s) % 256);
        }
        profile[static_cast<std::size_t>(b)] = static_cast<float>(b % 900);
    }
    PingSettings settings;
    SetBeams(settings, 480);
    settings.samples = 1000;
    PingProducts ping;
    ping.context = RecordContext{&settings, "07122026114139042", 100.0f, {}};
    ping.combinedImage = image.data();
    ping.combinedProfile = profile.data();
    for (auto _ : state) {
        recorder.BuildProducts(ping);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * (1442048 + 13568));
}
BENCHMARK(BM_BuildPointAndBeamRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The recording and the products take half a gigabyte: nothing is left behind.
    std::error_code error;
    std::filesystem::remove_all(Folder(), error);
    return 0;
}
