// Loading and saving of the document's settings file.

#include "acquisition/CTamsorDoc.h"
#include "common/TextParse.h"
#include "config/CProfileFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace vexar {

namespace {
constexpr const char* kSystem = "System";
constexpr const char* kSonar = "Sonar";
constexpr const char* kView = "View";

std::string FormatFloat(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

class SettingsReader {
public:
    explicit SettingsReader(const std::string& path) { m_file.Load(path); }
    std::string Text(const char* section, const char* key, const std::string& fallback) const {
        return m_file.GetString(section, key, fallback);
    }
    int Int(const char* section, const char* key, const char* fallback) const {
        return ParseInt(m_file.GetString(section, key, fallback));
    }
    float Float(const char* section, const char* key, const char* fallback) const {
        return static_cast<float>(ParseDouble(m_file.GetString(section, key, fallback)));
    }

private:
    CProfileFile m_file;
};
} // namespace

void CTamsorDoc::LoadSettings() {
    const SettingsReader ini(m_settingsPath);
    COndrel& first = Head(0);

    m_autoFileSize = ini.Int(kSystem, "Enable AutoFileSize", "1");
    m_sonarAddress = ini.Text(kSystem, "IPAddress_Sonar1", "192.168.0.2");
    m_outputAddress = ini.Text(kSystem, "IPAddress_Output1", "192.168.0.23");
    m_outputPort = ini.Int(kSystem, "RemotePort_Output1", "4040");
    m_autoFileName = ini.Int(kSystem, "AutoSaveFileName", "1");
    m_commPort = ini.Int(kSystem, "Comm Port", "2");
    m_baudRate = ini.Int(kSystem, "Baud Rate", "57600");
    m_readFolder = ini.Text(kSystem, "Read File Directory", m_programFolder);
    m_writeFolder = ini.Text(kSystem, "Write File Directory", m_programFolder);
    m_syncHeads = ini.Int(kSystem, "Sync Heads", "1");
    m_unit = ini.Int(kSystem, "Unit", "0");
    m_sleepTimeMs = ini.Int(kSystem, "Sleep Time", "0");
    m_pingDelayMs = ini.Int(kSystem, "Ping Delay", "0");
    m_soundVelocity = ini.Float(kSystem, "Sound Velocity", "1480.00");
    m_useFileSlc = ini.Int(kSystem, "UseFileSLC", "0");
    m_udpOutputPoint = ini.Int(kSystem, "UdpOutputP96", "0");
    m_udpOutputBeam = ini.Int(kSystem, "UdpOutputB96", "0");

    first.m_rangeIndex = std::clamp(ini.Int(kSonar, "Operating Range", "4"), 1, 4);
    first.m_rangeM = kRangeTable[static_cast<std::size_t>(first.m_rangeIndex)];
    const std::int64_t frequencyHz = ini.Int(kSonar, "Operating Frequency", "675000");
    first.m_frequencyStep = static_cast<int>((frequencyHz - 675000) / 50);
    first.m_displayGain = ini.Int(kSonar, "Display Gain", "50");
    m_startGain = ini.Int(kSonar, "Start Gain", "1");
    // The head knows 500 and 1000 samples only; any other count would run the ping and
    // processing buffers past their ends, so it is taken as 500 like the block count is.
    first.m_samples = ini.Int(kSonar, "Number of Samples", "500") == 1000 ? 1000 : 500;
    m_blocksPerPing = first.m_samples == 1000 ? 128 : 64;
    first.m_average = ini.Int(kSonar, "Average", "3");
    const int beams = ini.Int(kSonar, "Beams", "480");
    first.m_beams = (beams == 480 || beams == 240) ? beams : 120;
    first.m_beamsIndex = first.m_beams == 480 ? 0 : (first.m_beams == 240 ? 1 : 2);
    first.m_beamWidth = ini.Int(kSonar, "Beam Width", "2");
    first.m_persistence = ini.Int(kSonar, "Persistence", "0");
    first.m_transducerUp = ini.Int(kSonar, "Transducer Up", "0");
    first.m_pulseLengthMultiplier = ini.Float(kSonar, "Pulse Length Multiplier", "1.0");
    m_azimuthOffsetDeg = ini.Float(kSonar, "Azimuth Offset", "0.0");
    m_gyroEarthRateCorr = ini.Int(kSonar, "GyroEarthRateCorr", "1");
    first.m_externalTriggerEnable = ini.Int(kSonar, "ExternalTriggerEnable", "0");
    first.m_externalTriggerLevel = ini.Int(kSonar, "ExternalTriggerLevel", "0");
    first.m_externalTransmitDelay = ini.Int(kSonar, "ExternalXmitDelay", "0");
    first.m_profileFilterType = ini.Int(kSonar, "ProfileFilterType", "1");
    first.m_detectProfilePoints = ini.Int(kSonar, "DetectProfilePoints", "0") != 0 ? 1 : 0;
    m_profileDisplay = ini.Int(kSonar, "ProfileDisplay", "0");

    // Only 0..8 name a colour table.
    m_colorTable = std::clamp(ini.Int(kView, "ColorTable", "0"), 0, 8);
    const std::string display = ini.Text(kView, "Display", "Polar");
    if (!display.empty() && (display[0] == 'B' || display[0] == 'P')) {
        const int mode = display[0] == 'B' ? 2 : 0;
        for (COndrel& head : m_heads) {
            head.m_displayMode = mode;
        }
        m_imageReset = 1;
    }
    m_grid = ini.Int(kView, "Grid", "1");
    m_rangeMark = ini.Int(kView, "Range Mark", "1");
    m_zoomIndex = ini.Int(kView, "ZoomIndex", "0");

    CopyHeadSettings();
    UpdateHeadAzimuths();
    for (COndrel& head : m_heads) {
        head.BuildCommandPacket();
    }
    Notify(&IDocumentListener::OnSettingsLoaded);
}

void CTamsorDoc::SaveHeadSettings() {
    if (m_playback != 0) {
        return;
    }
    const COndrel& first = Head(0);
    CProfileFile ini;
    ini.Load(m_settingsPath);
    ini.SetString(kSystem, "Sound Velocity", FormatFloat("%.2f", static_cast<double>(m_soundVelocity)));
    ini.SetString(kSonar, "Operating Range", std::to_string(first.m_rangeIndex));
    ini.SetString(kSonar, "Operating Frequency",
                  std::to_string(static_cast<std::int64_t>(first.m_baseFrequencyKHz) * 1000 +
                                 static_cast<std::int64_t>(first.m_frequencyStep) * 50));
    ini.SetString(kSonar, "Number of Samples", std::to_string(first.m_samples));
    ini.SetString(kSonar, "Transducer Up", std::to_string(first.m_transducerUp));
    ini.SetString(kSonar, "Pulse Length Multiplier",
                  FormatFloat("%.1f", static_cast<double>(first.m_pulseLengthMultiplier)));
    ini.Save(m_settingsPath);
}

void CTamsorDoc::SaveOtherSettings() {
    const COndrel& first = Head(0);
    CProfileFile ini;
    ini.Load(m_settingsPath);
    const auto put = [&ini](const char* section, const char* key, int value) {
        ini.SetString(section, key, std::to_string(value));
    };
    ini.SetString(kSystem, "IPAddress_Sonar1", m_sonarAddress);
    ini.SetString(kSystem, "IPAddress_Output1", m_outputAddress);
    put(kSystem, "RemotePort_Output1", m_outputPort);
    put(kSystem, "AutoSaveFileName", m_autoFileName);
    put(kSystem, "Enable AutoFileSize", m_autoFileSize);
    put(kSystem, "Comm Port", m_commPort);
    put(kSystem, "Baud Rate", m_baudRate);
    ini.SetString(kSystem, "Read File Directory", m_readFolder);
    ini.SetString(kSystem, "Write File Directory", m_writeFolder);
    put(kSystem, "Sync Heads", m_syncHeads);
    put(kSystem, "Unit", m_unit);
    put(kSystem, "Sleep Time", m_sleepTimeMs);
    put(kSystem, "Ping Delay", m_pingDelayMs);
    put(kSystem, "UseFileSLC", m_useFileSlc);
    put(kSystem, "UdpOutputP96", m_udpOutputPoint);
    put(kSystem, "UdpOutputB96", m_udpOutputBeam);
    put(kSonar, "Display Gain", first.m_displayGain);
    put(kSonar, "Start Gain", m_startGain);
    put(kSonar, "Average", first.m_average);
    put(kSonar, "Beams", first.m_beams);
    put(kSonar, "Beam Width", first.m_beamWidth);
    put(kSonar, "Persistence", first.m_persistence);
    put(kSonar, "ExternalTriggerEnable", first.m_externalTriggerEnable);
    put(kSonar, "ExternalTriggerLevel", first.m_externalTriggerLevel);
    put(kSonar, "ExternalXmitDelay", first.m_externalTransmitDelay);
    put(kSonar, "DetectProfilePoints", first.m_detectProfilePoints != 0 ? 1 : 0);
    put(kSonar, "ProfileFilterType", first.m_profileFilterType);
    put(kSonar, "ProfileDisplay", m_profileDisplay);
    put(kView, "ColorTable", m_colorTable);
    put(kView, "Grid", m_grid);
    put(kView, "Range Mark", m_rangeMark);
    ini.SetString(kView, "Display", first.m_displayMode == 2 ? "BeamTest" : "Polar");
    put(kView, "ZoomIndex", m_zoomIndex);
    ini.Save(m_settingsPath);
}

} // namespace vexar
