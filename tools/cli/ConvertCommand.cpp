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
#include "InputFiles.h"
#include "RecordSurvey.h"
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

/// The outputs a conversion created: removed when it fails, so that none is left behind empty or
/// cut short. Files it never created (an earlier conversion's, say) are left alone.
class CreatedOutputs {
public:
    CreatedOutputs() = default;
    ~CreatedOutputs() {
        for (const std::string& path : m_created) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    }
    CreatedOutputs(const CreatedOutputs&) = delete;
    CreatedOutputs& operator=(const CreatedOutputs&) = delete;
    void Created(const std::string& path) {
        if (!path.empty()) {
            m_created.push_back(path);
        }
    }
    /// A file is made: it stays whatever becomes of the others.
    void Keep(const std::string& path) { std::erase(m_created, path); }
    void KeepAll() { m_created.clear(); }

private:
    std::vector<std::string> m_created;
};

/// Writes each product to its own file. Takes records from the product writer's thread and writes
/// them straight to the system, in pieces: a conversion killed in the middle of a record leaves
/// it cut short at the end of the file, where every reader finds it damaged and skips it.
class ProductFiles : public IProductSink {
public:
    ProductFiles(const std::string& p96, const std::string& b96, CreatedOutputs& created) {
        Open(m_point, p96);
        created.Created(p96);
        Open(m_beam, b96);
        created.Created(b96);
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

/// The recording must hold raw records: a file without any is a failure before anything is made.
void CheckRecording(const RecordSurvey& survey) {
    RequireRecords(survey);
    if (survey.RecordsOf(RecordKind::Raw) == 0) {
        throw Failure(survey.path + " holds no raw (.R96) records");
    }
}

std::unique_ptr<MapFileWriter> StartXyz(CTamsorDoc& doc, const ConvertOptions& options,
                                        const std::string& xyz) {
    if (xyz.empty()) {
        return nullptr;
    }
    // The map layouts take points as they come; the text layout is the console's own file.
    std::unique_ptr<MapFileWriter> map;
    if (options.xyzFormat == "csv") {
        map = std::make_unique<CsvPointWriter>(xyz);
    } else if (options.xyzFormat == "gpkg") {
        map = std::make_unique<GpkgPointWriter>(xyz);
    }
    if (map) {
        doc.Conversion().StartToSink(*map);
    } else if (!doc.Conversion().Start(xyz)) {
        throw Failure("cannot create " + xyz);
    }
    return map;
}

/// Plays the recording to its end; returns the pings played.
std::uint64_t PlayAll(CTamsorDoc& doc, const ConvertOptions& options, const ProductFiles& files) {
    const CPlayer& player = doc.Playback().Player();
    const bool progress = !options.report && StderrIsTerminal();
    std::uint64_t pings = 0;
    for (;;) {
        const StepResult result = doc.Playback().Step();
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
    if (progress) {
        DrawProgress("converting", 1.0);
        EndProgress();
    }
    return pings;
}

/// Ends the XYZ export; returns the line that describes a map layout's file. Without a usable fix
/// the points have no place on the map: nothing of them is written.
std::string FinishXyz(CTamsorDoc& doc, MapFileWriter* map, const std::string& input, const std::string& xyz,
                      CreatedOutputs& created) {
    const XyzExportResult result = doc.Conversion().Finish();
    const CNavigation& nav = doc.Shown().Navigation();
    if (result == XyzExportResult::WriteFailed || nav.m_xyzWriteFailed != 0) {
        throw Failure("write error: " + xyz);
    }
    if (result == XyzExportResult::NoFixes || nav.m_firstFix != 0) {
        throw Failure("no usable position fix in " + input + ": " + xyz + " not written");
    }
    if (map == nullptr) {
        return {};
    }
    // The map layout's file exists from its first point on, or from here.
    created.Created(xyz);
    created.Created(dynamic_cast<CsvPointWriter*>(map) != nullptr ? xyz + "t" : std::string());
    map->Finish(MapProjection{nav.m_originZone, nav.m_originSouth != 0});
    return std::to_string(map->Points()) + " points to " + xyz + ", easting/northing in " +
           Describe(map->Projection());
}

/// What a conversion did, for the batch's table also when it failed.
struct ConvertTally {
    std::uint64_t pings = 0;
    std::uint64_t damaged = 0;
    double seconds = 0.0;
};

int ConvertOne(const ConvertOptions& options, const CommonOptions& common, ConvertTally& tally) {
    const std::string& input = options.inputs.front();
    const std::string p96 = OutputPath(input, options.p96, ".P96", options.outFolder);
    const std::string b96 = OutputPath(input, options.b96, ".B96", options.outFolder);
    const std::string xyz =
        OutputPath(input, options.xyz, XyzExtension(options.xyzFormat), options.outFolder);
    CheckOutputs(input, {{"--p96", p96}, {"--b96", b96}, {"--xyz", xyz}});
    const RecordSurvey survey = SurveyRecords(input, false);
    tally.damaged = survey.totals.damagedStretches;
    CheckRecording(survey);
    // --jobs is the number of cores to keep busy: the document's own thread and its workers.
    HeadlessDocument headless(common, false, false, {}, 0, options.jobs > 0 ? options.jobs - 1 : -1);
    CTamsorDoc& doc = *headless.doc;
    // On one core the records are written as they are built, not by a thread of their own.
    doc.Recording().Recorder().SetProductThread(options.jobs != 1);
    PlayRecordingOnce(doc, input);
    CreatedOutputs created;
    ProductFiles files(p96, b96, created);
    doc.Recording().Recorder().SetProductSink(&files);
    const std::unique_ptr<MapFileWriter> map = StartXyz(doc, options, xyz);
    // The text layout's file exists from the start; a map layout's from its first point.
    created.Created(map ? std::string() : xyz);
    const auto start = std::chrono::steady_clock::now();
    tally.pings = PlayAll(doc, options, files);
    doc.Recording().Recorder().FinishProducts();
    headless.FlushDatagrams();
    tally.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    doc.Recording().Recorder().SetProductSink(nullptr);
    if (!files.Error().empty()) {
        throw Failure("write error: " + files.Error());
    }
    created.Keep(p96);
    created.Keep(b96);
    std::printf("%llu pings converted in %.2f s (%.1f pings/s)", static_cast<unsigned long long>(tally.pings),
                tally.seconds, tally.seconds > 0.0 ? static_cast<double>(tally.pings) / tally.seconds : 0.0);
    const auto damaged = static_cast<unsigned long long>(tally.damaged);
    std::printf(damaged > 0 ? ", %llu damaged stretches skipped\n" : "\n", damaged);
    const std::string mapNote = xyz.empty() ? std::string() : FinishXyz(doc, map.get(), input, xyz, created);
    if (!mapNote.empty()) {
        std::printf("%s\n", mapNote.c_str());
    }
    created.KeepAll();
    return kExitOk;
}

/// The conversion of one file of a batch. `outputOf` maps each output taken so far (and every
/// recording) to the recording it belongs to: a file whose outputs would land on those of an
/// earlier one, or on a recording, is refused.
BatchJob BatchJobFor(const std::string& file, const ConvertOptions& options, const CommonOptions& common,
                     const std::string& coresEach, std::map<std::string, std::string>& outputOf) {
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
        // Recordings of one name from different folders meet under --out: the first keeps its
        // outputs, the others are not converted.
        const auto [taken, added] = outputOf.emplace(FileIdentity(path), file);
        if (!added && job.reason.empty()) {
            job.done = true;
            job.reason = path +
                         (FileIdentity(taken->second) == taken->first ? " is a recording"
                                                                      : " is an output of " + taken->second) +
                         ": not converted";
        }
    }
    if (options.sleepMs > 0) {
        job.arguments.insert(job.arguments.end(), {"--sleep", std::to_string(options.sleepMs)});
    }
    return job;
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
    // Output file -> the recording it comes from; the recordings themselves are no one's output.
    std::map<std::string, std::string> outputOf;
    for (const std::string& file : files) {
        outputOf.emplace(FileIdentity(file), file);
    }
    std::vector<BatchJob> jobs;
    for (const std::string& file : files) {
        jobs.push_back(BatchJobFor(file, options, common, coresEach, outputOf));
    }
    const auto start = std::chrono::steady_clock::now();
    RunBatch(jobs, parallel, ProgramFolder() + "vexar-cli");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return PrintBatchTable(jobs, seconds) > 0 ? kExitFailure : kExitOk;
}

int RunConvert(ConvertOptions& options, const CommonOptions& common) {
    bool batch = false;
    const std::vector<std::string> files = ExpandInputs(options.inputs, {".R96"}, batch);
    if (batch) {
        return ConvertBatch(options, files, common);
    }
    ConvertTally tally;
    // A batch's table counts the pings and damaged stretches of a file that failed too.
    const auto report = [&] {
        if (options.report) {
            std::printf("%s %llu %llu %.3f\n", kResultLine, static_cast<unsigned long long>(tally.pings),
                        static_cast<unsigned long long>(tally.damaged), tally.seconds);
            std::fflush(stdout);
        }
    };
    try {
        const int status = ConvertOne(options, common, tally);
        report();
        return status;
    } catch (const std::exception&) {
        report();
        throw;
    }
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
