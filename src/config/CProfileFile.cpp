#include "config/CProfileFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexar {

namespace {
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
    m_lines.Clear();
    m_index.Rebuild(m_lines);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // Read straight into the text, sized as the file says, with a byte to spare that finds its
    // end (it may still grow or shrink while it is read).
    struct stat info {};
    const std::size_t expected =
        ::fstat(fd, &info) == 0 && info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
    std::string text(expected + 1, '\0');
    std::size_t size = 0;
    for (;;) {
        if (size == text.size()) {
            text.resize(2 * text.size() + 4096);
        }
        const ssize_t n = ::read(fd, text.data() + size, text.size() - size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            // Half a file is not the file: none of it is taken (a folder by this name ends here).
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(size);
    Assign(std::move(text));
    return true;
}

void CProfileFile::SetText(std::string_view text) {
    Assign(text);
}

void CProfileFile::Assign(std::string text) {
    m_lines.Assign(std::move(text));
    m_index.Rebuild(m_lines);
}

void CProfileFile::Assign(std::string_view text) {
    m_lines.Assign(text);
    m_index.Rebuild(m_lines);
}

std::string CProfileFile::Text() const {
    return m_lines.Text();
}

CProfileFile::Located CProfileFile::Find(std::string_view section, std::string_view key) const {
    Located at;
    at.section = m_index.FindSection(m_lines, section);
    if (at.section < 0) {
        return at;
    }
    const ProfileIndex::Section& lines = m_index.SectionAt(at.section);
    at.sectionLine = lines.headerLine;
    at.lastLine = lines.lastLine;
    at.keyLine = m_index.FindKey(m_lines, at.section, key);
    return at;
}

std::string CProfileFile::GetString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    const Located at = Find(section, key);
    if (at.keyLine < 0) {
        return std::string(fallback.substr(0, kProfileValueMax));
    }
    const std::string_view line = m_lines.At(at.keyLine);
    std::string_view value = profile::Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, kProfileValueMax));
}

void CProfileFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    const ProfileLines::Line line = m_lines.Append(key, "=", value);
    // The new line reads back as the key asked for unless the key is no plain key (blanks around
    // it, an '=' in it, a '[' in front): then the whole file is indexed again.
    const long end = m_lines.Count();
    std::string_view name;
    std::string_view lineKey;
    const std::string_view text = m_lines.TextOf(line);
    const bool plain = !profile::SectionName(text, name) && profile::KeyOf(text, lineKey) &&
                       profile::SameNoCase(lineKey, key);
    const Located at = Find(section, key);
    if (at.keyLine >= 0) {
        m_lines.Replace(at.keyLine, line);
        if (!plain) {
            m_index.Rebuild(m_lines);
        }
    } else if (at.sectionLine >= 0) {
        const long where = at.lastLine + 1;
        m_lines.Insert(where, line);
        if (plain) {
            m_index.ShiftLinesFrom(where);
            m_index.SectionAt(at.section).lastLine = where;
            m_index.AddKey(at.section, key, where);
        } else {
            m_index.Rebuild(m_lines);
        }
    } else {
        const ProfileLines::Line header = m_lines.Append("[", section, "]");
        const bool plainHeader =
            profile::SectionName(m_lines.TextOf(header), name) && profile::SameNoCase(name, section);
        m_lines.Push(header);
        m_lines.Push(line);
        if (plain && plainHeader) {
            const int added = m_index.AddSection(section, end);
            m_index.SectionAt(added).lastLine = end + 1;
            m_index.AddKey(added, key, end + 1);
        } else {
            m_index.Rebuild(m_lines);
        }
    }
    m_lines.CompactIfWasteful();
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
