#include "ServePlayback.h"

#include "files/CPlayer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace vexar::cli {

namespace {
bool IsRaw(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".r96";
}
} // namespace

CServePlayback::CServePlayback(const CommonOptions& common, std::vector<std::string> files, bool loop,
                               RecordHandler onRecord)
    : m_common(common), m_files(std::move(files)), m_loop(loop), m_onRecord(std::move(onRecord)) {}

bool CServePlayback::Step() {
    // At most one pass over the list looking for the next ping.
    for (std::size_t tries = 0; tries <= m_files.size(); ++tries) {
        if (!m_fileOpen) {
            if (m_file >= m_files.size()) {
                if (!m_loop || m_passPings == 0) {
                    return false;
                }
                m_file = 0;
                m_passPings = 0;
            }
            OpenFile(m_files[m_file]);
        }
        if (m_fileOpen && StepFile()) {
            ++m_passPings;
            return true;
        }
        m_fileOpen = false;
        ++m_file;
    }
    return false;
}

void CServePlayback::OpenFile(const std::string& path) {
    m_playingRaw = IsRaw(path);
    try {
        if (m_playingRaw) {
            if (!m_raw) {
                m_raw = std::make_unique<CServeRawPlayback>(
                    m_common, [this](const ScannedRecord& r, std::span<const std::uint8_t> bytes) {
                        Note(r);
                        m_onRecord(r, bytes);
                    });
            }
            m_raw->Open(path);
        } else {
            m_products = std::make_unique<CProductFileReader>(path);
            m_record = 0;
        }
        m_fileOpen = true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexar-cli serve: cannot play %s: %s\n", path.c_str(), e.what());
    }
}

bool CServePlayback::StepFile() {
    if (m_playingRaw) {
        return m_raw->Step();
    }
    ScannedRecord record;
    while (m_record < m_products->Count()) {
        if (m_products->Read(m_record++, record, m_bytes)) {
            Note(record);
            m_onRecord(record, m_bytes);
            return true;
        }
    }
    return false;
}

void CServePlayback::Note(const ScannedRecord& record) {
    // A ping's point and beam records share its time stamp.
    if (record.fields.timeStamp == m_lastStamp) {
        return;
    }
    const std::optional<std::int64_t> stamp = TimeStampMs(record.fields.timeStamp);
    m_intervalMs = stamp && m_lastStampMs
                       ? static_cast<int>(std::clamp<std::int64_t>(*stamp - *m_lastStampMs, 0, 60000))
                       : 0;
    m_lastStampMs = stamp;
    m_lastStamp = record.fields.timeStamp;
}

} // namespace vexar::cli
