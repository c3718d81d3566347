#pragma once
// A settings file of sections and key=value lines, read and updated the way the classic
// private-profile functions do it: keys are updated in place and every other line survives.

#include "config/ProfileIndex.h"
#include "config/ProfileLines.h"

#include <cstddef>
#include <string>
#include <string_view>

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
    struct Located {
        int section = -1;      ///< the section's place in the index, -1 when missing
        long sectionLine = -1; ///< index of the section header, -1 when missing
        long keyLine = -1;     ///< index of the key line, -1 when missing
        long lastLine = -1;    ///< last non-blank line of the section
    };

    /// Takes `text` as the whole text read: its lines, its line ends and its index.
    void Assign(std::string text);
    /// The same for a copy of `text`.
    void Assign(std::string_view text);
    Located Find(std::string_view section, std::string_view key) const;

    ProfileLines m_lines;
    ProfileIndex m_index;
};

} // namespace vexar
