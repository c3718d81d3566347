#include "acquisition/CTamsorDoc.h"

#include "config/SettingsRules.h"

#include "config/SettingsFile.h"
#include "display/CPictureModel.h"

#include <algorithm>

namespace vexar {

CTamsorDoc::CTamsorDoc(const DocumentPorts& ports, int workers)
    : m_ports(ports), m_ping(workers, ports.clock), m_recording(*this, ports),
      m_playback(*this, ports.clock, ports.timers), m_live(*this, ports, m_recording.Recorder().Chain()),
      m_conversion(*this, m_playback, m_shown, m_settings, ports.operatorPort, ports.timers) {
    // The doc starts with every head upright and the start gain it has before the file is read.
    m_settings.sonar.transducerUp = 1;
    UpdateHeadAzimuths(m_settings.sonar);
    ResetPulseLength(m_settings.sonar);
    for (int k = 0; k < kHeadCount; ++k) {
        COndrel& head = m_ping.Heads()[static_cast<std::size_t>(k)];
        head.m_headIndex = k;
        head.ResetCommandPacket(m_settings.sonar);
        head.m_commandPacket[2] = static_cast<std::uint8_t>(0x10 + k);
        head.m_rawSamples.fill(0);
    }
    m_shown.Forget(m_settings.sonar);
}

CTamsorDoc::~CTamsorDoc() {
    // A ping half processed is dropped here: its listeners may be gone.
    m_live.DropTurns();
    CloseSockets();
}

// ---------------------------------------------------------------------------------------------
// Listeners, title, mode

void CTamsorDoc::Subscribe(IDocumentListener& listener) {
    if (std::find(m_listeners.begin(), m_listeners.end(), &listener) == m_listeners.end()) {
        m_listeners.push_back(&listener);
    }
}

void CTamsorDoc::Unsubscribe(IDocumentListener& listener) {
    std::erase(m_listeners, &listener);
}

void CTamsorDoc::SetTitle(const std::string& title) {
    m_title = title;
    if (m_ports.operatorPort != nullptr) {
        m_ports.operatorPort->SetTitle(title);
    }
}

void CTamsorDoc::SetMode(DocMode mode) {
    SetModeAndHold(mode, m_hold);
}

void CTamsorDoc::SetModeAndHold(DocMode mode, bool hold) {
    if (mode == m_mode && hold == m_hold) {
        return;
    }
    m_mode = mode;
    m_hold = hold;
    Notify(&IDocumentListener::OnModeChanged, m_mode, m_hold);
}

// ---------------------------------------------------------------------------------------------
// Life cycle

bool CTamsorDoc::OnNewDocument(const std::string& programFolder, const std::string& settingsPath) {
    m_settingsFile.programFolder = programFolder;
    m_settingsFile.path = settingsPath.empty() ? programFolder + kSettingsFileName : settingsPath;
    Settings settings = m_settings;
    settings.system.readFolder = programFolder;
    settings.system.writeFolder = programFolder;
    settings.system.commPort = 2;
    settings.system.baudRate = 57600;
    StoreSettings(settings);
    LoadSettings();
    Settings loaded = m_settings;
    loaded.system.useFileSlc = 0;
    StoreSettings(loaded);
    m_ping.PrepareTables(m_settings.sonar);
    OnRealTime();
    ProcessPing();
    return true;
}

void CTamsorDoc::OnRealTime() {
    if (m_ports.timers != nullptr) {
        m_ports.timers->Stop(kPlaybackTimer);
    }
    // The end of a conversion holds the played file on its last ping; that was never the
    // operator's Hold. Leaving playback, its release is told with the new mode.
    if (m_holdAfterConversion) {
        m_holdAfterConversion = false;
        if (IsPlayback()) {
            m_hold = false;
        } else {
            SetModeAndHold(m_mode, false);
        }
    }
    if (IsPlayback()) {
        CloseAllFiles();
        SetMode(DocMode::Live);
        ClearCombinedImage();
        m_shown.ClearPicture();
        // The position of the played file describes nothing live, nor do its settings.
        m_shown.Forget(m_settings.sonar);
        RefreshStatus();
    }
    LoadSettings();
    Notify(&IDocumentListener::OnRealTimeStarted);
    SetTitle("Real Time");
    ResetPulseLength(m_settings.sonar);
    for (COndrel& head : m_ping.Heads()) {
        head.m_newData = 0;
        head.m_pingCounter = 0;
        head.ResetCommandPacket(m_settings.sonar);
    }
    StartAcquisition();
}

void CTamsorDoc::OnCloseDocument() {
    SaveSettings(SaveGroup::Head);
    CloseAllFiles();
    CloseSockets();
    SaveSettings(SaveGroup::Other);
}

void CTamsorDoc::CloseAllFiles() {
    if (m_playback.Player().IsOpen()) {
        m_playback.Player().Close();
        SetMode(DocMode::Live);
    }
    m_recording.CloseAll();
    m_conversion.Close();
}

// ---------------------------------------------------------------------------------------------
// Settings

void CTamsorDoc::StoreSettings(const Settings& settings) {
    const Settings before = m_settings;
    m_settings = settings;
    ApplySettings(before);
}

void CTamsorDoc::ChangeSettings(const Settings& requested) {
    Settings settings = requested;
    NormaliseSettings(m_settings, settings);
    const SettingsChange change = SettingsChange::Between(m_settings, settings);
    if (!change.Any()) {
        return;
    }
    StoreSettings(settings);
    Notify(&IDocumentListener::OnSettingsChanged, change);
}

// What follows from a change of the settings, whoever made it.
void CTamsorDoc::ApplySettings(const Settings& before) {
    PingSettings& sonar = m_settings.sonar;
    if (sonar.transducerUp != before.sonar.transducerUp ||
        sonar.azimuthOffsetDeg != before.sonar.azimuthOffsetDeg) {
        UpdateHeadAzimuths(sonar);
    }
    // An inverted head swaps the halves of the picture; a zoom, mode or orientation draws another one.
    if (m_settings.view.zoomIndex != before.view.zoomIndex || sonar.displayMode != before.sonar.displayMode ||
        sonar.transducerUp != before.sonar.transducerUp ||
        m_settings.view.orientation != before.view.orientation || m_settings.mounting != before.mounting) {
        ResetPictureGeometry();
    }
    m_shown.Follow(sonar);
    m_recording.FollowSettings();
}

void CTamsorDoc::LoadSettings() {
    Settings settings = m_settings;
    LoadSettingsFile(m_settingsFile.path, m_settingsFile.programFolder, settings);
    UpdateHeadAzimuths(settings.sonar);
    ApplyPacketRules(settings.sonar);
    StoreSettings(settings);
    m_ping.BuildCommandPackets(m_settings.sonar);
    // The zoom and the picture geometry may have changed with the file.
    ResetPictureGeometry();
    Notify(&IDocumentListener::OnSettingsLoaded);
}

void CTamsorDoc::SaveSettings(SaveGroup group) {
    if (group == SaveGroup::Head && IsPlayback()) {
        return;
    }
    SaveSettingsGroup(m_settingsFile.path, m_settings, group);
}

// ---------------------------------------------------------------------------------------------
// The picture

void CTamsorDoc::ClearImage() {
    m_shown.ClearPicture();
}

void CTamsorDoc::ResetPictureGeometry() {
    m_shown.ResetGeometry();
}

PictureInput PictureInputOf(const CTamsorDoc& doc) {
    const CShownPing& shown = doc.Shown();
    const CCombinedImage& combined = doc.PingRoutine().Combined();
    PictureInput input;
    input.settings = &shown.Settings();
    input.view = &doc.GetSettings().view;
    input.combinedImage = combined.Image().data();
    input.combinedProfile = combined.Profile().data();
    input.heads = &doc.PingRoutine().Heads();
    input.displayedPingPeriodMs = shown.Timings().displayedPingPeriodMs;
    input.geometryVersion = shown.GeometryVersion();
    input.clearVersion = shown.ClearVersion();
    input.topBearingDeg = TopBearingOfPicture(shown.Navigation(), doc.GetSettings().mounting);
    return input;
}

std::optional<HeadPose> PoseOfShownPing(const CTamsorDoc& doc) {
    const Settings& settings = doc.GetSettings();
    return PoseOfPing(doc.Shown().Navigation(), doc.Shown().Clock().timeStamp, settings.mounting,
                      settings.system.maxFixAgeMs);
}

} // namespace vexar
