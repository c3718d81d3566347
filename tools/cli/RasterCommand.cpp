#include "RasterCommand.h"

#include "BatchConversion.h"
#include "InputFiles.h"
#include "ProductPlayback.h"
#include "RecordSurvey.h"
#include "files/CDataFile.h"
#include "files/RecordScanner.h"
#include "gis/GeoTiffWriter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace vexar::cli {

namespace {

namespace fs = std::filesystem;

constexpr double kSmallestCellM = 0.001;
constexpr double kLargestCellM = 100000.0;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// What became of one file.
struct FileTally {
    std::string path;
    std::uint64_t bytes = 0;
    std::uint64_t pings = 0;
    std::uint64_t noFix = 0;
    std::uint64_t added = 0;
    std::uint64_t damaged = 0;
    double seconds = 0.0;
    bool ok = true;
    std::string reason;
};

/// Places the records of one recording and adds them to the raster.
class Accumulator {
public:
    Accumulator(const RasterRecipe& recipe, gis::TiledRaster& raster, const MapProjection& zone,
                const Settings& settings)
        : m_recipe(recipe), m_raster(raster), m_placer(zone, settings.mounting, settings.system.maxFixAgeMs) {
    }

    void Take(std::span<const std::uint8_t> record) {
        ScannedRecord scanned;
        std::string reason;
        if (!CheckRecordBytes(record, scanned, reason) || scanned.kind != m_recipe.product) {
            return;
        }
        ++m_tally.pings;
        const RecordHeaderFields& fields = scanned.fields;
        if (m_placer.Place(fields, RecordSentence(record, fields), m_ping) != Placement::Placed) {
            ++m_tally.noFix;
            return;
        }
        m_tally.added += m_recipe.add(m_raster, m_ping, RecordData(record, fields));
    }
    FileTally& Tally() { return m_tally; }

private:
    const RasterRecipe& m_recipe;
    gis::TiledRaster& m_raster;
    PingPlacer m_placer;
    PlacedPing m_ping;
    FileTally m_tally;
};

using Progress = std::function<void(double)>;

/// The records of a beam or profile-point file, read as `info` walks them.
void ReadProductFile(const std::string& path, Accumulator& accumulator, const Progress& progress) {
    CDataFile walk;
    CDataFile data;
    if (!walk.Open(path, CDataFile::Mode::Read) || !data.Open(path, CDataFile::Mode::Read)) {
        throw Failure("cannot open " + path + ": " + walk.LastError() + data.LastError());
    }
    const double length = static_cast<double>(std::max<std::uint64_t>(1, walk.Length()));
    std::vector<std::uint8_t> record;
    ScanRecordFile(
        walk,
        [&](const ScannedRecord& scanned) {
            record.resize(scanned.fields.totalLength);
            if (!data.Seek(scanned.offset) || data.Read(record) != record.size()) {
                throw Failure("cannot read " + path + ": " + data.LastError());
            }
            accumulator.Take(record);
            if (progress && scanned.index % 8 == 0) {
                progress(static_cast<double>(scanned.offset) / length);
            }
        },
        nullptr);
}

FileTally AccumulateFile(const RasterRecipe& recipe, const RasterOptions& options,
                         const CommonOptions& common, const RecordSurvey& survey, gis::TiledRaster& raster,
                         const MapProjection& zone, const Progress& progress) {
    const auto start = Clock::now();
    Accumulator accumulator(recipe, raster, zone, SettingsOf(common));
    if (survey.RecordsOf(RecordKind::Raw) > 0) {
        PlayIntoProducts(
            common, survey.path, recipe.product, options.jobs,
            [&](std::span<const std::uint8_t> record) { accumulator.Take(record); }, progress);
    } else {
        ReadProductFile(survey.path, accumulator, progress);
    }
    FileTally tally = accumulator.Tally();
    tally.path = survey.path;
    tally.bytes = survey.bytes;
    tally.damaged = survey.totals.damagedStretches;
    tally.seconds = SecondsSince(start);
    return tally;
}

/// Why a file cannot go into the raster; empty when it can.
std::string ProblemOf(const RasterRecipe& recipe, const RecordSurvey& survey) {
    if (survey.totals.records == 0) {
        return NoRecordsText(survey.path, survey.totals);
    }
    if (survey.RecordsOf(RecordKind::Raw) == 0 && survey.RecordsOf(recipe.product) == 0) {
        return survey.path + " holds no raw (.R96) or " + recipe.productName + " records";
    }
    if (!survey.firstFix) {
        return "no usable position fix in " + survey.path;
    }
    return {};
}

std::string Describe(const MapProjection& projection) {
    return "EPSG:" + std::to_string(projection.Epsg()) + " (WGS 84 / UTM zone " +
           std::to_string(projection.zone) + (projection.south ? "S" : "N") + ")";
}

MapProjection ParseZone(const std::string& text) {
    MapProjection zone;
    char hemisphere = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%d%c%n", &zone.zone, &hemisphere, &used) != 2 ||
        static_cast<std::size_t>(used) != text.size() || zone.zone < 1 || zone.zone > 60 ||
        (hemisphere != 'N' && hemisphere != 'S')) {
        throw CLI::ValidationError("--zone", "'" + text + "' is not a UTM zone such as 14N or 33S");
    }
    zone.south = hemisphere == 'S';
    return zone;
}

/// A number as text that reads back as the same double: the processes of a run share one grid.
std::string ExactNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string ZoneText(const MapProjection& zone) {
    return std::to_string(zone.zone) + (zone.south ? "S" : "N");
}

} // namespace
} // namespace vexar::cli

namespace vexar::cli {
namespace {

/// Progress over all files, weighted by their bytes, then of writing: a bar on a terminal, or
/// progress lines for the parent of a parallel run.
class RunProgress {
public:
    RunProgress(std::string label, bool lines, std::uint64_t totalBytes)
        : m_label(std::move(label)), m_lines(lines), m_bar(!lines && StderrIsTerminal()),
          m_total(static_cast<double>(std::max<std::uint64_t>(1, totalBytes))) {}
    ~RunProgress() {
        if (m_drawn) {
            EndProgress();
        }
    }
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    /// The progress of a file of `bytes` after `before` bytes of other files.
    Progress ForFile(std::uint64_t before, std::uint64_t bytes) {
        return [this, before, bytes](double fraction) {
            Show(m_label.c_str(),
                 (static_cast<double>(before) + fraction * static_cast<double>(bytes)) / m_total);
        };
    }
    void Show(const char* phase, double fraction) {
        if (m_lines) {
            std::printf("%s %.4f\n", kProgressLine, fraction);
            std::fflush(stdout);
        } else if (m_bar) {
            // Labels of one width, so that a shorter one leaves nothing of a longer one behind.
            char label[16];
            std::snprintf(label, sizeof label, "%-10s", phase);
            DrawProgress(label, fraction);
            m_drawn = true;
        }
    }

private:
    std::string m_label;
    bool m_lines;
    bool m_bar;
    double m_total;
    bool m_drawn = false;
};

/// A folder for the partial rasters of a parallel run, removed with everything in it.
class PartsFolder {
public:
    explicit PartsFolder(const std::string& beside) {
        std::string name = (beside.empty() ? std::string(".") : beside) + "/.vexar-parts-XXXXXX";
        if (::mkdtemp(name.data()) == nullptr) {
            throw Failure("cannot create a working folder in " + beside + ": " + std::strerror(errno));
        }
        m_path = name;
    }
    ~PartsFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    PartsFolder(const PartsFolder&) = delete;
    PartsFolder& operator=(const PartsFolder&) = delete;
    std::string Part(std::size_t index) const { return m_path + "/" + std::to_string(index) + ".tiles"; }

private:
    std::string m_path;
};

std::string FolderOfOutput(const std::string& out) {
    const fs::path folder = fs::path(out).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

/// One file, placed in the zone the parent chose, written as a partial raster for the parent.
int RunPartial(const RasterRecipe& recipe, const RasterOptions& options, const CommonOptions& common) {
    if (options.inputs.size() != 1 || options.out.empty()) {
        throw CLI::ValidationError("--partial", "takes one file and --out");
    }
    const RecordSurvey survey = SurveyRecords(options.inputs.front(), false);
    RequireRecords(survey);
    const std::unique_ptr<gis::TiledRaster> raster = recipe.make(options, FolderOfOutput(options.out));
    RunProgress progress(recipe.command, true, survey.bytes);
    const FileTally tally = AccumulateFile(recipe, options, common, survey, *raster, ParseZone(options.zone),
                                           progress.ForFile(0, survey.bytes));
    raster->SavePartial(options.out);
    std::printf("%s %llu %llu %.3f %llu\n", kResultLine, static_cast<unsigned long long>(tally.pings),
                static_cast<unsigned long long>(tally.damaged), tally.seconds,
                static_cast<unsigned long long>(tally.noFix));
    return kExitOk;
}

/// The recordings side by side, each in a process of its own, merged as they are done.
void PlaceSideBySide(const RasterRecipe& recipe, const RasterOptions& options, const CommonOptions& common,
                     const MapProjection& zone, std::vector<FileTally>& tallies, gis::TiledRaster& raster) {
    const int cores =
        options.jobs > 0 ? options.jobs : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const auto open = static_cast<int>(
        std::count_if(tallies.begin(), tallies.end(), [](const FileTally& t) { return t.ok; }));
    const int parallel = std::max(1, std::min(cores, open));
    const PartsFolder parts(FolderOfOutput(options.out));
    std::vector<BatchJob> jobs;
    for (std::size_t i = 0; i < tallies.size(); ++i) {
        BatchJob job;
        job.input = tallies[i].path;
        job.bytes = tallies[i].bytes;
        job.done = !tallies[i].ok;
        job.arguments = {recipe.command, job.input,
                         "--out",        parts.Part(i),
                         "--cell",       ExactNumber(options.cellM),
                         "--stat",       options.stat,
                         "--jobs",       std::to_string(std::max(1, cores / parallel)),
                         "--zone",       ZoneText(zone),
                         "--partial"};
        if (!common.settingsPath.empty()) {
            job.arguments.insert(job.arguments.end(), {"--settings", common.settingsPath});
        }
        jobs.push_back(std::move(job));
    }
    RunBatch(jobs, parallel, ProgramFolder() + "vexar-cli", recipe.command);
    for (std::size_t i = 0; i < tallies.size(); ++i) {
        if (!tallies[i].ok) {
            continue;
        }
        FileTally& tally = tallies[i];
        tally.ok = jobs[i].ok;
        tally.reason = jobs[i].reason;
        tally.pings = jobs[i].pings;
        tally.damaged = jobs[i].damaged;
        tally.seconds = jobs[i].seconds;
        tally.noFix = jobs[i].skipped;
        if (tally.ok) {
            raster.MergePartial(parts.Part(i));
        }
    }
}

/// The recordings one after the other in this process.
void PlaceInProcess(const RasterRecipe& recipe, const RasterOptions& options, const CommonOptions& common,
                    const std::vector<RecordSurvey>& surveys, const MapProjection& zone,
                    std::vector<FileTally>& tallies, gis::TiledRaster& raster) {
    std::uint64_t total = 0;
    for (const FileTally& tally : tallies) {
        total += tally.ok ? tally.bytes : 0;
    }
    RunProgress progress(recipe.command, false, total);
    std::uint64_t before = 0;
    for (std::size_t i = 0; i < tallies.size(); ++i) {
        if (!tallies[i].ok) {
            continue;
        }
        tallies[i] = AccumulateFile(recipe, options, common, surveys[i], raster, zone,
                                    progress.ForFile(before, surveys[i].bytes));
        before += surveys[i].bytes;
    }
}

} // namespace
} // namespace vexar::cli

namespace vexar::cli {
namespace {

void PrintTable(const std::vector<FileTally>& tallies) {
    std::size_t width = 4;
    for (const FileTally& tally : tallies) {
        width = std::max(width, tally.path.size());
    }
    const int w = static_cast<int>(width);
    std::printf("%-*s  %8s  %8s  %8s  %8s  %s\n", w, "file", "pings", "no fix", "damaged", "seconds",
                "result");
    std::size_t failed = 0;
    for (const FileTally& t : tallies) {
        failed += t.ok ? 0 : 1;
        std::printf("%-*s  %8llu  %8llu  %8llu  %8.2f  %s\n", w, t.path.c_str(),
                    static_cast<unsigned long long>(t.pings), static_cast<unsigned long long>(t.noFix),
                    static_cast<unsigned long long>(t.damaged), t.seconds,
                    t.ok ? "placed" : ("failed: " + t.reason).c_str());
    }
    std::printf("# %zu files: %zu placed, %zu failed\n", tallies.size(), tallies.size() - failed, failed);
}

void PrintPlaced(const RasterRecipe& recipe, const std::vector<FileTally>& tallies, double seconds) {
    FileTally sum;
    for (const FileTally& t : tallies) {
        sum.pings += t.pings;
        sum.noFix += t.noFix;
        sum.damaged += t.damaged;
        sum.added += t.added;
    }
    const std::uint64_t placed = sum.pings - sum.noFix;
    std::printf("%llu pings placed in %.2f s (%.1f pings/s)", static_cast<unsigned long long>(placed),
                seconds, seconds > 0.0 ? static_cast<double>(placed) / seconds : 0.0);
    if (recipe.product == RecordKind::Point && tallies.size() == 1) {
        std::printf(", %llu profile points", static_cast<unsigned long long>(sum.added));
    }
    std::printf(", %llu without a position fix, %llu damaged stretches skipped\n",
                static_cast<unsigned long long>(sum.noFix), static_cast<unsigned long long>(sum.damaged));
}

void WriteRaster(gis::TiledRaster& raster, const RasterOptions& options, const MapProjection& zone,
                 const std::string& what) {
    if (raster.Bounds().Empty()) {
        throw Failure("no " + what + " could be placed: " + options.out + " not written");
    }
    const auto start = Clock::now();
    {
        RunProgress progress("writing", false, 1);
        gis::WriteGeoTiff(
            raster, options.out, zone,
            [&](const char* phase, double fraction) { progress.Show(phase, fraction); },
            options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency()));
    }
    const gis::CellBounds& bounds = raster.Bounds();
    std::printf("%s: %lld x %lld cells of %g m in %s, written in %.2f s\n", options.out.c_str(),
                static_cast<long long>(bounds.Width()), static_cast<long long>(bounds.Height()),
                options.cellM, Describe(zone).c_str(), SecondsSince(start));
}

/// Surveys every file; a file that cannot go into the raster is failed with the reason.
std::vector<FileTally> SurveyFiles(const RasterRecipe& recipe, const std::vector<std::string>& files,
                                   std::vector<RecordSurvey>& surveys) {
    std::vector<FileTally> tallies;
    for (const std::string& file : files) {
        surveys.push_back(SurveyRecords(file, true));
        FileTally tally;
        tally.path = file;
        tally.bytes = surveys.back().bytes;
        tally.damaged = surveys.back().totals.damagedStretches;
        tally.reason = ProblemOf(recipe, surveys.back());
        tally.ok = tally.reason.empty();
        tallies.push_back(std::move(tally));
    }
    return tallies;
}

void CheckOutput(const RasterOptions& options, const std::vector<std::string>& files) {
    if (!(options.cellM >= kSmallestCellM && options.cellM <= kLargestCellM)) {
        throw CLI::ValidationError("--cell", "the cell size must be between 0.001 and 100000 m");
    }
    const std::string out = FileIdentity(options.out);
    for (const std::string& file : files) {
        if (FileIdentity(file) == out) {
            throw Failure("--out " + options.out + " is the recording " + file + ": nothing written");
        }
    }
}

} // namespace

int RunRaster(const RasterRecipe& recipe, const RasterOptions& options, const CommonOptions& common) {
    if (options.partial) {
        return RunPartial(recipe, options, common);
    }
    bool batch = false;
    const std::string productExtension = recipe.product == RecordKind::Beam ? ".B96" : ".P96";
    const std::vector<std::string> files = ExpandInputs(options.inputs, {".R96", productExtension}, batch);
    if (files.empty()) {
        throw Failure("no recordings in " + options.inputs.front() + ": " + options.out + " not written");
    }
    CheckOutput(options, files);
    std::vector<RecordSurvey> surveys;
    std::vector<FileTally> tallies = SurveyFiles(recipe, files, surveys);
    const auto usable = std::find_if(tallies.begin(), tallies.end(), [](const FileTally& t) { return t.ok; });
    if (!batch && usable == tallies.end()) {
        throw Failure(tallies.front().reason);
    }
    if (usable == tallies.end()) {
        PrintTable(tallies);
        throw Failure("no file could be placed: " + options.out + " not written");
    }
    const MapProjection zone = options.zone.empty()
                                   ? *surveys[static_cast<std::size_t>(usable - tallies.begin())].firstFix
                                   : ParseZone(options.zone);
    const std::unique_ptr<gis::TiledRaster> raster = recipe.make(options, FolderOfOutput(options.out));
    const auto start = Clock::now();
    const int parallel =
        options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
    if (files.size() > 1 && parallel > 1) {
        PlaceSideBySide(recipe, options, common, zone, tallies, *raster);
    } else {
        PlaceInProcess(recipe, options, common, surveys, zone, tallies, *raster);
    }
    const double seconds = SecondsSince(start);
    if (batch) {
        PrintTable(tallies);
    }
    PrintPlaced(recipe, tallies, seconds);
    WriteRaster(*raster, options, zone, recipe.product == RecordKind::Beam ? "ping" : "profile point");
    const bool failed = std::any_of(tallies.begin(), tallies.end(), [](const FileTally& t) { return !t.ok; });
    return failed ? kExitFailure : kExitOk;
}

void AddRasterOptions(CLI::App& command, RasterOptions& options, const std::vector<std::string>& stats,
                      const std::string& statHelp) {
    options.stat = stats.front();
    command
        .add_option("FILE", options.inputs,
                    "raw recordings (.R96) or the files they were converted to, or folders of them")
        ->required()
        ->check(CLI::ExistingPath);
    command.add_option("--out", options.out, "the GeoTIFF to write")->required();
    command.add_option("--cell", options.cellM, "cell size in metres")->required();
    command.add_option("--stat", options.stat, statHelp)->check(CLI::IsMember(stats))->capture_default_str();
    command
        .add_option("--jobs", options.jobs,
                    "cores to keep busy: recordings placed at once, the cores left over shared among their "
                    "processing threads (default: the core count)")
        ->check(CLI::Range(1, 256));
    command.add_option(
        "--zone", options.zone,
        "WGS 84 / UTM zone of the raster, e.g. 14N or 33S (default: the zone of the first usable "
        "position fix); rasters made apart in one zone join cell for cell");
    command.add_flag("--partial", options.partial, "write a partial raster for a parallel run")->group("");
}

} // namespace vexar::cli
