// The UDP receiver's joining of records from datagrams that arrive in any sizes, order and
// content: lost, repeated, cut or foreign datagrams among whole ones. Every byte taken ends up
// in a whole, checked record or in a report of damage, exactly once.
//
// Input: datagrams one after another, at most 64 of them: enough for a few beam records, and an
// input does not turn into thousands of empty datagrams. Each starts with a 2-byte little-endian
// word: 0xFFFF makes it a piece of a whole record the target holds (the next byte chooses a beam
// record of the small configuration, 182 kB, or a point record; 3 bytes give the piece's offset in
// it and 2 its length, both little-endian and taken within the record), so that an input of a
// few bytes can carry beam records; any other word is the length of the bytes that follow (the
// last datagram takes what is left).

#include "files/RecordHeader.h"
#include "files/RecordScanner.h"
#include "output/CRecordAssembler.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace {

// A whole record of the kind with 360 beams of 500 samples, its data bytes counting up.
std::vector<std::uint8_t> WholeRecord(vexar::RecordKind kind) {
    vexar::RecordHeaderFields fields;
    fields.signature = vexar::RecordSignature(kind);
    fields.beamCount = 360;
    fields.samples = 500;
    fields.rangeM = 10.0f;
    fields.dataLength = kind == vexar::RecordKind::Beam ? 360u * 500u : 360u * 8u;
    fields.totalLength = static_cast<std::uint32_t>(vexar::kRecordDataOffset) + fields.dataLength;
    fields.timeStamp = "07122026114139042";
    std::vector<std::uint8_t> record(fields.totalLength, 0);
    vexar::RecordHeaderBytes header{};
    vexar::WriteRecordHeader(fields, header);
    std::copy(header.begin(), header.end(), record.begin());
    for (std::size_t i = vexar::kRecordDataOffset; i < record.size(); ++i) {
        record[i] = static_cast<std::uint8_t>(i * 7);
    }
    return record;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> kWhole[2] = {WholeRecord(vexar::RecordKind::Beam),
                                                        WholeRecord(vexar::RecordKind::Point)};
    // Built once: the receiver reserves room for the largest record. Finish leaves it empty.
    static std::uint64_t joined = 0;
    static std::uint64_t dropped = 0;
    static vexar::CRecordAssembler assembler(
        [](const vexar::ScannedRecord& record, std::span<const std::uint8_t> bytes) {
            vexar::ScannedRecord again;
            std::string reason;
            if (bytes.size() != record.fields.totalLength || !vexar::CheckRecordBytes(bytes, again, reason)) {
                std::abort();
            }
            joined += bytes.size();
        },
        [](const std::string&, std::size_t count) { dropped += count; });
    joined = 0;
    dropped = 0;
    const std::span<const std::uint8_t> input(data, size);
    std::uint64_t taken = 0;
    constexpr int kMaxDatagrams = 64;
    constexpr std::size_t kPieceSpec = 6;
    int datagrams = 0;
    for (std::size_t at = 0; at + 2 <= size && datagrams < kMaxDatagrams; ++datagrams) {
        const std::size_t word = input[at] | static_cast<std::size_t>(input[at + 1]) << 8;
        at += 2;
        std::span<const std::uint8_t> datagram;
        if (word == 0xFFFF && size - at >= kPieceSpec) {
            const std::vector<std::uint8_t>& whole = kWhole[input[at] & 1];
            const std::size_t offset = (input[at + 1] | static_cast<std::size_t>(input[at + 2]) << 8 |
                                        static_cast<std::size_t>(input[at + 3]) << 16) %
                                       whole.size();
            const std::size_t length = input[at + 4] | static_cast<std::size_t>(input[at + 5]) << 8;
            datagram = std::span(whole).subspan(offset, std::min(length, whole.size() - offset));
            at += kPieceSpec;
        } else {
            const std::size_t length = std::min(word, size - at);
            datagram = input.subspan(at, length);
            at += length;
        }
        assembler.Take(datagram);
        taken += datagram.size();
    }
    assembler.Finish();
    if (joined + dropped != taken) {
        std::abort();
    }
    return 0;
}
