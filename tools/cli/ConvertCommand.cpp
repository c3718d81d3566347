// vexar-cli convert FILE... [--p96 [OUT]] [--b96 [OUT]] [--xyz [OUT] [--xyz-format xyz|csv|gpkg]]
// [--out DIR] [--jobs N]: one pass over each raw recording through the console's playback and
// per-ping code, writing the profile-point and beam records (and sending them by UDP when the
// settings ask for it) and the profile points in map coordinates. Several files, or a folder,
// are converted side by side, each in a process of its own.

#include "BatchConversion.h"
#include "CliCommand.h"
#include "CsvPointWriter.h"
#include "GpkgPointWriter.h"
#include "HeadlessDocument.h"
#include "files/CDataFile.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"
#include "navigation/XyzExport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vexar::cli {
namespace {

namespace fs = std::filesystem;

/// An output asked for: its option was given, with a path or without one (a name of its own).
struct Output {
    bool wanted = false;
    std::string path;
};

struct ConvertOptions {
    std::vector<std::string> inputs;
    Output p96;
    Output b96;
    Output xyz;
    std::string xyzFormat = "xyz";
    std::string outFolder;
    int jobs = 0;
    int sleepMs = 0;
    bool report = false; ///< machine-readable progress for a batch
};

/// Writes each product to its own file. Takes records from the product writer's thread and writes
/// them straight to the system, in pieces: a conversion killed in the middle of a record leaves
/// it cut short at the end of the file, where every reader finds it damaged and skips it.
class ProductFiles : public IProductSink {
public:
    ProductFiles(const std::string& p96, const std::string& b96) {
        Open(m_point, p96);
        Open(m_beam, b96);
    }
    bool Wants(RecordKind kind) const override { return Product(kind).IsOpen(); }
    void Take(RecordKind kind, std::span<const std::uint8_t> record) override {
        CDataFile& file = Product(kind);
        if (!file.WriteInPieces(record, kProductWritePiece)) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_error.empty()) {
                m_error = file.Path() + ": " + file.LastError();
            }
        }
    }
    std::string Error() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_error;
    }

private:
    static void Open(CDataFile& file, const std::string& path) {
        if (!path.empty() && (!file.Open(path, CDataFile::Mode::CreateWrite) || !file.WriteThrough())) {
            throw Failure("cannot create " + path + ": " + file.LastError());
        }
    }
    CDataFile& Product(RecordKind kind) { return kind == RecordKind::Beam ? m_beam : m_point; }
    const CDataFile& Product(RecordKind kind) const { return kind == RecordKind::Beam ? m_beam : m_point; }

    CDataFile m_point;
    CDataFile m_beam;
    mutable std::mutex m_mutex;
    std::string m_error;
};

std::string XyzExtension(const std::string& format) {
    if (format == "csv") {
        return ".csv";
    }
    return format == "gpkg" ? ".gpkg" : ".xyz";
}

/// The path of an output of `input`: the one given, else the input's name with the extension,
/// beside the input or in `folder`.
std::string OutputPath(const std::string& input, const Output& output, const std::string& extension,
                       const std::string& folder) {
    if (!output.wanted) {
        return {};
    }
    if (!output.path.empty()) {
        return output.path;
    }
    const fs::path in(input);
    const fs::path where = folder.empty() ? in.parent_path() : fs::path(folder);
    return (where / in.stem()).string() + extension;
}

/// The path a file is known by, for telling whether two names are one file (one that does not
/// exist yet included).
std::string FileIdentity(const std::string& path) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? path : canonical.string();
}

/// Refuses outputs that name the recording or one another: a slip of the keyboard must not cut
/// the survey's recording to nothing, nor two products overwrite each other.
void CheckOutputs(const std::string& input, const std::vector<std::pair<const char*, std::string>>& outputs) {
    std::vector<std::pair<std::string, std::string>> seen = {{FileIdentity(input), "the recording"}};
    for (const auto& [option, path] : outputs) {
        if (path.empty()) {
            continue;
        }
        const std::string identity = FileIdentity(path);
        for (const auto& [other, name] : seen) {
            if (other == identity) {
                throw Failure(std::string(option) + " " + path + " is " + name + ": nothing converted");
            }
        }
        seen.emplace_back(identity, std::string("the file of ") + option);
    }
}

std::string Describe(const MapProjection& projection) {
    return "EPSG:" + std::to_string(projection.Epsg()) + " (WGS 84 / UTM zone " +
           std::to_string(projection.zone) + (projection.south ? "S" : "N") + ")";
}

int ConvertOne(const ConvertOptions& options, const CommonOptions& common) {
    const std::string& input = options.inputs.front();
    const std::string p96 = OutputPath(input, options.p96, ".P96", options.outFolder);
    const std::string b96 = OutputPath(input, options.b96, ".B96", options.outFolder);
    const std::string xyz =
        OutputPath(input, options.xyz, XyzExtension(options.xyzFormat), options.outFolder);
    CheckOutputs(input, {{"--p96", p96}, {"--b96", b96}, {"--xyz", xyz}});
    // --jobs is the number of cores to keep busy: the document's own thread and its workers.
    HeadlessDocument headless(common, false, false, {}, 0, options.jobs > 0 ? options.jobs - 1 : -1);
    CTamsorDoc& doc = *headless.doc;
    // On one core the records are written as they are built, not by a thread of their own.
    doc.SetProductThread(options.jobs != 1);
    // A recording that cannot be played leaves no outputs behind.
    const CPlayer& player = PlayRecordingOnce(doc, input);
    ProductFiles files(p96, b96);
    doc.SetProductSink(&files);
    // The map layouts take points as they come; the text layout is the console's own file.
    std::unique_ptr<MapFileWriter> map;
    if (options.xyzFormat == "csv") {
        map = std::make_unique<CsvPointWriter>(xyz);
    } else if (options.xyzFormat == "gpkg") {
        map = std::make_unique<GpkgPointWriter>(xyz);
    }
    if (!xyz.empty()) {
        if (map) {
            doc.StartMapExport(*map);
        } else if (!doc.StartXyzExport(xyz)) {
            throw Failure("cannot create " + xyz);
        }
    }
    const bool progress = !options.report && StderrIsTerminal();
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t pings = 0;
    for (;;) {
        const StepResult result = doc.PlaybackStep();
        if (result == StepResult::AtEnd || result == StepResult::Idle) {
            break;
        }
        if (result == StepResult::Ping) {
            ++pings;
            if (options.sleepMs > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(options.sleepMs));
            }
        }
        if (pings % 8 == 0 || result != StepResult::Ping) {
            const double fraction =
                static_cast<double>(player.Position()) / static_cast<double>(player.FileLength());
            if (progress) {
                DrawProgress("converting", fraction);
            } else if (options.report) {
                std::printf("%s %.4f\n", kProgressLine, fraction);
                std::fflush(stdout);
            }
            if (!files.Error().empty()) {
                break;
            }
        }
    }
    doc.FinishProducts();
    headless.FlushDatagrams();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (progress) {
        DrawProgress("converting", 1.0);
        EndProgress();
    }
    doc.SetProductSink(nullptr);
    if (!files.Error().empty()) {
        throw Failure("write error: " + files.Error());
    }
    std::string mapNote;
    bool noFixes = false;
    if (!xyz.empty()) {
        const XyzExportResult result = doc.FinishXyzExport();
        const CNavigation& nav = doc.Navigation();
        if (result == XyzExportResult::WriteFailed || nav.m_xyzWriteFailed != 0) {
            throw Failure("write error: " + xyz);
        }
        noFixes = result == XyzExportResult::NoFixes;
        if (map) {
            // Without a usable fix the points have no place on the map: nothing is written.
            if (nav.m_firstFix != 0) {
                throw Failure("no usable position fix in " + input + ": " + xyz + " not written");
            }
            map->Finish(MapProjection{nav.m_originZone, nav.m_originSouth != 0});
            mapNote = std::to_string(map->Points()) + " points to " + xyz + ", easting/northing in " +
                      Describe(map->Projection());
        }
    }
    std::printf("%llu pings converted in %.2f s (%.1f pings/s)", static_cast<unsigned long long>(pings),
                seconds, seconds > 0.0 ? static_cast<double>(pings) / seconds : 0.0);
    if (player.DamagedRecords() > 0) {
        std::printf(", %llu damaged records skipped",
                    static_cast<unsigned long long>(player.DamagedRecords()));
    }
    if (noFixes) {
        std::printf(", no position fixes: no XYZ points written");
    }
    std::printf("\n");
    if (!mapNote.empty()) {
        std::printf("%s\n", mapNote.c_str());
    }
    if (options.report) {
        std::printf("%s %llu %llu %.3f\n", kResultLine, static_cast<unsigned long long>(pings),
                    static_cast<unsigned long long>(player.DamagedRecords()), seconds);
    }
    return kExitOk;
}

/// The recordings named: files as they are, folders by their .R96 files (in name order).
std::vector<std::string> ExpandInputs(const std::vector<std::string>& inputs, bool& batch) {
    std::vector<std::string> files;
    batch = inputs.size() > 1;
    for (const std::string& input : inputs) {
        if (!fs::is_directory(input)) {
            files.push_back(input);
            continue;
        }
        batch = true;
        std::vector<std::string> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(input)) {
            std::string extension = entry.path().extension().string();
            std::transform(extension.begin(), extension.end(), extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            if (entry.is_regular_file() && extension == ".R96") {
                found.push_back(entry.path().string());
            }
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    // A recording named twice (itself and in its folder, say) is converted once.
    std::set<std::string> identities;
    std::erase_if(files,
                  [&](const std::string& file) { return !identities.insert(FileIdentity(file)).second; });
    return files;
}

int ConvertBatch(const ConvertOptions& options, const std::vector<std::string>& files,
                 const CommonOptions& common) {
    if (!options.p96.path.empty() || !options.b96.path.empty() || !options.xyz.path.empty()) {
        throw CLI::ValidationError("--p96/--b96/--xyz",
                                   "several files are named after their recordings: give "
                                   "the options without a path (and --out DIR)");
    }
    if (!options.outFolder.empty()) {
        std::error_code error;
        fs::create_directories(options.outFolder, error);
        if (!fs::is_directory(options.outFolder)) {
            throw Failure("cannot use folder " + options.outFolder);
        }
    }
    // --jobs cores: as many recordings at once, at most one each, and the cores left over shared
    // among their processing threads (one file at a time on one core converts fastest per core).
    const int cores =
        options.jobs > 0 ? options.jobs : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int parallel = std::max(1, std::min(cores, static_cast<int>(files.size())));
    const std::string coresEach = std::to_string(std::max(1, cores / parallel));
    std::vector<BatchJob> jobs;
    // Output file -> the recording it comes from; the recordings themselves are no one's output.
    std::map<std::string, std::string> outputOf;
    for (const std::string& file : files) {
        outputOf.emplace(FileIdentity(file), file);
    }
    for (const std::string& file : files) {
        BatchJob job;
        job.input = file;
        std::error_code error;
        job.bytes = fs::file_size(file, error);
        job.arguments = {"convert", file,           "--report-progress", "--jobs",
                         coresEach, "--xyz-format", options.xyzFormat};
        if (!common.settingsPath.empty()) {
            job.arguments.insert(job.arguments.end(), {"--settings", common.settingsPath});
        }
        const std::pair<const char*, std::string> outputs[] = {
            {"--p96", OutputPath(file, options.p96, ".P96", options.outFolder)},
            {"--b96", OutputPath(file, options.b96, ".B96", options.outFolder)},
            {"--xyz", OutputPath(file, options.xyz, XyzExtension(options.xyzFormat), options.outFolder)}};
        for (const auto& [option, path] : outputs) {
            if (path.empty()) {
                continue;
            }
            job.arguments.insert(job.arguments.end(), {option, path});
            // Recordings of one name from different folders meet under --out: the first keeps
            // its outputs, the others are not converted.
            const auto [taken, added] = outputOf.emplace(FileIdentity(path), file);
            if (!added && job.reason.empty()) {
                job.done = true;
                job.reason =
                    path +
                    (FileIdentity(taken->second) == taken->first ? " is a recording"
                                                                 : " is an output of " + taken->second) +
                    ": not converted";
            }
        }
        if (options.sleepMs > 0) {
            job.arguments.insert(job.arguments.end(), {"--sleep", std::to_string(options.sleepMs)});
        }
        jobs.push_back(std::move(job));
    }
    const auto start = std::chrono::steady_clock::now();
    RunBatch(jobs, parallel, ProgramFolder() + "vexar-cli");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return PrintBatchTable(jobs, seconds) > 0 ? kExitFailure : kExitOk;
}

int RunConvert(ConvertOptions& options, const CommonOptions& common) {
    bool batch = false;
    const std::vector<std::string> files = ExpandInputs(options.inputs, batch);
    if (batch) {
        return ConvertBatch(options, files, common);
    }
    return ConvertOne(options, common);
}

void AddOutputOption(CLI::App& command, const std::string& name, Output& output,
                     const std::string& description) {
    command
        .add_option_function<std::string>(
            name,
            [&output](const std::string& path) {
                output.wanted = true;
                output.path = path;
            },
            description + " (without a path: the recording's name, beside it or under --out)")
        ->expected(0, 1)
        ->default_str("");
}

const bool kRegistered = RegisterCommand(
    "convert",
    "Convert raw recordings to profile-point (P96), beam (B96) and XYZ files in one pass each; several "
    "files or a folder side by side",
    [](CLI::App& command, const CommonOptions& common) -> std::function<int()> {
        auto options = std::make_shared<ConvertOptions>();
        command.add_option("FILE", options->inputs, "raw recordings (.R96), or folders of them")
            ->required()
            ->check(CLI::ExistingPath);
        AddOutputOption(command, "--p96", options->p96, "profile-point file to write");
        AddOutputOption(command, "--b96", options->b96, "beam file to write");
        AddOutputOption(command, "--xyz", options->xyz, "profile points in map coordinates to write");
        command
            .add_option("--xyz-format", options->xyzFormat,
                        "xyz (tab-separated, as the console writes), csv (ISO time, UTM and WGS 84 "
                        "latitude/longitude, with a .csvt of column types) or gpkg (GeoPackage point layer)")
            ->check(CLI::IsMember({"xyz", "csv", "gpkg"}))
            ->capture_default_str();
        command.add_option("--out", options->outFolder,
                           "folder for the outputs (default: beside each recording)");
        command
            .add_option("--jobs", options->jobs,
                        "cores to keep busy: recordings converted at once, the cores left over shared "
                        "among their processing threads (default: the core count)")
            ->check(CLI::Range(1, 256));
        command.add_option("--sleep", options->sleepMs, "pause after each ping in ms (paces the UDP output)")
            ->check(CLI::Range(0, 10000));
        command.add_flag("--report-progress", options->report, "print progress and result lines for a batch")
            ->group("");
        return [options, &common] { return RunConvert(*options, common); };
    });

} // namespace
} // namespace vexar::cli
