#include "navigation/XyzExport.h"

#include "acquisition/CTamsorDoc.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string_view>
#include <system_error>

namespace vexar {

namespace {

constexpr const char* kConversionComplete = "Conversion Complete!";
constexpr const char* kErrorCreatingXyz = "Error Creating XYZ File!";
constexpr const char* kErrorWritingXyz = "Error Writing XYZ File!";
constexpr const char* kDefaultFileError = "Failed to open document.";

// Beam 0 points straight down; the beams step clockwise by the head's beam spacing.
constexpr double kFirstBeamAngleRad = -1.5707963146269321;
constexpr double kBeamStepPerDegree = 0.01745329238474369;
constexpr double kNominalSoundVelocity = 1500.0;

/// One profile point ready for output: its beam, the slant range in metres and the three
/// coordinates (track offset plus the rotated point).
struct XyzPoint {
    int beam = 0;
    double rangeM = 0.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

std::string Printf(const char* format, auto... args) {
    const int needed = std::snprintf(nullptr, 0, format, args...);
    if (needed <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(needed) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(static_cast<std::size_t>(needed));
    return text;
}

/// Formats one output line without allocating: into `buffer`, or into `spill` for the rare line
/// that does not fit (a huge label or coordinate).
template <std::size_t N>
std::string_view FormatLine(std::array<char, N>& buffer, std::string& spill, const char* format,
                            auto... args) {
    const int needed = std::snprintf(buffer.data(), buffer.size(), format, args...);
    if (needed < 0) {
        return {};
    }
    if (static_cast<std::size_t>(needed) < buffer.size()) {
        return {buffer.data(), static_cast<std::size_t>(needed)};
    }
    spill = Printf(format, args...);
    return spill;
}

void Write(CTamsorDoc& doc, std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (!doc.m_xyzFile.Write(std::span<const std::uint8_t>(bytes, text.size()))) {
        doc.m_navigationValues.m_xyzWriteFailed = 1;
    }
}

void Tell(CTamsorDoc& doc, const std::string& text, MessageIcon icon) {
    if (doc.Ports().operatorPort != nullptr) {
        doc.Ports().operatorPort->ShowMessage(text, icon);
    }
}

bool IsSameFile(const std::string& a, const std::string& b) {
    if (a == b) {
        return true;
    }
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

/// A point at export angle `angleRad` and slant range `rangeM` (for the nominal sound velocity)
/// as an offset from the vessel: scaled to the sound velocity `c` and turned by the attitude.
RotatedPoint PointFromVessel(const CNavigation& nav, double angleRad, double rangeM, double c) {
    const double x = rangeM * std::cos(angleRad) * c / kNominalSoundVelocity;
    const double y = -(rangeM * std::sin(angleRad) * c / kNominalSoundVelocity);
    return RotateByAttitude(x, y, 0.0, nav.m_pitch, nav.m_heading, -nav.m_roll);
}

/// Calls `emit` for every beam of the ping that has a profile point, in beam order.
template <typename Emit> void ForEachPoint(CTamsorDoc& doc, Emit&& emit) {
    const COndrel& head = doc.Head(0);
    const int beamSetting = head.m_beams;
    const int samples = head.m_samples;
    if (beamSetting <= 0 || samples <= 0) {
        return;
    }
    // A damaged setting must not reach past the combined profile.
    const int beams = static_cast<int>(std::min<long long>(3LL * beamSetting, kCombinedBeams));
    const float rangeM = head.m_rangeM;
    const double c = static_cast<double>(doc.m_soundVelocity);
    const double step = (120.0 / beamSetting) * kBeamStepPerDegree;
    CNavigation& nav = doc.m_navigationValues;

    double theta = kFirstBeamAngleRad;
    for (int i = 0; i < beams; ++i, theta += step) {
        const float p = doc.m_combinedProfile[static_cast<std::size_t>(i)];
        if (!(p > 0.0f)) {
            continue;
        }
        const double r = static_cast<double>(p * rangeM / static_cast<float>(samples));
        nav.m_rotated = PointFromVessel(nav, theta, r, c);
        emit(XyzPoint{i, r * c / kNominalSoundVelocity, nav.m_trackOffsetX + nav.m_rotated.x,
                      nav.m_trackOffsetY + nav.m_rotated.y, nav.m_trackOffsetZ + nav.m_rotated.z});
    }
}

constexpr const char* kXyzLineFormat = "%s\t%s.%s\t% 015.3f\t% 015.3f\t% 015.3f\n";

void WriteTextPing(CTamsorDoc& doc) {
    // The label is the record's date, a tab, its time, a point and its milliseconds.
    const char* date = doc.m_dateText.c_str();
    const char* time = doc.m_timeText.c_str();
    const char* ms = doc.m_millisecondText.c_str();
    std::array<char, 256> buffer;
    std::string spill;
    ForEachPoint(doc, [&](const XyzPoint& point) {
        Write(doc, FormatLine(buffer, spill, kXyzLineFormat, date, time, ms, point.x, point.y, point.z));
    });
    const CNavigation& nav = doc.m_navigationValues;
    Write(doc, FormatLine(buffer, spill, kXyzLineFormat, date, time, ms, nav.m_trackOffsetX,
                          nav.m_trackOffsetY, nav.m_trackOffsetZ));
    Write(doc, "\n");
}

void WriteMapPing(CTamsorDoc& doc, IMapPointSink& sink) {
    const CNavigation& nav = doc.m_navigationValues;
    if (nav.m_firstFix != 0) {
        return;
    }
    const MapProjection projection{nav.m_originZone, nav.m_originSouth != 0};
    ForEachPoint(doc, [&](const XyzPoint& point) {
        sink.TakePoint(MapPoint{doc.m_timeStamp, projection, nav.m_originEasting + point.x,
                                nav.m_originNorthing + point.y, point.z, point.beam, point.rangeM});
    });
}

} // namespace

void ParseNavigationSentence(CTamsorDoc& doc) {
    doc.m_navigationValues.ParseNavigationSentence(doc.m_navigationSentence, doc.m_xyzConversion != 0);
}

void ClearNavigation(CTamsorDoc& doc) {
    doc.m_navigationSentence.clear();
    doc.m_navigationValues.ClearNavigation();
}

std::optional<UtmPoint> PointerMapPosition(const CTamsorDoc& doc) {
    const CNavigation& nav = doc.m_navigationValues;
    const int beamSetting = doc.Head(0).m_beams;
    if (doc.m_playback == 0 || nav.m_latitudeText.empty() || nav.m_longitudeText.empty() ||
        beamSetting <= 0) {
        return std::nullopt;
    }
    const UtmPoint fix = LatLonToUtm(nav.m_latitude, nav.m_longitude);
    if (fix.easting == 0.0 || fix.northing == 0.0) {
        return std::nullopt; // not a usable fix, as the track sees it
    }
    // The picture draws combined beam i at bearing (i - 1/2) x f clockwise from the top, and the
    // export turns it to the angle -90 degrees + i x f: the pointer's bearing is taken back to
    // that angle. The readout's range is corrected for the sound velocity already; the export
    // applies the correction itself.
    const double c = static_cast<double>(doc.m_soundVelocity);
    if (!(c > 0.0)) {
        return std::nullopt;
    }
    const double beamDeg = 120.0 / beamSetting;
    const double angleDeg = static_cast<double>(doc.m_cursorBearingDeg) - 90.0 + beamDeg / 2.0;
    const double slantM = static_cast<double>(doc.m_cursorRangeM) * kNominalSoundVelocity / c;
    const RotatedPoint point = PointFromVessel(nav, angleDeg * kBeamStepPerDegree, slantM, c);
    return UtmPoint{fix.easting + point.x, fix.northing + point.y, fix.zone};
}

std::string FormatXyzLine(const std::string& label, double x, double y, double z) {
    return Printf("%s\t% 015.3f\t% 015.3f\t% 015.3f\n", label.c_str(), x, y, z);
}

std::string IsoTimeOfStamp(std::string_view stamp) {
    if (stamp.size() != static_cast<std::size_t>(kTimeStampLength) ||
        !std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return {};
    }
    const auto part = [&](std::size_t at, std::size_t length) {
        return std::string(stamp.substr(at, length));
    };
    return part(4, 4) + "-" + part(2, 2) + "-" + part(0, 2) + "T" + part(8, 2) + ":" + part(10, 2) + ":" +
           part(12, 2) + "." + part(14, 3);
}

std::string CompanionXyzPath(const std::string& playedPath) {
    if (playedPath.size() < 3) {
        return playedPath + ".xyz";
    }
    return playedPath.substr(0, playedPath.size() - 3) + "xyz";
}

bool StartXyzExport(CTamsorDoc& doc, const std::string& playedPath) {
    return StartXyzExportTo(doc, CompanionXyzPath(playedPath));
}

namespace {
void SetConverting(CTamsorDoc& doc) {
    doc.m_xyzConversion = 1;
    // A conversion plays its file to the end: a held playback goes on.
    if (doc.m_playback != 0 && doc.m_hold != 0) {
        doc.m_hold = 0;
        if (ITimerPort* timers = doc.Ports().timers; timers != nullptr && !timers->IsArmed(kPlaybackTimer)) {
            timers->Arm(kPlaybackTimer, doc.m_sleepTimeMs);
        }
    }
}
} // namespace

void StartMapExport(CTamsorDoc& doc, IMapPointSink& sink) {
    SetConverting(doc);
    doc.m_mapPointSink = &sink;
    doc.m_navigationValues.StartTrack();
}

bool StartXyzExportTo(CTamsorDoc& doc, const std::string& outputPath) {
    SetConverting(doc);
    if (doc.m_xyzFile.IsOpen()) {
        return true;
    }
    // Creating the output truncates it: never let that be the recording being played (a played
    // file whose name ends in "xyz" has itself as companion).
    const bool clobbersPlayed =
        doc.m_playbackFile.IsOpen() && IsSameFile(outputPath, doc.m_playbackFile.Path());
    if (clobbersPlayed || !doc.m_xyzFile.Open(outputPath, CDataFile::Mode::CreateWrite)) {
        const std::string& reason = doc.m_xyzFile.LastError();
        Tell(doc, clobbersPlayed || reason.empty() ? kDefaultFileError : outputPath + "\n" + reason,
             MessageIcon::Error);
        Tell(doc, kErrorCreatingXyz, MessageIcon::Error);
        return false;
    }
    doc.m_navigationValues.StartTrack();
    return true;
}

void WriteXyzPing(CTamsorDoc& doc) {
    if (doc.m_mapPointSink != nullptr) {
        WriteMapPing(doc, *doc.m_mapPointSink);
    } else if (doc.m_xyzFile.IsOpen()) {
        WriteTextPing(doc);
    }
}

XyzExportResult FinishXyzExport(CTamsorDoc& doc) {
    if (doc.m_mapPointSink != nullptr) {
        // The sink's owner closes its output and tells the result.
        doc.m_mapPointSink = nullptr;
        doc.m_xyzConversion = 0;
        return XyzExportResult::NotRunning;
    }
    if (doc.m_xyzConversion == 0 && !doc.m_xyzFile.IsOpen()) {
        return XyzExportResult::NotRunning;
    }
    doc.m_xyzConversion = 0;
    const bool wasOpen = doc.m_xyzFile.IsOpen();
    CNavigation& nav = doc.m_navigationValues;
    // Without a fix every coordinate would be made up: nothing of the file stays.
    const bool noFixes = wasOpen && nav.m_firstFix != 0;
    if (noFixes) {
        if (!doc.m_xyzFile.Truncate(0)) {
            nav.m_xyzWriteFailed = 1;
        }
    }
    // The last lines reach the file only here: a failed flush lost them as much as a failed write.
    if (wasOpen && !doc.m_xyzFile.Flush()) {
        nav.m_xyzWriteFailed = 1;
    }
    doc.m_xyzFile.Close();
    // A file that could not be created was reported at the start; a file that lost lines must
    // not be reported as complete.
    XyzExportResult result = XyzExportResult::NotRunning;
    if (wasOpen) {
        if (nav.m_xyzWriteFailed != 0) {
            result = XyzExportResult::WriteFailed;
            Tell(doc, kErrorWritingXyz, MessageIcon::Error);
        } else if (noFixes) {
            result = XyzExportResult::NoFixes;
            Tell(doc, kXyzNoFixesText, MessageIcon::Warning);
        } else {
            result = XyzExportResult::Complete;
            Tell(doc, kConversionComplete, MessageIcon::Information);
        }
    }
    if (doc.Ports().timers != nullptr) {
        doc.Ports().timers->Stop(kPlaybackTimer);
    }
    // The timer handler re-arms after every step unless playback holds: stay on the last ping
    // instead of replaying the file without writing. "Real Time" releases this Hold.
    if (doc.m_playback != 0 && doc.m_hold == 0) {
        doc.m_hold = 1;
        doc.m_holdAfterConversion = 1;
    }
    return result;
}

} // namespace vexar
