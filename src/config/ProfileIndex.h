#pragma once
// Where the sections and keys of a settings file's lines are: the first section of each name
// and, in it, the first line of each key, in open-addressed tables of hashes of the names folded
// to lower case, kept up to date by every change of the lines, so that a look-up neither walks
// the file nor allocates.

#include <cstddef>
#include <string_view>
#include <vector>

namespace vexar {

class ProfileLines;

class ProfileIndex {
public:
    struct Section {
        long headerLine = -1;
        long lastLine = -1; ///< last non-blank line
    };

    /// Indexes every line again. Only the first section of a name counts, up to the next header
    /// of any name; in it, only the first line of a key.
    void Rebuild(const ProfileLines& lines);

    /// The place of the section of the name, -1 when missing.
    int FindSection(const ProfileLines& lines, std::string_view name) const;
    /// The line of the key in the section, -1 when missing.
    long FindKey(const ProfileLines& lines, int section, std::string_view key) const;
    const Section& SectionAt(int section) const { return m_sections[static_cast<std::size_t>(section)]; }
    Section& SectionAt(int section) { return m_sections[static_cast<std::size_t>(section)]; }

    /// A section whose header is at `headerLine`, after every other; returns its place.
    int AddSection(std::string_view name, long headerLine);
    void AddKey(int section, std::string_view key, long line);
    /// A line was inserted at `line`: what was there and after it moved down one.
    void ShiftLinesFrom(long line);

private:
    struct Slot {
        std::size_t hash = 0;
        int entry = -1; ///< place in m_sections or m_keys; -1 marks an empty slot
    };
    struct KeyLine {
        int section = -1;
        long line = -1;
    };

    int FindSection(const ProfileLines& lines, std::string_view name, std::size_t hash) const;
    long FindKey(const ProfileLines& lines, int section, std::string_view key, std::size_t hash) const;
    int AddSection(std::size_t hash, long headerLine);
    void AddKey(int section, std::size_t hash, long line);

    std::vector<Section> m_sections;
    std::vector<Slot> m_sectionSlots;
    std::vector<KeyLine> m_keys;
    std::vector<Slot> m_keySlots;
};

} // namespace vexar
