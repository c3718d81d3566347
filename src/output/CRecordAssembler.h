#pragma once
// The receiving end of the UDP data output: joins datagrams in arrival order into records by
// the total length in the first datagram's header, and checks each record.

#include "files/RecordScanner.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace vexar {

/// The damage reported for a datagram that continues a record whose start was lost.
inline constexpr const char* kStrayDatagram = "datagram without a record header";

class CRecordAssembler {
public:
    /// Largest record accepted: a beam record of 1440 x 1000 samples with room for the blocks.
    static constexpr std::uint32_t kMaxRecordBytes = 4u * 1024u * 1024u;

    using RecordHandler =
        std::function<void(const ScannedRecord& record, std::span<const std::uint8_t> bytes)>;
    using DamageHandler = std::function<void(const std::string& reason, std::size_t bytes)>;

    CRecordAssembler(RecordHandler onRecord, DamageHandler onDamage);

    /// Takes the next datagram.
    void Take(std::span<const std::uint8_t> datagram);
    /// Reports a record still being joined as incomplete (end of reception).
    void Finish();

private:
    void Start(std::span<const std::uint8_t> datagram);
    void Complete();
    void Drop(const std::string& reason);

    RecordHandler m_onRecord;
    DamageHandler m_onDamage;
    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_expected = 0; ///< total length of the record being joined; 0 when none
};

} // namespace vexar
