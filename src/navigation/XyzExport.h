#pragma once
// The XYZ export that turns the profile points of every played ping into map coordinates.

#include "files/CDataFile.h"
#include "head/PingSettings.h"
#include "navigation/CNavigation.h"
#include "navigation/HeadPlacement.h"
#include "ports/Ports.h"

#include <optional>
#include <string>
#include <string_view>

namespace vexar {

/// The XYZ file beside a played file: its path with the last three characters replaced by "xyz".
std::string CompanionXyzPath(const std::string& playedPath);

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

/// The operator's message of an export whose recording gave no position fix.
inline constexpr const char* kXyzNoFixesText =
    "The recording holds no position fixes, so no XYZ points were written.";

/// How an XYZ export ended.
enum class XyzExportResult {
    NotRunning, ///< no export was running
    Complete,
    NoFixes,     ///< no sentence gave a position: the file holds no points
    WriteFailed, ///< lines were lost on the way, also by the final flush
};

/// What the export takes from a processed ping.
struct XyzPing {
    const PingSettings* settings = nullptr;
    const float* combinedProfile = nullptr; ///< kCombinedBeams values
    std::string_view dateText;
    std::string_view timeText;
    std::string_view millisecondText;
    std::string_view timeStamp; ///< DDMMYYYYHHMMSSmmm
    HeadMounting mounting;      ///< where the head sits on the vehicle
    int maxFixAgeMs = 2000;     ///< a fix is carried forward to the ping by no more than this
};

/// The XYZ export of a played recording: the text file of the console, or map points for a sink.
/// The track it follows is the navigation's; the owner parses every played sentence into it
/// with the track active while the export runs.
class CXyzExport {
public:
    explicit CXyzExport(IOperatorPort* op) : m_operator(op) {}

    /// True from the start of an export to its end ("XYZ conversion active").
    bool IsActive() const { return m_active; }
    /// True while the export writes somewhere (its file is open or a sink takes points).
    bool IsWriting() const { return m_file.IsOpen() || m_sink != nullptr; }
    bool HasSink() const { return m_sink != nullptr; }
    /// Starts an export to `outputPath` (kept when it is open already) and a new track. False,
    /// with the operator told, when the file could not be created or is the played file.
    bool StartToFile(const std::string& outputPath, const std::string& playedPath, CNavigation& nav);
    /// Starts an export of map points to `sink` (released by Finish or Close) and a new track.
    void StartToSink(IMapPointSink& sink, CNavigation& nav);
    /// Writes the profile points of the processed ping, then (text layout) the track line and an
    /// empty line.
    void WritePing(CNavigation& nav, const XyzPing& ping);
    /// End of the played file: closes the file and tells the operator the result once. Lines lost
    /// on the way leave the navigation's m_xyzWriteFailed set. A recording without a single
    /// position fix gives no coordinates at all: the lines written before the end are taken back.
    XyzExportResult Finish(CNavigation& nav);
    /// Closes the file and releases the sink without a result (the played file was closed).
    void Close();

private:
    void Write(CNavigation& nav, std::string_view text);
    void Tell(const std::string& text, MessageIcon icon) const;
    void WriteTextPing(CNavigation& nav, const XyzPing& ping);
    void WriteMapPing(CNavigation& nav, const XyzPing& ping);

    IOperatorPort* m_operator;
    CDataFile m_file;
    IMapPointSink* m_sink = nullptr;
    bool m_active = false;
};

/// One line of the XYZ file: "%s\t% 015.3f\t% 015.3f\t% 015.3f\n".
std::string FormatXyzLine(const std::string& label, double x, double y, double z);

/// A record time stamp DDMMYYYYHHMMSSmmm as ISO 8601 local time, "2026-12-07T11:41:39.042";
/// empty when the stamp is not 17 digits.
std::string IsoTimeOfStamp(std::string_view stamp);

} // namespace vexar
