#include "navigation/CNavigation.h"

#include "common/TextFormat.h"
#include "common/TextParse.h"

#include <climits>
#include <cmath>

namespace vexar {

namespace {

// Text positions are signed: -1 means "not found", as the parse below expects.
int Length(std::string_view s) {
    return s.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(s.size());
}

/// Index of the first `c` at or after `from`; -1 when there is none or `from` is outside.
int Find(std::string_view s, char c, int from) {
    if (from < 0 || from >= Length(s)) {
        return -1;
    }
    const auto at = s.find(c, static_cast<std::size_t>(from));
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

/// At most `count` characters from `first`; a negative first counts from 0, a negative count
/// gives the empty text, and nothing is taken past the end.
std::string_view Mid(std::string_view s, int first, int count) {
    const int length = Length(s);
    if (first < 0) {
        first = 0;
    }
    if (count <= 0 || first >= length) {
        return {};
    }
    const int available = length - first;
    return s.substr(static_cast<std::size_t>(first),
                    static_cast<std::size_t>(count < available ? count : available));
}

/// The character at `index`, or NUL past the end: a letter after a final comma is absent.
char At(std::string_view s, int index) {
    return index >= 0 && index < Length(s) ? s[static_cast<std::size_t>(index)] : '\0';
}

double Degrees(std::string_view s, int comma, int semicolon, int nextComma) {
    const int degrees = ParseInt(Mid(s, comma + 1, semicolon - 1));
    const double minutes = ParseDouble(Mid(s, semicolon + 1, nextComma - 1));
    return minutes / 60.0 + degrees;
}

/// One coordinate field: "degrees;minutes" after the first comma at or after `from`, then the
/// hemisphere letter after the comma that ends it; a letter in `negative` makes the value
/// negative. The value, letter and text are set only when the field is well placed. Returns the
/// comma that ends the field, or -1 when the sentence stops before it (or has no '.' after it).
int ParseCoordinate(std::string_view s, int from, std::string_view negative, double& value, char& hemisphere,
                    std::string& text) {
    const int semicolon = Find(s, ';', from);
    const int comma = Find(s, ',', from);
    if (comma < 0) {
        return -1;
    }
    const int end = Find(s, ',', comma + 1);
    if (end < 0) {
        return -1;
    }
    const int dot = Find(s, '.', comma);
    if (dot < 0) {
        return -1;
    }
    if (0 < comma && comma < end && comma < dot) {
        value = Degrees(s, comma, semicolon, end);
        hemisphere = At(s, end + 1);
        if (hemisphere != '\0' && negative.find(hemisphere) != std::string_view::npos) {
            value = -std::fabs(value);
        }
        text = Mid(s, comma + 1, end - comma - 1);
    }
    return end;
}

} // namespace

bool CNavigation::ParsePosition(std::string_view s, int& c2Out, int& c4Out) {
    const int c2 = ParseCoordinate(s, 0, "Ss", m_latitude, m_latitudeHemisphere, m_latitudeText);
    if (c2 < 0) {
        return false;
    }
    const int c4 = ParseCoordinate(s, c2 + 1, "Ww", m_longitude, m_longitudeHemisphere, m_longitudeText);
    if (c4 < 0) {
        return false;
    }
    c2Out = c2;
    c4Out = c4;
    return true;
}

bool CNavigation::ParseNumbers(std::string_view s, int& k) {
    struct Field {
        float* value;
        std::string* text;
        const char* format;
    };
    const Field fields[] = {
        {&m_depth, &m_depthText, "%.3f m"},        {&m_altitude, &m_altitudeText, "%.1f m"},
        {&m_heading, &m_headingText, "%.1f deg."}, {&m_pitch, &m_pitchText, "%.1f deg."},
        {&m_roll, &m_rollText, "%.1f deg."},       {&m_speed, &m_speedText, "%.1f m/s"},
    };
    for (const Field& field : fields) {
        const int n = Find(s, ',', k + 1);
        if (n < 0) {
            return false;
        }
        const std::string_view text = Mid(s, k + 1, n - k - 1);
        *field.value = static_cast<float>(ParseDouble(text));
        *field.text = FormatText(field.format, static_cast<double>(*field.value));
        if (field.value == &m_heading) {
            m_hasHeading = !text.empty();
        }
        k = n;
    }
    return true;
}

void CNavigation::ParseDateAndTime(std::string_view s, int k) {
    // Fields 12 to 17 are not read.
    for (int skipped = 0; skipped < 6; ++skipped) {
        k = Find(s, ',', k + 1);
        if (k < 0) {
            return;
        }
    }
    const int timeEnd = Find(s, ',', k + 1);
    const std::string_view time = timeEnd < 0 ? std::string_view{} : Mid(s, k + 1, timeEnd - k - 1);
    m_timeText = time.size() > 7 ? std::string(time) : std::string();

    const int dateEnd = timeEnd < 0 ? -1 : Find(s, ',', timeEnd + 1);
    const std::string_view date =
        dateEnd < 0 ? std::string_view{} : Mid(s, timeEnd + 1, dateEnd - timeEnd - 1);
    m_dateText = date.size() > 7 ? std::string(date) : std::string();
}

void CNavigation::ParseNavigationSentence(std::string_view s, bool trackActive) {
    if (s.empty()) {
        return;
    }
    int c2 = -1;
    int c4 = -1;
    if (!ParsePosition(s, c2, c4)) {
        return;
    }
    // The comma that ends field 5 when the hemisphere of field 4 is one letter.
    int k = Find(s, ',', c4 + 3);
    if (k < 0) {
        return;
    }
    if (!ParseNumbers(s, k)) {
        return;
    }
    ParseDateAndTime(s, k);
    if (!m_latitudeText.empty() && !m_longitudeText.empty() && trackActive) {
        // UpdateTrack clears the first-fix flag itself once a fix is usable; clearing it here
        // too would let an unusable first fix (easting or northing 0) start the track.
        UpdateTrack();
    }
}

void CNavigation::ClearNavigation() {
    m_latitudeText.clear();
    m_longitudeText.clear();
    m_dateText.clear();
    m_timeText.clear();
    m_speedText.clear();
    m_headingText.clear();
    m_pitchText.clear();
    m_rollText.clear();
    m_depthText.clear();
    m_altitudeText.clear();
    m_hasHeading = false;
    m_sentenceLength = 0;
}

void CNavigation::UpdateTrack() {
    m_previousEasting = m_easting;
    m_previousNorthing = m_northing;
    const UtmPoint fix = LatLonToUtm(m_latitude, m_longitude);
    m_easting = fix.easting;
    m_northing = fix.northing;
    m_zone = fix.zone;

    if (m_firstFix == 0) {
        const double dE = m_easting - m_previousEasting;
        const double dN = m_northing - m_previousNorthing;
        // A move of 5 m or more between two pings is a jump of the fix, not travel.
        if (IsTravel(dE, dN)) {
            m_trackOffsetX += dE;
            m_trackOffsetY += dN;
        }
        m_trackOffsetZ = static_cast<double>(m_depth) - static_cast<double>(m_referenceDepth);
        return;
    }
    if (m_easting == 0.0 || m_northing == 0.0) {
        return;
    }
    m_referenceDepth = m_depth;
    m_originEasting = m_easting;
    m_originNorthing = m_northing;
    m_originZone = m_zone;
    m_originSouth = m_latitude < 0.0 ? 1 : 0;
    m_firstFix = 0;
}

void CNavigation::StartTrack() {
    m_trackOffsetX = 0.0;
    m_trackOffsetY = 0.0;
    m_trackOffsetZ = 0.0;
    m_easting = 0.0;
    m_northing = 0.0;
    m_previousEasting = 0.0;
    m_previousNorthing = 0.0;
    m_originEasting = 0.0;
    m_originNorthing = 0.0;
    m_originZone = 0;
    m_originSouth = 0;
    m_firstFix = 1;
    m_xyzWriteFailed = 0;
}

} // namespace vexar
