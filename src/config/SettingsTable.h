#pragma once
// Every key of the settings file, declared once. Loading, both saves, the limits of the settings
// controls and the tests' expected defaults all come from this table, so a key's text, default,
// format and limits cannot drift apart.

#include "acquisition/CTamsorDoc.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace vexar {

inline constexpr const char* kSystemSection = "System";
inline constexpr const char* kSonarSection = "Sonar";
inline constexpr const char* kViewSection = "View";

/// The fallback of the two folder keys: the folder that holds the program.
inline constexpr const char* kProgramFolder = nullptr;

/// Which save writes a key.
enum class SaveGroup {
    Head,  ///< SaveHeadSettings: skipped in playback, so a played file's values never reach the file
    Other, ///< SaveOtherSettings: always
    None,  ///< read only; a hand-edited file keeps it
};

/// The range a control keeps a value in (both 0 where none does); a few keys are clamped to it on
/// load as well.
struct SettingLimits {
    double lowest = 0.0;
    double highest = 0.0;
    bool clampedOnLoad = false;

    constexpr int Clamp(int value) const {
        return std::clamp(value, static_cast<int>(lowest), static_cast<int>(highest));
    }
    constexpr float Clamp(float value) const {
        return std::clamp(value, static_cast<float>(lowest), static_cast<float>(highest));
    }
};

/// One key of the settings file. A plain key names the member that holds it (head members are
/// head 0's: CopyHeadSettings passes the shared ones on to heads 1..3); a key whose text is not
/// simply its value brings its own `load` and/or `save`.
struct SettingKey {
    const char* section = nullptr;
    const char* key = nullptr;      ///< byte for byte as in the file
    const char* fallback = nullptr; ///< the text read when the key or the file is missing
    SaveGroup group = SaveGroup::None;
    // Where a plain key's value lives: exactly one of these.
    int CTamsorDoc::*docInt = nullptr;
    float CTamsorDoc::*docFloat = nullptr;
    std::string CTamsorDoc::*docText = nullptr;
    int COndrel::*headInt = nullptr;
    float COndrel::*headFloat = nullptr;
    const char* format = nullptr; ///< printf format a float is written with
    SettingLimits limits{};
    void (*load)(CTamsorDoc& doc, const std::string& text) = nullptr; ///< replaces the plain load
    std::string (*save)(const CTamsorDoc& doc) = nullptr;             ///< replaces the plain save
};

// The keys with their own rules (Settings.cpp).
/// Range index clamped to its limits, and the range in metres that index names.
void LoadOperatingRange(CTamsorDoc& doc, const std::string& text);
/// Hz in the file, a step of 50 Hz from 675 kHz in the head.
void LoadOperatingFrequency(CTamsorDoc& doc, const std::string& text);
/// The head's base frequency plus its step, in Hz.
std::string SaveOperatingFrequency(const CTamsorDoc& doc);
/// A TCP port 1..65535, else the head's 4040.
void LoadSonarPort(CTamsorDoc& doc, const std::string& text);
/// 1000 or else 500 samples, and the blocks per ping that go with them.
void LoadNumberOfSamples(CTamsorDoc& doc, const std::string& text);
/// 480, 240 or else 120 beams, and the beams index that goes with them.
void LoadBeams(CTamsorDoc& doc, const std::string& text);
/// Any non-zero text is 1.
void LoadDetectProfilePoints(CTamsorDoc& doc, const std::string& text);
/// 0 or 1.
std::string SaveDetectProfilePoints(const CTamsorDoc& doc);
/// "B..." is the beam-test display, "P..." the polar one, for all four heads.
void LoadDisplay(CTamsorDoc& doc, const std::string& text);
/// "BeamTest" or "Polar".
std::string SaveDisplay(const CTamsorDoc& doc);

// One key a row or two: clang-format would give every field its own line.
// clang-format off
/// The keys in the order the saves write them, which decides where a key missing from the file
/// is appended; the load reads them all (each key sets its own members, so order does not matter).
inline constexpr std::array kSettingsTable = {
    // SaveHeadSettings
    SettingKey{.section = kSystemSection, .key = "Sound Velocity", .fallback = "1480.00",
               .group = SaveGroup::Head, .docFloat = &CTamsorDoc::m_soundVelocity, .format = "%.2f",
               .limits = {1400.0, 1600.0}},
    SettingKey{.section = kSonarSection, .key = "Operating Range", .fallback = "4",
               .group = SaveGroup::Head, .headInt = &COndrel::m_rangeIndex,
               .limits = {.lowest = 1, .highest = 4, .clampedOnLoad = true}, .load = LoadOperatingRange},
    // Written in Hz; the limits are those of the frequency step the load turns it into.
    SettingKey{.section = kSonarSection, .key = "Operating Frequency", .fallback = "675000",
               .group = SaveGroup::Head, .limits = {-100, 100}, .load = LoadOperatingFrequency,
               .save = SaveOperatingFrequency},
    SettingKey{.section = kSonarSection, .key = "Number of Samples", .fallback = "500",
               .group = SaveGroup::Head, .headInt = &COndrel::m_samples, .load = LoadNumberOfSamples},
    SettingKey{.section = kSonarSection, .key = "Transducer Up", .fallback = "0",
               .group = SaveGroup::Head, .headInt = &COndrel::m_transducerUp},
    // The multiplier's control counts tenths; with 500 samples it stops at 1.0 instead.
    SettingKey{.section = kSonarSection, .key = "Pulse Length Multiplier", .fallback = "1.0",
               .group = SaveGroup::Head, .headFloat = &COndrel::m_pulseLengthMultiplier, .format = "%.1f",
               .limits = {0.5, 2.0}},

    // SaveOtherSettings
    SettingKey{.section = kSystemSection, .key = "IPAddress_Sonar1", .fallback = "192.168.0.2",
               .group = SaveGroup::Other, .docText = &CTamsorDoc::m_sonarAddress},
    SettingKey{.section = kSystemSection, .key = "RemotePort_Sonar1", .fallback = "4040",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_sonarPort, .limits = {1, 65535},
               .load = LoadSonarPort},
    SettingKey{.section = kSystemSection, .key = "IPAddress_Output1", .fallback = "192.168.0.23",
               .group = SaveGroup::Other, .docText = &CTamsorDoc::m_outputAddress},
    SettingKey{.section = kSystemSection, .key = "RemotePort_Output1", .fallback = "4040",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_outputPort},
    SettingKey{.section = kSystemSection, .key = "AutoSaveFileName", .fallback = "1",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_autoFileName},
    SettingKey{.section = kSystemSection, .key = "Enable AutoFileSize", .fallback = "1",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_autoFileSize},
    SettingKey{.section = kSystemSection, .key = "Comm Port", .fallback = "2",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_commPort},
    SettingKey{.section = kSystemSection, .key = "Baud Rate", .fallback = "57600",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_baudRate},
    SettingKey{.section = kSystemSection, .key = "Read File Directory", .fallback = kProgramFolder,
               .group = SaveGroup::Other, .docText = &CTamsorDoc::m_readFolder},
    SettingKey{.section = kSystemSection, .key = "Write File Directory", .fallback = kProgramFolder,
               .group = SaveGroup::Other, .docText = &CTamsorDoc::m_writeFolder},
    SettingKey{.section = kSystemSection, .key = "Sync Heads", .fallback = "1",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_syncHeads},
    SettingKey{.section = kSystemSection, .key = "Unit", .fallback = "0",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_unit},
    SettingKey{.section = kSystemSection, .key = "Sleep Time", .fallback = "0",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_sleepTimeMs},
    SettingKey{.section = kSystemSection, .key = "Ping Delay", .fallback = "0",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_pingDelayMs, .limits = {0, 5000}},
    SettingKey{.section = kSystemSection, .key = "UseFileSLC", .fallback = "0",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_useFileSlc},
    SettingKey{.section = kSystemSection, .key = "UdpOutputP96", .fallback = "0",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_udpOutputPoint},
    SettingKey{.section = kSystemSection, .key = "UdpOutputB96", .fallback = "0",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_udpOutputBeam},
    SettingKey{.section = kSonarSection, .key = "Display Gain", .fallback = "50",
               .group = SaveGroup::Other, .headInt = &COndrel::m_displayGain, .limits = {1, 100}},
    SettingKey{.section = kSonarSection, .key = "Start Gain", .fallback = "1",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_startGain, .limits = {0, 20}},
    SettingKey{.section = kSonarSection, .key = "Average", .fallback = "3",
               .group = SaveGroup::Other, .headInt = &COndrel::m_average},
    SettingKey{.section = kSonarSection, .key = "Beams", .fallback = "480",
               .group = SaveGroup::Other, .headInt = &COndrel::m_beams, .load = LoadBeams},
    SettingKey{.section = kSonarSection, .key = "Beam Width", .fallback = "2",
               .group = SaveGroup::Other, .headInt = &COndrel::m_beamWidth},
    SettingKey{.section = kSonarSection, .key = "Persistence", .fallback = "0",
               .group = SaveGroup::Other, .headInt = &COndrel::m_persistence, .limits = {0, 1200}},
    SettingKey{.section = kSonarSection, .key = "ExternalTriggerEnable", .fallback = "0",
               .group = SaveGroup::Other, .headInt = &COndrel::m_externalTriggerEnable},
    SettingKey{.section = kSonarSection, .key = "ExternalTriggerLevel", .fallback = "0",
               .group = SaveGroup::Other, .headInt = &COndrel::m_externalTriggerLevel},
    SettingKey{.section = kSonarSection, .key = "ExternalXmitDelay", .fallback = "0",
               .group = SaveGroup::Other, .headInt = &COndrel::m_externalTransmitDelay},
    SettingKey{.section = kSonarSection, .key = "DetectProfilePoints", .fallback = "0",
               .group = SaveGroup::Other, .load = LoadDetectProfilePoints, .save = SaveDetectProfilePoints},
    SettingKey{.section = kSonarSection, .key = "ProfileFilterType", .fallback = "1",
               .group = SaveGroup::Other, .headInt = &COndrel::m_profileFilterType},
    SettingKey{.section = kSonarSection, .key = "ProfileDisplay", .fallback = "0",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_profileDisplay},
    // Only 0..8 name a colour table.
    SettingKey{.section = kViewSection, .key = "ColorTable", .fallback = "0",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_colorTable,
               .limits = {.lowest = 0, .highest = 8, .clampedOnLoad = true}},
    SettingKey{.section = kViewSection, .key = "Grid", .fallback = "1",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_grid},
    SettingKey{.section = kViewSection, .key = "Range Mark", .fallback = "1",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_rangeMark},
    SettingKey{.section = kViewSection, .key = "Display", .fallback = "Polar",
               .group = SaveGroup::Other, .load = LoadDisplay, .save = SaveDisplay},
    SettingKey{.section = kViewSection, .key = "ZoomIndex", .fallback = "0",
               .group = SaveGroup::Other, .docInt = &CTamsorDoc::m_zoomIndex},

    // Never written
    SettingKey{.section = kSonarSection, .key = "Azimuth Offset", .fallback = "0.0",
               .group = SaveGroup::None, .docFloat = &CTamsorDoc::m_azimuthOffsetDeg},
    SettingKey{.section = kSonarSection, .key = "GyroEarthRateCorr", .fallback = "1",
               .group = SaveGroup::None, .docInt = &CTamsorDoc::m_gyroEarthRateCorr},
};
// clang-format on

/// The entry of `key`; a key not in the table does not compile.
consteval const SettingKey& SettingOf(std::string_view key) {
    for (const SettingKey& setting : kSettingsTable) {
        if (key == setting.key) {
            return setting;
        }
    }
    throw "not a settings key";
}

/// False when a key is listed twice, or nothing loads or saves one (checked by the tests: the
/// sanitizer builds do not let function addresses into a constant expression).
constexpr bool EveryKeyIsSound() {
    for (std::size_t i = 0; i < kSettingsTable.size(); ++i) {
        const SettingKey& s = kSettingsTable[i];
        const int places = (s.docInt != nullptr) + (s.docFloat != nullptr) + (s.docText != nullptr) +
                           (s.headInt != nullptr) + (s.headFloat != nullptr);
        const bool floating = s.docFloat != nullptr || s.headFloat != nullptr;
        const bool loads = places == 1 || s.load != nullptr;
        const bool saves = s.group == SaveGroup::None || s.save != nullptr ||
                           (places == 1 && (!floating || s.format != nullptr));
        if (places > 1 || !loads || !saves) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (std::string_view(s.key) == kSettingsTable[j].key) {
                return false;
            }
        }
    }
    return true;
}

} // namespace vexar
