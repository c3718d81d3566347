#include "navigation/NavigationSentence.h"

#include "navigation/CNavigation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vexar {

namespace {

constexpr std::size_t kFieldCount = 21;
constexpr std::string_view kPrefix = "$AULOG,";
constexpr long long kUnitsPerMinute = 10000000; // minutes are written with 7 decimals
constexpr long long kUnitsPerDegree = 60 * kUnitsPerMinute;

/// Appends formatted text to a fixed buffer; remembers when it ran out of room.
class Writer {
public:
    explicit Writer(std::span<char> out) : m_out(out) {}
    template <typename... Args> void Add(const char* format, Args... args) {
        if (m_full) {
            return;
        }
        const std::size_t room = m_out.size() - m_length;
        const int n = std::snprintf(m_out.data() + m_length, room, format, args...);
        if (n < 0 || static_cast<std::size_t>(n) >= room) {
            m_full = true;
            return;
        }
        m_length += static_cast<std::size_t>(n);
    }
    void AddOptional(const char* format, const std::optional<double>& value) {
        Add(",");
        if (value) {
            Add(format, *value);
        }
    }
    std::size_t Length() const { return m_full ? 0 : m_length; }
    std::string_view Text() const { return {m_out.data(), m_length}; }

private:
    std::span<char> m_out;
    std::size_t m_length = 0;
    bool m_full = false;
};

/// "degrees;minutes" with seven decimals and the hemisphere letter, then the letter again.
void AddCoordinate(Writer& writer, double value, char positive, char negative) {
    const long long units = std::llround(std::fabs(value) * static_cast<double>(kUnitsPerDegree));
    const long long degrees = units / kUnitsPerDegree;
    const long long rest = units % kUnitsPerDegree;
    const char letter = value < 0.0 ? negative : positive;
    writer.Add(",%lld;%lld.%07lld%c,%c", degrees, rest / kUnitsPerMinute, rest % kUnitsPerMinute, letter,
               letter);
}

void AddTime(Writer& writer, const std::optional<std::int64_t>& utcMs) {
    if (!utcMs) {
        writer.Add(",,");
        return;
    }
    const UtcDateTime t = UtcFromMs(*utcMs);
    writer.Add(",%02d:%02d:%02d.%03d,%02d/%02d/%04d", t.hour, t.minute, t.second, t.millisecond, t.month,
               t.day, t.year);
}

unsigned Checksum(std::string_view body) {
    unsigned sum = 0;
    for (const char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    return sum;
}

// ---- Reading ----

bool IsPrintable(std::string_view line) {
    for (const char c : line) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

bool IsDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

/// "[-]degrees;minutes[.fraction][letter]" with whole minutes below 60.
bool IsCoordinate(std::string_view text) {
    if (!text.empty() && (text.back() < '0' || text.back() > '9')) {
        text.remove_suffix(1); // the hemisphere letter some vehicles append
    }
    if (!text.empty() && text.front() == '-') {
        text.remove_prefix(1);
    }
    const auto semicolon = text.find(';');
    if (semicolon == std::string_view::npos || semicolon > 3 || !IsDigits(text.substr(0, semicolon))) {
        return false;
    }
    std::string_view minutes = text.substr(semicolon + 1);
    const auto dot = minutes.find('.');
    const std::string_view whole = minutes.substr(0, dot);
    if (dot != std::string_view::npos && !IsDigits(minutes.substr(dot + 1))) {
        return false;
    }
    return IsDigits(whole) && whole.size() <= 2 && (whole.size() < 2 || whole[0] < '6');
}

/// A decimal number and nothing else: no "nan" or "inf", no hexadecimal.
bool IsNumber(std::string_view text) {
    if (text.empty() || text.size() > 32 ||
        text.find_first_not_of("+-.0123456789eE") != std::string_view::npos) {
        return false;
    }
    char copy[33] = {};
    std::memcpy(copy, text.data(), text.size());
    char* end = nullptr;
    std::strtod(copy, &end);
    return end == copy + text.size();
}

using Fields = std::array<std::string_view, kFieldCount>;

Fields SplitFields(std::string_view line) {
    Fields fields{};
    std::size_t start = 0;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const auto comma = line.find(',', start);
        fields[i] =
            line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    return fields;
}

} // namespace

bool SentenceText::Assign(std::string_view text) {
    if (text.size() > bytes.size()) {
        length = 0;
        return false;
    }
    std::memcpy(bytes.data(), text.data(), text.size());
    length = text.size();
    return true;
}

std::size_t ComposeSentence(const NavigationFix& given, std::span<char> out) {
    NavigationFix fix = given;
    DropFields(fix, BadFields(fix));
    Writer writer(out);
    writer.Add("$AULOG");
    if (fix.position) {
        AddCoordinate(writer, fix.position->latitudeDeg, 'N', 'S');
        AddCoordinate(writer, fix.position->longitudeDeg, 'E', 'W');
    } else {
        // The letters stay: the playback parse counts the fields after them from the letters.
        writer.Add(",,N,,E");
    }
    writer.Add(",");
    writer.AddOptional("%.3f", fix.depthM);
    writer.AddOptional("%.2f", fix.altitudeM);
    writer.AddOptional("%.2f", fix.headingDeg);
    writer.AddOptional("%.2f", fix.pitchDeg);
    writer.AddOptional("%.2f", fix.rollDeg);
    writer.AddOptional("%.2f", fix.speedMps);
    writer.Add(",,,,,,");
    AddTime(writer, fix.utcMs);
    writer.Add(",");
    writer.Add("*%02X", Checksum(writer.Text().substr(1)));
    return writer.Length();
}

std::optional<std::int64_t> ReadSentenceTime(std::string_view time, std::string_view date) {
    if (time.size() < 8 || time[2] != ':' || time[5] != ':' || date.size() != 10 || date[2] != '/' ||
        date[5] != '/') {
        return std::nullopt;
    }
    const std::string_view fraction = time.size() > 8 ? time.substr(9) : std::string_view{};
    if ((time.size() > 8 && (time[8] != '.' || !IsDigits(fraction))) || !IsDigits(time.substr(0, 2)) ||
        !IsDigits(time.substr(3, 2)) || !IsDigits(time.substr(6, 2)) || !IsDigits(date.substr(0, 2)) ||
        !IsDigits(date.substr(3, 2)) || !IsDigits(date.substr(6, 4))) {
        return std::nullopt;
    }
    const auto number = [](std::string_view digits) { return std::atoi(std::string(digits).c_str()); };
    UtcDateTime t;
    t.hour = number(time.substr(0, 2));
    t.minute = number(time.substr(3, 2));
    t.second = number(time.substr(6, 2));
    // Milliseconds from the first three decimals, whatever their count.
    const std::string milli = (std::string(fraction.substr(0, 3)) + "000").substr(0, 3);
    t.millisecond = number(milli);
    t.month = number(date.substr(0, 2));
    t.day = number(date.substr(3, 2));
    t.year = number(date.substr(6, 4));
    return MsFromUtc(t);
}

namespace {

bool ReadPosition(const Fields& f, const CNavigation& nav, NavigationFix& fix) {
    // The playback parse finds the fields after the position by counting from the hemisphere
    // letters: without a letter in each, it would read every number from the wrong field.
    const auto letter = [](std::string_view text, const char* allowed) {
        return text.size() == 1 && std::strchr(allowed, text[0]) != nullptr;
    };
    if (!letter(f[2], "NnSs") || !letter(f[4], "EeWw")) {
        return false;
    }
    if (f[1].empty() && f[3].empty()) {
        return true; // no position
    }
    if (!IsCoordinate(f[1]) || !IsCoordinate(f[3]) || nav.m_latitudeText.empty() ||
        nav.m_longitudeText.empty()) {
        return false;
    }
    fix.position = GeoPosition{nav.m_latitude, nav.m_longitude};
    return true;
}

bool ReadNumbers(const Fields& f, const CNavigation& nav, NavigationFix& fix) {
    struct Number {
        std::size_t field;
        float value;
        std::optional<double>* out;
    };
    const Number numbers[] = {
        {6, nav.m_depth, &fix.depthM},       {7, nav.m_altitude, &fix.altitudeM},
        {8, nav.m_heading, &fix.headingDeg}, {9, nav.m_pitch, &fix.pitchDeg},
        {10, nav.m_roll, &fix.rollDeg},      {11, nav.m_speed, &fix.speedMps},
    };
    for (const Number& n : numbers) {
        if (f[n.field].empty()) {
            continue;
        }
        if (!IsNumber(f[n.field])) {
            return false;
        }
        *n.out = static_cast<double>(n.value);
    }
    return true;
}

} // namespace

std::optional<NavigationFix> ReadSentence(std::string_view line) {
    // Every field up to the date must end with its comma: the playback parse stops at the first
    // missing one and would show the values of the ping before for the rest.
    const auto commas = static_cast<std::size_t>(std::count(line.begin(), line.end(), ','));
    if (line.size() > kMaxLiveSentenceLength || !line.starts_with(kPrefix) || !IsPrintable(line) ||
        line.find('$', 1) != std::string_view::npos || commas < kFieldCount - 1) {
        return std::nullopt;
    }
    CNavigation nav;
    nav.ParseNavigationSentence(line, false);
    const Fields fields = SplitFields(line);
    NavigationFix fix;
    if (!ReadPosition(fields, nav, fix) || !ReadNumbers(fields, nav, fix)) {
        return std::nullopt;
    }
    fix.utcMs = ReadSentenceTime(fields[18], fields[19]);
    if (BadFields(fix) != 0) {
        return std::nullopt;
    }
    return fix;
}

} // namespace vexar
