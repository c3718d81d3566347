#pragma once
// The text of a settings file as lines, and how a line reads: a section header, a key=value
// line or anything else. The lines are stretches of one store: the text read, then what was set,
// back to back; a replaced line leaves its old text behind until the store is compacted.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexar {

namespace profile {
/// `s` without blanks at either end.
std::string_view Trim(std::string_view s);
/// Equal but for the case of ASCII letters.
bool SameNoCase(std::string_view a, std::string_view b);
/// The section name of a header line ("[name]"); false when the line is no header.
bool SectionName(std::string_view line, std::string_view& name);
/// The key of a key=value line, blanks trimmed; false when the line has no '='.
bool KeyOf(std::string_view line, std::string_view& key);
} // namespace profile

class ProfileLines {
public:
    struct Line {
        std::size_t offset = 0;
        std::size_t size = 0;
    };

    /// No lines; the line end the text had is kept.
    void Clear();
    /// Takes `text` as the whole text read: its lines and its line ends ("\r\n" when it has one).
    void Assign(std::string text);
    /// The same for a copy of `text`, made in the store the lines already have.
    void Assign(std::string_view text);
    /// The lines, each ended with the file's line end.
    std::string Text() const;

    long Count() const { return static_cast<long>(m_lines.size()); }
    std::string_view At(long line) const { return TextOf(m_lines[static_cast<std::size_t>(line)]); }
    std::string_view TextOf(const Line& line) const {
        return std::string_view(m_store).substr(line.offset, line.size);
    }

    /// Puts a + b + c in the store, as a line not yet in the text.
    Line Append(std::string_view a, std::string_view b, std::string_view c);
    /// The line at `line` becomes `text`.
    void Replace(long line, const Line& text);
    /// `text` goes in at `line`; what was there and after it moves down one.
    void Insert(long line, const Line& text);
    /// `text` goes after the last line.
    void Push(const Line& text) { m_lines.push_back(text); }
    /// Keys set again and again leave their old values in the store: the lines in use are copied
    /// out once they are the lesser part.
    void CompactIfWasteful();

private:
    /// The lines of the store, which holds the whole text read.
    void SplitStore();

    std::string m_store;
    std::vector<Line> m_lines;
    std::size_t m_waste = 0; ///< bytes of m_store no line uses
    std::string m_newline = "\n";
};

} // namespace vexar
