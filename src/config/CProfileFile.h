#pragma once
// A settings file of sections and key=value lines, read and updated the way the classic
// private-profile functions do it: keys are updated in place and every other line survives.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexar {

/// Longest value returned, as with a 1024-byte read buffer that keeps its terminator.
inline constexpr std::size_t kProfileValueMax = 1023;

class CProfileFile {
public:
    /// Reads the file; a missing or unreadable file gives an empty profile (and false).
    bool Load(const std::string& path);
    void SetText(std::string_view text);
    std::string Text() const;

    /// The value of section/key with surrounding blanks and one pair of quotes removed, at most
    /// kProfileValueMax bytes; `fallback` when the key or the section is missing.
    std::string GetString(std::string_view section, std::string_view key, std::string_view fallback) const;
    /// Replaces the key's line in place, or appends the key to its section, or appends the section.
    void SetString(std::string_view section, std::string_view key, std::string_view value);

    /// Writes the whole file atomically: a temporary file beside it is written, flushed and
    /// renamed over it. On any failure the old file is left as it was and false is returned.
    bool Save(const std::string& path) const;

private:
    // A line is a stretch of m_store: the text read, then what was set, back to back. A replaced
    // line leaves its old text behind until the store is compacted.
    struct Line {
        std::size_t offset = 0;
        std::size_t size = 0;
    };
    struct Located {
        int section = -1;      ///< the section's place in m_sections, -1 when missing
        long sectionLine = -1; ///< index of the section header, -1 when missing
        long keyLine = -1;     ///< index of the key line, -1 when missing
        long lastLine = -1;    ///< last non-blank line of the section
    };
    // The first section of each name and, in it, the first line of each key: open-addressed
    // tables of hashes of names folded to lower case, kept up to date by every change of the
    // lines, so that a look-up neither walks the file nor allocates.
    struct SectionLines {
        long headerLine = -1;
        long lastLine = -1; ///< last non-blank line
    };
    struct Slot {
        std::size_t hash = 0;
        int entry = -1; ///< place in m_sections or m_keys; -1 marks an empty slot
    };
    struct KeyLine {
        int section = -1;
        long line = -1;
    };

    /// Takes m_store as the whole text read: its lines, its line ends and its index.
    void SplitLines();
    std::string_view LineAt(long line) const;
    Line Append(std::string_view a, std::string_view b, std::string_view c);
    Located Find(std::string_view section, std::string_view key) const;
    int FindSection(std::string_view section, std::size_t hash) const;
    long FindKey(int section, std::string_view key, std::size_t hash) const;
    int AddSection(std::size_t hash, long headerLine);
    void AddKey(int section, std::size_t hash, long line);
    void Reindex();
    void ShiftLinesFrom(long line);
    void CompactIfWasteful();

    std::string m_store;
    std::vector<Line> m_lines;
    std::size_t m_waste = 0; ///< bytes of m_store no line uses
    std::string m_newline = "\n";
    std::vector<SectionLines> m_sections;
    std::vector<Slot> m_sectionSlots;
    std::vector<KeyLine> m_keys;
    std::vector<Slot> m_keySlots;
};

} // namespace vexar
