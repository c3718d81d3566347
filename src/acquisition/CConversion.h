#pragma once
// CConversion: the export of a played recording while it plays ("Convert .R96 File to .xyz...",
// vexar-cli convert): the XYZ text file beside it or map points for a sink, one line or point set
// per processed ping, with the track parsed from the played sentences. While it runs the document
// plays in conversion mode and a held playback goes on; its end holds playback on the last ping.

#include "acquisition/CPlayback.h"
#include "acquisition/CShownPing.h"
#include "config/SettingsValues.h"
#include "navigation/XyzExport.h"
#include "ports/Ports.h"

#include <optional>
#include <string>

namespace vexar {

/// What a conversion asks of the document that plays its file.
class IConversionHost {
public:
    virtual ~IConversionHost() = default;
    virtual bool Playing() const = 0;
    virtual bool Held() const = 0;
    /// The file now plays for the conversion; `release`: a held playback goes on.
    virtual void EnterConversion(bool release) = 0;
    /// The conversion ended with its file: playback holds on the last ping, in playback mode
    /// again when `looping`.
    virtual void HoldAfterConversion(bool looping) = 0;
};

class CConversion {
public:
    /// `playback` gives the played file, `shown` the ping each line is written from, `settings`
    /// the mounting and fix age it is placed with and the sleep time a released playback goes on
    /// at; `timers` may be null (headless steps).
    CConversion(IConversionHost& host, const CPlayback& playback, CShownPing& shown, const Settings& settings,
                IOperatorPort* op, ITimerPort* timers);
    CConversion(const CConversion&) = delete;
    CConversion& operator=(const CConversion&) = delete;

    const CXyzExport& Export() const { return m_xyz; }
    /// True from the start of an export to its end.
    bool IsActive() const { return m_xyz.IsActive(); }

    /// Starts converting the played file into the XYZ file beside it, or to `outputPath`. False,
    /// with the operator told, when that file cannot be written.
    bool Start(const std::string& outputPath = {});
    /// Starts converting the played file into map points for `sink`.
    void StartToSink(IMapPointSink& sink);
    /// Writes the processed ping shown, whose combined profile is `profile`: its profile points,
    /// then the track.
    void WritePing(const float* profile);
    /// Ends the export: result told, playback held on its last ping.
    XyzExportResult Finish();
    /// A looping pass of the played file ended: an export that wrote its pings ends with it and
    /// playback holds on the last ping (AtEnd); nothing otherwise.
    std::optional<StepResult> PassEnded();
    /// The played file was closed: the export ends without a result.
    void Close() { m_xyz.Close(); }

private:
    IConversionHost& m_host;
    const CPlayback& m_playback;
    CShownPing& m_shown;
    const Settings& m_settings;
    ITimerPort* m_timers;
    CXyzExport m_xyz;
};

} // namespace vexar
