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
    m_store.clear();
    m_lines.clear();
    m_waste = 0;
    Reindex();
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
    m_store = std::move(text);
    SplitLines();
    return true;
}

void CProfileFile::SetText(std::string_view text) {
    m_store.assign(text);
    SplitLines();
}

void CProfileFile::SplitLines() {
    const std::string_view text = m_store;
    m_lines.clear();
    m_waste = 0;
    m_newline = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    m_lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::size_t size = end - start;
        if (size > 0 && text[end - 1] == '\r') {
            --size;
        }
        m_lines.push_back({start, size});
        start = end + 1;
    }
    Reindex();
}

std::string CProfileFile::Text() const {
    std::size_t size = 0;
    for (const Line& line : m_lines) {
        size += line.size + m_newline.size();
    }
    std::string text;
    text.reserve(size);
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        text += LineAt(static_cast<long>(i));
        text += m_newline;
    }
    return text;
}

std::string_view CProfileFile::LineAt(long line) const {
    const Line& at = m_lines[static_cast<std::size_t>(line)];
    return std::string_view(m_store).substr(at.offset, at.size);
}

CProfileFile::Line CProfileFile::Append(std::string_view a, std::string_view b, std::string_view c) {
    const Line line{m_store.size(), a.size() + b.size() + c.size()};
    m_store.append(a).append(b).append(c);
    return line;
}

namespace {
std::size_t NameHash(std::string_view name) {
    std::size_t hash = 14695981039346656037u;
    for (const char c : name) {
        hash ^= static_cast<std::size_t>(std::tolower(static_cast<unsigned char>(c)));
        hash *= 1099511628211u;
    }
    return hash;
}

// Keys of different sections are told apart by the section's place.
std::size_t KeyHash(int section, std::string_view key) {
    return NameHash(key) ^ (static_cast<std::size_t>(section) + 1) * 0x9E3779B97F4A7C15u;
}

// Tables are at most half full, so a probe always ends on an empty slot.
template <typename Slot> std::size_t FirstProbe(const std::vector<Slot>& slots, std::size_t hash) {
    return hash & (slots.size() - 1);
}
template <typename Slot> std::size_t NextProbe(const std::vector<Slot>& slots, std::size_t at) {
    return (at + 1) & (slots.size() - 1);
}

template <typename Slot> void Place(std::vector<Slot>& slots, const Slot& slot, std::size_t count) {
    if (count * 2 > slots.size()) {
        std::size_t size = 16;
        while (size < count * 4) {
            size *= 2;
        }
        std::vector<Slot> old(size);
        old.swap(slots);
        for (const Slot& kept : old) {
            if (kept.entry >= 0) {
                Place(slots, kept, 0);
            }
        }
    }
    std::size_t at = FirstProbe(slots, slot.hash);
    while (slots[at].entry >= 0) {
        at = NextProbe(slots, at);
    }
    slots[at] = slot;
}

// Most lines of a file are neither headers nor keys of a section: a table keeps the size it
// grew to, up to the size that holds the keys of a whole settings file, and grows as it fills.
template <typename Slot> void Empty(std::vector<Slot>& slots) {
    slots.assign(std::min<std::size_t>(std::max<std::size_t>(slots.size(), 16), 256), Slot{});
}
} // namespace

int CProfileFile::FindSection(std::string_view section, std::size_t hash) const {
    if (m_sectionSlots.empty()) {
        return -1;
    }
    for (std::size_t at = FirstProbe(m_sectionSlots, hash); m_sectionSlots[at].entry >= 0;
         at = NextProbe(m_sectionSlots, at)) {
        const Slot& slot = m_sectionSlots[at];
        std::string_view name;
        if (slot.hash == hash &&
            SectionName(LineAt(m_sections[static_cast<std::size_t>(slot.entry)].headerLine), name) &&
            SameNoCase(name, section)) {
            return slot.entry;
        }
    }
    return -1;
}

long CProfileFile::FindKey(int section, std::string_view key, std::size_t hash) const {
    if (m_keySlots.empty()) {
        return -1;
    }
    for (std::size_t at = FirstProbe(m_keySlots, hash); m_keySlots[at].entry >= 0;
         at = NextProbe(m_keySlots, at)) {
        const Slot& slot = m_keySlots[at];
        if (slot.hash != hash) {
            continue;
        }
        const KeyLine& entry = m_keys[static_cast<std::size_t>(slot.entry)];
        std::string_view k;
        if (entry.section == section && KeyOf(LineAt(entry.line), k) && SameNoCase(k, key)) {
            return entry.line;
        }
    }
    return -1;
}

int CProfileFile::AddSection(std::size_t hash, long headerLine) {
    const int section = static_cast<int>(m_sections.size());
    m_sections.push_back({headerLine, headerLine});
    Place(m_sectionSlots, Slot{hash, section}, m_sections.size());
    return section;
}

void CProfileFile::AddKey(int section, std::size_t hash, long line) {
    m_keys.push_back({section, line});
    Place(m_keySlots, Slot{hash, static_cast<int>(m_keys.size()) - 1}, m_keys.size());
}

// Only the first section of a name counts, up to the next header of any name; in it, only the
// first line of a key.
void CProfileFile::Reindex() {
    m_sections.clear();
    m_keys.clear();
    Empty(m_sectionSlots);
    Empty(m_keySlots);
    int inside = -1;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const long index = static_cast<long>(i);
        const std::string_view line = LineAt(index);
        std::string_view name;
        if (SectionName(line, name)) {
            const std::size_t hash = NameHash(name);
            inside = FindSection(name, hash) < 0 ? AddSection(hash, index) : -1;
            continue;
        }
        if (inside < 0) {
            continue;
        }
        if (!Trim(line).empty()) {
            m_sections[static_cast<std::size_t>(inside)].lastLine = index;
        }
        std::string_view key;
        if (KeyOf(line, key)) {
            const std::size_t hash = KeyHash(inside, key);
            if (FindKey(inside, key, hash) < 0) {
                AddKey(inside, hash, index);
            }
        }
    }
}

// A line was inserted at `line`: what was there and after it moved down one.
void CProfileFile::ShiftLinesFrom(long line) {
    const auto shift = [line](long& at) {
        if (at >= line) {
            ++at;
        }
    };
    for (SectionLines& section : m_sections) {
        shift(section.headerLine);
        shift(section.lastLine);
    }
    for (KeyLine& key : m_keys) {
        shift(key.line);
    }
}

// Keys set again and again leave their old values in the store: copy out the lines in use once
// they are the lesser part.
void CProfileFile::CompactIfWasteful() {
    if (m_waste < 4096 || m_waste < m_store.size() / 2) {
        return;
    }
    std::string store;
    store.reserve(m_store.size() - m_waste);
    for (Line& line : m_lines) {
        const std::size_t offset = store.size();
        store.append(m_store, line.offset, line.size);
        line.offset = offset;
    }
    m_store.swap(store);
    m_waste = 0;
}

CProfileFile::Located CProfileFile::Find(std::string_view section, std::string_view key) const {
    Located at;
    at.section = FindSection(section, NameHash(section));
    if (at.section < 0) {
        return at;
    }
    const SectionLines& lines = m_sections[static_cast<std::size_t>(at.section)];
    at.sectionLine = lines.headerLine;
    at.lastLine = lines.lastLine;
    at.keyLine = FindKey(at.section, key, KeyHash(at.section, key));
    return at;
}

std::string CProfileFile::GetString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    const Located at = Find(section, key);
    if (at.keyLine < 0) {
        return std::string(fallback.substr(0, kProfileValueMax));
    }
    const std::string_view line = LineAt(at.keyLine);
    std::string_view value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, kProfileValueMax));
}

void CProfileFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    const Line line = Append(key, "=", value);
    // The new line reads back as the key asked for unless the key is no plain key (blanks around
    // it, an '=' in it, a '[' in front): then the whole file is indexed again.
    const long end = static_cast<long>(m_lines.size());
    std::string_view name;
    std::string_view lineKey;
    const std::string_view text = std::string_view(m_store).substr(line.offset, line.size);
    const bool plain = !SectionName(text, name) && KeyOf(text, lineKey) && SameNoCase(lineKey, key);
    const Located at = Find(section, key);
    if (at.keyLine >= 0) {
        Line& old = m_lines[static_cast<std::size_t>(at.keyLine)];
        m_waste += old.size;
        old = line;
        if (!plain) {
            Reindex();
        }
    } else if (at.sectionLine >= 0) {
        const long where = at.lastLine + 1;
        m_lines.insert(m_lines.begin() + where, line);
        if (plain) {
            ShiftLinesFrom(where);
            m_sections[static_cast<std::size_t>(at.section)].lastLine = where;
            AddKey(at.section, KeyHash(at.section, key), where);
        } else {
            Reindex();
        }
    } else {
        const Line header = Append("[", section, "]");
        const bool plainHeader =
            SectionName(std::string_view(m_store).substr(header.offset, header.size), name) &&
            SameNoCase(name, section);
        m_lines.push_back(header);
        m_lines.push_back(line);
        if (plain && plainHeader) {
            const int added = AddSection(NameHash(section), end);
            m_sections[static_cast<std::size_t>(added)].lastLine = end + 1;
            AddKey(added, KeyHash(added, key), end + 1);
        } else {
            Reindex();
        }
    }
    CompactIfWasteful();
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
