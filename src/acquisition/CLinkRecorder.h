#pragma once
// CLinkRecorder: the raw recording of the live pings, written by the link as each ping completes.
// The packet pairs of the ping in progress are gathered in one record, which goes to the file in
// one write when the ping is whole, with the header of its request and its own fix. Past the size
// limit the recording goes on in a new file; it stops by itself at its record limit or on a write
// error.
//
// Threads: Start, Stop and State are the document's and only exchange values under the
// recorder's lock; everything else, and the file, belong to the link's thread.

#include "files/CDataFile.h"
#include "files/RawRecording.h"
#include "head/ReplyData.h"
#include "ports/Ports.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace vexar {

class CLinkRecorder {
public:
    /// `news` is set whenever the document should look at the recording's state.
    CLinkRecorder(RecordChain& chain, std::atomic<bool>& news);

    // ---- Document's thread ----
    /// Raw records of the pings from the next one on, to a file the document opened.
    void Start(CDataFile&& file, const RawRecordingRequest& request);
    /// Ends the recording between two pings; the file is closed by the link's next step.
    void Stop();
    RawRecordingState State() const;
    /// Raw records written since the recorder was created.
    std::uint64_t RecordsWritten() const;

    // ---- Link's thread ----
    /// Takes up a recording started or stopped since the last step.
    void FollowRequests();
    bool IsRecording() const { return m_file != nullptr; }
    /// The request of block `block` (its block byte set to it) and its reply, into the record of
    /// the ping in progress.
    void AppendPair(int block, const std::array<std::uint8_t, kCommandPacketSize>& packet,
                    const ReplyBlock& reply);
    /// Writes the record of a whole ping of `blocks` blocks requested at `startTime`, with the
    /// header fields of its request and the bytes of its fix's sentence (empty: none).
    void WriteRecord(const RecordHeaderFields& request, int blocks, const LocalTime& startTime,
                     std::span<const std::uint8_t> sentence);
    /// Closes the file (the link stops).
    void Close();

private:
    bool RollOverIfFull(const LocalTime& startTime);
    void End(const std::string& error);

    RecordChain& m_chain;
    std::atomic<bool>& m_news;

    // Shared with the document's thread (m_mutex).
    mutable std::mutex m_mutex;
    std::unique_ptr<CDataFile> m_incomingFile;
    RawRecordingRequest m_incoming;
    bool m_stop = false;
    RawRecordingState m_state;
    std::uint64_t m_recordsWritten = 0;

    // The link's thread.
    std::unique_ptr<CDataFile> m_file;
    RawRecordingRequest m_request;
    std::uint64_t m_recordsThisRecording = 0; ///< by this recording, against its record limit
    std::vector<std::uint8_t> m_record;       ///< the record of the ping in progress, sized once
};

} // namespace vexar
