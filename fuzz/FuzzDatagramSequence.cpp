// The UDP receiver's joining of records from datagrams that arrive in any sizes, order and
// content: lost, repeated, cut or foreign datagrams among whole ones. Every byte taken ends up
// in a whole, checked record or in a report of damage, exactly once.
//
// Input: datagrams one after another, each a 2-byte little-endian length and that many bytes
// (the last one takes what is left), at most 64 of them: enough for a few beam records, and an
// input does not turn into thousands of empty datagrams.

#include "files/RecordScanner.h"
#include "output/CRecordAssembler.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
    int datagrams = 0;
    for (std::size_t at = 0; at + 2 <= size && datagrams < kMaxDatagrams; ++datagrams) {
        const std::size_t length =
            std::min<std::size_t>(input[at] | static_cast<std::size_t>(input[at + 1]) << 8, size - at - 2);
        assembler.Take(input.subspan(at + 2, length));
        taken += length;
        at += 2 + length;
    }
    assembler.Finish();
    if (joined + dropped != taken) {
        std::abort();
    }
    return 0;
}
