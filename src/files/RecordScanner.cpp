#include "files/RecordScanner.h"

#include "files/CDataFile.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace vexar {

namespace {
constexpr std::size_t kScanChunk = 65536;

} // namespace

std::uint64_t FindNextHeader(CDataFile& file, std::uint64_t from, std::uint64_t length,
                             std::span<std::uint8_t> chunk, RecordHeaderBytes& header, bool rawOnly) {
    // Chunks overlap by two bytes so that a signature across a chunk boundary is found.
    std::uint64_t at = from;
    while (at < length) {
        file.Seek(at);
        const std::size_t got = file.Read(chunk);
        if (got < 3) {
            break;
        }
        for (std::size_t i = 0; i + 3 <= got; ++i) {
            const std::uint8_t first = chunk[i];
            if (chunk[i + 1] != '9' || chunk[i + 2] != '6' ||
                (first != 'R' && (rawOnly || (first != 'B' && first != 'P')))) {
                continue;
            }
            file.Seek(at + i);
            const std::size_t n = file.Read(header);
            if (IsPlausibleHeader(std::span<const std::uint8_t>(header.data(), n), rawOnly)) {
                return at + i;
            }
        }
        at += got - 2;
    }
    return length;
}

ScanTotals ScanRecordFile(CDataFile& file, const std::function<void(const ScannedRecord&)>& onRecord,
                          const std::function<void(const DamagedStretch&)>& onDamage) {
    ScanTotals totals;
    const std::uint64_t length = file.Length();
    std::vector<std::uint8_t> chunk(kScanChunk);
    std::vector<std::uint8_t> pairs(static_cast<std::size_t>(kMaxPacketPairs) * kPacketPairSize);
    RecordHeaderBytes header{};
    std::uint64_t position = 0;
    const auto damage = [&](std::uint64_t from, std::uint64_t to, std::string reason) {
        ++totals.damagedStretches;
        totals.damagedBytes += to - from;
        if (onDamage) {
            onDamage(DamagedStretch{from, to - from, std::move(reason)});
        }
    };
    while (position < length) {
        const std::uint64_t next = FindNextHeader(file, position, length, chunk, header, false);
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
            const std::size_t bytes = static_cast<std::size_t>(record.packets) * kPacketPairSize;
            file.Seek(position + kRecordDataOffset);
            if (file.Read(std::span<std::uint8_t>(pairs.data(), bytes)) != bytes ||
                !CheckRawPairs(std::span<const std::uint8_t>(pairs.data(), bytes), record.packets)) {
                check = RecordCheck::BadLayout;
                reason = "packet pairs cut short (abandoned ping)";
            }
        }
        if (check != RecordCheck::Whole) {
            // Skip to the next header after this signature.
            const std::uint64_t resume = FindNextHeader(file, position + 1, length, chunk, header, false);
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
