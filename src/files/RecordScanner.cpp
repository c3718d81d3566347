#include "files/RecordScanner.h"

#include "files/CDataFile.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vexar {

namespace {
// Large enough for 61 packet pairs; small enough for the stack.
constexpr std::size_t kScanChunk = 65536;

// What the chunk holds: the file from `start` on, `got` bytes of it.
struct ChunkWindow {
    std::uint64_t start = 0;
    std::size_t got = 0;
    bool valid = false;
};

// FindNextHeader, served from the chunk without reading when `window` says the chunk already
// holds the file from `from` to its end (small files are read once, not once a record).
std::uint64_t FindHeaderFrom(CDataFile& file, std::uint64_t from, std::uint64_t length,
                             std::span<std::uint8_t> chunk, RecordHeaderBytes& header, bool rawOnly,
                             ChunkWindow* window) {
    // Chunks overlap by two bytes so that a signature across a chunk boundary is found. The
    // search jumps from one '9' to the next: in sample data most bytes are not one.
    std::uint64_t at = from;
    while (at < length) {
        const std::uint8_t* bytes = chunk.data();
        std::size_t got = 0;
        if (window != nullptr && window->valid && at >= window->start &&
            window->start + window->got == length) {
            bytes += at - window->start;
            got = static_cast<std::size_t>(length - at);
        } else {
            file.Seek(at);
            got = file.Read(chunk);
            if (window != nullptr) {
                *window = ChunkWindow{at, got, true};
            }
        }
        if (got < 3) {
            break;
        }
        const std::uint8_t* nine = bytes + 1;
        const std::uint8_t* const end = bytes + got - 1; // a '9' here would have no '6' after it
        while (nine < end && (nine = static_cast<const std::uint8_t*>(
                                  std::memchr(nine, '9', static_cast<std::size_t>(end - nine)))) != nullptr) {
            const std::uint8_t first = nine[-1];
            const std::size_t i = static_cast<std::size_t>(nine - 1 - bytes);
            ++nine;
            if (*nine != '6' || (first != 'R' && (rawOnly || (first != 'B' && first != 'P')))) {
                continue;
            }
            // The header is in the chunk already unless the chunk ends within it.
            std::size_t n = std::min(got - i, header.size());
            if (n < header.size()) {
                file.Seek(at + i);
                n = file.Read(header);
            } else {
                std::copy_n(bytes + i, n, header.begin());
            }
            if (IsPlausibleHeader(std::span<const std::uint8_t>(header.data(), n), rawOnly)) {
                return at + i;
            }
        }
        at += got - 2;
    }
    return length;
}
} // namespace

std::uint64_t FindNextHeader(CDataFile& file, std::uint64_t from, std::uint64_t length,
                             std::span<std::uint8_t> chunk, RecordHeaderBytes& header, bool rawOnly) {
    return FindHeaderFrom(file, from, length, chunk, header, rawOnly, nullptr);
}

namespace {
// The packet pairs of the raw record at `offset`, read a chunk of whole pairs at a time.
bool RawPairsWhole(CDataFile& file, std::uint64_t offset, int packets, std::span<std::uint8_t> chunk) {
    const int perChunk = static_cast<int>(chunk.size() / kPacketPairSize);
    file.Seek(offset + kRecordDataOffset);
    for (int first = 0; first < packets; first += perChunk) {
        const int count = std::min(perChunk, packets - first);
        const auto bytes = chunk.first(static_cast<std::size_t>(count) * kPacketPairSize);
        if (file.Read(bytes) != bytes.size() || !CheckRawPairs(bytes, count, first)) {
            return false;
        }
    }
    return true;
}
} // namespace

ScanTotals ScanRecordFile(CDataFile& file, const std::function<void(const ScannedRecord&)>& onRecord,
                          const std::function<void(const DamagedStretch&)>& onDamage) {
    ScanTotals totals;
    const std::uint64_t length = file.Length();
    std::array<std::uint8_t, kScanChunk> chunk; // not cleared: only what a read fills is looked at
    RecordHeaderBytes header{};
    ChunkWindow window;
    std::uint64_t position = 0;
    const auto damage = [&](std::uint64_t from, std::uint64_t to, std::string reason) {
        ++totals.damagedStretches;
        totals.damagedBytes += to - from;
        if (onDamage) {
            onDamage(DamagedStretch{from, to - from, std::move(reason)});
        }
    };
    while (position < length) {
        const std::uint64_t next = FindHeaderFrom(file, position, length, chunk, header, false, &window);
        if (next > position) {
            damage(position, next, "no record signature");
        }
        if (next >= length) {
            break;
        }
        position = next;
        ScannedRecord record;
        record.offset = position;
        record.fields = ReadRecordHeader(header);
        RecordCheck check = CheckRecordHeader(record.fields, record.kind, record.packets);
        std::string reason = RecordCheckText(check);
        if (check == RecordCheck::Whole && position + record.fields.totalLength > length) {
            check = RecordCheck::BadLayout;
            reason = "record runs past the end of the file";
        }
        if (check == RecordCheck::Whole && record.kind == RecordKind::Raw) {
            window.valid = false; // the pairs are read into the chunk
            if (!RawPairsWhole(file, position, record.packets, chunk)) {
                check = RecordCheck::BadLayout;
                reason = "packet pairs cut short (abandoned ping)";
            }
        }
        if (check != RecordCheck::Whole) {
            // Skip to the next header after this signature.
            const std::uint64_t resume =
                FindHeaderFrom(file, position + 1, length, chunk, header, false, &window);
            damage(position, resume, reason);
            position = resume;
            continue;
        }
        record.index = totals.records++;
        if (onRecord) {
            onRecord(record);
        }
        position += record.fields.totalLength;
    }
    return totals;
}

bool CheckRecordBytes(std::span<const std::uint8_t> bytes, ScannedRecord& record, std::string& reason) {
    if (!IsPlausibleHeader(bytes, false)) {
        reason = "no record header";
        return false;
    }
    record.fields = ReadRecordHeader(bytes.first<kRecordHeaderSize>());
    const RecordCheck check = CheckRecordHeader(record.fields, record.kind, record.packets);
    if (check != RecordCheck::Whole) {
        reason = RecordCheckText(check);
        return false;
    }
    if (record.fields.totalLength != bytes.size()) {
        reason = "length differs from the header's total length";
        return false;
    }
    if (record.kind == RecordKind::Raw && !CheckRawPairs(bytes.subspan(kRecordDataOffset), record.packets)) {
        reason = "packet pairs cut short (abandoned ping)";
        return false;
    }
    reason.clear();
    return true;
}

} // namespace vexar
