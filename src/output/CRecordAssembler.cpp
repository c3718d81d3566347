#include "output/CRecordAssembler.h"

namespace vexar {

CRecordAssembler::CRecordAssembler(RecordHandler onRecord, DamageHandler onDamage)
    : m_onRecord(std::move(onRecord)), m_onDamage(std::move(onDamage)) {
    m_bytes.reserve(kMaxRecordBytes);
}

void CRecordAssembler::Take(std::span<const std::uint8_t> datagram) {
    const bool header = IsPlausibleHeader(datagram, false);
    if (m_expected != 0 && header) {
        // A new record began before the last one was whole: a datagram was lost.
        Drop("record incomplete: " + std::to_string(m_bytes.size()) + " of " + std::to_string(m_expected) +
             " bytes");
    }
    if (m_expected == 0) {
        if (!header) {
            if (m_onDamage) {
                m_onDamage(kStrayDatagram, datagram.size());
            }
            return;
        }
        Start(datagram);
        return;
    }
    if (m_bytes.size() + datagram.size() > m_expected) {
        m_bytes.insert(m_bytes.end(), datagram.begin(), datagram.end());
        Drop("record longer than its header says");
        return;
    }
    m_bytes.insert(m_bytes.end(), datagram.begin(), datagram.end());
    if (m_bytes.size() == m_expected) {
        Complete();
    }
}

void CRecordAssembler::Start(std::span<const std::uint8_t> datagram) {
    const std::uint32_t total = GetU32(datagram, 4);
    if (total < static_cast<std::uint32_t>(kRecordDataOffset) || total > kMaxRecordBytes) {
        if (m_onDamage) {
            m_onDamage("header states an impossible length " + std::to_string(total), datagram.size());
        }
        return;
    }
    m_expected = total;
    m_bytes.assign(datagram.begin(), datagram.end());
    if (m_bytes.size() > m_expected) {
        Drop("record longer than its header says");
    } else if (m_bytes.size() == m_expected) {
        Complete();
    }
}

void CRecordAssembler::Complete() {
    ScannedRecord record;
    std::string reason;
    if (CheckRecordBytes(m_bytes, record, reason)) {
        if (m_onRecord) {
            m_onRecord(record, m_bytes);
        }
        m_bytes.clear();
        m_expected = 0;
        return;
    }
    Drop(reason);
}

void CRecordAssembler::Drop(const std::string& reason) {
    if (m_onDamage) {
        m_onDamage(reason, m_bytes.size());
    }
    m_bytes.clear();
    m_expected = 0;
}

void CRecordAssembler::Finish() {
    if (m_expected != 0) {
        Drop("record incomplete at the end: " + std::to_string(m_bytes.size()) + " of " +
             std::to_string(m_expected) + " bytes");
    }
}

} // namespace vexar
