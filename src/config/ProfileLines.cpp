#include "config/ProfileLines.h"

#include <algorithm>
#include <cctype>

namespace vexar {

namespace profile {
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
} // namespace profile

void ProfileLines::Clear() {
    m_store.clear();
    m_lines.clear();
    m_waste = 0;
}

void ProfileLines::Assign(std::string text) {
    m_store = std::move(text);
    SplitStore();
}

void ProfileLines::Assign(std::string_view text) {
    m_store.assign(text);
    SplitStore();
}

void ProfileLines::SplitStore() {
    const std::string_view store = m_store;
    m_lines.clear();
    m_waste = 0;
    m_newline = store.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    // Line ends are counted a line at a time, not a byte at a time.
    std::size_t ends = 0;
    for (auto at = store.find('\n'); at != std::string_view::npos; at = store.find('\n', at + 1)) {
        ++ends;
    }
    m_lines.reserve(ends + 1);
    std::size_t start = 0;
    while (start < store.size()) {
        auto end = store.find('\n', start);
        if (end == std::string_view::npos) {
            end = store.size();
        }
        std::size_t size = end - start;
        if (size > 0 && store[end - 1] == '\r') {
            --size;
        }
        m_lines.push_back({start, size});
        start = end + 1;
    }
}

std::string ProfileLines::Text() const {
    std::size_t size = 0;
    for (const Line& line : m_lines) {
        size += line.size + m_newline.size();
    }
    std::string text;
    text.reserve(size);
    for (const Line& line : m_lines) {
        text += TextOf(line);
        text += m_newline;
    }
    return text;
}

ProfileLines::Line ProfileLines::Append(std::string_view a, std::string_view b, std::string_view c) {
    const Line line{m_store.size(), a.size() + b.size() + c.size()};
    m_store.append(a).append(b).append(c);
    return line;
}

void ProfileLines::Replace(long line, const Line& text) {
    Line& old = m_lines[static_cast<std::size_t>(line)];
    m_waste += old.size;
    old = text;
}

void ProfileLines::Insert(long line, const Line& text) {
    m_lines.insert(m_lines.begin() + line, text);
}

void ProfileLines::CompactIfWasteful() {
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

} // namespace vexar
