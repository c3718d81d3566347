// vexar-cli video FILE.R96... --out V.mp4: an H.264 MP4 video of recordings as the console
// plays them at the recorded pace, with each ping's time, number and fix burned in.

#include "CliCommand.h"

#include "video/CVideoJob.h"

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

namespace vexar::cli {
namespace {

// Interrupted (Ctrl+C): the partial video is removed and the status says so.
constexpr int kExitInterrupted = 130;

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}

struct VideoCommandOptions {
    std::vector<std::string> inputs;
    std::string output;
    int fps = 25;
    std::string size = "1080";
    std::string speed = "1";
    std::string from;
    std::string to;
};

struct FrameSize {
    int width = 0;
    int height = 0;
};

// "H" (a 16:9 frame H pixels high) or "WxH"; both even, as yuv420p needs.
FrameSize ParseFrameSize(const std::string& text) {
    static const std::regex heightOnly(R"((\d{3,4}))");
    static const std::regex both(R"((\d{2,4})[xX](\d{2,4}))");
    std::smatch match;
    FrameSize size;
    if (std::regex_match(text, match, heightOnly)) {
        size.height = std::stoi(match[1]);
        size.width = (size.height * 16 / 9 + 1) / 2 * 2;
    } else if (std::regex_match(text, match, both)) {
        size.width = std::stoi(match[1]);
        size.height = std::stoi(match[2]);
    }
    if (size.height < 120 || size.height > 2160 || size.width < 120 || size.width > 3840 ||
        size.width % 2 != 0 || size.height % 2 != 0) {
        throw CLI::ValidationError("--size",
                                   "expected a height of 120-2160 (a 16:9 frame) or an even WxH up to "
                                   "3840x2160, e.g. 1080 or 1280x720, not " +
                                       text);
    }
    return size;
}

double ParseSpeed(const std::string& text) {
    if (text == "max") {
        return 0.0;
    }
    static const std::regex number(R"(\d{1,4}(\.\d{1,3})?)");
    const double speed = std::regex_match(text, number) ? std::stod(text) : -1.0;
    if (!(speed > 0.0 && speed <= 1000.0)) {
        throw CLI::ValidationError("--speed", "expected 1, a speed-up such as 4 or 0.5, or max, not " + text);
    }
    return speed;
}

TimeBound ParseBound(const std::string& option, const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const auto bound = ParseTimeBound(text);
    if (!bound) {
        throw CLI::ValidationError(option,
                                   "expected seconds from the start (90, +1:30) or a time of day of the "
                                   "recording (11:41:39.250), not " +
                                       text);
    }
    return *bound;
}

// Resident memory in megabytes now, from the kernel's count of pages.
double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t size = 0;
    std::uint64_t resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double PeakResidentMb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The progress bar on a terminal, redrawn when it moves; the memory after the first tenth.
class ProgressReport {
public:
    void operator()(const VideoProgress& progress) {
        const bool encoding = progress.stage == VideoProgress::Stage::Encoding;
        if (encoding && m_earlyMb == 0.0 && progress.done * 10 >= progress.total) {
            m_earlyMb = ResidentMb();
        }
        if (encoding && progress.done == progress.total) {
            m_lastMb = ResidentMb();
        }
        const int permille = progress.total > 0 ? static_cast<int>(progress.done * 1000 / progress.total) : 0;
        if (m_terminal && (permille != m_shown || encoding != m_encoding)) {
            DrawProgress(encoding ? "video   " : "checking", permille / 1000.0);
            m_shown = permille;
            m_encoding = encoding;
        }
    }
    void End() {
        if (m_terminal && m_shown >= 0) {
            EndProgress();
        }
    }
    double EarlyMb() const { return m_earlyMb; }
    double LastMb() const { return m_lastMb; }

private:
    bool m_terminal = StderrIsTerminal();
    int m_shown = -1;
    bool m_encoding = false;
    double m_earlyMb = 0.0;
    double m_lastMb = 0.0;
};

void PrintSummary(const VideoJobOptions& options, const VideoSummary& s, const ProgressReport& report) {
    std::printf("wrote %s: %llu frames, %dx%d at %d fps, %.1f s of video for %.1f s of recording "
                "(%llu pings of %zu recording%s played, %llu drawn)\n",
                options.output.c_str(), static_cast<unsigned long long>(s.frames), options.width,
                options.height, options.pace.fps, s.videoSeconds, s.recordedSeconds,
                static_cast<unsigned long long>(s.pingsPlayed), s.recordings, s.recordings == 1 ? "" : "s",
                static_cast<unsigned long long>(s.pingsDrawn));
    const double seconds = std::max(s.encodingSeconds, 1e-3);
    std::printf(
        "encoding took %.1f s (after %.1f s reading the recordings through): %.1f frames/s, %.2fx real "
        "time; resident memory %.0f MB after the first tenth of the frames, %.0f MB at the last, %.0f MB "
        "at the most\n",
        s.encodingSeconds, s.checkingSeconds, static_cast<double>(s.frames) / seconds,
        s.recordedSeconds / seconds, report.EarlyMb(), report.LastMb(), PeakResidentMb());
    if (s.damaged > 0) {
        std::printf("%llu damaged stretches skipped\n", static_cast<unsigned long long>(s.damaged));
    }
}

int RunVideo(const VideoCommandOptions& command, const CommonOptions& common) {
    if (!common.settingsPath.empty() && !std::filesystem::exists(common.settingsPath)) {
        throw Failure("settings file " + common.settingsPath + " does not exist");
    }
    VideoJobOptions options;
    options.recordings = command.inputs;
    options.output = command.output;
    options.pace = {command.fps, ParseSpeed(command.speed)};
    const FrameSize size = ParseFrameSize(command.size);
    options.width = size.width;
    options.height = size.height;
    options.from = ParseBound("--from", command.from);
    options.to = ParseBound("--to", command.to);
    options.settings.programFolder = ProgramFolder();
    options.settings.settingsPath = common.settingsPath;

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    ProgressReport report;
    CVideoJob job(options);
    const VideoResult result = job.Run([&report](const VideoProgress& p) { report(p); }, g_interrupted);
    report.End();
    switch (result.outcome) {
    case VideoOutcome::Written:
        PrintSummary(options, result.summary, report);
        return kExitOk;
    case VideoOutcome::Cancelled:
        std::fprintf(stderr, "vexar-cli video: interrupted; no video written\n");
        return kExitInterrupted;
    case VideoOutcome::Failed:
        break;
    }
    throw Failure(result.message);
}

const bool kRegistered = RegisterCommand(
    "video",
    "Make an H.264 MP4 video of raw recordings as the console plays them, with time and fix burned in",
    [](CLI::App& command, const CommonOptions& common) -> std::function<int()> {
        auto options = std::make_shared<VideoCommandOptions>();
        command
            .add_option("FILE", options->inputs,
                        "raw recordings (.R96); several make one video in their time order")
            ->required()
            ->check(CLI::ExistingFile);
        command.add_option("--out", options->output, "video to write (.mp4)")->required();
        command.add_option("--fps", options->fps, "frames per second")
            ->check(CLI::Range(1, 60))
            ->capture_default_str();
        command.add_option("--size", options->size, "frame height (16:9) or WxH in pixels")
            ->capture_default_str();
        command
            .add_option("--speed", options->speed,
                        "1: the recorded pace; N: N times faster (0.5: slower); max: every ping one frame")
            ->capture_default_str();
        command.add_option("--from", options->from,
                           "start: seconds after the first ping (90, +1:30) or a time of day (11:41:39.250)");
        command.add_option("--to", options->to, "end, as --from");
        return [options, &common] { return RunVideo(*options, common); };
    });

} // namespace
} // namespace vexar::cli
