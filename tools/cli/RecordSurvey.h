#pragma once
// RecordSurvey: a walk over a record file before a command works on it: how many whole records
// of each kind it holds, its damaged stretches (counted as `info` lists them, so that every
// command reports the same), and the map zone of its first usable position fix.

#include "files/RecordHeader.h"
#include "files/RecordScanner.h"
#include "navigation/XyzExport.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vexar::cli {

struct RecordSurvey {
    std::string path;
    std::uint64_t bytes = 0;
    ScanTotals totals;
    std::array<std::uint64_t, 3> records{}; ///< whole records by kind (raw, beam, point)
    /// The zone of the first usable fix (when looked for and found).
    std::optional<MapProjection> firstFix;

    std::uint64_t RecordsOf(RecordKind kind) const { return records[static_cast<std::size_t>(kind)]; }
};

/// Walks the file at `path`; with `findFix` the sentences are followed until the first usable
/// fix. Throws Failure when the file cannot be opened.
RecordSurvey SurveyRecords(const std::string& path, bool findFix);

/// "FILE holds no records (N bytes unreadable)": the failure of a file without a single whole
/// record, whichever command reads it.
std::string NoRecordsText(const std::string& path, const ScanTotals& totals);
/// Throws Failure with NoRecordsText when the file holds not a single whole record.
void RequireRecords(const RecordSurvey& survey);

} // namespace vexar::cli
