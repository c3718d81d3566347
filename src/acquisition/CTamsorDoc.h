#pragma once
// CTamsorDoc: the one document of the console. It owns every buffer, the heads' ping data, the
// link, the playback and the recorder, the open files and all settings, and it is the only writer
// of its state: programs read it through the const accessors below and change it through its
// intention methods, and learn of every change through its listener events. Every ping, live,
// played or converted, enters through one entry (EnterPing) and takes the same per-ping routine.

#include "acquisition/CConversion.h"
#include "acquisition/CLiveAcquisition.h"
#include "acquisition/CPingRoutine.h"
#include "acquisition/CPlayback.h"
#include "acquisition/CRecording.h"
#include "acquisition/CShownPing.h"
#include "acquisition/DocumentTypes.h"
#include "config/SettingsFile.h"
#include "config/SettingsValues.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"
#include "head/COndrel.h"
#include "head/ReplyData.h"
#include "navigation/CNavigation.h"
#include "navigation/HeadPlacement.h"
#include "navigation/XyzExport.h"
#include "ports/Ports.h"
#include "processing/CCombinedImage.h"
#include "processing/HeadProcessors.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexar {

struct PictureInput;

inline constexpr const char* kVersionText = "1.022 (July 17, 2019)";

class CTamsorDoc : private IPlaybackHost, private ILiveHost, private IRecordingHost, private IConversionHost {
public:
    /// The document is large: create it on the heap (it cannot be copied: none of its jobs can).
    /// `workers`: threads that process beside the document's own (at most one per head but one);
    /// -1: as many as the machine's cores allow.
    explicit CTamsorDoc(const DocumentPorts& ports, int workers = -1);
    ~CTamsorDoc() override;

    // ---- Life cycle ----
    /// Document initialisation. `settingsPath` is the settings file; empty means the file beside
    /// the executable, whose folder `programFolder` is (with a trailing separator).
    bool OnNewDocument(const std::string& programFolder, const std::string& settingsPath = {});
    /// Shutdown: saves the settings, closes files and sockets.
    void OnCloseDocument();
    /// How the document runs its pings; see DocumentOptions. Set before OnNewDocument.
    void SetOptions(const DocumentOptions& options) { m_live.SetOptions(options); }

    // ---- Listeners ----
    /// Adds a listener of the document's events (not owned; it must unsubscribe before it goes).
    void Subscribe(IDocumentListener& listener) { m_events.Subscribe(listener); }
    void Unsubscribe(IDocumentListener& listener) { m_events.Unsubscribe(listener); }

    // ---- Mode ----
    DocMode Mode() const { return m_mode; }
    /// True in playback and conversion: a file, not the head, gives the pings.
    bool IsPlayback() const { return m_mode != DocMode::Live; }
    bool IsHeld() const { return m_hold; }
    /// "Real Time": leaves playback, reloads the settings and restarts acquisition.
    void OnRealTime();
    /// "&Hold": holds or releases the picture (live or played).
    void OnHold();

    // ---- Settings ----
    /// The operator's choice. The head parameters of the ping shown, which may differ, are
    /// Shown().Settings().
    const Settings& GetSettings() const { return m_settings; }
    /// The one entry that changes settings (ChangeSettings of a copy edited by `edit`).
    template <typename Edit> void EditSettings(Edit&& edit) {
        Settings settings = m_settings;
        edit(settings);
        ChangeSettings(settings);
    }
    void LoadSettings();
    /// Saves one group of the settings; the head's group not in playback (a played file's values
    /// never reach the file).
    void SaveSettings(SaveGroup group);
    const SettingsPlace& SettingsFile() const { return m_settingsFile; }

    // ---- The current ping ----
    /// What is known of the ping shown: its settings, sentence and navigation, clock texts,
    /// timings, record values and the picture's versions.
    const CShownPing& Shown() const { return m_shown; }
    /// The per-ping routine on the current buffers (the current ping again, e.g. after a change of
    /// the sound velocity).
    void ProcessPing();
    /// The one entry of a ping: live, played and converted pings all come through here.
    void EnterPing(const PingInput& ping) { EnterPing(ping, false); }

    // ---- Real time ----
    /// The link to the head, its state, the live fixes and the watchdog.
    const CLiveAcquisition& Live() const { return m_live; }
    CLiveAcquisition& Live() { return m_live; }
    /// (Re)starts the link to the head and the output socket.
    void StartAcquisition();
    /// Stops the link (it closes its socket) and closes the output socket.
    void CloseSockets();
    /// The main frame's handler of any timer message.
    void OnTimer(int timerId);

    // ---- Playback ----
    /// The played file, its pace and the operator's steps, jumps and slider.
    const CPlayback& Playback() const { return m_playback; }
    CPlayback& Playback() { return m_playback; }
    /// "&Playback...": asks for a file and starts playing it. Cancelling resumes what ran before.
    void OnOpenPlayback();
    /// Opens a file and starts playback without asking. False when the file was refused; real-time
    /// acquisition has then restarted. `oneShot`: the file is played once, without looping and
    /// without saving the settings first (headless tools).
    bool OpenPlayback(const std::string& path, bool oneShot = false);

    // ---- Recording ----
    /// The recorder, the record commands and the file being recorded.
    const CRecording& Recording() const { return m_recording; }
    CRecording& Recording() { return m_recording; }

    // ---- Conversion ----
    /// The XYZ export of the played file, to a file or to map points.
    const CConversion& Conversion() const { return m_conversion; }
    CConversion& Conversion() { return m_conversion; }
    /// Closes every file: playback, recording, XYZ.
    void CloseAllFiles();

    // ---- The picture ----
    /// "Clear Image".
    void ClearImage() { m_shown.ClearPicture(); }

    // ---- Title ----
    const std::string& Title() const override { return m_title; }
    void SetTitle(const std::string& title) override;

    /// The heads' processing, its worker threads and the heads' data and combined image of the
    /// ping shown.
    const CPingRoutine& PingRoutine() const { return m_ping; }
    CPingRoutine& PingRoutine() { return m_ping; }

private:
    void SetMode(DocMode mode) { SetModeAndHold(mode, m_hold); }
    /// The one writer of the mode and Hold together: a change of either is told once.
    void SetModeAndHold(DocMode mode, bool hold);

    // Settings.
    /// Keeps every changed value within its key's limits, stores the result, applies what
    /// follows from it (the picture's geometry, the link's request, the recorder's roll-over) and
    /// tells the listeners what changed.
    void ChangeSettings(const Settings& settings);
    void ApplySettings(const Settings& before);
    void StoreSettings(const Settings& settings);

    // The per-ping routine (PingPipeline.cpp).
    void BeginPing(bool holdBack);
    void EndPing();
    void RefreshStatus();
    /// The clock's reading; a document without a clock reads zeros.
    LocalTime ClockNow() const { return m_ports.clock != nullptr ? m_ports.clock->Now() : LocalTime{}; }

    void EnterPing(const PingInput& ping, bool inTurns);

    // Real time (DocumentLive.cpp): what the live cycle asks of the document.
    LinkRequest NextLinkRequest() override;
    void LinkDataLost() override { m_ping.ForgetNewPing(); }
    void FollowLinkRecording(const RawRecordingState& state) override {
        m_recording.FollowLinkRecording(state);
    }
    void EnterLivePing(const PingInput& ping, bool inTurns) override;
    bool ProcessNextHead() override;
    void EndTurnedPing() override { EndPing(); }
    void RefreshWithoutPing() override;

    // Playback (DocumentPlayback.cpp): what the played file asks of the document.
    bool Playing() const override { return IsPlayback(); }
    bool Held() const override { return m_hold; }
    void HoldForPlayback() override { OnHold(); }
    const Settings& PlaybackSettings() const override { return m_settings; }
    std::optional<StepResult> PassEnded() override { return m_conversion.PassEnded(); }
    void PlaybackFailed(const char* text) override { RefusePlayback(text, true); }
    void ShowPlaybackTitle(const std::string& title) override;
    IRecordCopy* RecordCopy() override {
        return m_recording.Recorder().IsCopying() ? &m_recording.Recorder() : nullptr;
    }
    void EnterPlayedPing(const PlayedPing& ping) override;
    bool RefusePlayback(const char* text, bool wasPlayback);

    // Conversion (DocumentPlayback.cpp): what the export of a played file asks of the document.
    void EnterConversion(bool release) override {
        SetModeAndHold(DocMode::Conversion, release ? false : m_hold);
    }
    void HoldAfterConversion(bool looping) override;

    // Recording: what recording asks of the document.
    const SystemSettings& RecordingSettings() const override { return m_settings.system; }
    void ChangeWriteFolder(const std::string& folder) override {
        EditSettings([&](Settings& s) { s.system.writeFolder = folder; });
    }
    std::string FreshAutoName() override { return m_shown.FreshAutoName(IsPlayback(), m_ports.clock); }
    std::string RollOverName() const override { return m_shown.RollOverName(IsPlayback(), m_ports.clock); }
    std::string PlayedFileName() const override { return m_playback.Player().FileName(); }
    CSonarLink* RecordingLink() override { return m_live.SonarLink(); }

    DocumentPorts m_ports;
    CDocumentEvents m_events;

    Settings m_settings;
    SettingsPlace m_settingsFile;

    DocMode m_mode = DocMode::Live;
    bool m_hold = false;
    bool m_holdAfterConversion = false; ///< Hold was set by the end of an XYZ conversion

    // The current ping.
    CPingRoutine m_ping;
    CShownPing m_shown;
    std::string m_title;

    CRecording m_recording;
    CPlayback m_playback;
    CLiveAcquisition m_live;
    CConversion m_conversion;
};

/// What the picture is drawn from: the ping shown and the view.
PictureInput PictureInputOf(const CTamsorDoc& doc);
/// Where the head of the ping shown was, from its sentence and the mounting: what the pointer,
/// contacts and the picture on the map place with. Nothing when the ping has no usable fix.
std::optional<HeadPose> PoseOfShownPing(const CTamsorDoc& doc);

} // namespace vexar
