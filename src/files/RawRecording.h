#pragma once
// What the live raw recording shares between the recorder, the document and the sonar link that
// writes it: the record chain every record takes its counter and previous length from, what a raw
// record carries besides the ping, and the recording's request and state.

#include "files/RecordHeader.h"

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace vexar {

/// What a raw record of the next pings carries besides the ping: every header field but the
/// time stamp, the counter, the previous length and the sentence (each ping brings its own fix).
struct RawRecordTemplate {
    RecordHeaderFields fields;
};

/// Counter and previous length shared by every record the console builds, whichever thread
/// builds it.
class RecordChain {
public:
    struct Link {
        std::uint64_t counter = 0;
        std::uint32_t previousLength = 0;
    };
    /// The counter and previous length of the next record, which is `totalLength` bytes long.
    Link Claim(std::uint32_t totalLength);
    /// What the next record would get, without claiming it.
    Link Peek() const;
    /// After a copied record: the next record follows one of this length.
    void SetPreviousLength(std::uint32_t totalLength);

private:
    mutable std::mutex m_mutex;
    Link m_next;
};

/// A raw recording the link writes: where, how large a file may grow before the recording goes
/// on in a new one, and how many records to write before stopping by itself (0: no limit).
struct RawRecordingRequest {
    std::string path;
    std::string folder; ///< where files of a size roll-over go
    std::uint64_t sizeLimitBytes = 0;
    std::uint64_t maxRecords = 0;
};

/// The raw recording as the document shows it.
struct RawRecordingState {
    bool active = false;
    std::string path;
    std::uint64_t bytes = 0;
    std::uint64_t records = 0; ///< written by this recording
    /// Set when the recording stopped by itself: a write or open error (text) or its record limit.
    bool ended = false;
    std::string error; ///< the write error's text, kRollOverOpenFailed, or empty at the record limit
};

/// The error of a recording whose roll-over file could not be created.
inline constexpr const char* kRollOverOpenFailed = "Error Opening File!";

/// Takes the records of a played file as they are read, byte for byte (a copy of a recording).
class IRecordCopy {
public:
    virtual ~IRecordCopy() = default;
    /// True while the copy takes records (a write error ends it).
    virtual bool IsCopying() const = 0;
    /// The previous-record length the next record of the copy carries.
    virtual std::uint32_t CopyPreviousLength() const = 0;
    /// Marks the start of a copied record, for the cut-back after a write error.
    virtual void BeginCopiedRecord() = 0;
    /// Writes bytes of a copied record; false (and the copy stopped) on a write error.
    virtual bool WriteCopied(std::span<const std::uint8_t> bytes) = 0;
    /// Ends a copied record of the given total length.
    virtual void EndCopiedRecord(std::uint32_t totalLength) = 0;
};

} // namespace vexar
