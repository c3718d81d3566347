#pragma once
// CServeRawPlayback: a raw recording played through the console's playback and per-ping code
// for the observers. The document builds the ping's point and beam records as it does for the
// UDP output, and hands them here instead of to any socket. This is the observers' server's only
// contact with the document.

#include "CliCommand.h"

#include "files/RecordScanner.h"

#include <functional>
#include <memory>
#include <span>
#include <string>

namespace vexar::cli {

struct HeadlessDocument;

class CServeRawPlayback {
public:
    using RecordHandler = std::function<void(const ScannedRecord&, std::span<const std::uint8_t>)>;

    /// A document on the settings of `common`; its UDP output stays off whatever they say.
    CServeRawPlayback(const CommonOptions& common, RecordHandler onRecord);
    ~CServeRawPlayback();
    CServeRawPlayback(const CServeRawPlayback&) = delete;
    CServeRawPlayback& operator=(const CServeRawPlayback&) = delete;

    /// Starts a pass over the recording; throws Failure when it cannot be played.
    void Open(const std::string& path);
    /// Plays records until one ping has been processed; false at the end of the pass.
    bool Step();

private:
    class CProductTaker;

    std::unique_ptr<CProductTaker> m_taker;
    std::unique_ptr<HeadlessDocument> m_headless;
    bool m_open = false;
};

} // namespace vexar::cli
