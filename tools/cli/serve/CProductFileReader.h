#pragma once
// CProductFileReader: the whole beam (B96) and profile-point (P96) records of a file, one at a
// time, for playing them to observers. The file is walked once at opening; damaged stretches are
// left out, and every record is checked again when it is read.

#include "files/CDataFile.h"
#include "files/RecordScanner.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexar::cli {

class CProductFileReader {
public:
    /// Opens and walks the file; throws std::runtime_error when it cannot be read or holds no
    /// whole beam or point record.
    explicit CProductFileReader(const std::string& path);

    /// Reads record `index` (0 .. Count() - 1); false when it cannot be read whole now.
    bool Read(std::size_t index, ScannedRecord& record, std::vector<std::uint8_t>& bytes);
    std::size_t Count() const { return m_records.size(); }
    std::uint64_t DamagedStretches() const { return m_damaged; }

private:
    struct Place {
        std::uint64_t offset = 0;
        std::uint32_t length = 0;
    };

    CDataFile m_file;
    std::vector<Place> m_records;
    std::uint64_t m_damaged = 0;
};

} // namespace vexar::cli
