#pragma once
// CServePlayback: the recordings `vexar-cli serve --play` shows to observers, one after the
// other and, with looping, over again. Raw recordings go through the console's processing
// (CServeRawPlayback); beam and point files give their records as they are, and a beam file
// whose point file (same name, .P96) is in the list too plays with it, ping by ping.

#include "CliCommand.h"
#include "serve/CProductFileReader.h"
#include "serve/ServeRawPlayback.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexar::cli {

class CServePlayback {
public:
    using RecordHandler = CServeRawPlayback::RecordHandler;

    CServePlayback(const CommonOptions& common, const std::vector<std::string>& files, bool loop,
                   RecordHandler onRecord);

    /// Plays the next ping: a raw record, a beam record (after its point record when there is
    /// one), or a point record. False when the list is played through (looping off) or a whole
    /// pass played nothing.
    bool Step();
    /// Milliseconds between the time stamps of the last two pings played; 0 when not known.
    int RecordedIntervalMs() const { return m_intervalMs; }

private:
    struct Entry {
        std::string path;
        std::string points; ///< the point file that plays with a beam file
        bool raw = false;
        bool failed = false; ///< could not be played: reported once, then passed over
    };

    bool StepFile();
    bool StepProducts();
    void OpenEntry(Entry& entry);
    void Play(const ScannedRecord& record, std::span<const std::uint8_t> bytes);

    const CommonOptions& m_common;
    std::vector<Entry> m_entries;
    bool m_loop;
    RecordHandler m_onRecord;
    std::unique_ptr<CServeRawPlayback> m_raw; ///< made for the first raw recording
    std::unique_ptr<CProductFileReader> m_products;
    std::unique_ptr<CProductFileReader> m_points; ///< of a beam file, when listed
    bool m_playingRaw = false;
    bool m_fileOpen = false;
    std::size_t m_entry = 0;
    std::size_t m_record = 0;
    std::vector<std::uint8_t> m_bytes;
    std::uint64_t m_passPings = 0;
    std::optional<std::int64_t> m_lastStampMs;
    std::string m_lastStamp;
    int m_intervalMs = 0;
};

} // namespace vexar::cli
