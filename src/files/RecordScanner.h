#pragma once
// A walk over a record file of any kind that reports each whole record and each damaged
// stretch with its offset, checking every length before it is used.

#include "files/RecordHeader.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vexar {

class CDataFile;

struct ScannedRecord {
    std::uint64_t index = 0;  ///< count of whole records before this one
    std::uint64_t offset = 0; ///< byte offset in the file
    RecordKind kind = RecordKind::Raw;
    RecordHeaderFields fields;
    int packets = 0; ///< packet pairs of a raw record
};

struct DamagedStretch {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::string reason;
};

struct ScanTotals {
    std::uint64_t records = 0;
    std::uint64_t damagedStretches = 0;
    std::uint64_t damagedBytes = 0;
};

/// Offset of the first plausible header (IsPlausibleHeader with `rawOnly`) at or after `from`,
/// or `length` when there is none before it. The file is read a chunk at a time into `chunk`
/// (three bytes at the least); `header` holds the found header's bytes. The file position is
/// left where the search stopped.
std::uint64_t FindNextHeader(CDataFile& file, std::uint64_t from, std::uint64_t length,
                             std::span<std::uint8_t> chunk, RecordHeaderBytes& header, bool rawOnly);

/// Walks the open file from byte 0 to its end.
ScanTotals ScanRecordFile(CDataFile& file, const std::function<void(const ScannedRecord&)>& onRecord,
                          const std::function<void(const DamagedStretch&)>& onDamage);

/// Checks one whole record in memory, as a receiver of the UDP output holds it; on success
/// fills `record`. `reason` says what is wrong otherwise.
bool CheckRecordBytes(std::span<const std::uint8_t> bytes, ScannedRecord& record, std::string& reason);

} // namespace vexar
