// The readers of record bytes that run without the document: the file walk behind `vexar-cli
// info` (header checks, resynchronisation on the next signature, packet pairs), the check of
// one record in memory, and the UDP receiver joining the bytes as the datagrams of a beam
// record. Playback through the document has a target of its own (FuzzPlayback).

#include "MemoryFile.h"
#include "files/CDataFile.h"
#include "files/RecordScanner.h"
#include "output/CRecordAssembler.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Opened once: each input replaces what lies under it, and the walk asks for the length and
    // seeks before it reads. Opening and closing a file per input would cost more than the walk.
    static vexar::fuzz::MemoryFile input("vexar-fuzz-records");
    static vexar::CDataFile file = [] {
        vexar::CDataFile opened;
        opened.Open(input.Path(), vexar::CDataFile::Mode::Read);
        return opened;
    }();
    if (!file.IsOpen() || !input.Write(data, size)) {
        return 0;
    }
    // The bytes under the open file changed in place: what its read buffer holds is stale.
    file.Flush();
    const std::span<const std::uint8_t> bytes(data, size);
    // Every byte is either part of a whole record or of a damaged stretch, exactly once; and
    // every record the walk calls whole passes the check of a record in memory.
    std::uint64_t recordBytes = 0;
    const vexar::ScanTotals totals = vexar::ScanRecordFile(
        file,
        [&](const vexar::ScannedRecord& r) {
            if (r.offset + r.fields.totalLength > size) {
                std::abort();
            }
            vexar::ScannedRecord again;
            std::string reason;
            if (!vexar::CheckRecordBytes(bytes.subspan(r.offset, r.fields.totalLength), again, reason)) {
                std::abort();
            }
            recordBytes += r.fields.totalLength;
        },
        nullptr);
    if (recordBytes + totals.damagedBytes != size) {
        std::abort();
    }

    vexar::ScannedRecord record;
    std::string reason;
    vexar::CheckRecordBytes(bytes, record, reason);

    // The receiver is built once: it reserves room for the largest record. Finish leaves it
    // empty for the next input.
    static std::uint64_t joined = 0;
    static std::uint64_t dropped = 0;
    static vexar::CRecordAssembler assembler(
        [](const vexar::ScannedRecord&, std::span<const std::uint8_t> whole) { joined += whole.size(); },
        [](const std::string&, std::size_t count) { dropped += count; });
    joined = 0;
    dropped = 0;
    for (std::size_t at = 0; at < size; at += vexar::kRecordChunkSize) {
        assembler.Take(bytes.subspan(at, std::min<std::size_t>(vexar::kRecordChunkSize, size - at)));
    }
    assembler.Finish();
    if (joined + dropped != size) {
        std::abort();
    }
    return 0;
}
