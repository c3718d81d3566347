#include "output/HttpRequestHead.h"

#include <algorithm>
#include <cctype>

namespace vexar {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// A token character of RFC 9110: what method and field names are made of.
bool IsTokenChar(char c) {
    static constexpr std::string_view kSpecials = "!#$%&'*+-.^_`|~";
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || kSpecials.find(c) != std::string_view::npos;
}

bool IsToken(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), IsTokenChar);
}

// Visible ASCII, space and tab: what a field value of a browser's request holds. Bytes above
// 0x7F are refused too; nothing the page asks for needs them.
bool IsFieldValue(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u == '\t' || (u >= 0x20 && u < 0x7F);
    });
}

bool IsTarget(std::string_view s) {
    return !s.empty() && s.front() == '/' && std::all_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F;
    });
}

bool ReadRequestLine(std::string_view line, HttpRequestHead& head) {
    const auto first = line.find(' ');
    const auto second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos) {
        return false;
    }
    const std::string_view method = line.substr(0, first);
    const std::string_view target = line.substr(first + 1, second - first - 1);
    const std::string_view version = line.substr(second + 1);
    if (!IsToken(method) || !IsTarget(target) || version.size() != 8 || version.substr(0, 7) != "HTTP/1." ||
        (version[7] != '0' && version[7] != '1')) {
        return false;
    }
    head.method = std::string(method);
    const auto mark = target.find('?');
    head.path = std::string(target.substr(0, mark));
    head.query = mark == std::string_view::npos ? std::string() : std::string(target.substr(mark + 1));
    head.minorVersion = version[7] - '0';
    return true;
}

bool ReadFieldLine(std::string_view line, HttpRequestHead& head) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    // No blank before the colon, no folded continuation lines.
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = line.substr(colon + 1);
    if (!IsToken(name) || !IsFieldValue(value)) {
        return false;
    }
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
    head.fields.emplace_back(std::move(lower), std::string(Trim(value)));
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char l = Lower(c);
    return l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
}

std::string PercentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2])));
            i += 2;
        } else {
            out.push_back(s[i] == '+' ? ' ' : s[i]);
        }
    }
    return out;
}

} // namespace

std::string_view HttpRequestHead::Field(std::string_view name) const {
    for (const auto& [key, value] : fields) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

bool HttpRequestHead::FieldHasToken(std::string_view name, std::string_view token) const {
    for (const auto& [key, value] : fields) {
        if (key != name) {
            continue;
        }
        std::string_view rest = value;
        while (!rest.empty()) {
            const auto comma = rest.find(',');
            if (EqualsNoCase(Trim(rest.substr(0, comma)), token)) {
                return true;
            }
            rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        }
    }
    return false;
}

bool HttpRequestHead::HasBody() const {
    for (const auto& [key, value] : fields) {
        if (key == "transfer-encoding" || (key == "content-length" && value != "0")) {
            return true;
        }
    }
    return false;
}

HttpHeadStatus ReadRequestHead(std::span<const std::uint8_t> bytes, const HttpHeadLimits& limits,
                               HttpRequestHead& head) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()),
                                std::min(bytes.size(), limits.maxHeadBytes));
    head = HttpRequestHead{};
    std::size_t at = 0;
    std::size_t lines = 0;
    for (;;) {
        const auto end = text.find(kLineEnd, at);
        if (end == std::string_view::npos) {
            // A NUL or a line feed without its carriage return never belongs to a head: say so
            // at once rather than wait for the limit.
            for (std::size_t i = at; i < text.size(); ++i) {
                if (text[i] == '\0' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) {
                    return HttpHeadStatus::Malformed;
                }
            }
            return bytes.size() >= limits.maxHeadBytes ? HttpHeadStatus::TooLarge
                                                       : HttpHeadStatus::Incomplete;
        }
        const std::string_view line = text.substr(at, end - at);
        at = end + kLineEnd.size();
        if (line.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos) {
            return HttpHeadStatus::Malformed;
        }
        if (lines == 0) {
            if (!ReadRequestLine(line, head)) {
                return HttpHeadStatus::Malformed;
            }
        } else if (line.empty()) {
            head.length = at;
            return HttpHeadStatus::Complete;
        } else if (lines > limits.maxHeaderLines) {
            return HttpHeadStatus::TooManyHeaders;
        } else if (!ReadFieldLine(line, head)) {
            return HttpHeadStatus::Malformed;
        }
        ++lines;
    }
}

std::string QueryValue(std::string_view query, std::string_view key) {
    std::string_view rest = query;
    while (!rest.empty()) {
        const auto amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        const auto eq = pair.find('=');
        if (PercentDecode(pair.substr(0, eq)) == key) {
            return eq == std::string_view::npos ? std::string() : PercentDecode(pair.substr(eq + 1));
        }
        rest = amp == std::string_view::npos ? std::string_view{} : rest.substr(amp + 1);
    }
    return {};
}

bool SecretsEqual(std::string_view a, std::string_view b) {
    unsigned difference = a.size() == b.size() ? 0u : 1u;
    const std::size_t n = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(i < a.size() ? a[i] : 0);
        const auto y = static_cast<unsigned char>(i < b.size() ? b[i] : 0);
        difference |= static_cast<unsigned>(x ^ y);
    }
    return difference == 0;
}

std::string HostAuthority(std::string_view host, std::string_view defaultPort) {
    std::string out(Trim(host));
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    const auto close = out.rfind(']');
    const auto colon = out.rfind(':');
    if (!out.empty() && (colon == std::string::npos || (close != std::string::npos && colon < close))) {
        out.push_back(':');
        out.append(defaultPort);
    }
    return out;
}

bool IsLoopbackHost(std::string_view host) {
    const std::string authority = HostAuthority(host);
    const auto colon = authority.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    const std::string_view name = std::string_view(authority).substr(0, colon);
    if (name == "localhost" || name == "[::1]") {
        return true;
    }
    // 127.a.b.c, four numbers of up to three digits.
    int parts = 0;
    std::size_t digits = 0;
    for (const char c : name) {
        if (c == '.') {
            if (digits == 0) {
                return false;
            }
            ++parts;
            digits = 0;
        } else if (c >= '0' && c <= '9' && ++digits <= 3) {
            continue;
        } else {
            return false;
        }
    }
    return parts == 3 && digits > 0 && name.substr(0, 4) == "127.";
}

std::string OriginAuthority(std::string_view origin) {
    for (const auto& [scheme, port] : {std::pair<std::string_view, std::string_view>{"http://", "80"},
                                       std::pair<std::string_view, std::string_view>{"https://", "443"}}) {
        if (EqualsNoCase(origin.substr(0, scheme.size()), scheme)) {
            const std::string_view rest = origin.substr(scheme.size());
            if (rest.empty() || rest.find('/') != std::string_view::npos) {
                return {};
            }
            return HostAuthority(rest, port);
        }
    }
    return {};
}

} // namespace vexar
