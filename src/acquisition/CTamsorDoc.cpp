#include "acquisition/CTamsorDoc.h"

#include "config/SettingsRules.h"

#include "config/SettingsFile.h"

#include <algorithm>

namespace vexar {

CTamsorDoc::CTamsorDoc(const DocumentPorts& ports, int workers)
    : m_ports(ports), m_ping(workers, ports.clock), m_recording(*this, ports, m_events),
      m_playback(*this, ports.clock, ports.timers, m_events),
      m_live(*this, ports, m_recording.Recorder().Chain(), m_events),
      m_conversion(*this, m_playback, m_shown, m_settings, ports.operatorPort, ports.timers) {
    // The doc starts with every head upright and the start gain it has before the file is read.
    m_settings.sonar.transducerUp = 1;
    UpdateHeadAzimuths(m_settings.sonar);
    ResetPulseLength(m_settings.sonar);
    m_ping.InitialiseHeads(m_settings.sonar);
    m_shown.Forget(m_settings.sonar);
}

CTamsorDoc::~CTamsorDoc() {
    // A ping half processed is dropped here: its listeners may be gone.
    m_live.DropTurns();
    CloseSockets();
}

// ---------------------------------------------------------------------------------------------
// Title and mode

void CTamsorDoc::SetTitle(const std::string& title) {
    m_title = title;
    if (m_ports.operatorPort != nullptr) {
        m_ports.operatorPort->SetTitle(title);
    }
}

void CTamsorDoc::SetModeAndHold(DocMode mode, bool hold) {
    if (mode == m_mode && hold == m_hold) {
        return;
    }
    m_mode = mode;
    m_hold = hold;
    m_events.Notify(&IDocumentListener::OnModeChanged, m_mode, m_hold);
}

// ---------------------------------------------------------------------------------------------
// Life cycle

bool CTamsorDoc::OnNewDocument(const std::string& programFolder, const std::string& settingsPath) {
    m_settingsFile = SettingsPlaceOf(programFolder, settingsPath);
    // Every key is read: from the file, or its fallback where the file has none.
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
    m_playback.Pause();
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
        m_ping.ClearImage();
        m_shown.ClearPicture();
        // The position of the played file describes nothing live, nor do its settings.
        m_shown.Forget(m_settings.sonar);
        RefreshStatus();
    }
    LoadSettings();
    m_events.Notify(&IDocumentListener::OnRealTimeStarted);
    SetTitle("Real Time");
    ResetPulseLength(m_settings.sonar);
    m_ping.RestartHeads(m_settings.sonar);
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
    m_events.Notify(&IDocumentListener::OnSettingsChanged, change);
}

// What follows from a change of the settings, whoever made it.
void CTamsorDoc::ApplySettings(const Settings& before) {
    PingSettings& sonar = m_settings.sonar;
    if (sonar.transducerUp != before.sonar.transducerUp ||
        sonar.azimuthOffsetDeg != before.sonar.azimuthOffsetDeg) {
        UpdateHeadAzimuths(sonar);
    }
    m_shown.FollowSettings(before, m_settings);
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
    m_shown.ResetGeometry();
    m_events.Notify(&IDocumentListener::OnSettingsLoaded);
}

void CTamsorDoc::SaveSettings(SaveGroup group) {
    if (group == SaveGroup::Head && IsPlayback()) {
        return;
    }
    SaveSettingsGroup(m_settingsFile.path, m_settings, group);
}

} // namespace vexar
