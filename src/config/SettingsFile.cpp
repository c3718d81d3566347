// Loading and saving of the settings file, and the limits of a settings change.

#include "config/SettingsFile.h"

#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "config/CProfileFile.h"

#include <cmath>
#include <cstdint>
#include <filesystem>

namespace vexar {

namespace {
int LoadedInt(const SettingKey& setting, const std::string& text) {
    const int value = ParseInt(text);
    return setting.limits.clampedOnLoad ? setting.limits.Clamp(value) : value;
}

void LoadSetting(Settings& settings, const SettingKey& setting, const std::string& text) {
    if (setting.load != nullptr) {
        setting.load(settings, text);
    } else if (setting.systemInt != nullptr) {
        settings.system.*setting.systemInt = LoadedInt(setting, text);
    } else if (setting.sonarInt != nullptr) {
        settings.sonar.*setting.sonarInt = LoadedInt(setting, text);
    } else if (setting.viewInt != nullptr) {
        settings.view.*setting.viewInt = LoadedInt(setting, text);
    } else if (setting.sonarFloat != nullptr) {
        settings.sonar.*setting.sonarFloat = static_cast<float>(ParseDouble(text));
    } else if (setting.systemText != nullptr) {
        settings.system.*setting.systemText = text;
    } else if (setting.mountingNumber != nullptr) {
        // A value that is no number (or "nan", which the C library reads as one) is none.
        const double value = ParseDouble(text);
        settings.mounting.*setting.mountingNumber = std::isfinite(value) ? setting.limits.Clamp(value) : 0.0;
    }
}

std::string SavedText(const Settings& settings, const SettingKey& setting) {
    if (setting.save != nullptr) {
        return setting.save(settings);
    }
    if (setting.systemInt != nullptr) {
        return std::to_string(settings.system.*setting.systemInt);
    }
    if (setting.sonarInt != nullptr) {
        return std::to_string(settings.sonar.*setting.sonarInt);
    }
    if (setting.viewInt != nullptr) {
        return std::to_string(settings.view.*setting.viewInt);
    }
    if (setting.sonarFloat != nullptr) {
        return FormatText(setting.format, static_cast<double>(settings.sonar.*setting.sonarFloat));
    }
    if (setting.mountingNumber != nullptr) {
        return FormatText(setting.format, settings.mounting.*setting.mountingNumber);
    }
    return settings.system.*setting.systemText;
}

// The integer of a key that its limits apply to, or null.
int* LimitedInt(const SettingKey& setting, Settings& settings) {
    if (setting.limited != nullptr) {
        return setting.limited(settings);
    }
    if (setting.systemInt != nullptr) {
        return &(settings.system.*setting.systemInt);
    }
    if (setting.sonarInt != nullptr) {
        return &(settings.sonar.*setting.sonarInt);
    }
    if (setting.viewInt != nullptr) {
        return &(settings.view.*setting.viewInt);
    }
    return nullptr;
}
} // namespace

SettingsPlace SettingsPlaceOf(const std::string& programFolder, const std::string& path) {
    return SettingsPlace{programFolder, path.empty() ? programFolder + kSettingsFileName : path};
}

void LoadSettingsFile(const std::string& path, const std::string& programFolder, Settings& settings) {
    CProfileFile ini;
    ini.Load(path);
    for (const SettingKey& setting : kSettingsTable) {
        const char* fallback = setting.fallback;
        if (fallback == kProgramFolder) {
            fallback = programFolder.c_str();
        }
        LoadSetting(settings, setting, ini.GetString(setting.section, setting.key, fallback));
    }
}

void SaveSettingsGroup(const std::string& path, const Settings& settings, SaveGroup group) {
    CProfileFile ini;
    if (!ini.Load(path) && std::filesystem::exists(path)) {
        // A file that is there but cannot be read is not replaced by this group's keys alone:
        // the others and whatever else it holds would be lost.
        return;
    }
    for (const SettingKey& setting : kSettingsTable) {
        if (setting.group != group) {
            continue;
        }
        // A line break would end the key's line early and make the rest of the value lines of
        // their own: a folder named that way could add keys and sections to the file. Such a
        // value is not written; the key keeps what the file has.
        const std::string text = SavedText(settings, setting);
        if (text.find_first_of("\r\n") == std::string::npos) {
            ini.SetString(setting.section, setting.key, text);
        }
    }
    ini.Save(path);
}

void ClampChangedSettings(const Settings& before, Settings& after) {
    Settings old = before;
    for (const SettingKey& setting : kSettingsTable) {
        if (setting.limits.lowest == 0.0 && setting.limits.highest == 0.0) {
            continue;
        }
        if (setting.sonarFloat != nullptr) {
            float& value = after.sonar.*setting.sonarFloat;
            if (value != before.sonar.*setting.sonarFloat) {
                value = setting.limits.Clamp(value);
            }
        } else if (setting.mountingNumber != nullptr) {
            double& value = after.mounting.*setting.mountingNumber;
            if (value != before.mounting.*setting.mountingNumber) {
                value = std::isfinite(value) ? setting.limits.Clamp(value)
                                             : before.mounting.*setting.mountingNumber;
            }
        } else if (int* value = LimitedInt(setting, after);
                   value != nullptr && *value != *LimitedInt(setting, old)) {
            *value = setting.limits.Clamp(*value);
        }
    }
}

void LoadOperatingRange(Settings& settings, const std::string& text) {
    PingSettings& sonar = settings.sonar;
    sonar.rangeIndex = SettingOf("Operating Range").limits.Clamp(ParseInt(text));
    sonar.rangeM = kRangeTable[static_cast<std::size_t>(sonar.rangeIndex)];
}

// The file holds Hz; the head holds a step of 50 Hz from 675 kHz (integer division, so
// 675049 is step 0 and 674900 is step -2).
void LoadOperatingFrequency(Settings& settings, const std::string& text) {
    const std::int64_t frequencyHz = ParseInt(text);
    // The base, too: a played record sets its own, which must not outlive playback.
    settings.sonar.baseFrequencyKHz = kBaseFrequencyKHz;
    settings.sonar.frequencyStep = static_cast<int>((frequencyHz - kBaseFrequencyKHz * 1000) / 50);
}

std::string SaveOperatingFrequency(const Settings& settings) {
    return std::to_string(static_cast<std::int64_t>(settings.sonar.baseFrequencyKHz) * 1000 +
                          static_cast<std::int64_t>(settings.sonar.frequencyStep) * 50);
}

int* FrequencyStepOf(Settings& settings) {
    return &settings.sonar.frequencyStep;
}

void LoadSonarPort(Settings& settings, const std::string& text) {
    const int port = ParseInt(text);
    const SettingLimits limits = SettingOf("RemotePort_Sonar1").limits;
    settings.system.sonarPort = port >= limits.lowest && port <= limits.highest ? port : kSonarTcpPort;
}

// The head knows 500 and 1000 samples only; any other count would run the ping and processing
// buffers past their ends, so it is taken as 500 (and the blocks per ping follow it).
void LoadNumberOfSamples(Settings& settings, const std::string& text) {
    settings.sonar.samples = ParseInt(text) == 1000 ? 1000 : 500;
}

// 480, 240 and 120 beams are the head's three settings; anything else is taken as 120.
void LoadBeams(Settings& settings, const std::string& text) {
    SetBeams(settings.sonar, ParseInt(text));
}

void LoadDetectProfilePoints(Settings& settings, const std::string& text) {
    settings.sonar.detectProfilePoints = ParseInt(text) != 0 ? 1 : 0;
}

std::string SaveDetectProfilePoints(const Settings& settings) {
    return settings.sonar.detectProfilePoints != 0 ? "1" : "0";
}

// "B..." selects the beam-test display and "P..." the polar one; any other text leaves the
// display as it is.
void LoadDisplay(Settings& settings, const std::string& text) {
    if (!text.empty() && (text[0] == 'B' || text[0] == 'P')) {
        settings.sonar.displayMode = text[0] == 'B' ? kDisplayModeBeamTest : kDisplayModePolar;
    }
}

std::string SaveDisplay(const Settings& settings) {
    return settings.sonar.displayMode == kDisplayModeBeamTest ? "BeamTest" : "Polar";
}

void LoadNavSource(Settings& settings, const std::string& text) {
    settings.system.navSource = text == "serial"
                                    ? NavSourceKind::Serial
                                    : (text == "gpsd" ? NavSourceKind::Gpsd : NavSourceKind::None);
}

std::string SaveNavSource(const Settings& settings) {
    const NavSourceKind source = settings.system.navSource;
    return source == NavSourceKind::Serial ? "serial" : (source == NavSourceKind::Gpsd ? "gpsd" : "none");
}

void LoadOrientation(Settings& settings, const std::string& text) {
    settings.view.orientation = text == "North Up" ? ViewOrientation::NorthUp : ViewOrientation::HeadUp;
}

std::string SaveOrientation(const Settings& settings) {
    return settings.view.orientation == ViewOrientation::NorthUp ? "North Up" : "Head Up";
}

void LoadHeadPlane(Settings& settings, const std::string& text) {
    settings.mounting.plane = text == "Level" ? HeadPlane::Level : HeadPlane::Vertical;
}

std::string SaveHeadPlane(const Settings& settings) {
    return settings.mounting.plane == HeadPlane::Level ? "Level" : "Vertical";
}

} // namespace vexar
