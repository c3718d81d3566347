#include "config/CProfileFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexar {

namespace {
std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The section name of a header line, or nothing when the line is not a header.
bool SectionName(std::string_view line, std::string_view& name) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') {
        return false;
    }
    const auto close = line.find(']');
    name = Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    return true;
}

bool KeyOf(std::string_view line, std::string_view& key) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    key = Trim(line.substr(0, eq));
    return true;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}
} // namespace

bool CProfileFile::Load(const std::string& path) {
    m_lines.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::string text;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    std::fclose(file);
    SetText(text);
    return true;
}

void CProfileFile::SetText(std::string_view text) {
    m_lines.clear();
    m_newline = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        m_lines.emplace_back(line);
        start = end + 1;
    }
}

std::string CProfileFile::Text() const {
    std::string text;
    for (const auto& line : m_lines) {
        text += line;
        text += m_newline;
    }
    return text;
}

CProfileFile::Located CProfileFile::Find(std::string_view section, std::string_view key) const {
    Located at;
    bool inside = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const std::string_view line = m_lines[i];
        std::string_view name;
        if (SectionName(line, name)) {
            if (inside) {
                break; // only the first section of that name counts
            }
            inside = SameNoCase(name, section);
            if (inside) {
                at.sectionLine = static_cast<long>(i);
                at.lastLine = static_cast<long>(i);
            }
            continue;
        }
        if (!inside) {
            continue;
        }
        if (!Trim(line).empty()) {
            at.lastLine = static_cast<long>(i);
        }
        std::string_view k;
        if (at.keyLine < 0 && KeyOf(line, k) && SameNoCase(k, key)) {
            at.keyLine = static_cast<long>(i);
        }
    }
    return at;
}

std::string CProfileFile::GetString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    const Located at = Find(section, key);
    if (at.keyLine < 0) {
        return std::string(fallback.substr(0, kProfileValueMax));
    }
    const std::string_view line = m_lines[static_cast<std::size_t>(at.keyLine)];
    std::string_view value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, kProfileValueMax));
}

void CProfileFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    std::string line(key);
    line += '=';
    line += value;
    const Located at = Find(section, key);
    if (at.keyLine >= 0) {
        m_lines[static_cast<std::size_t>(at.keyLine)] = line;
    } else if (at.sectionLine >= 0) {
        m_lines.insert(m_lines.begin() + at.lastLine + 1, line);
    } else {
        std::string header(1, '[');
        header.append(section);
        header.push_back(']');
        m_lines.push_back(std::move(header));
        m_lines.push_back(line);
    }
}

bool CProfileFile::Save(const std::string& path) const {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat old {};
    ::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    const bool written = WriteAll(fd, Text()) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace vexar
