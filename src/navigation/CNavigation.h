#pragma once
// CNavigation: position and attitude of the vessel as the $AULOG sentence stored with each
// played ping gives them, the texts the info panel shows, and the track the XYZ export follows.

#include "navigation/NavigationMath.h"

#include <string>
#include <string_view>

namespace vexar {

class CNavigation {
public:
    /// Parses `sentence` into the values and texts below. Parsing stops at the first missing
    /// separator; values not reached keep what they held. With `trackActive` (an XYZ conversion
    /// runs) a sentence with a position moves the track.
    void ParseNavigationSentence(std::string_view sentence, bool trackActive);
    /// Empties the ten display texts (the document empties the sentence itself).
    void ClearNavigation();
    /// Projects the current position and moves the track offsets by the distance travelled.
    void UpdateTrack();
    /// Starts a new track: zero offsets and positions, and the next fix becomes the first.
    void StartTrack();

    // ---- Values of the last sentence ----
    double m_latitude = 0.0;  ///< degrees, south negative
    double m_longitude = 0.0; ///< degrees, west negative
    char m_latitudeHemisphere = '\0';
    char m_longitudeHemisphere = '\0';
    float m_depth = 0.0f;    ///< m
    float m_altitude = 0.0f; ///< m
    float m_heading = 0.0f;  ///< degrees
    float m_pitch = 0.0f;    ///< degrees
    float m_roll = 0.0f;     ///< degrees
    float m_speed = 0.0f;    ///< m/s
    /// The heading field of the last sentence held a value (an empty field reads as 0); false
    /// after ClearNavigation.
    bool m_hasHeading = false;
    /// Length of the sentence as stored in the played record; 0 when it carried none.
    int m_sentenceLength = 0;

    // ---- Display texts ----
    std::string m_latitudeText;
    std::string m_longitudeText;
    std::string m_dateText;
    std::string m_timeText;
    std::string m_speedText;    ///< "%.1f m/s"
    std::string m_headingText;  ///< "%.1f deg."
    std::string m_pitchText;    ///< "%.1f deg."
    std::string m_rollText;     ///< "%.1f deg."
    std::string m_depthText;    ///< "%.3f m"
    std::string m_altitudeText; ///< "%.1f m"

    // ---- Track of the XYZ export ----
    double m_easting = 0.0;
    double m_northing = 0.0;
    double m_previousEasting = 0.0;
    double m_previousNorthing = 0.0;
    double m_originEasting = 0.0; ///< UTM of the fix that started the track
    double m_originNorthing = 0.0;
    int m_zone = 0;                ///< zone of the current fix
    int m_originZone = 0;          ///< zone of the fix that started the track
    int m_originSouth = 0;         ///< that fix lies south of the equator
    double m_trackOffsetX = 0.0;   ///< m, east since the first fix
    double m_trackOffsetY = 0.0;   ///< m, north since the first fix
    double m_trackOffsetZ = 0.0;   ///< m, depth change since the first fix
    float m_referenceDepth = 0.0f; ///< depth at the first fix
    int m_firstFix = 1;

    // ---- State of the XYZ export ----
    int m_xyzWriteFailed = 0; ///< a line could not be written during this conversion

private:
    bool ParsePosition(std::string_view s, int& c2Out, int& c4Out);
    bool ParseNumbers(std::string_view s, int& k);
    void ParseDateAndTime(std::string_view s, int k);
};

} // namespace vexar
