#include "CProductFileReader.h"

#include <stdexcept>

namespace vexar::cli {

CProductFileReader::CProductFileReader(const std::string& path) {
    if (!m_file.Open(path, CDataFile::Mode::Read)) {
        throw std::runtime_error("cannot open " + path + ": " + m_file.LastError());
    }
    ScanRecordFile(
        m_file,
        [this](const ScannedRecord& r) {
            if (r.kind == RecordKind::Beam || r.kind == RecordKind::Point) {
                m_records.push_back({r.offset, r.fields.totalLength});
            }
        },
        [this](const DamagedStretch&) { ++m_damaged; });
    if (m_records.empty()) {
        throw std::runtime_error(path + " holds no whole beam or profile-point record");
    }
}

bool CProductFileReader::Read(std::size_t index, ScannedRecord& record, std::vector<std::uint8_t>& bytes) {
    if (index >= m_records.size()) {
        return false;
    }
    const Place& place = m_records[index];
    bytes.resize(place.length);
    std::string reason;
    return m_file.Seek(place.offset) && m_file.Read(bytes) == bytes.size() &&
           CheckRecordBytes(bytes, record, reason);
}

} // namespace vexar::cli
