#include "config/ProfileIndex.h"

#include "config/ProfileLines.h"

#include <algorithm>
#include <cctype>

namespace vexar {

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

int ProfileIndex::FindSection(const ProfileLines& lines, std::string_view name) const {
    return FindSection(lines, name, NameHash(name));
}

long ProfileIndex::FindKey(const ProfileLines& lines, int section, std::string_view key) const {
    return FindKey(lines, section, key, KeyHash(section, key));
}

int ProfileIndex::AddSection(std::string_view name, long headerLine) {
    return AddSection(NameHash(name), headerLine);
}

void ProfileIndex::AddKey(int section, std::string_view key, long line) {
    AddKey(section, KeyHash(section, key), line);
}

int ProfileIndex::FindSection(const ProfileLines& lines, std::string_view name, std::size_t hash) const {
    if (m_sectionSlots.empty()) {
        return -1;
    }
    for (std::size_t at = FirstProbe(m_sectionSlots, hash); m_sectionSlots[at].entry >= 0;
         at = NextProbe(m_sectionSlots, at)) {
        const Slot& slot = m_sectionSlots[at];
        std::string_view header;
        if (slot.hash == hash &&
            profile::SectionName(lines.At(m_sections[static_cast<std::size_t>(slot.entry)].headerLine),
                                 header) &&
            profile::SameNoCase(header, name)) {
            return slot.entry;
        }
    }
    return -1;
}

long ProfileIndex::FindKey(const ProfileLines& lines, int section, std::string_view key,
                           std::size_t hash) const {
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
        if (entry.section == section && profile::KeyOf(lines.At(entry.line), k) &&
            profile::SameNoCase(k, key)) {
            return entry.line;
        }
    }
    return -1;
}

int ProfileIndex::AddSection(std::size_t hash, long headerLine) {
    const int section = static_cast<int>(m_sections.size());
    m_sections.push_back({headerLine, headerLine});
    Place(m_sectionSlots, Slot{hash, section}, m_sections.size());
    return section;
}

void ProfileIndex::AddKey(int section, std::size_t hash, long line) {
    m_keys.push_back({section, line});
    Place(m_keySlots, Slot{hash, static_cast<int>(m_keys.size()) - 1}, m_keys.size());
}

void ProfileIndex::Rebuild(const ProfileLines& lines) {
    m_sections.clear();
    m_keys.clear();
    // A line is a key at the most: the list is made once, not grown key by key.
    m_keys.reserve(static_cast<std::size_t>(lines.Count()));
    Empty(m_sectionSlots);
    Empty(m_keySlots);
    int inside = -1;
    for (long index = 0; index < lines.Count(); ++index) {
        const std::string_view line = lines.At(index);
        std::string_view name;
        if (profile::SectionName(line, name)) {
            const std::size_t hash = NameHash(name);
            inside = FindSection(lines, name, hash) < 0 ? AddSection(hash, index) : -1;
            continue;
        }
        if (inside < 0) {
            continue;
        }
        if (!profile::Trim(line).empty()) {
            m_sections[static_cast<std::size_t>(inside)].lastLine = index;
        }
        std::string_view key;
        if (profile::KeyOf(line, key)) {
            const std::size_t hash = KeyHash(inside, key);
            if (FindKey(lines, inside, key, hash) < 0) {
                AddKey(inside, hash, index);
            }
        }
    }
}

void ProfileIndex::ShiftLinesFrom(long line) {
    const auto shift = [line](long& at) {
        if (at >= line) {
            ++at;
        }
    };
    for (Section& section : m_sections) {
        shift(section.headerLine);
        shift(section.lastLine);
    }
    for (KeyLine& key : m_keys) {
        shift(key.line);
    }
}

} // namespace vexar
