#pragma once
// CVideoJob: a video of one or more raw recordings, in their time order, as the operator saw
// them played at the recorded pace: each frame the console's picture of the ping shown at that
// moment, with its time, number and fix burned in. The command line and the console's "Export
// Video..." run the same job; it runs on the caller's thread, reports its progress and stops
// when asked. It writes nothing before every recording has been checked, and leaves either the
// whole video or no file at all.

#include "video/CVideoDocument.h"
#include "video/VideoTimeline.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexar {

class CVideoEncoder;

struct VideoJobOptions {
    std::vector<std::string> recordings; ///< raw recordings, in any order
    std::string output;                  ///< the MP4 file to write
    VideoPace pace;
    int width = 1920;  ///< even
    int height = 1080; ///< even
    TimeBound from;
    TimeBound to;
    VideoSettings settings;
    /// Runs at a lower priority than the program's other threads (the console's export).
    bool background = false;
};

struct VideoProgress {
    enum class Stage { Checking, Encoding };
    Stage stage = Stage::Checking;
    std::uint64_t done = 0;  ///< recordings checked, or frames written
    std::uint64_t total = 0; ///< recordings, or frames of the whole video
};

struct VideoSummary {
    std::uint64_t frames = 0;
    std::uint64_t pingsPlayed = 0; ///< processed, shown or not
    std::uint64_t pingsDrawn = 0;  ///< drawn into at least one frame
    std::uint64_t damaged = 0;     ///< damaged stretches skipped
    std::size_t recordings = 0;
    double videoSeconds = 0.0;    ///< length of the video
    double recordedSeconds = 0.0; ///< length of the recordings' timeline it covers
    double checkingSeconds = 0.0; ///< wall-clock time of reading the recordings through first
    double encodingSeconds = 0.0; ///< wall-clock time of playing, drawing and encoding
};

enum class VideoOutcome { Written, Failed, Cancelled };

struct VideoResult {
    VideoOutcome outcome = VideoOutcome::Failed;
    std::string message; ///< what failed, said once
    VideoSummary summary;
};

class CVideoJob {
public:
    using ProgressFn = std::function<void(const VideoProgress&)>;

    explicit CVideoJob(VideoJobOptions options);

    /// Runs the whole job. `progress` is called on this thread after every recording checked
    /// and every frame written; `cancel` is looked at as often.
    VideoResult Run(const ProgressFn& progress, const std::atomic<bool>& cancel);

private:
    struct Recording {
        std::string path;
        std::vector<std::uint64_t> offsets; ///< of its whole pings
        std::vector<std::optional<std::int64_t>> stamps;
    };
    bool CheckRecordings(const ProgressFn& progress, const std::atomic<bool>& cancel);
    bool CheckRecording(const std::string& path, Recording& recording);
    bool Encode(const VideoPlan& plan, const ProgressFn& progress, const std::atomic<bool>& cancel);
    bool PlayRecording(const Recording& recording, std::size_t firstPing, const VideoPlan& plan);
    /// `count` frames: the picture of the ping played last (`newPicture`), else the last picture
    /// again. `name`: the recording the ping belongs to.
    bool WriteFrames(std::uint32_t count, bool newPicture, const std::string& name);
    bool Failed(std::string message);

    VideoJobOptions m_options;
    std::vector<Recording> m_recordings;
    VideoResult m_result;
    // While encoding.
    CVideoEncoder* m_encoder = nullptr;
    CVideoDocument* m_document = nullptr;
    const ProgressFn* m_progress = nullptr;
    const std::atomic<bool>* m_cancel = nullptr;
    std::uint64_t m_totalFrames = 0;
    std::uint64_t m_lastPing = 0; ///< number of the ping played last in its recording
    QImage m_picture;             ///< drawn into for every new picture
};

} // namespace vexar
