#pragma once
// Every key of the settings file, declared once. Loading, both saves, the limits of the settings
// controls and the tests' expected defaults all come from this table, so a key's text, default,
// format and limits cannot drift apart.

#include "common/TextParse.h"
#include "config/SettingsValues.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <type_traits>

namespace vexar {

inline constexpr const char* kSystemSection = "System";
inline constexpr const char* kSonarSection = "Sonar";
inline constexpr const char* kViewSection = "View";
inline constexpr const char* kMountingSection = "Mounting";

/// The fallback of the two folder keys: the folder that holds the program.
inline constexpr const char* kProgramFolder = nullptr;

/// Which save writes a key.
enum class SaveGroup {
    Head,  ///< the head's: skipped in playback, so a played file's values never reach the file
    Other, ///< the rest: always
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
    constexpr double Clamp(double value) const { return std::clamp(value, lowest, highest); }
};

/// One key of the settings file. A plain key names the member of the settings that holds it; a
/// key whose text is not simply its value brings its own `load` and/or `save`.
struct SettingKey {
    const char* section = nullptr;
    const char* key = nullptr;      ///< byte for byte as in the file
    const char* fallback = nullptr; ///< the text read when the key or the file is missing
    SaveGroup group = SaveGroup::None;
    // Where a plain key's value lives: exactly one of these.
    int SystemSettings::*systemInt = nullptr;
    std::string SystemSettings::*systemText = nullptr;
    int PingSettings::*sonarInt = nullptr;
    float PingSettings::*sonarFloat = nullptr;
    int ViewSettings::*viewInt = nullptr;
    double HeadMounting::*mountingNumber = nullptr;
    const char* format = nullptr; ///< printf format a float is written with
    SettingLimits limits{};
    void (*load)(Settings& settings, const std::string& text) = nullptr; ///< replaces the plain load
    std::string (*save)(const Settings& settings) = nullptr;             ///< replaces the plain save
    /// The integer a key with its own load keeps within its limits (the frequency step of
    /// "Operating Frequency"); a plain key's limits apply to its member.
    int* (*limited)(Settings& settings) = nullptr;
};

// The keys with their own rules (SettingsFile.cpp).
/// Range index clamped to its limits, and the range in metres that index names.
void LoadOperatingRange(Settings& settings, const std::string& text);
/// Hz in the file, a step of 50 Hz from 675 kHz in the head.
void LoadOperatingFrequency(Settings& settings, const std::string& text);
/// The head's base frequency plus its step, in Hz.
std::string SaveOperatingFrequency(const Settings& settings);
int* FrequencyStepOf(Settings& settings);
/// A TCP port 1..65535, else the head's 4040.
void LoadSonarPort(Settings& settings, const std::string& text);
/// 1000 or else 500 samples, and the blocks per ping that go with them.
void LoadNumberOfSamples(Settings& settings, const std::string& text);
/// 480, 240 or else 120 beams, and the beams index that goes with them.
void LoadBeams(Settings& settings, const std::string& text);
/// Any non-zero text is 1.
void LoadDetectProfilePoints(Settings& settings, const std::string& text);
/// 0 or 1.
std::string SaveDetectProfilePoints(const Settings& settings);
/// "B..." is the beam-test display, "P..." the polar one.
void LoadDisplay(Settings& settings, const std::string& text);
/// "BeamTest" or "Polar".
std::string SaveDisplay(const Settings& settings);
/// "serial" or "gpsd"; anything else is no live navigation.
void LoadNavSource(Settings& settings, const std::string& text);
/// "none", "serial" or "gpsd".
std::string SaveNavSource(const Settings& settings);
/// "North Up"; anything else is Head Up.
void LoadOrientation(Settings& settings, const std::string& text);
/// "Head Up" or "North Up".
std::string SaveOrientation(const Settings& settings);
/// A view setting that names one of its choices by number; the number is kept as it stands.
template <auto Member> void LoadViewChoice(Settings& settings, const std::string& text) {
    settings.view.*Member = static_cast<std::remove_cvref_t<decltype(settings.view.*Member)>>(ParseInt(text));
}
template <auto Member> std::string SaveViewChoice(const Settings& settings) {
    return std::to_string(static_cast<int>(settings.view.*Member));
}
/// "Level"; anything else is a vertical fan, the geometry of files written before the key.
void LoadHeadPlane(Settings& settings, const std::string& text);
/// "Vertical" or "Level".
std::string SaveHeadPlane(const Settings& settings);

// One key a row or two: clang-format would give every field its own line.
// clang-format off
/// The keys in the order the saves write them, which decides where a key missing from the file
/// is appended; the load reads them all (each key sets its own members, so order does not matter).
inline constexpr std::array kSettingsTable = {
    // The head's group
    SettingKey{.section = kSystemSection, .key = "Sound Velocity", .fallback = "1480.00",
               .group = SaveGroup::Head, .sonarFloat = &PingSettings::soundVelocity, .format = "%.2f",
               .limits = {1400.0, 1600.0}},
    SettingKey{.section = kSonarSection, .key = "Operating Range", .fallback = "4",
               .group = SaveGroup::Head, .sonarInt = &PingSettings::rangeIndex,
               .limits = {.lowest = 1, .highest = 4, .clampedOnLoad = true}, .load = LoadOperatingRange},
    // Written in Hz; the limits are those of the frequency step the load turns it into.
    SettingKey{.section = kSonarSection, .key = "Operating Frequency", .fallback = "675000",
               .group = SaveGroup::Head, .limits = {-100, 100}, .load = LoadOperatingFrequency,
               .save = SaveOperatingFrequency, .limited = FrequencyStepOf},
    SettingKey{.section = kSonarSection, .key = "Number of Samples", .fallback = "500",
               .group = SaveGroup::Head, .sonarInt = &PingSettings::samples, .load = LoadNumberOfSamples},
    SettingKey{.section = kSonarSection, .key = "Transducer Up", .fallback = "0",
               .group = SaveGroup::Head, .sonarInt = &PingSettings::transducerUp},
    // The multiplier's control counts tenths; with 500 samples it stops at 1.0 instead.
    SettingKey{.section = kSonarSection, .key = "Pulse Length Multiplier", .fallback = "1.0",
               .group = SaveGroup::Head, .sonarFloat = &PingSettings::pulseLengthMultiplier, .format = "%.1f",
               .limits = {0.5, 2.0}},

    // The rest
    SettingKey{.section = kSystemSection, .key = "IPAddress_Sonar1", .fallback = "192.168.0.2",
               .group = SaveGroup::Other, .systemText = &SystemSettings::sonarAddress},
    SettingKey{.section = kSystemSection, .key = "RemotePort_Sonar1", .fallback = "4040",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::sonarPort, .limits = {1, 65535},
               .load = LoadSonarPort},
    SettingKey{.section = kSystemSection, .key = "IPAddress_Output1", .fallback = "192.168.0.23",
               .group = SaveGroup::Other, .systemText = &SystemSettings::outputAddress},
    SettingKey{.section = kSystemSection, .key = "RemotePort_Output1", .fallback = "4040",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::outputPort},
    SettingKey{.section = kSystemSection, .key = "AutoSaveFileName", .fallback = "1",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::autoFileName},
    SettingKey{.section = kSystemSection, .key = "Enable AutoFileSize", .fallback = "1",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::autoFileSize},
    SettingKey{.section = kSystemSection, .key = "Comm Port", .fallback = "2",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::commPort},
    SettingKey{.section = kSystemSection, .key = "Baud Rate", .fallback = "57600",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::baudRate},
    SettingKey{.section = kSystemSection, .key = "Nav Source", .fallback = "none",
               .group = SaveGroup::Other, .load = LoadNavSource, .save = SaveNavSource},
    SettingKey{.section = kSystemSection, .key = "Nav Serial Device", .fallback = "/dev/ttyUSB0",
               .group = SaveGroup::Other, .systemText = &SystemSettings::navDevice},
    SettingKey{.section = kSystemSection, .key = "Nav Gpsd Address", .fallback = "127.0.0.1:2947",
               .group = SaveGroup::Other, .systemText = &SystemSettings::gpsdAddress},
    SettingKey{.section = kSystemSection, .key = "Nav Max Fix Age", .fallback = "2000",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::maxFixAgeMs,
               .limits = {.lowest = 100, .highest = 60000, .clampedOnLoad = true}},
    SettingKey{.section = kSystemSection, .key = "Read File Directory", .fallback = kProgramFolder,
               .group = SaveGroup::Other, .systemText = &SystemSettings::readFolder},
    SettingKey{.section = kSystemSection, .key = "Write File Directory", .fallback = kProgramFolder,
               .group = SaveGroup::Other, .systemText = &SystemSettings::writeFolder},
    SettingKey{.section = kSystemSection, .key = "Sync Heads", .fallback = "1",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::syncHeads},
    SettingKey{.section = kSystemSection, .key = "Unit", .fallback = "0",
               .group = SaveGroup::Other,
               .load = LoadViewChoice<&ViewSettings::unit>, .save = SaveViewChoice<&ViewSettings::unit>},
    SettingKey{.section = kSystemSection, .key = "Sleep Time", .fallback = "0",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::sleepTimeMs},
    SettingKey{.section = kSystemSection, .key = "Ping Delay", .fallback = "0",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::pingDelayMs, .limits = {0, 5000}},
    SettingKey{.section = kSystemSection, .key = "UseFileSLC", .fallback = "0",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::useFileSlc},
    SettingKey{.section = kSystemSection, .key = "UdpOutputP96", .fallback = "0",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::udpOutputPoint},
    SettingKey{.section = kSystemSection, .key = "UdpOutputB96", .fallback = "0",
               .group = SaveGroup::Other, .systemInt = &SystemSettings::udpOutputBeam},
    SettingKey{.section = kSonarSection, .key = "Display Gain", .fallback = "50",
               .group = SaveGroup::Other, .sonarInt = &PingSettings::displayGain, .limits = {1, 100}},
    SettingKey{.section = kSonarSection, .key = "Start Gain", .fallback = "1",
               .group = SaveGroup::Other, .sonarInt = &PingSettings::startGainDb, .limits = {0, 20}},
    SettingKey{.section = kSonarSection, .key = "Average", .fallback = "3",
               .group = SaveGroup::Other, .sonarInt = &PingSettings::average},
    SettingKey{.section = kSonarSection, .key = "Beams", .fallback = "480",
               .group = SaveGroup::Other, .sonarInt = &PingSettings::beams, .load = LoadBeams},
    SettingKey{.section = kSonarSection, .key = "Beam Width", .fallback = "2",
               .group = SaveGroup::Other, .sonarInt = &PingSettings::beamWidth},
    SettingKey{.section = kSonarSection, .key = "Persistence", .fallback = "0",
               .group = SaveGroup::Other, .sonarInt = &PingSettings::persistence, .limits = {0, 1200}},
    SettingKey{.section = kSonarSection, .key = "ExternalTriggerEnable", .fallback = "0",
               .group = SaveGroup::Other, .sonarInt = &PingSettings::externalTriggerEnable},
    SettingKey{.section = kSonarSection, .key = "ExternalTriggerLevel", .fallback = "0",
               .group = SaveGroup::Other, .sonarInt = &PingSettings::externalTriggerLevel},
    SettingKey{.section = kSonarSection, .key = "ExternalXmitDelay", .fallback = "0",
               .group = SaveGroup::Other, .sonarInt = &PingSettings::externalTransmitDelay},
    SettingKey{.section = kSonarSection, .key = "DetectProfilePoints", .fallback = "0",
               .group = SaveGroup::Other, .load = LoadDetectProfilePoints, .save = SaveDetectProfilePoints},
    SettingKey{.section = kSonarSection, .key = "ProfileFilterType", .fallback = "1",
               .group = SaveGroup::Other, .sonarInt = &PingSettings::profileFilterType},
    SettingKey{.section = kSonarSection, .key = "ProfileDisplay", .fallback = "0",
               .group = SaveGroup::Other, .viewInt = &ViewSettings::profileDisplay},
    // Only 0..8 name a colour table.
    SettingKey{.section = kViewSection, .key = "ColorTable", .fallback = "0",
               .group = SaveGroup::Other, .viewInt = &ViewSettings::colorTable,
               .limits = {.lowest = 0, .highest = 8, .clampedOnLoad = true}},
    SettingKey{.section = kViewSection, .key = "Grid", .fallback = "1",
               .group = SaveGroup::Other,
               .load = LoadViewChoice<&ViewSettings::grid>, .save = SaveViewChoice<&ViewSettings::grid>},
    SettingKey{.section = kViewSection, .key = "Range Mark", .fallback = "1",
               .group = SaveGroup::Other, .viewInt = &ViewSettings::rangeMark},
    SettingKey{.section = kViewSection, .key = "Display", .fallback = "Polar",
               .group = SaveGroup::Other, .load = LoadDisplay, .save = SaveDisplay},
    SettingKey{.section = kViewSection, .key = "ZoomIndex", .fallback = "0",
               .group = SaveGroup::Other, .viewInt = &ViewSettings::zoomIndex},
    SettingKey{.section = kViewSection, .key = "Orientation", .fallback = "Head Up",
               .group = SaveGroup::Other, .load = LoadOrientation, .save = SaveOrientation},
    SettingKey{.section = kMountingSection, .key = "Head Plane", .fallback = "Vertical",
               .group = SaveGroup::Other, .load = LoadHeadPlane, .save = SaveHeadPlane},
    SettingKey{.section = kMountingSection, .key = "Head Tilt", .fallback = "0.0",
               .group = SaveGroup::Other, .mountingNumber = &HeadMounting::tiltDeg, .format = "%.1f",
               .limits = {.lowest = 0, .highest = 90, .clampedOnLoad = true}},
    SettingKey{.section = kMountingSection, .key = "Head Yaw", .fallback = "0.0",
               .group = SaveGroup::Other, .mountingNumber = &HeadMounting::yawDeg, .format = "%.1f",
               .limits = {.lowest = -360, .highest = 360, .clampedOnLoad = true}},
    SettingKey{.section = kMountingSection, .key = "Head Offset Forward", .fallback = "0.000",
               .group = SaveGroup::Other, .mountingNumber = &HeadMounting::forwardM, .format = "%.3f",
               .limits = {.lowest = -100, .highest = 100, .clampedOnLoad = true}},
    SettingKey{.section = kMountingSection, .key = "Head Offset Starboard", .fallback = "0.000",
               .group = SaveGroup::Other, .mountingNumber = &HeadMounting::starboardM, .format = "%.3f",
               .limits = {.lowest = -100, .highest = 100, .clampedOnLoad = true}},
    SettingKey{.section = kMountingSection, .key = "Head Offset Down", .fallback = "0.000",
               .group = SaveGroup::Other, .mountingNumber = &HeadMounting::downM, .format = "%.3f",
               .limits = {.lowest = -100, .highest = 100, .clampedOnLoad = true}},

    // Never written
    SettingKey{.section = kSonarSection, .key = "Azimuth Offset", .fallback = "0.0",
               .group = SaveGroup::None, .sonarFloat = &PingSettings::azimuthOffsetDeg},
    SettingKey{.section = kSonarSection, .key = "GyroEarthRateCorr", .fallback = "1",
               .group = SaveGroup::None, .sonarInt = &PingSettings::gyroEarthRateCorr},
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
        const int places = (s.systemInt != nullptr) + (s.systemText != nullptr) + (s.sonarInt != nullptr) +
                           (s.sonarFloat != nullptr) + (s.viewInt != nullptr) + (s.mountingNumber != nullptr);
        const bool floating = s.sonarFloat != nullptr || s.mountingNumber != nullptr;
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
