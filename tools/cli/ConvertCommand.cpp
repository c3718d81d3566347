// vexar-cli convert FILE.R96 [--p96 OUT] [--b96 OUT] [--xyz OUT [--xyz-format xyz|csv]]: one
// pass over a raw recording through the console's playback and per-ping code, writing the
// profile-point and beam records (and sending them by UDP when the settings ask for it) and the
// profile points in map coordinates.

#include "CliCommand.h"
#include "HeadlessDocument.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"

#include "files/CDataFile.h"
#include "navigation/XyzExport.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace vexar::cli {
namespace {

struct ConvertOptions {
    std::string input;
    std::string p96;
    std::string b96;
    std::string xyz;
    std::string xyzFormat = "xyz";
    int sleepMs = 0;
};

/// Writes each product to its own file. A record is gathered until its last bytes and then
/// written in one call that goes straight to the system, so that a conversion killed at any
/// moment leaves whole records only.
class ProductFiles : public IProductSink {
public:
    ProductFiles(const std::string& p96, const std::string& b96) {
        Open(m_point, p96);
        Open(m_beam, b96);
    }
    bool Wants(RecordKind kind) const override { return Product(kind).file.IsOpen(); }
    void Take(RecordKind kind, std::span<const std::uint8_t> bytes, bool recordEnd) override {
        Output& out = Product(kind);
        out.record.insert(out.record.end(), bytes.begin(), bytes.end());
        if (!recordEnd) {
            return;
        }
        if (m_error.empty() && !out.file.Write(out.record)) {
            m_error = out.file.Path() + ": " + out.file.LastError();
        }
        out.record.clear();
    }
    const std::string& Error() const { return m_error; }

private:
    struct Output {
        CDataFile file;
        std::vector<std::uint8_t> record;
    };
    static void Open(Output& out, const std::string& path) {
        if (!path.empty() &&
            (!out.file.Open(path, CDataFile::Mode::CreateWrite) || !out.file.WriteThrough())) {
            throw Failure("cannot create " + path + ": " + out.file.LastError());
        }
    }
    Output& Product(RecordKind kind) { return kind == RecordKind::Beam ? m_beam : m_point; }
    const Output& Product(RecordKind kind) const { return kind == RecordKind::Beam ? m_beam : m_point; }

    Output m_point;
    Output m_beam;
    std::string m_error;
};

int RunConvert(const ConvertOptions& options, const CommonOptions& common) {
    HeadlessDocument headless(common, false, false);
    CTamsorDoc& doc = *headless.doc;
    ProductFiles files(options.p96, options.b96);
    doc.Recorder().SetProductSink(&files);
    CPlayer& player = PlayRecordingOnce(doc, options.input);
    if (!options.xyz.empty() &&
        !StartXyzExportTo(doc, options.xyz, ParseXyzFormat(options.xyzFormat).value_or(XyzFormat::Text))) {
        throw Failure("cannot create " + options.xyz);
    }
    const bool progress = StderrIsTerminal();
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t pings = 0;
    for (;;) {
        const StepResult result = player.PlaybackStep();
        if (result == StepResult::AtEnd || result == StepResult::Idle) {
            break;
        }
        if (result == StepResult::Ping) {
            ++pings;
            if (options.sleepMs > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(options.sleepMs));
            }
        }
        if (!files.Error().empty()) {
            throw Failure("write error: " + files.Error());
        }
        if (progress && (pings % 8 == 0 || result != StepResult::Ping)) {
            DrawProgress("converting",
                         static_cast<double>(player.Position()) / static_cast<double>(player.FileLength()));
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (progress) {
        DrawProgress("converting", 1.0);
        EndProgress();
    }
    doc.Recorder().SetProductSink(nullptr);
    if (!options.xyz.empty()) {
        FinishXyzExport(doc);
        if (doc.m_navigationValues.m_xyzWriteFailed != 0) {
            throw Failure("write error: " + options.xyz);
        }
    }
    std::printf("%llu pings converted in %.2f s (%.1f pings/s)", static_cast<unsigned long long>(pings),
                seconds, seconds > 0.0 ? static_cast<double>(pings) / seconds : 0.0);
    if (player.DamagedRecords() > 0) {
        std::printf(", %llu damaged records skipped",
                    static_cast<unsigned long long>(player.DamagedRecords()));
    }
    std::printf("\n");
    return kExitOk;
}

const bool kRegistered = RegisterCommand(
    "convert", "Convert a raw recording to profile-point (P96) and beam (B96) files in one pass",
    [](CLI::App& command, const CommonOptions& common) -> std::function<int()> {
        auto options = std::make_shared<ConvertOptions>();
        AddRecordingArgument(command, options->input);
        command.add_option("--p96", options->p96, "profile-point file to write");
        command.add_option("--b96", options->b96, "beam file to write");
        command.add_option("--xyz", options->xyz, "profile points in map coordinates to write");
        command
            .add_option("--xyz-format", options->xyzFormat,
                        "xyz (tab-separated, as the console writes) or csv")
            ->check(CLI::IsMember({"xyz", "csv"}))
            ->capture_default_str();
        command.add_option("--sleep", options->sleepMs, "pause after each ping in ms (paces the UDP output)")
            ->check(CLI::Range(0, 10000));
        return [options, &common] { return RunConvert(*options, common); };
    });

} // namespace
} // namespace vexar::cli
