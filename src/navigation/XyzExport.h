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
/// As StartXyzExport, to a chosen file and layout (the command-line converter).
bool StartXyzExportTo(CTamsorDoc& doc, const std::string& outputPath, XyzFormat format);

/// Writes the profile points of the processed ping, then (text layout) the track line and an
/// empty line. Does nothing when the XYZ file is not open.
void WriteXyzPing(CTamsorDoc& doc);
/// How an XYZ export ended.
enum class XyzExportResult {
    NotRunning, ///< no export was running
    Complete,
    NoFixes,     ///< no sentence gave a position: the file holds no points (a CSV file its header)
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

/// The layout named on a command line: "xyz" or "text", or "csv"; nothing for any other name.
std::optional<XyzFormat> ParseXyzFormat(std::string_view name);

/// The first line of a CSV export.
inline constexpr const char* kXyzCsvHeader = "date,time,easting,northing,depth,beam,range\n";

} // namespace vexar
