#pragma once
// The document's side of navigation: parsing the played record's sentence, and the XYZ export
// that turns the profile points of every played ping into map coordinates.

#include "navigation/CNavigation.h"

#include <optional>
#include <string>
#include <string_view>

namespace vexar {

class CTamsorDoc;

/// Parses the document's current sentence into its navigation values; while an XYZ conversion
/// runs a sentence with a position moves the track.
void ParseNavigationSentence(CTamsorDoc& doc);
/// Empties the current sentence, its stored length and the ten display texts (a played record
/// without a sentence).
void ClearNavigation(CTamsorDoc& doc);

/// The XYZ file beside a played file: its path with the last three characters replaced by "xyz".
std::string CompanionXyzPath(const std::string& playedPath);

/// Starts converting the played file (playback is already open): sets the XYZ switch and, unless
/// the XYZ file is open already, creates it at the companion path and starts a new track.
/// Returns false when the file could not be created (the operator has been told).
bool StartXyzExport(CTamsorDoc& doc, const std::string& playedPath);
/// As StartXyzExport, to a chosen file (the command-line converter).
bool StartXyzExportTo(CTamsorDoc& doc, const std::string& outputPath);

/// The map projection of a conversion's points: the UTM zone of the fix that started the track.
struct MapProjection {
    int zone = 0;
    bool south = false;
    /// The EPSG code of the zone on WGS 84: 326zz north, 327zz south.
    int Epsg() const { return (south ? 32700 : 32600) + zone; }
};

/// One profile point of a converted ping in map coordinates.
struct MapPoint {
    std::string_view timeStamp; ///< the played record's DDMMYYYYHHMMSSmmm
    MapProjection projection;
    double easting = 0.0;  ///< m, UTM of the first fix plus the east offset
    double northing = 0.0; ///< m
    double depth = 0.0;    ///< m, the third coordinate of the text layout
    int beam = 0;          ///< display beam index
    double rangeM = 0.0;   ///< slant range corrected for the sound velocity
};

/// Takes the profile points of a conversion in map coordinates (the command-line converter's
/// other layouts). Points come only once the track has a usable fix: before it they have no
/// place on the map.
class IMapPointSink {
public:
    virtual ~IMapPointSink() = default;
    virtual void TakePoint(const MapPoint& point) = 0;
};

/// Starts converting the played file (playback is already open) into map points for `sink`
/// instead of a text file; the sink is released by FinishXyzExport.
void StartMapExport(CTamsorDoc& doc, IMapPointSink& sink);

/// Writes the profile points of the processed ping, then (text layout) the track line and an
/// empty line. Does nothing when the XYZ file is not open.
void WriteXyzPing(CTamsorDoc& doc);
/// How an XYZ export ended.
enum class XyzExportResult {
    NotRunning, ///< no export was running
    Complete,
    NoFixes,     ///< no sentence gave a position: the file holds no points
    WriteFailed, ///< lines were lost on the way, also by the final flush
};

/// End of the played file: clears the switch, closes the file, tells the operator the result
/// once, stops the playback timer and holds playback on the last ping. Lines lost on the way
/// leave the navigation's m_xyzWriteFailed set. A recording without a single position fix gives
/// no coordinates at all: the lines written before the end are taken back.
XyzExportResult FinishXyzExport(CTamsorDoc& doc);

/// The operator's message of an export whose recording gave no position fix.
inline constexpr const char* kXyzNoFixesText =
    "The recording holds no position fixes, so no XYZ points were written.";

/// During playback of a ping with a position fix: the UTM position of the point under the
/// pointer (the document's cursor range and bearing), placed as the export places a profile
/// point there, with the same geometry and attitude. Nothing without a fix or outside playback.
std::optional<UtmPoint> PointerMapPosition(const CTamsorDoc& doc);

/// One line of the XYZ file: "%s\t% 015.3f\t% 015.3f\t% 015.3f\n".
std::string FormatXyzLine(const std::string& label, double x, double y, double z);

/// A record time stamp DDMMYYYYHHMMSSmmm as ISO 8601 local time, "2026-12-07T11:41:39.042";
/// empty when the stamp is not 17 digits.
std::string IsoTimeOfStamp(std::string_view stamp);

} // namespace vexar
