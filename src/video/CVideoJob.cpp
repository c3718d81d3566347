#include "video/CVideoJob.h"

#include "files/CDataFile.h"
#include "files/CPlayer.h"
#include "files/RecordScanner.h"
#include "video/CVideoEncoder.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>

namespace vexar {

namespace {

namespace fs = std::filesystem;

// The console's export leaves the cores to the console first. On Linux the nice value is the
// thread's, and the encoder's threads, started from it, inherit it.
void LowerThreadPriority() {
#if defined(__linux__)
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
#endif
}

std::string FileName(const std::string& path) {
    return fs::path(path).filename().string();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

} // namespace

CVideoJob::CVideoJob(VideoJobOptions options) : m_options(std::move(options)) {}

bool CVideoJob::Failed(std::string message) {
    m_result.outcome = VideoOutcome::Failed;
    m_result.message = std::move(message);
    return false;
}

VideoResult CVideoJob::Run(const ProgressFn& progress, const std::atomic<bool>& cancel) {
    m_result = {};
    m_recordings.clear();
    if (m_options.background) {
        LowerThreadPriority();
    }
    std::error_code error;
    if (m_options.output.empty() || fs::is_directory(m_options.output, error)) {
        Failed("the video needs a file name, not \"" + m_options.output + "\"");
    } else if (const auto started = std::chrono::steady_clock::now(); CheckRecordings(progress, cancel)) {
        m_result.summary.checkingSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::vector<std::optional<std::int64_t>> stamps;
        for (const Recording& recording : m_recordings) {
            stamps.insert(stamps.end(), recording.stamps.begin(), recording.stamps.end());
        }
        const VideoPlan plan = PlanVideo(stamps, m_options.pace, m_options.from, m_options.to);
        m_result.summary.recordings = m_recordings.size();
        m_result.summary.recordedSeconds = plan.recordedMs / 1000.0;
        if (plan.totalFrames == 0) {
            Failed("no time of the recordings lies between the start and the end asked for");
        } else if (Encode(plan, progress, cancel)) {
            m_result.outcome = VideoOutcome::Written;
        }
    }
    return m_result;
}

bool CVideoJob::CheckRecordings(const ProgressFn& progress, const std::atomic<bool>& cancel) {
    std::set<std::string> seen;
    std::vector<std::string> paths;
    for (const std::string& path : m_options.recordings) {
        std::error_code error;
        const fs::path canonical = fs::weakly_canonical(path, error);
        // A recording named twice is played once.
        if (seen.insert(error ? path : canonical.string()).second) {
            paths.push_back(path);
        }
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (SameFile(paths[i], m_options.output)) {
            return Failed("the video would be written over the recording " + paths[i]);
        }
        if (progress) {
            progress({VideoProgress::Stage::Checking, i, paths.size()});
        }
        if (cancel.load()) {
            m_result.outcome = VideoOutcome::Cancelled;
            return false;
        }
        Recording recording;
        if (!CheckRecording(paths[i], recording)) {
            return false;
        }
        m_recordings.push_back(std::move(recording));
    }
    if (m_recordings.empty()) {
        return Failed("no recording to make a video of");
    }
    // In their time order; recordings without a valid time keep their place after the others.
    std::stable_sort(m_recordings.begin(), m_recordings.end(), [](const Recording& a, const Recording& b) {
        const auto first = [](const Recording& r) {
            const auto stamp =
                std::find_if(r.stamps.begin(), r.stamps.end(), [](const auto& s) { return s; });
            return stamp != r.stamps.end() ? **stamp : INT64_MAX;
        };
        return first(a) < first(b);
    });
    return true;
}

bool CVideoJob::CheckRecording(const std::string& path, Recording& recording) {
    CDataFile file;
    if (!file.Open(path, CDataFile::Mode::Read)) {
        return Failed("cannot open " + path + ": " + file.LastError());
    }
    recording.path = path;
    const ScanTotals totals =
        ScanRecordFile(file,
                       [&recording](const ScannedRecord& record) {
                           if (record.kind == RecordKind::Raw) {
                               recording.offsets.push_back(record.offset);
                               recording.stamps.push_back(TimeStampMs(record.fields.timeStamp));
                           }
                       },
                       {});
    m_result.summary.damaged += totals.damagedStretches;
    if (recording.offsets.empty()) {
        return Failed(path + " holds no whole ping of a raw recording");
    }
    return true;
}

bool CVideoJob::Encode(const VideoPlan& plan, const ProgressFn& progress, const std::atomic<bool>& cancel) {
    const auto started = std::chrono::steady_clock::now();
    CVideoEncoder encoder;
    if (!encoder.Open(m_options.output, {m_options.width, m_options.height, m_options.pace.fps})) {
        return Failed(encoder.Error());
    }
    CVideoDocument document(m_options.settings, QSize(m_options.width, m_options.height));
    m_encoder = &encoder;
    m_document = &document;
    m_progress = &progress;
    m_cancel = &cancel;
    m_totalFrames = plan.totalFrames;
    bool ok = true;
    std::size_t first = 0;
    for (const Recording& recording : m_recordings) {
        ok = PlayRecording(recording, first, plan);
        first += recording.offsets.size();
        if (!ok || static_cast<std::uint64_t>(encoder.FramesWritten()) >= plan.totalFrames) {
            break;
        }
    }
    m_encoder = nullptr;
    m_document = nullptr;
    m_progress = nullptr;
    m_cancel = nullptr;
    // A failure or a cancel leaves the partial file to the encoder's destructor, which removes it.
    if (!ok || !encoder.Finish()) {
        return ok ? Failed(encoder.Error()) : false;
    }
    VideoSummary& summary = m_result.summary;
    summary.frames = static_cast<std::uint64_t>(encoder.FramesWritten());
    summary.videoSeconds = static_cast<double>(summary.frames) / m_options.pace.fps;
    summary.encodingSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return true;
}

bool CVideoJob::PlayRecording(const Recording& recording, std::size_t firstPing, const VideoPlan& plan) {
    if (!m_document->Open(recording.path)) {
        return Failed(m_document->Error());
    }
    const std::string name = FileName(recording.path);
    const std::vector<std::uint32_t>& frames = plan.framesOfPing;
    std::size_t next = 0; // the next whole ping the check found
    std::uint64_t played = 0;
    std::optional<std::uint64_t> lastSkip;
    const auto done = [&] { return static_cast<std::uint64_t>(m_encoder->FramesWritten()) >= m_totalFrames; };
    while (!done()) {
        if (m_cancel->load()) {
            m_result.outcome = VideoOutcome::Cancelled;
            return false;
        }
        const VideoStep step = m_document->Step();
        if (step.kind == VideoStep::Kind::End) {
            break;
        }
        if (step.kind == VideoStep::Kind::Skipped) {
            if (lastSkip == step.recordOffset) {
                return Failed("cannot read " + recording.path);
            }
            lastSkip = step.recordOffset;
            continue;
        }
        lastSkip.reset();
        ++m_result.summary.pingsPlayed;
        m_lastPing = played++;
        // A ping the check found whole but playback did not play: its frames keep the picture.
        for (; next < recording.offsets.size() && recording.offsets[next] < step.recordOffset; ++next) {
            if (!WriteFrames(frames[firstPing + next], false, name)) {
                return false;
            }
        }
        if (next < recording.offsets.size() && recording.offsets[next] == step.recordOffset) {
            if (!WriteFrames(frames[firstPing + next++], true, name)) {
                return false;
            }
        }
    }
    for (; next < recording.offsets.size() && !done(); ++next) {
        if (!WriteFrames(frames[firstPing + next], false, name)) {
            return false;
        }
    }
    return true;
}

bool CVideoJob::WriteFrames(std::uint32_t count, bool newPicture, const std::string& name) {
    for (std::uint32_t i = 0; i < count; ++i) {
        bool written = false;
        if (i == 0 && (newPicture || !m_encoder->HasPicture())) {
            m_document->Render(m_picture);
            VideoCaption caption = m_document->Caption();
            caption.ping = m_lastPing;
            caption.recording = name;
            DrawVideoCaption(m_picture, m_options.width, caption);
            written =
                m_encoder->WritePicture(m_picture.constBits(), static_cast<int>(m_picture.bytesPerLine()));
            m_result.summary.pingsDrawn += newPicture ? 1 : 0;
        } else {
            written = m_encoder->RepeatPicture();
        }
        if (!written) {
            return Failed(m_encoder->Error());
        }
        if (*m_progress) {
            (*m_progress)({VideoProgress::Stage::Encoding,
                           static_cast<std::uint64_t>(m_encoder->FramesWritten()), m_totalFrames});
        }
        if (m_cancel->load()) {
            m_result.outcome = VideoOutcome::Cancelled;
            return false;
        }
    }
    return true;
}

} // namespace vexar
