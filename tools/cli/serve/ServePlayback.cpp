#include "serve/ServePlayback.h"

#include "files/CPlayer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace vexar::cli {

namespace {

std::string Extension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

std::string Stem(const std::string& path) {
    return (std::filesystem::path(path).parent_path() / std::filesystem::path(path).stem()).string();
}

} // namespace

CServePlayback::CServePlayback(const CommonOptions& common, const std::vector<std::string>& files, bool loop,
                               RecordHandler onRecord)
    : m_common(common), m_loop(loop), m_onRecord(std::move(onRecord)) {
    for (const std::string& path : files) {
        m_entries.push_back({path, {}, Extension(path) == ".r96", false});
    }
    // A point file listed with its beam file plays with it.
    for (Entry& beams : m_entries) {
        if (Extension(beams.path) != ".b96") {
            continue;
        }
        const auto points = std::find_if(m_entries.begin(), m_entries.end(), [&beams](const Entry& e) {
            return Extension(e.path) == ".p96" && Stem(e.path) == Stem(beams.path);
        });
        if (points != m_entries.end()) {
            beams.points = points->path;
            points->failed = true; // not played on its own
        }
    }
}

bool CServePlayback::Step() {
    // At most one pass over the list looking for the next ping.
    for (std::size_t tries = 0; tries <= m_entries.size(); ++tries) {
        if (!m_fileOpen) {
            if (m_entry >= m_entries.size()) {
                if (!m_loop || m_passPings == 0) {
                    return false;
                }
                m_entry = 0;
                m_passPings = 0;
            }
            OpenEntry(m_entries[m_entry]);
        }
        if (m_fileOpen && StepFile()) {
            ++m_passPings;
            return true;
        }
        m_fileOpen = false;
        ++m_entry;
    }
    return false;
}

void CServePlayback::OpenEntry(Entry& entry) {
    if (entry.failed) {
        return;
    }
    m_playingRaw = entry.raw;
    try {
        if (entry.raw) {
            if (!m_raw) {
                m_raw = std::make_unique<CServeRawPlayback>(
                    m_common,
                    [this](const ScannedRecord& r, std::span<const std::uint8_t> b) { Play(r, b); });
            }
            m_raw->Open(entry.path);
        } else {
            m_products = std::make_unique<CProductFileReader>(entry.path);
            m_points = entry.points.empty() ? nullptr : std::make_unique<CProductFileReader>(entry.points);
            m_record = 0;
        }
        m_fileOpen = true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexar-cli serve: cannot play %s: %s\n", entry.path.c_str(), e.what());
        entry.failed = true;
    }
}

bool CServePlayback::StepFile() {
    return m_playingRaw ? m_raw->Step() : StepProducts();
}

bool CServePlayback::StepProducts() {
    ScannedRecord record;
    while (m_record < m_products->Count()) {
        const std::size_t index = m_record++;
        // The ping's point record goes first, as the console sends them.
        if (m_points && m_points->Read(index, record, m_bytes)) {
            Play(record, m_bytes);
        }
        if (m_products->Read(index, record, m_bytes)) {
            Play(record, m_bytes);
            return true;
        }
    }
    return false;
}

void CServePlayback::Play(const ScannedRecord& record, std::span<const std::uint8_t> bytes) {
    // A ping's point and beam records share its time stamp.
    if (record.fields.timeStamp != m_lastStamp) {
        const std::optional<std::int64_t> stamp = TimeStampMs(record.fields.timeStamp);
        m_intervalMs = stamp && m_lastStampMs
                           ? static_cast<int>(std::clamp<std::int64_t>(*stamp - *m_lastStampMs, 0, 60000))
                           : 0;
        m_lastStampMs = stamp;
        m_lastStamp = record.fields.timeStamp;
    }
    m_onRecord(record, bytes);
}

} // namespace vexar::cli
