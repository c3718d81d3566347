#pragma once
// CVideoDocument: a document of its own that plays recordings for a video, beside any other
// document of the process (the console's keeps running), and draws each played ping as the
// console's view and `vexar-cli render` draw it. This file pair is where the video job meets the
// document: the job itself only sees the values below.

#include "config/SettingsValues.h"
#include "video/VideoCaption.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vexar {

class CTamsorDoc;

/// Where the video's document takes its settings from.
struct VideoSettings {
    std::string programFolder; ///< with a trailing separator
    std::string settingsPath;  ///< empty: Vexar.INI in programFolder
    /// The console's settings as the operator has them now, over the file's; without, the file's
    /// with the polar picture.
    std::optional<Settings> look;
    int workers = -1; ///< processing threads beside the job's own (-1: the machine's)
};

/// What the console's document offers a video export, read on its own thread.
struct VideoExportSource {
    bool playing = false;    ///< a recording is being played
    std::string recording;   ///< its path
    std::string writeFolder; ///< where the operator's files go, with a trailing separator
    VideoSettings settings;
};

/// Takes what a video of the console's played recording needs from its document.
VideoExportSource VideoExportSourceOf(const CTamsorDoc& doc);

/// What one playback step did.
struct VideoStep {
    enum class Kind {
        Ping,    ///< a whole ping was played
        Skipped, ///< a damaged stretch was skipped
        End,     ///< the recording has been played
    };
    Kind kind = Kind::End;
    std::uint64_t recordOffset = 0; ///< of the played ping in its file
};

class CVideoDocument {
public:
    /// A document with the settings, drawing at `size`; it opens no socket and saves nothing.
    CVideoDocument(const VideoSettings& settings, QSize size);
    ~CVideoDocument();
    CVideoDocument(const CVideoDocument&) = delete;
    CVideoDocument& operator=(const CVideoDocument&) = delete;

    /// Starts playing a recording once from its start, after what was played before.
    /// False when it cannot be played; Error() says why.
    bool Open(const std::string& path);
    /// Plays the next record.
    VideoStep Step();
    /// Draws the picture of the ping played last, with its overlays, into `image` (RGB32, kept
    /// from call to call): the size asked for, widened to a multiple of 4 pixels on the right.
    void Render(QImage& image);
    /// The record time and the fix of the ping played last (ping number and recording blank).
    VideoCaption Caption() const;
    const std::string& Error() const { return m_error; }

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
    QSize m_size;
    std::string m_error;
};

} // namespace vexar
